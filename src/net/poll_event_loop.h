#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_map>
#include <utility>

#include "net/event_loop.h"

namespace net {

/// The event loop of the command-line client, the server and the tests, over epoll.
/// One watch per descriptor. Each turn delivers ready descriptors, then due timers in
/// due order, then the calls posted so far.
class PollEventLoop : public EventLoop {
 public:
  PollEventLoop();
  ~PollEventLoop() override;
  PollEventLoop(const PollEventLoop&) = delete;
  PollEventLoop& operator=(const PollEventLoop&) = delete;

  WatchId Watch(int fd, Readiness interest, ReadyCallback callback) override;
  void SetInterest(WatchId id, Readiness interest) override;
  void Unwatch(WatchId id) override;
  TimerId StartTimer(std::chrono::milliseconds interval, TimerKind kind,
                     std::function<void()> callback) override;
  void StopTimer(TimerId id) override;
  void Post(std::function<void()> fn) override;
  void Run() override;
  void Quit() override;

  /// Runs one turn: waits at most `max_wait` for something to deliver, then delivers
  /// what is ready. Answers whether any callback ran.
  bool RunOnce(std::chrono::milliseconds max_wait);
  /// Runs turns until `done()` holds or `timeout` has passed; answers `done()`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  /// Number of live watches and timers (for leak checks in tests).
  std::size_t WatchCount() const { return watches_.size(); }
  std::size_t TimerCount() const { return timers_.size(); }

 private:
  using Clock = std::chrono::steady_clock;
  struct WatchEntry {
    int fd;
    Readiness interest;
    ReadyCallback callback;
  };
  struct TimerEntry {
    std::chrono::milliseconds interval;
    TimerKind kind;
    Clock::time_point due;
    std::shared_ptr<std::function<void()>> callback;
  };

  bool DeliverReadiness(int timeout_ms);
  bool DeliverTimers();
  bool DeliverPosted();
  int WaitMilliseconds(std::chrono::milliseconds max_wait) const;
  void Wake();

  int epoll_fd_ = -1;
  int wake_fd_ = -1;
  std::uint64_t next_id_ = 1;
  std::unordered_map<WatchId, std::shared_ptr<WatchEntry>> watches_;
  std::unordered_map<TimerId, TimerEntry> timers_;
  std::set<std::pair<Clock::time_point, TimerId>> schedule_;
  int run_depth_ = 0;
  bool quit_requested_ = false;

  mutable std::mutex post_mutex_;
  std::deque<std::function<void()>> posted_;
  bool wake_pending_ = false;
};

}  // namespace net
