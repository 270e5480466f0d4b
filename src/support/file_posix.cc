// POSIX half of File (Linux): descriptors, errno mapped to the Windows codes
// callers test, share-deny emulation and Windows-style byte-range locks.
//
// Sharing. Linux has no share modes, so each open `File` advertises what it
// does with advisory open-file-description (OFD) locks on four reserved bytes
// at the top of the 64-bit offset space, far past any real data:
//   marker 0: holds read access      marker 1: holds write access
//   marker 2: denies others reading  marker 3: denies others writing
// An opener first takes shared locks on its own markers, then tests (F_OFD_GETLK,
// which places nothing) whether anyone else holds a marker that conflicts with
// it. Marking before testing means two openers racing each other can both see
// the conflict and both fail, but never both succeed. OFD locks belong to the
// open file description, so two `File` objects of one process see each other
// (classic fcntl locks would not), closing any other descriptor of the file does
// not drop them, and closing ours drops them all at once. They are advisory:
// they bind `File` objects of every process, not programs that ignore them.
//
// A shared lock needs a readable descriptor, so a write-only open uses a
// read-write descriptor when the permissions allow it; reading through it is
// still refused (5), as on Windows. A file one may write but not read can only
// be opened without advertising its own markers. On a file system without
// locks (ENOLCK, EOPNOTSUPP) files open without share enforcement rather than
// not at all.
//
// Byte-range locks follow the Windows rules on top of OFD locks: they never
// wait, an object's own exclusive lock may not overlap any other of its locks,
// and UnlockRange takes back exactly one range locked before. The ranges are
// clipped below the reserved marker bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

#include "support/error.h"
#include "support/file.h"

static_assert(sizeof(off_t) == 8, "File needs 64-bit file offsets");

