#include "ui/qt_event_loop.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <climits>
#include <stdexcept>
#include <string>
#include <utility>

#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

namespace ui {

using net::Has;
using net::Readiness;

struct QtEventLoop::WatchEntry {
  int fd;
  Readiness interest;
  /// Shared with a delivery under way, so that the callback outlives its own Unwatch.
  std::shared_ptr<ReadyCallback> callback;
  std::unique_ptr<QSocketNotifier> read;
  std::unique_ptr<QSocketNotifier> write;
};

struct QtEventLoop::TimerEntry {
  std::chrono::milliseconds interval;
  net::TimerKind kind;
  std::shared_ptr<std::function<void()>> callback;
  std::unique_ptr<QTimer> timer;
  /// A tick held back while a run was quitting; it comes at the next turn, and a
  /// repeating timer then goes back to its interval.
  bool held_back = false;
};

/// Counts a callback of this loop as under way for the lifetime of the object.
class QtEventLoop::Delivery {
 public:
  explicit Delivery(QtEventLoop& loop) : loop_(loop) {
    if (loop_.depth_ == 0 && !loop_.retired_.empty()) {
      // Nothing of ours is emitting now, so what was let go can be freed.
      std::vector<std::unique_ptr<QObject>> dead;
      dead.swap(loop_.retired_);
    }
    outer_depth_ = loop_.depth_++;
  }
  ~Delivery() { --loop_.depth_; }
  Delivery(const Delivery&) = delete;
  Delivery& operator=(const Delivery&) = delete;

  /// Callbacks that were under way when this activation arrived.
  int OuterDepth() const { return outer_depth_; }

 private:
  QtEventLoop& loop_;
  int outer_depth_ = 0;
};

namespace {

/// What holds now on `fd` for the side whose notifier fired, limited to `interest`.
/// A hang-up or error counts for both sides; data without any end of stream or error
/// pending is marked kDataOnly.
Readiness Probe(int fd, Readiness interest, bool write_side) {
  pollfd p{fd, 0, 0};
  if (Has(interest, Readiness::kRead)) p.events |= POLLIN | POLLRDHUP;
  if (Has(interest, Readiness::kWrite)) p.events |= POLLOUT;
  if (p.events == 0) return Readiness::kNone;
  int n;
  do {
    n = poll(&p, 1, 0);
  } while (n < 0 && errno == EINTR);
  if (n <= 0 || (p.revents & POLLNVAL)) return Readiness::kNone;
  const bool trouble = (p.revents & (POLLHUP | POLLERR)) != 0;
  Readiness ready = Readiness::kNone;
  if (trouble) {
    ready = Readiness::kRead | Readiness::kWrite;
  } else if (write_side) {
    if (p.revents & POLLOUT) ready = Readiness::kWrite;
  } else if (p.revents & (POLLIN | POLLRDHUP)) {
    ready = Readiness::kRead;
  }
  ready = ready & interest;
  if (Has(ready, Readiness::kRead) && !(p.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
    ready = ready | Readiness::kDataOnly;
  }
  return ready;
}

void ApplyInterest(QSocketNotifier& read, QSocketNotifier& write, Readiness interest) {
  const bool want_read = Has(interest, Readiness::kRead);
  const bool want_write = Has(interest, Readiness::kWrite);
  if (read.isEnabled() != want_read) read.setEnabled(want_read);
  if (write.isEnabled() != want_write) write.setEnabled(want_write);
}

int QtInterval(std::chrono::milliseconds interval) {
  if (interval.count() < 0) return 0;
  if (interval.count() > INT_MAX) return INT_MAX;
  return static_cast<int>(interval.count());
}

}  // namespace

QtEventLoop::QtEventLoop() : context_(std::make_unique<QObject>()) {}

QtEventLoop::~QtEventLoop() {
  // Moved out first: a callback's captures may call back into the loop as they die.
  auto watches = std::move(watches_);
  auto timers = std::move(timers_);
  watches_.clear();
  timers_.clear();
  watches.clear();
  timers.clear();
  std::deque<std::function<void()>> posted;
  {
    std::lock_guard lock(post_mutex_);
    posted.swap(posted_);
  }
  posted.clear();
  context_.reset();  // drops a queued drain of posted calls
  while (!retired_.empty()) {
    std::vector<std::unique_ptr<QObject>> dead;
    dead.swap(retired_);
  }
}

net::WatchId QtEventLoop::Watch(int fd, Readiness interest, ReadyCallback callback) {
  if (fd < 0 || fcntl(fd, F_GETFD) < 0) {
    throw std::runtime_error("QtEventLoop: not an open descriptor: " + std::to_string(fd));
  }
  const net::WatchId id = next_id_++;
  auto entry = std::make_unique<WatchEntry>();
  entry->fd = fd;
  entry->interest = interest;
  entry->callback = std::make_shared<ReadyCallback>(std::move(callback));
  for (bool write_side : {false, true}) {
    auto notifier = std::make_unique<QSocketNotifier>(write_side ? QSocketNotifier::Write
                                                                 : QSocketNotifier::Read);
    notifier->setSocket(fd);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                     [this, id, write_side] { OnNotifier(id, write_side); });
    (write_side ? entry->write : entry->read) = std::move(notifier);
  }
  ApplyInterest(*entry->read, *entry->write, interest);
  watches_.emplace(id, std::move(entry));
  return id;
}

void QtEventLoop::SetInterest(net::WatchId id, Readiness interest) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  WatchEntry& w = *it->second;
  w.interest = interest;
  // A disabled notifier is taken off the pending list of the turn, so readiness an
  // earlier callback of this turn made unwanted is not delivered.
  ApplyInterest(*w.read, *w.write, interest);
}

