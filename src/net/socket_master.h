#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "net/byte_queue.h"
#include "net/send_queue.h"
#include "net/socket_notifier.h"

namespace net {

/// `SocketMaster.State`; the numbers are fixed because owners compare them.
enum class SocketState : int {
  kClosed = 0,
  kOpen = 1,  ///< UDP socket bound
  kListening = 2,
  kResolvingHost = 4,
  kHostResolved = 5,
  kConnecting = 6,
  kConnected = 7,
  kClosing = 8,  ///< the peer closed, or inside CloseSck
  kFailed = 9,   ///< left only through CloseSck
};

enum class SocketProtocol : int { kTcp = 0, kUdp = 1 };

/// Arguments of the `Error` event. A handler may change `description` and clear
/// `cancel_display` to have the error's table text shown (see SetErrorDisplayHook).
struct SocketErrorEvent {
  std::int32_t number = 0;
  std::string description;
  std::int32_t scode = 0;
  std::string source;
  std::string help_file;
  std::int32_t help_context = 0;
  bool cancel_display = true;
};

/// The program's non-blocking IPv4 socket (TCP, or UDP as a side feature) with its own
/// send and receive queues. Everything that happens on the network arrives as an event
/// on the loop thread; handlers may call back into the object (send inside
/// `OnSendComplete`, read inside `OnDataArrival`, `CloseSck` or destroy it inside any
/// event).
///
/// Synchronous failures throw support::Error with source "SocketMaster.<member>":
/// 40006 wrong state for a transfer, 40014 argument out of range or unresolvable
/// address, 40020 member not allowed in the current state, 7 out of memory, or a
/// socket error number (10048, 10049, ...) with its table text. Asynchronous failures
/// set `State` to `kFailed` and raise `OnError`; the socket is never closed on its
/// own, the owner calls `CloseSck`.
///
/// Bytes are bytes: `SendData`/`GetData`/`PeekData` carry raw bytes, the `...Text`
/// members convert between UTF-8 and the Greek code page (Windows-1253).
///
/// Needs the loop set with `SetEventLoop` (net/dispatch.h); the constructor throws
/// support::Error 10093 without one.
class SocketMaster {
 public:
  SocketMaster();
  ~SocketMaster();
  SocketMaster(const SocketMaster&) = delete;
  SocketMaster& operator=(const SocketMaster&) = delete;

  // Events, in their order of declaration. Unset handlers ignore the event.
  /// The peer closed a connected socket; the owner still calls `CloseSck`.
  std::function<void()> OnCloseSck;
  /// A connection attempt completed.
  std::function<void()> OnConnect;
  /// A listening socket has a new connection; `Accept(request_id)` takes it, else it
  /// is closed when the handler returns.
  std::function<void(std::int32_t request_id)> OnConnectionRequest;
  /// TCP: bytes were added to the receive queue; `bytes_total` is the whole queue.
  /// UDP: size of the waiting datagram, which is lost unless read in the handler.
  std::function<void(std::int64_t bytes_total)> OnDataArrival;
  /// An asynchronous failure.
  std::function<void(SocketErrorEvent& event)> OnError;
  /// The send queue became empty (the system took the bytes).
  std::function<void()> OnSendComplete;
  /// Part of the send queue was taken by the system.
  std::function<void(std::int64_t bytes_sent, std::int64_t bytes_remaining)> OnSendProgress;

