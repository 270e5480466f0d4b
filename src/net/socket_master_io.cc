// SocketMaster: the send pump, the receive side, notification handling and events.

#include <algorithm>
#include <cstring>
#include <memory>

#include "net/dispatch.h"
#include "net/socket_api.h"
#include "net/socket_errors.h"
#include "net/socket_master.h"
#include "support/codepage.h"
#include "support/error.h"

namespace net {
namespace {

const char kWrongStateText[] =
    "Wrong protocol or connection state for the requested transaction or request";

std::string Source(const char* member) { return std::string("SocketMaster.") + member; }

[[noreturn]] void ThrowWrongState(const char* member) {
  throw support::Error(kErrWrongState, Source(member), kWrongStateText);
}

/// Calls a copy of the handler, so that a handler that destroys the object (and with
/// it the handler) still returns safely; answers whether the object survived.
template <typename Handler, typename... Args>
bool Raise(const std::shared_ptr<bool>& alive, const Handler& handler, Args... args) {
  if (!handler) return true;
  std::shared_ptr<bool> keep = alive;
  Handler copy = handler;
  copy(args...);
  return *keep;
}

}  // namespace

bool SocketMaster::RaiseCloseSck() { return Raise(alive_, OnCloseSck); }
bool SocketMaster::RaiseConnect() { return Raise(alive_, OnConnect); }
bool SocketMaster::RaiseConnectionRequest(std::int32_t id) {
  return Raise(alive_, OnConnectionRequest, id);
}
bool SocketMaster::RaiseDataArrival(std::int64_t total) {
  return Raise(alive_, OnDataArrival, total);
}
bool SocketMaster::RaiseSendComplete() { return Raise(alive_, OnSendComplete); }
bool SocketMaster::RaiseSendProgress(std::int64_t sent, std::int64_t remaining) {
  return Raise(alive_, OnSendProgress, sent, remaining);
}

bool SocketMaster::RaiseError(int number, const char* step) {
  state_ = SocketState::kFailed;
  SocketErrorEvent event;
  event.number = number;
  event.description = GetErrorDescription(number);
  event.source = Source(step);
  bool alive = true;
  if (OnError) {
    std::shared_ptr<bool> keep = alive_;
    auto handler = OnError;
    handler(event);
    alive = *keep;
  }
  if (!event.cancel_display) DisplayError(GetErrorDescription(number), event.source);
  return alive;
}

// ---- Sending -------------------------------------------------------------------

bool SocketMaster::PrepareSend() {
  if (protocol_ == SocketProtocol::kUdp) {
    if (!SocketExists()) return false;
    if (!BindInternal(std::nullopt, std::nullopt)) return false;
    state_ = SocketState::kOpen;
  } else if (state_ != SocketState::kConnected) {
    ThrowWrongState("SendData");
  }
  return true;
}

void SocketMaster::SendData(std::string_view bytes) {
  if (!PrepareSend() || bytes.empty()) return;
  if (!send_queue_.Empty()) {
    send_queue_.Append(bytes);  // waits for the next write notification
    return;
  }
  if (protocol_ == SocketProtocol::kUdp) {
    send_queue_.Append(bytes);  // into an empty queue: one piece, one datagram
    SendBufferedDataUdp();
  } else {
    SendBufferedData(bytes);
  }
}

void SocketMaster::SendBuffer(std::string bytes) {
  if (protocol_ == SocketProtocol::kUdp) {
    SendData(bytes);
    return;
  }
  if (!PrepareSend() || bytes.empty()) return;
  if (!send_queue_.Empty()) {
    send_queue_.Append(std::move(bytes), 0);
    return;
  }
  SendBufferedData(bytes, &bytes);
}

void SocketMaster::SendText(std::string_view text) { SendData(support::Utf8ToCp1253(text)); }

void SocketMaster::SendBufferedData(std::string_view direct, std::string* owner) {
  // Queues what is left of `direct`, taking the caller's buffer over when there is one.
  auto keep_rest = [&] {
    if (direct.empty()) return;
    if (owner) {
      send_queue_.Append(std::move(*owner),
                         static_cast<std::size_t>(direct.data() - owner->data()));
    } else {
      send_queue_.Append(direct);
    }
  };
  const int fd = socket_;
  const std::size_t chunk = send_chunk_ > 0 ? static_cast<std::size_t>(send_chunk_) : 8192;
  std::int64_t count = 0;
  int error = 0;
  while (socket_ == fd && state_ == SocketState::kConnected && error == 0 &&
         (!direct.empty() || !send_queue_.Empty())) {
    const std::string_view piece = direct.empty() ? send_queue_.Front() : direct;
    const std::size_t whole = direct.empty() ? send_queue_.Size() : direct.size();
    const std::size_t size = std::min(piece.size(), chunk);
    std::size_t sent = 0;
    error = sys::Send(fd, piece.data(), size, &sent);
    if (error == 0) {
      count += static_cast<std::int64_t>(sent);
      if (sent == whole) {
        if (direct.empty()) {
          send_queue_.Consume(sent);
        } else {
          direct = {};
        }
        if (!RaiseSendProgress(count, 0)) return;
        count = 0;
        if (!RaiseSendComplete()) return;
      } else if (direct.empty()) {
        send_queue_.Consume(sent);
      } else {
        direct.remove_prefix(sent);
      }
    } else if (error == kWsaWouldBlock) {
      // The rest waits for the next write notification.
      keep_rest();
      dispatch::Reenable(fd, kFdWrite);
      if (count > 0) RaiseSendProgress(count, static_cast<std::int64_t>(send_queue_.Size()));
      return;
    } else {
      keep_rest();
      RaiseError(error, "SendBufferedData");
      return;
    }
  }
}

void SocketMaster::SendBufferedDataUdp() {
  std::uint32_t address = 0;
  if (const int error = sys::ResolveNow(remote_host_, &address); error != 0) {
    send_queue_.Clear();
    if (error == kWsaAddressFamily) {
      throw support::Error(error, Source("SendBufferedDataUDP"), GetErrorDescription(error));
    }
    throw support::Error(kErrBadArgument, Source("SendBufferedDataUDP"), "Invalid argument");
  }
  const std::string_view datagram = send_queue_.Front();
  std::size_t sent = 0;
  const int error =
      sys::SendTo(socket_, datagram.data(), datagram.size(),
                  sys::Endpoint{address, static_cast<std::uint16_t>(remote_port_)}, &sent);
  send_queue_.Clear();
  if (error != 0) RaiseError(error, "SendBufferedDataUDP");
}

// ---- Receiving -----------------------------------------------------------------

std::int64_t SocketMaster::BytesReceived() const {
  if (protocol_ == SocketProtocol::kTcp) return static_cast<std::int64_t>(receive_queue_.Size());
  int size = 0;
  if (socket_ == -1 || sys::PendingSize(socket_, &size) != 0) return 0;
  return size;
}

void SocketMaster::GetData(std::string& data, std::optional<std::int64_t> max_len) {
  if (protocol_ == SocketProtocol::kTcp) {
    if (state_ != SocketState::kConnected && !accept_class_) ThrowWrongState("GetData");
  } else if (state_ != SocketState::kOpen) {
    ThrowWrongState("GetData");
  }
  ReadData(data, max_len, /*peek=*/false, "GetData");
}

void SocketMaster::PeekData(std::string& data, std::optional<std::int64_t> max_len) {
  if (protocol_ == SocketProtocol::kTcp) {
    if (state_ != SocketState::kConnected) ThrowWrongState("PeekData");
  } else if (state_ != SocketState::kOpen) {
    ThrowWrongState("PeekData");
  }
  ReadData(data, max_len, /*peek=*/true, "PeekData");
}

void SocketMaster::GetText(std::string& text, std::optional<std::int64_t> max_len) {
  std::string bytes;
  GetData(bytes, max_len);
  text = support::Cp1253ToUtf8(bytes);
}

void SocketMaster::PeekText(std::string& text, std::optional<std::int64_t> max_len) {
  std::string bytes;
  PeekData(bytes, max_len);
  text = support::Cp1253ToUtf8(bytes);
}

bool SocketMaster::ReadValue(void* out, std::size_t size, bool peek) {
  const char* member = peek ? "PeekData" : "GetData";
  if (protocol_ == SocketProtocol::kTcp) {
    if (state_ != SocketState::kConnected && (peek || !accept_class_)) ThrowWrongState(member);
  } else if (state_ != SocketState::kOpen) {
    ThrowWrongState(member);
  }
  if (BytesReceived() < static_cast<std::int64_t>(size)) return false;
  std::string bytes;
  ReadData(bytes, static_cast<std::int64_t>(size), peek, member);
  if (bytes.size() != size) return false;
  std::memcpy(out, bytes.data(), size);
  return true;
}

std::string_view SocketMaster::ReceivedView() const {
  if (protocol_ != SocketProtocol::kTcp || state_ != SocketState::kConnected) {
    ThrowWrongState("PeekData");
  }
  return receive_queue_.View();
}

void SocketMaster::Discard(std::int64_t n) {
  if (protocol_ != SocketProtocol::kTcp || (state_ != SocketState::kConnected && !accept_class_)) {
    ThrowWrongState("GetData");
  }
  if (n < 0) {
    throw support::Error(kErrBadArgument, Source("GetData"),
                         "The argument passed to a function was not in the correct format or in "
                         "the specified range.");
  }
  receive_queue_.Consume(static_cast<std::size_t>(n));
}

void SocketMaster::ReadData(std::string& data, std::optional<std::int64_t> max_len, bool peek,
                            const char* member) {
  const bool udp = protocol_ == SocketProtocol::kUdp;
  std::int64_t available = 0;
  if (udp) {
    int size = 0;
    if (socket_ == -1 || sys::PendingSize(socket_, &size) != 0 || size == 0) return;
    available = size;
  } else {
    available = static_cast<std::int64_t>(receive_queue_.Size());
  }
  if (max_len && *max_len < 0) {
    throw support::Error(kErrBadArgument, Source(member),
                         "The argument passed to a function was not in the correct format or in "
                         "the specified range.");
  }
  const std::int64_t n = max_len ? std::min(*max_len, available) : available;
  if (!udp) {
    data.assign(receive_queue_.View().substr(0, static_cast<std::size_t>(n)));
    if (!peek) receive_queue_.Consume(static_cast<std::size_t>(n));
    return;
  }
  if (n == 0) {
    data.clear();
    DiscardDatagram();
    throw support::Error(kWsaMessageSize, Source("RecvData"), GetErrorDescription(kWsaMessageSize));
  }
  std::string buffer(static_cast<std::size_t>(n), '\0');
  std::size_t got = 0;
  sys::Endpoint from;
  const int error = sys::ReceiveFrom(socket_, buffer.data(), buffer.size(), peek, &got, &from);
  if (!peek) {
    dispatch::Reenable(socket_, kFdRead);
    ++datagrams_taken_;
  }
  if (error != 0) {
    throw support::Error(error, Source("RecvData"), GetErrorDescription(error));
  }
  buffer.resize(got);
  data = std::move(buffer);
  remote_port_ = from.port;
  remote_host_ip_ = sys::FormatDotted(from.address);
  remote_host_.clear();
  if (n < available) {
    // The system cut the datagram short; its rest is gone (peeking keeps it).
    throw support::Error(kWsaMessageSize, Source("RecvData"), GetErrorDescription(kWsaMessageSize));
  }
}

void SocketMaster::RecvDataToBuffer() {
  const int fd = socket_;
  const std::size_t chunk = receive_chunk_ > 0 ? static_cast<std::size_t>(receive_chunk_) : 8192;
  char* tail = receive_queue_.PrepareTail(chunk);
  std::size_t got = 0;
  const int error = sys::Receive(fd, tail, chunk, /*peek=*/false, &got);
  dispatch::Reenable(fd, kFdRead);
  if (error == kWsaWouldBlock) return;
  if (error != 0) {
    RaiseError(error, "RecvDataToBuffer");
    return;
  }
  if (got == 0) return;  // the end of stream comes as a close notification
  receive_queue_.Commit(got);
  RaiseDataArrival(static_cast<std::int64_t>(receive_queue_.Size()));
}

void SocketMaster::DiscardDatagram() {
  char byte;
  std::size_t got = 0;
  sys::Receive(socket_, &byte, 1, /*peek=*/false, &got);
  dispatch::Reenable(socket_, kFdRead);
}

// ---- Notifications -------------------------------------------------------------

void SocketMaster::PostSocket(int event, int error) {
  if (error != 0) {
    RaiseError(error, "PostSocket");
    return;
  }
  switch (event) {
    case kFdRead:
      if (protocol_ == SocketProtocol::kTcp) {
        if (state_ == SocketState::kConnected) RecvDataToBuffer();
      } else if (state_ == SocketState::kOpen) {
        int size = 0;
        const int fd = socket_;
        const std::uint64_t taken = datagrams_taken_;
        if (sys::PendingSize(fd, &size) == 0 && size > 0 && !RaiseDataArrival(size)) return;
        // Drop the datagram only if the handler did not read it: a datagram that came
        // behind it has not been reported yet and must not be lost.
        if (socket_ == fd && datagrams_taken_ == taken) {
          DiscardDatagram();
        } else if (socket_ == fd) {
          dispatch::Reenable(fd, kFdRead);
        }
      }
      return;
    case kFdWrite:
      if (state_ == SocketState::kConnected && !send_queue_.Empty()) SendBufferedData();
      return;
    case kFdAccept:
      if (state_ == SocketState::kListening) AcceptIncoming();
      return;
    case kFdConnect:
      if (state_ != SocketState::kConnecting) return;
      ReadLocalEndpoint();
      ReadPeerEndpoint();
      state_ = SocketState::kConnected;
      RaiseConnect();
      return;
    case kFdClose:
      if (state_ != SocketState::kConnected) return;
      state_ = SocketState::kClosing;
      RaiseCloseSck();
      return;
    default:
      return;
  }
}

void SocketMaster::AcceptIncoming() {
  int fd = -1;
  sys::Endpoint peer;
  const int error = sys::Accept(socket_, &fd, &peer);
  dispatch::Reenable(socket_, kFdAccept);
  if (error == kWsaWouldBlock) return;  // the caller gave up before we came
  if (error != 0) {
    RaiseError(error, "PostSocket");
    return;
  }
  try {
    dispatch::RegisterAccept(fd);
  } catch (const support::Error&) {
    sys::CloseSocket(fd);
    return;
  }
  const std::int32_t saved_port = remote_port_;
  const std::string saved_ip = remote_host_ip_;
  const std::string saved_host = remote_host_;
  remote_port_ = peer.port;
  remote_host_ip_ = sys::FormatDotted(peer.address);
  remote_host_.clear();
  const bool alive = RaiseConnectionRequest(fd);
  // A connection nobody accepted is closed and forgotten.
  if (SocketMaster* parked = dispatch::GetAcceptSocket(fd)) {
    parked->CloseSck();
    dispatch::UnregisterAccept(fd);
  }
  if (!alive) return;
  remote_port_ = saved_port;
  remote_host_ip_ = saved_ip;
  remote_host_ = saved_host;
}

}  // namespace net
