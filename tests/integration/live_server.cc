#include "live_server.h"

#include "app/crypto.h"
#include "server/transfer_files.h"
#include "session/protocol.h"
#include "support/text.h"

namespace integration {

namespace fs = std::filesystem;

RawClient::RawClient(int port) {
  socket_.OnDataArrival = [this](std::int64_t) {
    std::string chunk;
    socket_.GetData(chunk);
    received += chunk;
  };
  socket_.Connect("127.0.0.1", port);
}

void LiveServerTest::WriteFile(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  test_common::WriteFile(path, std::string(bytes));
}

void LiveServerTest::SetUp() {
  support::SetDecimalSeparator('.');
  context_.config.cleanup_days = 0;
  context_.config.users = {{"anna", "secret1", 10000}, {"dealer", "pw"}};
  context_.config.users[1].dealers = true;
  context_.config.links = {{"Manuals", "manuals"}};
  context_.SetDataRoot(dir_.Path() / "data");
  context_.log = [this](const std::string& line) { server_log_.push_back(line); };

  WriteFile(Personal() / "Docs" / "inner.txt", "abc");
  WriteFile(Personal() / "README", "readme");
  WriteFile(Personal() / "report.pdf", std::string(2048, 'r'));
  server::SetModificationStamp(Personal() / "report.pdf", "20260306090559");
  fs::create_directories(Personal("dealer"));
  fs::create_directories(context_.links_root / "manuals");
  WriteFile(context_.dealers_root / "Old" / "notes.txt", "note");

  StartServer();
  Configure(DirectConfig());
}

void LiveServerTest::TearDown() {
  session_.reset();
  server_.reset();
  // Connections retired by the server are destroyed from the loop.
  loop_.RunUntil([] { return false; }, std::chrono::milliseconds(10));
}

void LiveServerTest::StartServer(server::PfAnswer pf) {
  server_.reset();
  server::ServerOptions options;
  options.bind = "127.0.0.1";
  options.port = 0;
  options.http_port = 0;
  options.pf = std::move(pf);
  server_ = std::make_unique<server::Server>(loop_, context_, options);
  server_->Start();
}

session::SessionConfig LiveServerTest::DirectConfig() const {
  session::SessionConfig config;
  config.parameters_host = "127.0.0.1";
  config.parameters_port = server_->HttpPort();
  config.server_name = "127.0.0.1";
  config.server_port = server_->Port();
  config.client_version = "1.00.0";
  return config;
}

session::SessionConfig LiveServerTest::FetchConfig() const {
  session::SessionConfig config = DirectConfig();
  config.server_name.clear();
  config.server_port = 0;
  return config;
}

void LiveServerTest::LogIn() {
  const int before = ServerLines("PCINFO");
  session_->dcbConnect_Click();
  ASSERT_TRUE(WaitServerLines("PCINFO", before + 1)) << "log-in chain did not finish";
  ASSERT_TRUE(WaitEnabled());
  ASSERT_EQ(View().dcbConnect.caption, "Αποσύνδεση");
}

std::unique_ptr<RawClient> LiveServerTest::SecondClient() {
  auto client = std::make_unique<RawClient>(server_->Port());
  EXPECT_TRUE(Until([&] { return client->Connected(); }));
  client->Send(session::FrameMessage("LOGIN|5|anna|" + app::ScrambledPasswordField("secret1")));
  EXPECT_TRUE(Until([&] { return client->received.find("LOGINOK") != std::string::npos; }));
  return client;
}

std::vector<std::string> LiveServerTest::Requests() const {
  std::vector<std::string> out;
  for (const auto& line : server_log_) {
    if (line.empty() || line[0] != '#') continue;
    const auto arrow = line.find(" -> ");
    if (arrow == std::string::npos) continue;
    // "#N HOST:PORT[ USER]: REQUEST -> REPLY": the request starts after the
    // first ": " that follows the peer's port.
    const auto colon = line.find(": ");
    if (colon == std::string::npos || colon > arrow) continue;
    out.push_back(line.substr(colon + 2));
  }
  return out;
}

int LiveServerTest::ServerLines(std::string_view needle) const {
  int n = 0;
  for (const auto& line : server_log_) {
    if (line.find(needle) != std::string::npos) ++n;
  }
  return n;
}

}  // namespace integration
