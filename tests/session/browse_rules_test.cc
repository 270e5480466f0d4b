#include "session/browse_rules.h"

#include <gtest/gtest.h>

#include "session/transfer_speed_calc.h"
#include "support/text.h"

namespace session {
namespace {

TEST(NameChecks, ForbiddenCharactersAndLeadingDot) {
  for (const char* bad : {"a\\b", "a/b", "a|b", "a?", "*", "\"q\"", "c:", "<x", "x>"}) {
    const auto problem = CheckEnteredName(bad);
    ASSERT_TRUE(problem) << bad;
    EXPECT_EQ(problem->title, "Μη έγκυρο όνομα");
    EXPECT_EQ(problem->text, "Μη αποδεκτοί χαρακτήρες: \\ / | ? * \" : < >");
  }
  const auto dot = CheckEnteredName(".hidden");
  ASSERT_TRUE(dot);
  EXPECT_EQ(dot->text, "Το όνομα δε μπορεί να ξεκινάει από τελεία");
  EXPECT_FALSE(CheckEnteredName("Νέος φάκελος"));
  EXPECT_FALSE(CheckEnteredName("a.b"));
}

TEST(NameChecks, NamesTheServerCannotHoldAreRefusedToo) {
  // Windows drops a trailing dot ("a.b." would be created as "a.b"), reserves
  // device names, and the wire cannot carry what Windows-1253 lacks.
  EXPECT_EQ(CheckEnteredName("a.b.")->text, "Το όνομα δε μπορεί να τελειώνει σε τελεία ή κενό");
  EXPECT_EQ(CheckEnteredName("con")->text, "Το όνομα είναι δεσμευμένο από τα Windows");
  EXPECT_EQ(CheckEnteredName("LPT1.txt")->text, "Το όνομα είναι δεσμευμένο από τα Windows");
  EXPECT_EQ(CheckEnteredName("café")->text, "Μη υποστηριζόμενοι χαρακτήρες: é");
  EXPECT_EQ(CheckEnteredName("a\tb")->text, "Το όνομα περιέχει χαρακτήρες ελέγχου");
  // The dialog's own texts keep their place before the new rules.
  EXPECT_EQ(CheckEnteredName(".con")->text, "Το όνομα δε μπορεί να ξεκινάει από τελεία");
  EXPECT_EQ(CheckEnteredName("é?")->text, "Μη αποδεκτοί χαρακτήρες: \\ / | ? * \" : < >");
}

TEST(NameChecks, DialogTrimsSpacesAndTreatsBlankAsEmpty) {
  using Kind = NameDialogOutcome::Kind;
  EXPECT_EQ(CheckNameDialogText("   ").kind, Kind::kEmpty);
  const auto ok = CheckNameDialogText("  Αρχεία 2026  ");
  EXPECT_EQ(ok.kind, Kind::kAccepted);
  EXPECT_EQ(ok.name, "Αρχεία 2026");
  const auto dot = CheckNameDialogText("  .x");
  EXPECT_EQ(dot.kind, Kind::kRefused);
  EXPECT_EQ(dot.name, ".x") << "the leading space goes before the dot check";
  EXPECT_EQ(dot.problem.text, "Το όνομα δε μπορεί να ξεκινάει από τελεία");
}

TEST(FileIcons, ExtensionAfterTheLastDotOrDummyfile) {
  EXPECT_EQ(FileExtension("report.final.PDF"), ".PDF");
  EXPECT_EQ(FileExtension("README"), "dummyfile");
  EXPECT_EQ(FileExtension("name."), "dummyfile");
  EXPECT_EQ(FileExtension(".bashrc"), ".bashrc");
  EXPECT_EQ(IconKey(".pdf"), "I.pdf");
  EXPECT_EQ(IconKey("."), "I.");
  EXPECT_EQ(IconKey("dummyfile"), "Idummyfile");
}

TEST(ListDates, ShortDateAndHourMinuteWithoutSeconds) {
  SetShortDatePattern("d/m/yyyy");
  EXPECT_EQ(FormatListDate("20260306090559"), "6/3/2026 9:05");
  EXPECT_EQ(FormatListDate("20261231235959"), "31/12/2026 23:59");
  SetShortDatePattern("dd.mm.yy");
  EXPECT_EQ(FormatListDate("20260306090559"), "06.03.26 9:05");
  SetShortDatePattern("d/m/yyyy");
  EXPECT_EQ(FormatListDate(""), "");
  EXPECT_EQ(FormatListDate("2026"), "");
}

class Usage : public ::testing::Test {
 protected:
  void SetUp() override { support::SetDecimalSeparator(','); }
  void TearDown() override { support::SetDecimalSeparator('.'); }
  TransferSpeedCalc calc_;
};

TEST_F(Usage, LabelShowsSizesAndPercentInTheUsersNumberForm) {
  const auto view = ComputeUsage(1536, 1024 * 1024, calc_);
  EXPECT_EQ(view.label, "Χρήση προσωπικού χώρου: 1,5 KB από 1 MB (0,1%)");
  EXPECT_EQ(view.bar_state, BarState::kNormal);
  EXPECT_FALSE(view.over_quota);
}

TEST_F(Usage, BarColourThresholdsAt85And99) {
  EXPECT_EQ(ComputeUsage(849, 1000, calc_).bar_state, BarState::kNormal);
  EXPECT_EQ(ComputeUsage(850, 1000, calc_).bar_state, BarState::kPaused);
  EXPECT_EQ(ComputeUsage(989, 1000, calc_).bar_state, BarState::kPaused);
  EXPECT_EQ(ComputeUsage(990, 1000, calc_).bar_state, BarState::kError);
}

TEST_F(Usage, OverQuotaCapsTheBarAt100) {
  const auto view = ComputeUsage(1500, 1000, calc_);
  EXPECT_EQ(view.bar_value, 100);
  EXPECT_TRUE(view.over_quota);
  EXPECT_NE(view.label.find("(150%)"), std::string::npos);
}

TEST_F(Usage, ZeroQuotaHasADefinedText) {
  EXPECT_EQ(ComputeUsage(0, 0, calc_).label, "Χρήση προσωπικού χώρου: 0 bytes από 0 bytes (0%)");
  const auto used = ComputeUsage(10, 0, calc_);
  EXPECT_EQ(used.bar_value, 100);
  EXPECT_TRUE(used.over_quota);
}

}  // namespace
}  // namespace session
