#pragma once

#include <QDialog>

#include <optional>
#include <string>

#include "session/session_ui.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace gui {

/// `frmName`: asks for the name of a new folder or the new name of a row.
/// OK trims the text and writes it back into the box; an empty name keeps
/// the dialog open with the focus in the box, a name the validator refuses
/// shows its balloon on the box, and an accepted one closes the dialog.
class NameDialog : public QDialog {
  Q_OBJECT

 public:
  NameDialog(QWidget* owner, const session::NameDialogRequest& request,
             session::SessionUi::NameValidator validate);

  QLineEdit* NameBox() const { return txtName_; }
  QPushButton* OkButton() const { return cmdOK_; }
  QPushButton* CancelButton() const { return cmdCancel_; }
  /// The accepted name; nothing while none was accepted.
  const std::optional<std::string>& Result() const { return result_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void cmdOK_Click();

  session::SessionUi::NameValidator validate_;
  std::optional<std::string> result_;
  QLabel* lblPrompt_ = nullptr;
  QLineEdit* txtName_ = nullptr;
  QPushButton* cmdOK_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
};

}  // namespace gui
