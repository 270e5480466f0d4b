#pragma once

#include <cstdint>
#include <string>

namespace session {

/// The log as the session writes it: plain lines always (while logging is on),
/// lines with a procedure only when the debug level reaches `level`.
class SessionLog {
 public:
  virtual ~SessionLog() = default;
  virtual void WriteLog(const std::string& text, const std::string& procedure = {},
                        int level = 0) = 0;
  /// "[" + source + "] Σφάλμα: " + description, logged and shown as a critical
  /// message centred on the main window.
  virtual void ShowError(const std::string& description, const std::string& source) = 0;
  /// The debug level (the `Debug` setting).
  virtual int DebugLevel() const = 0;
};

/// The facts about this computer that the log-in reports.
class ComputerFacts {
 public:
  virtual ~ComputerFacts() = default;
  /// Operating system with edition and version.
  virtual std::string OsText() = 0;
  virtual std::string CpuName() = 0;
  virtual std::int64_t TotalRamBytes() = 0;
  virtual std::int64_t FreeDiskBytes() = 0;
};

}  // namespace session
