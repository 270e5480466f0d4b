#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "net/event_loop.h"
#include "server/pf_endpoint.h"
#include "server/server_context.h"

namespace net {
class SocketMaster;
}

namespace server {

struct ServerOptions {
  std::string bind = "127.0.0.1";  ///< IPv4 address to listen on
  int port = 2121;                 ///< folder port; 0 picks a free one
  int http_port = 8080;            ///< parameters endpoint; 0 picks a free one, -1 none
  /// What GET /webftp/pf.txt answers; kEndpoint is filled in at Start with
  /// the folder endpoint actually listening.
  PfAnswer pf;
};

/// The folder server and its parameters endpoint on one event loop: accepts
/// connections, gives each a ClientSession, carries bytes between them, and
/// runs the housekeeping tick (server PINGs, log-in time-outs). Nothing here
/// blocks on the network; each download sends its next block when the
/// previous one has been taken by the system, so memory per transfer stays
/// small whatever the file size.
///
/// Belongs to the loop thread; the socket layer must have been given the loop
/// (net::SetEventLoop) before Start.
class Server {
 public:
  Server(net::EventLoop& loop, ServerContext& context, ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  /// Creates the data folders and starts listening. Throws support::Error
  /// when a port cannot be bound.
  void Start();
  /// Closes the listeners and every connection (partial uploads stay).
  void Stop();

  int Port() const { return port_; }
  int HttpPort() const { return http_port_; }
  /// Open folder connections, logged in or not.
  std::size_t ConnectionCount() const { return connections_.size(); }

 private:
  class Connection;
  class HttpConnection;

  void StartFolderListener();
  void StartHttpListener();
  void AcceptFolder(std::int32_t request_id);
  void AcceptHttp(std::int32_t request_id);
  void Retire(std::uint64_t id);
  void RetireHttp(std::uint64_t id);
  void Tick();
  /// A listener that failed (for instance out of descriptors while
  /// accepting) is opened again a moment later on the same port.
  void RestartListener(bool http);

  net::EventLoop& loop_;
  ServerContext& context_;
  ServerOptions options_;
  std::unique_ptr<net::SocketMaster> listener_;
  std::unique_ptr<net::SocketMaster> http_listener_;
  int port_ = 0;
  int http_port_ = 0;
  std::uint64_t next_id_ = 1;
  std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
  std::map<std::uint64_t, std::unique_ptr<HttpConnection>> http_connections_;
  net::TimerId tick_timer_ = net::kNoTimer;
  std::shared_ptr<bool> alive_;
};

}  // namespace server
