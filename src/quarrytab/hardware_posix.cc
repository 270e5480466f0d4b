// The Linux sources of the processor, memory and disk facts.

#include <sys/statvfs.h>
#include <sys/sysinfo.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "quarrytab/cpu_info.h"
#include "quarrytab/disk_info.h"
#include "quarrytab/linux_facts.h"
#include "quarrytab/ram_info.h"
#include "support/text.h"

namespace quarrytab {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool StatVolume(const std::string& dir, struct statvfs& st) {
  return statvfs(dir.c_str(), &st) == 0;
}

/// Undoes the \xNN escapes of /dev/disk/by-label names.
std::string UnescapeLabel(std::string_view name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    unsigned value = 0;
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
        std::sscanf(std::string(name.substr(i + 2, 2)).c_str(), "%2x", &value) == 1) {
      out.push_back(static_cast<char>(value));
      i += 3;
    } else {
      out.push_back(name[i]);
    }
  }
  return out;
}

}  // namespace

std::int32_t CPUInfo::Frequency() const {
  const std::string khz = std::string(
      support::TrimBlanks(ReadText("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq")));
  if (const auto n = support::ParseNonNegative(khz); n && *n > 0 && *n / 1000 < INT32_MAX) {
    return static_cast<std::int32_t>((*n + 500) / 1000);
  }
  return ParseCpuInfo(ReadText("/proc/cpuinfo")).mhz;
}

std::string CPUInfo::Name() const { return ParseCpuInfo(ReadText("/proc/cpuinfo")).name; }

RAMInfo::RAMInfo() {
  struct sysinfo info {};
  if (sysinfo(&info) == 0) {
    total_ = static_cast<std::int64_t>(info.totalram) * info.mem_unit;
  }
}

std::int64_t RAMInfo::Available() const {
  if (const auto bytes = ParseMemInfoBytes(ReadText("/proc/meminfo"), "MemAvailable")) {
    return *bytes;
  }
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return -1;
  return static_cast<std::int64_t>(info.freeram) * info.mem_unit;
}

std::string DiskInfo::MountPath() const {
  const char letter = root_path_[0];
  if (letter == 'C') return "/";
  return std::string("/mnt/") + static_cast<char>(letter - 'A' + 'a');
}

std::int64_t DiskInfo::Free() const {
  struct statvfs st {};
  if (!StatVolume(MountPath(), st)) return -1;
  return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
}

std::int64_t DiskInfo::Size() const {
  struct statvfs st {};
  if (!StatVolume(MountPath(), st)) return -1;
  return static_cast<std::int64_t>(st.f_blocks) * static_cast<std::int64_t>(st.f_frsize);
}

std::string DiskInfo::VolumeSerialNumber() const {
  struct statvfs st {};
  if (!StatVolume(MountPath(), st)) return std::string();
  const auto serial = static_cast<std::uint32_t>(st.f_fsid & 0xFFFFFFFFu);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04X-%04X", static_cast<unsigned>(serial >> 16),
                static_cast<unsigned>(serial & 0xFFFF));
  return buf;
}

std::string DiskInfo::FileSystem() const {
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::canonical(MountPath(), ec);
  if (ec) return std::string();
  const std::vector<MountEntry> mounts = ParseMountInfo(ReadText("/proc/self/mountinfo"));
  const MountEntry* mount = MountOf(mounts, dir.string());
  return mount == nullptr ? std::string() : mount->fs_type.substr(0, 9);
}

std::string DiskInfo::VolumeLabel() const {
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::canonical(MountPath(), ec);
  if (ec) return std::string();
  const std::vector<MountEntry> mounts = ParseMountInfo(ReadText("/proc/self/mountinfo"));
  const MountEntry* mount = MountOf(mounts, dir.string());
  if (mount == nullptr || !mount->source.starts_with("/dev/")) return std::string();
  const std::filesystem::path device = std::filesystem::canonical(mount->source, ec);
  if (ec) return std::string();
  for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", ec)) {
    std::error_code link_ec;
    if (std::filesystem::canonical(entry.path(), link_ec) == device && !link_ec) {
      return UnescapeLabel(entry.path().filename().string()).substr(0, 31);
    }
  }
  return std::string();
}

std::string DriveLetterOfPath(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    return std::string(1, static_cast<char>(path[0] & ~0x20));
  }
  if (path.starts_with("/mnt/") && path.size() >= 6 && path[5] >= 'a' && path[5] <= 'z' &&
      (path.size() == 6 || path[6] == '/')) {
    return std::string(1, static_cast<char>(path[5] - 'a' + 'A'));
  }
  return "C";
}

}  // namespace quarrytab
