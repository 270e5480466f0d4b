#pragma once

#include <QWidget>

#include <functional>

#include "session/progress_view_state.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace gui {

/// `frmProgress`: where the file comes from and goes to, how much has moved,
/// the bar, the speed, the remaining time, the direction animation and Cancel.
/// A top-level window of its own (the main window is hidden meanwhile), so it
/// has a taskbar entry. Cancel and the close box both cancel the transfer
/// through the callback; the session then decides when the window goes.
class ProgressWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressWindow(std::function<void()> cancel);

  /// Shows the session's progress state; a value equal to the shown one is
  /// not set again.
  void Render(const session::ProgressViewState& state);

  QPushButton* CancelButton() const { return cmdCancel_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowFrame();

  std::function<void()> cancel_;
  bool upload_ = false;
  int frame_ = -1;
  QLabel* imgAnimation_ = nullptr;
  QLabel* lblSourceTitle_ = nullptr;
  QLabel* lblSource_ = nullptr;
  QLabel* lblDestinationTitle_ = nullptr;
  QLabel* lblDestination_ = nullptr;
  QLabel* lblProgress_ = nullptr;
  QProgressBar* pbTransfer_ = nullptr;
  QLabel* lblSpeed_ = nullptr;
  QLabel* lblTime_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
};

}  // namespace gui
