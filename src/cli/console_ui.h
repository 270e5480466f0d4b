#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_args.h"
#include "session/progress_view_state.h"
#include "session/session_ui.h"

namespace cli {

/// The session's questions answered from the command line, its messages
/// printed to a stream (stderr) as the window would show them. Every message
/// is classified so that the client can pick its exit code.
class ConsoleUi : public session::SessionUi {
 public:
  /// `terminal`: the stream is a terminal, so a progress line is drawn.
  ConsoleUi(std::ostream& err, ExistingTarget existing, bool terminal);

  /// The name the next name dialog answers with (mkdir, mv); nothing cancels.
  void SetNameAnswer(std::optional<std::string> name) { name_answer_ = std::move(name); }
  /// The paths the file dialogs answer with.
  void SetOpenFileAnswer(std::string path) { open_file_ = std::move(path); }
  void SetSaveFileAnswer(std::string path) { save_file_ = std::move(path); }

  /// Prints a line of the client's own (prefixed "vaultline-cli: ").
  void Note(const std::string& text);

  /// Draws the progress line from the progress window's state (terminal only;
  /// redrawn only when its text changed).
  void DrawProgress(const session::ProgressViewState& progress);
  /// Ends a drawn progress line so that the next output starts on a new line.
  void EndProgress();

  // ---- What happened ----
  /// The server refused something (a critical or exclamation message that is
  /// not about the connection), or a local error was reported.
  int Refusals() const { return refusals_; }
  /// The connection could not be made or was lost.
  int ConnectionFailures() const { return connection_failures_; }
  /// The target of a transfer exists and the flags did not allow to go on.
  bool ExistsRefused() const { return exists_refused_; }
  /// With --resume, the target was found to have every byte of the source
  /// already, so nothing was transferred.
  bool AlreadyComplete() const { return already_complete_; }
  /// The name given for mkdir / mv was not accepted by the name dialog.
  bool NameRefused() const { return name_refused_; }
  /// Transfers finished (the completion sound).
  int Completions() const { return completions_; }
  bool CloseRequested() const { return close_requested_; }
  /// Forgets what happened so far (before the next step).
  void ResetOutcome();

  // ---- SessionUi ----
  session::MessageAnswer ShowMessage(const std::string& text, session::MessageIcon icon,
                                     session::MessageButtons buttons,
                                     const std::string& title) override;
  std::optional<std::string> AskName(const session::NameDialogRequest& request,
                                     NameValidator validate) override;
  void ShowBalloonTip(session::EditBox box, const std::string& text, const std::string& title,
                      session::BalloonIcon icon) override;
  void OpenUrl(const std::string& url) override;
  void PlayCompletionSound() override { ++completions_; }
  session::ExistsAnswer AskReplaceOrResume(const session::ExistsRequest& request) override;
  std::optional<std::string> AskOpenFile(const session::FileDialogRequest& request) override;
  std::optional<std::string> AskSaveFile(const session::FileDialogRequest& request) override;
  void SetTaskbarProgress(int /*percent*/) override {}
  void CloseMainWindow() override { close_requested_ = true; }

  /// An error reported through the log's error box ("[source] Σφάλμα: ...").
  void ShowErrorBox(const std::string& text);

 private:
  /// Prints a message of the session, with its CR LF line breaks as new lines.
  void Print(const std::string& text);

  std::ostream& err_;
  ExistingTarget existing_;
  bool terminal_;
  std::optional<std::string> name_answer_;
  std::optional<std::string> open_file_;
  std::optional<std::string> save_file_;
  std::string drawn_;
  std::size_t drawn_width_ = 0;

  int refusals_ = 0;
  int connection_failures_ = 0;
  bool exists_refused_ = false;
  bool already_complete_ = false;
  bool name_refused_ = false;
  int completions_ = 0;
  bool close_requested_ = false;
};

/// True for the texts that say the connection could not be made or was lost
/// (as opposed to a refusal by a server that answered).
bool IsConnectionFailureText(const std::string& text);

}  // namespace cli
