#pragma once

// What every net::EventLoop promises, as one suite run against each implementation.
// Include it from one file of a test binary and instantiate it there:
//   INSTANTIATE_TEST_SUITE_P(MyLoop, EventLoopContract, ::testing::Values(&MakeMyLoop));

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/process.h"
#include "net/event_loop.h"

namespace net::contract {

using namespace std::chrono_literals;

/// Makes the loop under test (the test's parameter).
using LoopMaker = std::unique_ptr<EventLoop> (*)();

/// Every wait in these tests ends after this long at the latest.
inline constexpr std::chrono::milliseconds kPatience{5000};

/// A connected pair of local stream sockets, closed at the end.
class SocketPair {
 public:
  SocketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_), 0); }
  ~SocketPair() {
    for (int fd : fds_) {
      if (fd >= 0) close(fd);
    }
  }
  SocketPair(const SocketPair&) = delete;
  SocketPair& operator=(const SocketPair&) = delete;

  /// The end the loop watches.
  int near() const { return fds_[0]; }
  /// Makes the near end readable.
  void Write() const { ASSERT_EQ(write(fds_[1], "x", 1), 1); }
  void ReadOne() const {
    char c;
    ASSERT_EQ(read(fds_[0], &c, 1), 1);
  }
  /// Hangs up the far end.
  void CloseFar() {
    close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2] = {-1, -1};
};

class EventLoopContract : public ::testing::TestWithParam<LoopMaker> {
 protected:
  void SetUp() override { loop_ = GetParam()(); }

  /// Runs the loop until `done` holds (looked at every millisecond or when a callback
  /// quits the run); gives up after `limit`. Answers `done()`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = kPatience) {
    if (done()) return true;
    const TimerId check = loop_->StartTimer(1ms, TimerKind::kRepeating, [&] {
      if (done()) loop_->Quit();
    });
    const TimerId guard = loop_->StartTimer(limit, TimerKind::kOneShot, [&] { loop_->Quit(); });
    loop_->Run();
    loop_->StopTimer(check);
    loop_->StopTimer(guard);
    return done();
  }
  /// Runs the loop for a while, to show that nothing more happens.
  void Settle() {
    RunUntil([] { return false; }, 30ms);
  }
  /// Runs once; a guard ends the run (and fails the test) if nothing quits it.
  void RunGuarded() {
    bool guard_fired = false;
    const TimerId guard = loop_->StartTimer(kPatience, TimerKind::kOneShot, [&] {
      guard_fired = true;
      loop_->Quit();
    });
    loop_->Run();
    loop_->StopTimer(guard);
    EXPECT_FALSE(guard_fired) << "the run was not quit";
  }

  std::unique_ptr<EventLoop> loop_;
};

// --- Timers ---

TEST_P(EventLoopContract, OneShotsFireOnceInDueOrderAndRepeatingUntilStoppedFromItself) {
  // Held by the callbacks: counts their release; reading it shows one freed too early.
  auto name = std::make_shared<std::string>("a capture that outlives the small buffer");
  std::vector<int> order;
  int repeats = 0;
  std::string seen;
  TimerId id = kNoTimer;
  const TimerId last =
      loop_->StartTimer(30ms, TimerKind::kOneShot, [&, name] { order.push_back(3); });
  loop_->StartTimer(10ms, TimerKind::kOneShot, [&, name] { order.push_back(1); });
  loop_->StartTimer(20ms, TimerKind::kOneShot, [&, name] { order.push_back(2); });
  id = loop_->StartTimer(1ms, TimerKind::kRepeating, [&, name] {
    if (++repeats == 3) {
      loop_->StopTimer(id);
      seen = *name;  // the callback must outlive its own StopTimer
    }
  });
  ASSERT_TRUE(RunUntil([&] { return order.size() == 3 && repeats == 3; }));
  Settle();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(repeats, 3);
  EXPECT_EQ(seen, *name);
  EXPECT_EQ(name.use_count(), 1) << "fired and stopped timers let go of their callbacks";
  loop_->StopTimer(last);  // finished: ignored
}

// --- Posted calls, Run and Quit ---

