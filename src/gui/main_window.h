#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/settings.h"
#include "gui/progress_window.h"
#include "session/folder_session.h"
#include "session/session_ui.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;

namespace app {
class AppSetting;
class Logger;
}  // namespace app
namespace hyperlink {
class Hyperlink;
}
namespace quarrytab {
class RegistryStore;
}
namespace net {
class EventLoop;
}
namespace ui {
class CompletionSound;
class DcButton;
class LogoStrip;
class TaskbarProgress;
}  // namespace ui

namespace gui {

class FileListModel;
class FileListView;
class NameDialog;
class FileExistsDialog;

/// What the start-up hands the main window.
struct MainWindowOptions {
  /// Off with "/nolog": no log file is made.
  bool logging = true;
  /// The folder of the log when it is writable (else the user's state folder).
  std::string program_dir;
  /// Where the settings live; nullptr for the user's own hive.
  std::shared_ptr<quarrytab::RegistryStore> settings_store;
  /// The web host and port of the parameters file (tests point them at a
  /// loopback server).
  std::string parameters_host;
  std::int32_t parameters_port = 80;
  /// "major.mm.revision".
  std::string version_text;
  /// The address `lnkHelp` opens.
  std::string help_url;
  /// The name of the credential hand-over record another program may have
  /// left (app::kHandoverRecordName for the program); empty: none is read.
  std::string handover_record;
};

/// `frmPF`, the program's main window and the composition root of the desktop
/// program: its load step reads the settings, builds the folder session and
/// renders the session's view state; it answers the session's questions with
/// modal dialogs (`SessionUi`) and passes every user action on to the session.
///
/// While the session has a request out (`window_enabled` false) the window
/// takes no mouse or keyboard input and shows the hourglass, but its controls
/// keep their look and the focus stays where it was.
class MainWindow : public QWidget, public session::SessionUi {
  Q_OBJECT

 public:
  MainWindow(net::EventLoop& loop, MainWindowOptions options);
  ~MainWindow() override;

  /// The folder session (exists from the end of the load step until unload).
  session::FolderSession& Session() { return *session_; }
  bool HasSession() const { return session_ != nullptr; }
  /// The progress window of the running transfer, or nullptr.
  ProgressWindow* Progress() const { return progress_window_; }
  /// The modal dialog the session is waiting on (name, file exists), or nullptr.
  QDialog* OpenDialog() const { return open_dialog_; }
  const app::Settings& LoadedSettings() const { return settings_; }

  /// Ends the program through the whole unload step (settings saved, closing
  /// logged), whatever the window is doing: the desktop's logout and SIGTERM.
  void Shutdown();
  /// Whether the unload step has run.
  bool Unloaded() const { return unloaded_; }

  /// A later start of the program found this one: the window it shows (the
  /// progress window while a transfer hides the main window) is restored if
  /// minimised and brought forward with the later start's activation token.
  /// Where the desktop refuses to hand over the focus, the window asks for
  /// attention instead (the task bar entry flashes).
  void BringToFront(const std::string& activation_token);

  /// Answers the file dialogs instead of showing them (tests, benchmarks).
  using FileDialogHook =
      std::function<std::optional<std::string>(const session::FileDialogRequest&, bool save)>;
  void SetFileDialogHook(FileDialogHook hook) { file_dialog_hook_ = std::move(hook); }

  // ---- SessionUi ----
  session::MessageAnswer ShowMessage(const std::string& text, session::MessageIcon icon,
                                     session::MessageButtons buttons,
                                     const std::string& title) override;
  std::optional<std::string> AskName(const session::NameDialogRequest& request,
                                     NameValidator validate) override;
  void ShowBalloonTip(session::EditBox box, const std::string& text, const std::string& title,
                      session::BalloonIcon icon) override;
  void OpenUrl(const std::string& url) override;
  void PlayCompletionSound() override;
  session::ExistsAnswer AskReplaceOrResume(const session::ExistsRequest& request) override;
  std::optional<std::string> AskOpenFile(const session::FileDialogRequest& request) override;
  std::optional<std::string> AskSaveFile(const session::FileDialogRequest& request) override;
  void SetTaskbarProgress(int percent) override;
  void CloseDialogs() override;
  void CloseMainWindow() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // main_window.cc: controls, layout and rendering.
  void CreateControls();
  void LayoutControls();
  void ConnectControls();
  void Render();
  void RenderProgress();
  void RenderCursor();
  void FitNameColumn();
  void ApplyButtonStyle(int style);
  void SetButtonImage(ui::DcButton* button, const std::string& key);
  QLineEdit* EditFor(session::EditBox box) const;
  void lnkHelp_Click();
  void dcbProxy_Click();
  /// The row of `lvFiles` at a point of its viewport, or -1.
  int RowAt(const QPoint& viewport_point) const;
  bool HandleListKey(QKeyEvent* key);
  /// True when an event for `target` must be swallowed because the window is busy.
  bool BlockedWhileBusy(QObject* target, QEvent* event) const;

