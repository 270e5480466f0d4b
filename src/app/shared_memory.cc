#include "app/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "support/error.h"

namespace app {

namespace {

constexpr mode_t kMode = 0600;
/// Longest escaped name kept as it is; a longer one is shortened with a hash
/// so the object name stays within NAME_MAX.
constexpr std::size_t kMaxPlainName = 200;

std::string Escaped(std::string_view name) {
  std::string out;
  for (const unsigned char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
        c == '_' || c == '-') {
      out += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      out += escaped;
    }
  }
  if (out.size() > kMaxPlainName) {
    // FNV-1a: the same in every build, so two programs agree on the name.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const unsigned char c : out) hash = (hash ^ c) * 0x100000001b3ULL;
    char hashed[24];
    std::snprintf(hashed, sizeof hashed, "-%016llx", static_cast<unsigned long long>(hash));
    out = out.substr(0, kMaxPlainName - 17) + hashed;
  }
  return out;
}

// The login session, as far as names go: the user's runtime folder, which the
// single-instance lock uses too. Every program of one session sees the same
// $XDG_RUNTIME_DIR, so they agree on the tag; "0" without one.
std::string SessionTag() {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  if (dir == nullptr || *dir == '\0') return "0";
  std::uint32_t hash = 0x811c9dc5U;  // FNV-1a, 32 bits
  for (const char* c = dir; *c != '\0'; ++c) {
    hash = (hash ^ static_cast<unsigned char>(*c)) * 0x01000193U;
  }
  char tag[12];
  std::snprintf(tag, sizeof tag, "%08x", hash);
  return tag;
}

bool SizeFitsFile(std::size_t size) {
  return size <= static_cast<std::size_t>(std::numeric_limits<off_t>::max());
}

}  // namespace

SharedMemory::~SharedMemory() { Destroy(); }

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : name_(std::move(other.name_)),
      posix_name_(std::move(other.posix_name_)),
      view_(std::exchange(other.view_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      read_only_(std::exchange(other.read_only_, false)),
      owner_(std::exchange(other.owner_, false)),
      last_error_(other.last_error_) {
  other.name_.clear();
  other.posix_name_.clear();
}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
  if (this != &other) {
    Destroy();
    name_ = std::move(other.name_);
    posix_name_ = std::move(other.posix_name_);
    view_ = std::exchange(other.view_, nullptr);
    size_ = std::exchange(other.size_, 0);
    read_only_ = std::exchange(other.read_only_, false);
    owner_ = std::exchange(other.owner_, false);
    last_error_ = other.last_error_;
    other.name_.clear();
    other.posix_name_.clear();
  }
  return *this;
}

std::string SharedMemory::PosixName(std::string_view name, bool global) {
  if (global) return "/global." + Escaped(name);
  return "/local." + std::to_string(::geteuid()) + "." + SessionTag() + "." + Escaped(name);
}

void SharedMemory::Validate(std::string_view name, std::size_t size, const char* member) {
  if (name.find('\\') != std::string_view::npos || size < 1) {
    throw support::InvalidArgument(member);
  }
}

bool SharedMemory::Create(std::string_view name, std::size_t size, bool global) {
  Validate(name, size, "SharedMemory.Create");
  Destroy();
  if (name.empty() || !SizeFitsFile(size)) {
    last_error_ = name.empty() ? EINVAL : EFBIG;
    return false;
  }
  const std::string posix_name = PosixName(name, global);
  int fd = -1;
  bool made = false;
  // The found object may vanish between the two opens; a few rounds settle it.
  for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
    fd = ::shm_open(posix_name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kMode);
    made = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::shm_open(posix_name.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0 && errno != ENOENT) break;
  }
  if (fd < 0) {
    last_error_ = errno;
    return false;
  }
  struct stat info {};
  int err = 0;
  if (::fstat(fd, &info) != 0) {
    err = errno;
  } else if (info.st_uid != ::geteuid() || !S_ISREG(info.st_mode)) {
    err = EACCES;  // someone else's object: what we write there they could read
  } else if (::fchmod(fd, kMode) != 0) {  // exact, whatever the umask or a leftover had
    err = errno;
  } else if (static_cast<std::uint64_t>(info.st_size) < size &&
             ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    err = errno;
  }
  if (err != 0) {
    ::close(fd);
    if (made) ::shm_unlink(posix_name.c_str());
    last_error_ = err;
    return false;
  }
  if (!Map(fd, name, size, global, false)) {
    if (made) ::shm_unlink(posix_name.c_str());
    return false;
  }
  owner_ = true;
  return true;
}

