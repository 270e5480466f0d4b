#include "support/stamp.h"

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
