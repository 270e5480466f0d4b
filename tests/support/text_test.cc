#include "support/text.h"

#include <gtest/gtest.h>

namespace support {
namespace {

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(0.5), 0.0);
  EXPECT_EQ(RoundHalfEven(1.5), 2.0);
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
  EXPECT_EQ(RoundHalfEven(2.4999), 2.0);
  EXPECT_EQ(RoundHalfEven(2.5001), 3.0);
  EXPECT_EQ(RoundHalfEven(0.125, 2), 0.12);
  EXPECT_EQ(RoundHalfEven(0.375, 2), 0.38);
  EXPECT_EQ(RoundHalfEven(1023.99902, 1), 1024.0);
}

TEST(Trimming, OnlySpacesOrAllBlanks) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");
  EXPECT_EQ(Trim("    "), "");
  EXPECT_EQ(TrimBlanks("\r\n a\tb \t\r\n"), "a\tb");
  EXPECT_EQ(TrimBlanks(""), "");
}

TEST(Splitting, SeparatorCountPlusOneFields) {
  EXPECT_EQ(Split("", '|'), std::vector<std::string>{""});
  EXPECT_EQ(Split("a||b|", '|'), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(Split("r1\r\nr2\r\n", "\r\n"), (std::vector<std::string>{"r1", "r2", ""}));
  EXPECT_EQ(Split("a\rb\nc", "\r\n"), std::vector<std::string>{"a\rb\nc"});
}

TEST(CaseFolding, AsciiAndGreekIncludingAccentsAndFinalSigma) {
  EXPECT_TRUE(EqualsIgnoreCase("Readme.TXT", "readme.txt"));
  // "ΕΓΧΕΙΡΊΔΙΑ" vs "εγχειρίδια"
  EXPECT_TRUE(EqualsIgnoreCase("\u0395\u0393\u03A7\u0395\u0399\u03A1\u038A\u0394\u0399\u0391",
                               "\u03B5\u03B3\u03C7\u03B5\u03B9\u03C1\u03AF\u03B4\u03B9\u03B1"));
  // "ΟΔΟΣ" vs "οδος" (final sigma)
  EXPECT_TRUE(EqualsIgnoreCase("\u039F\u0394\u039F\u03A3", "\u03BF\u03B4\u03BF\u03C2"));
  EXPECT_FALSE(EqualsIgnoreCase("\u03AC", "\u03B1"));  // accent is not case
  EXPECT_FALSE(EqualsIgnoreCase("a", "ab"));
}

TEST(CaseFolding, ExactBytesAcrossSequenceLengths) {
  // Latin-1 capitals and the multiplication sign, Greek with accents, a
  // three-byte character, a lone lead byte and a truncated sequence.
  EXPECT_EQ(FoldCase("\u00C0\u00D7\u00DE\u00DF"), "\u00E0\u00D7\u00FE\u00DF");
  EXPECT_EQ(FoldCase("\u0386\u038F\u03AB\u03A2x"), "\u03AC\u03CE\u03CB\u03A2x");
  EXPECT_EQ(FoldCase("A\u20ACB"), "a\u20ACb");
  EXPECT_EQ(FoldCase("\xC3(Z"), "\uFFFD(z");
  EXPECT_EQ(FoldCase("Z\xCE"), "z\uFFFD");
  std::string reused = "stale contents";
  FoldCaseTo("\u0391B", reused);
  EXPECT_EQ(reused, "\u03B1b");
}

TEST(Numbers, NonNegativeDecimalOnly) {
  EXPECT_EQ(ParseNonNegative("0"), 0);
  EXPECT_EQ(ParseNonNegative("5368709120"), 5368709120LL);
  EXPECT_EQ(ParseNonNegative("999999999999999999"), 999999999999999999LL);
  EXPECT_FALSE(ParseNonNegative("9999999999999999999"));  // 19 digits
  EXPECT_FALSE(ParseNonNegative(""));
  EXPECT_FALSE(ParseNonNegative("-1"));
  EXPECT_FALSE(ParseNonNegative(" 1"));
  EXPECT_FALSE(ParseNonNegative("1e3"));
}

TEST(Numbers, FormattingFollowsTheDecimalSeparator) {
  SetDecimalSeparator(',');
  EXPECT_EQ(FormatFixed(1.25, 1), "1,2");
  EXPECT_EQ(FormatShortest(1.50, 2), "1,5");
  EXPECT_EQ(FormatShortest(2.0, 1), "2");
  SetDecimalSeparator('.');
  EXPECT_EQ(FormatShortest(1024, 1), "1024");
  EXPECT_EQ(FormatShortest(-0.0, 1), "0");
  EXPECT_EQ(FormatFixed(3, 1), "3.0");
}

}  // namespace
}  // namespace support
