#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace net {

/// Readiness a watch asks for and reports. Values combine as bits.
enum class Readiness : unsigned {
  kNone = 0,
  kRead = 1,   ///< data, an end of stream, a pending connection or an error can be read
  kWrite = 2,  ///< buffer space is free, or a connect attempt has finished
  /// Reported only together with kRead, by a loop that knows the peer has not closed
  /// its side and no error is pending: a readable stream socket then has data, and the
  /// socket layer skips its probe for an end of stream. A loop that cannot tell never
  /// sets it; it is never asked for in an interest.
  kDataOnly = 4,
};

constexpr Readiness operator|(Readiness a, Readiness b) {
  return static_cast<Readiness>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr Readiness operator&(Readiness a, Readiness b) {
  return static_cast<Readiness>(static_cast<unsigned>(a) & static_cast<unsigned>(b));
}
constexpr bool Has(Readiness set, Readiness bit) { return (set & bit) != Readiness::kNone; }

/// Whether a timer fires once or until it is stopped.
enum class TimerKind { kOneShot, kRepeating };

using WatchId = std::uint64_t;
using TimerId = std::uint64_t;
inline constexpr WatchId kNoWatch = 0;
inline constexpr TimerId kNoTimer = 0;

/// The program's single event loop: socket readiness, timers and posted calls are
/// delivered one at a time on the thread that runs the loop, each callback running to
/// completion before the next one starts.
///
/// Readiness is level-triggered: a watch keeps reporting while the condition holds and
/// the interest includes it. A callback may add, change or remove any watch or timer,
/// its own included; once `Unwatch` or `StopTimer` returns, that callback is never
/// called again, even if its readiness was already collected.
///
/// Only `Post` may be called from another thread. Every other member belongs to the
/// loop thread. An implementation over another toolkit's loop (socket notifiers, timers
/// and queued calls) provides exactly this contract.
class EventLoop {
 public:
  using ReadyCallback = std::function<void(Readiness ready)>;

  virtual ~EventLoop() = default;

  /// Watches `fd` for the readiness in `interest` (may be kNone to watch nothing yet).
  /// The callback receives the readiness that holds now, limited to the interest; an
  /// error or hang-up on the descriptor is reported as kRead (and kWrite if asked), so
  /// the owner finds the condition with its next call. Unwatch before closing `fd`.
  virtual WatchId Watch(int fd, Readiness interest, ReadyCallback callback) = 0;
  /// Changes the interest of a watch. Unknown ids are ignored.
  virtual void SetInterest(WatchId id, Readiness interest) = 0;
  /// Stops a watch. Unknown ids are ignored.
  virtual void Unwatch(WatchId id) = 0;

  /// Starts a timer on the monotonic clock. A repeating timer fires every `interval`
  /// (an interval of 0 fires on every loop turn); a late tick is not repeated to catch
  /// up. A one-shot timer is forgotten after it fired.
  virtual TimerId StartTimer(std::chrono::milliseconds interval, TimerKind kind,
                             std::function<void()> callback) = 0;
  /// Stops a timer. Unknown or finished ids are ignored.
  virtual void StopTimer(TimerId id) = 0;

  /// Queues `fn` to run on the loop thread after the calls posted before it. Safe
  /// from any thread; wakes a waiting loop.
  virtual void Post(std::function<void()> fn) = 0;

  /// Delivers events until `Quit`. Calls may nest (a modal step runs its own `Run`);
  /// `Quit` ends the innermost running `Run`.
  virtual void Run() = 0;
  /// Makes the innermost `Run` return once the current callback has finished.
  virtual void Quit() = 0;
};

}  // namespace net
