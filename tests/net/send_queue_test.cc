#include "net/send_queue.h"

#include <string>

#include <gtest/gtest.h>

namespace net {
namespace {

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
  std::string partly_sent = "0123456789";
  q.Append(std::move(partly_sent), 4);
  EXPECT_EQ(q.Size(), 2u + 100000u + 2u + 6u);
  const std::string out = Drain(q, 777);
  EXPECT_EQ(out.substr(0, 3), "abS");
  EXPECT_EQ(out.substr(2 + 99999, 3), "Ecd");
  EXPECT_EQ(out.substr(out.size() - 6), "456789");
  EXPECT_EQ(out.size(), 100010u);
}

TEST(SendQueue, BufferHandedToAnEmptyQueueStartsAfterItsSentBytes) {
  SendQueue q;
  q.Append(std::string("already sent|rest"), 13);
  EXPECT_EQ(q.Front(), "rest");
  EXPECT_EQ(q.Size(), 4u);
  q.Append(std::string("all sent"), 8);
  EXPECT_EQ(q.Size(), 4u);
}

TEST(SendQueue, ConsumeAcrossBuffersAndClear) {
  SendQueue q;
  for (int i = 0; i < 10; ++i) q.Append(std::string(70000, static_cast<char>('a' + i)), 0);
  q.Consume(140001);
  EXPECT_EQ(q.Front().substr(0, 1), "c");
  EXPECT_EQ(q.Size(), 700000u - 140001u);
  q.Consume(10000000);
  EXPECT_TRUE(q.Empty());
  EXPECT_EQ(q.Front(), "");
  q.Append("x");
  q.Clear();
  EXPECT_EQ(q.Size(), 0u);
}

}  // namespace
}  // namespace net
