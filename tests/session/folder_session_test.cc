#include "session/folder_session.h"

#include <gtest/gtest.h>
#include <cctype>

#include "app/crypto.h"
#include "session/protocol.h"
#include "session_fixture.h"
#include "support/text.h"

namespace session {
namespace {

using namespace std::chrono_literals;
using testing::Framed;
using testing::Wire;

// ---- Log-in chain ----

TEST_F(SessionTest, LoginChainRunsInOrderAndFillsTheView) {
  LogIn();
  EXPECT_EQ(View().dcbConnect.caption, "Αποσύνδεση");
  EXPECT_EQ(View().dcbConnect.tooltip, "Αποσύνδεση από τον προσωπικό χώρο");
  EXPECT_FALSE(View().lnkDF.visible);
  EXPECT_TRUE(View().usage_visible);
  EXPECT_EQ(View().lblPFSize.caption, "Χρήση προσωπικού χώρου: 100 bytes από 1000 bytes (10%)");
  EXPECT_DOUBLE_EQ(View().pbPFSize_value, 10);
  EXPECT_EQ(View().window_caption, "Προσωπικός χώρος");
  EXPECT_TRUE(View().txtID.locked);
  EXPECT_FALSE(View().dcbProxy.enabled);
  EXPECT_TRUE(View().lvFiles_enabled);
  EXPECT_TRUE(View().dcbRefresh.enabled);
  EXPECT_TRUE(View().dcbUpload.enabled);
  EXPECT_TRUE(View().dcbNewFolder.enabled);
  EXPECT_TRUE(session_->KeepAliveEnabled());
  EXPECT_EQ(session_->LoginTime(), "20261206101500");
  EXPECT_TRUE(session_->LoggedIn());
  EXPECT_TRUE(log_.Has("Έγινε σύνδεση."));
  EXPECT_FALSE(View().lblCleanupWarning.visible) << "0 days shows no notice";
  ASSERT_EQ(View().rows.size(), 2u);
  EXPECT_EQ(View().rows[0].icon_key, "I.");
  EXPECT_EQ(View().rows[1].size_text, "2 KB");
  EXPECT_EQ(View().rows[1].icon_key, "I.pdf");
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_FALSE(View().dcbUp.enabled);
}

TEST_F(SessionTest, DealersAccessShowsTheSwitchAndCleanupNoticeShowsDays) {
  LogInUntilList("LOGINOK|0|1000|True|False");
  ExpectFrame("LIST|\\|False");
  peer_->SendFrame("LIST|");
  ExpectFrame("MYLOGINTIME");
  peer_->SendFrame("LOGINTIME|t");
  ExpectFrame("SCHCLEANUPINFO");
  EXPECT_FALSE(session_->LoggedIn()) << "the chain has not sent PCINFO yet";
  EXPECT_FALSE(View().window_enabled);
  peer_->SendFrame("SCHCLEANUPINFO|30|7");
  ExpectFrame("PCINFO|Debian GNU/Linux 12 (bookworm)|Test CPU @ 2.00GHz|8192|1536|1.00.0");
  EXPECT_TRUE(View().lnkDF.visible);
  EXPECT_EQ(View().lnkDF.caption, "Μετάβαση στο χώρο συνεργατών");
  EXPECT_TRUE(View().lblCleanupWarning.visible);
  EXPECT_EQ(View().lblCleanupWarning.caption,
            "Προσοχή: Τα αρχεία των προσωπικών χώρων, παλιότερα των 30 ημερών, διαγράφονται "
            "αυτόματα κάθε 7 ημέρες.");
}

TEST_F(SessionTest, FolderSwitchListsTheTopAndAsksForTheTotal) {
  LogIn("", "LOGINOK|0|1000|True|False");
  session_->lnkDF_Click();
  EXPECT_FALSE(View().window_enabled);
  ExpectFrame("DEALERS FOLDER");
  peer_->SendFrame("DEALEROK");
  ExpectFrame("LIST|\\|False");
  peer_->SendFrame("LIST|Old|0||\r\nshared.txt|5|20260101000000");
  ExpectFrame("TOTALSIZE");
  peer_->SendFrame("TOTALSIZE|77");
  ASSERT_TRUE(Until([&] { return session_->UsedBytes() == 77; }));
  EXPECT_TRUE(session_->InDealersFolder());
  EXPECT_EQ(View().window_caption, "Χώρος συνεργατών");
  EXPECT_EQ(View().lnkDF.caption, "Μετάβαση στον προσωπικό χώρο");
  EXPECT_EQ(View().lnkDF.icon_key, "imgGoToPF");
  EXPECT_EQ(View().dcbConnect.tooltip, "Αποσύνδεση από το χώρο συνεργατών");
  EXPECT_FALSE(View().usage_visible);
  EXPECT_FALSE(View().dcbNewFolder.enabled);
  EXPECT_FALSE(View().dcbUpload.enabled);
  EXPECT_EQ(session_->UsedBytes(), 77);
  EXPECT_TRUE(log_.Has("Μετάβαση στο χώρο συνεργατών"));
  Select("shared.txt");
  EXPECT_TRUE(View().dcbDownload.enabled);
  EXPECT_FALSE(View().dcbRename.enabled) << "the dealers folder is read-only";
  EXPECT_FALSE(View().dcbDelete.enabled);
  session_->lvFiles_KeyDown(ListKey::kF2);
  session_->lvFiles_KeyDown(ListKey::kDelete);
  session_->dcbNewFolder_Click();
  Settle();
  EXPECT_TRUE(ui_.name_requests.empty());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(peer_->received, "");
  Select("Old");
  session_->lvFiles_DblClick();
  ExpectFrame("LIST|\\Old\\|False");
  Reply("LIST|notes.txt|4|20260101000000");
  EXPECT_FALSE(View().dcbUpload.enabled) << "still the dealers folder";
  EXPECT_FALSE(View().dcbNewFolder.enabled);

  session_->lnkDF_Click();  // the switch starts at the top
  ExpectFrame("PERSONAL FOLDER");
  peer_->SendFrame("DEALEROK");
  ExpectFrame("LIST|\\|False");
  peer_->SendFrame("LIST|");
  ExpectFrame("TOTALSIZE");
  peer_->SendFrame("TOTALSIZE|5");
  ASSERT_TRUE(Until([&] { return session_->UsedBytes() == 5; }));
  EXPECT_FALSE(session_->InDealersFolder());
  EXPECT_EQ(View().window_caption, "Προσωπικός χώρος");
  EXPECT_TRUE(View().usage_visible);
  EXPECT_TRUE(View().dcbUpload.enabled);
  EXPECT_EQ(View().lnkDF.icon_key, "imgGoToDF");
  EXPECT_TRUE(log_.Has("Μετάβαση στον προσωπικό χώρο"));
}

TEST_F(SessionTest, DisconnectInTheDealersFolderNamesItAndLeavesIt) {
  LogIn("", "LOGINOK|0|1000|True|False");
  session_->lnkDF_Click();
  ExpectFrame("DEALERS FOLDER");
  peer_->SendFrame("DEALEROK");
  ExpectFrame("LIST|\\|False");
  peer_->SendFrame("LIST|");
  ExpectFrame("TOTALSIZE");
  Reply("TOTALSIZE|0");
  session_->dcbConnect_Click();
  EXPECT_TRUE(log_.Has("Αποσύνδεση από το χώρο συνεργατών"));
  EXPECT_FALSE(session_->InDealersFolder());
  EXPECT_EQ(View().window_caption, "Προσωπικός χώρος");
  EXPECT_FALSE(View().lnkDF.visible);
}

// ---- Error replies ----

struct ErrorCase {
  const char* reply;
  const char* log_line;
  const char* message;
  MessageIcon icon;
};

void PrintTo(const ErrorCase& c, std::ostream* out) { *out << c.reply; }

class ErrorReplyTest : public SessionTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorReplyTest, LoginRefusalsResetAndExplain) {
  const ErrorCase& c = GetParam();
  LogInUntilList(c.reply);
  ASSERT_TRUE(Until([&] { return !ui_.messages.empty(); }));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, c.message);
  EXPECT_EQ(ui_.messages[0].icon, c.icon);
  EXPECT_EQ(ui_.messages[0].buttons, MessageButtons::kOk);
  EXPECT_TRUE(log_.Has(c.log_line));
  EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
  EXPECT_TRUE(View().window_enabled);
  EXPECT_FALSE(View().txtID.locked);
  EXPECT_FALSE(View().usage_visible);
  EXPECT_TRUE(View().rows.empty());
  EXPECT_FALSE(session_->KeepAliveEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ErrorReplyTest,
    ::testing::Values(
        ErrorCase{"NOLOGIN", "Λάθος ID χρήστη ή κωδικός πρόσβασης.",
                  "Λάθος ID χρήστη ή κωδικός πρόσβασης.", MessageIcon::kCritical},
        ErrorCase{"LOGIN2", "Υπέρβαση ορίου ταυτόχρονων συνδέσεων.",
                  "Έχετε υπερβεί το όριο ταυτόχρονων συνδέσεων.", MessageIcon::kExclamation},
        ErrorCase{"NOMORE", "Ο διακομιστής δεν αποδέχεται νέες συνδέσεις.",
                  "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.\r\nΑυτή τη στιγμή "
                  "εκτελούνται εργασίες συντήρησης.",
                  MessageIcon::kCritical},
        ErrorCase{"DIRERROR", "Αδύνατη η προσπέλαση στο φάκελο του προσωπικού χώρου.",
                  "Παρουσιάστηκε σφάλμα κατά το άνοιγμα του ριζικού φακέλου.",
                  MessageIcon::kCritical},
        ErrorCase{"NOPERMISSION", "Απαγορεύεται η πρόσβαση.",
                  "Δεν έχετε επαρκή δικαιώματα για πρόσβαση στον προσωπικό χώρο.\r\nΑν "
                  "πιστεύετε ότι το μήνυμα είναι εσφαλμένο, επικοινωνήστε με τη Norvane.",
                  MessageIcon::kCritical}),
    [](const auto& info) {
      std::string n = info.param.reply;
      for (char& c : n) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return n + "_" + std::to_string(info.index);
    });

TEST_F(SessionTest, ProtocolMismatchOffersTheNewerClientAndClosesOnYesOnly) {
  for (const MessageAnswer answer : {MessageAnswer::kNo, MessageAnswer::kYes}) {
    SCOPED_TRACE(answer == MessageAnswer::kYes ? "Yes" : "No");
    ui_.messages.clear();
    ui_.answers.push_back(answer);
    LogInUntilList("PROTOCOL");
    ASSERT_TRUE(Until([&] { return !ui_.messages.empty(); }));
    EXPECT_EQ(ui_.messages[0].text,
              "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.\r\n"
              "Απαιτείται νεότερη έκδοση του εργαλείου. Θέλετε να την κατεβάσετε τώρα;");
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kExclamation);
    EXPECT_EQ(ui_.messages[0].buttons, MessageButtons::kYesNo);
    EXPECT_TRUE(log_.Has("Ασυμφωνία πρωτοκόλλου επικοινωνίας."));
    EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
    EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
  }
  EXPECT_EQ(ui_.main_window_closed, 1);
  ASSERT_EQ(ui_.urls.size(), 1u);
  EXPECT_EQ(ui_.urls[0], "http://127.0.0.1/downloads/cd/other/tools/Vaultline.exe");
}

