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
using NameProblem = session::SessionUi::NameProblem;

class ConsoleUiTest : public ::testing::Test {
 protected:
  ConsoleUi Ui(ExistingTarget existing = ExistingTarget::kRefuse, bool terminal = false) {
    return ConsoleUi(err_, existing, terminal);
  }
  std::ostringstream err_;
};

TEST_F(ConsoleUiTest, MessagesAreAnsweredPrintedWithPlainLineBreaksAndCounted) {
  auto ui = Ui();
  EXPECT_EQ(ui.ShowMessage("Υπάρχει ήδη.", MessageIcon::kExclamation, MessageButtons::kOk, {}),
            MessageAnswer::kOk);
  ui.ShowMessage("Πρώτη.\r\nΔεύτερη.", MessageIcon::kCritical, MessageButtons::kOk, {});
  ui.ShowMessage("Έκδοση: 5", MessageIcon::kInformation, MessageButtons::kOk, {});
  // The delete confirmation is answered yes silently; any other question is declined.
  EXPECT_EQ(ui.ShowMessage("Διαγραφή του a;", MessageIcon::kQuestion, MessageButtons::kYesNo, {}),
            MessageAnswer::kYes);
  EXPECT_EQ(ui.ShowMessage("Λήψη νεότερης έκδοσης;", MessageIcon::kExclamation,
                           MessageButtons::kYesNo, {}),
            MessageAnswer::kNo);
  // The log's error box and the balloons are failures too; no address is opened.
  ui.ShowErrorBox("[DownloadFile] Σφάλμα: x");
  ui.ShowBalloonTip(session::EditBox::kId, "Δεν έχει οριστεί ID", "Ελλιπή στοιχεία",
                    session::BalloonIcon::kWarning);
  ui.OpenUrl("http://example.invalid/x.exe");
  EXPECT_EQ(ui.Refusals(), 5) << "information and the delete question are no failures";
  EXPECT_EQ(ui.ConnectionFailures(), 0);
  EXPECT_EQ(err_.str(),
            "Υπάρχει ήδη.\nΠρώτη.\nΔεύτερη.\nΈκδοση: 5\nΛήψη νεότερης έκδοσης;\n[DownloadFile] "
            "Σφάλμα: x\nΕλλιπή στοιχεία: Δεν έχει οριστεί ID\nvaultline-cli: not opened: "
            "http://example.invalid/x.exe\n");
}

TEST_F(ConsoleUiTest, ConnectionTextsAreToldApartFromRefusals) {
  auto ui = Ui();
  const std::string connect = "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.";
  ui.ShowMessage(connect, MessageIcon::kCritical, MessageButtons::kOk, {});
  ui.ShowMessage("Χάθηκε η σύνδεση με τον προσωπικό χώρο.", MessageIcon::kCritical,
                 MessageButtons::kOk, {});
  EXPECT_EQ(ui.ConnectionFailures(), 2);
  EXPECT_EQ(ui.Refusals(), 0);
  // Maintenance starts with the same sentence but is the server's refusal.
  ui.ShowMessage(connect + "\r\nΕργασίες συντήρησης.", MessageIcon::kCritical, MessageButtons::kOk,
                 {});
  EXPECT_EQ(ui.Refusals(), 1);
}

TEST_F(ConsoleUiTest, ExistingTargetsFollowTheFlag) {
  const struct {
    ExistingTarget flag;
    bool allow_continue;  ///< the copy is shorter
    bool same_size;
    ExistsAnswer answer;
    bool refused;
    const char* note;
  } cases[] = {
      {ExistingTarget::kRefuse, true, false, ExistsAnswer::kCancel, true, "--resume or --replace"},
      {ExistingTarget::kReplace, false, false, ExistsAnswer::kReplace, false, ""},
      {ExistingTarget::kReplace, true, false, ExistsAnswer::kReplace, false, ""},
      {ExistingTarget::kResume, true, false, ExistsAnswer::kContinue, false, ""},
      {ExistingTarget::kResume, false, false, ExistsAnswer::kCancel, true, "nothing to resume"},
      {ExistingTarget::kResume, false, true, ExistsAnswer::kCancel, false, "already has every"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    err_.str("");
    auto ui = Ui(c.flag);
    session::ExistsRequest request;
    request.text = "Το αρχείο a υπάρχει ήδη.";
    request.allow_continue = c.allow_continue;
    request.same_size = c.same_size;
    EXPECT_EQ(ui.AskReplaceOrResume(request), c.answer);
    EXPECT_EQ(ui.ExistsRefused(), c.refused);
    EXPECT_EQ(ui.AlreadyComplete(), c.same_size);
    EXPECT_NE(err_.str().find(c.note), std::string::npos) << err_.str();
  }
}

TEST_F(ConsoleUiTest, TheNameDialogAnswersOnceWithTheTrimmedNameOrRefusesIt) {
  auto ui = Ui();
  std::string checked;
  const auto record = [&](const std::string& n) -> std::optional<NameProblem> {
    checked = n;
    return std::nullopt;
  };
  EXPECT_EQ(ui.AskName({}, record), std::nullopt) << "no name given: cancelled";
  ui.SetNameAnswer("  Νέος φάκελος  ");
  EXPECT_EQ(ui.AskName({}, record), "Νέος φάκελος");
  EXPECT_EQ(checked, "Νέος φάκελος") << "the validator sees the trimmed name";
  EXPECT_EQ(ui.AskName({}, record), std::nullopt) << "a second dialog is cancelled";
  EXPECT_FALSE(ui.NameRefused());
  ui.SetNameAnswer("   ");
  EXPECT_EQ(ui.AskName({}, record), std::nullopt);
  EXPECT_TRUE(ui.NameRefused());
  EXPECT_EQ(err_.str(), "vaultline-cli: the name is empty\n");
  ui.ResetOutcome();
  EXPECT_FALSE(ui.NameRefused());
  ui.SetNameAnswer("ab");  // the dialog takes it; the session's check refuses it
  const auto refuse = [](const std::string&) -> std::optional<NameProblem> {
    return NameProblem{"Μη έγκυρο όνομα", "Μη αποδεκτοί χαρακτήρες"};
  };
  EXPECT_EQ(ui.AskName({}, refuse), std::nullopt);
  EXPECT_TRUE(ui.NameRefused());
  EXPECT_NE(err_.str().find("\nΜη έγκυρο όνομα: Μη αποδεκτοί χαρακτήρες\n"), std::string::npos);
}

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
  const auto first = Progress("Ελήφθησαν 1 MB από 3 MB (33%)", "Ταχύτητα: 1 MB/s",
                              "Εκτιμώμενος χρόνος: 2 δευτ/τα");
  ui.DrawProgress(first);
  ui.DrawProgress(first);  // unchanged: not drawn again
  ui.DrawProgress(Progress("Ελήφθησαν 3 MB από 3 MB (100%)", "", ""));
  auto hidden_time = Progress("a", "b", "c");
  hidden_time.time_visible = false;
  ui.DrawProgress(hidden_time);
  ui.Note("done");
  // A shorter line is followed by blanks that wipe the rest of the longer one,
  // counted in characters, not bytes.
  EXPECT_EQ(err_.str(),
            "\rΕλήφθησαν 1 MB από 3 MB (33%)  Ταχύτητα: 1 MB/s  Εκτιμώμενος χρόνος: 2 δευτ/τα"
            "\rΕλήφθησαν 3 MB από 3 MB (100%)" +
                std::string(78 - 30, ' ') + "\ra  b" + std::string(30 - 4, ' ') +
                "\nvaultline-cli: done\n");
}

}  // namespace
}  // namespace cli
