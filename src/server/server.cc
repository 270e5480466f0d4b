#include "server/server.h"

#include <chrono>
#include <system_error>

#include "net/socket_master.h"
#include "server/client_session.h"
#include "support/error.h"

namespace server {

namespace {

/// Folder connections beyond this are refused at once.
constexpr std::size_t kMaxConnections = 4096;
/// Connection attempts the kernel queues until the loop accepts them (it caps
/// the figure at net.core.somaxconn).
constexpr std::int32_t kListenBacklog = 4096;
/// Seconds an HTTP client has to send its request.
constexpr auto kHttpTimeout = std::chrono::seconds(10);
/// Calls of the send-complete handler that may nest before the rest of a
/// burst is unrolled into a loop.
constexpr int kMaxSendNesting = 1;

}  // namespace

/// One folder connection: the socket, the session, and the transport the
/// session speaks through.
class Server::Connection : public Transport {
 public:
  Connection(Server& server, std::uint64_t id) : server_(server), id_(id) {}

  void Open(std::int32_t request_id) {
    socket_.Accept(request_id);
    peer_ = socket_.RemoteHostIP() + ":" + std::to_string(socket_.RemotePort());
    session_ = std::make_unique<ClientSession>(server_.context_, *this, id_, peer_);
    socket_.OnDataArrival = [this](std::int64_t) { Arrived(); };
    socket_.OnSendComplete = [this] { SendComplete(); };
    socket_.OnCloseSck = [this] {
      server_.context_.Log("#" + std::to_string(id_) + " " + peer_ + ": closed by the client");
      Close();
    };
    socket_.OnError = [this](net::SocketErrorEvent& event) {
      server_.context_.Log("#" + std::to_string(id_) + " " + peer_ +
                           ": socket error: " + event.description);
      Close();
    };
    server_.context_.Log("#" + std::to_string(id_) + " " + peer_ + ": connected");
    // Bytes or a close that came before the accept were parked; the events
    // that announced them found no handler yet.
    if (socket_.State() != net::SocketState::kConnected) return Close();
    if (socket_.BytesReceived() > 0) Arrived();
  }

  void Send(std::string_view bytes) override {
    if (closed_ || bytes.empty()) return;
    unsent_ = true;
    try {
      socket_.SendData(bytes);
    } catch (const support::Error& error) {
      server_.context_.Log("#" + std::to_string(id_) + " send failed: " + error.Description());
      Close();
    }
  }

  void CloseAfterSend() override {
    if (unsent_) {
      close_after_send_ = true;
    } else {
      Close();
    }
  }

  void Close() override {
    if (closed_) return;
    closed_ = true;
    socket_.CloseSck();
    if (session_) session_->Detach();
    server_.Retire(id_);
  }

  ClientSession& Session() { return *session_; }

 private:
  void Arrived() {
    if (closed_) return;
    const std::string_view bytes = socket_.ReceivedView();
    const std::size_t count = bytes.size();
    session_->OnData(bytes);  // consumes everything, file data without a copy
    if (!closed_) socket_.Discard(static_cast<std::int64_t>(count));
  }

  void SendComplete() {
    unsent_ = false;
    if (closed_) return;
    if (close_after_send_) return Close();
    // A send made from here may complete at once and call back in; instead
    // of nesting once per block, the inner call asks the outer one to go on.
    if (send_depth_ >= kMaxSendNesting) {
      again_ = true;
      return;
    }
    ++send_depth_;
    do {
      again_ = false;
      session_->OnSendComplete();
    } while (again_ && !closed_);
    --send_depth_;
  }

  Server& server_;
  std::uint64_t id_;
  std::string peer_;
  net::SocketMaster socket_;
  std::unique_ptr<ClientSession> session_;
  bool unsent_ = false;
  bool close_after_send_ = false;
  bool closed_ = false;
  int send_depth_ = 0;
  bool again_ = false;
};

/// One connection to the parameters endpoint: read the request head, send
/// the one response, close.
class Server::HttpConnection {
 public:
  HttpConnection(Server& server, std::uint64_t id)
      : server_(server), id_(id), opened_(std::chrono::steady_clock::now()) {}

  void Open(std::int32_t request_id) {
    socket_.Accept(request_id);
    socket_.OnDataArrival = [this](std::int64_t) { Arrived(); };
    socket_.OnSendComplete = [this] {
      if (answered_) Close();
    };
    socket_.OnCloseSck = [this] { Close(); };
    socket_.OnError = [this](net::SocketErrorEvent&) { Close(); };
    if (socket_.State() != net::SocketState::kConnected) return Close();
    if (socket_.BytesReceived() > 0) Arrived();
  }

  bool Expired(std::chrono::steady_clock::time_point now) const {
    return now - opened_ >= kHttpTimeout;
  }

  void Close() {
    if (closed_) return;
    closed_ = true;
    socket_.CloseSck();
    server_.RetireHttp(id_);
  }

 private:
  void Arrived() {
    if (closed_ || answered_) return;
    std::string bytes;
    socket_.GetData(bytes);
    received_ += bytes;
    const auto response = PfResponse(received_, server_.options_.pf);
    if (!response) return;
    const std::string line = received_.substr(0, received_.find("\r\n"));
    server_.context_.Log("http " + socket_.RemoteHostIP() + ": " + line + " -> " +
                         response->substr(9, response->find("\r\n") - 9));
    answered_ = true;
    try {
      socket_.SendData(*response);  // one write: the client reads the body with the head
    } catch (const support::Error&) {
      Close();
    }
  }

