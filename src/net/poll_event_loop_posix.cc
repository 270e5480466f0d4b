#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/poll_event_loop.h"

namespace net {
namespace {

std::uint32_t EpollMask(Readiness interest) {
  std::uint32_t mask = 0;
  if (Has(interest, Readiness::kRead)) mask |= EPOLLIN | EPOLLRDHUP;
  if (Has(interest, Readiness::kWrite)) mask |= EPOLLOUT;
  return mask;
}

[[noreturn]] void ThrowSystem(const char* what) {
  throw std::runtime_error(std::string("PollEventLoop: ") + what + ": " + std::strerror(errno));
}

}  // namespace

PollEventLoop::PollEventLoop() {
  epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
  if (epoll_fd_ < 0) ThrowSystem("epoll_create1");
  wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) {
    close(epoll_fd_);
    ThrowSystem("eventfd");
  }
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = 0;  // id 0 is the wake-up descriptor
  if (epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &ev) != 0) {
    close(wake_fd_);
    close(epoll_fd_);
    ThrowSystem("epoll_ctl");
  }
}

PollEventLoop::~PollEventLoop() {
  close(wake_fd_);
  close(epoll_fd_);
}

WatchId PollEventLoop::Watch(int fd, Readiness interest, ReadyCallback callback) {
  const WatchId id = next_id_++;
  epoll_event ev{};
  ev.events = EpollMask(interest);
  ev.data.u64 = id;
  if (epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &ev) != 0) ThrowSystem("epoll_ctl(ADD)");
  watches_.emplace(id, std::make_shared<WatchEntry>(WatchEntry{fd, interest, std::move(callback)}));
  return id;
}

void PollEventLoop::SetInterest(WatchId id, Readiness interest) {
  auto it = watches_.find(id);
  if (it == watches_.end() || it->second->interest == interest) return;
  epoll_event ev{};
  ev.events = EpollMask(interest);
  ev.data.u64 = id;
  if (epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, it->second->fd, &ev) != 0) ThrowSystem("epoll_ctl(MOD)");
  it->second->interest = interest;
}

void PollEventLoop::Unwatch(WatchId id) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  // The descriptor may already be closed by a careless owner; the entry goes anyway.
  epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, it->second->fd, nullptr);
  watches_.erase(it);
}

TimerId PollEventLoop::StartTimer(std::chrono::milliseconds interval, TimerKind kind,
                                  std::function<void()> callback) {
  if (interval.count() < 0) interval = std::chrono::milliseconds(0);
  const TimerId id = next_id_++;
  const auto due = Clock::now() + interval;
  timers_.emplace(id, TimerEntry{interval, kind, due,
                                 std::make_shared<std::function<void()>>(std::move(callback))});
  schedule_.emplace(due, id);
  return id;
}

void PollEventLoop::StopTimer(TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  schedule_.erase({it->second.due, id});
  timers_.erase(it);
}

void PollEventLoop::Post(std::function<void()> fn) {
  bool wake = false;
  {
    std::lock_guard lock(post_mutex_);
    posted_.push_back(std::move(fn));
    if (!wake_pending_) {
      wake_pending_ = true;
      wake = true;
    }
  }
  if (wake) Wake();
}

void PollEventLoop::Wake() {
  const std::uint64_t one = 1;
  // A full counter already means "wake up"; nothing else can fail here.
  [[maybe_unused]] ssize_t n = write(wake_fd_, &one, sizeof one);
}

void PollEventLoop::Run() {
  ++run_depth_;
  while (!quit_requested_) RunOnce(std::chrono::milliseconds(-1));
  quit_requested_ = false;
  --run_depth_;
}

void PollEventLoop::Quit() {
  if (run_depth_ > 0) quit_requested_ = true;
}

int PollEventLoop::WaitMilliseconds(std::chrono::milliseconds max_wait) const {
  {
    std::lock_guard lock(post_mutex_);
    if (!posted_.empty()) return 0;
  }
  long long wait = max_wait.count();  // negative: no limit
  if (!schedule_.empty()) {
    const auto until = schedule_.begin()->first - Clock::now();
    // Round up so that a timer is never woken for a little too early.
    long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(until).count();
    if (std::chrono::milliseconds(ms) < until) ++ms;
    if (ms < 0) ms = 0;
    if (wait < 0 || ms < wait) wait = ms;
  }
  if (wait > 1000 * 60 * 60) wait = 1000 * 60 * 60;
  return static_cast<int>(wait);
}

bool PollEventLoop::RunOnce(std::chrono::milliseconds max_wait) {
  bool any = DeliverReadiness(WaitMilliseconds(max_wait));
  if (quit_requested_) return any;
  any = DeliverTimers() || any;
  if (quit_requested_) return any;
  any = DeliverPosted() || any;
  return any;
}

bool PollEventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return done();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left);
    if (ms < left) ms += std::chrono::milliseconds(1);
    RunOnce(ms);
  }
  return true;
}

bool PollEventLoop::DeliverReadiness(int timeout_ms) {
  epoll_event events[64];
  int n = epoll_wait(epoll_fd_, events, 64, timeout_ms);
  if (n < 0) {
    if (errno == EINTR) return false;
    ThrowSystem("epoll_wait");
  }
  bool any = false;
  for (int i = 0; i < n; ++i) {
    const WatchId id = events[i].data.u64;
    if (id == 0) {
      std::uint64_t count;
      [[maybe_unused]] ssize_t r = read(wake_fd_, &count, sizeof count);
      continue;
    }
    auto it = watches_.find(id);
    if (it == watches_.end()) continue;  // removed by an earlier callback of this turn
    std::shared_ptr<WatchEntry> watch = it->second;
    const std::uint32_t e = events[i].events;
    Readiness ready = Readiness::kNone;
    if (e & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) ready = ready | Readiness::kRead;
    if (e & (EPOLLOUT | EPOLLHUP | EPOLLERR)) ready = ready | Readiness::kWrite;
    ready = ready & watch->interest;
    if (ready == Readiness::kNone) continue;
    if (Has(ready, Readiness::kRead) && !(e & (EPOLLRDHUP | EPOLLHUP | EPOLLERR))) {
      ready = ready | Readiness::kDataOnly;
    }
    any = true;
    watch->callback(ready);
    if (quit_requested_) break;  // the rest is level-triggered and comes again
  }
  return any;
}

bool PollEventLoop::DeliverTimers() {
  const auto now = Clock::now();
  std::vector<TimerId> due;
  for (const auto& [when, id] : schedule_) {
    if (when > now) break;
    due.push_back(id);
  }
  bool any = false;
  for (TimerId id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // stopped by an earlier callback
    std::shared_ptr<std::function<void()>> callback = it->second.callback;
    schedule_.erase({it->second.due, id});
    if (it->second.kind == TimerKind::kOneShot) {
      timers_.erase(it);
    } else {
      it->second.due = Clock::now() + it->second.interval;
      schedule_.emplace(it->second.due, id);
    }
    any = true;
    (*callback)();
    if (quit_requested_) break;
  }
  return any;
}

bool PollEventLoop::DeliverPosted() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(post_mutex_);
    batch.swap(posted_);
    wake_pending_ = false;
  }
  bool any = !batch.empty();
  while (!batch.empty()) {
    std::function<void()> fn = std::move(batch.front());
    batch.pop_front();
    fn();
    if (quit_requested_ && !batch.empty()) {
      std::lock_guard lock(post_mutex_);
      for (auto it = batch.rbegin(); it != batch.rend(); ++it) posted_.push_front(std::move(*it));
      break;
    }
  }
  return any;
}

}  // namespace net
