#include "net/poll_event_loop.h"

#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "net/event_loop_contract.h"

namespace net {
namespace {

using namespace std::chrono_literals;
using contract::EventLoopContract;

std::unique_ptr<EventLoop> MakePollEventLoop() { return std::make_unique<PollEventLoop>(); }

INSTANTIATE_TEST_SUITE_P(PollEventLoop, EventLoopContract, ::testing::Values(&MakePollEventLoop));

class PollEventLoopTest : public ::testing::Test {
 protected:
  PollEventLoop loop_;
};

TEST_F(PollEventLoopTest, WaitsForTheTimerRatherThanReturningEarly) {
  const auto start = std::chrono::steady_clock::now();
  bool fired = false;
  loop_.StartTimer(40ms, TimerKind::kOneShot, [&] { fired = true; });
  ASSERT_TRUE(loop_.RunUntil([&] { return fired; }, 2s));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 40ms);
}

TEST_F(PollEventLoopTest, FinishedTimersAndRemovedWatchesLeaveNoEntries) {
  contract::SocketPair pair;
  int fired = 0;
  loop_.StartTimer(1ms, TimerKind::kOneShot, [&] { ++fired; });
  TimerId repeating = kNoTimer;
  repeating = loop_.StartTimer(1ms, TimerKind::kRepeating, [&] { loop_.StopTimer(repeating); });
  WatchId watch = kNoWatch;
  watch = loop_.Watch(pair.near(), Readiness::kWrite, [&](Readiness) { loop_.Unwatch(watch); });
  EXPECT_EQ(loop_.TimerCount(), 2u);
  EXPECT_EQ(loop_.WatchCount(), 1u);
  ASSERT_TRUE(loop_.RunUntil([&] { return loop_.TimerCount() == 0 && loop_.WatchCount() == 0; },
                             contract::kPatience));
  EXPECT_EQ(fired, 1);
}

TEST_F(PollEventLoopTest, RunOnceAnswersWhetherACallbackRan) {
  EXPECT_FALSE(loop_.RunOnce(0ms));
  loop_.Post([] {});
  EXPECT_TRUE(loop_.RunOnce(0ms));
  EXPECT_FALSE(loop_.RunOnce(0ms));
}

}  // namespace
}  // namespace net