TEST_F(SessionTest, ErrorRepliesToACommandKeepOrEndTheSession) {
  struct Case {
    const char* reply;
    const char* message;
    MessageIcon icon;
    bool ends_session;
  };
  LogIn();
  for (const Case& c : {
           Case{"DIREXISTS", "Ο φάκελος υπάρχει ήδη.", MessageIcon::kExclamation, false},
           Case{"FILEEXISTS", "Το αρχείο υπάρχει ήδη.", MessageIcon::kExclamation, false},
           Case{"FILENOTFOUND", "Το αρχείο δε βρέθηκε.", MessageIcon::kExclamation, false},
           Case{"INUSE", "Αυτή τη στιγμή το αρχείο χρησιμοποιείται.", MessageIcon::kExclamation,
                false},
           Case{"UNEXPECTED", "Απροσδόκητο σφάλμα", MessageIcon::kCritical, true},
           // A refused folder switch, for one, ends the session.
           Case{"NOPERMISSION",
                "Δεν έχετε επαρκή δικαιώματα για πρόσβαση στον προσωπικό χώρο.\r\nΑν "
                "πιστεύετε ότι το μήνυμα είναι εσφαλμένο, επικοινωνήστε με τη Norvane.",
                MessageIcon::kCritical, true},
       }) {
    SCOPED_TRACE(c.reply);
    if (session_->ClientState() != net::SocketState::kConnected) LogIn();
    ui_.messages.clear();
    ui_.names.push_back("Docs");
    session_->dcbNewFolder_Click();
    ExpectFrame("NEWDIR|\\Docs");
    Reply(c.reply);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, c.message);
    EXPECT_EQ(ui_.messages[0].icon, c.icon);
    EXPECT_EQ(View().cursor, Cursor::kNormal);
    if (c.ends_session) {
      ASSERT_TRUE(Until([&] { return session_->ClientState() == net::SocketState::kClosed; }));
      EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
      EXPECT_TRUE(View().rows.empty());
    } else {
      EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
      EXPECT_EQ(View().dcbConnect.caption, "Αποσύνδεση");
      EXPECT_EQ(View().rows.size(), 2u) << "the list is left as it was";
    }
  }
}

