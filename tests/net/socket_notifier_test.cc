#include "net/socket_notifier.h"

#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "net/poll_event_loop.h"
#include "net/socket_api.h"
#include "net_test_support.h"

namespace net {
namespace {

using namespace std::chrono_literals;
using testing::RawSocket;

/// A notifier whose sink records (event, error) and receives nothing on its own.
class NotifierTest : public ::testing::Test {
 protected:
  NotifierTest()
      : notifier_(loop_, [this](int fd, int event, int error) {
          seen_.emplace_back(fd, event, error);
          if (on_event_) on_event_(fd, event);
        }) {}
  ~NotifierTest() override {
    for (int fd : owned_) {
      notifier_.Forget(fd);
      close(fd);
    }
  }

  int Count(int event) const {
    int n = 0;
    for (const auto& [fd, e, err] : seen_) n += e == event ? 1 : 0;
    return n;
  }
  void Run(std::chrono::milliseconds span = 30ms) {
    loop_.RunUntil([] { return false; }, span);
  }
  bool Until(const std::function<bool()>& done) { return loop_.RunUntil(done, testing::kPatience); }

  /// A connected loopback TCP pair: a non-blocking end for the notifier, a plain peer.
  int ConnectedPair(RawSocket& peer) {
    RawSocket listener = RawSocket::Listen();
    int fd = -1;
    EXPECT_EQ(sys::CreateSocket(sys::SocketKind::kStream, &fd), 0);
    std::uint32_t lo = 0;
    sys::ParseDotted("127.0.0.1", &lo);
    const int rc = sys::Connect(fd, sys::Endpoint{lo, static_cast<std::uint16_t>(listener.Port())});
    EXPECT_TRUE(rc == 0 || rc == 10035);
    peer = listener.Accept();
    owned_.push_back(fd);
    return fd;
  }

