#pragma once

#include <QDialog>

#include "session/session_ui.h"

class QLabel;
class QPushButton;

namespace gui {

/// `frmFileExists`: the target of a transfer exists already; Replace,
/// Continue (only when the existing copy is shorter) or Cancel. Closing the
/// dialog answers Cancel.
class FileExistsDialog : public QDialog {
  Q_OBJECT

 public:
  FileExistsDialog(QWidget* owner, const session::ExistsRequest& request);

  session::ExistsAnswer Answer() const { return answer_; }
  QPushButton* ReplaceButton() const { return cmdReplace_; }
  QPushButton* ContinueButton() const { return cmdContinue_; }
  QPushButton* CancelButton() const { return cmdCancel_; }
  QLabel* Message() const { return lblFileExists_; }
  QLabel* Icon() const { return imgIcon_; }

 private:
  session::ExistsAnswer answer_ = session::ExistsAnswer::kCancel;
  QLabel* imgIcon_ = nullptr;
  QLabel* lblFileExists_ = nullptr;
  QPushButton* cmdReplace_ = nullptr;
  QPushButton* cmdContinue_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
};

}  // namespace gui
