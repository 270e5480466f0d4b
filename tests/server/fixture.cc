#include "fixture.h"

#include <chrono>
#include <thread>

#include "server/transfer_files.h"
#include "support/codepage.h"

namespace server::testing {

namespace fs = std::filesystem;

void ServerFixture::SetUp() {
  context_.SetDataRoot(dir_.Path());
  context_.log = [this](const std::string& line) {
    std::lock_guard<std::mutex> lock(log_mutex_);
    log_.push_back(line);
  };
  ServerConfig& config = context_.config;
  config.max_sessions_per_user = 2;
  config.cleanup_days = 30;
  config.cleanup_interval = 7;
  UserConfig anna;
  anna.id = "anna";
  anna.password = "secret1";
  anna.quota = 100000;
  anna.dealers = true;
  anna.over_quota_warning = true;
  UserConfig bob;
  bob.id = "bob";
  bob.password = "κωδικός";
  bob.quota = 5000;
  bob.dealers = false;
  bob.over_quota_warning = false;
  UserConfig blocked;
  blocked.id = "blocked";
  blocked.password = "x";
  blocked.allowed = false;
  UserConfig bar;  // scrambles to a first byte "|"
  bar.id = "bar";
  bar.password = "(abc";
  config.users = {anna, bob, blocked, bar};
  config.links = {LinkConfig{"Εγχειρίδια", "manuals"}};

  for (const auto& root : {context_.users_root, context_.dealers_root, context_.links_root})
    fs::create_directories(root);
  WriteFile(Personal() / "Έγγραφα" / "σημειώσεις.txt", "hello");
  WriteFile(Personal() / "report.pdf", std::string(1000, 'r'));
  SetModificationStamp(Personal() / "report.pdf", "20240131120000");
  fs::create_directories(Personal() / "Άδειος");
  WriteFile(context_.dealers_root / "price.txt", "prices");
  WriteFile(context_.links_root / "manuals" / "guide.txt", "guide");
  SetModificationStamp(context_.links_root / "manuals" / "guide.txt", "20231120100000");
}

TestServer& ServerFixture::Server() {
  if (!server_) server_ = StartTestServer(GetParam(), context_);
  return *server_;
}

std::string ServerFixture::LoginFrame(std::string_view user, std::string_view password,
                                      std::string_view version) {
  return session::FrameMessage("LOGIN|" + std::string(version) + "|" + support::Utf8ToCp1253(user) +
                               "|" + Scrambled(password));
}

std::unique_ptr<TestClient> ServerFixture::Login(std::string_view user, std::string_view password) {
  auto client = Connect();
  client->Send(LoginFrame(user, password));
  const std::string reply = client->ReadFrame();
  EXPECT_EQ(reply.rfind("LOGINOK|", 0), 0u) << reply;
  return client;
}

std::string ServerFixture::Ask(TestClient& client, std::string_view utf8_payload) {
  client.Send(Framed(utf8_payload));
  return support::Cp1253ToUtf8(client.ReadFrame());
}

void ServerFixture::WriteFile(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ServerFixture::ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool ServerFixture::Eventually(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::string ModeName(const ::testing::TestParamInfo<Mode>& info) {
  return info.param == Mode::kMemory ? "Memory" : "Loopback";
}

}  // namespace server::testing
