#pragma once

#include <cstdint>
#include <string>

namespace quarrytab {

/// The first processor, asked afresh on every call. On Linux both facts come
/// from /proc/cpuinfo (see ParseCpuInfo); Frequency prefers the nominal
/// maximum of cpufreq (/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq).
class CPUInfo {
 public:
  /// Clock rate in MHz, 0 when unknown.
  std::int32_t Frequency() const;
  /// Processor name without surrounding spaces, "" when unknown.
  std::string Name() const;
};

}  // namespace quarrytab
