// Behaviour that only a real event loop and real sockets show: many sessions
// at once, large streams, 64-bit positions, and the program itself.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <vector>

#include "fixture.h"
#include "server/pf_endpoint.h"
#include "server/transfer_files.h"
#include "support/codepage.h"

namespace server::testing {
namespace {

namespace fs = std::filesystem;

class LoopbackOnly : public ServerFixture {};

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
  const std::string data = test_common::RandomBytes(64 << 20, 5);
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
  const std::string tail = test_common::RandomBytes(1 << 20, 9);
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
  const std::string data = test_common::RandomBytes(8 << 20, 3);
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

TEST(Program, TheDemoServesItsAccountTheParametersAndStopsWhenAsked) {
  auto demo = std::make_unique<test_common::DemoServer>();
  ASSERT_TRUE(demo->Started());
  auto http = ConnectTcp(demo->HttpPort());
  http->Send("GET http://params.test/webftp/pf.txt HTTP/1.1\r\nHost: params.test\r\n\r\n");
  const std::string response = http->ReadBytes(4096);
  EXPECT_EQ(response.substr(response.find("\r\n\r\n") + 4), PfBody("127.0.0.1", demo->Port()));

  auto client = ConnectTcp(demo->Port());
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
  demo.reset();  // SIGTERM
  EXPECT_TRUE(client->WaitClosed());
}

TEST(Program, BadArgumentsAndConfigFailBeforeListening) {
  test_common::TempDir dir;
  const std::string data = dir.Path().string();
  const std::string config = (dir.Path() / "bad.ini").string();
  test_common::WriteFile(config, "[server]\nmaintenance = perhaps\n");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--port", "0"},
                                               {"--data", data, "--port", "70000"},
                                               {"--data", data, "--http-port", "x"},
                                               {"--data", data, "--config", config},
                                               {"--data", data, "--unknown"}}) {
    const auto result = test_common::RunProcess(VAULTLINE_SERVER_BINARY, args, {});
    EXPECT_EQ(result.exit_code, 2) << args.back();
    EXPECT_NE(result.err.find("vaultline-server: "), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("port="), std::string::npos);
  }
}

}  // namespace
}  // namespace server::testing
