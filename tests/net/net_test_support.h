#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "common/process.h"

#include "net/dispatch.h"
#include "net/poll_event_loop.h"
#include "net/socket_api.h"
#include "net/socket_master.h"

namespace net::testing {

/// Every wait in these tests ends after this long at the latest.
inline constexpr std::chrono::milliseconds kPatience{5000};

class RawSocket;

/// A loop named to the socket layer for the duration of a test; checks that every
/// socket object is gone, the service stopped and no descriptor left open at the end.
class LoopTest : public ::testing::Test {
 protected:
  // Construction and destruction rather than SetUp/TearDown, so that socket objects
  // that are members of a derived fixture are covered.
  LoopTest() : fds_at_start_(OpenDescriptors()) { SetEventLoop(&loop_); }
  ~LoopTest() override {
    EXPECT_EQ(dispatch::LiveObjectCount(), 0) << "a SocketMaster outlived its test";
    EXPECT_FALSE(dispatch::IsServiceStarted());
    SetEventLoop(nullptr);
    SetErrorDisplayHook(nullptr);
    // Whatever was open before the test (the framework's files, the loop's own wake-up
    // descriptors) is not the test's; anything else still open has leaked.
    std::vector<std::string> leaked;
    for (const auto& [fd, target] : OpenDescriptors()) {
      if (!fds_at_start_.contains(fd)) leaked.push_back(std::to_string(fd) + " -> " + target);
    }
    EXPECT_TRUE(leaked.empty()) << "descriptors leaked: " << ::testing::PrintToString(leaked);
  }

  /// Runs the loop until `done` holds; fails the test after `limit`.
  bool Until(const std::function<bool()>& done, std::chrono::milliseconds limit = kPatience) {
    const bool ok = loop_.RunUntil(done, limit);
    EXPECT_TRUE(ok) << "timed out waiting for an event";
    return ok;
  }
  /// A socket object connected to `listener`; `peer` gets the accepted other end.
  std::unique_ptr<SocketMaster> ConnectTo(RawSocket& listener, RawSocket& peer);
  /// Makes `s` listen on 127.0.0.1, on a port the system picks; answers the port.
  static int ListenOnLoopback(SocketMaster& s) {
    s.SetLocalIP("127.0.0.1");
    s.Listen();
    EXPECT_EQ(s.State(), SocketState::kListening);
    EXPECT_NE(s.LocalPort(), 0);
    return s.LocalPort();
  }
  /// Runs the loop for a while (to show that nothing more happens).
  void Settle(std::chrono::milliseconds span = std::chrono::milliseconds(50)) {
    loop_.RunUntil([] { return false; }, span);
  }

  /// The open descriptors of the process and what each one names.
  static std::map<int, std::string> OpenDescriptors() {
    std::map<int, std::string> fds;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      const std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
      // Skips the listing's own descriptor (and one closed while listed).
      if (ec || target.starts_with("/proc/")) continue;
      fds.emplace(std::stoi(entry.path().filename().string()), target);
    }
    return fds;
  }

  PollEventLoop loop_;
  const std::map<int, std::string> fds_at_start_;
};

/// A plain blocking IPv4 socket on 127.0.0.1 for the other end of a test connection;
/// its waits end after kPatience.
class RawSocket {
 public:
  explicit RawSocket(int fd = -1) : fd_(fd) {
    timeval tv{5, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  }
  RawSocket(RawSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  RawSocket& operator=(RawSocket&& other) noexcept {
    std::swap(fd_, other.fd_);  // the old one closes with `other`
    return *this;
  }
  ~RawSocket() { Close(); }

  static RawSocket Listen(int backlog = 16) {
    RawSocket s(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa = Loopback(0);
    EXPECT_EQ(bind(s.fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    EXPECT_EQ(listen(s.fd_, backlog), 0);
    return s;
  }
  static RawSocket Connect(int port) {
    RawSocket s(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa = Loopback(port);
    EXPECT_EQ(connect(s.fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    return s;
  }
  RawSocket Accept() const { return RawSocket(accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)); }
  int Port() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
    return ntohs(sa.sin_port);
  }
  void Send(const std::string& bytes) const {
    for (std::size_t off = 0; off < bytes.size();) {
      const ssize_t n = send(fd_, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
      ASSERT_GT(n, 0);
      off += static_cast<std::size_t>(n);
    }
  }
  /// Reads exactly `n` bytes (or until the peer closes or kPatience passes).
  std::string Receive(std::size_t n) const {
    std::string out(n, '\0');
    std::size_t got = 0;
    while (got < n) {
      const ssize_t r = recv(fd_, out.data() + got, n - got, 0);
      if (r <= 0) break;
      got += static_cast<std::size_t>(r);
    }
    out.resize(got);
    return out;
  }
  /// Closes with a reset instead of an orderly end.
  void Reset() {
    linger lg{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    Close();
  }
  void Close() {
    if (fd_ >= 0) close(std::exchange(fd_, -1));
  }
  int fd() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  static sockaddr_in Loopback(int port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sa;
  }

  int fd_ = -1;
};

inline std::unique_ptr<SocketMaster> LoopTest::ConnectTo(RawSocket& listener, RawSocket& peer) {
  auto s = std::make_unique<SocketMaster>();
  s->Connect("127.0.0.1", listener.Port());
  peer = listener.Accept();
  EXPECT_TRUE(peer.valid());
  EXPECT_TRUE(Until([&] { return s->State() == SocketState::kConnected; }));
  return s;
}

/// Records every event of a socket, in order.
struct Recorder {
  explicit Recorder(SocketMaster& s) {
    s.OnConnect = [this] { events.push_back("Connect"); };
    s.OnCloseSck = [this] { events.push_back("CloseSck"); };
    s.OnDataArrival = [this](std::int64_t total) {
      events.push_back("DataArrival");
      totals.push_back(total);
    };
    s.OnSendComplete = [this] { events.push_back("SendComplete"); };
    s.OnSendProgress = [this](std::int64_t sent, std::int64_t remaining) {
      events.push_back("SendProgress");
      progress.emplace_back(sent, remaining);
    };
    s.OnError = [this](SocketErrorEvent& e) {
      events.push_back("Error");
      errors.push_back(e);
    };
  }
  int Count(const std::string& name) const {
    return static_cast<int>(std::count(events.begin(), events.end(), name));
  }
  bool Saw(const std::string& name) const { return Count(name) > 0; }
  std::vector<std::string> events;
  std::vector<std::int64_t> totals;
  std::vector<std::pair<std::int64_t, std::int64_t>> progress;
  std::vector<SocketErrorEvent> errors;
};

/// A non-blocking stream socket made with the socket layer's own calls, connecting to
/// 127.0.0.1:port.
inline int ConnectNonBlocking(int port) {
  int fd = -1;
  EXPECT_EQ(sys::CreateSocket(sys::SocketKind::kStream, &fd), 0);
  std::uint32_t lo = 0;
  sys::ParseDotted("127.0.0.1", &lo);
  const int rc = sys::Connect(fd, sys::Endpoint{lo, static_cast<std::uint16_t>(port)});
  EXPECT_TRUE(rc == 0 || rc == 10035 || rc == 10061) << rc;
  return fd;
}

using test_common::ExpectError;
using test_common::RefusingPort;

}  // namespace net::testing
