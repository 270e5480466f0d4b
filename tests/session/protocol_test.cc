#include "session/protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/frame_reader.h"
#include "session/remote_path.h"

namespace session {
namespace {

/// The payload of a frame built by the codec (checks the length prefix too).
std::string PayloadOf(const std::string& frame) {
  FrameReader reader;
  reader.Feed(frame);
  const auto result = reader.Next();
  EXPECT_EQ(result.status, FrameReader::Status::kFrame) << frame;
  EXPECT_TRUE(reader.Buffered().empty()) << "length prefix too short: " << frame;
  return std::string(result.payload);
}

std::string ArgumentsOf(const std::string& frame) {
  const std::string payload = PayloadOf(frame);
  return std::string(SplitPayload(payload).arguments);
}

TEST(Framing, LengthCountsPayloadCharacters) {
  EXPECT_EQ(FrameMessage("LIST|\\|False"), "12|LIST|\\|False");
  EXPECT_EQ(EncodeKeyword(keyword::kDealersFolder), "14|DEALERS FOLDER");
  EXPECT_EQ(EncodeKeyword(keyword::kPersonalFolder), "15|PERSONAL FOLDER");
  EXPECT_EQ(EncodeList({"\\", false}), "12|LIST|\\|False");
}

TEST(Framing, GreekTextTravelsOneBytePerCharacter) {
  // "Έγγραφα" is seven characters: seven bytes in Windows-1253.
  const std::string frame = EncodeList({"\\Έγγραφα\\", true});
  EXPECT_EQ(frame, "19|LIST|\\\xB8\xE3\xE3\xF1\xE1\xF6\xE1\\|True");
}

TEST(Framing, PayloadSplitsAtTheFirstBarOnly) {
  const auto p = SplitPayload("RENAME|\\a|\\b");
  EXPECT_EQ(p.keyword, "RENAME");
  EXPECT_EQ(p.arguments, "\\a|\\b");
  EXPECT_TRUE(p.has_arguments);
  const auto bare = SplitPayload("DEALEROK");
  EXPECT_EQ(bare.keyword, "DEALEROK");
  EXPECT_FALSE(bare.has_arguments);
  EXPECT_TRUE(SplitPayload("LIST|").has_arguments);
}

TEST(FieldFormats, BooleansAreExactWords) {
  EXPECT_EQ(ParseBool("True"), true);
  EXPECT_EQ(ParseBool("False"), false);
  for (const char* bad : {"true", "FALSE", "1", "", "True "}) EXPECT_FALSE(ParseBool(bad)) << bad;
}

TEST(FieldFormats, CountsAreSixtyFourBitDecimal) {
  EXPECT_EQ(ParseCount("5368709120"), 5368709120);  // 5 GiB, above 32 bits
  EXPECT_EQ(ParseCount("0"), 0);
  for (const char* bad : {"", "-1", "+1", "1.0", "1 ", "0x10", "1234567890123456789"})
    EXPECT_FALSE(ParseCount(bad)) << bad;
  EXPECT_FALSE(ParsePosition("0"));
  EXPECT_EQ(ParsePosition("1"), 1);
}

TEST(FieldFormats, StampsAreFourteenDigitsOfARealDate) {
  EXPECT_TRUE(IsWireStamp("20240229235959"));
  EXPECT_FALSE(IsWireStamp("20230229000000"));  // not a leap year
  EXPECT_FALSE(IsWireStamp("2024010100000"));
  EXPECT_FALSE(IsWireStamp("2024010100000a"));
}

TEST(ClientMessages, LoginKeepsAPasswordHoldingBarsAndAnyByte) {
  const std::string scrambled("\x7C\x00\xFF|\x81", 5);
  const std::string frame = EncodeLogin({"5", "χρήστης", scrambled});
  const auto parsed = ParseLogin(ArgumentsOf(frame));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->version, "5");
  EXPECT_EQ(parsed->user_id, "χρήστης");
  EXPECT_EQ(parsed->scrambled_password, scrambled);
  EXPECT_FALSE(ParseLogin("5|demo"));
}

// The exact bytes each side sends are checked where they are sent (session
// and server tests); here: what the parsers refuse.
TEST(Messages, ParsersRefuseMissingFieldsAndNumbersOutOfRange) {
  EXPECT_FALSE(ParseUpload("1|10|\\a|20240131120000|x"));  // an extra field
  EXPECT_FALSE(ParseDownload("1|\\a|yes"));
  EXPECT_FALSE(ParsePcInfo("a|b|c"));
  EXPECT_FALSE(ParseRename("\\only-one"));
  EXPECT_FALSE(ParseLoginOk("1|2|True"));
  EXPECT_EQ(ParseCleanupInfo("30|7")->interval, 7);
  EXPECT_FALSE(ParseCleanupInfo("30|40000"));  // the interval is a 16-bit number
  EXPECT_FALSE(ParseCleanupInfo("3000000000|1"));
  const auto rows = ParseListReply("");  // an empty list is an empty folder
  ASSERT_TRUE(rows);
  EXPECT_TRUE(rows->empty());
}

TEST(RemotePaths, FoldersAndEntriesParse) {
  const auto root = ParseRemotePath("\\");
  ASSERT_TRUE(root);
  EXPECT_TRUE(root->names.empty());
  const auto folder = ParseRemotePath("\\Έγγραφα\\2024\\");
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->names, (std::vector<std::string>{"Έγγραφα", "2024"}));
  EXPECT_TRUE(folder->trailing_backslash);
  const auto file = ParseRemotePath("\\a\\b.txt");
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->trailing_backslash);
}

