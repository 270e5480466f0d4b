// Downloads and uploads a file through vaultline's folder server over
// loopback, against a plain socket copy of the same bytes measured in the
// same run (a thread that reads the file and sends it, or receives and
// writes it, with blocking calls and the same block size). Prints both
// rates, the ratio server / plain (1.00 means no overhead), and how much the
// process's peak memory grew while the server moved the file.
//
// usage: server_bench [size in MiB, default 1024]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "net/dispatch.h"
#include "net/poll_event_loop.h"
#include "server/server.h"
#include "session/protocol.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kBlock = 256 * 1024;

long PeakRssKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::perror("connect");
    std::exit(1);
  }
  return fd;
}

void SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) {
      std::perror("send");
      std::exit(1);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

std::string ReadFrame(int fd) {
  std::string prefix;
  char c = 0;
  while (::recv(fd, &c, 1, 0) == 1 && c != '|') prefix += c;
  std::string payload(std::stoul(prefix.empty() ? "0" : prefix), '\0');
  std::size_t got = 0;
  while (got < payload.size()) {
    const ssize_t n = ::recv(fd, payload.data() + got, payload.size() - got, 0);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return payload;
}

void Expect(int fd, const std::string& payload, const char* want) {
  SendAll(fd, session::FrameMessage(payload).data(), session::FrameMessage(payload).size());
  const std::string reply = ReadFrame(fd);
  if (reply.rfind(want, 0) != 0) {
    std::fprintf(stderr, "%s -> %s (wanted %s)\n", payload.c_str(), reply.c_str(), want);
    std::exit(1);
  }
}

void ReceiveAndDrop(int fd, std::uint64_t size) {
  std::string buffer(1 << 20, '\0');
  while (size > 0) {
    const ssize_t n = ::recv(fd, buffer.data(), std::min<std::uint64_t>(buffer.size(), size), 0);
    if (n <= 0) {
      std::perror("recv");
      std::exit(1);
    }
    size -= static_cast<std::uint64_t>(n);
  }
}

/// Client side of an upload: the file's bytes from disk to the socket.
void SendFile(int fd, const fs::path& path) {
  const int in = ::open(path.c_str(), O_RDONLY);
  std::string block(kBlock, '\0');
  ssize_t n = 0;
  while ((n = ::read(in, block.data(), block.size())) > 0)
    SendAll(fd, block.data(), static_cast<std::size_t>(n));
  ::close(in);
}

/// A connected pair of loopback sockets.
std::pair<int, int> SocketPair() {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener, 1);
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const int client = Connect(ntohs(address.sin_port));
  const int accepted = ::accept(listener, nullptr, nullptr);
  ::close(listener);
  return {client, accepted};
}

double PlainDownload(const fs::path& file, std::uint64_t size) {
  auto [receiver, sender] = SocketPair();
  const auto start = Clock::now();
  std::thread send([&, sender = sender] { SendFile(sender, file); });
  ReceiveAndDrop(receiver, size);
  send.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(receiver);
  ::close(sender);
  return seconds;
}

double PlainUpload(const fs::path& source, const fs::path& target, std::uint64_t size) {
  auto [sender, receiver] = SocketPair();
  const auto start = Clock::now();
  std::thread receive([&, receiver = receiver] {
    const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string block(kBlock, '\0');
    std::uint64_t left = size;
    while (left > 0) {
      const ssize_t n = ::recv(receiver, block.data(), block.size(), 0);
      if (n <= 0) break;
      if (::write(out, block.data(), static_cast<std::size_t>(n)) != n) break;
      left -= static_cast<std::uint64_t>(n);
    }
    ::close(out);
  });
  SendFile(sender, source);
  receive.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(sender);
  ::close(receiver);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
  const std::uint64_t size = mib << 20;
  const fs::path data =
      fs::temp_directory_path() / ("vaultline-bench-" + std::to_string(::getpid()));
  const fs::path source = data / "users" / "bench" / "source.bin";
  fs::create_directories(source.parent_path());
  {
    const int out = ::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 >> 3);
    for (std::uint64_t i = 0; i < mib; ++i)
      if (::write(out, block.data(), block.size()) != static_cast<ssize_t>(block.size())) return 1;
    ::close(out);
  }

  server::ServerContext context;
  context.SetDataRoot(data);
  server::UserConfig user;
  user.id = "bench";
  user.password = "bench";
  user.quota = static_cast<std::int64_t>(size) * 4;
  context.config.users.push_back(user);
  net::PollEventLoop loop;
  std::promise<int> started;
  std::thread server_thread([&] {
    net::SetEventLoop(&loop);
    {
      server::ServerOptions options;
      options.port = 0;
      options.http_port = -1;
      server::Server server(loop, context, options);
      server.Start();
      started.set_value(server.Port());
      loop.Run();
    }
    net::SetEventLoop(nullptr);
  });
  const int port = started.get_future().get();

  // Warm the page cache so neither side pays for the first read.
  PlainDownload(source, size);
  const long rss_before = PeakRssKiB();

  const int fd = Connect(port);
  std::string login = "LOGIN|5|bench|";
  const std::string key = "Tz(8!/k~q&";
  for (std::size_t i = 0; i < 5; ++i)
    login += static_cast<char>(
        (static_cast<unsigned char>("bench"[i]) + static_cast<unsigned char>(key[i])) & 0xFF);
  Expect(fd, login, "LOGINOK|");

  // Rounds alternate plain and server; each figure is the best round, so
  // neither side gains from running later (page cache, write-back).
  double plain_down = 1e300, plain_up = 1e300, server_down = 1e300, server_up = 1e300;
  const fs::path copy = data / "users" / "bench" / "copy.bin";
  const fs::path plain_copy = data / "plain.bin";
  for (int round = 0; round < 3; ++round) {
    plain_down = std::min(plain_down, PlainDownload(source, size));

    auto start = Clock::now();
    Expect(fd, "DOWNLOAD|1|\\source.bin|False", "DO DOWNLOAD");
    const std::string go = session::FrameMessage("DO DOWNLOAD|1");
    SendAll(fd, go.data(), go.size());
    ReceiveAndDrop(fd, size);
    server_down =
        std::min(server_down, std::chrono::duration<double>(Clock::now() - start).count());

    ::sync();
    plain_up = std::min(plain_up, PlainUpload(source, plain_copy, size));
    fs::remove(plain_copy);
    ::sync();

    start = Clock::now();
    Expect(fd, "UPLOAD|1|" + std::to_string(size) + "|\\copy.bin|20240101000000", "DO UPLOAD");
    SendFile(fd, source);
    const std::string done = ReadFrame(fd);
    server_up = std::min(server_up, std::chrono::duration<double>(Clock::now() - start).count());
    if (done != "UPLOADOK" || fs::file_size(copy) != size) {
      std::fprintf(stderr, "upload failed: %s\n", done.c_str());
      return 1;
    }
    Expect(fd, "DELETE|\\copy.bin", "DELETEOK");
  }
  const long rss_after = PeakRssKiB();
  ::close(fd);
  loop.Post([&] { loop.Quit(); });
  server_thread.join();
  fs::remove_all(data);

  const double m = static_cast<double>(mib);
  std::printf("file size: %llu MiB, block %zu KiB\n", static_cast<unsigned long long>(mib),
              kBlock / 1024);
  std::printf("download  plain %8.1f MiB/s   server %8.1f MiB/s   ratio server/plain %.2f\n",
              m / plain_down, m / server_down, (m / server_down) / (m / plain_down));
  std::printf("upload    plain %8.1f MiB/s   server %8.1f MiB/s   ratio server/plain %.2f\n",
              m / plain_up, m / server_up, (m / server_up) / (m / plain_up));
  std::printf("peak memory growth over all rounds (%llu MiB each way per round): %ld KiB\n",
              static_cast<unsigned long long>(mib), rss_after - rss_before);
  return 0;
}
