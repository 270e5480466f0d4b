// Behaviour that only a real event loop and real sockets show: many sessions
// at once, large streams, 64-bit positions, and the program itself.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <vector>

#include "fixture.h"
#include "server/pf_endpoint.h"
#include "server/transfer_files.h"
#include "support/codepage.h"

namespace server::testing {
namespace {

namespace fs = std::filesystem;

class LoopbackOnly : public ServerFixture {};

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed) >> 3);
  return bytes;
}

TEST_P(LoopbackOnly, TwoHundredSessionsAreServedAtOnce) {
  context_.config.max_sessions_per_user = 1000;
  std::vector<std::unique_ptr<TestClient>> clients;
  for (int i = 0; i < 200; ++i) clients.push_back(Login());
  for (auto& client : clients) client->Send(Framed("LIST|\\Έγγραφα\\|False"));
  int listed = 0;
  for (auto& client : clients)
    if (support::Cp1253ToUtf8(client->ReadFrame()).rfind("LIST|σημειώσεις.txt|5|", 0) == 0)
      ++listed;
  EXPECT_EQ(listed, 200);
  int sessions = 0;
  Server().Inspect([&](ServerContext& c) { sessions = c.sessions_per_user["anna"]; });
  EXPECT_EQ(sessions, 200);
}

// An office starting up: many clients connect in the same moment while the
// server is busy with something else. The kernel must queue them all (a short
// listen queue drops the attempts, and each client then waits a second or
// more for its retry, or gives up).
TEST_P(LoopbackOnly, ABurstOfConnectionsWaitsForABusyServer) {
  constexpr int kClients = 64;
  const int port = Server().Port();
  ASSERT_GT(port, 0);
  int connected = 0;
  // Run on the server's thread, so its loop accepts nothing meanwhile.
  Server().Inspect([&](ServerContext&) {
    std::vector<int> fds;
    for (int i = 0; i < kClients; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<std::uint16_t>(port));
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
      fds.push_back(fd);
    }
    // A queued attempt completes at once on loopback; a dropped one would
    // wait for the client's first retry, a second later.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
    std::vector<bool> done(fds.size(), false);
    while (connected < kClients && std::chrono::steady_clock::now() < end) {
      for (std::size_t i = 0; i < fds.size(); ++i) {
        if (done[i]) continue;
        pollfd p{fds[i], POLLOUT, 0};
        int error = -1;
        socklen_t length = sizeof error;
        if (::poll(&p, 1, 0) == 1 && (p.revents & POLLOUT) &&
            ::getsockopt(fds[i], SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
          done[i] = true;
          ++connected;
        }
      }
      ::usleep(2000);
    }
    for (const int fd : fds) ::close(fd);
  });
  EXPECT_EQ(connected, kClients);
}

TEST_P(LoopbackOnly, SixtyFourMebibytesGoDownAndUpIntact) {
  context_.config.users[0].quota = std::int64_t{1} << 30;
  const std::string data = Pattern(64 << 20, 5);
  WriteFile(Personal() / "large.bin", data);
  auto client = Login();
  EXPECT_EQ(Ask(*client, "DOWNLOAD|1|\\large.bin|False"), "DO DOWNLOAD");
  client->Send(Framed("DO DOWNLOAD|1"));
  EXPECT_TRUE(client->ReadBytes(data.size()) == data);
  EXPECT_EQ(Ask(*client, "UPLOAD|1|" + std::to_string(data.size()) + "|\\copy.bin|20240101000000"),
            "DO UPLOAD");
  for (std::size_t at = 0; at < data.size(); at += 1 << 20) client->Send(data.substr(at, 1 << 20));
  EXPECT_EQ(client->ReadFrame(), "UPLOADOK");
  EXPECT_TRUE(ReadFile(Personal() / "copy.bin") == data);
}

