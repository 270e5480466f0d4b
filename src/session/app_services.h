#pragma once

#include <memory>

#include "app/logger.h"
#include "quarrytab/system.h"
#include "session/session_services.h"

/// The session's services over the application's own objects: the log of the
/// main window and the one System object of the system-information library.
namespace session {

class LoggerSessionLog : public SessionLog {
 public:
  explicit LoggerSessionLog(app::Logger& logger) : logger_(logger) {}
  void WriteLog(const std::string& text, const std::string& procedure, int level) override {
    logger_.WriteLog(text, procedure, level);
  }
  void ShowError(const std::string& description, const std::string& source) override {
    logger_.ShowError(description, source);
  }
  int DebugLevel() const override { return logger_.DebugLevel(); }

 private:
  app::Logger& logger_;
};

/// The facts of PCINFO from a System object created on first use and kept.
class SystemComputerFacts : public ComputerFacts {
 public:
  std::string OsText() override { return System().OS().GetFullVersionString(true); }
  std::string CpuName() override { return System().CPU().Name(); }
  std::int64_t TotalRamBytes() override { return System().RAM().Total(); }
  /// Free space of the drive the program's default disk object names (the
  /// system drive).
  std::int64_t FreeDiskBytes() override {
    const std::int64_t free = System().Disk().Free();
    return free < 0 ? 0 : free;
  }

 private:
  quarrytab::System& System() {
    if (!system_) system_ = std::make_unique<quarrytab::System>();
    return *system_;
  }
  std::unique_ptr<quarrytab::System> system_;
};

}  // namespace session
