#pragma once

#include <cstdint>

namespace quarrytab {

/// Physical memory in bytes (-1 when the system does not say). Total is taken
/// when the object is created, Available on every call. On Linux: sysinfo()
/// for the total, MemAvailable of /proc/meminfo for the available memory.
class RAMInfo {
 public:
  RAMInfo();
  std::int64_t Available() const;
  std::int64_t Total() const { return total_; }

 private:
  std::int64_t total_ = -1;
};

}  // namespace quarrytab
