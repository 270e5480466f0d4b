#include "support/stamp.h"

#include <unistd.h>

#include <cstdio>

#include "support/file_stamp.h"

#include <gtest/gtest.h>

namespace support {
namespace {

TEST(Stamps, ParsedFieldByField) {
  const auto s = ParseStamp("20261206211803");
  ASSERT_TRUE(s);
  EXPECT_EQ(*s, (Stamp{2026, 12, 6, 21, 18, 3}));
  EXPECT_EQ(FormatStamp(*s), "20261206211803");
}

TEST(Stamps, OnlyFourteenDigitsParse) {
  EXPECT_FALSE(ParseStamp(""));
  EXPECT_FALSE(ParseStamp("2026120621180"));
  EXPECT_FALSE(ParseStamp("202612062118030"));
  EXPECT_FALSE(ParseStamp("2026-12-06 21:1"));
  EXPECT_FALSE(ParseStamp("2026120621180\xCE"));
}

TEST(Stamps, FieldsAreNotCalendarChecked) {
  const auto s = ParseStamp("20260231256199");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->day, 31);
  EXPECT_EQ(s->minute, 61);
  EXPECT_FALSE(IsValidStamp(*s));
  EXPECT_TRUE(IsValidStamp(Stamp{2024, 2, 29, 23, 59, 59}));
  EXPECT_FALSE(IsValidStamp(Stamp{2023, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(IsValidStamp(Stamp{1900, 2, 29, 0, 0, 0}));
  EXPECT_TRUE(IsValidStamp(Stamp{2000, 2, 29, 0, 0, 0}));
}

TEST(Stamps, FormatPadsEveryField) {
  EXPECT_EQ(FormatStamp(Stamp{987, 1, 2, 3, 4, 5}), "09870102030405");
}

}  // namespace
}  // namespace support

namespace support {
namespace {

class FileStampTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/vaultline-stamp-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    path_ = name;
  }
  void TearDown() override { std::remove(path_.c_str()); }
  std::string path_;
};

TEST_F(FileStampTest, LastWriteTimeRoundTripsAsLocalTime) {
  ASSERT_TRUE(SetLastWriteStamp(path_, Stamp{2024, 1, 31, 12, 0, 5}));
  EXPECT_EQ(LastWriteStamp(path_), "20240131120005");
}

TEST_F(FileStampTest, OutOfRangeFieldsCarryOver) {
  ASSERT_TRUE(SetLastWriteStamp(path_, Stamp{2023, 1, 32, 10, 0, 0}));
  EXPECT_EQ(LastWriteStamp(path_), "20230201100000");
  ASSERT_TRUE(SetLastWriteStamp(path_, Stamp{2023, 13, 1, 10, 0, 0}));
  EXPECT_EQ(LastWriteStamp(path_), "20240101100000");
}

TEST_F(FileStampTest, MissingFileHasNoStampAndCannotBeStamped) {
  EXPECT_FALSE(LastWriteStamp(path_ + ".missing"));
  EXPECT_FALSE(SetLastWriteStamp(path_ + ".missing", Stamp{2024, 1, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace support
