#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "quarrytab/hive_file_store.h"
#include "quarrytab/system_message.h"

namespace quarrytab {
namespace {

constexpr std::size_t kMaxHiveBytes = 64u << 20;  // far beyond any hive this program writes

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  return "/tmp";
}

/// Creates a directory and its parents (mode 0700 for the new ones).
int MakeDirectories(const std::string& path) {
  std::string prefix;
  for (std::size_t pos = 0; pos != std::string::npos;) {
    const std::size_t next = path.find('/', pos + 1);
    prefix = path.substr(0, next);
    pos = next;
    if (prefix.empty()) continue;
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  }
  return 0;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

int ReadWhole(const std::string& path, std::string& out) {
  out.clear();
  Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  char buf[16384];
  for (;;) {
    const ssize_t n = read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    out.append(buf, static_cast<std::size_t>(n));
    if (out.size() > kMaxHiveBytes) return EFBIG;
  }
}

int WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

}  // namespace

std::string DefaultHiveDirectory() {
  if (const char* dir = std::getenv(kHiveDirEnv); dir != nullptr && *dir != '\0') return dir;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    return std::string(config) + "/quarrytab";
  }
  return HomeDirectory() + "/.config/quarrytab";
}

std::shared_ptr<RegistryStore> DefaultRegistryStore() {
  return std::make_shared<HiveFileStore>(DefaultHiveDirectory());
}

HiveFileStore::HiveFileStore(std::string directory) : directory_(std::move(directory)) {}

std::string HiveFileStore::HivePath(std::uint32_t root) const {
  return directory_ + "/" + std::string(RootName(root)) + "/hive.reg";
}

std::int32_t HiveFileStore::Load(std::uint32_t root, Hive& hive) const {
  if (RootName(root).empty()) return kErrorInvalidHandle;
  std::string text;
  const int err = ReadWhole(HivePath(root), text);
  if (err == ENOENT) {
    hive = Hive();
    return kErrorSuccess;
  }
  if (err != 0) return WindowsCodeFromErrno(err);
  hive = Hive::Parse(text);
  return kErrorSuccess;
}

std::int32_t HiveFileStore::Modify(std::uint32_t root,
                                   const std::function<std::int32_t(Hive&)>& change) {
  if (RootName(root).empty()) return kErrorInvalidHandle;
  const std::string dir = directory_ + "/" + std::string(RootName(root));
  if (const int err = MakeDirectories(dir); err != 0) return WindowsCodeFromErrno(err);

  Fd lock(open((dir + "/hive.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.get() < 0) return WindowsCodeFromErrno(errno);
  while (flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return WindowsCodeFromErrno(errno);
  }
  // The lock goes with the descriptor when `lock` closes, on every path out.

  Hive hive;
  if (const std::int32_t code = Load(root, hive); code != kErrorSuccess) return code;
  if (const std::int32_t code = change(hive); code != kErrorSuccess) return code;

  const std::string path = HivePath(root);
  const std::string tmp = path + ".tmp";
  {
    // Under the lock no other writer owns the temporary name; a stale one left
    // by a crashed writer is simply overwritten.
    Fd out(open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.get() < 0) return WindowsCodeFromErrno(errno);
    if (fchmod(out.get(), 0600) != 0) return WindowsCodeFromErrno(errno);
    if (const int err = WriteAll(out.get(), hive.Serialize()); err != 0) {
      unlink(tmp.c_str());
      return WindowsCodeFromErrno(err);
    }
    if (fsync(out.get()) != 0) {
      const int err = errno;
      unlink(tmp.c_str());
      return WindowsCodeFromErrno(err);
    }
    if (close(out.release()) != 0) return WindowsCodeFromErrno(errno);
  }
  if (before_rename_) before_rename_();
  if (rename(tmp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    unlink(tmp.c_str());
    return WindowsCodeFromErrno(err);
  }
  Fd dir_fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir_fd.get() >= 0) fsync(dir_fd.get());  // makes the rename itself durable
  return kErrorSuccess;
}

std::int32_t HiveFileStore::OpenKey(std::uint32_t root, std::string_view path) {
  Hive hive;
  if (const std::int32_t code = Load(root, hive); code != kErrorSuccess) return code;
  return hive.OpenKey(root, path);
}

std::int32_t HiveFileStore::CreateKey(std::uint32_t root, std::string_view path) {
  Hive probe;
  if (Load(root, probe) == kErrorSuccess && probe.OpenKey(root, path) == kErrorSuccess) {
    return kErrorSuccess;  // nothing to write
  }
  return Modify(root, [&](Hive& hive) { return hive.CreateKey(root, path); });
}

std::int32_t HiveFileStore::DeleteKey(std::uint32_t root, std::string_view path) {
  return Modify(root, [&](Hive& hive) { return hive.DeleteKey(root, path); });
}

std::int32_t HiveFileStore::QueryValue(std::uint32_t root, std::string_view path,
                                       std::string_view name, RegistryData& out) {
  Hive hive;
  if (const std::int32_t code = Load(root, hive); code != kErrorSuccess) return code;
  return hive.QueryValue(root, path, name, out);
}

std::int32_t HiveFileStore::SetValue(std::uint32_t root, std::string_view path,
                                     std::string_view name, const RegistryData& data) {
  return Modify(root, [&](Hive& hive) { return hive.SetValue(root, path, name, data); });
}

std::int32_t HiveFileStore::DeleteValue(std::uint32_t root, std::string_view path,
                                        std::string_view name) {
  return Modify(root, [&](Hive& hive) { return hive.DeleteValue(root, path, name); });
}

std::int32_t HiveFileStore::EnumValues(std::uint32_t root, std::string_view path,
                                       std::vector<std::string>& names) {
  Hive hive;
  if (const std::int32_t code = Load(root, hive); code != kErrorSuccess) return code;
  return hive.EnumValues(root, path, names);
}

std::int32_t HiveFileStore::EnumKeys(std::uint32_t root, std::string_view path,
                                     std::vector<std::string>& names) {
  Hive hive;
  if (const std::int32_t code = Load(root, hive); code != kErrorSuccess) return code;
  return hive.EnumKeys(root, path, names);
}

}  // namespace quarrytab
