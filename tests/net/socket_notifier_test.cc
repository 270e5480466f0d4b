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
class NotifierTest : public testing::LoopTest {
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

  /// A connected loopback TCP pair: a non-blocking end for the notifier, a plain peer.
  int ConnectedPair(RawSocket& peer) {
    RawSocket listener = RawSocket::Listen();
    owned_.push_back(testing::ConnectNonBlocking(listener.Port()));
    peer = listener.Accept();
    return owned_.back();
  }

  std::vector<std::tuple<int, int, int>> seen_;
  std::function<void(int fd, int event)> on_event_;
  SocketNotifier notifier_;
  std::vector<int> owned_;
};

TEST_F(NotifierTest, ConnectThenWriteAndReadComeOnceUntilReenabled) {
  RawSocket peer;
  const int fd = ConnectedPair(peer);
  notifier_.Select(fd, SocketRole::kConnecting);
  ASSERT_TRUE(Until([&] { return Count(kFdWrite) == 1; }));
  EXPECT_EQ(seen_.front(), std::make_tuple(fd, int{kFdConnect}, 0));
  Settle();
  EXPECT_EQ(Count(kFdWrite), 1);
  notifier_.Reenable(fd, kFdWrite);
  ASSERT_TRUE(Until([&] { return Count(kFdWrite) == 2; }));
  peer.Send("data");
  ASSERT_TRUE(Until([&] { return Count(kFdRead) == 1; }));
  Settle();
  EXPECT_EQ(Count(kFdRead), 1) << "an owner that does not receive is not woken again";
  EXPECT_FALSE(loop_.RunOnce(0ms)) << "nothing is delivered while the read is not re-armed";
  notifier_.Reenable(fd, kFdRead);  // as a receive would
  ASSERT_TRUE(Until([&] { return Count(kFdRead) == 2; })) << "the data is still there";
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
  owned_.push_back(testing::ConnectNonBlocking(testing::UnusedPort()));
  const int fd = owned_.back();
  notifier_.Select(fd, SocketRole::kConnecting);
  ASSERT_TRUE(Until([&] { return !seen_.empty(); }));
  EXPECT_EQ(seen_[0], std::make_tuple(fd, int{kFdConnect}, 10061));
  Settle();
  EXPECT_EQ(seen_.size(), 1u);
}

TEST_F(NotifierTest, SinkMayForgetTheSocketItIsToldAbout) {
  RawSocket peer;
  const int fd = ConnectedPair(peer);
  notifier_.Select(fd, SocketRole::kConnected);
  on_event_ = [&](int f, int) { notifier_.Forget(f); };
  peer.Send("x");
  ASSERT_TRUE(Until([&] { return !seen_.empty(); }));
  Settle();
  EXPECT_EQ(seen_.size(), 1u);
  EXPECT_FALSE(notifier_.IsSelected(fd));
  EXPECT_EQ(loop_.WatchCount(), 0u);
}

/// A loop like a toolkit's that cannot tell data from an end of stream: it never
/// reports kDataOnly.
class PlainLoop : public PollEventLoop {
 public:
  WatchId Watch(int fd, Readiness interest, ReadyCallback callback) override {
    return PollEventLoop::Watch(fd, interest, [callback](Readiness r) {
      callback(static_cast<Readiness>(static_cast<unsigned>(r) & ~4u));
    });
  }
};

TEST_F(NotifierTest, CloseComesOnceAfterTheDataBeforeItWhetherTheLoopTellsDataApartOrNot) {
  PlainLoop plain;
  for (PollEventLoop* loop : {&loop_, static_cast<PollEventLoop*>(&plain)}) {
    SCOPED_TRACE(loop == &plain ? "plain loop" : "poll loop");
    std::vector<int> events;
    int fd = -1;
    SocketNotifier notifier(*loop, [&](int, int event, int) {
      events.push_back(event);
      if (event != kFdRead) return;
      char buf[64];
      std::size_t got = 0;
      sys::Receive(fd, buf, sizeof buf, false, &got);
      notifier.Reenable(fd, kFdRead);
    });
    RawSocket listener = RawSocket::Listen();
    fd = testing::ConnectNonBlocking(listener.Port());
    RawSocket peer = listener.Accept();
    notifier.Select(fd, SocketRole::kConnected);
    ASSERT_TRUE(loop->RunUntil([&] { return !events.empty(); }, testing::kPatience));
    peer.Send("tail");
    peer.Close();
    EXPECT_TRUE(loop->RunUntil([&] { return events.back() == kFdClose; }, testing::kPatience));
    notifier.Reenable(fd, kFdRead);  // nothing can be read after the end of stream
    loop->RunUntil([] { return false; }, 30ms);
    EXPECT_EQ(events, (std::vector<int>{kFdWrite, kFdRead, kFdClose}));
    notifier.Forget(fd);
    close(fd);
  }
}

}  // namespace
}  // namespace net
