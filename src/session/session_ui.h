#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace session {

/// Icon of a message box.
enum class MessageIcon { kNone, kCritical, kQuestion, kExclamation, kInformation };
/// Button set of a message box.
enum class MessageButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
/// The button the user pressed.
enum class MessageAnswer { kOk, kCancel, kYes, kNo };
/// Icon of a balloon tip on an edit box (1 information, 2 warning, 3 error).
enum class BalloonIcon { kInformation = 1, kWarning = 2, kError = 3 };
/// Edit boxes that can carry a balloon tip.
enum class EditBox { kId, kPassword, kName, kUpload, kProxyName, kProxyPort };

/// What the name dialog needs: its title, the prompt above the box and the
/// text the box starts with (all of it selected).
struct NameDialogRequest {
  std::string title;
  std::string prompt;
  std::string initial_text;
};

/// Answers of the Replace / Continue / Cancel dialog shown when the target of a
/// transfer exists already.
enum class ExistsAnswer { kReplace, kContinue, kCancel };

/// What the Replace / Continue / Cancel dialog shows.
struct ExistsRequest {
  std::string caption;  ///< "Επιβεβαίωση"
  std::string text;     ///< the message
  /// The target: the local path of an upload, the remote path of a download.
  std::string file_name;
  /// The file list's key of its extension ("I.pdf", "Idummyfile"), or
  /// "program" for an upload of an executable (.exe in any letter case).
  std::string icon_key;
  bool upload = false;
  bool allow_continue = true;  ///< false: the Continue button is disabled
  /// The target already has as many bytes as the source (so Continue is off):
  /// an interrupted transfer whose last answer was lost is complete.
  bool same_size = false;
  std::string replace_caption;   ///< "Αντικατάσταση"
  std::string continue_caption;  ///< "Συνέχιση"
  std::string cancel_caption;    ///< "Άκυρο"
};

/// One entry of a file dialog's type list: the shown text and its pattern.
/// The pattern "*.*" stands for every file, names without a dot included.
struct FileFilter {
  std::string description;
  std::string pattern;
  bool operator==(const FileFilter&) const = default;
};

/// What an open or save file dialog shows.
struct FileDialogRequest {
  std::string title;
  std::string initial_name;         ///< save dialog: the remote file's name
  std::vector<FileFilter> filters;  ///< the first one is preselected
  bool must_exist = false;          ///< open dialog: only an existing file
  /// Always false: the save dialog must not ask about an existing file; the
  /// Replace / Continue dialog does that.
  bool confirm_overwrite = false;
};

/// Everything the session needs from the person in front of it. The GUI shows
/// modal dialogs (a nested event loop); tests and the command-line client give
/// scripted answers. Every call happens on the loop thread.
class SessionUi {
 public:
  virtual ~SessionUi() = default;

  /// A message box centred on the main window; an empty title means the
  /// application title.
  virtual MessageAnswer ShowMessage(const std::string& text, MessageIcon icon,
                                    MessageButtons buttons, const std::string& title) = 0;

  /// The name dialog. Returns the accepted name, or nothing when cancelled.
  /// `validate` checks a candidate (already trimmed by the dialog) and returns
  /// nothing when it is acceptable, or the balloon tip (title, text) to show;
  /// the dialog stays open while a name is refused.
  struct NameProblem {
    std::string title;
    std::string text;
  };
  using NameValidator = std::function<std::optional<NameProblem>(const std::string& name)>;
  virtual std::optional<std::string> AskName(const NameDialogRequest& request,
                                             NameValidator validate) = 0;

  /// Balloon tip on an edit box.
  virtual void ShowBalloonTip(EditBox box, const std::string& text, const std::string& title,
                              BalloonIcon icon) = 0;

  /// Opens a web address with the desktop's browser.
  virtual void OpenUrl(const std::string& url) = 0;

  /// Plays the completion sound of a finished transfer.
  virtual void PlayCompletionSound() = 0;

  /// Replace / Continue / Cancel for an existing target, modal. Continue is
  /// offered only when `request.allow_continue` (the existing copy is shorter);
  /// closing the dialog answers Cancel.
  virtual ExistsAnswer AskReplaceOrResume(const ExistsRequest& request) = 0;

  /// A file to upload, or nothing when cancelled.
  virtual std::optional<std::string> AskOpenFile(const FileDialogRequest& request) = 0;
  /// Where to save a download, or nothing when cancelled. The dialog does not
  /// ask about overwriting (`request.confirm_overwrite` is false).
  virtual std::optional<std::string> AskSaveFile(const FileDialogRequest& request) = 0;

  /// Taskbar progress of the running transfer: 0..100, or -1 to clear it.
  virtual void SetTaskbarProgress(int percent) = 0;

  /// Closes the modal dialogs of a session that has just been reset (name
  /// dialog, file-exists dialog); a no-op where none is open.
  virtual void CloseDialogs() {}

  /// The main window asks to be closed (the program ends), e.g. after the user
  /// chose to fetch a newer client.
  virtual void CloseMainWindow() = 0;
};

}  // namespace session