  Server& server_;
  std::uint64_t id_;
  std::chrono::steady_clock::time_point opened_;
  net::SocketMaster socket_;
  std::string received_;
  bool answered_ = false;
  bool closed_ = false;
};

Server::Server(net::EventLoop& loop, ServerContext& context, ServerOptions options)
    : loop_(loop),
      context_(context),
      options_(std::move(options)),
      alive_(std::make_shared<bool>(true)) {}

Server::~Server() {
  *alive_ = false;
  Stop();
}

void Server::Start() {
  std::error_code ec;
  for (const auto& root : {context_.users_root, context_.dealers_root, context_.links_root}) {
    std::filesystem::create_directories(root, ec);
    if (ec)
      throw support::Error(ec.value(), "Server.Start",
                           "cannot create " + root.string() + ": " + ec.message());
  }
  port_ = options_.port;
  StartFolderListener();
  if (options_.pf.kind == PfAnswer::Kind::kEndpoint) {
    const std::string host =
        options_.bind == "0.0.0.0" || options_.bind.empty() ? "127.0.0.1" : options_.bind;
    options_.pf.text = PfBody(host, port_);
  }
  if (options_.http_port >= 0) {
    http_port_ = options_.http_port;
    StartHttpListener();
  }
  tick_timer_ = loop_.StartTimer(std::chrono::milliseconds(250), net::TimerKind::kRepeating,
                                 [this] { Tick(); });
}

void Server::StartFolderListener() {
  listener_ = std::make_unique<net::SocketMaster>();
  listener_->SetLocalIP(options_.bind);
  listener_->SetLocalPort(port_);
  listener_->OnConnectionRequest = [this](std::int32_t request_id) { AcceptFolder(request_id); };
  listener_->OnError = [this](net::SocketErrorEvent& event) {
    context_.Log("listener error: " + event.description);
    RestartListener(false);
  };
  // Many clients may connect at once (an office starting up): a short queue
  // would drop their connection attempts until the kernel retries them.
  listener_->Listen(kListenBacklog);
  port_ = listener_->LocalPort();
}

void Server::StartHttpListener() {
  http_listener_ = std::make_unique<net::SocketMaster>();
  http_listener_->SetLocalIP(options_.bind);
  http_listener_->SetLocalPort(http_port_);
  http_listener_->OnConnectionRequest = [this](std::int32_t request_id) { AcceptHttp(request_id); };
  http_listener_->OnError = [this](net::SocketErrorEvent& event) {
    context_.Log("http listener error: " + event.description);
    RestartListener(true);
  };
  http_listener_->Listen(kListenBacklog);
  http_port_ = http_listener_->LocalPort();
}

void Server::RestartListener(bool http) {
  std::weak_ptr<bool> alive = alive_;
  loop_.Post([this, http, alive] {
    if (alive.expired() || !*alive.lock()) return;
    // Close now; open again after a pause, when descriptors may be free.
    (http ? http_listener_ : listener_)->CloseSck();
    loop_.StartTimer(std::chrono::milliseconds(200), net::TimerKind::kOneShot, [this, http, alive] {
      if (alive.expired() || !*alive.lock()) return;
      try {
        if (http) {
          if (http_listener_) StartHttpListener();
        } else if (listener_) {
          StartFolderListener();
        }
      } catch (const support::Error& error) {
        context_.Log("cannot listen again: " + error.Description());
        RestartListener(http);
      }
    });
  });
}

void Server::Stop() {
  if (tick_timer_ != net::kNoTimer) loop_.StopTimer(tick_timer_);
  tick_timer_ = net::kNoTimer;
  listener_.reset();
  http_listener_.reset();
  connections_.clear();
  http_connections_.clear();
}

void Server::AcceptFolder(std::int32_t request_id) {
  if (connections_.size() >= kMaxConnections) {
    context_.Log("connection refused: too many connections");
    return;  // not accepting closes it
  }
  const std::uint64_t id = next_id_++;
  auto connection = std::make_unique<Connection>(*this, id);
  Connection* raw = connection.get();
  connections_.emplace(id, std::move(connection));
  try {
    raw->Open(request_id);
  } catch (const support::Error& error) {
    context_.Log("accept failed: " + error.Description());
    raw->Close();
  }
}

void Server::AcceptHttp(std::int32_t request_id) {
  const std::uint64_t id = next_id_++;
  auto connection = std::make_unique<HttpConnection>(*this, id);
  HttpConnection* raw = connection.get();
  http_connections_.emplace(id, std::move(connection));
  try {
    raw->Open(request_id);
  } catch (const support::Error&) {
    raw->Close();
  }
}

void Server::Retire(std::uint64_t id) {
  // The connection may be inside one of its own handlers: destroy it later,
  // from the loop, when no handler of it runs.
  std::weak_ptr<bool> alive = alive_;
  loop_.Post([this, id, alive] {
    if (alive.expired() || !*alive.lock()) return;
    connections_.erase(id);
  });
}

void Server::RetireHttp(std::uint64_t id) {
  std::weak_ptr<bool> alive = alive_;
  loop_.Post([this, id, alive] {
    if (alive.expired() || !*alive.lock()) return;
    http_connections_.erase(id);
  });
}

void Server::Tick() {
  const auto now = std::chrono::steady_clock::now();
  // Ticks may close connections; collect first, the erasures come later.
  for (auto& [id, connection] : connections_) connection->Session().Tick(now);
  for (auto& [id, connection] : http_connections_)
    if (connection->Expired(now)) connection->Close();
}

}  // namespace server
