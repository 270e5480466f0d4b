// The desktop's short date format as the list's date pattern.
#include <gtest/gtest.h>

#include "gui/locale_hooks.h"

namespace {

TEST(LocaleHooksTest, QtShortDateFormatsBecomeListPatterns) {
  const struct {
    const char* qt;
    const char* pattern;
  } cases[] = {
      {"d/M/yy", "d/m/yy"},          // el_GR
      {"M/d/yy", "m/d/yy"},          // en_US
      {"dd.MM.yyyy", "dd.mm.yyyy"},  // de_DE
      {"yyyy-MM-dd", "yyyy-mm-dd"},  // sv_SE
      {"dddd, d/M/yyyy", "d/m/yyyy"},
      {"d MMM yyyy", ""},  // the C locale writes a month name: no numeric form
      {"MMMM d, yyyy", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gui::ShortDatePatternFromQt(QString::fromLatin1(c.qt)), c.pattern) << c.qt;
  }
}

}  // namespace
