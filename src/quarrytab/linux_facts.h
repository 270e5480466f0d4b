#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Parsers of the files Linux keeps its facts in. They are pure and total:
/// any text gives a result, missing fields give empty or nothing.
namespace quarrytab {

/// The first processor of /proc/cpuinfo: "model name" with surrounding spaces
/// removed (empty when the block has none) and "cpu MHz" rounded (0 when absent).
struct CpuFacts {
  std::string name;
  std::int32_t mhz = 0;
};
CpuFacts ParseCpuInfo(std::string_view proc_cpuinfo);

/// A "Name:   1234 kB" field of /proc/meminfo in bytes.
std::optional<std::int64_t> ParseMemInfoBytes(std::string_view proc_meminfo,
                                              std::string_view field);

/// The distribution's name from os-release: PRETTY_NAME, else NAME + " " +
/// VERSION, else NAME; quotes and shell escapes removed. Empty when none.
std::string ParseOsReleaseName(std::string_view os_release);

/// The directories of $XDG_CONFIG_HOME/user-dirs.dirs by name
/// ("DESKTOP" -> "/home/u/Desktop"); "$HOME" is replaced by `home`, relative
/// paths are ignored.
std::map<std::string, std::string> ParseUserDirs(std::string_view text, std::string_view home);

/// One line of /proc/self/mountinfo.
struct MountEntry {
  std::string mount_point;
  std::string fs_type;
  std::string source;
};
std::vector<MountEntry> ParseMountInfo(std::string_view mountinfo);
/// The mount holding `path` (an absolute path without "..": the longest mount
/// point above it, the last one mounted among equals), or nullptr.
const MountEntry* MountOf(const std::vector<MountEntry>& mounts, std::string_view path);

/// Kernel release "6.1.0-18-amd64" as major, minor and patch numbers.
struct KernelVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;
};
KernelVersion ParseKernelRelease(std::string_view release);

}  // namespace quarrytab