TEST(RemotePaths, EscapesAndForeignFormsAreRefused) {
  for (const std::string& bad : std::vector<std::string>{
           "", "a\\b", "\\..\\etc\\passwd", "\\a\\..\\..\\", "\\.\\a", "\\a\\\\b", "C:\\x",
           "\\C:\\x", "\\a/b", "/etc/passwd", std::string("\\a\0b", 4), "\\a\rb", "\\\\server\\x"})
    EXPECT_FALSE(ParseRemotePath(bad)) << bad;
}

// ---- Frame assembly ----

using Status = FrameReader::Status;
using Tokens = FrameReader::Tokens;

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

TEST(FrameReaderAssembly, EverySplitOfSeveralFramesGivesTheSameFrames) {
  // Payloads may hold any byte, bars, NUL and line ends included.
  const std::vector<std::string> payloads = {"LOGINOK|0|1000|True|False",
                                             "DEALEROK",
                                             "",
                                             "LIST|a|1|20240101000000\r\nb|0|",
                                             "PCINFO|\xC1\xE8\xE7\xED\xDC|x|1|2|1.02.3",
                                             std::string("LOGIN|5|demo|\x00|\xFF\r\n", 18)};
  std::string wire = "12|LIST|\\|False";
  for (const auto& p : payloads) wire += FrameMessage(p);
  for (std::size_t step = 1; step <= wire.size(); ++step) {
    FrameReader reader;
    std::vector<std::string> expected = {"LIST|\\|False"};
    expected.insert(expected.end(), payloads.begin(), payloads.end());
    EXPECT_EQ(ReadAll(reader, wire, step), expected) << "pieces of " << step;
    EXPECT_FALSE(reader.InFrame());
  }
}

TEST(FrameReaderAssembly, ALargeFrameHandedOverLeavesTheFollowingBytesInPlace) {
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

TEST(FrameReaderAssembly, PrefixSplitBeforeTheBarWaitsForMore) {
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

TEST(FrameReaderAssembly, BytesBeyondTheFrameStayBufferedForARawStream) {
  FrameReader reader;
  reader.Feed(FrameMessage("DO UPLOAD") + std::string("\x00\x01raw", 5));
  ASSERT_EQ(reader.Next().status, Status::kFrame);
  EXPECT_EQ(reader.Buffered(), std::string_view("\x00\x01raw", 5));
  reader.Discard(2);
  EXPECT_EQ(reader.Buffered(), "raw");
  reader.Discard(100);
  EXPECT_TRUE(reader.Buffered().empty());
}

TEST(FrameReaderTokens, PingAndPongAreTokensAtFrameBoundariesAndPayloadInsideAFrame) {
  FrameReader reader(Tokens::kKeepAlive);
  reader.Feed("PING" + FrameMessage("TOTALSIZE") + "PO");
  EXPECT_EQ(reader.Next().status, Status::kPing);
  EXPECT_EQ(reader.Next().payload, "TOTALSIZE");
  EXPECT_EQ(reader.Next().status, Status::kNeedMore);
  reader.Feed("NG4|PING");
  EXPECT_EQ(reader.Next().status, Status::kPong);
  const auto result = reader.Next();
  EXPECT_EQ(result.status, Status::kFrame);
  EXPECT_EQ(result.payload, "PING");
}

TEST(FrameReaderMalformed, PrefixThatIsNotACanonicalNumberFails) {
  struct Case {
    std::string wire;
    Tokens tokens;
  };
  for (const Case& c : {Case{"x|ab", Tokens::kFramesOnly}, Case{"1a|b", Tokens::kFramesOnly},
                        Case{"|abc", Tokens::kFramesOnly}, Case{"-1|", Tokens::kFramesOnly},
                        Case{" 3|abc", Tokens::kFramesOnly}, Case{"+3|abc", Tokens::kFramesOnly},
                        Case{"04|LIST", Tokens::kFramesOnly},  // a leading zero
                        Case{"PING", Tokens::kFramesOnly},     // no keep-alive tokens here
                        Case{"PINK", Tokens::kKeepAlive},      // other letters where a frame starts
                        // More digits than the limit can have: refused as soon as they are seen.
                        Case{"999999999999999999999999", Tokens::kFramesOnly},
                        Case{"999999999|", Tokens::kFramesOnly}}) {
    FrameReader reader(c.tokens);
    reader.Feed(c.wire);
    EXPECT_EQ(reader.Next().status, Status::kMalformed) << c.wire;
  }
}

TEST(FrameReaderMalformed, LengthAboveTheLimitFailsBeforeThePayloadArrives) {
  FrameReader reader(Tokens::kFramesOnly, 1000);
  reader.Feed("1001|");
  const auto result = reader.Next();
  EXPECT_EQ(result.status, Status::kMalformed);
  EXPECT_FALSE(result.error.empty());
  FrameReader at_limit(Tokens::kFramesOnly, 1000);
  at_limit.Feed("1000|" + std::string(1000, 'a'));
  EXPECT_EQ(at_limit.Next().payload.size(), 1000u);
}

TEST(FrameReaderMalformed, FailureIsStickyUntilReset) {
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

}  // namespace
}  // namespace session