// ---- Receiver ----

TEST_F(SessionTest, ReplySplitOverDeliveriesIsDispatchedOnce) {
  LogInUntilList();
  ExpectFrame("LIST|\\|False");
  const std::string frame = Framed("LIST|a.txt|1|20260101000000\r\nb|0||");
  peer_->Send(frame.substr(0, 3));
  Settle();
  peer_->Send(frame.substr(3, 10));
  Settle();
  EXPECT_TRUE(View().rows.empty()) << "nothing dispatched before the frame is whole";
  EXPECT_EQ(peer_->received, "");
  peer_->Send(frame.substr(13));
  ExpectFrame("MYLOGINTIME");
  EXPECT_EQ(View().rows.size(), 2u);
}

TEST_F(SessionTest, BytesBeyondAFrameStartTheNextFrame) {
  LogIn();
  session_->dcbRefresh_Click();
  ExpectFrame("LIST|\\|False");
  peer_->Send(Framed("LIST|x|1|20260101000000") + Framed("TOTALSIZE|555"));
  ExpectFrame("TOTALSIZE");
  ASSERT_TRUE(Until([&] { return session_->UsedBytes() == 555; }));
}

TEST_F(SessionTest, PingAloneIsAnsweredEvenWhileAFrameIsPending) {
  LogIn();
  session_->dcbRefresh_Click();
  ExpectFrame("LIST|\\|False");
  peer_->Send("10|LIST|");  // an incomplete frame
  Settle();
  peer_->Send("PING");
  Expect("PONG");
  peer_->Send("a|0||");
  ExpectFrame("TOTALSIZE");
  EXPECT_EQ(View().rows.size(), 1u);
}

