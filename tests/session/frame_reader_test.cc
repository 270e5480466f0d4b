#include "session/frame_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/protocol.h"

namespace session {
namespace {

using Status = FrameReader::Status;

/// Feeds `wire` in pieces of `step` bytes and collects every frame payload.
std::vector<std::string> ReadAll(FrameReader& reader, std::string_view wire, std::size_t step) {
  std::vector<std::string> payloads;
  for (std::size_t at = 0; at < wire.size(); at += step) {
    reader.Feed(wire.substr(at, step));
    while (true) {
      const auto result = reader.Next();
      if (result.status == Status::kNeedMore) break;
      EXPECT_EQ(result.status, Status::kFrame) << result.error;
      if (result.status != Status::kFrame) return payloads;
      payloads.push_back(reader.TakePayload(result.payload));
    }
  }
  return payloads;
}

class FrameReaderAssembly : public ::testing::Test {};

TEST_F(FrameReaderAssembly, OneDeliveryWithPrefixIsDispatchedAtOnce) {
  FrameReader reader;
  reader.Feed("12|LIST|\\|False");
  const auto result = reader.Next();
  ASSERT_EQ(result.status, Status::kFrame);
  EXPECT_EQ(result.payload, "LIST|\\|False");
  EXPECT_EQ(reader.Next().status, Status::kNeedMore);
}

TEST_F(FrameReaderAssembly, EverySplitOfSeveralFramesGivesTheSameFrames) {
  const std::vector<std::string> payloads = {"LOGINOK|0|1000|True|False", "DEALEROK", "",
                                             "LIST|a|1|20240101000000\r\nb|0|",
                                             "PCINFO|\xC1\xE8\xE7\xED\xDC|x|1|2|1.02.3"};
  std::string wire;
  for (const auto& p : payloads) wire += FrameMessage(p);
  for (std::size_t step = 1; step <= wire.size(); ++step) {
    FrameReader reader;
    EXPECT_EQ(ReadAll(reader, wire, step), payloads) << "pieces of " << step;
    EXPECT_FALSE(reader.InFrame());
  }
}

TEST_F(FrameReaderAssembly, ALargeFrameHandedOverLeavesTheFollowingBytesInPlace) {
  const std::string big(100 * 1024, 'x');
  const std::string wire = std::to_string(big.size()) + "|" + big + "3|abc5|hel";
  for (const std::size_t step : {wire.size(), std::size_t{70000}, std::size_t{4096}}) {
    SCOPED_TRACE(step);
    FrameReader reader;
    EXPECT_EQ(ReadAll(reader, wire, step), (std::vector<std::string>{big, "abc"}));
    reader.Feed("lo");
    const auto next = reader.Next();
    ASSERT_EQ(next.status, Status::kFrame);
    EXPECT_EQ(next.payload, "hello");
  }
}

TEST_F(FrameReaderAssembly, PrefixSplitBeforeTheBarWaitsForMore) {
  FrameReader reader;
  reader.Feed("1");
  EXPECT_EQ(reader.Next().status, Status::kNeedMore);
  reader.Feed("5|DEALERS ");
  EXPECT_EQ(reader.Next().status, Status::kNeedMore);
  EXPECT_TRUE(reader.InFrame());
  EXPECT_EQ(reader.Announced(), 15);
  reader.Feed("FOLDER");
  EXPECT_EQ(reader.Next().status, Status::kNeedMore);
  reader.Feed("!");  // 15 characters: "DEALERS FOLDER!" is not a real keyword but is a frame
  EXPECT_EQ(reader.Next().payload, "DEALERS FOLDER!");
}

TEST_F(FrameReaderAssembly, BytesBeyondTheFrameStayBufferedForARawStream) {
  FrameReader reader;
  reader.Feed(FrameMessage("DO UPLOAD") + std::string("\x00\x01raw", 5));
  ASSERT_EQ(reader.Next().status, Status::kFrame);
  EXPECT_EQ(reader.Buffered(), std::string_view("\x00\x01raw", 5));
  reader.Discard(2);
  EXPECT_EQ(reader.Buffered(), "raw");
  reader.Discard(100);
  EXPECT_TRUE(reader.Buffered().empty());
}

TEST_F(FrameReaderAssembly, PayloadMayHoldAnyByteIncludingBarsAndNul) {
  std::string password("\x00|\xFF\r\n", 5);
  FrameReader reader;
  reader.Feed(FrameMessage("LOGIN|5|demo|" + password));
  const auto result = reader.Next();
  ASSERT_EQ(result.status, Status::kFrame);
  EXPECT_EQ(result.payload.size(), 13 + password.size());
}

class FrameReaderTokens : public ::testing::Test {};

TEST_F(FrameReaderTokens, PingAndPongAtFrameBoundariesAreTokens) {
  FrameReader reader(FrameReader::Tokens::kKeepAlive);
  reader.Feed("PING" + FrameMessage("TOTALSIZE") + "PO");
  EXPECT_EQ(reader.Next().status, Status::kPing);
  EXPECT_EQ(reader.Next().payload, "TOTALSIZE");
  EXPECT_EQ(reader.Next().status, Status::kNeedMore);
  reader.Feed("NG");
  EXPECT_EQ(reader.Next().status, Status::kPong);
}

TEST_F(FrameReaderTokens, PingInsideAPayloadIsPayload) {
  FrameReader reader(FrameReader::Tokens::kKeepAlive);
  reader.Feed("4|PING");
  const auto result = reader.Next();
  EXPECT_EQ(result.status, Status::kFrame);
  EXPECT_EQ(result.payload, "PING");
}

class FrameReaderMalformed : public ::testing::Test {};

TEST_F(FrameReaderMalformed, PrefixThatIsNotACanonicalNumberFails) {
  struct Case {
    std::string wire;
    FrameReader::Tokens tokens;
  };
  for (const Case& c : {
           Case{"x|ab", FrameReader::Tokens::kFramesOnly},
           Case{"1a|b", FrameReader::Tokens::kFramesOnly},
           Case{"|abc", FrameReader::Tokens::kFramesOnly},
           Case{"-1|", FrameReader::Tokens::kFramesOnly},
           Case{" 3|abc", FrameReader::Tokens::kFramesOnly},
           Case{"+3|abc", FrameReader::Tokens::kFramesOnly},
           Case{"04|LIST", FrameReader::Tokens::kFramesOnly},  // a leading zero
           Case{"PING", FrameReader::Tokens::kFramesOnly},     // no keep-alive tokens here
           Case{"PINK", FrameReader::Tokens::kKeepAlive},      // other letters where a frame starts
           // More digits than the limit can have: refused as soon as they are seen.
           Case{"999999999999999999999999", FrameReader::Tokens::kFramesOnly},
           Case{"999999999|", FrameReader::Tokens::kFramesOnly},
       }) {
    FrameReader reader(c.tokens);
    reader.Feed(c.wire);
    EXPECT_EQ(reader.Next().status, Status::kMalformed) << c.wire;
  }
}

TEST_F(FrameReaderMalformed, ZeroLengthIsAnEmptyFrame) {
  FrameReader reader;
  reader.Feed("0|");
  const auto result = reader.Next();
  EXPECT_EQ(result.status, Status::kFrame);
  EXPECT_TRUE(result.payload.empty());
}

TEST_F(FrameReaderMalformed, LengthAboveTheLimitFailsBeforeThePayloadArrives) {
  FrameReader reader(FrameReader::Tokens::kFramesOnly, 1000);
  reader.Feed("1001|");
  const auto result = reader.Next();
  EXPECT_EQ(result.status, Status::kMalformed);
  EXPECT_FALSE(result.error.empty());
}

TEST_F(FrameReaderMalformed, LengthAtTheLimitIsAccepted) {
  FrameReader reader(FrameReader::Tokens::kFramesOnly, 1000);
  reader.Feed("1000|" + std::string(1000, 'a'));
  EXPECT_EQ(reader.Next().payload.size(), 1000u);
}

TEST_F(FrameReaderMalformed, FailureIsStickyUntilReset) {
  FrameReader reader;
  reader.Feed("x|");
  EXPECT_EQ(reader.Next().status, Status::kMalformed);
  reader.Feed(FrameMessage("TOTALSIZE"));
  EXPECT_EQ(reader.Next().status, Status::kMalformed);
  EXPECT_TRUE(reader.Failed());
  reader.Reset();
  reader.Feed(FrameMessage("TOTALSIZE"));
  EXPECT_EQ(reader.Next().payload, "TOTALSIZE");
}

TEST_F(FrameReaderMalformed, DefaultLimitHoldsAListOfAHundredThousandLongRows) {
  // A row with a 255-character name, a 19-digit size and a 260-character link.
  const std::string row =
      std::string(255, 'n') + "|9223372036854775807||\\" + std::string(258, 'l') + "\\";
  std::int64_t total = 5;  // "LIST|"
  total += 100000 * static_cast<std::int64_t>(row.size() + 2);
  EXPECT_LT(total, FrameReader::kDefaultMaxPayload);
}

}  // namespace
}  // namespace session
