#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "session/file_times.h"
#include "support/stamp.h"

namespace session {

std::optional<std::string> LastWriteStamp(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  std::tm local{};
  if (::localtime_r(&st.st_mtim.tv_sec, &local) == nullptr) return std::nullopt;
  return support::FormatStamp({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec});
}

bool ChangeFileDateTime(const std::string& path, std::string_view /*creation_stamp*/,
                        std::string_view last_write_stamp) {
  if (last_write_stamp.empty()) return true;  // no settable creation time here
  const auto s = support::ParseStamp(last_write_stamp);
  if (!s) return false;
  // mktime carries months past December and days past the month's end over,
  // which is the 1 January + months + days construction.
  std::tm local{};
  local.tm_year = s->year - 1900;
  local.tm_mon = s->month - 1;
  local.tm_mday = s->day;
  local.tm_hour = s->hour;
  local.tm_min = s->minute;
  local.tm_sec = s->second;
  local.tm_isdst = -1;
  const std::time_t when = std::mktime(&local);
  if (when == static_cast<std::time_t>(-1)) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // last access: unchanged
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool IsExistingFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void DeleteFileQuietly(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace session
