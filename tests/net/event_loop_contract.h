#pragma once

// What every net::EventLoop promises, as one suite run against each implementation.
// Include it from one file of a test binary and instantiate it there:
//   INSTANTIATE_TEST_SUITE_P(MyLoop, EventLoopContract, ::testing::Values(&MakeMyLoop));

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

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
    CloseNear();
    CloseFar();
  }
  SocketPair(const SocketPair&) = delete;
  SocketPair& operator=(const SocketPair&) = delete;

  /// The end the loop watches.
  int near() const { return fds_[0]; }
  /// Makes the near end readable.
  void Write(const char* bytes = "x") const {
    const auto n = static_cast<ssize_t>(std::strlen(bytes));
    ASSERT_EQ(write(fds_[1], bytes, static_cast<std::size_t>(n)), n);
  }
  void ReadOne() const {
    char c;
    ASSERT_EQ(read(fds_[0], &c, 1), 1);
  }
  /// Hangs up the far end.
  void CloseFar() {
    if (fds_[1] >= 0) close(fds_[1]);
    fds_[1] = -1;
  }
  void CloseNear() {
    if (fds_[0] >= 0) close(fds_[0]);
    fds_[0] = -1;
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
  void Settle(std::chrono::milliseconds span = 30ms) {
    RunUntil([] { return false; }, span);
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

TEST_P(EventLoopContract, OneShotTimerFiresOnceAndIsForgotten) {
  int fired = 0;
  auto token = std::make_shared<int>(0);
  const TimerId id = loop_->StartTimer(1ms, TimerKind::kOneShot, [&, token] { ++fired; });
  ASSERT_TRUE(RunUntil([&] { return fired == 1; }));
  Settle();
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(token.use_count(), 1) << "a fired one-shot timer must let go of its callback";
  loop_->StopTimer(id);  // finished: ignored
}

TEST_P(EventLoopContract, RepeatingTimerFiresUntilStoppedFromItsOwnCallback) {
  int fired = 0;
  TimerId id = kNoTimer;
  const std::string name = "a capture long enough to live on the heap, not in the object";
  std::string seen;
  id = loop_->StartTimer(1ms, TimerKind::kRepeating, [&, name] {
    if (++fired == 3) {
      loop_->StopTimer(id);
      seen = name;  // the callback must outlive its own StopTimer
    }
  });
  ASSERT_TRUE(RunUntil([&] { return fired == 3; }));
  Settle();
  EXPECT_EQ(fired, 3);
  EXPECT_EQ(seen, name);
}

TEST_P(EventLoopContract, DueTimersFireInDueOrder) {
  std::vector<int> order;
  loop_->StartTimer(30ms, TimerKind::kOneShot, [&] { order.push_back(3); });
  loop_->StartTimer(10ms, TimerKind::kOneShot, [&] { order.push_back(1); });
  loop_->StartTimer(20ms, TimerKind::kOneShot, [&] { order.push_back(2); });
  ASSERT_TRUE(RunUntil([&] { return order.size() == 3; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_P(EventLoopContract, TimerStoppedByAnEarlierCallbackOfTheSameTurnDoesNotFire) {
  int calls = 0;
  TimerId a = kNoTimer;
  TimerId b = kNoTimer;
  auto stop_both = [&] {
    ++calls;
    loop_->StopTimer(a);
    loop_->StopTimer(b);
  };
  a = loop_->StartTimer(1ms, TimerKind::kRepeating, stop_both);
  b = loop_->StartTimer(1ms, TimerKind::kRepeating, stop_both);
  std::this_thread::sleep_for(5ms);  // both are due when the loop first looks
  Settle();
  EXPECT_EQ(calls, 1);
}

TEST_P(EventLoopContract, ZeroIntervalTimerFiresEveryTurnWithoutStarvingOtherEvents) {
  SocketPair pair;
  int ticks = 0;
  bool readable = false;
  bool posted = false;
  bool timer = false;
  int ticks_when_all_seen = -1;
  auto note = [&] {
    if (readable && posted && timer && ticks_when_all_seen < 0) ticks_when_all_seen = ticks;
  };
  const TimerId zero = loop_->StartTimer(0ms, TimerKind::kRepeating, [&] { ++ticks; });
  WatchId watch = kNoWatch;
  watch = loop_->Watch(pair.near(), Readiness::kRead, [&](Readiness) {
    readable = true;
    loop_->Unwatch(watch);
    note();
  });
  loop_->Post([&] {
    posted = true;
    note();
  });
  loop_->StartTimer(5ms, TimerKind::kOneShot, [&] {
    timer = true;
    note();
  });
  pair.Write();
  EXPECT_TRUE(RunUntil([&] {
    return ticks_when_all_seen >= 0 && ticks >= ticks_when_all_seen + 3;
  })) << "ticks "
      << ticks << ", readable " << readable << ", posted " << posted << ", timer " << timer;
  loop_->StopTimer(zero);
}

TEST_P(EventLoopContract, TimersAndPostedCallsStillRunWhileAWatchStaysReady) {
  SocketPair pair;
  int readiness = 0;
  bool timer = false;
  bool posted = false;
  const WatchId watch =
      loop_->Watch(pair.near(), Readiness::kRead, [&](Readiness) { ++readiness; });  // never reads
  pair.Write();
  loop_->StartTimer(5ms, TimerKind::kOneShot, [&] { timer = true; });
  loop_->Post([&] { posted = true; });
  EXPECT_TRUE(RunUntil([&] { return timer && posted; }));
  EXPECT_GT(readiness, 1) << "the unread byte keeps the watch ready";
  loop_->Unwatch(watch);
}

// --- Posted calls, Run and Quit ---

TEST_P(EventLoopContract, CallsPostedFromOtherThreadsRunOnTheLoopThreadInOrder) {
  const auto loop_thread = std::this_thread::get_id();
  std::vector<int> seen;
  bool all_on_loop_thread = true;
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) {
      loop_->Post([&, i] {
        seen.push_back(i);
        if (std::this_thread::get_id() != loop_thread) all_on_loop_thread = false;
      });
    }
  });
  const bool all_seen = RunUntil([&] { return seen.size() == 100; });
  worker.join();
  ASSERT_TRUE(all_seen);
  EXPECT_TRUE(all_on_loop_thread);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
}

TEST_P(EventLoopContract, PostFromAnotherThreadWakesABlockedRun) {
  std::thread worker([&] {
    std::this_thread::sleep_for(20ms);
    loop_->Post([&] { loop_->Quit(); });
  });
  // Nothing else is due: only the post's wake-up can end this run before the guard.
  RunGuarded();
  worker.join();
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

TEST_P(EventLoopContract, CallsPostedAfterAQuitWaitForTheNextRun) {
  std::vector<std::string> trace;
  loop_->Post([&] {
    trace.push_back("first");
    loop_->Quit();
  });
  loop_->Post([&] {
    trace.push_back("second");
    loop_->Quit();
  });
  RunGuarded();
  trace.push_back("run returned");
  RunGuarded();
  EXPECT_EQ(trace, (std::vector<std::string>{"first", "run returned", "second"}));
}

TEST_P(EventLoopContract, TimerHeldBackByAQuitFiresInTheNextRun) {
  std::vector<int> fired;
  auto record_and_quit = [&](int n) {
    return [&, n] {
      fired.push_back(n);
      loop_->Quit();
    };
  };
  loop_->StartTimer(1ms, TimerKind::kOneShot, record_and_quit(1));
  loop_->StartTimer(1ms, TimerKind::kOneShot, record_and_quit(2));
  std::this_thread::sleep_for(5ms);  // both are due when the loop first looks
  RunGuarded();
  EXPECT_EQ(fired.size(), 1u) << "the run ends once the quitting callback has finished";
  RunGuarded();
  EXPECT_EQ(fired.size(), 2u) << "a due one-shot timer is not lost to a quit";
}

// --- Watches ---

TEST_P(EventLoopContract, ReadReadinessIsLevelTriggeredUntilDrained) {
  SocketPair pair;
  int calls = 0;
  bool only_read = true;
  const WatchId id = loop_->Watch(pair.near(), Readiness::kRead, [&](Readiness ready) {
    if (!Has(ready, Readiness::kRead) || Has(ready, Readiness::kWrite)) only_read = false;
    if (++calls == 3) pair.ReadOne();
  });
  pair.Write();
  EXPECT_TRUE(RunUntil([&] { return calls >= 3; }));
  Settle();
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(only_read) << "readiness is limited to the interest";
  loop_->Unwatch(id);
}

TEST_P(EventLoopContract, InterestLimitsWhatIsReported) {
  SocketPair pair;
  int writes = 0;
  WatchId id = kNoWatch;
  id = loop_->Watch(pair.near(), Readiness::kNone, [&](Readiness ready) {
    if (Has(ready, Readiness::kWrite)) ++writes;
    loop_->SetInterest(id, Readiness::kNone);
  });
  Settle();
  EXPECT_EQ(writes, 0);
  loop_->SetInterest(id, Readiness::kWrite);
  EXPECT_TRUE(RunUntil([&] { return writes == 1; }));
  Settle();
  EXPECT_EQ(writes, 1);
  loop_->Unwatch(id);
}

TEST_P(EventLoopContract, WatchRemovedByAnEarlierCallbackIsNotCalledInTheSameTurn) {
  SocketPair one;
  SocketPair two;
  int calls = 0;
  WatchId a = kNoWatch;
  WatchId b = kNoWatch;
  auto unwatch_both = [&](Readiness) {
    ++calls;
    loop_->Unwatch(a);
    loop_->Unwatch(b);
  };
  a = loop_->Watch(one.near(), Readiness::kRead, unwatch_both);
  b = loop_->Watch(two.near(), Readiness::kRead, unwatch_both);
  one.Write();
  two.Write();
  Settle();
  EXPECT_EQ(calls, 1);
}

TEST_P(EventLoopContract, WatchNarrowedByAnEarlierCallbackIsNotCalledInTheSameTurn) {
  SocketPair one;
  SocketPair two;
  int calls = 0;
  WatchId a = kNoWatch;
  WatchId b = kNoWatch;
  auto narrow_both = [&](Readiness) {
    ++calls;
    loop_->SetInterest(a, Readiness::kNone);
    loop_->SetInterest(b, Readiness::kNone);
  };
  a = loop_->Watch(one.near(), Readiness::kRead, narrow_both);
  b = loop_->Watch(two.near(), Readiness::kRead, narrow_both);
  one.Write();
  two.Write();
  Settle();
  EXPECT_EQ(calls, 1);
  loop_->Unwatch(a);
  loop_->Unwatch(b);
}

TEST_P(EventLoopContract, UnwatchInsideItsOwnCallbackStopsItForGood) {
  SocketPair pair;
  int calls = 0;
  const std::string name = "a capture long enough to live on the heap, not in the object";
  std::string seen;
  WatchId id = kNoWatch;
  id = loop_->Watch(pair.near(), Readiness::kRead, [&, name](Readiness) {
    ++calls;
    loop_->Unwatch(id);
    seen = name;  // the callback must outlive its own Unwatch
  });
  pair.Write();  // never read: still readable after the Unwatch
  EXPECT_TRUE(RunUntil([&] { return calls == 1; }));
  Settle();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, name);
}

TEST_P(EventLoopContract, DescriptorWatchedAgainInsideItsOldCallbackReportsToTheNewOne) {
  SocketPair pair;
  int old_calls = 0;
  int new_calls = 0;
  WatchId old_id = kNoWatch;
  WatchId new_id = kNoWatch;
  old_id = loop_->Watch(pair.near(), Readiness::kRead, [&](Readiness) {
    ++old_calls;
    loop_->Unwatch(old_id);
    new_id = loop_->Watch(pair.near(), Readiness::kRead, [&](Readiness) {
      if (++new_calls == 2) pair.ReadOne();
    });
  });
  pair.Write();
  EXPECT_TRUE(RunUntil([&] { return new_calls == 2; }));
  EXPECT_EQ(old_calls, 1);
  loop_->Unwatch(new_id);
}

TEST_P(EventLoopContract, HangUpIsReportedAsReadableWithoutDataOnly) {
  SocketPair pair;
  bool called = false;
  Readiness ready = Readiness::kNone;
  const WatchId id = loop_->Watch(pair.near(), Readiness::kRead, [&](Readiness r) {
    called = true;
    ready = r;
    loop_->Quit();
  });
  pair.CloseFar();
  EXPECT_TRUE(RunUntil([&] { return called; }));
  EXPECT_TRUE(Has(ready, Readiness::kRead));
  EXPECT_FALSE(Has(ready, Readiness::kDataOnly)) << "the peer has closed: there may be no data";
  loop_->Unwatch(id);
}

TEST_P(EventLoopContract, DataIsReportedAsReadableAndDataOnlyNeverComesAlone) {
  SocketPair pair;
  bool called = false;
  Readiness ready = Readiness::kNone;
  const WatchId id =
      loop_->Watch(pair.near(), Readiness::kRead | Readiness::kWrite, [&](Readiness r) {
        if (Has(r, Readiness::kDataOnly) && !Has(r, Readiness::kRead)) ADD_FAILURE() << "alone";
        if (!Has(r, Readiness::kRead)) return;
        called = true;
        ready = r;
        loop_->Quit();
      });
  pair.Write();
  EXPECT_TRUE(RunUntil([&] { return called; }));
  EXPECT_TRUE(Has(ready, Readiness::kRead));
  loop_->Unwatch(id);
}

TEST_P(EventLoopContract, FailedConnectIsReportedToTheSideAskedFor) {
  // A port nobody listens on: bound, then released.
  int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  socklen_t len = sizeof sa;
  ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&sa), &len), 0);
  close(probe);

  for (Readiness interest : {Readiness::kRead, Readiness::kWrite}) {
    SCOPED_TRACE(interest == Readiness::kRead ? "read" : "write");
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ASSERT_GE(fd, 0);
    const int rc = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    ASSERT_TRUE(rc == 0 || errno == EINPROGRESS || errno == ECONNREFUSED);
    bool called = false;
    Readiness ready = Readiness::kNone;
    const WatchId id = loop_->Watch(fd, interest, [&](Readiness r) {
      called = true;
      ready = r;
    });
    EXPECT_TRUE(RunUntil([&] { return called; }));
    EXPECT_EQ(ready & (Readiness::kRead | Readiness::kWrite), interest);
    EXPECT_FALSE(Has(ready, Readiness::kDataOnly));
    loop_->Unwatch(id);
    close(fd);
  }
}

