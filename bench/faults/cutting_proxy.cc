// cutting_proxy: a TCP relay on loopback that breaks the connections it
// carries, for the fault runs of bench/faults/run.
//
//   cutting_proxy --target HOST:PORT [--seed N] [--cut MIN:MAX] [--pass PERCENT]
//   cutting_proxy --target HOST:PORT --stall BYTES [--stall-dir down|up]
//
// Listens on 127.0.0.1 at a port chosen by the system and prints "port=N" on
// stdout. Every accepted connection is relayed to HOST:PORT.
//
// Cut mode (the default): for each connection, in accept order, a generator
// seeded with N decides whether it passes untouched (PERCENT in a hundred,
// default 10) and otherwise a direction ("down" = server to client, "up" =
// client to server, even odds) and a byte count drawn log-uniformly from
// MIN..MAX (default 1:67108864), so that cuts inside the log-in exchange are
// as likely as cuts deep inside a transfer. Exactly that many bytes pass in
// that direction; then both sockets are closed.
//
// Stall mode: after BYTES bytes in the given direction (default down) the
// relay stops forwarding either way but keeps both sockets open, as a server
// that stops answering without closing; it closes them only when the client
// goes away.
//
// One line per event goes to stderr: "cut C DIR BYTES", "stall C DIR BYTES",
// "pass C", "end C down=D up=U" (C counts connections from 1).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>

