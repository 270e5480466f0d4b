#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/log_file.h"

namespace app {

/// The log file's name for a start time: "yyyymmddhhnnss.log".
std::string LogFileName(const LocalTime& start);

/// The user's state directory for logs: $XDG_STATE_HOME/vaultline, else
/// ~/.local/state/vaultline.
std::string UserLogDirectory();

/// Opens (emptied) the log named after `start` in `program_dir` when that
/// folder takes it, else in UserLogDirectory() (created 0700 when missing).
/// Nothing when neither works: the program then runs without a log.
std::unique_ptr<LogFile> OpenProgramLog(const std::string& program_dir, const LocalTime& start,
                                        LogFile::Clock clock = LocalNow);

/// The main window's logging: the logging-enabled flag (off with "/nolog"),
/// the log object, the debug level, and the error report.
class Logger {
 public:
  /// Shows an error text in a critical message box centred on the main window,
  /// with the application's title.
  using ErrorBox = std::function<void(const std::string& text)>;

  /// Logging on with `log` (nullptr: on, but there is no file to write to).
  explicit Logger(std::unique_ptr<LogFile> log);
  /// Logging off.
  Logger();

  bool LoggingEnabled() const { return enabled_; }
  LogFile* Log() const { return log_.get(); }
  std::int32_t DebugLevel() const { return debug_level_; }
  void SetDebugLevel(std::int32_t level) { debug_level_ = level; }
  void SetErrorBox(ErrorBox box) { error_box_ = std::move(box); }

  /// Writes a line with a time stamp. A line with a procedure name is a debug
  /// line: written only when the debug level is at least `level`, as "DEBUG: "
  /// + procedure + "->" + text. A log the disk refuses loses the line, never
  /// the caller's work.
  void WriteLog(std::string_view text, std::string_view procedure = {}, std::int32_t level = 0);
  /// Logs "[" + source + "] Σφάλμα: " + message as a plain line and shows the
  /// same text in the error box (also with logging off).
  void ShowError(std::string_view message, std::string_view source);

  /// Closes and releases the log (at unload).
  void Close();

 private:
  bool enabled_ = false;
  std::unique_ptr<LogFile> log_;
  std::int32_t debug_level_ = 0;
  ErrorBox error_box_;
};

}  // namespace app
