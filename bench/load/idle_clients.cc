// idle_clients: many folder-protocol sessions that log in, list the root and
// then stay idle, for the load test of bench/load/run.
//
//   idle_clients --server HOST:PORT (--user ID | --user-prefix P) --count N
//                [--idle SECONDS] [--timeout SECONDS]
//
// The password comes from VAULTLINE_PASSWORD. With --user-prefix the sessions
// log in as P0001, P0002, ... (one account each). All N connections are opened
// at once from one thread; each sends LOGIN, waits for LOGINOK, sends LIST of
// the root and waits for its reply. A connection that is not listed within
// --timeout (default 180 s) counts as failed. When every connection is listed
// or failed, "idle N" is printed (the driver samples the server then) and the
// sessions idle for --idle seconds (default 30), answering the server's PINGs.
// Then one summary line "key=value ..." and the failure reasons are printed and
// every connection is closed. Exit 0 when every session was listed and none was
// dropped while idle.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/crypto.h"
#include "session/frame_reader.h"
#include "session/protocol.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace kw = session::keyword;

struct Options {
  std::string host = "127.0.0.1";
  int port = 0;
  std::string user;
  std::string user_prefix;
  int count = 0;
  int idle_seconds = 30;
  int timeout_seconds = 180;
  std::string password;
};

/// One session. The phases follow the exchange; kFailed and kDropped are ends.
struct Client {
  enum class Phase { kConnecting, kLoggingIn, kListing, kIdle, kFailed, kDropped };
  int fd = -1;
  Phase phase = Phase::kConnecting;
  std::string user;
  std::string out;  ///< bytes not yet taken by the socket
  session::FrameReader reader{session::FrameReader::Tokens::kKeepAlive};
  Clock::time_point started;
  double connect_ms = 0;
  double listed_ms = 0;
};

bool Ended(const Client& c) {
  return c.phase == Client::Phase::kFailed || c.phase == Client::Phase::kDropped;
}

class Load {
 public:
  explicit Load(Options options) : options_(std::move(options)) {}

  int Run() {
    Open();
    const auto deadline = Clock::now() + std::chrono::seconds(options_.timeout_seconds);
    while (Pending() > 0 && Clock::now() < deadline) Pump(200);
    for (auto& c : clients_) {
      if (c.phase == Client::Phase::kConnecting || c.phase == Client::Phase::kLoggingIn ||
          c.phase == Client::Phase::kListing)
        Fail(c, "timeout in " + std::string(PhaseName(c.phase)));
    }
    const int listed = Count(Client::Phase::kIdle);
    std::printf("idle %d\n", listed);
    std::fflush(stdout);
    const auto idle_end = Clock::now() + std::chrono::seconds(options_.idle_seconds);
    idling_ = true;
    while (Clock::now() < idle_end) Pump(500);
    Summary(listed);
    for (auto& c : clients_)
      if (c.fd >= 0) ::close(c.fd);
    return listed == options_.count && Count(Client::Phase::kDropped) == 0 ? 0 : 1;
  }

 private:
  static const char* PhaseName(Client::Phase p) {
    switch (p) {
      case Client::Phase::kConnecting:
        return "connect";
      case Client::Phase::kLoggingIn:
        return "log-in";
      case Client::Phase::kListing:
        return "list";
      case Client::Phase::kIdle:
        return "idle";
      case Client::Phase::kFailed:
        return "failed";
      case Client::Phase::kDropped:
        return "dropped";
    }
    return "?";
  }

  std::string UserOf(int i) const {
    if (options_.user_prefix.empty()) return options_.user;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", i + 1);
    return options_.user_prefix + digits;
  }

  void Open() {
    clients_.resize(static_cast<std::size_t>(options_.count));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(options_.port));
    ::inet_pton(AF_INET, options_.host.c_str(), &address.sin_addr);
    for (int i = 0; i < options_.count; ++i) {
      Client& c = clients_[static_cast<std::size_t>(i)];
      c.user = UserOf(i);
      c.started = Clock::now();
      c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      if (c.fd < 0) {
        Fail(c, std::string("socket: ") + std::strerror(errno));
        continue;
      }
      if (::connect(c.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
          errno != EINPROGRESS) {
        Fail(c, std::string("connect: ") + std::strerror(errno));
      }
    }
  }

  int Count(Client::Phase phase) const {
    return static_cast<int>(std::count_if(clients_.begin(), clients_.end(),
                                          [&](const Client& c) { return c.phase == phase; }));
  }

  int Pending() const {
    return options_.count - Count(Client::Phase::kIdle) - Count(Client::Phase::kFailed) -
           Count(Client::Phase::kDropped);
  }

  void Fail(Client& c, const std::string& why) {
    c.phase = idling_ && c.phase == Client::Phase::kIdle ? Client::Phase::kDropped
                                                         : Client::Phase::kFailed;
    ++reasons_[why];
    if (c.fd >= 0) ::close(c.fd);
    c.fd = -1;
  }