bool SharedMemory::OpenExisting(std::string_view name, std::size_t size, bool read_only,
                                bool global) {
  Validate(name, size, "SharedMemory.OpenExisting");
  Destroy();
  if (name.empty() || !SizeFitsFile(size)) {
    last_error_ = name.empty() ? ENOENT : EFBIG;
    return false;
  }
  const std::string posix_name = PosixName(name, global);
  const int fd = ::shm_open(posix_name.c_str(), (read_only ? O_RDONLY : O_RDWR) | O_CLOEXEC, 0);
  if (fd < 0) {
    last_error_ = errno;
    return false;
  }
  struct stat info {};
  int err = 0;
  if (::fstat(fd, &info) != 0) {
    err = errno;
  } else if (!S_ISREG(info.st_mode) || (!global && info.st_uid != ::geteuid())) {
    err = EACCES;
  } else if (static_cast<std::uint64_t>(info.st_size) < size) {
    // Pages past the end of the object would fault (SIGBUS) when touched.
    err = EINVAL;
  }
  if (err != 0) {
    ::close(fd);
    last_error_ = err;
    return false;
  }
  return Map(fd, name, size, global, read_only);
}

bool SharedMemory::Map(int fd, std::string_view name, std::size_t size, bool global,
                       bool read_only) {
  const int protection = read_only ? PROT_READ : PROT_READ | PROT_WRITE;
  void* view = ::mmap(nullptr, size, protection, MAP_SHARED, fd, 0);
  const int err = errno;
  // The mapping keeps the object alive; the descriptor is not needed any more.
  ::close(fd);
  if (view == MAP_FAILED) {
    last_error_ = err;
    return false;
  }
  name_ = std::string(name);
  posix_name_ = PosixName(name, global);
  view_ = view;
  size_ = size;
  read_only_ = read_only;
  owner_ = false;
  last_error_ = 0;
  return true;
}

void SharedMemory::CheckRange(std::size_t count, std::size_t offset, const char* member) const {
  // Written so that no sum can wrap around.
  if (offset > size_ || count > size_ - offset) {
    throw support::Error(kErrSubscriptOutOfRange, member, "Subscript out of range");
  }
}

void SharedMemory::GetData(void* dest, std::size_t count, std::size_t offset) const {
  CheckRange(count, offset, "SharedMemory.GetData");
  if (count == 0) return;
  if (dest == nullptr) throw support::InvalidArgument("SharedMemory.GetData");
  std::memcpy(dest, static_cast<const char*>(view_) + offset, count);
}

void SharedMemory::SetData(const void* src, std::size_t count, std::size_t offset) {
  CheckRange(count, offset, "SharedMemory.SetData");
  if (read_only_) {
    // The page is mapped without write access: copying would fault.
    throw support::Error(kErrPermissionDenied, "SharedMemory.SetData", "Permission denied");
  }
  if (count == 0) return;
  if (src == nullptr) throw support::InvalidArgument("SharedMemory.SetData");
  std::memcpy(static_cast<char*>(view_) + offset, src, count);
}

void SharedMemory::Destroy() {
  if (view_ != nullptr) ::munmap(view_, size_);
  if (owner_) ::shm_unlink(posix_name_.c_str());
  view_ = nullptr;
  size_ = 0;
  read_only_ = false;
  owner_ = false;
  name_.clear();
  posix_name_.clear();
}

}  // namespace app
