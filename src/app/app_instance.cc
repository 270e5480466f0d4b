#include "app/app_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "support/error.h"

namespace app {

namespace {

constexpr const char* kSource = "AppInstance";
constexpr std::size_t kMaxRequest = 512;

/// A name as a file name: letters, digits, ".", "_" and "-" stand for
/// themselves, every other byte is "%" and two hexadecimal digits.
std::string FileNameOf(std::string_view name) {
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
  // A long name keeps a socket path within what the system takes.
  if (out.size() > 60) {
    char hashed[24];
    std::snprintf(hashed, sizeof hashed, "-%016zx", std::hash<std::string>{}(out));
    out = out.substr(0, 40) + hashed;
  }
  return out;
}

/// The one-line request of `Notify`.
std::string Request(std::int32_t message, std::int32_t p1, std::int32_t p2,
                    const std::string& token) {
  return "NOTIFY " + std::to_string(message) + " " + std::to_string(p1) + " " + std::to_string(p2) +
         " " + (token.empty() ? "-" : token) + "\n";
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

/// This start's permission to take the focus, if the desktop gave one.
std::string ActivationToken() {
  for (const char* name : {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') continue;
    std::string token(value);
    // The request is one line of words.
    bool plain = true;
    for (const char c : token) plain = plain && c > ' ' && c != 0x7f;
    if (plain && token.size() < 256) return token;
  }
  return {};
}

}  // namespace

struct AppInstance::Peer {
  net::WatchId watch = net::kNoWatch;
  net::TimerId timer = net::kNoTimer;
  std::string received;
};

AppInstance::AppInstance() = default;

AppInstance::~AppInstance() {
  for (auto& [fd, peer] : peers_) {
    loop_->Unwatch(peer->watch);
    loop_->StopTimer(peer->timer);
    ::close(fd);
  }
  if (listen_fd_ >= 0) {
    loop_->Unwatch(listen_watch_);
    ::close(listen_fd_);
    // Only the lock holder listens, so the socket is ours to remove.
    ::unlink(listening_path_.c_str());
  }
  if (lock_fd_ >= 0) ::close(lock_fd_);
}

void AppInstance::SetAppName(std::string_view name) {
  if (name.find('\\') != std::string_view::npos) {
    throw support::InvalidArgument(std::string(kSource) + ".AppName");
  }
  app_name_ = std::string(name);
}

void AppInstance::SetNotifyMessage(std::int32_t message) {
  if (message < 32768) throw support::InvalidPropertyValue(std::string(kSource) + ".NotifyMessage");
  notify_message_ = message;
}

std::string AppInstance::Folder() const {
  if (global_check_) return "/tmp";
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  if (runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &info) == 0 &&
      S_ISDIR(info.st_mode)) {
    return runtime;
  }
  // No runtime folder: a private one in /tmp, refused when someone else made it.
  const std::string folder = "/tmp/" + FileNameOf(app_name_) + "-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return folder;
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
    throw support::Error(75, std::string(kSource) + ".AlreadyRunning",
                         "Path/File access error: " + folder);
  }
  return folder;
}

std::string AppInstance::LockPath() const {
  return Folder() + "/" + FileNameOf(app_name_) + (global_check_ ? ".global.lock" : ".lock");
}

std::string AppInstance::SocketPath() const {
  return Folder() + "/" + FileNameOf(app_name_) + (global_check_ ? ".global.sock" : ".sock");
}

bool AppInstance::AlreadyRunning() {
  if (checked_) return running_;
  if (app_name_.empty()) throw support::InvalidArgument(std::string(kSource) + ".AlreadyRunning");
  std::string path;
  try {
    path = LockPath();
  } catch (const support::Error&) {
    last_error_ = EACCES;
    checked_ = true;
    running_ = false;
    return running_;
  }
  const mode_t mode = global_check_ ? 0666 : 0600;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode);
  // Another user's machine-wide lock file can still be locked through a
  // read-only descriptor.
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    // Without a lock file the program still starts: a second copy is a
    // smaller harm than none.
    last_error_ = errno;
    checked_ = true;
    running_ = false;
    return running_;
  }
  if (global_check_) ::fchmod(fd, mode);
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    lock_fd_ = fd;
    running_ = false;
  } else {
    last_error_ = errno;
    ::close(fd);
    running_ = last_error_ == EWOULDBLOCK;
  }
  checked_ = true;
  return running_;
}

