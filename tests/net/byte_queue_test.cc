#include "net/byte_queue.h"

#include <string>

#include <gtest/gtest.h>

namespace net {
namespace {

TEST(ByteQueue, KeepsBytesInOrderAcrossAppendsAndTakes) {
  ByteQueue q;
  q.Append("hello ");
  q.Append(std::string("\0\xff", 2));
  q.Append("world");
  EXPECT_EQ(q.Size(), 13u);
  EXPECT_EQ(q.Take(6), "hello ");
  EXPECT_EQ(q.Take(2), std::string("\0\xff", 2));
  EXPECT_EQ(q.View(), "world");
  EXPECT_EQ(q.Take(100), "world");
  EXPECT_TRUE(q.Empty());
}

TEST(ByteQueue, PreparedTailIsCommittedOnlyAsFarAsWritten) {
  ByteQueue q;
  q.Append("ab");
  char* tail = q.PrepareTail(1000);
  tail[0] = 'c';
  q.Commit(1);
  EXPECT_EQ(q.View(), "abc");
}

TEST(ByteQueue, DrainingInSmallStepsWhileFillingKeepsContentsIntact) {
  // Interleaved fills and partial drains exercise the compaction and growth paths.
  ByteQueue q;
  std::string expected;
  std::string taken;
  unsigned char next = 0;
  for (int round = 0; round < 2000; ++round) {
    std::string piece(static_cast<std::size_t>(round % 97 + 1), '\0');
    for (char& c : piece) c = static_cast<char>(next++);
    q.Append(piece);
    expected += piece;
    taken += q.Take(static_cast<std::size_t>(round % 89 + 1));
  }
  taken += q.Take(q.Size());
  EXPECT_EQ(taken, expected);
}

TEST(ByteQueue, ConsumeBeyondSizeEmptiesAndClearReleases) {
  ByteQueue q;
  q.Append("abc");
  q.Consume(10);
  EXPECT_TRUE(q.Empty());
  q.Append("x");
  q.Clear();
  EXPECT_EQ(q.Size(), 0u);
  EXPECT_EQ(q.View(), "");
}

}  // namespace
}  // namespace net
