// The socket layer's containers: the receive queue, the send queue and the routing table.
#include <string>

#include <gtest/gtest.h>

#include "common/process.h"
#include "net/byte_queue.h"
#include "net/routing_table.h"
#include "net/send_queue.h"

namespace net {
namespace {

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

TEST(ByteQueue, DrainingInSmallStepsWhileFillingKeepsContentsIntact) {
  // Interleaved fills and partial drains exercise the compaction and growth paths.
  ByteQueue q;
  std::string expected;
  std::string taken;
  for (int round = 0; round < 2000; ++round) {
    const std::string piece = test_common::RandomBytes(round % 97 + 1, round);
    q.Append(piece);
    expected += piece;
    taken += q.Take(static_cast<std::size_t>(round % 89 + 1));
  }
  taken += q.Take(q.Size());
  EXPECT_EQ(taken, expected);
}

/// Drains the queue the way the send pump does: front piece by front piece, in sends
/// of at most `step` bytes.
std::string Drain(SendQueue& q, std::size_t step) {
  std::string out;
  while (!q.Empty()) {
    const std::string_view front = q.Front();
    EXPECT_FALSE(front.empty());
    const std::size_t n = std::min(step, front.size());
    out.append(front.substr(0, n));
    q.Consume(n);
  }
  return out;
}

TEST(SendQueue, CopiedAndHandedOverBuffersComeOutInOrder) {
  SendQueue q;
  q.Append("ab");
  std::string big(100000, 'x');
  big[0] = 'S';
  big.back() = 'E';
  q.Append(std::move(big), 0);
  q.Append("cd");
  q.Append(std::string("0123456789"), 4);  // partly sent already
  EXPECT_EQ(q.Size(), 2u + 100000u + 2u + 6u);
  const std::string out = Drain(q, 777);
  EXPECT_EQ(out.substr(0, 3), "abS");
  EXPECT_EQ(out.substr(2 + 99999, 3), "Ecd");
  EXPECT_EQ(out.substr(out.size() - 6), "456789");
  EXPECT_EQ(out.size(), 100010u);
}

TEST(SendQueue, HandedOverHeadSkipsItsSentBytesAndConsumeCrossesBuffers) {
  SendQueue q;
  q.Append(std::string("already sent|rest"), 13);
  EXPECT_EQ(q.Front(), "rest");
  q.Append(std::string("all sent"), 8);
  EXPECT_EQ(q.Size(), 4u);
  q.Clear();
  for (int i = 0; i < 10; ++i) q.Append(std::string(70000, static_cast<char>('a' + i)), 0);
  q.Consume(140001);
  EXPECT_EQ(q.Front().substr(0, 1), "c");
  EXPECT_EQ(q.Size(), 700000u - 140001u);
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