bool AppInstance::Notify(bool bring_to_front) {
  sockaddr_un address;
  std::string path;
  try {
    path = SocketPath();
  } catch (const support::Error&) {
    return false;
  }
  if (!FillAddress(path, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  timeval timeout{kNotifyTimeoutMs / 1000, (kNotifyTimeoutMs % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  bool answered = false;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    const std::string request =
        Request(notify_message_, param1_, param2_, bring_to_front ? ActivationToken() : "");
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(request.size())) {
      std::string reply;
      char buffer[16];
      ssize_t got;
      while (reply.find('\n') == std::string::npos && reply.size() < 16 &&
             (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
        reply.append(buffer, static_cast<std::size_t>(got));
      }
      answered = reply == "1\n";
    }
  }
  ::close(fd);
  return answered;
}

void AppInstance::Listen(net::EventLoop& loop, IAppInstance* callback) {
  if (listen_fd_ >= 0) return;
  loop_ = &loop;
  callback_ = callback;
  std::string path;
  try {
    path = SocketPath();
  } catch (const support::Error&) {
    return;
  }
  sockaddr_un address;
  if (!FillAddress(path, address)) return;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  // The lock is ours, so a socket file left there is a crashed instance's.
  ::unlink(path.c_str());
  const mode_t old_mask = ::umask(global_check_ ? 0 : 077);
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::umask(old_mask);
  if (!bound || ::listen(fd, 8) != 0) {
    last_error_ = errno;
    ::close(fd);
    return;
  }
  listen_fd_ = fd;
  listening_path_ = path;
  listen_watch_ = loop.Watch(fd, net::Readiness::kRead, [this](net::Readiness) { Accept(); });
}

void AppInstance::Accept() {
  for (;;) {
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    auto peer = std::make_unique<Peer>();
    peer->watch = loop_->Watch(fd, net::Readiness::kRead, [this, fd](net::Readiness) { Read(fd); });
    // A start that connects and says nothing is not waited for.
    peer->timer = loop_->StartTimer(std::chrono::milliseconds(kNotifyTimeoutMs),
                                    net::TimerKind::kOneShot, [this, fd] { Drop(fd); });
    peers_[fd] = std::move(peer);
  }
}

void AppInstance::Read(int fd) {
  Peer& peer = *peers_.at(fd);
  char buffer[256];
  const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (got <= 0) {
    Drop(fd);
    return;
  }
  peer.received.append(buffer, static_cast<std::size_t>(got));
  const auto end = peer.received.find('\n');
  if (end == std::string::npos) {
    if (peer.received.size() > kMaxRequest) Drop(fd);
    return;
  }
  char keyword[8] = {};
  char token[257] = {};
  long message = 0, p1 = 0, p2 = 0;
  const std::string line = peer.received.substr(0, end);
  const bool matches =
      line.size() <= kMaxRequest &&
      std::sscanf(line.c_str(), "%7s %ld %ld %ld %256s", keyword, &message, &p1, &p2, token) == 5 &&
      std::strcmp(keyword, "NOTIFY") == 0 && message == notify_message_ && p1 == param1_ &&
      p2 == param2_;
  const char* reply = matches ? "1\n" : "0\n";
  ::send(fd, reply, 2, MSG_NOSIGNAL);
  Drop(fd);
  if (matches && callback_ != nullptr) {
    callback_->Notify(std::strcmp(token, "-") == 0 ? std::string() : std::string(token));
  }
}

void AppInstance::Drop(int fd) {
  const auto it = peers_.find(fd);
  if (it == peers_.end()) return;
  loop_->Unwatch(it->second->watch);
  loop_->StopTimer(it->second->timer);
  ::close(fd);
  peers_.erase(it);
}

AppInstanceListener::AppInstanceListener(net::EventLoop& loop,
                                         std::function<void(const std::string&)> on_notify)
    : loop_(loop), on_notify_(std::move(on_notify)) {}

bool AppInstanceListener::CheckAlreadyRunning(std::string_view name) {
  instance_.SetAppName(name);
  instance_.SetGlobalCheck(false);
  instance_.SetNotifyMessage(0x8220);
  if (instance_.AlreadyRunning()) {
    instance_.Notify(true);
    return true;
  }
  instance_.Listen(loop_, this);
  return false;
}

void AppInstanceListener::Notify(const std::string& activation_token) {
  if (on_notify_) on_notify_(activation_token);
}

}  // namespace app