namespace {

enum class Direction { kDown, kUp };

const char* Name(Direction d) { return d == Direction::kDown ? "down" : "up"; }

/// What happens to one connection.
struct Plan {
  enum class Kind { kPass, kCut, kStall } kind = Kind::kPass;
  Direction direction = Direction::kDown;
  std::int64_t bytes = 0;  ///< bytes in `direction` before the cut or the stall
};

struct Options {
  std::string host;
  std::string port;
  std::uint64_t seed = 1;
  std::int64_t cut_min = 1;
  std::int64_t cut_max = 64 << 20;
  int pass_percent = 10;
  std::optional<std::int64_t> stall;
  Direction stall_direction = Direction::kDown;
};

std::mutex log_mutex;

void Log(const std::string& line) {
  std::lock_guard<std::mutex> lock(log_mutex);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

int Usage() {
  std::fputs(
      "usage: cutting_proxy --target HOST:PORT [--seed N] [--cut MIN:MAX] [--pass PERCENT]\n"
      "       cutting_proxy --target HOST:PORT --stall BYTES [--stall-dir down|up]\n",
      stderr);
  return 2;
}

std::optional<std::int64_t> Number(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool ParseArgs(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view arg = argv[i];
    const std::string_view value = argv[i + 1];
    if (arg == "--target") {
      const auto colon = value.rfind(':');
      if (colon == std::string_view::npos) return false;
      options.host = std::string(value.substr(0, colon));
      options.port = std::string(value.substr(colon + 1));
    } else if (arg == "--seed") {
      const auto n = Number(value);
      if (!n) return false;
      options.seed = static_cast<std::uint64_t>(*n);
    } else if (arg == "--cut") {
      const auto colon = value.find(':');
      if (colon == std::string_view::npos) return false;
      const auto low = Number(value.substr(0, colon));
      const auto high = Number(value.substr(colon + 1));
      if (!low || !high || *low < 1 || *high < *low) return false;
      options.cut_min = *low;
      options.cut_max = *high;
    } else if (arg == "--pass") {
      const auto n = Number(value);
      if (!n || *n > 100) return false;
      options.pass_percent = static_cast<int>(*n);
    } else if (arg == "--stall") {
      options.stall = Number(value);
      if (!options.stall) return false;
    } else if (arg == "--stall-dir") {
      if (value != "down" && value != "up") return false;
      options.stall_direction = value == "down" ? Direction::kDown : Direction::kUp;
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !options.host.empty();
}

/// Draws the plans of the connections in accept order, so that one seed gives
/// the same sequence of faults whatever the timing.
class Planner {
 public:
  explicit Planner(const Options& options) : options_(options), random_(options.seed) {}

  Plan Next() {
    Plan plan;
    if (options_.stall) {
      plan.kind = Plan::Kind::kStall;
      plan.direction = options_.stall_direction;
      plan.bytes = *options_.stall;
      return plan;
    }
    std::uniform_int_distribution<int> percent(0, 99);
    std::bernoulli_distribution coin(0.5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const bool pass = percent(random_) < options_.pass_percent;
    const bool down = coin(random_);
    const double low = std::log(static_cast<double>(options_.cut_min));
    const double high = std::log(static_cast<double>(options_.cut_max) + 1.0);
    const double drawn = std::exp(low + (high - low) * unit(random_));
    if (pass) return plan;
    plan.kind = Plan::Kind::kCut;
    plan.direction = down ? Direction::kDown : Direction::kUp;
    plan.bytes =
        std::min(options_.cut_max, std::max(options_.cut_min, static_cast<std::int64_t>(drawn)));
    return plan;
  }

 private:
  const Options& options_;
  std::mt19937_64 random_;
};

int ConnectTarget(const Options& options) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(options.host.c_str(), options.port.c_str(), &hints, &found) != 0) return -1;
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  return fd;
}

/// One direction of a relayed connection: bytes read from `from` wait in
/// `buffer` until `to` takes them.
struct Pipe {
  int from = -1;
  int to = -1;
  Direction direction = Direction::kDown;
  std::string buffer;
  std::int64_t forwarded = 0;
  bool eof = false;
};

class Relay {
 public:
  Relay(int id, int client, int server, Plan plan) : id_(id), plan_(plan) {
    down_ = {server, client, Direction::kDown, {}, 0, false};
    up_ = {client, server, Direction::kUp, {}, 0, false};
    for (const int fd : {client, server}) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }

  void Run() {
    if (plan_.kind == Plan::Kind::kPass) Log("pass " + std::to_string(id_));
    while (!done_) Step();
    ::close(down_.from);
    ::close(up_.from);
    Log("end " + std::to_string(id_) + " down=" + std::to_string(down_.forwarded) +
        " up=" + std::to_string(up_.forwarded));
  }

 private:
  /// Bytes `pipe` may still read before its planned fault (-1: no limit).
  std::int64_t Allowance(const Pipe& pipe) const {
    if (plan_.kind == Plan::Kind::kPass || pipe.direction != plan_.direction) return -1;
    return plan_.bytes - pipe.forwarded - static_cast<std::int64_t>(pipe.buffer.size());
  }

  void Step() {
    if (stalled_) return WaitForClientToLeave();
    pollfd fds[2] = {{up_.from, 0, 0}, {down_.from, 0, 0}};
    // fds[0] is the client: it reads for `up_` and writes for `down_`.
    if (!up_.eof && up_.buffer.empty()) fds[0].events |= POLLIN;
    if (!down_.buffer.empty()) fds[0].events |= POLLOUT;
    if (!down_.eof && down_.buffer.empty()) fds[1].events |= POLLIN;
    if (!up_.buffer.empty()) fds[1].events |= POLLOUT;
    if (::poll(fds, 2, 1000) < 0 && errno != EINTR) return Finish();
    if ((fds[0].revents & (POLLERR | POLLNVAL)) || (fds[1].revents & (POLLERR | POLLNVAL)))
      return Finish();
    if (fds[0].revents & (POLLIN | POLLHUP)) Read(up_);
    if (fds[1].revents & (POLLIN | POLLHUP)) Read(down_);
    if (done_ || stalled_) return;
    if (fds[1].revents & POLLOUT) Write(up_);
    if (fds[0].revents & POLLOUT) Write(down_);
    if (done_ || stalled_) return;
    // A side that closed ends the connection once what it sent is delivered.
    if ((up_.eof && up_.buffer.empty()) || (down_.eof && down_.buffer.empty())) Finish();
  }

  void Read(Pipe& pipe) {
    if (!pipe.buffer.empty()) return;  // a hang-up is seen once the buffer is delivered
    char chunk[65536];
    std::size_t want = sizeof chunk;
    const std::int64_t allowance = Allowance(pipe);
    if (allowance >= 0) want = static_cast<std::size_t>(std::min<std::int64_t>(allowance, want));
    if (want == 0) return Fault(pipe);
    const ssize_t n = ::read(pipe.from, chunk, want);
    if (n < 0) {
      if (errno != EAGAIN && errno != EINTR) pipe.eof = true;
      return;
    }
    if (n == 0) {
      pipe.eof = true;
      return;
    }
    pipe.buffer.append(chunk, static_cast<std::size_t>(n));
  }

  void Write(Pipe& pipe) {
    const ssize_t n = ::send(pipe.to, pipe.buffer.data(), pipe.buffer.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno != EAGAIN && errno != EINTR) Finish();
      return;
    }
    pipe.buffer.erase(0, static_cast<std::size_t>(n));
    pipe.forwarded += n;
    if (pipe.buffer.empty() && Allowance(pipe) == 0) Fault(pipe);
  }

  /// The planned number of bytes has passed in `pipe`'s direction.
  void Fault(const Pipe& pipe) {
    const std::string what = plan_.kind == Plan::Kind::kCut ? "cut " : "stall ";
    Log(what + std::to_string(id_) + " " + Name(pipe.direction) + " " +
        std::to_string(pipe.forwarded));
    if (plan_.kind == Plan::Kind::kCut) return Finish();
    stalled_ = true;
  }

  /// Stalled: nothing is read or written; only the client's hang-up is watched.
  void WaitForClientToLeave() {
    pollfd fd{up_.from, POLLRDHUP, 0};
    if (::poll(&fd, 1, 1000) > 0 && (fd.revents & (POLLRDHUP | POLLHUP | POLLERR))) Finish();
  }

  void Finish() { done_ = true; }

  int id_;
  Plan plan_;
  Pipe down_;
  Pipe up_;
  bool stalled_ = false;
  bool done_ = false;
};

int Listen(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 128) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArgs(argc, argv, options)) return Usage();
  ::signal(SIGPIPE, SIG_IGN);
  int port = 0;
  const int listener = Listen(port);
  if (listener < 0) {
    std::perror("cutting_proxy: listen");
    return 1;
  }
  std::printf("port=%d\n", port);
  std::fflush(stdout);
  Planner planner(options);
  for (int id = 1;; ++id) {
    const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      std::perror("cutting_proxy: accept");
      return 1;
    }
    const Plan plan = planner.Next();
    const int server = ConnectTarget(options);
    if (server < 0) {
      Log("refused " + std::to_string(id) + " (target unreachable)");
      ::close(client);
      continue;
    }
    std::thread([id, client, server, plan] { Relay(id, client, server, plan).Run(); }).detach();
  }
}