TEST_P(EventLoopContract, CallsPostedFromAnotherThreadWakeABlockedRunAndRunInOrderOnIt) {
  const auto loop_thread = std::this_thread::get_id();
  std::vector<int> seen;
  bool all_on_loop_thread = true;
  std::thread worker([&] {
    std::this_thread::sleep_for(20ms);
    for (int i = 0; i < 100; ++i) {
      loop_->Post([&, i] {
        seen.push_back(i);
        if (std::this_thread::get_id() != loop_thread) all_on_loop_thread = false;
        if (i == 99) loop_->Quit();
      });
    }
  });
  // Nothing else is due: only the posts' wake-up can end this run before the guard.
  RunGuarded();
  worker.join();
  EXPECT_EQ(seen.size(), 100u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_TRUE(all_on_loop_thread);
}

TEST_P(EventLoopContract, QuitEndsOnlyTheInnermostRun) {
  std::vector<std::string> trace;
  loop_->Post([&] {
    trace.push_back("outer callback");
    loop_->Post([&] {
      trace.push_back("inner quit");
      loop_->Quit();
    });
    loop_->Run();  // a nested (modal) run
    trace.push_back("nested run returned");
    loop_->Post([&] { loop_->Quit(); });
  });
  RunGuarded();
  EXPECT_EQ(trace,
            (std::vector<std::string>{"outer callback", "inner quit", "nested run returned"}));
}

TEST_P(EventLoopContract, CallbacksHeldBackByAQuitComeInTheNextRuns) {
  std::vector<std::string> fired;
  auto record_and_quit = [&](const std::string& name) {
    return [&, name] {
      fired.push_back(name);
      loop_->Quit();
    };
  };
  loop_->StartTimer(1ms, TimerKind::kOneShot, record_and_quit("timer 1"));
  loop_->StartTimer(1ms, TimerKind::kOneShot, record_and_quit("timer 2"));
  loop_->Post(record_and_quit("post 1"));
  loop_->Post(record_and_quit("post 2"));
  std::this_thread::sleep_for(5ms);  // both timers are due when the loop first looks
  for (std::size_t run = 1; run <= 4; ++run) {
    RunGuarded();
    ASSERT_EQ(fired.size(), run) << "a run ends once the quitting callback has finished";
  }
  EXPECT_LT(std::find(fired.begin(), fired.end(), "post 1"),
            std::find(fired.begin(), fired.end(), "post 2"));
}

// --- Watches ---

TEST_P(EventLoopContract, LevelTriggeredWatchAndZeroIntervalTimerStarveNothing) {
  SocketPair pair;
  int ticks = 0;
  int calls = 0;
  int ticks_when_drained = -1;
  bool timer = false;
  bool posted = false;
  bool only_read = true;
  const TimerId zero = loop_->StartTimer(0ms, TimerKind::kRepeating, [&] { ++ticks; });
  const WatchId id = loop_->Watch(pair.near(), Readiness::kRead, [&](Readiness ready) {
    if (!Has(ready, Readiness::kRead) || Has(ready, Readiness::kWrite)) only_read = false;
    ++calls;
    if (timer && posted && ticks_when_drained < 0) {
      pair.ReadOne();
      ticks_when_drained = ticks;
    }
  });
  pair.Write();
  loop_->StartTimer(5ms, TimerKind::kOneShot, [&] { timer = true; });
  loop_->Post([&] { posted = true; });
  ASSERT_TRUE(RunUntil([&] { return ticks_when_drained >= 0 && ticks >= ticks_when_drained + 3; }))
      << "ticks " << ticks << ", calls " << calls << ", timer " << timer << ", post " << posted;
  const int calls_when_drained = calls;
  Settle();
  EXPECT_EQ(calls, calls_when_drained) << "a drained descriptor is no longer ready";
  EXPECT_GT(calls, 1) << "the unread byte keeps the watch ready";
  EXPECT_TRUE(only_read) << "readiness is limited to the interest";
  loop_->Unwatch(id);
  loop_->StopTimer(zero);
}

TEST_P(EventLoopContract, InterestLimitsReportsAndWhatAnEarlierCallbackUndoesIsNotCalled) {
  enum Undo { kStopTimer, kUnwatch, kNarrow };
  for (Undo undo : {kStopTimer, kUnwatch, kNarrow}) {
    SCOPED_TRACE(undo);
    SocketPair one;
    SocketPair two;
    std::uint64_t ids[2] = {};
    int calls = 0;
    auto undo_both = [&] {
      ++calls;
      for (std::uint64_t id : ids) {
        if (undo == kStopTimer) loop_->StopTimer(id);
        if (undo == kUnwatch) loop_->Unwatch(id);
        if (undo == kNarrow) loop_->SetInterest(id, Readiness::kNone);
      }
    };
    if (undo == kStopTimer) {
      for (std::uint64_t& id : ids) id = loop_->StartTimer(1ms, TimerKind::kRepeating, undo_both);
      std::this_thread::sleep_for(5ms);  // both are due when the loop first looks
    } else {
      // The watches to narrow start with an empty interest, which reports nothing.
      const Readiness interest = undo == kNarrow ? Readiness::kNone : Readiness::kRead;
      ids[0] = loop_->Watch(one.near(), interest, [&](Readiness) { undo_both(); });
      ids[1] = loop_->Watch(two.near(), interest, [&](Readiness) { undo_both(); });
      one.Write();
      two.Write();
      if (undo == kNarrow) {
        Settle();
        for (std::uint64_t id : ids) loop_->SetInterest(id, Readiness::kRead);
      }
    }
    Settle();
    EXPECT_EQ(calls, 1);
    if (undo == kNarrow) {
      loop_->SetInterest(ids[1], Readiness::kRead);
      EXPECT_TRUE(RunUntil([&] { return calls == 2; })) << "a widened watch reports again";
      for (std::uint64_t id : ids) loop_->Unwatch(id);
    }
  }
}

TEST_P(EventLoopContract, WatchRemovedInsideItsOwnCallbackStopsForGoodAndMayBeReplaced) {
  SocketPair pair;
  auto name = std::make_shared<std::string>("a capture that outlives the small buffer");
  int old_calls = 0;
  int new_calls = 0;
  std::string seen;
  WatchId old_id = kNoWatch;
  WatchId new_id = kNoWatch;
  old_id = loop_->Watch(pair.near(), Readiness::kRead, [&, name](Readiness) {
    ++old_calls;
    loop_->Unwatch(old_id);
    seen = *name;  // the callback must outlive its own Unwatch
    new_id = loop_->Watch(pair.near(), Readiness::kRead, [&](Readiness) {
      if (++new_calls == 2) pair.ReadOne();
    });
  });
  pair.Write();  // read only by the second call of the new watch
  EXPECT_TRUE(RunUntil([&] { return new_calls == 2; }));
  Settle();
  EXPECT_EQ(old_calls, 1);
  EXPECT_EQ(new_calls, 2);
  EXPECT_EQ(seen, *name);
  EXPECT_EQ(name.use_count(), 1) << "a removed watch lets go of its callback";
  loop_->Unwatch(new_id);
}

TEST_P(EventLoopContract, DataIsReadableAndAHangUpIsReadableWithoutDataOnly) {
  for (bool hang_up : {false, true}) {
    SCOPED_TRACE(hang_up ? "hang-up" : "data");
    SocketPair pair;
    Readiness ready = Readiness::kNone;
    const WatchId id =
        loop_->Watch(pair.near(), Readiness::kRead | Readiness::kWrite, [&](Readiness r) {
          if (Has(r, Readiness::kDataOnly) && !Has(r, Readiness::kRead)) ADD_FAILURE() << "alone";
          if (Has(r, Readiness::kRead)) ready = r;
        });
    hang_up ? pair.CloseFar() : pair.Write();
    EXPECT_TRUE(RunUntil([&] { return Has(ready, Readiness::kRead); }));
    // Only a loop that knows the peer has not closed may say there is data.
    if (hang_up) {
      EXPECT_FALSE(Has(ready, Readiness::kDataOnly));
    }
    loop_->Unwatch(id);
  }
}

TEST_P(EventLoopContract, FailedConnectIsReportedToTheSideAskedFor) {
  const test_common::RefusingPort refusing;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<std::uint16_t>(refusing.Port()));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (Readiness interest : {Readiness::kRead, Readiness::kWrite}) {
    SCOPED_TRACE(interest == Readiness::kRead ? "read" : "write");
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int rc = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    ASSERT_TRUE(rc == 0 || errno == EINPROGRESS || errno == ECONNREFUSED);
    bool called = false;
    Readiness ready = Readiness::kNone;
    const WatchId id = loop_->Watch(fd, interest, [&](Readiness r) {
      called = true;
      ready = r;
    });
    EXPECT_TRUE(RunUntil([&] { return called; }));
    EXPECT_EQ(ready, interest) << "the side asked for, and no kDataOnly";
    loop_->Unwatch(id);
    close(fd);
  }
}

// --- Lifetime ---

TEST_P(EventLoopContract, UnwatchStopTimerAndDestroyingTheLoopLetGoOfCallbacks) {
  SocketPair one;
  SocketPair two;
  auto token = std::make_shared<int>(0);
  const WatchId watch = loop_->Watch(one.near(), Readiness::kRead, [token](Readiness) {});
  const TimerId timer = loop_->StartTimer(1h, TimerKind::kRepeating, [token] {});
  EXPECT_EQ(token.use_count(), 3);
  loop_->Unwatch(watch);
  loop_->StopTimer(timer);
  EXPECT_EQ(token.use_count(), 1);
  bool called = false;
  loop_->Watch(two.near(), Readiness::kRead | Readiness::kWrite,
               [token, &called](Readiness) { called = true; });
  loop_->StartTimer(0ms, TimerKind::kRepeating, [token, &called] { called = true; });
  loop_->StartTimer(1h, TimerKind::kOneShot, [token, &called] { called = true; });
  loop_->Post([token, &called] { called = true; });
  two.Write();
  loop_.reset();
  EXPECT_EQ(token.use_count(), 1);
  EXPECT_FALSE(called);
}

}  // namespace net::contract
