// Below the socket object: the poll loop (the loop contract and RunOnce), the notifier that
// turns readiness into socket events, and the receive queue, the send queue and the routing
// table.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "net/byte_queue.h"
#include "net/event_loop_contract.h"
#include "net/poll_event_loop.h"
#include "net/routing_table.h"
#include "net/send_queue.h"
#include "net/socket_api.h"
#include "net/socket_notifier.h"
#include "net_test_support.h"

namespace net {
namespace {

using contract::EventLoopContract;
using namespace std::chrono_literals;
using testing::RawSocket;

std::unique_ptr<EventLoop> MakePollEventLoop() { return std::make_unique<PollEventLoop>(); }

INSTANTIATE_TEST_SUITE_P(PollEventLoop, EventLoopContract, ::testing::Values(&MakePollEventLoop));

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
  loop_.Post([] {});
  EXPECT_TRUE(loop_.RunOnce(0ms)) << "RunOnce answers whether a callback ran";
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
    RawSocket peer;
    fd = ConnectedPair(peer);
    notifier.Select(fd, SocketRole::kConnected);
    ASSERT_TRUE(loop->RunUntil([&] { return !events.empty(); }, testing::kPatience));
    peer.Send("tail");
    peer.Close();
    EXPECT_TRUE(loop->RunUntil([&] { return events.back() == kFdClose; }, testing::kPatience));
    notifier.Reenable(fd, kFdRead);  // nothing can be read after the end of stream
    loop->RunUntil([] { return false; }, 30ms);
    EXPECT_EQ(events, (std::vector<int>{kFdWrite, kFdRead, kFdClose}));
    notifier.Forget(fd);
  }
}

TEST(ByteQueue, KeepsBytesInOrderAcrossAppendsTakesAndThePreparedTail) {
  ByteQueue q;
  q.Append("hello ");
  q.Append(std::string("\0\xff", 2));
  char* tail = q.PrepareTail(1000);
  tail[0] = 'w';
  q.Commit(1);  // only as far as written
  q.Append("orld");
  EXPECT_EQ(q.Size(), 13u);
  EXPECT_EQ(q.Take(6), "hello ");
  EXPECT_EQ(q.Take(2), std::string("\0\xff", 2));
  EXPECT_EQ(q.View(), "world");
  q.Consume(1);
  EXPECT_EQ(q.Take(100), "orld");
  EXPECT_TRUE(q.Empty());
  q.Append("abc");
  q.Consume(10);
  EXPECT_TRUE(q.Empty());
  q.Append("x");
  q.Clear();
  EXPECT_EQ(q.View(), "");
}

// The order of copied and handed-over pieces, and a partly sent head, are checked through
// the socket's own sends; these are the edges its pump never reaches.
TEST(SendQueue, HandedOverHeadSkipsItsSentBytesAndConsumeCrossesBuffers) {
  SendQueue q;
  q.Append(std::string("already sent|rest"), 13);
  EXPECT_EQ(q.Front(), "rest");
  q.Append(std::string("all sent"), 8);
  EXPECT_EQ(q.Size(), 4u);
  q.Clear();
  q.Append("ab");
  for (int i = 0; i < 10; ++i) q.Append(std::string(70000, static_cast<char>('a' + i)), 0);
  q.Consume(140003);
  EXPECT_EQ(q.Front().substr(0, 1), "c");
  EXPECT_EQ(q.Size(), 700002u - 140003u);
  q.Consume(10000000);
  EXPECT_TRUE(q.Empty());
  EXPECT_EQ(q.Front(), "");
}

struct Owner {
  int id;
};

TEST(RoutingTable, HandleKeepsItsFirstOwnerUntilRemovedAndAFreedSlotTakesANewOne) {
  Owner a{1}, b{2}, c{3};
  RoutingTable<Owner> table;
  table.Add(7, &a);
  table.Add(7, &b);
  table.Add(8, &b);
  EXPECT_EQ(table.Find(7), &a);
  table.Remove(7);
  table.Remove(99);  // unknown: ignored
  EXPECT_EQ(table.Find(7), nullptr) << "no second entry hides behind the first";
  EXPECT_EQ(table.Find(8), &b);
  EXPECT_EQ(table.Find(-1), nullptr) << "a free slot is never found";
  table.Add(8, &c);  // the freed slot comes first: the new owner wins there
  EXPECT_EQ(table.Find(8), &c);
  table.Remove(8);
  EXPECT_EQ(table.Find(8), nullptr) << "removing a handle clears every slot holding it";
  table.Add(9, &c);
  table.Add(10, &a);
  table.Reassign(10, &b);
  table.Reassign(11, &c);
  EXPECT_EQ(table.Find(9), &c);
  EXPECT_EQ(table.Find(10), &b);
  EXPECT_EQ(table.Find(11), nullptr);
  table.Reset();
  EXPECT_EQ(table.Find(9), nullptr);
}

}  // namespace
}  // namespace net
