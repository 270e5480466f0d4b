// The main window's answers to the session: message boxes, the dialogs, the
// file choosers, balloons, the browser, the completion sound and the taskbar.
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "app/logger.h"
#include "app/settings.h"
#include "gui/file_exists_dialog.h"
#include "gui/main_window.h"
#include "gui/name_dialog.h"
#include "gui/proxy_dialog.h"
#include "gui/widget_helpers.h"
#include "session/window_texts.h"
#include "ui/balloon_tip.h"
#include "ui/centered_message.h"
#include "ui/completion_sound.h"
#include "ui/taskbar_progress.h"

namespace gui {
namespace {

ui::MessageIcon ToUi(session::MessageIcon icon) {
  switch (icon) {
    case session::MessageIcon::kNone:
      return ui::MessageIcon::kNone;
    case session::MessageIcon::kCritical:
      return ui::MessageIcon::kCritical;
    case session::MessageIcon::kQuestion:
      return ui::MessageIcon::kQuestion;
    case session::MessageIcon::kExclamation:
      return ui::MessageIcon::kExclamation;
    case session::MessageIcon::kInformation:
      return ui::MessageIcon::kInformation;
  }
  return ui::MessageIcon::kNone;
}

ui::MessageButtons ToUi(session::MessageButtons buttons) {
  switch (buttons) {
    case session::MessageButtons::kOk:
      return ui::MessageButtons::kOk;
    case session::MessageButtons::kOkCancel:
      return ui::MessageButtons::kOkCancel;
    case session::MessageButtons::kYesNo:
      return ui::MessageButtons::kYesNo;
    case session::MessageButtons::kYesNoCancel:
      return ui::MessageButtons::kYesNoCancel;
  }
  return ui::MessageButtons::kOk;
}

session::MessageAnswer FromUi(ui::MessageAnswer answer) {
  switch (answer) {
    case ui::MessageAnswer::kOk:
      return session::MessageAnswer::kOk;
    case ui::MessageAnswer::kCancel:
      return session::MessageAnswer::kCancel;
    case ui::MessageAnswer::kYes:
      return session::MessageAnswer::kYes;
    case ui::MessageAnswer::kNo:
      return session::MessageAnswer::kNo;
  }
  return session::MessageAnswer::kCancel;
}

/// A type entry of the file dialog. "*.*" means every file here, names
/// without a dot included, which is "*" to the dialog.
QString NameFilter(const session::FileFilter& filter) {
  const QString pattern = filter.pattern == "*.*" ? QStringLiteral("*") : Q(filter.pattern);
  return Q(filter.description) + " (" + pattern + ")";
}

/// The text the desktop's failure to open an address reads as.
QString OpenFailureText() {
  if (QStandardPaths::findExecutable("xdg-open").isEmpty()) {
    return QStringLiteral("There is no application associated with the given filename extension.");
  }
  return QStringLiteral("An unknown error has occurred.");
}

}  // namespace

/// While a dialog of the session's is open, the window's own work that would
/// pull the session away (closing) waits until it has returned.
class ModalScope {
 public:
  explicit ModalScope(int& depth) : depth_(depth) { ++depth_; }
  ~ModalScope() { --depth_; }