TEST_F(SessionTest, PingGluedToOtherBytesIsNotAKeepAlive) {
  LogIn();
  peer_->Send("PINGPING");
  ASSERT_TRUE(Until([&] { return session_->ClientState() == net::SocketState::kClosed; }));
  EXPECT_TRUE(log_.errors.empty()) << "a chunk without any bar is dropped silently";
  EXPECT_EQ(peer_->Take(), "");
}

struct MalformedCase {
  const char* name;
  std::string bytes;
  bool reported;
};

void PrintTo(const MalformedCase& c, std::ostream* out) { *out << c.name; }

class MalformedTest : public SessionTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedTest, ResetsCleanlyAndReportsWhereDue) {
  LogIn();
  peer_->Send(GetParam().bytes);
  ASSERT_TRUE(Until([&] { return session_->ClientState() == net::SocketState::kClosed; }));
  EXPECT_EQ(!log_.errors.empty(), GetParam().reported) << GetParam().name;
  if (GetParam().reported) {
    EXPECT_EQ(log_.errors[0].rfind("[smClient_DataArrival] Σφάλμα: ", 0), 0u) << log_.errors[0];
  }
  EXPECT_TRUE(View().window_enabled);
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
  EXPECT_TRUE(View().rows.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Input, MalformedTest,
    ::testing::Values(MalformedCase{"no bar", "garbage", false},
                      MalformedCase{"bad digits", "1x|LIST|", true},
                      MalformedCase{"huge length", "99999999999999|LIST|", true},
                      MalformedCase{"short LOGINOK", Framed("LOGINOK|1|2"), true},
                      MalformedCase{"short TOTALSIZE", Framed("TOTALSIZE"), true},
                      MalformedCase{"LIST row of two fields", Framed("LIST|a|1"), true},
                      MalformedCase{"LIST size not a number", Framed("LIST|a|x|"), true},
                      MalformedCase{"nonnumeric size", Framed("TOTALSIZE|lots"), true}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& c : n) {
        if (c == ' ') c = '_';
      }
      return n;
    });

