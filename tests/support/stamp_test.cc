#include "support/stamp.h"

#include <gtest/gtest.h>

#include "common/process.h"
#include "support/file_stamp.h"

namespace support {
namespace {

TEST(Stamps, OnlyFourteenDigitsParseFieldByFieldWithoutACalendarCheck) {
  const auto s = ParseStamp("20261206211803");
  ASSERT_TRUE(s);
  EXPECT_EQ(*s, (Stamp{2026, 12, 6, 21, 18, 3}));
  EXPECT_EQ(FormatStamp(*s), "20261206211803");
  EXPECT_EQ(FormatStamp(Stamp{987, 1, 2, 3, 4, 5}), "09870102030405");
  for (const char* bad :
       {"", "2026120621180", "202612062118030", "2026-12-06 21:1", "2026120621180\xCE"}) {
    EXPECT_FALSE(ParseStamp(bad)) << bad;
  }
  const auto odd = ParseStamp("20260231256199");
  ASSERT_TRUE(odd);
  EXPECT_EQ(*odd, (Stamp{2026, 2, 31, 25, 61, 99}));
  EXPECT_FALSE(IsValidStamp(*odd));
}

TEST(Stamps, ValidityFollowsTheGregorianCalendar) {
  EXPECT_TRUE(IsValidStamp(Stamp{2024, 2, 29, 23, 59, 59}));
  EXPECT_TRUE(IsValidStamp(Stamp{2000, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(IsValidStamp(Stamp{2023, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(IsValidStamp(Stamp{1900, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(IsValidStamp(Stamp{2024, 4, 31, 0, 0, 0}));
  EXPECT_FALSE(IsValidStamp(Stamp{0, 1, 1, 0, 0, 0}));
}

TEST(FileStamps, LastWriteTimeRoundTripsAsLocalTimeAndOutOfRangeFieldsCarryOver) {
  test_common::TempDir dir;
  const std::string path = (dir.Path() / "f").string();
  test_common::WriteFile(path, "x");
  ASSERT_TRUE(SetLastWriteStamp(path, Stamp{2024, 1, 31, 12, 0, 5}));
  EXPECT_EQ(LastWriteStamp(path), "20240131120005");
  ASSERT_TRUE(SetLastWriteStamp(path, Stamp{2023, 1, 32, 10, 0, 0}));
  EXPECT_EQ(LastWriteStamp(path), "20230201100000");
  ASSERT_TRUE(SetLastWriteStamp(path, Stamp{2023, 13, 1, 10, 0, 0}));
  EXPECT_EQ(LastWriteStamp(path), "20240101100000");
  EXPECT_FALSE(LastWriteStamp(path + ".missing"));
  EXPECT_FALSE(SetLastWriteStamp(path + ".missing", Stamp{2024, 1, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace support
