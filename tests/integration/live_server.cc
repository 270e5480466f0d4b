#include "live_server.h"

#include <fstream>

#include "server/config.h"
#include "server/transfer_files.h"
#include "session/protocol.h"
#include "support/codepage.h"
#include "support/text.h"

namespace integration {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kConfig = R"(# written by the integration tests
[server]
max_sessions_per_user = 2
cleanup_days = 0
cleanup_interval = 7

[user anna]
password = secret1
quota = 10000
dealers = false

[user dealer]
password = pw
dealers = true

[user blocked]
password = pw
allowed = false

[user ghost]
password = pw

[link Manuals]
target = manuals
)";

}  // namespace

RawClient::RawClient(int port) {
  socket_.OnDataArrival = [this](std::int64_t) {
    std::string chunk;
    socket_.GetData(chunk);
    received += chunk;
  };
  socket_.Connect("127.0.0.1", port);
}

void RawClient::SendFrame(std::string_view payload_utf8) {
  socket_.SendData(session::FrameMessage(support::Utf8ToCp1253(payload_utf8)));
}

LiveServerTest::LiveServerTest() : scope_(loop_) {}

LiveServerTest::~LiveServerTest() = default;

void LiveServerTest::WriteFile(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void LiveServerTest::SetUp() {
  support::SetDecimalSeparator('.');
  const fs::path config_file = dir_.Path() / "server.ini";
  WriteFile(config_file, kConfig);
  auto loaded = server::LoadConfig(config_file.string());
  ASSERT_TRUE(loaded.config) << loaded.error;
  context_.config = *loaded.config;
  context_.SetDataRoot(dir_.Path() / "data");
  context_.log = [this](const std::string& line) { server_log_.push_back(line); };

  WriteFile(Personal() / "Docs" / "inner.txt", "abc");
  WriteFile(Personal() / "README", "readme");
  WriteFile(Personal() / "report.pdf", std::string(2048, 'r'));
  server::SetModificationStamp(Personal() / "report.pdf", "20260306090559");
  fs::create_directories(Personal("dealer"));
  WriteFile(Personal("ghost"), "not a folder");
  WriteFile(context_.links_root / "manuals" / "guide.pdf", std::string(10, 'g'));
  WriteFile(context_.links_root / "manuals" / "Chapters" / "one.txt", "1");
  WriteFile(context_.dealers_root / "shared.txt", "share");
  WriteFile(context_.dealers_root / "Old" / "notes.txt", "note");

  StartServer();
  Configure(DirectConfig());
}

void LiveServerTest::TearDown() {
  session_.reset();
  server_.reset();
  // Connections retired by the server are destroyed from the loop.
  loop_.RunUntil([] { return false; }, 10ms);
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

void LiveServerTest::Configure(session::SessionConfig config, std::string id,
                               std::string password) {
  session_.reset();
  session_ = std::make_unique<session::FolderSession>(loop_, ui_, log_, facts_, std::move(config));
  session_->SetIdText(std::move(id));
  session_->SetPasswordText(std::move(password));
}

void LiveServerTest::LogIn() {
  const int before = ServerLines("PCINFO");
  session_->dcbConnect_Click();
  ASSERT_TRUE(WaitServerLines("PCINFO", before + 1)) << "log-in chain did not finish";
  ASSERT_TRUE(Until([&] { return View().window_enabled; }));
  ASSERT_EQ(View().dcbConnect.caption, "Αποσύνδεση");
}

void LiveServerTest::WaitIdle() {
  ASSERT_TRUE(Until([&] { return View().window_enabled; })) << "no reply";
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

bool LiveServerTest::WaitServerLines(std::string_view needle, int count) {
  return Until([&] { return ServerLines(needle) >= count; });
}

int LiveServerTest::RowNamed(std::string_view name) const {
  for (std::size_t i = 0; i < View().rows.size(); ++i) {
    if (View().rows[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

void LiveServerTest::Select(std::string_view name) {
  const int row = RowNamed(name);
  ASSERT_GE(row, 0) << "no row " << name;
  session_->lvFiles_MouseDown(session::MouseButton::kLeft, row);
}

}  // namespace integration
