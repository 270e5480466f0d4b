#include "session/protocol.h"

#include <gtest/gtest.h>

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

class Framing : public ::testing::Test {};

TEST_F(Framing, LengthCountsPayloadCharacters) {
  EXPECT_EQ(FrameMessage("LIST|\\|False"), "12|LIST|\\|False");
  EXPECT_EQ(EncodeKeyword(keyword::kDealersFolder), "14|DEALERS FOLDER");
  EXPECT_EQ(EncodeKeyword(keyword::kPersonalFolder), "15|PERSONAL FOLDER");
  EXPECT_EQ(EncodeList({"\\", false}), "12|LIST|\\|False");
}

TEST_F(Framing, GreekTextTravelsOneBytePerCharacter) {
  // "Έγγραφα" is seven characters: seven bytes in Windows-1253.
  const std::string frame = EncodeList({"\\Έγγραφα\\", true});
  EXPECT_EQ(frame, "19|LIST|\\\xB8\xE3\xE3\xF1\xE1\xF6\xE1\\|True");
}

TEST_F(Framing, PayloadSplitsAtTheFirstBarOnly) {
  const auto p = SplitPayload("RENAME|\\a|\\b");
  EXPECT_EQ(p.keyword, "RENAME");
  EXPECT_EQ(p.arguments, "\\a|\\b");
  EXPECT_TRUE(p.has_arguments);
  const auto bare = SplitPayload("DEALEROK");
  EXPECT_EQ(bare.keyword, "DEALEROK");
  EXPECT_FALSE(bare.has_arguments);
  EXPECT_TRUE(SplitPayload("LIST|").has_arguments);
}

class FieldFormats : public ::testing::Test {};

TEST_F(FieldFormats, BooleansAreExactWords) {
  EXPECT_EQ(ParseBool("True"), true);
  EXPECT_EQ(ParseBool("False"), false);
  for (const char* bad : {"true", "FALSE", "1", "", "True "}) EXPECT_FALSE(ParseBool(bad)) << bad;
}

TEST_F(FieldFormats, CountsAreSixtyFourBitDecimal) {
  EXPECT_EQ(ParseCount("5368709120"), 5368709120);  // 5 GiB, above 32 bits
  EXPECT_EQ(ParseCount("0"), 0);
  for (const char* bad : {"", "-1", "+1", "1.0", "1 ", "0x10", "1234567890123456789"})
    EXPECT_FALSE(ParseCount(bad)) << bad;
  EXPECT_FALSE(ParsePosition("0"));
  EXPECT_EQ(ParsePosition("1"), 1);
}

TEST_F(FieldFormats, StampsAreFourteenDigitsOfARealDate) {
  EXPECT_TRUE(IsWireStamp("20240229235959"));
  EXPECT_FALSE(IsWireStamp("20230229000000"));  // not a leap year
  EXPECT_FALSE(IsWireStamp("2024010100000"));
  EXPECT_FALSE(IsWireStamp("2024010100000a"));
}

class ClientMessages : public ::testing::Test {};

TEST_F(ClientMessages, LoginKeepsAPasswordHoldingBarsAndAnyByte) {
  const std::string scrambled("\x7C\x00\xFF|\x81", 5);
  const std::string frame = EncodeLogin({"5", "χρήστης", scrambled});
  const auto parsed = ParseLogin(ArgumentsOf(frame));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->version, "5");
  EXPECT_EQ(parsed->user_id, "χρήστης");
  EXPECT_EQ(parsed->scrambled_password, scrambled);
  EXPECT_FALSE(ParseLogin("5|demo"));
}

TEST_F(ClientMessages, UploadRoundTripsAndRejectsBadNumbers) {
  const UploadRequest request{4294967297, 5368709120, "\\Φάκελος\\αρχείο.bin", "20240131120000"};
  const auto parsed = ParseUpload(ArgumentsOf(EncodeUpload(request)));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->start, request.start);
  EXPECT_EQ(parsed->size, request.size);
  EXPECT_EQ(parsed->path, request.path);
  EXPECT_EQ(parsed->stamp, request.stamp);
  EXPECT_FALSE(ParseUpload("0|10|\\a|20240131120000"));    // positions are 1-based
  EXPECT_FALSE(ParseUpload("1|-10|\\a|20240131120000"));   // negative size
  EXPECT_FALSE(ParseUpload("1|10|\\a|2024013112"));        // short stamp
  EXPECT_FALSE(ParseUpload("1|10|\\a|20240131120000|x"));  // extra field
}