  std::optional<std::string> AskFile(const session::FileDialogRequest& request, bool save);

  // main_window_load.cc: the load and unload steps.
  void Load();
  void Unload();

  net::EventLoop& loop_;
  MainWindowOptions options_;
  std::unique_ptr<app::Logger> logger_;
  std::unique_ptr<app::AppSetting> store_;
  app::Settings settings_;
  std::unique_ptr<session::SessionLog> session_log_;
  std::unique_ptr<session::ComputerFacts> facts_;
  std::unique_ptr<session::FolderSession> session_;
  std::unique_ptr<ui::TaskbarProgress> taskbar_;
  std::unique_ptr<ui::CompletionSound> sound_;
  bool unloaded_ = false;
  /// The credentials came through the hand-over record: the boxes are locked,
  /// the connection starts by itself, and nothing of the login is saved.
  bool auto_connect_ = false;
  /// One shot, 1 ms after the load: presses Connect with handed-over credentials.
  QTimer* tmrAdminAutoConnect_ = nullptr;
  /// Dialogs of the session's open right now (nested loops).
  int modal_depth_ = 0;
  FileDialogHook file_dialog_hook_;
  /// The session asked for the window to close: not refused while busy.
  bool closing_by_request_ = false;
  /// Rendering is writing to a control: its change signal is not a user edit.
  bool rendering_ = false;
  int rendered_layout_generation_ = -1;
  int rendered_focus_generation_ = -1;
  bool hidden_for_progress_ = false;
  bool override_cursor_ = false;
  std::string logo_text_;

  // Controls, named after the window's design.
  ui::LogoStrip* picLogo_ = nullptr;
  QLabel* lblVersion_ = nullptr;
  QLabel* lblConnectPrompt_ = nullptr;
  QLabel* lblID_ = nullptr;
  QLineEdit* txtID_ = nullptr;
  QLabel* lblPassword_ = nullptr;
  QLineEdit* txtPassword_ = nullptr;
  QCheckBox* chkSaveLogin_ = nullptr;
  ui::DcButton* dcbConnect_ = nullptr;
  ui::DcButton* dcbProxy_ = nullptr;
  hyperlink::Hyperlink* lnkDF_ = nullptr;
  QLabel* lblPath_ = nullptr;
  ui::DcButton* dcbUp_ = nullptr;
  ui::DcButton* dcbRefresh_ = nullptr;
  ui::DcButton* dcbNewFolder_ = nullptr;
  ui::DcButton* dcbRename_ = nullptr;
  ui::DcButton* dcbDelete_ = nullptr;
  ui::DcButton* dcbDownload_ = nullptr;
  FileListView* lvFiles_ = nullptr;
  FileListModel* model_ = nullptr;
  QLabel* lblUploadPrompt_ = nullptr;
  QLineEdit* txtUpload_ = nullptr;
  ui::DcButton* dcbBrowse_ = nullptr;
  ui::DcButton* dcbUpload_ = nullptr;
  QLabel* picPFSize_ = nullptr;
  QLabel* lblPFSize_ = nullptr;
  QProgressBar* pbPFSize_ = nullptr;
  QLabel* lblCleanupWarning_ = nullptr;
  hyperlink::Hyperlink* lnkHelp_ = nullptr;

  QPointer<ProgressWindow> progress_window_;
  QPointer<QDialog> open_dialog_;
  QPointer<QLineEdit> name_box_;  ///< txtName of the open name dialog
};

}  // namespace gui
