#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "quarrytab/cpu_info.h"
#include "quarrytab/disk_info.h"
#include "quarrytab/metrics_info.h"
#include "quarrytab/ole_date.h"
#include "quarrytab/os_info.h"
#include "quarrytab/ram_info.h"
#include "quarrytab/taskbar_info.h"

namespace quarrytab {

/// The computer's facts. The start time is fixed at creation; each child
/// object is created on the first call of its member and the same object is
/// returned for the life of this one, so changes to a child (DiskInfo's letter)
/// persist.
///
/// On Linux: LastShutdown is the latest shutdown record of /var/log/wtmp (0
/// when there is none), UpTime the seconds of CLOCK_BOOTTIME, ComputerName the
/// host name, UserName the effective user's login name, IsTablet what the
/// installed DisplayFacts say (false without a window system).
class System {
 public:
  System();
  ~System();
  System(const System&) = delete;
  System& operator=(const System&) = delete;

  Date LastShutdown() const;
  /// Seconds since the system started.
  double UpTime() const;
  /// Now minus UpTime, computed once at creation.
  Date StartTime() const { return start_time_; }
  CPUInfo& CPU();
  DiskInfo& Disk();
  std::string ComputerName() const;
  MetricsInfo& Metrics();
  OSInfo& OS();
  RAMInfo& RAM();
  TaskbarInfo& Taskbar();
  std::string UserName() const;
  bool IsTablet() const;

 private:
  Date start_time_ = 0;
  std::unique_ptr<DiskInfo> disk_;
  std::unique_ptr<RAMInfo> ram_;
  std::unique_ptr<MetricsInfo> metrics_;
  std::unique_ptr<TaskbarInfo> taskbar_;
  std::unique_ptr<OSInfo> os_;
  std::unique_ptr<CPUInfo> cpu_;
};

}  // namespace quarrytab