// --- Lifetime ---

TEST_P(EventLoopContract, UnwatchAndStopTimerLetGoOfTheirCallbacks) {
  SocketPair pair;
  auto token = std::make_shared<int>(0);
  const WatchId watch = loop_->Watch(pair.near(), Readiness::kRead, [token](Readiness) {});
  const TimerId timer = loop_->StartTimer(1h, TimerKind::kRepeating, [token] {});
  EXPECT_EQ(token.use_count(), 3);
  loop_->Unwatch(watch);
  loop_->StopTimer(timer);
  EXPECT_EQ(token.use_count(), 1);
}

TEST_P(EventLoopContract, DestroyingTheLoopWithLiveWatchesTimersAndPostsLetsGoOfThem) {
  SocketPair pair;
  auto token = std::make_shared<int>(0);
  bool called = false;
  loop_->Watch(pair.near(), Readiness::kRead | Readiness::kWrite,
               [token, &called](Readiness) { called = true; });
  loop_->StartTimer(0ms, TimerKind::kRepeating, [token, &called] { called = true; });
  loop_->StartTimer(1h, TimerKind::kOneShot, [token, &called] { called = true; });
  loop_->Post([token, &called] { called = true; });
  pair.Write();
  loop_.reset();
  EXPECT_EQ(token.use_count(), 1);
  EXPECT_FALSE(called);
}

}  // namespace net::contract
