#include "net/poll_event_loop.h"

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace net {
namespace {

using namespace std::chrono_literals;

class PollEventLoopTimers : public ::testing::Test {
 protected:
  PollEventLoop loop_;
};

TEST_F(PollEventLoopTimers, OneShotFiresOnceAndIsForgotten) {
  int fired = 0;
  loop_.StartTimer(1ms, TimerKind::kOneShot, [&] { ++fired; });
  EXPECT_EQ(loop_.TimerCount(), 1u);
  ASSERT_TRUE(loop_.RunUntil([&] { return fired == 1; }, 2s));
  loop_.RunUntil([] { return false; }, 20ms);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(loop_.TimerCount(), 0u);
}

TEST_F(PollEventLoopTimers, RepeatingFiresUntilStoppedFromItsOwnCallback) {
  int fired = 0;
  TimerId id = kNoTimer;
  id = loop_.StartTimer(1ms, TimerKind::kRepeating, [&] {
    if (++fired == 3) loop_.StopTimer(id);
  });
  ASSERT_TRUE(loop_.RunUntil([&] { return fired == 3; }, 2s));
  loop_.RunUntil([] { return false; }, 20ms);
  EXPECT_EQ(fired, 3);
  EXPECT_EQ(loop_.TimerCount(), 0u);
}

TEST_F(PollEventLoopTimers, DueTimersFireInDueOrder) {
  std::vector<int> order;
  loop_.StartTimer(30ms, TimerKind::kOneShot, [&] { order.push_back(3); });
  loop_.StartTimer(10ms, TimerKind::kOneShot, [&] { order.push_back(1); });
  loop_.StartTimer(20ms, TimerKind::kOneShot, [&] { order.push_back(2); });
  ASSERT_TRUE(loop_.RunUntil([&] { return order.size() == 3; }, 2s));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(PollEventLoopTimers, TimerStoppedByAnEarlierCallbackOfTheSameTurnDoesNotFire) {
  bool second_fired = false;
  TimerId second = kNoTimer;
  loop_.StartTimer(0ms, TimerKind::kOneShot, [&] { loop_.StopTimer(second); });
  second = loop_.StartTimer(0ms, TimerKind::kOneShot, [&] { second_fired = true; });
  std::this_thread::sleep_for(2ms);  // both are due in the same turn
  loop_.RunOnce(0ms);
  loop_.RunUntil([] { return false; }, 10ms);
  EXPECT_FALSE(second_fired);
}

TEST_F(PollEventLoopTimers, WaitsForTheTimerRatherThanReturningEarly) {
  const auto start = std::chrono::steady_clock::now();
  bool fired = false;
  loop_.StartTimer(40ms, TimerKind::kOneShot, [&] { fired = true; });
  ASSERT_TRUE(loop_.RunUntil([&] { return fired; }, 2s));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 40ms);
}

class PollEventLoopPosting : public ::testing::Test {
 protected:
  PollEventLoop loop_;
};

TEST_F(PollEventLoopPosting, CallsPostedFromOtherThreadsRunOnTheLoopThreadInOrder) {
  const auto loop_thread = std::this_thread::get_id();
  std::vector<int> seen;
  bool all_on_loop_thread = true;
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) {
      loop_.Post([&, i] {
        seen.push_back(i);
        if (std::this_thread::get_id() != loop_thread) all_on_loop_thread = false;
      });
    }
  });
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.size() == 100; }, 5s));
  worker.join();
  EXPECT_TRUE(all_on_loop_thread);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
}

TEST_F(PollEventLoopPosting, PostWakesABlockedRun) {
  std::thread worker([&] {
    std::this_thread::sleep_for(20ms);
    loop_.Post([&] { loop_.Quit(); });
  });
  std::atomic<bool> guard_fired{false};
  // Guard: if the wake-up were lost, this timer ends the run and fails the test.
  loop_.StartTimer(5s, TimerKind::kOneShot, [&] {
    guard_fired = true;
    loop_.Quit();
  });
  loop_.Run();
  worker.join();
  EXPECT_FALSE(guard_fired);
}

