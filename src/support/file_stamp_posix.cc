#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "support/file_stamp.h"

namespace support {

Stamp LocalStamp(std::time_t when) {
  std::tm local{};
  if (::localtime_r(&when, &local) == nullptr) return Stamp{};
  return Stamp{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
               local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::optional<std::string> LastWriteStamp(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  const Stamp stamp = LocalStamp(info.st_mtime);
  if (stamp.year < 1 || stamp.year > 9999) return std::nullopt;
  return FormatStamp(stamp);
}

bool SetLastWriteStamp(const std::string& path, const Stamp& stamp) {
  std::tm local{};
  local.tm_year = stamp.year - 1900;
  local.tm_mon = stamp.month - 1;
  local.tm_mday = stamp.day;
  local.tm_hour = stamp.hour;
  local.tm_min = stamp.minute;
  local.tm_sec = stamp.second;
  local.tm_isdst = -1;  // the stamp is local time; the zone rules decide
  const std::time_t when = std::mktime(&local);
  if (when == static_cast<std::time_t>(-1) && stamp.year != 1969) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // last access: unchanged
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

}  // namespace support