  void Pump(int timeout_ms) {
    std::vector<pollfd> fds;
    std::vector<Client*> owners;
    for (auto& c : clients_) {
      if (c.fd < 0 || Ended(c)) continue;
      short events = POLLIN;
      if (c.phase == Client::Phase::kConnecting || !c.out.empty()) events |= POLLOUT;
      fds.push_back({c.fd, events, 0});
      owners.push_back(&c);
    }
    if (fds.empty()) {
      ::usleep(static_cast<useconds_t>(timeout_ms) * 1000);
      return;
    }
    if (::poll(fds.data(), fds.size(), timeout_ms) <= 0) return;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents != 0) Serve(*owners[i], fds[i].revents);
    }
  }

  void Serve(Client& c, short revents) {
    if (c.phase == Client::Phase::kConnecting) {
      int error = 0;
      socklen_t length = sizeof error;
      ::getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &length);
      if (error != 0) return Fail(c, std::string("connect: ") + std::strerror(error));
      if (!(revents & POLLOUT)) return;
      c.connect_ms = Millis(c.started);
      c.phase = Client::Phase::kLoggingIn;
      Send(c, session::EncodeLogin({std::to_string(session::kProtocolVersion), c.user,
                                    app::ScrambledPasswordField(options_.password)}));
    }
    if (revents & POLLIN) Receive(c);
    if (c.fd >= 0 && !c.out.empty() && (revents & POLLOUT)) Flush(c);
  }

  void Send(Client& c, const std::string& bytes) {
    c.out += bytes;
    Flush(c);
  }

  void Flush(Client& c) {
    while (!c.out.empty()) {
      const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) return;
        return Fail(c, std::string("send: ") + std::strerror(errno));
      }
      c.out.erase(0, static_cast<std::size_t>(n));
    }
  }

  void Receive(Client& c) {
    char buffer[65536];
    const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) return;
      return Fail(c, std::string("recv in ") + PhaseName(c.phase) + ": " + std::strerror(errno));
    }
    if (n == 0) return Fail(c, std::string("closed by the server in ") + PhaseName(c.phase));
    c.reader.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    for (;;) {
      const auto item = c.reader.Next();
      if (item.status == session::FrameReader::Status::kNeedMore) return;
      if (item.status == session::FrameReader::Status::kMalformed)
        return Fail(c, "malformed reply: " + std::string(item.error));
      if (item.status == session::FrameReader::Status::kPing) {
        ++pings_;
        Send(c, std::string(session::kPong));
        if (c.fd < 0) return;
        continue;
      }
      if (item.status == session::FrameReader::Status::kPong) continue;
      const std::string keyword(session::SplitPayload(item.payload).keyword);
      Answer(c, keyword);
      if (c.fd < 0) return;
    }
  }

  void Answer(Client& c, const std::string& keyword) {
    if (c.phase == Client::Phase::kLoggingIn && keyword == kw::kLoginOk) {
      c.phase = Client::Phase::kListing;
      return Send(c, session::EncodeList({"\\", false}));
    }
    if (c.phase == Client::Phase::kListing && keyword == kw::kList) {
      c.phase = Client::Phase::kIdle;
      c.listed_ms = Millis(c.started);
      return;
    }
    Fail(c, "reply " + keyword + " in " + PhaseName(c.phase));
  }

  static double Millis(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
  }

  static double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(at, v.size() - 1)];
  }

  void Summary(int listed) const {
    std::vector<double> connect;
    std::vector<double> ready;
    for (const auto& c : clients_) {
      if (c.connect_ms > 0) connect.push_back(c.connect_ms);
      if (c.listed_ms > 0) ready.push_back(c.listed_ms);
    }
    std::printf(
        "sessions=%d listed=%d failed=%d dropped_while_idle=%d still_open=%d pings=%d "
        "connect_ms_p50=%.0f connect_ms_p99=%.0f connect_ms_max=%.0f listed_ms_p50=%.0f "
        "listed_ms_p99=%.0f listed_ms_max=%.0f\n",
        options_.count, listed, Count(Client::Phase::kFailed), Count(Client::Phase::kDropped),
        Count(Client::Phase::kIdle), pings_, Percentile(connect, 0.5), Percentile(connect, 0.99),
        Percentile(connect, 1.0), Percentile(ready, 0.5), Percentile(ready, 0.99),
        Percentile(ready, 1.0));
    for (const auto& [why, n] : reasons_) std::printf("reason %d x %s\n", n, why.c_str());
    std::fflush(stdout);
  }

  Options options_;
  std::vector<Client> clients_;
  std::map<std::string, int> reasons_;
  int pings_ = 0;
  bool idling_ = false;
};

bool ParseArgs(int argc, char** argv, Options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view arg = argv[i];
    const std::string value = argv[i + 1];
    if (arg == "--server") {
      const auto colon = value.rfind(':');
      if (colon == std::string::npos) return false;
      o.host = value.substr(0, colon);
      o.port = std::atoi(value.c_str() + colon + 1);
    } else if (arg == "--user") {
      o.user = value;
    } else if (arg == "--user-prefix") {
      o.user_prefix = value;
    } else if (arg == "--count") {
      o.count = std::atoi(value.c_str());
    } else if (arg == "--idle") {
      o.idle_seconds = std::atoi(value.c_str());
    } else if (arg == "--timeout") {
      o.timeout_seconds = std::atoi(value.c_str());
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && o.port > 0 && o.count > 0 && (!o.user.empty() || !o.user_prefix.empty());
}

/// Each session needs a descriptor; the soft limit goes as high as allowed.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArgs(argc, argv, options)) {
    std::fputs(
        "usage: idle_clients --server HOST:PORT (--user ID | --user-prefix P) --count N\n"
        "                    [--idle SECONDS] [--timeout SECONDS]\n",
        stderr);
    return 2;
  }
  const char* password = std::getenv("VAULTLINE_PASSWORD");
  if (password == nullptr || *password == '\0') {
    std::fputs("idle_clients: set VAULTLINE_PASSWORD\n", stderr);
    return 2;
  }
  options.password = password;
  RaiseDescriptorLimit();
  return Load(std::move(options)).Run();
}