void QtEventLoop::Unwatch(net::WatchId id) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  std::unique_ptr<WatchEntry> entry = std::move(it->second);
  watches_.erase(it);
  entry->read->setEnabled(false);
  entry->write->setEnabled(false);
  Retire(std::move(entry->read));
  Retire(std::move(entry->write));
  // The callback goes last, when the tables are settled (its captures may unwatch more).
}

net::TimerId QtEventLoop::StartTimer(std::chrono::milliseconds interval, net::TimerKind kind,
                                     std::function<void()> callback) {
  if (interval.count() < 0) interval = std::chrono::milliseconds(0);
  const net::TimerId id = next_id_++;
  auto entry = std::make_unique<TimerEntry>();
  entry->interval = interval;
  entry->kind = kind;
  entry->callback = std::make_shared<std::function<void()>>(std::move(callback));
  entry->timer = std::make_unique<QTimer>();
  QTimer& timer = *entry->timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setSingleShot(kind == net::TimerKind::kOneShot);
  timer.setInterval(QtInterval(interval));
  QObject::connect(&timer, &QTimer::timeout, &timer, [this, id] { OnTimer(id); });
  timer.start();
  timers_.emplace(id, std::move(entry));
  return id;
}

void QtEventLoop::StopTimer(net::TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  std::unique_ptr<TimerEntry> entry = std::move(it->second);
  timers_.erase(it);
  entry->timer->stop();
  Retire(std::move(entry->timer));
}

void QtEventLoop::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(post_mutex_);
    posted_.push_back(std::move(fn));
    if (wake_pending_) return;
    wake_pending_ = true;
  }
  // Thread-safe: the call is queued to the loop thread. A drain that starts before
  // this lands finds the queue already taken and does nothing.
  QMetaObject::invokeMethod(
      context_.get(), [this] { DeliverPosted(); }, Qt::QueuedConnection);
}

void QtEventLoop::Run() {
  QEventLoop loop;
  runs_.push_back(RunFrame{&loop, depth_, false});
  loop.exec();
  runs_.pop_back();
}

void QtEventLoop::Quit() {
  if (runs_.empty()) return;
  runs_.back().quit = true;
  runs_.back().loop->exit();
}

bool QtEventLoop::Quitting(int outer_depth) const {
  return !runs_.empty() && runs_.back().quit && runs_.back().depth == outer_depth;
}

void QtEventLoop::OnNotifier(net::WatchId id, bool write_side) {
  Delivery delivery(*this);
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  // Level-triggered: what is held back now shows up again in the run that goes on.
  if (Quitting(delivery.OuterDepth())) return;
  const WatchEntry& w = *it->second;
  const Readiness ready = Probe(w.fd, w.interest, write_side);
  if (ready == Readiness::kNone) return;
  std::shared_ptr<ReadyCallback> callback = w.callback;
  (*callback)(ready);
}

void QtEventLoop::OnTimer(net::TimerId id) {
  Delivery delivery(*this);
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  TimerEntry& t = *it->second;
  if (Quitting(delivery.OuterDepth())) {
    t.held_back = true;
    t.timer->setSingleShot(true);
    t.timer->start(0);
    return;
  }
  std::shared_ptr<std::function<void()>> callback = t.callback;
  if (t.kind == net::TimerKind::kOneShot) {
    std::unique_ptr<TimerEntry> entry = std::move(it->second);
    timers_.erase(it);
    Retire(std::move(entry->timer));
  } else if (t.held_back) {
    t.held_back = false;
    t.timer->setSingleShot(false);
    t.timer->start(QtInterval(t.interval));
  }
  (*callback)();
}

void QtEventLoop::DeliverPosted() {
  Delivery delivery(*this);
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(post_mutex_);
    batch.swap(posted_);
    wake_pending_ = false;
  }
  while (!batch.empty()) {
    if (Quitting(delivery.OuterDepth())) {
      // The rest waits, in order, for the run that goes on.
      bool wake = false;
      {
        std::lock_guard lock(post_mutex_);
        for (auto it = batch.rbegin(); it != batch.rend(); ++it) posted_.push_front(std::move(*it));
        wake = !wake_pending_;
        wake_pending_ = true;
      }
      if (wake) {
        QMetaObject::invokeMethod(
            context_.get(), [this] { DeliverPosted(); }, Qt::QueuedConnection);
      }
      return;
    }
    std::function<void()> fn = std::move(batch.front());
    batch.pop_front();
    fn();
  }
}

void QtEventLoop::Retire(std::unique_ptr<QObject> object) {
  object->disconnect();
  if (depth_ > 0) {
    retired_.push_back(std::move(object));
  } else {
    object.reset();
  }
}

}  // namespace ui
