#pragma once

#include <chrono>
#include <functional>

#include "net/event_loop.h"

namespace session {

/// A timer control: an interval, an enabled flag and a tick handler, on the
/// program's event loop. Enabling restarts the interval; disabling inside the
/// handler stops further ticks.
class LoopTimer {
 public:
  LoopTimer(net::EventLoop& loop, std::chrono::milliseconds interval, std::function<void()> tick);
  ~LoopTimer();
  LoopTimer(const LoopTimer&) = delete;
  LoopTimer& operator=(const LoopTimer&) = delete;

  void SetEnabled(bool enabled);
  bool Enabled() const { return id_ != net::kNoTimer; }
  /// Changes the interval; a running timer restarts with it.
  void SetInterval(std::chrono::milliseconds interval);
  std::chrono::milliseconds Interval() const { return interval_; }

 private:
  net::EventLoop& loop_;
  std::chrono::milliseconds interval_;
  std::function<void()> tick_;
  net::TimerId id_ = net::kNoTimer;
};

}  // namespace session
