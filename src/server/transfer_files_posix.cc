#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "server/transfer_files.h"
#include "support/stamp.h"

namespace server {

std::optional<std::string> ModificationStamp(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  struct tm local {};
  if (::localtime_r(&info.st_mtime, &local) == nullptr) return std::nullopt;
  support::Stamp stamp{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
  if (stamp.year < 1 || stamp.year > 9999) return std::nullopt;
  return support::FormatStamp(stamp);
}

bool SetModificationStamp(const std::filesystem::path& path, std::string_view text) {
  const auto stamp = support::ParseStamp(text);
  if (!stamp || !support::IsValidStamp(*stamp)) return false;
  struct tm local {};
  local.tm_year = stamp->year - 1900;
  local.tm_mon = stamp->month - 1;
  local.tm_mday = stamp->day;
  local.tm_hour = stamp->hour;
  local.tm_min = stamp->minute;
  local.tm_sec = stamp->second;
  local.tm_isdst = -1;  // the stamp is local time; let the zone rules decide
  const time_t when = ::mktime(&local);
  if (when == static_cast<time_t>(-1) && stamp->year != 1969) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // access time unchanged
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

FileSink::~FileSink() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileSink::Open(const std::filesystem::path& path, std::int64_t offset) {
  if (fd_ >= 0) Close();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd_ < 0) return false;
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || ::ftruncate(fd_, offset) != 0 ||
      ::lseek(fd_, offset, SEEK_SET) != offset) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

bool FileSink::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool FileSink::Close() {
  if (fd_ < 0) return true;
  const bool ok = ::close(fd_) == 0;
  fd_ = -1;
  return ok;
}

FileSource::~FileSource() { Close(); }

bool FileSource::Open(const std::filesystem::path& path, std::int64_t offset) {
  Close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  if (::lseek(fd_, offset, SEEK_SET) != offset) {
    Close();
    return false;
  }
  return true;
}

bool FileSource::Read(std::string& block, std::size_t max) {
  block.resize(max);
  while (true) {
    const ssize_t n = ::read(fd_, block.data(), max);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      block.clear();
      return false;
    }
    block.resize(static_cast<std::size_t>(n));
    return true;
  }
}

void FileSource::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace server
