#include "harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <map>
#include <thread>

#include "app/crypto.h"
#include "net/dispatch.h"
#include "net/poll_event_loop.h"
#include "server/client_session.h"
#include "server/server.h"
#include "session/protocol.h"
#include "support/codepage.h"

namespace server::testing {

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

class MemoryServer;

class MemoryClient : public TestClient {
 public:
  MemoryClient(MemoryServer& server, std::uint64_t id);
  ~MemoryClient() override;

  void Send(std::string_view bytes) override {
    if (transport_.closed || !session_) return;
    session_->OnData(bytes);
    Pump();
  }
  std::string ReadBytes(std::size_t count) override {
    const std::size_t n = std::min(count, transport_.inbox.size());
    std::string out = transport_.inbox.substr(0, n);
    transport_.inbox.erase(0, n);
    return out;
  }
  bool WaitClosed() override { return transport_.closed; }
  void Disconnect() override;

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

class MemoryServer : public TestServer {
 public:
  explicit MemoryServer(ServerContext& context) : context_(context) {}
  std::unique_ptr<TestClient> Connect() override {
    return std::make_unique<MemoryClient>(*this, next_id_++);
  }
  void LetTimePass(std::chrono::seconds seconds) override {
    offset_ += seconds;
    const auto now = std::chrono::steady_clock::now() + offset_;
    for (auto& [id, client] : clients_) client->Tick(now);
  }
  void Inspect(const std::function<void(ServerContext&)>& fn) override { fn(context_); }

  ServerContext& context_;
  std::map<std::uint64_t, MemoryClient*> clients_;
  std::uint64_t next_id_ = 1;
  std::chrono::seconds offset_{0};
};

MemoryClient::MemoryClient(MemoryServer& server, std::uint64_t id)
    : server_(server),
      id_(id),
      session_(std::make_unique<ClientSession>(server.context_, transport_, id,
                                               "memory:" + std::to_string(id))) {
  server_.clients_[id_] = this;
}

MemoryClient::~MemoryClient() { Disconnect(); }

void MemoryClient::Disconnect() {
  server_.clients_.erase(id_);
  session_.reset();
  transport_.closed = true;
}

// ---- Over loopback ----

class SocketClient : public TestClient {
 public:
  explicit SocketClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ADD_FAILURE() << "cannot connect to 127.0.0.1:" << port;
      ::close(fd_);
      fd_ = -1;
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
    while (fd_ >= 0 && out.size() < count && !eof_) {
      if (!WaitReadable(deadline)) break;
      char buffer[65536];
      const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, count - out.size()), 0);
      if (n <= 0) {
        eof_ = true;
        break;
      }
      out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
  }
  bool WaitClosed() override {
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    while (fd_ >= 0 && !eof_) {
      if (!WaitReadable(deadline)) return false;
      char buffer[4096];
      if (::recv(fd_, buffer, sizeof buffer, 0) <= 0) eof_ = true;
    }
    return true;
  }
  void Disconnect() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  bool WaitReadable(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(left.count())) > 0;
  }

  int fd_ = -1;
  bool eof_ = false;
};

/// The real server on its own loop thread.
class LoopbackServer : public TestServer {
 public:
  explicit LoopbackServer(ServerContext& context) {
    std::promise<int> started;
    auto port = started.get_future();
    thread_ = std::thread([this, &context, &started] {
      net::PollEventLoop loop;
      net::SetEventLoop(&loop);
      {
        ServerOptions options;
        options.port = 0;
        options.http_port = -1;
        Server server(loop, context, options);
        try {
          server.Start();
        } catch (...) {
          started.set_value(-1);
          net::SetEventLoop(nullptr);
          return;
        }
        loop_ = &loop;
        context_ = &context;
        started.set_value(server.Port());
        loop.Run();
        loop_ = nullptr;
      }
      net::SetEventLoop(nullptr);
    });
    port_ = port.get();
    if (port_ < 0) ADD_FAILURE() << "server did not start";
  }
  ~LoopbackServer() override {
    if (port_ > 0) {
      net::EventLoop* loop = loop_;
      loop->Post([loop] { loop->Quit(); });
    }
    thread_.join();
  }
  std::unique_ptr<TestClient> Connect() override { return std::make_unique<SocketClient>(port_); }
  void LetTimePass(std::chrono::seconds) override {}
  int Port() const override { return port_; }
  void Inspect(const std::function<void(ServerContext&)>& fn) override {
    std::promise<void> done;
    loop_->Post([&] {
      fn(*context_);
      done.set_value();
    });
    done.get_future().wait_for(kWaitLimit);
  }

 private:
  std::thread thread_;
  net::EventLoop* loop_ = nullptr;
  ServerContext* context_ = nullptr;
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
  if (payload.size() != static_cast<std::size_t>(*length)) return "<none>";
  return payload;
}

std::unique_ptr<TestServer> StartTestServer(Mode mode, ServerContext& context) {
  if (mode == Mode::kMemory) return std::make_unique<MemoryServer>(context);
  return std::make_unique<LoopbackServer>(context);
}

std::unique_ptr<TestClient> ConnectTcp(int port) { return std::make_unique<SocketClient>(port); }

std::string Scrambled(std::string_view password) { return app::ScrambledPasswordField(password); }

std::string Framed(std::string_view utf8_payload) {
  return session::FrameMessage(support::Utf8ToCp1253(utf8_payload));
}

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "vaultline-server-XXXXXX").string();
  const char* made = ::mkdtemp(pattern.data());
  if (made == nullptr) ADD_FAILURE() << "mkdtemp failed";
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace server::testing