TEST_F(SessionTest, ServerClosingMidRequestResetsSilently) {
  LogIn();
  session_->dcbRefresh_Click();
  ExpectFrame("LIST|\\|False");
  peer_->Close();
  ASSERT_TRUE(Until([&] { return View().window_enabled; }));
  EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
}

TEST_F(SessionTest, ConnectionLostDuringTheNameDialogIsReportedAndNothingIsSent) {
  LogIn();
  ui_.names.push_back("New");
  ui_.during_dialog = [&] {
    peer_->Close();
    ASSERT_TRUE(Until([&] { return session_->ClientState() == net::SocketState::kClosed; }));
  };
  session_->dcbNewFolder_Click();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Χάθηκε η σύνδεση με τον προσωπικό χώρο.");
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kCritical);
  EXPECT_TRUE(View().window_enabled);
  EXPECT_GE(ui_.dialogs_closed, 1);
}

// ---- Browsing ----

TEST_F(SessionTest, EnteringAndLeavingAnOrdinaryFolder) {
  LogIn();
  session_->lvFiles_MouseDown(MouseButton::kRight, RowNamed("Docs"));
  session_->lvFiles_DblClick();
  Settle();
  EXPECT_EQ(peer_->received, "") << "a double click counts only after a left press on a row";
  Select("Docs");
  EXPECT_FALSE(View().dcbDownload.enabled);
  EXPECT_TRUE(View().dcbRename.enabled);
  session_->lvFiles_DblClick();
  ExpectFrame("LIST|\\Docs\\|False");
  Reply("LIST|inner.txt|3|20260101000000");
  EXPECT_TRUE(log_.Has("Άνοιγμα του φακέλου \\Docs\\"));
  ASSERT_EQ(View().rows.size(), 2u);
  EXPECT_EQ(View().rows[0].name, "..");
  EXPECT_TRUE(View().dcbUp.enabled);
  EXPECT_EQ(View().lblPath.caption, "\\Docs\\");
  EXPECT_EQ(session_->RowSizes(), (std::vector<std::int64_t>{0, 3}));
  Settle();
  EXPECT_EQ(peer_->received, "") << "opening a folder asks for no total";

  Select("..");
  EXPECT_FALSE(View().dcbRename.enabled);
  session_->lvFiles_KeyDown(ListKey::kEnter);
  ExpectFrame("LIST|\\|False");
  Reply("LIST|Docs|0||");
  EXPECT_EQ(View().lblPath.caption, "\\");
  Select("Docs");
  session_->lvFiles_KeyDown(ListKey::kEnter);
  ExpectFrame("LIST|\\Docs\\|False");
  Reply("LIST|");
  session_->lvFiles_KeyDown(ListKey::kBackspace);
  ExpectFrame("LIST|\\|False");
  Reply("LIST|Docs|0||");
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_FALSE(View().dcbUp.enabled);
  session_->lvFiles_KeyDown(ListKey::kBackspace);  // nothing above the root
  Settle();
  EXPECT_EQ(peer_->received, "");
}