  PollEventLoop loop_;
  std::vector<std::tuple<int, int, int>> seen_;
  std::function<void(int fd, int event)> on_event_;
  SocketNotifier notifier_;
  std::vector<int> owned_;
};

TEST_F(NotifierTest, ReadIsReportedOnceUntilTheOwnerReceives) {
  RawSocket peer;
  const int fd = ConnectedPair(peer);
  notifier_.Select(fd, SocketRole::kConnected);
  peer.Send("data");
  ASSERT_TRUE(Until([&] { return Count(kFdRead) == 1; }));
  Run();
  EXPECT_EQ(Count(kFdRead), 1) << "an owner that does not receive is not woken again";
  EXPECT_FALSE(loop_.RunOnce(0ms)) << "nothing is delivered while the read is not re-armed";
  notifier_.Reenable(fd, kFdRead);  // as a receive would
  ASSERT_TRUE(Until([&] { return Count(kFdRead) == 2; })) << "the data is still there";
}

TEST_F(NotifierTest, WriteComesOnceAfterTheConnectAndAgainOnlyWhenReenabled) {
  RawSocket peer;
  const int fd = ConnectedPair(peer);
  notifier_.Select(fd, SocketRole::kConnecting);
  ASSERT_TRUE(Until([&] { return Count(kFdWrite) == 1; }));
  EXPECT_EQ(seen_.front(), std::make_tuple(fd, int{kFdConnect}, 0));
  Run();
  EXPECT_EQ(Count(kFdWrite), 1);
  notifier_.Reenable(fd, kFdWrite);
  ASSERT_TRUE(Until([&] { return Count(kFdWrite) == 2; }));
}

TEST_F(NotifierTest, CloseComesOnceAndOnlyAfterTheDataBeforeIt) {
  RawSocket peer;
  const int fd = ConnectedPair(peer);
  notifier_.Select(fd, SocketRole::kConnected);
  on_event_ = [&](int, int event) {
    if (event != kFdRead) return;
    char buf[64];
    std::size_t got = 0;
    sys::Receive(fd, buf, sizeof buf, false, &got);
    notifier_.Reenable(fd, kFdRead);
  };
  peer.Send("tail");
  peer.Close();
  ASSERT_TRUE(Until([&] { return Count(kFdClose) == 1; }));
  Run();
  EXPECT_EQ(Count(kFdClose), 1);
  EXPECT_EQ(Count(kFdRead), 1);
  EXPECT_LT(std::get<1>(seen_[0]), kFdClose) << "data first, then the close";
  notifier_.Reenable(fd, kFdRead);
  Run();
  EXPECT_EQ(Count(kFdRead), 1) << "nothing can be read after the end of stream";
}

TEST_F(NotifierTest, ResetPeerGivesCloseWithError10054) {
  RawSocket peer;
  const int fd = ConnectedPair(peer);
  notifier_.Select(fd, SocketRole::kConnected);
  ASSERT_TRUE(Until([&] { return Count(kFdWrite) == 1; }));
  peer.Reset();
  ASSERT_TRUE(Until([&] { return Count(kFdClose) == 1; }));
  EXPECT_EQ(std::get<2>(seen_.back()), 10054);
}

TEST_F(NotifierTest, FailedConnectGivesConnectWithTheError) {
  int fd = -1;
  ASSERT_EQ(sys::CreateSocket(sys::SocketKind::kStream, &fd), 0);
  owned_.push_back(fd);
  std::uint32_t lo = 0;
  sys::ParseDotted("127.0.0.1", &lo);
  sys::Connect(fd, sys::Endpoint{lo, static_cast<std::uint16_t>(testing::UnusedPort())});
  notifier_.Select(fd, SocketRole::kConnecting);
  ASSERT_TRUE(Until([&] { return !seen_.empty(); }));
  EXPECT_EQ(seen_[0], std::make_tuple(fd, int{kFdConnect}, 10061));
  Run();
  EXPECT_EQ(seen_.size(), 1u);
}

TEST_F(NotifierTest, SinkMayForgetTheSocketItIsToldAbout) {
  RawSocket peer;
  const int fd = ConnectedPair(peer);
  notifier_.Select(fd, SocketRole::kConnected);
  on_event_ = [&](int f, int) { notifier_.Forget(f); };
  peer.Send("x");
  ASSERT_TRUE(Until([&] { return !seen_.empty(); }));
  Run();
  EXPECT_EQ(seen_.size(), 1u);
  EXPECT_FALSE(notifier_.IsSelected(fd));
  EXPECT_EQ(loop_.WatchCount(), 0u);
}

/// A loop like a toolkit's that cannot tell data from an end of stream: it never
/// reports kDataOnly.
class PlainLoop : public EventLoop {
 public:
  WatchId Watch(int fd, Readiness interest, ReadyCallback callback) override {
    return inner.Watch(fd, interest, [callback](Readiness r) {
      callback(static_cast<Readiness>(static_cast<unsigned>(r) & ~4u));
    });
  }
  void SetInterest(WatchId id, Readiness interest) override { inner.SetInterest(id, interest); }
  void Unwatch(WatchId id) override { inner.Unwatch(id); }
  TimerId StartTimer(std::chrono::milliseconds interval, TimerKind kind,
                     std::function<void()> callback) override {
    return inner.StartTimer(interval, kind, std::move(callback));
  }
  void StopTimer(TimerId id) override { inner.StopTimer(id); }
  void Post(std::function<void()> fn) override { inner.Post(std::move(fn)); }
  void Run() override { inner.Run(); }
  void Quit() override { inner.Quit(); }
  PollEventLoop inner;
};

TEST(NotifierOnAPlainLoop, DataThenCloseAreToldApartByProbing) {
  PlainLoop loop;
  std::vector<int> events;
  int fd = -1;
  SocketNotifier notifier(loop, [&](int, int event, int) {
    events.push_back(event);
    if (event == kFdRead) {
      char buf[64];
      std::size_t got = 0;
      sys::Receive(fd, buf, sizeof buf, false, &got);
      notifier.Reenable(fd, kFdRead);
    }
  });
  RawSocket listener = RawSocket::Listen();
  ASSERT_EQ(sys::CreateSocket(sys::SocketKind::kStream, &fd), 0);
  std::uint32_t lo = 0;
  sys::ParseDotted("127.0.0.1", &lo);
  sys::Connect(fd, sys::Endpoint{lo, static_cast<std::uint16_t>(listener.Port())});
  RawSocket peer = listener.Accept();
  notifier.Select(fd, SocketRole::kConnected);
  peer.Send("abc");
  peer.Close();
  loop.inner.RunUntil([&] { return events.size() >= 3; }, testing::kPatience);
  loop.inner.RunUntil([] { return false; }, 30ms);
  EXPECT_EQ(events, (std::vector<int>{kFdRead, kFdWrite, kFdClose}));
  notifier.Forget(fd);
  close(fd);
}

}  // namespace
}  // namespace net
