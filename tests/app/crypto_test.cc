#include "app/crypto.h"

#include <gtest/gtest.h>

#include "support/codepage.h"

namespace app {
namespace {

TEST(Scrambling, AddsTheRepeatingKeysCodesAndWrapsAt256) {
  // Zero bytes become the key codes themselves: "Tz(8!/k~q&" then "Tz" again.
  std::string zeros(12, '\0');
  ScrambleBytes(zeros);
  EXPECT_EQ(zeros, "Tz(8!/k~q&Tz");
  std::string bytes = "\xFA";  // 250 + 'd' (100) wraps to 94, "^"
  ScrambleBytes(bytes, "d");
  EXPECT_EQ(bytes, "^");
  EXPECT_EQ(support::Utf8ToCp1253(UnscrambleText("^", "d")), "\xFA");
  std::string empty;
  ScrambleBytes(empty);
  EXPECT_EQ(empty, "");
  EXPECT_EQ(ScrambleText("abc", ""), "abc");
  EXPECT_EQ(UnscrambleText("abc", ""), "abc");
}

TEST(Scrambling, LoginFieldIsRawScrambledCodePageBytes) {
  // "α" is 0xE1 in Windows-1253; + 'T' (0x54) = 0x135 wraps to 0x35.
  // 'a' (0x61) + 'z' (0x7A) = 0xDB stays below 256.
  EXPECT_EQ(ScrambledPasswordField("\u03B1a"), "\x35\xDB");
  // "|" may appear; nothing is escaped: '(' 0x28 + 'T' 0x54 = 0x7C.
  EXPECT_EQ(ScrambledPasswordField("("), "|");
}

TEST(Scrambling, TextRoundTripsForEveryCodePageCharacterAndOthersBecomeQuestionMarks) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string text = support::Cp1253ToUtf8(all);
  const std::string scrambled = ScrambleText(text);
  EXPECT_NE(scrambled, text);
  EXPECT_EQ(UnscrambleText(scrambled), text);
  EXPECT_EQ(UnscrambleText(ScrambleText("a\u4E2Db")), "a?b");
}

TEST(StoredPassword, IsUtf16LeOfTheScrambledText) {
  // 'A' (0x41) + 'T' (0x54) = 0x95, which is U+2022 in Windows-1253.
  EXPECT_EQ(PasswordToStoredBytes("A"), "\x22\x20");
  EXPECT_EQ(PasswordFromStoredBytes("\x22\x20"), "A");
  const std::string password = "\u039A\u03C9\u03B4\u03B9\u03BA\u03CC\u03C2 123!|";
  EXPECT_EQ(PasswordToStoredBytes(password).size(), 2 * 13u);
  EXPECT_EQ(PasswordFromStoredBytes(PasswordToStoredBytes(password)), password);
}

}  // namespace
}  // namespace app
