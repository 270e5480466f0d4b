#include "net/socket_notifier.h"

#include <unordered_map>

#include "net/socket_api.h"
#include "net/socket_errors.h"

namespace net {

struct SocketNotifier::Core : std::enable_shared_from_this<SocketNotifier::Core> {
  struct Entry {
    std::uint64_t serial;
    WatchId watch;
    SocketRole role;
    int enabled;
    Readiness interest;
  };

  EventLoop& loop;
  Sink sink;
  std::unordered_map<int, Entry> entries;
  std::uint64_t next_serial = 1;

  Core(EventLoop& l, Sink s) : loop(l), sink(std::move(s)) {}

  static Readiness Wanted(const Entry& e) {
    Readiness r = Readiness::kNone;
    switch (e.role) {
      case SocketRole::kIdle:
        break;
      case SocketRole::kConnecting:
        if (e.enabled & kFdConnect) r = Readiness::kWrite;
        break;
      case SocketRole::kListening:
        if (e.enabled & kFdAccept) r = Readiness::kRead;
        break;
      case SocketRole::kConnected:
        if (e.enabled & kFdRead) r = r | Readiness::kRead;
        if (e.enabled & kFdWrite) r = r | Readiness::kWrite;
        break;
      case SocketRole::kDatagram:
        if (e.enabled & kFdRead) r = r | Readiness::kRead;
        if (e.enabled & kFdWrite) r = r | Readiness::kWrite;
        break;
    }
    return r;
  }

  /// Widens the interest at once; narrowing waits until unwanted readiness shows up,
  /// which keeps the steady state (notify, receive, re-arm) free of system calls.
  void Widen(Entry& e) {
    const Readiness wanted = Wanted(e);
    const Readiness merged = e.interest | wanted;
    if (merged != e.interest) {
      e.interest = merged;
      loop.SetInterest(e.watch, merged);
    }
  }
  void Narrow(Entry& e) {
    const Readiness wanted = Wanted(e);
    if (wanted != e.interest) {
      e.interest = wanted;
      loop.SetInterest(e.watch, wanted);
    }
  }

  Entry* Find(int fd, std::uint64_t serial) {
    auto it = entries.find(fd);
    if (it == entries.end() || it->second.serial != serial) return nullptr;
    return &it->second;
  }

  void OnReady(int fd, std::uint64_t serial, Readiness ready) {
    auto keep = shared_from_this();  // the sink may tear the notifier down
    Entry* e = Find(fd, serial);
    if (!e) return;
    if (Has(ready, Readiness::kRead)) {
      HandleRead(fd, *e, !Has(ready, Readiness::kDataOnly));
      e = Find(fd, serial);
      if (!e) return;
    }
    if (Has(ready, Readiness::kWrite)) {
      HandleWrite(fd, *e);
      e = Find(fd, serial);
      if (!e) return;
    }
    Narrow(*e);
  }

  void HandleRead(int fd, Entry& e, bool maybe_hang_up) {
    switch (e.role) {
      case SocketRole::kListening:
        if (!(e.enabled & kFdAccept)) return;
        e.enabled &= ~kFdAccept;
        sink(fd, kFdAccept, 0);
        return;
      case SocketRole::kConnecting:
        return HandleWrite(fd, e);  // a failed attempt can show as readable first
      case SocketRole::kDatagram:
        if (!(e.enabled & kFdRead)) return;
        e.enabled &= ~kFdRead;
        sink(fd, kFdRead, 0);
        return;
      case SocketRole::kConnected: {
        if (!(e.enabled & kFdRead)) return;
        if (!maybe_hang_up) {
          // Readable without a hang-up: there is data (the common case needs no probe).
          e.enabled &= ~kFdRead;
          sink(fd, kFdRead, 0);
          return;
        }
        char probe;
        std::size_t got = 0;
        const int error = sys::Receive(fd, &probe, 1, /*peek=*/true, &got);
        if (error == kWsaWouldBlock) return;
        if (error == 0 && got > 0) {
          e.enabled &= ~kFdRead;
          sink(fd, kFdRead, 0);
          return;
        }
        // End of stream or a reset: close comes once, and reading stops for good.
        const bool report = (e.enabled & kFdClose) != 0;
        e.enabled &= ~(kFdRead | kFdClose);
        if (report) sink(fd, kFdClose, error);
        return;
      }
      case SocketRole::kIdle:
        return;
    }
  }

  void HandleWrite(int fd, Entry& e) {
    switch (e.role) {
      case SocketRole::kConnecting: {
        if (!(e.enabled & kFdConnect)) return;
        e.enabled &= ~kFdConnect;
        const int error = sys::TakePendingError(fd);
        e.role = error == 0 ? SocketRole::kConnected : SocketRole::kIdle;
        sink(fd, kFdConnect, error);
        return;
      }
      case SocketRole::kConnected:
      case SocketRole::kDatagram:
        if (!(e.enabled & kFdWrite)) return;
        e.enabled &= ~kFdWrite;
        sink(fd, kFdWrite, 0);
        return;
      default:
        return;
    }
  }
};

SocketNotifier::SocketNotifier(EventLoop& loop, Sink sink)
    : core_(std::make_shared<Core>(loop, std::move(sink))) {}

SocketNotifier::~SocketNotifier() {
  for (auto& [fd, e] : core_->entries) core_->loop.Unwatch(e.watch);
  core_->entries.clear();
}

void SocketNotifier::Select(int fd, SocketRole role) {
  if (core_->entries.count(fd)) return;
  const std::uint64_t serial = core_->next_serial++;
  std::weak_ptr<Core> weak = core_;
  Core::Entry e{serial, kNoWatch, role, kAllNetEvents, Readiness::kNone};
  e.interest = Core::Wanted(e);
  e.watch = core_->loop.Watch(fd, e.interest, [weak, fd, serial](Readiness ready) {
    if (auto core = weak.lock()) core->OnReady(fd, serial, ready);
  });
  core_->entries.emplace(fd, e);
}

void SocketNotifier::Forget(int fd) {
  auto it = core_->entries.find(fd);
  if (it == core_->entries.end()) return;
  core_->loop.Unwatch(it->second.watch);
  core_->entries.erase(it);
}

bool SocketNotifier::IsSelected(int fd) const { return core_->entries.count(fd) != 0; }

void SocketNotifier::SetRole(int fd, SocketRole role) {
  auto it = core_->entries.find(fd);
  if (it == core_->entries.end()) return;
  it->second.role = role;
  core_->Narrow(it->second);
}

void SocketNotifier::Reenable(int fd, NetEvent event) {
  auto it = core_->entries.find(fd);
  if (it == core_->entries.end()) return;
  Core::Entry& e = it->second;
  if (e.enabled & event) return;
  if (event == kFdRead && e.role == SocketRole::kConnected && !(e.enabled & kFdClose)) {
    return;  // the end of stream was reported; nothing more can be read
  }
  e.enabled |= event;
  core_->Widen(e);
}

}  // namespace net
