// Usage: net_bench [MiB per run = 1024] [rounds = 3] [SendData chunk KiB = 256] [only]
// Moves the same number of bytes over loopback four ways and prints each throughput against a
// baseline of two plain blocking sockets measured in the same run:
//   baseline  blocking sender thread -> blocking receiver
//   receive   blocking sender thread -> SocketMaster on a PollEventLoop
//   send      SocketMaster on a PollEventLoop -> blocking receiver thread
//   both      SocketMaster -> SocketMaster, both on one PollEventLoop (one thread)
// Blocking ends use the same per-call sizes as SocketMaster (the socket's own
// SO_SNDBUF and SO_RCVBUF as read at creation), so only the event machinery differs.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/dispatch.h"
#include "net/poll_event_loop.h"
#include "net/socket_api.h"
#include "net/socket_master.h"

namespace {

using Clock = std::chrono::steady_clock;
// What a transfer hands to SendData at a time (the third argument, in KiB).
std::size_t g_app_chunk = 256 << 10;

int g_send_chunk = 0;
int g_receive_chunk = 0;

sockaddr_in Loopback(int port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<std::uint16_t>(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return sa;
}

int ListenAny(int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa = Loopback(0);
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 4) != 0) {
    throw std::runtime_error("listen");
  }
  socklen_t len = sizeof sa;
  getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  *port = ntohs(sa.sin_port);
  return fd;
}

int ConnectBlocking(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa = Loopback(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
    throw std::runtime_error("connect");
  return fd;
}

void BlockingSend(int fd, std::uint64_t total, const std::string& block) {
  std::uint64_t left = total;
  std::size_t off = 0;
  while (left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(
        {left, static_cast<std::uint64_t>(g_send_chunk), block.size() - off}));
    const ssize_t n = send(fd, block.data() + off, want, MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("send");
    left -= static_cast<std::uint64_t>(n);
    off = (off + static_cast<std::size_t>(n)) % block.size();
  }
}

std::uint64_t BlockingReceive(int fd, std::uint64_t total) {
  std::vector<char> buffer(static_cast<std::size_t>(g_receive_chunk));
  std::uint64_t got = 0;
  while (got < total) {
    const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
    if (n <= 0) break;
    got += static_cast<std::uint64_t>(n);
  }
  return got;
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Baseline(std::uint64_t total, const std::string& block) {
  int port = 0;
  const int listener = ListenAny(&port);
  const int sender = ConnectBlocking(port);
  const int receiver = accept(listener, nullptr, nullptr);
  const auto start = Clock::now();
  std::thread t([&] { BlockingSend(sender, total, block); });
  const std::uint64_t got = BlockingReceive(receiver, total);
  t.join();
  const double s = Seconds(start);
  close(sender);
  close(receiver);
  close(listener);
  if (got != total) throw std::runtime_error("baseline lost bytes");
  return s;
}

/// Counts what arrives at a SocketMaster without copying it out.
std::uint64_t g_arrivals = 0;

void CountArrivals(net::SocketMaster& s, std::uint64_t& got) {
  s.OnDataArrival = [&s, &got](std::int64_t) {
    ++g_arrivals;
    const std::string_view bytes = s.ReceivedView();
    got += bytes.size();
    s.Discard(static_cast<std::int64_t>(bytes.size()));
  };
}

/// Feeds `total` bytes into SendData in application-sized chunks, the next chunk from
/// SendComplete.
struct Feeder {
  net::SocketMaster& s;
  std::uint64_t left;
  const std::string& block;
  void Next() {
    while (left > 0) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, g_app_chunk));
      left -= n;
      s.SendData(std::string_view(block.data(), n));
      return;  // the rest follows from SendComplete
    }
  }
};

double ReceivePath(std::uint64_t total, const std::string& block) {
  net::PollEventLoop loop;
  net::SetEventLoop(&loop);
  double s = 0;
  {
    net::SocketMaster server;
    server.SetLocalIP("127.0.0.1");
    server.Listen();
    net::SocketMaster receiver;
    server.OnConnectionRequest = [&](std::int32_t id) { receiver.Accept(id); };
    std::uint64_t got = 0;
    CountArrivals(receiver, got);
    const int sender = ConnectBlocking(server.LocalPort());
    loop.RunUntil([&] { return receiver.State() == net::SocketState::kConnected; },
                  std::chrono::seconds(5));
    const auto start = Clock::now();
    std::thread t([&] { BlockingSend(sender, total, block); });
    loop.RunUntil([&] { return got >= total; }, std::chrono::minutes(5));
    t.join();
    s = Seconds(start);
    close(sender);
    if (got != total) throw std::runtime_error("receive path lost bytes");
  }
  net::SetEventLoop(nullptr);
  return s;
}