TEST_P(LoopbackOnly, PositionsAboveFourGibibytesWork) {
  constexpr std::int64_t kFourGiB = std::int64_t{4} << 30;
  constexpr std::int64_t kBig = std::int64_t{5} << 30;
  const std::string tail = Pattern(1 << 20, 9);
  context_.config.users[0].quota = std::int64_t{20} << 30;
  {
    // Sparse files: the holes take no disk space.
    WriteFile(Personal() / "big.bin", "");
    fs::resize_file(Personal() / "big.bin", kBig - static_cast<std::int64_t>(tail.size()));
    std::ofstream(Personal() / "big.bin", std::ios::binary | std::ios::app) << tail;
    WriteFile(Personal() / "up.bin", "");
    fs::resize_file(Personal() / "up.bin", kFourGiB + 10);
  }
  auto client = Login();
  EXPECT_NE(Ask(*client, "LIST|\\|False").find("big.bin|5368709120|"), std::string::npos);
  const std::int64_t start = kBig - static_cast<std::int64_t>(tail.size()) + 1;
  EXPECT_EQ(Ask(*client, "DOWNLOAD|" + std::to_string(start) + "|\\big.bin|False"), "DO DOWNLOAD");
  client->Send(Framed("DO DOWNLOAD|" + std::to_string(start)));
  EXPECT_TRUE(client->ReadBytes(tail.size()) == tail);

  const std::int64_t held = kFourGiB + 10;
  const std::int64_t total = held + static_cast<std::int64_t>(tail.size());
  EXPECT_EQ(Ask(*client, "UPLOAD|" + std::to_string(held + 1) + "|" + std::to_string(total) +
                             "|\\up.bin|20240101000000"),
            "DO UPLOAD");
  client->Send(tail);
  EXPECT_EQ(client->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(Personal() / "up.bin")), total);
  std::ifstream in(Personal() / "up.bin", std::ios::binary);
  in.seekg(held);
  std::string stored(tail.size(), '\0');
  in.read(stored.data(), static_cast<std::streamsize>(stored.size()));
  EXPECT_TRUE(stored == tail);
}

TEST_P(LoopbackOnly, HostileClientDoesNotDisturbARunningDownload) {
  context_.config.users[0].quota = std::int64_t{1} << 30;
  const std::string data = Pattern(8 << 20, 3);
  WriteFile(Personal() / "stream.bin", data);
  auto client = Login();
  EXPECT_EQ(Ask(*client, "DOWNLOAD|1|\\stream.bin|False"), "DO DOWNLOAD");
  client->Send(Framed("DO DOWNLOAD|1"));
  const std::string head = client->ReadBytes(1 << 20);
  for (int i = 0; i < 20; ++i) {
    auto hostile = Connect();
    hostile->Send(i % 2 ? "4000000000|" : std::string(1000, '\xFF'));
    EXPECT_TRUE(hostile->WaitClosed());
  }
  EXPECT_TRUE(head + client->ReadBytes(data.size() - head.size()) == data);
  EXPECT_EQ(Ask(*client, "TOTALSIZE").rfind("TOTALSIZE|", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Real, LoopbackOnly, ::testing::Values(Mode::kLoopback), ModeName);

/// The program as a user starts it.
class Program : public ::testing::Test {
 protected:
  /// Starts vaultline-server with `args` and reads its port lines.
  void Start(std::vector<std::string> args) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_ = ::fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 2);
      std::vector<char*> argv;
      std::string binary = VAULTLINE_SERVER_BINARY;
      argv.push_back(binary.data());
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(binary.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
    const std::regex port_line("port=(\\d+)\\n");
    const std::regex http_line("http_port=(\\d+)\\n");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::smatch m;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[512];
      const ssize_t n = ::read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      stdout_.append(buffer, static_cast<std::size_t>(n));
      if (std::regex_search(stdout_, m, http_line)) {
        http_port_ = std::stoi(m[1]);
        std::regex_search(stdout_, m, port_line);
        port_ = std::stoi(m[1]);
        return;
      }
    }
    FAIL() << "no port lines: " << stdout_;
  }

  int StopAndWait() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 1000; ++i) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      ::usleep(10000);
    }
    return -2;
  }

  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  std::string HttpGet(std::string_view request) {
    auto client = ConnectTcp(http_port_);
    client->Send(request);
    std::string response;
    while (true) {
      std::string more = client->ReadBytes(4096);
      if (more.empty()) break;
      response += more;
    }
    return response;
  }

  TempDir dir_;
  pid_t pid_ = -1;
  int out_ = -1;
  std::string stdout_;
  int port_ = 0;
  int http_port_ = 0;
};

