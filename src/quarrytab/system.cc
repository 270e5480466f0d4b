#include "quarrytab/system.h"

#include <chrono>

#include "quarrytab/display_facts.h"

namespace quarrytab {
namespace {

template <typename T>
T& Lazy(std::unique_ptr<T>& slot) {
  if (!slot) slot = std::make_unique<T>();
  return *slot;
}

}  // namespace

System::System() {
  const auto now = std::chrono::system_clock::now();
  const std::int64_t seconds =
      std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
  start_time_ = LocalDateFromUnix(seconds) - UpTime() / 86400.0;
}

System::~System() = default;

CPUInfo& System::CPU() { return Lazy(cpu_); }
DiskInfo& System::Disk() { return Lazy(disk_); }
MetricsInfo& System::Metrics() { return Lazy(metrics_); }
OSInfo& System::OS() { return Lazy(os_); }
RAMInfo& System::RAM() { return Lazy(ram_); }
TaskbarInfo& System::Taskbar() { return Lazy(taskbar_); }

bool System::IsTablet() const { return CurrentDisplayFacts()->IsTablet(); }

}  // namespace quarrytab
