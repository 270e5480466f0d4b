#include "fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <thread>

#include "app/crypto.h"
#include "net/dispatch.h"
#include "net/poll_event_loop.h"
#include "server/client_session.h"
#include "server/server.h"
#include "server/transfer_files.h"
#include "session/protocol.h"
#include "support/codepage.h"

namespace server::testing {

namespace fs = std::filesystem;

namespace {

constexpr auto kWaitLimit = std::chrono::seconds(10);

// ---- In memory ----

/// What the session sends lands in an inbox; every send completes at once,
/// as on a fast local socket.
struct FakeTransport : Transport {
  void Send(std::string_view bytes) override {
    if (closed) return;
    inbox.append(bytes);
    pending_complete = true;
  }
  void CloseAfterSend() override { closed = true; }
  void Close() override { closed = true; }

  std::string inbox;
  bool closed = false;
  bool pending_complete = false;
};

class MemoryClient;

class MemoryServer : public TestServer {
 public:
  explicit MemoryServer(ServerContext& context) : context(context) {}
  std::unique_ptr<TestClient> Connect() override;
  void LetTimePass(std::chrono::seconds seconds) override;
  void Inspect(const std::function<void(ServerContext&)>& fn) override { fn(context); }

  ServerContext& context;
  std::map<std::uint64_t, MemoryClient*> clients;
  std::uint64_t next_id = 1;
  std::chrono::seconds offset{0};
};

class MemoryClient : public TestClient {
 public:
  MemoryClient(MemoryServer& server, std::uint64_t id)
      : server_(server),
        id_(id),
        session_(std::make_unique<ClientSession>(server.context, transport_, id,
                                                 "memory:" + std::to_string(id))) {
    server_.clients[id_] = this;
  }
  ~MemoryClient() override { Disconnect(); }

  void Send(std::string_view bytes) override {
    if (transport_.closed || !session_) return;
    session_->OnData(bytes);
    Pump();
  }
  std::string ReadBytes(std::size_t count) override {
    std::string out = transport_.inbox.substr(0, count);
    transport_.inbox.erase(0, out.size());
    return out;
  }
  bool WaitClosed() override { return transport_.closed; }
  void Disconnect() override {
    server_.clients.erase(id_);
    session_.reset();
    transport_.closed = true;
  }
  void Tick(std::chrono::steady_clock::time_point now) {
    if (!session_ || transport_.closed) return;
    session_->Tick(now);
    Pump();
  }

 private:
  void Pump() {
    while (transport_.pending_complete && session_ && !transport_.closed) {
      transport_.pending_complete = false;
      session_->OnSendComplete();
    }
  }

  MemoryServer& server_;
  std::uint64_t id_;
  FakeTransport transport_;
  std::unique_ptr<ClientSession> session_;
};

std::unique_ptr<TestClient> MemoryServer::Connect() {
  return std::make_unique<MemoryClient>(*this, next_id++);
}

void MemoryServer::LetTimePass(std::chrono::seconds seconds) {
  offset += seconds;
  for (auto& [id, client] : clients) client->Tick(std::chrono::steady_clock::now() + offset);
}

// ---- Over loopback ----

class SocketClient : public TestClient {
 public:
  explicit SocketClient(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ADD_FAILURE() << "cannot connect to 127.0.0.1:" << port;
      Disconnect();
    }
  }
  ~SocketClient() override { Disconnect(); }

  void Send(std::string_view bytes) override {
    while (fd_ >= 0 && !bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  std::string ReadBytes(std::size_t count) override {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    while (out.size() < count && Receive(deadline, count - out.size(), out)) {
    }
    return out;
  }
  bool WaitClosed() override {
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    std::string ignored;
    while (Receive(deadline, 4096, ignored)) ignored.clear();
    return fd_ >= 0 && eof_;
  }
  void Disconnect() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  /// Appends up to `count` bytes that arrive before `deadline`; false at the end of
  /// the stream or the deadline.
  bool Receive(std::chrono::steady_clock::time_point deadline, std::size_t count,
               std::string& out) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || eof_ || left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
      return false;
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, count), 0);
    if (n <= 0) eof_ = true;
    if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
  }

  int fd_;
  bool eof_ = false;
};

/// The real server on its own loop thread.
class LoopbackServer : public TestServer {
 public:
  explicit LoopbackServer(ServerContext& context) : context_(context) {
    std::promise<int> started;
    thread_ = std::thread([this, &started] {
      net::PollEventLoop loop;
      net::SetEventLoop(&loop);
      {
        ServerOptions options;
        options.port = 0;
        options.http_port = -1;
        Server server(loop, context_, options);
        try {
          server.Start();
          loop_ = &loop;
          started.set_value(server.Port());
        } catch (...) {
          started.set_value(-1);
        }
        if (loop_ != nullptr) loop.Run();
      }
      net::SetEventLoop(nullptr);
    });
    port_ = started.get_future().get();
    if (port_ < 0) ADD_FAILURE() << "server did not start";
  }
  ~LoopbackServer() override {
    if (loop_ != nullptr) loop_->Post([loop = loop_] { loop->Quit(); });
    thread_.join();
  }
  std::unique_ptr<TestClient> Connect() override { return std::make_unique<SocketClient>(port_); }
  void LetTimePass(std::chrono::seconds) override {}
  int Port() const override { return port_; }
  void Inspect(const std::function<void(ServerContext&)>& fn) override {
    std::promise<void> done;
    loop_->Post([&] {
      fn(context_);
      done.set_value();
    });
    done.get_future().wait_for(kWaitLimit);
  }

 private:
  ServerContext& context_;
  std::thread thread_;
  net::EventLoop* loop_ = nullptr;
  int port_ = -1;
};

}  // namespace

std::string TestClient::ReadFrame() {
  std::string prefix;
  while (prefix.size() < 12) {
    const std::string byte = ReadBytes(1);
    if (byte.empty()) return "<none>";
    if (byte == "|") break;
    prefix += byte;
  }
  const auto length = session::ParseCount(prefix);
  if (!length) return "<bad prefix " + prefix + ">";
  std::string payload = ReadBytes(static_cast<std::size_t>(*length));
  return payload.size() == static_cast<std::size_t>(*length) ? payload : "<none>";
}

std::unique_ptr<TestClient> ConnectTcp(int port) { return std::make_unique<SocketClient>(port); }

std::string Scrambled(std::string_view password) { return app::ScrambledPasswordField(password); }

std::string Framed(std::string_view utf8_payload) {
  return session::FrameMessage(support::Utf8ToCp1253(utf8_payload));
}

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
  config.users = {
      {.id = "anna", .password = "secret1", .quota = 100000, .dealers = true},
      {.id = "bob", .password = "κωδικός", .quota = 5000, .over_quota_warning = false},
      {.id = "blocked", .password = "x", .allowed = false},
      {.id = "bar", .password = "(abc"},  // scrambles to a first byte "|"
  };
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
  if (server_) return *server_;
  if (GetParam() == Mode::kMemory) {
    server_ = std::make_unique<MemoryServer>(context_);
  } else {
    server_ = std::make_unique<LoopbackServer>(context_);
  }
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

void ServerFixture::ExpectReplies(
    TestClient& client, std::initializer_list<std::pair<std::string, std::string>> exchanges) {
  for (const auto& [request, reply] : exchanges) EXPECT_EQ(Ask(client, request), reply) << request;
}

void ServerFixture::WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  test_common::WriteFile(path, bytes);
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
