#include "session/file_name_rules.h"

#include <gtest/gtest.h>

namespace session {
namespace {

TEST(WindowsNames, EachRuleRefusesItsNames) {
  struct Case {
    const char* name;
    NameFault fault;
  };
  for (const Case& c : {
           Case{"report.pdf", NameFault::kNone},
           Case{"Τιμολόγιο 2026.xlsx", NameFault::kNone},
           Case{".bashrc", NameFault::kNone},
           Case{"CONSOLE.txt", NameFault::kNone},
           Case{"COM0", NameFault::kNone},
           Case{"COM10", NameFault::kNone},
           Case{"", NameFault::kEmpty},
           Case{"a\\b.txt", NameFault::kForbiddenCharacter},
           Case{"x?.txt", NameFault::kForbiddenCharacter},
           Case{"q\"t.txt", NameFault::kForbiddenCharacter},
           Case{"a<b", NameFault::kForbiddenCharacter},
           Case{"p|q.txt", NameFault::kForbiddenCharacter},
           Case{"c:d", NameFault::kForbiddenCharacter},
           Case{"tab\there", NameFault::kControlCharacter},
           Case{"del\x7f", NameFault::kControlCharacter},
           Case{"c1\xc2\x81", NameFault::kControlCharacter},
           Case{"café.txt", NameFault::kOutsideCodePage},
           Case{"bad\xff.txt", NameFault::kOutsideCodePage},
           Case{"name.", NameFault::kTrailingDotOrSpace},
           Case{"name ", NameFault::kTrailingDotOrSpace},
           Case{"CON", NameFault::kDeviceName},
           Case{"nul.txt", NameFault::kDeviceName},
           Case{"Aux.tar.gz", NameFault::kDeviceName},
           Case{"com7", NameFault::kDeviceName},
           Case{"LPT9.log", NameFault::kDeviceName},
           Case{"prn .txt", NameFault::kDeviceName},
       }) {
    EXPECT_EQ(CheckWindowsName(c.name), c.fault) << c.name;
  }
}

TEST(WindowsNames, RefusalTextsNameTheProblem) {
  EXPECT_FALSE(WindowsNameProblem("ok.txt"));
  const auto chars = WindowsNameProblem("p|q.txt");
  ASSERT_TRUE(chars);
  EXPECT_EQ(chars->title, "Μη έγκυρο όνομα");
  EXPECT_EQ(chars->text, "Μη αποδεκτοί χαρακτήρες: \\ / | ? * \" : < >");
  EXPECT_EQ(WindowsNameProblem("café crème.txt")->text, "Μη υποστηριζόμενοι χαρακτήρες: é è");
  EXPECT_EQ(WindowsNameProblem("a.txt ")->text, "Το όνομα δε μπορεί να τελειώνει σε τελεία ή κενό");
}

TEST(LocalNames, OnlyTheLocalSeparatorCutsThePath) {
  EXPECT_EQ(LocalFileName("/home/u/a\\b.txt"), "a\\b.txt");
  EXPECT_EQ(LocalFileName("a\\b.txt"), "a\\b.txt");
  EXPECT_EQ(LocalFileName("/tmp/report.pdf"), "report.pdf");
  EXPECT_EQ(LocalFileName("plain"), "plain");
}

}  // namespace
}  // namespace session