TEST_F(SessionTest, LinkedFolderIsListedByItsTargetDrawnBlueAndLocked) {
  LogIn("Manuals|0||\\manuals\\\r\nDocs|0||");
  EXPECT_TRUE(View().rows[RowNamed("Manuals")].blue);
  EXPECT_FALSE(View().rows[RowNamed("Docs")].blue);
  Select("Manuals");
  EXPECT_FALSE(View().dcbRename.enabled) << "a linked folder cannot be renamed";
  session_->lvFiles_KeyDown(ListKey::kEnter);
  ExpectFrame("LIST|\\manuals\\|True");
  Reply("LIST|Chapters|0||\r\nguide.pdf|10|20260101000000");
  EXPECT_EQ(View().lblPath.caption, "\\Manuals\\");
  EXPECT_FALSE(View().dcbUpload.enabled);
  EXPECT_FALSE(View().dcbBrowse.enabled);
  EXPECT_TRUE(View().txtUpload.locked);
  EXPECT_FALSE(View().dcbNewFolder.enabled);
  session_->dcbNewFolder_Click();
  EXPECT_TRUE(ui_.name_requests.empty()) << "no new folder at the top of a link";
  for (const auto& row : View().rows) EXPECT_TRUE(row.blue) << row.name;
  Select("guide.pdf");
  EXPECT_TRUE(View().dcbDownload.enabled);
  EXPECT_FALSE(View().dcbDelete.enabled);

  Select("Chapters");
  session_->lvFiles_KeyDown(ListKey::kEnter);
  ExpectFrame("LIST|\\manuals\\Chapters\\|True");
  Reply("LIST|one.txt|1|20260101000000");
  EXPECT_EQ(View().lblPath.caption, "\\Manuals\\Chapters\\");
  session_->lvFiles_KeyDown(ListKey::kBackspace);
  ExpectFrame("LIST|\\manuals\\|True");
  Reply("LIST|Chapters|0||\r\nguide.pdf|10|20260101000000");
  EXPECT_EQ(View().lblPath.caption, "\\Manuals\\");

  session_->dcbUp_Click();
  ExpectFrame("LIST|\\|False");
  Reply("LIST|Manuals|0||\\manuals\\");
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_TRUE(View().dcbUpload.enabled);
  EXPECT_FALSE(View().txtUpload.locked);
}

TEST_F(SessionTest, CtrlSpaceClearsTheSelectionAndF5RefreshesWithTheTotal) {
  LogIn();
  Select("report.pdf");
  EXPECT_TRUE(View().dcbDownload.enabled);
  session_->lvFiles_KeyDown(ListKey::kCtrlSpace);
  EXPECT_FALSE(View().dcbDownload.enabled);
  EXPECT_FALSE(View().dcbRename.enabled);
  EXPECT_FALSE(View().dcbDelete.enabled);
  session_->lvFiles_KeyDown(ListKey::kF2);
  session_->lvFiles_KeyDown(ListKey::kDelete);
  EXPECT_TRUE(ui_.name_requests.empty());
  EXPECT_TRUE(ui_.messages.empty());

  session_->lvFiles_KeyDown(ListKey::kF5);
  ExpectFrame("LIST|\\|False");
  peer_->SendFrame("LIST|");
  ExpectFrame("TOTALSIZE");
  peer_->SendFrame("TOTALSIZE|950");
  ASSERT_TRUE(Until([&] { return session_->UsedBytes() == 950; }));
  EXPECT_EQ(View().lblPFSize.caption, "Χρήση προσωπικού χώρου: 950 bytes από 1000 bytes (95%)");
  EXPECT_EQ(View().pbPFSize_state, BarState::kPaused);
}