 private:
  int& depth_;
};

session::MessageAnswer MainWindow::ShowMessage(const std::string& text, session::MessageIcon icon,
                                               session::MessageButtons buttons,
                                               const std::string& title) {
  ModalScope scope(modal_depth_);
  // A box the session shows while it is busy gets the normal pointer.
  if (override_cursor_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const ui::MessageAnswer answer =
      ui::ShowCenteredMessage(this, Q(text), ToUi(icon), ToUi(buttons), Q(title));
  if (override_cursor_) QApplication::restoreOverrideCursor();
  return FromUi(answer);
}

std::optional<std::string> MainWindow::AskName(const session::NameDialogRequest& request,
                                               NameValidator validate) {
  ModalScope scope(modal_depth_);
  NameDialog dialog(this, request, std::move(validate));
  open_dialog_ = &dialog;
  name_box_ = dialog.NameBox();
  dialog.exec();
  open_dialog_ = nullptr;
  name_box_ = nullptr;
  return dialog.Result();
}

void MainWindow::ShowBalloonTip(session::EditBox box, const std::string& text,
                                const std::string& title, session::BalloonIcon icon) {
  QLineEdit* edit = EditFor(box);
  if (!edit || !edit->isVisible()) return;
  ui::BalloonTip::ShowBalloonTip(edit, Q(text), Q(title), static_cast<int>(icon));
}

void MainWindow::OpenUrl(const std::string& url) {
  if (QDesktopServices::openUrl(QUrl(Q(url)))) return;
  const QString description = OpenFailureText();
  logger_->WriteLog(description.toStdString());
  ShowMessage(description.toStdString(), session::MessageIcon::kCritical,
              session::MessageButtons::kOk, {});
}

void MainWindow::PlayCompletionSound() {
  if (sound_) sound_->Play();
}

session::ExistsAnswer MainWindow::AskReplaceOrResume(const session::ExistsRequest& request) {
  ModalScope scope(modal_depth_);
  FileExistsDialog dialog(this, request);
  open_dialog_ = &dialog;
  dialog.exec();
  open_dialog_ = nullptr;
  return dialog.Answer();
}

std::optional<std::string> MainWindow::AskFile(const session::FileDialogRequest& request,
                                               bool save) {
  if (file_dialog_hook_) return file_dialog_hook_(request, save);
  ModalScope scope(modal_depth_);
  QFileDialog dialog(this, Q(request.title));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirm_overwrite);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList filters;
  for (const session::FileFilter& f : request.filters) filters << NameFilter(f);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
  }
  if (!request.initial_name.empty()) dialog.selectFile(Q(request.initial_name));
  open_dialog_ = &dialog;
  const bool accepted = dialog.exec() == QDialog::Accepted;
  open_dialog_ = nullptr;
  if (!accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> MainWindow::AskOpenFile(const session::FileDialogRequest& request) {
  return AskFile(request, false);
}

std::optional<std::string> MainWindow::AskSaveFile(const session::FileDialogRequest& request) {
  return AskFile(request, true);
}

void MainWindow::SetTaskbarProgress(int percent) {
  if (!taskbar_) return;
  if (percent < 0) {
    taskbar_->Clear();
  } else {
    taskbar_->SetValue(percent);
  }
}

void MainWindow::CloseDialogs() {
  if (open_dialog_) open_dialog_->reject();
}

void MainWindow::CloseMainWindow() {
  // Called from inside a session handler: the window goes once that handler
  // (and any dialog it opened) has returned.
  QTimer::singleShot(0, this, [this] { Shutdown(); });
}

void MainWindow::dcbProxy_Click() {
  const std::optional<app::ProxySettings> chosen =
      ProxyDialog::Ask(this, settings_.proxy, Q(logo_text_));
  if (!chosen) return;
  try {
    app::StoreProxyServer(*store_, settings_.proxy, chosen->server);
    app::StoreProxyPort(*store_, settings_.proxy, chosen->port);
    app::StoreProxyType(*store_, settings_.proxy, chosen->type);
  } catch (const support::Error& e) {
    logger_->ShowError(e.Description(), "dcbProxy_Click");
  }
  if (session_) {
    session_->SetProxy(settings_.proxy.type, settings_.proxy.server, settings_.proxy.port);
  }
}

void MainWindow::BringToFront(const std::string& activation_token) {
  if (logger_) logger_->WriteLog("Ειδοποίηση από νέα εκκίνηση", "IAppInstance_Notify", 2);
  // Qt's Wayland support asks for the focus with this token at the next
  // activation; on X11 the window manager decides on its own.
  if (!activation_token.empty()) qputenv("XDG_ACTIVATION_TOKEN", activation_token.c_str());
  QWidget* shown = progress_window_ && progress_window_->isVisible() ? progress_window_.data()
                                                                     : static_cast<QWidget*>(this);
  if (shown->isMinimized()) shown->showNormal();
  shown->raise();
  shown->activateWindow();
  if (!shown->isActiveWindow()) QApplication::alert(shown);
}

}  // namespace gui