  // Properties.
  const std::string& RemoteHost() const { return remote_host_; }
  /// TCP: only while `Closed` (40020).
  void SetRemoteHost(std::string host);
  std::int32_t RemotePort() const { return remote_port_; }
  /// TCP: only while `Closed` (40020); 0..65535 (40014).
  void SetRemotePort(std::int32_t port);
  /// Dotted peer address once connected; empty before and after `CloseSck`.
  const std::string& RemoteHostIP() const { return remote_host_ip_; }
  /// The bound port if known, else the requested one.
  std::int32_t LocalPort() const;
  /// Only while `Closed` (40020); 0..65535 (40014).
  void SetLocalPort(std::int32_t port);
  /// The chosen address, else the connection's local address while connected, else
  /// the first address of the host name.
  std::string LocalIP() const;
  /// Only while `Closed` (40020); the address `Listen` binds to.
  void SetLocalIP(std::string address);
  std::string LocalHostName() const;
  SocketState State() const { return state_; }
  /// TCP: receive-queue length. UDP: size of the next datagram (0 if none).
  std::int64_t BytesReceived() const;
  std::int32_t SocketHandle() const { return socket_; }
  const std::string& Tag() const { return tag_; }
  void SetTag(std::string tag) { tag_ = std::move(tag); }
  SocketProtocol Protocol() const { return protocol_; }
  /// Only while `Closed` (40020).
  void SetProtocol(SocketProtocol protocol);

  // Methods.
  /// Starts an outgoing connection (TCP) or binds (UDP). A given host replaces the
  /// stored one; a given port must be 1..65535 (40014). Only while `Closed` (40020).
  void Connect(std::optional<std::string> remote_host = std::nullopt,
               std::optional<std::int32_t> remote_port = std::nullopt);
  /// Closes and resets; keeps `RemoteHost`, `RemotePort` and the requested local
  /// port. Raises no event. Without a socket handle nothing changes.
  void CloseSck();
  /// Queues bytes and starts sending. TCP: only while `Connected` (40006). UDP: one
  /// datagram to `RemoteHost`:`RemotePort`.
  void SendData(std::string_view bytes);
  /// `SendData` that takes the caller's buffer over: what the system does not take at
  /// once is queued without being copied. For large chunks of file data.
  void SendBuffer(std::string bytes);
  /// `SendData` of UTF-8 text converted to the Greek code page.
  void SendText(std::string_view text);
  /// Takes up to `max_len` (all without it) received bytes into `data`, replacing its
  /// contents. TCP: only while `Connected`, or on a parked connection (40006). UDP:
  /// only while `Open` (40006); with no datagram waiting `data` is left alone.
  void GetData(std::string& data, std::optional<std::int64_t> max_len = std::nullopt);
  /// Like `GetData` but leaves the bytes queued.
  void PeekData(std::string& data, std::optional<std::int64_t> max_len = std::nullopt);
  /// `GetData`/`PeekData` converted from the Greek code page to UTF-8.
  void GetText(std::string& text, std::optional<std::int64_t> max_len = std::nullopt);
  void PeekText(std::string& text, std::optional<std::int64_t> max_len = std::nullopt);
  /// Sends a number as its little-endian in-memory bytes (1, 2, 4 or 8 of them), the
  /// way a fixed-size value travels.
  template <typename T>
  void SendValue(T value) {
    static_assert(IsFixedValue<T>(), "a 1-, 2-, 4- or 8-byte number");
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    SendData(std::string_view(bytes, sizeof(T)));
  }
  /// Takes exactly sizeof(T) bytes and rebuilds the number; with fewer bytes waiting
  /// nothing is taken, `value` is left alone and the answer is false. Same state rules
  /// as `GetData`/`PeekData`.
  template <typename T>
  bool GetValue(T& value) {
    return ReadValue(&value, sizeof(T), /*peek=*/false);
  }
  template <typename T>
  bool PeekValue(T& value) {
    return ReadValue(&value, sizeof(T), /*peek=*/true);
  }
  /// TCP fast path: the received bytes without copying; valid until the next call
  /// that changes the queue. Same state rule as `PeekData`.
  std::string_view ReceivedView() const;
  /// TCP fast path: drops the first `n` received bytes. Same state rule as `GetData`.
  void Discard(std::int64_t n);
  /// Binds without connecting; only while `Closed` (40020); then `Open`.
  void Bind(std::optional<std::int32_t> local_port = std::nullopt,
            std::optional<std::string> local_ip = std::nullopt);
  /// Listens on the chosen local address (or any), with a backlog of 5 unless
  /// told otherwise (a server taking many clients at once wants more); only
  /// while `Closed` or `Open` (40020).
  void Listen(std::int32_t backlog = 5);
  /// Takes over the connection `request_id` offered by `OnConnectionRequest`; only
  /// while `Closed` (40020); 40006 when another object owns the handle.
  void Accept(std::int32_t request_id);

