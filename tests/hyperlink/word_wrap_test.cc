#include "hyperlink/word_wrap.h"

#include <gtest/gtest.h>

namespace hyperlink {
namespace {

// Every character is 10 pixels wide.
int FixedWidth(QStringView text) { return static_cast<int>(text.size()) * 10; }

QString Wrap(const QString& text, int limit) { return WordWrap(text, limit, FixedWidth); }

TEST(WordWrap, BreaksAtTheLastSpaceThatFits) {
  EXPECT_EQ(Wrap("aa bb cc dd", 50), "aa bb\r\ncc dd");
  EXPECT_EQ(Wrap("aa bb cc dd", 110), "aa bb cc dd");
}

TEST(WordWrap, TextWithoutSpacesIsNeverWrapped) {
  EXPECT_EQ(Wrap("Supercalifragilistic", 30), "Supercalifragilistic");
}

TEST(WordWrap, AWordWiderThanTheLimitStaysOnOneLine) {
  EXPECT_EQ(Wrap("Supercalifragilistic is long", 50), "Supercalifragilistic\r\nis\r\nlong");
  EXPECT_EQ(Wrap("is Supercalifragilistic", 50), "is\r\nSupercalifragilistic");
}

TEST(WordWrap, NegativeLimitCountsAsZero) { EXPECT_EQ(Wrap("a b c", -40), "a\r\nb\r\nc"); }

TEST(WordWrap, EmptyTextStaysEmpty) { EXPECT_EQ(Wrap("", 10), ""); }

TEST(WordWrap, BreakingSpaceIsDroppedAndDoubleSpacesLoseTheirTail) {
  EXPECT_EQ(Wrap("ab  cd", 30), "ab\r\ncd");
}

TEST(WordWrap, ExistingLineBreaksStartNewLines) {
  EXPECT_EQ(Wrap("aa bb\r\ncc dd ee", 50), "aa bb\r\ncc dd\r\nee");
}

TEST(SplitLines, AcceptsEveryKindOfLineBreak) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (QStringList{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines(""), (QStringList{""}));
}

}  // namespace
}  // namespace hyperlink
