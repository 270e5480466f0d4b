#include "hyperlink/word_wrap.h"

#include <gtest/gtest.h>

namespace hyperlink {
namespace {

TEST(WordWrap, BreaksAtTheLastSpaceThatFitsAndOnlyThere) {
  const struct {
    const char* text;
    int limit;
    const char* wrapped;
  } kCases[] = {
      {"aa bb cc dd", 50, "aa bb\r\ncc dd"},
      {"aa bb cc dd", 110, "aa bb cc dd"},
      {"Supercalifragilistic", 30, "Supercalifragilistic"},  // no space: never wrapped
      {"Supercalifragilistic is long", 50, "Supercalifragilistic\r\nis\r\nlong"},
      {"is Supercalifragilistic", 50, "is\r\nSupercalifragilistic"},
      {"a b c", -40, "a\r\nb\r\nc"},  // a negative limit counts as 0
      {"", 10, ""},
      {"ab  cd", 30, "ab\r\ncd"},  // the breaking space goes, and a double space's tail
      {"aa bb\r\ncc dd ee", 50, "aa bb\r\ncc dd\r\nee"},
  };
  // Every character is 10 pixels wide.
  const auto width = [](QStringView text) { return static_cast<int>(text.size()) * 10; };
  for (const auto& c : kCases) {
    EXPECT_EQ(WordWrap(c.text, c.limit, width), c.wrapped) << c.text << " in " << c.limit;
  }
}

TEST(SplitLines, AcceptsEveryKindOfLineBreak) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (QStringList{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines(""), (QStringList{""}));
}

}  // namespace
}  // namespace hyperlink