  // Entry points of the dispatch (net/dispatch.h).
  /// One socket notification (NetEvent) with its error number.
  void PostSocket(int event, int error);
  /// A finished host look-up; `address` in network byte order.
  void HostLookupDone(std::int32_t handle, int error, std::uint32_t address);

  /// Whether this object parks an accepted connection for the dispatch.
  bool IsAcceptClass() const { return accept_class_; }

 private:
  bool SocketExists();
  bool BindInternal(std::optional<std::int32_t> port, std::optional<std::string> address);
  void ResolveIfHostname(const std::string& host);
  void ConnectToIP(std::uint32_t address, int error_code, bool has_caller);
  /// The send pump. `direct` holds bytes of the running `SendData` that stand for the
  /// whole queue (the queue is empty then); they are sent without being copied into
  /// the queue first, and only what the system refuses is queued: copied, or taken
  /// over from `owner` when `direct` lies in that buffer.
  void SendBufferedData(std::string_view direct = {}, std::string* owner = nullptr);
  /// The checks and UDP set-up of SendData; answers whether bytes may be queued.
  bool PrepareSend();
  void SendBufferedDataUdp();
  void RecvDataToBuffer();
  void DiscardDatagram();
  void AcceptIncoming();
  void TakeParked(SocketMaster& parked);
  void ProcessOptions();
  void DestroySocket();
  void CancelLookups();
  void ReadLocalEndpoint();
  void ReadPeerEndpoint();
  void ReadData(std::string& data, std::optional<std::int64_t> max_len, bool peek,
                const char* member);
  void CheckClosed(const char* member) const;
  bool ReadValue(void* out, std::size_t size, bool peek);
  template <typename T>
  static constexpr bool IsFixedValue() {
    return std::is_arithmetic_v<T> && !std::is_same_v<T, bool> &&
           (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
  }
  /// State `Failed` and `OnError` with the number's table text; answers whether the
  /// object still exists afterwards.
  bool RaiseError(int number, const char* step);

  // Raise an event; each answers whether the object still exists afterwards.
  bool RaiseCloseSck();
  bool RaiseConnect();
  bool RaiseConnectionRequest(std::int32_t request_id);
  bool RaiseDataArrival(std::int64_t bytes_total);
  bool RaiseSendComplete();
  bool RaiseSendProgress(std::int64_t sent, std::int64_t remaining);

  int socket_ = -1;
  SocketState state_ = SocketState::kClosed;
  std::string tag_;
  std::string remote_host_;
  std::int32_t remote_port_ = 0;
  std::string remote_host_ip_;
  std::int32_t requested_local_port_ = 0;
  std::int32_t bound_local_port_ = 0;
  std::string connected_local_ip_;
  std::string chosen_local_ip_;
  SocketProtocol protocol_ = SocketProtocol::kTcp;
  int send_chunk_ = 0;
  int receive_chunk_ = 0;
  SendQueue send_queue_;
  ByteQueue receive_queue_;
  bool accept_class_ = false;
  std::vector<std::int32_t> pending_lookups_;
  /// Datagrams taken by GetData; tells whether a DataArrival handler read its datagram.
  std::uint64_t datagrams_taken_ = 0;
  /// Shared with every event being raised, so a handler that destroys the object
  /// lets the raising code know it must not touch the object again.
  std::shared_ptr<bool> alive_;
};

}  // namespace net