double SendPath(std::uint64_t total, const std::string& block) {
  net::PollEventLoop loop;
  net::SetEventLoop(&loop);
  double s = 0;
  {
    int port = 0;
    const int listener = ListenAny(&port);
    net::SocketMaster sender;
    bool connected = false;
    sender.OnConnect = [&] { connected = true; };
    sender.Connect("127.0.0.1", port);
    const int receiver = accept(listener, nullptr, nullptr);
    loop.RunUntil([&] { return connected; }, std::chrono::seconds(5));
    Feeder feeder{sender, total, block};
    bool done = false;
    sender.OnSendComplete = [&] {
      if (feeder.left == 0) {
        done = true;
      } else {
        feeder.Next();
      }
    };
    std::uint64_t got = 0;
    const auto start = Clock::now();
    std::thread t([&] { got = BlockingReceive(receiver, total); });
    feeder.Next();
    loop.RunUntil([&] { return done; }, std::chrono::minutes(5));
    t.join();
    s = Seconds(start);
    sender.CloseSck();
    close(receiver);
    close(listener);
    if (got != total) throw std::runtime_error("send path lost bytes");
  }
  net::SetEventLoop(nullptr);
  return s;
}

double BothOnOneLoop(std::uint64_t total, const std::string& block) {
  net::PollEventLoop loop;
  net::SetEventLoop(&loop);
  double s = 0;
  {
    net::SocketMaster server;
    server.SetLocalIP("127.0.0.1");
    server.Listen();
    net::SocketMaster receiver;
    server.OnConnectionRequest = [&](std::int32_t id) { receiver.Accept(id); };
    std::uint64_t got = 0;
    CountArrivals(receiver, got);
    net::SocketMaster sender;
    sender.Connect("127.0.0.1", server.LocalPort());
    loop.RunUntil(
        [&] {
          return sender.State() == net::SocketState::kConnected &&
                 receiver.State() == net::SocketState::kConnected;
        },
        std::chrono::seconds(5));
    Feeder feeder{sender, total, block};
    sender.OnSendComplete = [&] { feeder.Next(); };
    const auto start = Clock::now();
    feeder.Next();
    loop.RunUntil([&] { return got >= total; }, std::chrono::minutes(5));
    s = Seconds(start);
    if (got != total) throw std::runtime_error("one-loop path lost bytes");
  }
  net::SetEventLoop(nullptr);
  return s;
}

void ReadChunkSizes() {
  int fd = -1;
  net::sys::CreateSocket(net::sys::SocketKind::kStream, &fd);
  net::sys::ReadBufferSizes(fd, &g_receive_chunk, &g_send_chunk);
  net::sys::CloseSocket(fd);
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
  const std::uint64_t total = mib << 20;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  if (argc > 3) g_app_chunk = static_cast<std::size_t>(std::strtoull(argv[3], nullptr, 10)) << 10;
  const std::string only = argc > 4 ? argv[4] : "";
  auto wanted = [&](const char* name) { return only.empty() || only == name; };
  ReadChunkSizes();
  if (g_app_chunk == 0) g_app_chunk = 1 << 10;
  std::string block(g_app_chunk, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 31 + 7);

  std::printf(
      "net_bench: %llu MiB per run, best of %d; SendData chunk %zu KiB; send call %d bytes, "
      "receive call %d bytes\n",
      static_cast<unsigned long long>(mib), rounds, g_app_chunk >> 10, g_send_chunk,
      g_receive_chunk);
  double base = 1e9, recv_path = 1e9, send_path = 1e9, both = 1e9;
  for (int r = 0; r < rounds; ++r) {
    if (wanted("baseline")) base = std::min(base, Baseline(total, block));
    if (wanted("receive")) recv_path = std::min(recv_path, ReceivePath(total, block));
    if (wanted("send")) send_path = std::min(send_path, SendPath(total, block));
    if (wanted("both")) both = std::min(both, BothOnOneLoop(total, block));
  }
  const double bytes = static_cast<double>(total);
  auto row = [&](const char* name, double s) {
    std::printf("  %-9s %8.1f MiB/s   %.3f s   ratio %.2f\n", name, bytes / s / (1 << 20), s,
                base / s);
  };
  row("baseline", base);
  row("receive", recv_path);
  row("send", send_path);
  row("both", both);
  if (std::getenv("NET_BENCH_VERBOSE"))
    std::printf("  arrivals %llu\n", static_cast<unsigned long long>(g_arrivals));
  return 0;
}