// ---- Folder commands ----

TEST_F(SessionTest, NewFolderChecksTheNameAndAddsTheRow) {
  LogIn();
  ui_.names = {std::nullopt};  // the dialog cancelled
  session_->dcbNewFolder_Click();
  Settle();
  EXPECT_EQ(peer_->received, "");
  EXPECT_TRUE(View().window_enabled);

  ui_.names = {std::string("a/b"), std::string(".x"), std::string("Νέος")};
  session_->dcbNewFolder_Click();
  ExpectFrame("NEWDIR|\\Νέος");
  ASSERT_EQ(ui_.name_problems.size(), 2u);
  EXPECT_EQ(ui_.name_problems[1].text, "Το όνομα δε μπορεί να ξεκινάει από τελεία");
  EXPECT_EQ(ui_.name_requests[1].title, "Νέος φάκελος");
  EXPECT_EQ(ui_.name_requests[1].prompt, "Εισάγετε το όνομα του νέου φακέλου:");
  EXPECT_EQ(ui_.name_requests[1].initial_text, "");
  Reply("NEWDIROK");
  EXPECT_EQ(View().rows.back().name, "Νέος");
  EXPECT_TRUE(View().rows.back().is_folder);
  EXPECT_EQ(session_->RowSizes().size(), View().rows.size());
  EXPECT_TRUE(log_.Has("Δημιουργία φακέλου"));
}

TEST_F(SessionTest, RenameToTheSameNameSendsNothing) {
  LogIn();
  Select("report.pdf");
  ui_.names.push_back("report.pdf");
  session_->lvFiles_KeyDown(ListKey::kF2);
  Settle();
  EXPECT_EQ(peer_->received, "");
  EXPECT_TRUE(View().window_enabled);
  ASSERT_EQ(ui_.name_requests.size(), 1u);
  EXPECT_EQ(ui_.name_requests[0].title, "Μετονομασία αρχείου");
  EXPECT_EQ(ui_.name_requests[0].initial_text, "report.pdf");

  ui_.names.push_back("Report.pdf");  // another case is another name
  session_->dcbRename_Click();
  ExpectFrame("RENAME|\\report.pdf|\\Report.pdf");
  Reply("RENAMEOK");
  EXPECT_EQ(View().rows[1].name, "Report.pdf");
  EXPECT_EQ(View().rows[1].size_text, "2 KB");
}

TEST_F(SessionTest, DeleteOfAMiddleRowKeepsTheFollowingSlotsAndLowersUsage) {
  LogIn("a.txt|10|20260101000000\r\nb.txt|20|20260102000000\r\nc.txt|30|20260103000000",
        "LOGINOK|60|1000|False|False");
  Select("b.txt");
  ui_.answers.push_back(MessageAnswer::kYes);
  session_->lvFiles_KeyDown(ListKey::kDelete);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Θέλετε σίγουρα να διαγράψετε το αρχείο b.txt;");
  EXPECT_EQ(ui_.messages[0].title, "Διαγραφή");
  ExpectFrame("DELETE|\\b.txt");
  Reply("DELETEOK");
  EXPECT_EQ(session_->RowSizes(), (std::vector<std::int64_t>{10, 30}));
  EXPECT_EQ(session_->RowStamps()[1], "20260103000000");
  EXPECT_EQ(session_->UsedBytes(), 40);
  EXPECT_FALSE(View().dcbDelete.enabled);
  EXPECT_TRUE(log_.Has("Διαγραφή αρχείου/φακέλου"));
}

