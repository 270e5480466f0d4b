#include "app/crypto.h"

#include <gtest/gtest.h>

#include "support/codepage.h"

namespace app {
namespace {

std::string Bytes(std::initializer_list<int> codes) {
  std::string s;
  for (int c : codes) s.push_back(static_cast<char>(c));
  return s;
}

TEST(Scrambling, EmptyInputsAndEmptyKey) {
  EXPECT_EQ(ScrambleText(""), "");
  std::string empty;
  ScrambleBytes(empty);
  EXPECT_EQ(empty, "");
  EXPECT_EQ(ScrambleText("abc", ""), "abc");
  EXPECT_EQ(UnscrambleText("abc", ""), "abc");
}

TEST(Scrambling, AddsKeyCodesAndWrapsAt256) {
  std::string bytes = Bytes({250});
  ScrambleBytes(bytes, "d");  // 'd' is 100
  EXPECT_EQ(bytes, Bytes({94}));
  // Text form: code 94 is "^"; unscrambling it with 100 gives code 250 back.
  EXPECT_EQ(support::Utf8ToCp1253(UnscrambleText("^", "d")), Bytes({250}));
}

TEST(Scrambling, KeyRepeatsAfterTenCharacters) {
  std::string bytes(12, '\0');
  ScrambleBytes(bytes);
  // Zero bytes become the key codes themselves: "Tz(8!/k~q&" then "Tz" again.
  EXPECT_EQ(bytes, "Tz(8!/k~q&Tz");
}

TEST(Scrambling, LoginFieldIsRawScrambledCodePageBytes) {
  // "α" is 0xE1 in Windows-1253; + 'T' (0x54) = 0x135 wraps to 0x35.
  // 'a' (0x61) + 'z' (0x7A) = 0xDB stays below 256.
  EXPECT_EQ(ScrambledPasswordField("\u03B1a"), Bytes({0x35, 0xDB}));
  // Bytes that the code page leaves undefined and "|" may appear; nothing is escaped.
  const std::string field = ScrambledPasswordField("(");  // '(' 0x28 + 'T' 0x54 = 0x7C
  EXPECT_EQ(field, "|");
}

TEST(Scrambling, TextRoundTripsForEveryCodePageCharacter) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string text = support::Cp1253ToUtf8(all);
  const std::string scrambled = ScrambleText(text);
  EXPECT_NE(scrambled, text);
  EXPECT_EQ(UnscrambleText(scrambled), text);
}

TEST(Scrambling, UnmappableCharactersBecomeQuestionMarksBeforeScrambling) {
  EXPECT_EQ(UnscrambleText(ScrambleText("a\u4E2Db")), "a?b");
}

TEST(StoredPassword, IsUtf16LeOfTheScrambledText) {
  const std::string stored = PasswordToStoredBytes("A");
  // 'A' (0x41) + 'T' (0x54) = 0x95, which is U+2022 in Windows-1253.
  EXPECT_EQ(stored, Bytes({0x22, 0x20}));
  EXPECT_EQ(PasswordFromStoredBytes(stored), "A");
}

TEST(StoredPassword, GreekPasswordSurvivesTheStoredForm) {
  const std::string password = "\u039A\u03C9\u03B4\u03B9\u03BA\u03CC\u03C2 123!|";
  EXPECT_EQ(PasswordFromStoredBytes(PasswordToStoredBytes(password)), password);
  EXPECT_EQ(PasswordToStoredBytes(password).size(), 2 * 13u);
}

}  // namespace
}  // namespace app
