#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "net/event_loop.h"

class QObject;
class QEventLoop;

namespace ui {

/// The event loop of the GUI program: `net::EventLoop` over Qt's own loop, so that
/// socket readiness, session timers and posted calls arrive between window events on
/// the one thread, and a modal dialog's loop keeps delivering them.
///
/// A watch is a read and a write `QSocketNotifier`, enabled as the interest asks;
/// each activation asks the descriptor what holds now, so readiness that an earlier
/// callback consumed is not reported, and a hang-up or error reads as kRead and kWrite.
/// A timer is a precise `QTimer`. Posted calls wait in a queue of their own that one
/// queued call drains in order.
///
/// Make it on the thread of a `QCoreApplication` (or `QApplication`), after the
/// application. It may be destroyed with live watches and timers, but not from inside
/// one of its own callbacks.
class QtEventLoop : public net::EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;
  QtEventLoop(const QtEventLoop&) = delete;
  QtEventLoop& operator=(const QtEventLoop&) = delete;

  /// One watch per descriptor. Throws std::runtime_error if `fd` is not open.
  net::WatchId Watch(int fd, net::Readiness interest, ReadyCallback callback) override;
  void SetInterest(net::WatchId id, net::Readiness interest) override;
  void Unwatch(net::WatchId id) override;
  net::TimerId StartTimer(std::chrono::milliseconds interval, net::TimerKind kind,
                          std::function<void()> callback) override;
  void StopTimer(net::TimerId id) override;
  void Post(std::function<void()> fn) override;
  /// Runs a nested `QEventLoop` until `Quit`.
  void Run() override;
  /// Once the current callback has finished, nothing more is delivered by the innermost
  /// run's own loop (held back, it comes in the run that goes on); a modal loop opened
  /// by a callback of that run keeps delivering until it closes and the run returns.
  void Quit() override;

 private:
  struct WatchEntry;
  struct TimerEntry;
  struct RunFrame {
    QEventLoop* loop;
    int depth;  ///< callbacks under way when the run started
    bool quit;
  };
  class Delivery;

  void OnNotifier(net::WatchId id, bool write_side);
  void OnTimer(net::TimerId id);
  void DeliverPosted();
  /// Whether the innermost `Run` was asked to quit and this activation comes from its
  /// own loop (not from a modal loop opened by one of our callbacks): nothing more is
  /// delivered then until that run has returned.
  bool Quitting(int outer_depth) const;
  /// Frees a notifier or timer now, or, while a callback is under way (its owner may
  /// be emitting), at the start of the next outermost delivery.
  void Retire(std::unique_ptr<QObject> object);

  std::unique_ptr<QObject> context_;  ///< receiver of the queued call that drains posts
  std::uint64_t next_id_ = 1;
  std::unordered_map<net::WatchId, std::unique_ptr<WatchEntry>> watches_;
  std::unordered_map<net::TimerId, std::unique_ptr<TimerEntry>> timers_;
  std::vector<RunFrame> runs_;
  int depth_ = 0;  ///< callbacks of this loop under way
  std::vector<std::unique_ptr<QObject>> retired_;

  std::mutex post_mutex_;
  std::deque<std::function<void()>> posted_;
  bool wake_pending_ = false;
};

}  // namespace ui