TEST_F(ClientMessages, DownloadAndItsAnswerRoundTrip) {
  const auto parsed =
      ParseDownload(ArgumentsOf(EncodeDownload({7, "\\manuals\\οδηγός.pdf", true})));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->start, 7);
  EXPECT_EQ(parsed->path, "\\manuals\\οδηγός.pdf");
  EXPECT_TRUE(parsed->linked);
  EXPECT_EQ(ParseDoDownload(ArgumentsOf(EncodeDoDownload(7))), 7);
  EXPECT_FALSE(ParseDownload("1|\\a|yes"));
}

TEST_F(ClientMessages, FolderCommandsRoundTrip) {
  EXPECT_EQ(ParseRename(ArgumentsOf(EncodeRename({"\\a", "\\β"})))->to, "\\β");
  EXPECT_EQ(ParsePathRequest(ArgumentsOf(EncodeNewDir({"\\νέος"})))->path, "\\νέος");
  EXPECT_EQ(ParsePathRequest(ArgumentsOf(EncodeDelete({"\\x"})))->path, "\\x");
  EXPECT_EQ(ParseLoginTime(ArgumentsOf(EncodeLoginTime({"20240101101010"})))->time,
            "20240101101010");
  const auto pc =
      ParsePcInfo(ArgumentsOf(EncodePcInfo({"Linux 6", "CPU", "16000", "512", "1.02.3"})));
  ASSERT_TRUE(pc);
  EXPECT_EQ(pc->client_version, "1.02.3");
  EXPECT_FALSE(ParsePcInfo("a|b|c"));
  EXPECT_FALSE(ParseRename("\\only-one"));
}

class ServerReplies : public ::testing::Test {};

TEST_F(ServerReplies, LoginOkCarriesFourFields) {
  const std::string frame = EncodeLoginOk({123, 104857600, true, false});
  EXPECT_EQ(PayloadOf(frame), "LOGINOK|123|104857600|True|False");
  const auto parsed = ParseLoginOk(ArgumentsOf(frame));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->quota, 104857600);
  EXPECT_TRUE(parsed->dealers);
  EXPECT_FALSE(ParseLoginOk("1|2|True"));
}

TEST_F(ServerReplies, CleanupInfoHoldsAThirtyTwoAndASixteenBitNumber) {
  EXPECT_EQ(PayloadOf(EncodeCleanupInfo({30, 7})), "SCHCLEANUPINFO|30|7");
  EXPECT_EQ(ParseCleanupInfo("30|7")->interval, 7);
  EXPECT_FALSE(ParseCleanupInfo("30|40000"));
  EXPECT_FALSE(ParseCleanupInfo("3000000000|1"));
}

TEST_F(ServerReplies, EmptyListIsAnEmptyFolder) {
  EXPECT_EQ(PayloadOf(EncodeListReply({})), "LIST|");
  const auto rows = ParseListReply("");
  ASSERT_TRUE(rows);
  EXPECT_TRUE(rows->empty());
}

TEST_F(ServerReplies, TotalSizeAndLoginTimeRoundTrip) {
  EXPECT_EQ(ParseTotalSize(ArgumentsOf(EncodeTotalSize(6442450944))), 6442450944);
  EXPECT_EQ(ParseLoginTimeReply(ArgumentsOf(EncodeLoginTimeReply("20240101080000"))),
            "20240101080000");
}

class RemotePaths : public ::testing::Test {};

TEST_F(RemotePaths, FoldersAndEntriesParse) {
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

TEST_F(RemotePaths, EscapesAndForeignFormsAreRefused) {
  for (const std::string& bad : std::vector<std::string>{
           "", "a\\b", "\\..\\etc\\passwd", "\\a\\..\\..\\", "\\.\\a", "\\a\\\\b", "C:\\x",
           "\\C:\\x", "\\a/b", "/etc/passwd", std::string("\\a\0b", 4), "\\a\rb", "\\\\server\\x"})
    EXPECT_FALSE(ParseRemotePath(bad)) << bad;
}

}  // namespace
}  // namespace session
