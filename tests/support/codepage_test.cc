#include "support/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace support {
namespace {

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

TEST(CodePage, EveryByteSurvivesARoundTripThroughUtf8) {
  const std::string bytes = AllBytes();
  EXPECT_EQ(Utf8ToCp1253(Cp1253ToUtf8(bytes)), bytes);
}

TEST(CodePage, GreekLettersMapToTheirCodes) {
  // "Προσωπικός χώρος"
  const std::string text =
      "\u03A0\u03C1\u03BF\u03C3\u03C9\u03C0\u03B9\u03BA\u03CC\u03C2 "
      "\u03C7\u03CE\u03C1\u03BF\u03C2";
  const std::string bytes = Utf8ToCp1253(text);
  ASSERT_EQ(bytes.size(), 16u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xD0);   // Π
  EXPECT_EQ(static_cast<unsigned char>(bytes[8]), 0xFC);   // ό
  EXPECT_EQ(static_cast<unsigned char>(bytes[9]), 0xF2);   // ς
  EXPECT_EQ(static_cast<unsigned char>(bytes[12]), 0xFE);  // ώ
  EXPECT_EQ(Cp1253ToUtf8(bytes), text);
}

TEST(CodePage, EveryCodeDecodesToItsOwnCodePointAndBack) {
  EXPECT_EQ(Cp1253ToCodePoint(0x80), U'\u20AC');  // the euro sign
  EXPECT_EQ(Cp1253ToCodePoint(0x81), U'\u0081');  // an undefined code passes through
  for (int b = 0; b < 256; ++b) {
    const auto back = CodePointToCp1253(Cp1253ToCodePoint(static_cast<std::uint8_t>(b)));
    ASSERT_TRUE(back.has_value()) << b;
    EXPECT_EQ(*back, b);
  }
}

TEST(CodePage, UnmappableTextBecomesTheReplacement) {
  EXPECT_EQ(Utf8ToCp1253("a\u4E2Db"), "a?b");      // CJK
  EXPECT_EQ(Utf8ToCp1253("\U0001F600"), "?");      // emoji: one character, one byte
  EXPECT_EQ(Utf8ToCp1253("x\xC3"), "x?");          // truncated sequence
  EXPECT_EQ(Utf8ToCp1253("\xED\xA0\x80"), "???");  // encoded surrogate is malformed
  EXPECT_EQ(Utf8ToCp1253("\xC0\xAF"), "??");       // overlong form
}

TEST(CodePage, Utf16LeBytesRoundTrip) {
  const std::string text = "A\u03A9\U0001F600";
  const std::string bytes = Utf8ToUtf16LeBytes(text);
  ASSERT_EQ(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("A\0", 2));
  EXPECT_EQ(static_cast<unsigned char>(bytes[2]), 0xA9);
  EXPECT_EQ(static_cast<unsigned char>(bytes[3]), 0x03);
  EXPECT_EQ(Utf16LeBytesToUtf8(bytes), text);
  EXPECT_EQ(Utf16LeBytesToUtf8(bytes + "x"), text);  // odd trailing byte ignored
}

}  // namespace
}  // namespace support
