#include "app/logger.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "support/error.h"
#include "support/stamp.h"

namespace app {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

bool MakeDirectories(const std::string& path) {
  for (std::size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
    const std::string prefix = path.substr(0, pos);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (pos == std::string::npos) return true;
  }
}

std::unique_ptr<LogFile> TryOpen(const std::string& dir, const std::string& name,
                                 const LogFile::Clock& clock) {
  if (dir.empty()) return nullptr;
  auto log = std::make_unique<LogFile>(clock);
  try {
    log->OpenLogFile(dir + "/" + name, true);
  } catch (const support::Error&) {
    return nullptr;
  }
  return log;
}

}  // namespace

std::string LogFileName(const LocalTime& t) {
  return support::FormatStamp({t.year, t.month, t.day, t.hour, t.minute, t.second}) + ".log";
}

std::string UserLogDirectory() {
  std::string state = Env("XDG_STATE_HOME");
  if (state.empty() || state[0] != '/') {
    const std::string home = Env("HOME");
    if (home.empty()) return std::string();
    state = home + "/.local/state";
  }
  return state + "/vaultline";
}

std::unique_ptr<LogFile> OpenProgramLog(const std::string& program_dir, const LocalTime& start,
                                        LogFile::Clock clock) {
  const std::string name = LogFileName(start);
  if (auto log = TryOpen(program_dir, name, clock)) return log;
  const std::string user_dir = UserLogDirectory();
  if (user_dir.empty() || !MakeDirectories(user_dir)) return nullptr;
  return TryOpen(user_dir, name, clock);
}

Logger::Logger(std::unique_ptr<LogFile> log) : enabled_(true), log_(std::move(log)) {}

Logger::Logger() = default;

void Logger::WriteLog(std::string_view text, std::string_view procedure, std::int32_t level) {
  if (!enabled_ || !log_) return;
  std::string line;
  if (!procedure.empty()) {
    if (debug_level_ < level) return;
    line = "DEBUG: " + std::string(procedure) + "->";
  }
  line.append(text);
  try {
    log_->AppendLog(line, true);
  } catch (const support::Error&) {
    // A full or vanished disk must not turn every report into a failure of its own.
  }
}

void Logger::ShowError(std::string_view message, std::string_view source) {
  const std::string text =
      "[" + std::string(source) + "] " + "Σφάλμα" + ": " + std::string(message);
  WriteLog(text);
  if (error_box_) error_box_(text);
}

void Logger::Close() {
  if (log_) log_->CloseLogFile();
  log_.reset();
}

}  // namespace app