namespace support {
namespace {

constexpr std::int64_t kMaxOffset = std::numeric_limits<off_t>::max();
// First of the reserved marker bytes (the last eight offsets of the space).
constexpr std::int64_t kMarkerBase = kMaxOffset - 7;
enum Marker { kHoldsRead = 0, kHoldsWrite = 1, kDeniesRead = 2, kDeniesWrite = 3 };
// Largest single read or write: Linux moves at most about 2 GiB per call.
constexpr std::int64_t kMaxTransfer = std::int64_t{1} << 30;

[[noreturn]] void Raise(std::uint32_t code, const char* source) {
  throw Error(File::ErrorBase + static_cast<std::int32_t>(code), source, FileSystemMessage(code));
}

std::uint32_t CodeOfErrno(int err) {
  switch (err) {
    case ENOENT:
      return win32::kFileNotFound;
    case ENOTDIR:
      return win32::kPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
      return win32::kAccessDenied;
    case ETXTBSY:
      return win32::kSharingViolation;
    case EAGAIN:
      return win32::kLockViolation;
    case EBADF:
      return win32::kInvalidHandle;
    case EMFILE:
    case ENFILE:
      return win32::kTooManyOpenFiles;
    case ENOMEM:
      return win32::kNotEnoughMemory;
    case EROFS:
      return win32::kWriteProtect;
    case ENXIO:
    case ENODEV:
      return win32::kNotReady;
    case ENOLCK:
      return win32::kSharingBufferExceeded;
    case EOPNOTSUPP:
      return win32::kNotSupported;
    case EEXIST:
      return win32::kFileExists;
    case EINVAL:
    case EOVERFLOW:
    case ESPIPE:
      return win32::kInvalidParameter;
    case ENOSPC:
    case EDQUOT:
      return win32::kDiskFull;
    case ENAMETOOLONG:
      return win32::kFilenameTooLong;
    case EFBIG:
      return win32::kFileTooLarge;
    case EIO:
      return win32::kIoDevice;
    case ELOOP:
      return win32::kCantResolveFilename;
    default:
      return win32::kGenFailure;
  }
}

[[noreturn]] void RaiseErrno(int err, const char* source) {
  const std::uint32_t code = CodeOfErrno(err);
  std::string description = FileSystemMessage(code);
  // The generic code says little; keep the system's own reason beside it.
  if (code == win32::kGenFailure) description += std::string(" (") + std::strerror(err) + ")";
  throw Error(File::ErrorBase + static_cast<std::int32_t>(code), source, std::move(description));
}

// ENOENT names the file when its folder exists and the path otherwise, as
// Windows does (2 versus 3).
std::uint32_t CodeOfMissing(const std::string& path) {
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (parent.empty()) return win32::kFileNotFound;
  struct stat st {};
  if (::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return win32::kFileNotFound;
  return win32::kPathNotFound;
}

int OpenNoInterrupt(const std::string& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int LockCommand(int fd, int command, short type, std::int64_t start, std::int64_t length,
                short* found = nullptr) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  lock.l_pid = 0;  // required by the OFD commands
  int rc;
  do {
    rc = ::fcntl(fd, command, &lock);
  } while (rc < 0 && errno == EINTR);
  if (rc == 0 && found) *found = lock.l_type;
  return rc;
}

bool LocksUnsupported(int err) { return err == ENOLCK || err == EOPNOTSUPP || err == EINVAL; }

// Advertises this opener's access and denials and tells whether another open
// `File` conflicts with them. Raises only for unexpected lock failures.
bool ShareConflict(int fd, bool reads, bool writes, bool deny_read, bool deny_write,
                   const char* source) {
  const bool mine[4] = {reads, writes, deny_read, deny_write};
  for (int marker = 0; marker < 4; ++marker) {
    if (!mine[marker]) continue;
    if (LockCommand(fd, F_OFD_SETLK, F_RDLCK, kMarkerBase + marker, 1) == 0) continue;
    if (errno == EBADF) break;  // not readable: can test others, not advertise
    if (LocksUnsupported(errno)) return false;
    RaiseErrno(errno, source);
  }
  // Each of my wishes against the marker of the others' that forbids it.
  const bool test[4] = {deny_read, deny_write, reads, writes};
  for (int marker = 0; marker < 4; ++marker) {
    if (!test[marker]) continue;
    short found = F_UNLCK;
    if (LockCommand(fd, F_OFD_GETLK, F_WRLCK, kMarkerBase + marker, 1, &found) != 0) {
      if (LocksUnsupported(errno)) return false;
      RaiseErrno(errno, source);
    }
    if (found != F_UNLCK) return true;
  }
  return false;
}

}  // namespace

struct File::Os {
  struct Range {
    std::int64_t first;
    std::int64_t last;
    bool exclusive;
  };
  int fd = -1;
  bool can_read = false;  // the access asked for, which the descriptor may exceed
  bool can_write = false;
  std::vector<Range> locks;  // this object's byte-range locks, as asked
};

void File::OsDelete::operator()(Os* os) const { delete os; }

void File::OsOpen(std::string_view file_name, std::uint32_t access, std::uint8_t share_deny,
                  bool create) {
  static constexpr const char* kSource = "File:OpenFile";
  if (file_name.find('\0') != std::string_view::npos) Raise(win32::kInvalidName, kSource);
  if (file_name.empty()) Raise(win32::kPathNotFound, kSource);
  const std::string path(file_name);
  const bool reads = (access & kGenericRead) != 0;
  const bool writes = (access & kGenericWrite) != 0;

  int flags = O_CLOEXEC | O_NOCTTY;
  if (create && writes) flags |= O_CREAT;
  if (write_through_) flags |= O_DSYNC;
  if (!use_system_buffering_) flags |= O_DIRECT;
  const int mode = reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
  auto open_with = [&](int extra) {
    int fd = -1;
    if (mode == O_WRONLY) fd = OpenNoInterrupt(path, extra | O_RDWR);
    if (fd < 0) fd = OpenNoInterrupt(path, extra | mode);
    return fd;
  };
  int fd = open_with(flags);
  // tmpfs and some others have no unbuffered mode; buffering only affects
  // speed, so such a file opens buffered.
  if (fd < 0 && errno == EINVAL && (flags & O_DIRECT)) fd = open_with(flags & ~O_DIRECT);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT) Raise(CodeOfMissing(path), kSource);
    RaiseErrno(err, kSource);
  }

  auto fail = [&](auto raise) {
    ::close(fd);
    raise();
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    fail([&] { RaiseErrno(err, kSource); });
  }
  // Windows refuses to open a folder as a file.
  if (S_ISDIR(st.st_mode)) fail([&] { Raise(win32::kAccessDenied, kSource); });
  // Handle 0 means "closed", and descriptors 0-2 are the standard streams a
  // stray write must never reach: keep the file above them.
  if (fd <= STDERR_FILENO) {
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int err = errno;
    ::close(fd);
    if (moved < 0) RaiseErrno(err, kSource);
    fd = moved;
  }
  bool conflict = false;
  try {
    conflict = ShareConflict(fd, reads, writes, (share_deny & kDenyRead) != 0,
                             (share_deny & kDenyWrite) != 0, kSource);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (conflict) fail([&] { Raise(win32::kSharingViolation, kSource); });
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);

  os_.reset(new Os);
  os_->fd = fd;
  os_->can_read = reads;
  os_->can_write = writes;
}

void File::OsClose() noexcept {
  // The descriptor is gone whatever close reports; retrying could close a
  // descriptor someone else just opened.
  ::close(os_->fd);
}

