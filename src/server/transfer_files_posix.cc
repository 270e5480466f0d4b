#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "server/transfer_files.h"
#include "support/file_stamp.h"

namespace server {

std::optional<std::string> ModificationStamp(const std::filesystem::path& path) {
  return support::LastWriteStamp(path.string());
}

bool SetModificationStamp(const std::filesystem::path& path, std::string_view text) {
  const auto stamp = support::ParseStamp(text);
  if (!stamp || !support::IsValidStamp(*stamp)) return false;
  return support::SetLastWriteStamp(path.string(), *stamp);
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