TEST_F(SessionTest, DeletingAFolderAsksAboutItsContents) {
  LogIn();
  Select("Docs");
  ui_.answers.push_back(MessageAnswer::kNo);
  session_->dcbDelete_Click();
  EXPECT_EQ(ui_.messages[0].text,
            "Θέλετε σίγουρα να διαγράψετε το φάκελο Docs και όλα τα περιεχόμενά του;");
  Settle();
  EXPECT_EQ(peer_->received, "");
}

// ---- Disconnect and bootstrap ----

TEST_F(SessionTest, ConnectNeedsIdAndPassword) {
  session_->SetIdText("   ");
  session_->dcbConnect_Click();
  ASSERT_EQ(ui_.balloons.size(), 1u);
  EXPECT_EQ(ui_.balloons[0].text, "Δεν έχει οριστεί ID χρήστη");
  EXPECT_EQ(View().txtID.text, "");
  session_->SetIdText(" demo ");
  session_->SetPasswordText("");
  session_->dcbConnect_Click();
  ASSERT_EQ(ui_.balloons.size(), 2u);
  EXPECT_EQ(ui_.balloons[1].box, EditBox::kPassword);
  EXPECT_EQ(View().txtID.text, "demo");
  EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
}

TEST_F(SessionTest, SecondClickDisconnects) {
  LogIn();
  session_->dcbConnect_Click();
  EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
  EXPECT_TRUE(log_.Has("Αποσύνδεση από τον προσωπικό χώρο"));
  EXPECT_FALSE(View().usage_visible);
  EXPECT_TRUE(View().dcbConnect.is_default);
  EXPECT_EQ(View().dcbConnect.image_key, "disconnected");
}

TEST_F(SessionTest, RefusedConnectionShowsTheFailureBox) {
  SessionConfig config = session_->Config();
  peer_.reset();  // nothing listens on that port now
  Configure(config);
  session_->dcbConnect_Click();
  ASSERT_TRUE(Until([&] { return !ui_.messages.empty(); }));
  EXPECT_EQ(ui_.messages[0].text, "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.");
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kCritical);
  EXPECT_EQ(log_.lines.back().rfind("[smClient] Σφάλμα: ", 0), 0u);
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
}

TEST_F(SessionTest, ProxyTypesTwoAndThreeCloseTheWindowWithoutARequest) {
  for (const int type : {2, 3}) {
    SCOPED_TRACE(type);
    ui_.main_window_closed = 0;
    log_.errors.clear();
    SessionConfig config = session_->Config();
    config.server_name.clear();
    config.server_port = 0;
    config.parameters_port = peer_->Port();
    config.proxy_type = type;
    config.proxy_server = "127.0.0.1";
    config.proxy_port = peer_->Port();
    Configure(config);
    session_->dcbConnect_Click();
    ASSERT_EQ(log_.errors.size(), 1u);
    EXPECT_EQ(log_.errors[0],
              "[dcbConnect_Click] Σφάλμα: Μη έγκυρος τύπος διακομιστή μεσολάβησης.");
    EXPECT_EQ(ui_.main_window_closed, 1);
  }
  Settle();
  EXPECT_EQ(peer_->connections, 0);
}

TEST_F(SessionTest, PcInfoRoundsSizesHalfToEven) {
  class HalfFacts : public testing::FixedFacts {
   public:
    std::int64_t TotalRamBytes() override { return 2 * 1024 * 1024 + 512 * 1024; }  // 2.5 MB
    std::int64_t FreeDiskBytes() override { return 3 * 1024 * 1024 + 512 * 1024; }  // 3.5 MB
  } facts;
  const auto fields = FolderSession::PcInfoFields(facts, "1.05.3");
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[2], "2");
  EXPECT_EQ(fields[3], "4");
  EXPECT_EQ(fields[4], "1.05.3");
}

}  // namespace
}  // namespace session