TEST_F(Program, DemoStartsServesAndStopsCleanly) {
  Start({"--data", dir_.Path().string(), "--demo", "--port", "0", "--http-port", "0"});
  ASSERT_GT(port_, 0);
  EXPECT_NE(stdout_.find("demo"), std::string::npos);
  const std::string response =
      HttpGet("GET http://params.test/webftp/pf.txt HTTP/1.1\r\nHost: params.test\r\n\r\n");
  const auto body = response.substr(response.find("\r\n\r\n") + 4);
  EXPECT_EQ(body, PfBody("127.0.0.1", port_));

  auto client = ConnectTcp(port_);
  client->Send(session::FrameMessage("LOGIN|5|demo|" + Scrambled("demo")));
  EXPECT_EQ(client->ReadFrame().rfind("LOGINOK|", 0), 0u);
  client->Send(Framed("LIST|\\|False"));
  const std::string list = support::Cp1253ToUtf8(client->ReadFrame());
  EXPECT_NE(list.find("Εγχειρίδια|0||\\manuals\\"), std::string::npos) << list;
  EXPECT_NE(list.find("Έγγραφα|0|"), std::string::npos) << list;
  client->Send(Framed("DEALERS FOLDER"));
  EXPECT_EQ(client->ReadFrame(), "DEALEROK");
  client->Send(Framed("LIST|\\|False"));
  EXPECT_NE(support::Cp1253ToUtf8(client->ReadFrame()).find("Τιμοκατάλογος 2024.txt"),
            std::string::npos);
  EXPECT_EQ(StopAndWait(), 0);
  EXPECT_TRUE(client->WaitClosed());
}

TEST_F(Program, DemoRunTwiceKeepsTheFilesOfTheFirst) {
  Start({"--data", dir_.Path().string(), "--demo", "--port", "0", "--http-port", "0"});
  ASSERT_EQ(StopAndWait(), 0);
  const auto readme = dir_.Path() / "users" / "demo" / "readme.txt";
  std::ofstream(readme, std::ios::trunc) << "changed";
  Start({"--data", dir_.Path().string(), "--demo", "--port", "0", "--http-port", "0"});
  ASSERT_EQ(StopAndWait(), 0);
  std::ifstream in(readme);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "changed");
}

TEST_F(Program, ParametersOverrideAnswers404) {
  Start({"--data", dir_.Path().string(), "--port", "0", "--http-port", "0", "--pf-body", "404"});
  EXPECT_EQ(HttpGet("GET /webftp/pf.txt HTTP/1.1\r\nHost: x\r\n\r\n").rfind("HTTP/1.1 404", 0), 0u);
  EXPECT_EQ(StopAndWait(), 0);
}

TEST_F(Program, BadArgumentsAndConfigFailBeforeListening) {
  const auto config = dir_.Path() / "bad.ini";
  std::ofstream(config) << "[server]\nmaintenance = perhaps\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--port", "0"},
        std::vector<std::string>{"--data", dir_.Path().string(), "--port", "70000"},
        std::vector<std::string>{"--data", dir_.Path().string(), "--config", config.string()}}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      std::vector<std::string> all = {VAULTLINE_SERVER_BINARY};
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (auto& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    int status = 0;
    for (int i = 0; i < 500 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) ::usleep(10000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args[0];
  }
}

}  // namespace
}  // namespace server::testing