TEST_F(PollEventLoopPosting, QuitEndsOnlyTheInnermostRun) {
  std::vector<std::string> trace;
  loop_.Post([&] {
    trace.push_back("outer callback");
    loop_.Post([&] {
      trace.push_back("inner quit");
      loop_.Quit();
    });
    loop_.Run();  // a nested (modal) run
    trace.push_back("nested run returned");
    loop_.Post([&] { loop_.Quit(); });
  });
  loop_.StartTimer(5s, TimerKind::kOneShot, [&] {
    trace.push_back("guard");
    loop_.Quit();
    loop_.Quit();
  });
  loop_.Run();
  EXPECT_EQ(trace,
            (std::vector<std::string>{"outer callback", "inner quit", "nested run returned"}));
}

class PollEventLoopWatches : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair_), 0); }
  void TearDown() override {
    close(pair_[0]);
    close(pair_[1]);
  }
  PollEventLoop loop_;
  int pair_[2] = {-1, -1};
};

TEST_F(PollEventLoopWatches, ReadReadinessIsLevelTriggeredUntilDrained) {
  int calls = 0;
  char buf[8];
  loop_.Watch(pair_[0], Readiness::kRead, [&](Readiness ready) {
    EXPECT_TRUE(Has(ready, Readiness::kRead));
    if (++calls == 3) {
      ASSERT_EQ(read(pair_[0], buf, sizeof buf), 1);
    }
  });
  ASSERT_EQ(write(pair_[1], "x", 1), 1);
  loop_.RunUntil([&] { return calls >= 3; }, 2s);
  loop_.RunUntil([] { return false; }, 20ms);
  EXPECT_EQ(calls, 3);
}

TEST_F(PollEventLoopWatches, InterestLimitsWhatIsReported) {
  int writes = 0;
  const WatchId id = loop_.Watch(pair_[0], Readiness::kNone, [&](Readiness ready) {
    if (Has(ready, Readiness::kWrite)) ++writes;
    loop_.SetInterest(id, Readiness::kNone);
  });
  loop_.RunUntil([] { return false; }, 20ms);
  EXPECT_EQ(writes, 0);
  loop_.SetInterest(id, Readiness::kWrite);
  ASSERT_TRUE(loop_.RunUntil([&] { return writes == 1; }, 2s));
  loop_.RunUntil([] { return false; }, 20ms);
  EXPECT_EQ(writes, 1);
}

TEST_F(PollEventLoopWatches, WatchRemovedByAnEarlierCallbackIsNotCalledInTheSameTurn) {
  int other[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, other), 0);
  int first_calls = 0;
  int second_calls = 0;
  WatchId a = kNoWatch;
  WatchId b = kNoWatch;
  a = loop_.Watch(pair_[0], Readiness::kRead, [&](Readiness) {
    ++first_calls;
    loop_.Unwatch(a);
    loop_.Unwatch(b);
  });
  b = loop_.Watch(other[0], Readiness::kRead, [&](Readiness) {
    ++second_calls;
    loop_.Unwatch(a);
    loop_.Unwatch(b);
  });
  ASSERT_EQ(write(pair_[1], "x", 1), 1);
  ASSERT_EQ(write(other[1], "x", 1), 1);
  loop_.RunUntil([] { return false; }, 30ms);
  EXPECT_EQ(first_calls + second_calls, 1);
  EXPECT_EQ(loop_.WatchCount(), 0u);
  close(other[0]);
  close(other[1]);
}

TEST_F(PollEventLoopWatches, HangUpIsReportedAsReadable) {
  bool readable = false;
  loop_.Watch(pair_[0], Readiness::kRead, [&](Readiness ready) {
    readable = Has(ready, Readiness::kRead);
    loop_.Quit();
  });
  close(pair_[1]);
  pair_[1] = socket(AF_UNIX, SOCK_STREAM, 0);  // keep TearDown's close harmless
  loop_.StartTimer(5s, TimerKind::kOneShot, [&] { loop_.Quit(); });
  loop_.Run();
  EXPECT_TRUE(readable);
}

}  // namespace
}  // namespace net
