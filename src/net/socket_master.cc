// SocketMaster: life cycle, properties, connecting, listening, accepting and closing.
// The send and receive paths and the notification handling are in socket_master_io.cc.

#include "net/socket_master.h"

#include <algorithm>

#include "net/dispatch.h"
#include "net/socket_api.h"
#include "net/socket_errors.h"
#include "support/error.h"

namespace net {
namespace {

const char kRangeText[] =
    "The argument passed to a function was not in the correct format or in the specified range.";

std::string Source(const char* member) { return std::string("SocketMaster.") + member; }

[[noreturn]] void ThrowState(const char* member) {
  throw support::Error(kErrInvalidState, Source(member), "Invalid operation at current state");
}

[[noreturn]] void ThrowRange(const char* member) {
  throw support::Error(kErrBadArgument, Source(member), kRangeText);
}

[[noreturn]] void ThrowSocketError(int number, const char* member) {
  throw support::Error(number, Source(member), GetErrorDescription(number));
}

void CheckPort(std::int32_t port, const char* member) {
  if (port < 0 || port > 65535) ThrowRange(member);
}

}  // namespace

SocketMaster::SocketMaster() : alive_(std::make_shared<bool>(true)) {
  dispatch::InitiateProcesses();
}

SocketMaster::~SocketMaster() {
  *alive_ = false;
  CancelLookups();
  if (!accept_class_) {
    try {
      DestroySocket();
    } catch (const support::Error&) {
      // The handle is gone either way; a destructor has nobody to tell.
    }
  }
  dispatch::FinalizeProcesses();
}

void SocketMaster::CheckClosed(const char* member) const {
  if (state_ != SocketState::kClosed) ThrowState(member);
}

void SocketMaster::SetRemoteHost(std::string host) {
  if (protocol_ == SocketProtocol::kTcp) CheckClosed("RemoteHost");
  remote_host_ = std::move(host);
}

void SocketMaster::SetRemotePort(std::int32_t port) {
  if (protocol_ == SocketProtocol::kTcp) CheckClosed("RemotePort");
  CheckPort(port, "RemotePort");
  remote_port_ = port;
}

std::int32_t SocketMaster::LocalPort() const {
  return bound_local_port_ != 0 ? bound_local_port_ : requested_local_port_;
}

void SocketMaster::SetLocalPort(std::int32_t port) {
  CheckClosed("LocalPort");
  CheckPort(port, "LocalPort");
  requested_local_port_ = port;
}

std::string SocketMaster::LocalIP() const {
  if (!chosen_local_ip_.empty()) return chosen_local_ip_;
  if (state_ == SocketState::kConnected) return connected_local_ip_;
  const std::string name = LocalHostName();
  std::uint32_t address = 0;
  if (const int error = sys::ResolveNow(name, &address); error != 0) {
    ThrowSocketError(error, "GetLocalIP");
  }
  return sys::FormatDotted(address);
}

void SocketMaster::SetLocalIP(std::string address) {
  CheckClosed("LocalIP");
  chosen_local_ip_ = std::move(address);
}

std::string SocketMaster::LocalHostName() const {
  std::string name;
  if (const int error = sys::HostName(&name); error != 0)
    ThrowSocketError(error, "GetLocalHostName");
  return name;
}

void SocketMaster::SetProtocol(SocketProtocol protocol) {
  CheckClosed("Protocol");
  protocol_ = protocol;
}

void SocketMaster::Connect(std::optional<std::string> remote_host,
                           std::optional<std::int32_t> remote_port) {
  CheckClosed("Connect");
  if (remote_host) remote_host_ = std::move(*remote_host);
  if (remote_port) {
    if (*remote_port < 1 || *remote_port > 65535) ThrowRange("Connect");
    remote_port_ = *remote_port;
  }
  if (!SocketExists()) return;
  if (!BindInternal(std::nullopt, std::string("0.0.0.0"))) return;
  if (protocol_ == SocketProtocol::kUdp) {
    state_ = SocketState::kOpen;
    return;
  }
  ResolveIfHostname(remote_host_);
}

void SocketMaster::ResolveIfHostname(const std::string& host) {
  std::uint32_t address = 0;
  if (sys::ParseDotted(host, &address)) {
    ConnectToIP(address, 0, /*has_caller=*/true);
    return;
  }
  state_ = SocketState::kResolvingHost;
  int error = 0;
  const std::int32_t handle = dispatch::StartHostLookup(host, this, &error);
  if (handle == 0) {
    RaiseError(error, "ResolveIfHostname");
    return;
  }
  pending_lookups_.push_back(handle);
}

void SocketMaster::HostLookupDone(std::int32_t handle, int error, std::uint32_t address) {
  pending_lookups_.erase(std::remove(pending_lookups_.begin(), pending_lookups_.end(), handle),
                         pending_lookups_.end());
  dispatch::UnregisterLookup(handle);
  if (state_ != SocketState::kResolvingHost) return;
  if (error != 0) {
    ConnectToIP(0, error, /*has_caller=*/false);
    return;
  }
  state_ = SocketState::kHostResolved;
  ConnectToIP(address, 0, /*has_caller=*/false);
}

void SocketMaster::ConnectToIP(std::uint32_t address, int error_code, bool has_caller) {
  if (error_code == 0) {
    state_ = SocketState::kConnecting;
    error_code =
        sys::Connect(socket_, sys::Endpoint{address, static_cast<std::uint16_t>(remote_port_)});
    if (error_code == 0 || error_code == kWsaWouldBlock) {
      // Completion (or failure) comes as a connect notification.
      dispatch::SetRole(socket_, SocketRole::kConnecting);
      return;
    }
    if (error_code == kWsaAddressNotAvailable && has_caller) {
      // No connect is under way; "Connecting" would never end.
      state_ = SocketState::kFailed;
      ThrowSocketError(error_code, "ConnectToIP");
    }
  }
  RaiseError(error_code, "ConnectToIP");
}

bool SocketMaster::SocketExists() {
  if (socket_ != -1) return true;
  int fd = -1;
  const sys::SocketKind kind =
      protocol_ == SocketProtocol::kTcp ? sys::SocketKind::kStream : sys::SocketKind::kDatagram;
  if (const int error = sys::CreateSocket(kind, &fd); error != 0) {
    RaiseError(error, "SocketExists");
    return false;
  }
  socket_ = fd;
  ProcessOptions();
  return dispatch::RegisterSocket(
      fd, this, protocol_ == SocketProtocol::kTcp ? SocketRole::kIdle : SocketRole::kDatagram);
}

void SocketMaster::ProcessOptions() {
  if (protocol_ == SocketProtocol::kTcp) {
    int receive = 0;
    int send = 0;
    if (const int error = sys::ReadBufferSizes(socket_, &receive, &send); error != 0) {
      ThrowSocketError(error, "ProcessOptions");
    }
    receive_chunk_ = receive;
    send_chunk_ = send;
  } else {
    if (const int error = sys::EnableBroadcast(socket_); error != 0) {
      ThrowSocketError(error, "ProcessOptions");
    }
    receive_chunk_ = send_chunk_ = sys::kMaxDatagramSize;
  }
}

bool SocketMaster::BindInternal(std::optional<std::int32_t> port,
                                std::optional<std::string> address) {
  if (state_ == SocketState::kOpen) return true;
  const std::int32_t local_port = port.value_or(requested_local_port_);
  CheckPort(local_port, "BindInternal");
  std::uint32_t local_address = 0;
  if (sys::ResolveNow(address.value_or("0.0.0.0"), &local_address) != 0) {
    throw support::Error(kErrBadArgument, Source("BindInternal"), "Invalid argument");
  }
  if (!SocketExists()) return false;
  const sys::Endpoint local{local_address, static_cast<std::uint16_t>(local_port)};
  if (const int error = sys::Bind(socket_, local); error != 0)
    ThrowSocketError(error, "BindInternal");
  if (local_port == 0) {
    sys::Endpoint bound;
    if (const int error = sys::LocalEndpoint(socket_, &bound); error != 0) {
      ThrowSocketError(error, "BindInternal");
    }
    bound_local_port_ = bound.port;
  } else {
    requested_local_port_ = local_port;
  }
  return true;
}

void SocketMaster::Bind(std::optional<std::int32_t> local_port,
                        std::optional<std::string> local_ip) {
  CheckClosed("Bind");
  if (local_port) CheckPort(*local_port, "Bind");
  if (BindInternal(local_port, std::move(local_ip))) state_ = SocketState::kOpen;
}

void SocketMaster::Listen(std::int32_t backlog) {
  if (state_ != SocketState::kClosed && state_ != SocketState::kOpen) ThrowState("Listen");
  if (!SocketExists()) return;
  const std::string address = chosen_local_ip_.empty() ? "0.0.0.0" : chosen_local_ip_;
  if (!BindInternal(std::nullopt, address)) return;
  if (const int error = sys::Listen(socket_, backlog); error != 0)
    ThrowSocketError(error, "Listen");
  dispatch::SetRole(socket_, SocketRole::kListening);
  state_ = SocketState::kListening;
}

void SocketMaster::Accept(std::int32_t request_id) {
  CheckClosed("Accept");
  protocol_ = SocketProtocol::kTcp;
  socket_ = request_id;
  try {
    ProcessOptions();
  } catch (...) {
    socket_ = -1;
    throw;
  }
  if (SocketMaster* parked = dispatch::GetAcceptSocket(request_id)) {
    TakeParked(*parked);
    return;
  }
  if (dispatch::IsSocketRegistered(request_id)) {
    socket_ = -1;
    send_chunk_ = receive_chunk_ = 0;
    throw support::Error(kErrWrongState, Source("Accept"),
                         "Wrong protocol or connection state for the requested transaction or "
                         "request");
  }
  // Nobody holds this connection yet: this object parks it for the dispatch.
  accept_class_ = true;
  ReadLocalEndpoint();
  ReadPeerEndpoint();
  state_ = SocketState::kConnected;
  dispatch::RegisterSocket(request_id, this, SocketRole::kConnected);
}

void SocketMaster::TakeParked(SocketMaster& parked) {
  const int fd = socket_;
  ReadLocalEndpoint();
  ReadPeerEndpoint();
  state_ = SocketState::kConnected;
  if (!parked.receive_queue_.Empty()) {
    std::string held;
    parked.GetData(held);
    receive_queue_.Append(held);
  }
  const bool peer_closed = parked.state_ == SocketState::kClosing;
  dispatch::ReassignSocketOwner(fd, this);
  dispatch::UnregisterAccept(fd);  // releases the parking object, not the handle
  if (!receive_queue_.Empty() &&
      !RaiseDataArrival(static_cast<std::int64_t>(receive_queue_.Size()))) {
    return;
  }
  if (peer_closed && socket_ == fd && state_ == SocketState::kConnected) {
    state_ = SocketState::kClosing;
    RaiseCloseSck();
  }
}

void SocketMaster::CloseSck() {
  if (socket_ == -1) return;
  state_ = SocketState::kClosing;
  CancelLookups();
  DestroySocket();
  bound_local_port_ = 0;
  remote_host_ip_.clear();
  connected_local_ip_.clear();
  receive_queue_.Clear();
  send_queue_.Clear();
  send_chunk_ = receive_chunk_ = 0;
  accept_class_ = false;
  state_ = SocketState::kClosed;
}

void SocketMaster::DestroySocket() {
  if (socket_ == -1) return;
  const int fd = socket_;
  socket_ = -1;
  dispatch::UnregisterSocket(fd);
  if (const int error = sys::CloseSocket(fd); error != 0) {
    state_ = SocketState::kFailed;
    ThrowSocketError(error, "DestroySocket");
  }
}

void SocketMaster::CancelLookups() {
  std::vector<std::int32_t> still_pending;
  for (std::int32_t handle : pending_lookups_) {
    if (dispatch::CancelHostLookup(handle)) {
      dispatch::UnregisterLookup(handle);
    } else {
      still_pending.push_back(handle);
    }
  }
  pending_lookups_ = std::move(still_pending);
}

void SocketMaster::ReadLocalEndpoint() {
  sys::Endpoint local;
  if (sys::LocalEndpoint(socket_, &local) == 0) {
    bound_local_port_ = local.port;
    connected_local_ip_ = sys::FormatDotted(local.address);
  } else {
    bound_local_port_ = 0;
    connected_local_ip_.clear();
  }
}

void SocketMaster::ReadPeerEndpoint() {
  sys::Endpoint peer;
  remote_host_.clear();
  if (sys::PeerEndpoint(socket_, &peer) == 0) {
    remote_port_ = peer.port;
    remote_host_ip_ = sys::FormatDotted(peer.address);
  } else {
    remote_port_ = 0;
    remote_host_ip_.clear();
  }
}

}  // namespace net
