#pragma once

#include <functional>
#include <memory>

#include "net/event_loop.h"

namespace net {

/// Network events of a socket notification, as bits.
enum NetEvent : int {
  kFdRead = 1,
  kFdWrite = 2,
  kFdAccept = 8,
  kFdConnect = 16,
  kFdClose = 32,
};
/// Every event a socket asks for (out-of-band data is not asked for).
inline constexpr int kAllNetEvents = kFdRead | kFdWrite | kFdAccept | kFdConnect | kFdClose;

/// What a selected socket is doing, which decides how readiness reads as events.
enum class SocketRole {
  kIdle,        ///< stream socket not yet connecting or listening, or a failed connect
  kConnecting,  ///< a connect is under way
  kConnected,   ///< a stream connection (made or accepted)
  kListening,   ///< a listening socket
  kDatagram,    ///< a UDP socket
};

/// Turns level-triggered readiness from the event loop into the one-shot socket
/// notifications the socket object is written against:
///  - read (1) is reported once, and again only after the owner has received
///    (`Reenable(fd, kFdRead)`), so an owner that does not read is not woken again;
///  - write (2) is reported once when a connection is made and again only after a
///    send was refused for lack of buffer space;
///  - accept (8) once per `Reenable(fd, kFdAccept)` after an accept;
///  - connect (16) once, with the error of a failed attempt;
///  - close (32) once, after the data before it has been received; a connection the
///    peer reset reports close with error 10054.
/// Each notification goes to the sink as (fd, event, error) on the loop thread.
/// The sink may close and forget any socket, the notified one included.
class SocketNotifier {
 public:
  using Sink = std::function<void(int fd, int event, int error)>;

  SocketNotifier(EventLoop& loop, Sink sink);
  ~SocketNotifier();
  SocketNotifier(const SocketNotifier&) = delete;
  SocketNotifier& operator=(const SocketNotifier&) = delete;

  /// Starts notifications for `fd` with every event enabled. A socket already selected
  /// keeps its state.
  void Select(int fd, SocketRole role);
  /// Stops notifications for `fd`; call before closing it. Unknown sockets are ignored.
  void Forget(int fd);
  bool IsSelected(int fd) const;
  /// Changes what the socket is doing (connect started, listening).
  void SetRole(int fd, SocketRole role);
  /// Re-arms a one-shot event after the call that re-enables it.
  void Reenable(int fd, NetEvent event);

  struct Core;

 private:
  std::shared_ptr<Core> core_;
};

}  // namespace net
