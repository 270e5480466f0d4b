#include "cli/console_ui.h"

#include <gtest/gtest.h>

#include <sstream>

#include "session/dialog_requests.h"

namespace cli {
namespace {

using session::ExistsAnswer;
using session::MessageAnswer;
using session::MessageButtons;
using session::MessageIcon;

/// The file-exists dialog of a target `text` is about.
session::ExistsRequest Exists(std::string text, bool allow_continue) {
  session::ExistsRequest request;
  request.text = std::move(text);
  request.allow_continue = allow_continue;
  return request;
}

class ConsoleUiTest : public ::testing::Test {
 protected:
  ConsoleUi Ui(ExistingTarget existing = ExistingTarget::kRefuse, bool terminal = false) {
    return ConsoleUi(err_, existing, terminal);
  }
  std::ostringstream err_;
};

TEST_F(ConsoleUiTest, ServerRefusalsArePrintedWithPlainLineBreaksAndCounted) {
  auto ui = Ui();
  EXPECT_EQ(
      ui.ShowMessage("Ο φάκελος υπάρχει ήδη.", MessageIcon::kExclamation, MessageButtons::kOk, {}),
      MessageAnswer::kOk);
  ui.ShowMessage("Πρώτη.\r\nΔεύτερη.", MessageIcon::kCritical, MessageButtons::kOk, {});
  EXPECT_EQ(err_.str(), "Ο φάκελος υπάρχει ήδη.\nΠρώτη.\nΔεύτερη.\n");
  EXPECT_EQ(ui.Refusals(), 2);
  EXPECT_EQ(ui.ConnectionFailures(), 0);
}

TEST_F(ConsoleUiTest, ConnectionTextsAreToldApartFromRefusals) {
  auto ui = Ui();
  ui.ShowMessage("Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.", MessageIcon::kCritical,
                 MessageButtons::kOk, {});
  ui.ShowMessage("Χάθηκε η σύνδεση με τον προσωπικό χώρο.", MessageIcon::kCritical,
                 MessageButtons::kOk, {});
  EXPECT_EQ(ui.ConnectionFailures(), 2);
  EXPECT_EQ(ui.Refusals(), 0);
  // Maintenance starts with the same sentence but is the server's refusal.
  ui.ShowMessage(
      "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.\r\n"
      "Αυτή τη στιγμή εκτελούνται εργασίες συντήρησης.",
      MessageIcon::kCritical, MessageButtons::kOk, {});
  EXPECT_EQ(ui.Refusals(), 1);
}

TEST_F(ConsoleUiTest, InformationIsPrintedButIsNoFailure) {
  auto ui = Ui();
  ui.ShowMessage("Έκδοση πρωτοκόλλου: 5", MessageIcon::kInformation, MessageButtons::kOk, {});
  EXPECT_EQ(err_.str(), "Έκδοση πρωτοκόλλου: 5\n");
  EXPECT_EQ(ui.Refusals(), 0);
}

TEST_F(ConsoleUiTest, TheDeleteQuestionIsAnsweredYesSilently) {
  auto ui = Ui();
  EXPECT_EQ(ui.ShowMessage("Θέλετε σίγουρα να διαγράψετε το αρχείο a;", MessageIcon::kQuestion,
                           MessageButtons::kYesNo, "Διαγραφή"),
            MessageAnswer::kYes);
  EXPECT_EQ(err_.str(), "");
  EXPECT_EQ(ui.Refusals(), 0);
}

TEST_F(ConsoleUiTest, OtherQuestionsAreDeclinedAndNothingIsOpened) {
  auto ui = Ui();
  EXPECT_EQ(ui.ShowMessage("Απαιτείται νεότερη έκδοση. Θέλετε να την κατεβάσετε τώρα;",
                           MessageIcon::kExclamation, MessageButtons::kYesNo, {}),
            MessageAnswer::kNo);
  EXPECT_EQ(ui.Refusals(), 1);
  ui.OpenUrl("http://example.invalid/x.exe");
  EXPECT_NE(err_.str().find("not opened"), std::string::npos);
}

TEST_F(ConsoleUiTest, ErrorBoxAndBalloonsCountAsFailures) {
  auto ui = Ui();
  ui.ShowErrorBox("[DownloadFile] Σφάλμα: x");
  ui.ShowBalloonTip(session::EditBox::kId, "Δεν έχει οριστεί ID χρήστη", "Ελλιπή στοιχεία",
                    session::BalloonIcon::kWarning);
  EXPECT_EQ(ui.Refusals(), 2);
  EXPECT_NE(err_.str().find("Ελλιπή στοιχεία: Δεν έχει οριστεί ID χρήστη"), std::string::npos);
}

// ---- Existing targets ----

TEST_F(ConsoleUiTest, WithoutAFlagAnExistingTargetIsRefused) {
  auto ui = Ui(ExistingTarget::kRefuse);
  EXPECT_EQ(ui.AskReplaceOrResume(Exists("Το αρχείο a υπάρχει ήδη.", true)), ExistsAnswer::kCancel);
  EXPECT_TRUE(ui.ExistsRefused());
  EXPECT_NE(err_.str().find("--resume or --replace"), std::string::npos);
}

TEST_F(ConsoleUiTest, ReplaceAlwaysReplaces) {
  auto ui = Ui(ExistingTarget::kReplace);
  EXPECT_EQ(ui.AskReplaceOrResume(Exists("t", false)), ExistsAnswer::kReplace);
  EXPECT_EQ(ui.AskReplaceOrResume(Exists("t", true)), ExistsAnswer::kReplace);
  EXPECT_FALSE(ui.ExistsRefused());
}

TEST_F(ConsoleUiTest, ResumeContinuesOnlyWhenTheCopyIsShorter) {
  auto ui = Ui(ExistingTarget::kResume);
  EXPECT_EQ(ui.AskReplaceOrResume(Exists("t", true)), ExistsAnswer::kContinue);
  EXPECT_FALSE(ui.ExistsRefused());
  EXPECT_EQ(ui.AskReplaceOrResume(Exists("t", false)), ExistsAnswer::kCancel);
  EXPECT_TRUE(ui.ExistsRefused());
  EXPECT_NE(err_.str().find("nothing to resume"), std::string::npos);
  ui.ResetOutcome();
  EXPECT_FALSE(ui.ExistsRefused());
}

// ---- Names and files ----

TEST_F(ConsoleUiTest, TheNameDialogAnswersOnceWithTheGivenName) {
  auto ui = Ui();
  const auto accept = [](const std::string&) -> std::optional<session::SessionUi::NameProblem> {
    return std::nullopt;
  };
  EXPECT_EQ(ui.AskName({}, accept), std::nullopt) << "no name given: cancelled";
  ui.SetNameAnswer("Νέος");
  EXPECT_EQ(ui.AskName({}, accept), "Νέος");
  EXPECT_EQ(ui.AskName({}, accept), std::nullopt) << "a second dialog is cancelled";
}

TEST_F(ConsoleUiTest, ARefusedNameIsReportedAndCancelsTheDialog) {
  auto ui = Ui();
  ui.SetNameAnswer("ab");  // the dialog takes it; the session's check refuses it
  const auto refuse = [](const std::string&) -> std::optional<session::SessionUi::NameProblem> {
    return session::SessionUi::NameProblem{"Μη έγκυρο όνομα", "Μη αποδεκτοί χαρακτήρες"};
  };
  EXPECT_EQ(ui.AskName({}, refuse), std::nullopt);
  EXPECT_TRUE(ui.NameRefused());
  EXPECT_EQ(err_.str(), "Μη έγκυρο όνομα: Μη αποδεκτοί χαρακτήρες\n");
}

TEST_F(ConsoleUiTest, TheNameIsTrimmedAsTheDialogDoesAndAnEmptyNameIsRefused) {
  auto ui = Ui();
  std::string checked;
  const auto record = [&](const std::string& n) -> std::optional<session::SessionUi::NameProblem> {
    checked = n;
    return std::nullopt;
  };
  ui.SetNameAnswer("  Νέος φάκελος  ");
  EXPECT_EQ(ui.AskName({}, record), "Νέος φάκελος");
  EXPECT_EQ(checked, "Νέος φάκελος") << "the validator sees the trimmed name";
  ui.SetNameAnswer("   ");
  EXPECT_EQ(ui.AskName({}, record), std::nullopt);
  EXPECT_TRUE(ui.NameRefused());
  EXPECT_NE(err_.str().find("the name is empty"), std::string::npos);
}

TEST_F(ConsoleUiTest, FileDialogsAnswerThePathsOfTheCommandLine) {
  auto ui = Ui();
  EXPECT_EQ(ui.AskSaveFile(session::SaveFileRequest("s")), std::nullopt);
  ui.SetSaveFileAnswer("/tmp/a");
  ui.SetOpenFileAnswer("/tmp/b");
  EXPECT_EQ(ui.AskSaveFile(session::SaveFileRequest("s")), "/tmp/a");
  EXPECT_EQ(ui.AskOpenFile(session::OpenFileRequest()), "/tmp/b");
}

TEST_F(ConsoleUiTest, CompletionsAndCloseRequestsAreRecorded) {
  auto ui = Ui();
  ui.PlayCompletionSound();
  ui.CloseMainWindow();
  EXPECT_EQ(ui.Completions(), 1);
  EXPECT_TRUE(ui.CloseRequested());
}

// ---- Progress line ----

session::ProgressViewState Progress(std::string text, std::string speed, std::string time) {
  session::ProgressViewState p;
  p.visible = true;
  p.progress_text = std::move(text);
  p.speed_text = std::move(speed);
  p.time_text = std::move(time);
  return p;
}

TEST_F(ConsoleUiTest, ProgressLineRedrawsInPlaceOnATerminal) {
  auto ui = Ui(ExistingTarget::kRefuse, true);
  ui.DrawProgress(Progress("Ελήφθησαν 1 MB από 3 MB (33%)", "Ταχύτητα: 1 MB/s",
                           "Εκτιμώμενος χρόνος: 2 δευτ/τα"));
  ui.DrawProgress(Progress("Ελήφθησαν 1 MB από 3 MB (33%)", "Ταχύτητα: 1 MB/s",
                           "Εκτιμώμενος χρόνος: 2 δευτ/τα"));
  ui.DrawProgress(Progress("Ελήφθησαν 3 MB από 3 MB (100%)", "", ""));
  ui.Note("done");
  const std::string first =
      "\rΕλήφθησαν 1 MB από 3 MB (33%)  Ταχύτητα: 1 MB/s  Εκτιμώμενος χρόνος: 2 δευτ/τα";
  const std::string second = "\rΕλήφθησαν 3 MB από 3 MB (100%)";
  // The second line is shorter: blanks wipe the rest of the first (counted in characters).
  const std::size_t first_columns = 29 + 2 + 16 + 2 + 29;
  const std::string wipe(first_columns - 30, ' ');
  EXPECT_EQ(err_.str(), first + second + wipe + "\nvaultline-cli: done\n");
}

TEST_F(ConsoleUiTest, ProgressLineIsSilentWhenNotATerminal) {
  auto ui = Ui(ExistingTarget::kRefuse, false);
  ui.DrawProgress(Progress("Ελήφθησαν 1 MB από 3 MB (33%)", "x", "y"));
  ui.EndProgress();
  EXPECT_EQ(err_.str(), "");
}

TEST_F(ConsoleUiTest, HiddenTimeIsLeftOut) {
  auto ui = Ui(ExistingTarget::kRefuse, true);
  auto p = Progress("a", "b", "c");
  p.time_visible = false;
  ui.DrawProgress(p);
  EXPECT_EQ(err_.str(), "\ra  b");
}

}  // namespace
}  // namespace cli