void File::OsFlush() noexcept { ::fsync(os_->fd); }

std::intptr_t File::OsHandle() const { return os_->fd; }

std::int64_t File::OsTell(const char* source) const {
  const off_t at = ::lseek(os_->fd, 0, SEEK_CUR);
  if (at < 0) RaiseErrno(errno, source);
  return at;
}

void File::OsSeek(std::int64_t offset, bool relative, const char* source) {
  if (!relative && offset < 0) Raise(win32::kNegativeSeek, source);
  if (::lseek(os_->fd, offset, relative ? SEEK_CUR : SEEK_SET) < 0) {
    // EINVAL is a target before the first byte.
    if (errno == EINVAL) Raise(win32::kNegativeSeek, source);
    RaiseErrno(errno, source);
  }
}

std::int64_t File::OsSize(const char* source) const {
  struct stat st {};
  if (::fstat(os_->fd, &st) != 0) RaiseErrno(errno, source);
  return st.st_size;
}

void File::OsTruncate(const char* source) {
  if (!os_->can_write) Raise(win32::kAccessDenied, source);
  const std::int64_t at = OsTell(source);
  int rc;
  do {
    rc = ::ftruncate(os_->fd, at);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0) RaiseErrno(errno, source);
}

std::int64_t File::OsRead(void* data, std::int64_t count, const char* source) {
  if (!os_->can_read) Raise(win32::kAccessDenied, source);
  auto* at = static_cast<char*>(data);
  while (bytes_transferred_ < count) {
    const auto chunk = static_cast<std::size_t>(std::min(count - bytes_transferred_, kMaxTransfer));
    const ssize_t n = ::read(os_->fd, at + bytes_transferred_, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseErrno(errno, source);
    }
    if (n == 0) break;  // end of file
    bytes_transferred_ += n;
  }
  return bytes_transferred_;
}

void File::OsWrite(const void* data, std::int64_t count, const char* source) {
  if (!os_->can_write) Raise(win32::kAccessDenied, source);
  const auto* at = static_cast<const char*>(data);
  while (bytes_transferred_ < count) {
    const auto chunk = static_cast<std::size_t>(std::min(count - bytes_transferred_, kMaxTransfer));
    const ssize_t n = ::write(os_->fd, at + bytes_transferred_, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseErrno(errno, source);
    }
    if (n == 0) Raise(win32::kDiskFull, source);
    bytes_transferred_ += n;
  }
}

void File::OsLock(std::int64_t first, std::int64_t last, bool exclusive, const char* source) {
  for (const Os::Range& held : os_->locks) {
    const bool overlap = held.first <= last && first <= held.last;
    if (overlap && (exclusive || held.exclusive)) Raise(win32::kLockViolation, source);
  }
  const std::int64_t end = std::min(last, kMarkerBase - 1);
  if (first < 0 || first > end) Raise(win32::kInvalidParameter, source);
  if (LockCommand(os_->fd, F_OFD_SETLK, exclusive ? F_WRLCK : F_RDLCK, first, end - first + 1) !=
      0) {
    // EBADF: the descriptor's mode does not allow this kind of lock.
    if (errno == EACCES || errno == EAGAIN) Raise(win32::kLockViolation, source);
    if (errno == EBADF) Raise(win32::kAccessDenied, source);
    RaiseErrno(errno, source);
  }
  os_->locks.push_back({first, last, exclusive});
}

void File::OsUnlock(std::int64_t first, std::int64_t last, const char* source) {
  auto& locks = os_->locks;
  const auto it = std::find_if(locks.begin(), locks.end(), [&](const Os::Range& held) {
    return held.first == first && held.last == last;
  });
  if (it == locks.end()) Raise(win32::kNotLocked, source);
  locks.erase(it);
  // The system merges overlapping shared locks of one owner; release only the
  // bytes that no other range of this object still covers.
  std::vector<Os::Range> kept;
  for (const Os::Range& held : locks) {
    if (held.first <= last && first <= held.last) kept.push_back(held);
  }
  std::sort(kept.begin(), kept.end(),
            [](const Os::Range& a, const Os::Range& b) { return a.first < b.first; });
  const std::int64_t end = std::min(last, kMarkerBase - 1);
  std::int64_t from = first;
  auto release = [&](std::int64_t a, std::int64_t b) {
    if (a > b) return;
    if (LockCommand(os_->fd, F_OFD_SETLK, F_UNLCK, a, b - a + 1) != 0) RaiseErrno(errno, source);
  };
  for (const Os::Range& held : kept) {
    release(from, std::min(end, held.first - 1));
    if (held.last >= end) return;
    from = std::max(from, held.last + 1);
  }
  release(from, end);
}

}  // namespace support
