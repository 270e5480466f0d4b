#include "session/loop_timer.h"

#include <utility>

namespace session {

LoopTimer::LoopTimer(net::EventLoop& loop, std::chrono::milliseconds interval,
                     std::function<void()> tick)
    : loop_(loop), interval_(interval), tick_(std::move(tick)) {}

LoopTimer::~LoopTimer() { SetEnabled(false); }

void LoopTimer::SetEnabled(bool enabled) {
  if (id_ != net::kNoTimer) {
    loop_.StopTimer(id_);
    id_ = net::kNoTimer;
  }
  if (enabled) {
    id_ = loop_.StartTimer(interval_, net::TimerKind::kRepeating, [this] { tick_(); });
  }
}

void LoopTimer::SetInterval(std::chrono::milliseconds interval) {
  interval_ = interval;
  if (Enabled()) SetEnabled(true);
}

}  // namespace session
