#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "app/logger.h"
#include "cli/cli_args.h"
#include "cli/console_log.h"
#include "cli/console_ui.h"
#include "net/poll_event_loop.h"
#include "session/app_services.h"
#include "session/folder_session.h"

namespace cli {

/// Exit codes of vaultline-cli.
enum class ExitCode { kOk = 0, kRefused = 1, kUsage = 2, kConnection = 3 };

/// The command-line client: builds a folder session the way the main window
/// does and drives it through the same entry points a person uses (type the
/// ID and password, press Connect, select rows, press Enter and the buttons),
/// waiting on the event loop for each step to finish.
class CliClient {
 public:
  /// `out` gets the command's result (listing, usage), `err` the messages
  /// and the progress line (drawn only when `terminal`).
  CliClient(CliOptions options, std::string password, std::ostream& out, std::ostream& err,
            bool terminal);
  ~CliClient();
  CliClient(const CliClient&) = delete;
  CliClient& operator=(const CliClient&) = delete;

  /// Logs in, runs the command, logs out. Never throws.
  ExitCode Run();

  /// Longest wait for the server's answer to one request.
  void SetReplyTimeout(std::chrono::milliseconds timeout) { reply_timeout_ = timeout; }

  /// The host the parameters file is fetched from (build constant).
  static const char* ParametersHost();

 private:
  using Clock = std::chrono::steady_clock;

  session::SessionConfig MakeConfig() const;
  ExitCode LogIn();
  ExitCode SwitchToDealers();
  /// Opens the folders of `names` one by one from the current folder.
  ExitCode OpenFolders(const std::vector<std::string>& names);
  ExitCode RunCommand();
  ExitCode List();
  ExitCode Get();
  ExitCode Put();
  ExitCode MakeFolder();
  ExitCode Rename();
  ExitCode Delete();
  ExitCode Usage();

  /// Selects the row named `name` (exact match first, then ignoring letter
  /// case); -1 when there is none.
  int FindRow(const std::string& name) const;
  /// Opens the parent folder of the remote path and selects its last name.
  ExitCode SelectTarget(int& row);
  /// Runs the loop until `done` holds or the session has dropped the
  /// connection; false on timeout. Draws the progress line meanwhile.
  bool Wait(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  /// Waits until the window is enabled again and no transfer runs.
  ExitCode WaitIdle();
  /// Waits for the end of a transfer, however long it streams, as long as it
  /// keeps moving.
  ExitCode WaitTransfer();
  bool Idle() const;
  bool Connected() const;
  /// The exit code for what the step showed so far (kOk when nothing went wrong).
  ExitCode Outcome() const;
  std::string CurrentFolder() const;

  CliOptions options_;
  std::string password_;
  std::ostream& out_;
  std::ostream& err_;
  std::chrono::milliseconds reply_timeout_{60000};

  net::PollEventLoop loop_;
  app::Logger logger_;
  ConsoleLog log_;
  session::SystemComputerFacts facts_;
  ConsoleUi ui_;
  std::unique_ptr<session::FolderSession> session_;
  std::vector<std::string> folder_;  ///< names of the folder shown, from the root
};

}  // namespace cli
