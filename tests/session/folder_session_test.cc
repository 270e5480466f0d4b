#include "session/folder_session.h"

#include <gtest/gtest.h>

#include "session_fixture.h"
#include "support/file_stamp.h"

namespace session {
namespace {

constexpr const char* kNoPermission =
    "Δεν έχετε επαρκή δικαιώματα για πρόσβαση στον προσωπικό χώρο.\r\nΑν "
    "πιστεύετε ότι το μήνυμα είναι εσφαλμένο, επικοινωνήστε με τη Norvane.";

class FolderSessionTest : public SessionTest {
 protected:
  /// Clicks the folder switch and answers its chain with `rows` and `total`.
  void SwitchFolder(std::string_view request, std::string_view rows, std::int64_t total) {
    session_->lnkDF_Click();
    EXPECT_FALSE(View().window_enabled);
    Exchange(request, "DEALEROK");
    Exchange("LIST|\\|False", "LIST|" + std::string(rows));
    Exchange("TOTALSIZE", "TOTALSIZE|" + std::to_string(total));
    ASSERT_TRUE(Until([&] { return session_->UsedBytes() == total && View().window_enabled; }));
  }
  /// The session is back at its start: closed, with an empty window.
  void ExpectReset() {
    EXPECT_TRUE(Closed());
    EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
    EXPECT_TRUE(View().window_enabled);
    EXPECT_TRUE(View().rows.empty());
  }
};

// ---- Log-in chain ----

TEST_F(FolderSessionTest, LoginChainRunsInOrderAndFillsTheView) {
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
  for (const bool enabled : {View().lvFiles_enabled, View().dcbRefresh.enabled,
                             View().dcbUpload.enabled, View().dcbNewFolder.enabled}) {
    EXPECT_TRUE(enabled);
  }
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

TEST_F(FolderSessionTest, DealersAccessShowsTheSwitchAndCleanupNoticeShowsDays) {
  LogInUntilList("LOGINOK|0|1000|True|False");
  Exchange("LIST|\\|False", "LIST|");
  Exchange("MYLOGINTIME", "LOGINTIME|t");
  ExpectFrame("SCHCLEANUPINFO");
  EXPECT_FALSE(session_->LoggedIn()) << "the chain has not sent PCINFO yet";
  EXPECT_FALSE(View().window_enabled);
  peer_->SendFrame("SCHCLEANUPINFO|30|7");
  ExpectFrame(kPcInfo);
  EXPECT_TRUE(View().lnkDF.visible);
  EXPECT_EQ(View().lnkDF.caption, "Μετάβαση στο χώρο συνεργατών");
  EXPECT_TRUE(View().lblCleanupWarning.visible);
  EXPECT_EQ(View().lblCleanupWarning.caption,
            "Προσοχή: Τα αρχεία των προσωπικών χώρων, παλιότερα των 30 ημερών, διαγράφονται "
            "αυτόματα κάθε 7 ημέρες.");
}

TEST_F(FolderSessionTest, FolderSwitchListsTheTopAndAsksForTheTotal) {
  LogIn("", "LOGINOK|0|1000|True|False");
  SwitchFolder("DEALERS FOLDER", "Old|0||\r\nshared.txt|5|20260101000000", 77);
  EXPECT_TRUE(session_->InDealersFolder());
  EXPECT_EQ(View().window_caption, "Χώρος συνεργατών");
  EXPECT_EQ(View().lnkDF.caption, "Μετάβαση στον προσωπικό χώρο");
  EXPECT_EQ(View().lnkDF.icon_key, "imgGoToPF");
  EXPECT_EQ(View().dcbConnect.tooltip, "Αποσύνδεση από το χώρο συνεργατών");
  EXPECT_FALSE(View().usage_visible);
  EXPECT_FALSE(View().dcbNewFolder.enabled);
  EXPECT_FALSE(View().dcbUpload.enabled);
  EXPECT_TRUE(log_.Has("Μετάβαση στο χώρο συνεργατών"));
  Select("shared.txt");
  EXPECT_TRUE(View().dcbDownload.enabled);
  EXPECT_FALSE(View().dcbRename.enabled) << "the dealers folder is read-only";
  EXPECT_FALSE(View().dcbDelete.enabled);
  session_->lvFiles_KeyDown(ListKey::kF2);
  session_->lvFiles_KeyDown(ListKey::kDelete);
  session_->dcbNewFolder_Click();
  ExpectNothingSent();
  EXPECT_TRUE(ui_.name_requests.empty());
  EXPECT_TRUE(ui_.messages.empty());
  Select("Old");
  Command([&] { session_->lvFiles_DblClick(); }, "LIST|\\Old\\|False",
          "LIST|notes.txt|4|20260101000000");
  EXPECT_FALSE(View().dcbUpload.enabled) << "still the dealers folder";
  EXPECT_FALSE(View().dcbNewFolder.enabled);

  SwitchFolder("PERSONAL FOLDER", "", 5);  // the switch starts at the top
  EXPECT_FALSE(session_->InDealersFolder());
  EXPECT_EQ(View().window_caption, "Προσωπικός χώρος");
  EXPECT_TRUE(View().usage_visible);
  EXPECT_TRUE(View().dcbUpload.enabled);
  EXPECT_EQ(View().lnkDF.icon_key, "imgGoToDF");
  EXPECT_TRUE(log_.Has("Μετάβαση στον προσωπικό χώρο"));

  SwitchFolder("DEALERS FOLDER", "", 0);
  session_->dcbConnect_Click();
  EXPECT_TRUE(log_.Has("Αποσύνδεση από το χώρο συνεργατών"));
  EXPECT_FALSE(session_->InDealersFolder()) << "a disconnect leaves the dealers folder";
  EXPECT_EQ(View().window_caption, "Προσωπικός χώρος");
  EXPECT_FALSE(View().lnkDF.visible);
}

// ---- Error replies ----

TEST_F(FolderSessionTest, LoginRefusalsResetAndExplain) {
  struct Case {
    const char* reply;
    const char* log_line;
    const char* message;
    MessageIcon icon;
  };
  for (const Case& c :
       {Case{"NOLOGIN", "Λάθος ID χρήστη ή κωδικός πρόσβασης.",
             "Λάθος ID χρήστη ή κωδικός πρόσβασης.", MessageIcon::kCritical},
        Case{"LOGIN2", "Υπέρβαση ορίου ταυτόχρονων συνδέσεων.",
             "Έχετε υπερβεί το όριο ταυτόχρονων συνδέσεων.", MessageIcon::kExclamation},
        Case{"NOMORE", "Ο διακομιστής δεν αποδέχεται νέες συνδέσεις.",
             "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.\r\nΑυτή τη στιγμή "
             "εκτελούνται εργασίες συντήρησης.",
             MessageIcon::kCritical},
        Case{"DIRERROR", "Αδύνατη η προσπέλαση στο φάκελο του προσωπικού χώρου.",
             "Παρουσιάστηκε σφάλμα κατά το άνοιγμα του ριζικού φακέλου.", MessageIcon::kCritical},
        Case{"NOPERMISSION", "Απαγορεύεται η πρόσβαση.", kNoPermission, MessageIcon::kCritical}}) {
    SCOPED_TRACE(c.reply);
    ui_.messages.clear();
    LogInUntilList(c.reply);
    ASSERT_TRUE(Until([&] { return !ui_.messages.empty(); }));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, c.message);
    EXPECT_EQ(ui_.messages[0].icon, c.icon);
    EXPECT_EQ(ui_.messages[0].buttons, MessageButtons::kOk);
    EXPECT_TRUE(log_.Has(c.log_line));
    ExpectReset();
    EXPECT_FALSE(View().txtID.locked);
    EXPECT_FALSE(View().usage_visible);
    EXPECT_FALSE(session_->KeepAliveEnabled());
  }
}

TEST_F(FolderSessionTest, ProtocolMismatchOffersTheNewerClientAndClosesOnYesOnly) {
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
    EXPECT_TRUE(Closed());
    EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
  }
  EXPECT_EQ(ui_.main_window_closed, 1);
  EXPECT_EQ(ui_.urls,
            (std::vector<std::string>{"http://127.0.0.1/downloads/cd/other/tools/Vaultline.exe"}));
}

TEST_F(FolderSessionTest, ErrorRepliesToACommandKeepOrEndTheSession) {
  struct Case {
    const char* reply;
    const char* message;
    MessageIcon icon;
    bool ends_session;
  };
  LogIn();
  for (const Case& c :
       {Case{"DIREXISTS", "Ο φάκελος υπάρχει ήδη.", MessageIcon::kExclamation, false},
        Case{"FILEEXISTS", "Το αρχείο υπάρχει ήδη.", MessageIcon::kExclamation, false},
        Case{"FILENOTFOUND", "Το αρχείο δε βρέθηκε.", MessageIcon::kExclamation, false},
        Case{"INUSE", kInUse, MessageIcon::kExclamation, false},
        Case{"UNEXPECTED", "Απροσδόκητο σφάλμα", MessageIcon::kCritical, true},
        // A refused folder switch, for one, ends the session.
        Case{"NOPERMISSION", kNoPermission, MessageIcon::kCritical, true}}) {
    SCOPED_TRACE(c.reply);
    if (!session_->LoggedIn()) LogIn();
    ui_.messages.clear();
    ui_.names.push_back("Docs");
    Command([&] { session_->dcbNewFolder_Click(); }, "NEWDIR|\\Docs", c.reply);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, c.message);
    EXPECT_EQ(ui_.messages[0].icon, c.icon);
    EXPECT_EQ(View().cursor, Cursor::kNormal);
    if (c.ends_session) {
      ASSERT_TRUE(WaitClosed());
      ExpectReset();
    } else {
      EXPECT_FALSE(Closed());
      EXPECT_EQ(View().dcbConnect.caption, "Αποσύνδεση");
      EXPECT_EQ(View().rows.size(), 2u) << "the list is left as it was";
    }
  }
}

// ---- Receiver ----

TEST_F(FolderSessionTest, ReceiverWaitsForSplitFramesSplitsGluedOnesAndAnswersPingBetween) {
  LogInUntilList();
  ExpectFrame("LIST|\\|False");
  const std::string frame = Framed("LIST|a.txt|1|20260101000000\r\nb|0||");
  peer_->Send(frame.substr(0, 3));
  Settle();
  peer_->Send(frame.substr(3, 10));
  ExpectNothingSent();
  EXPECT_TRUE(View().rows.empty()) << "nothing dispatched before the frame is whole";
  peer_->Send("PING");  // answered even while a frame is pending
  Expect("PONG");
  peer_->Send(frame.substr(13));
  ExpectFrame("MYLOGINTIME");
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"a.txt", "b"}));
  // Bytes beyond a frame start the next frame.
  peer_->Send(Framed("LOGINTIME|20261206101500") + Framed("SCHCLEANUPINFO|0|7"));
  ExpectFrame("SCHCLEANUPINFO");
  ExpectFrame(kPcInfo);
}

TEST_F(FolderSessionTest, MalformedInputResetsCleanlyAndIsReportedWhereDue) {
  struct Case {
    const char* name;
    std::string bytes;
    bool reported;
  };
  for (const Case& c :
       {Case{"no bar", "garbage", false}, Case{"PING glued to other bytes", "PINGPING", false},
        Case{"bad digits", "1x|LIST|", true}, Case{"huge length", "99999999999999|LIST|", true},
        Case{"short LOGINOK", Framed("LOGINOK|1|2"), true},
        Case{"short TOTALSIZE", Framed("TOTALSIZE"), true},
        Case{"LIST row of two fields", Framed("LIST|a|1"), true},
        Case{"LIST size not a number", Framed("LIST|a|x|"), true},
        Case{"nonnumeric size", Framed("TOTALSIZE|lots"), true}}) {
    SCOPED_TRACE(c.name);
    log_.errors.clear();
    LogIn();
    peer_->Send(c.bytes);
    ASSERT_TRUE(WaitClosed());
    ASSERT_EQ(log_.errors.size(), c.reported ? 1u : 0u);
    if (c.reported) {
      EXPECT_EQ(log_.errors[0].rfind("[smClient_DataArrival] Σφάλμα: ", 0), 0u) << log_.errors[0];
    }
    ExpectReset();
    EXPECT_EQ(peer_->Take(), "") << "no PONG, nothing else";
  }
}

TEST_F(FolderSessionTest, ConnectionLostDuringADialogIsReportedAndItsAnswerDropped) {
  for (const char* dialog : {"new folder", "rename", "upload exists"}) {
    SCOPED_TRACE(dialog);
    LogIn();
    ui_.messages.clear();
    ui_.dialogs_closed = 0;
    ui_.names.push_back("new.pdf");
    ui_.exists_answers.push_back(ExistsAnswer::kContinue);
    ui_.during_dialog = [&] {
      peer_->Close();
      ASSERT_TRUE(WaitClosed());
    };
    Select("report.pdf");
    if (dialog == std::string_view("rename")) session_->dcbRename_Click();
    if (dialog == std::string_view("new folder")) session_->dcbNewFolder_Click();
    if (dialog == std::string_view("upload exists")) {
      session_->UploadFile(Write("report.pdf", std::string(4096, 'r')));
      EXPECT_EQ(ui_.exists_requests.size(), 1u);
    }
    ui_.during_dialog = nullptr;
    EXPECT_TRUE(log_.errors.empty()) << "nothing was sent on the closed socket";
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, kLost);
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kCritical);
    ExpectReset();
    EXPECT_GE(ui_.dialogs_closed, 1);
    EXPECT_FALSE(session_->TransferActive());
    EXPECT_FALSE(session_->Progress().visible);
  }
  EXPECT_EQ(peer_->connections, 3) << "no reconnect after a lost connection";
}

// ---- Browsing ----

TEST_F(FolderSessionTest, EnteringAndLeavingAnOrdinaryFolder) {
  LogIn();
  session_->lvFiles_MouseDown(MouseButton::kRight, RowNamed("Docs"));
  session_->lvFiles_DblClick();
  ExpectNothingSent();  // a double click counts only after a left press on a row
  Select("Docs");
  EXPECT_FALSE(View().dcbDownload.enabled);
  EXPECT_TRUE(View().dcbRename.enabled);
  Command([&] { session_->lvFiles_DblClick(); }, "LIST|\\Docs\\|False",
          "LIST|inner.txt|3|20260101000000");
  EXPECT_TRUE(log_.Has("Άνοιγμα του φακέλου \\Docs\\"));
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"..", "inner.txt"}));
  EXPECT_TRUE(View().dcbUp.enabled);
  EXPECT_EQ(View().lblPath.caption, "\\Docs\\");
  EXPECT_EQ(session_->RowSizes(), (std::vector<std::int64_t>{0, 3}));
  ExpectNothingSent();  // opening a folder asks for no total

  Select("..");
  EXPECT_FALSE(View().dcbRename.enabled);
  Command([&] { session_->lvFiles_KeyDown(ListKey::kEnter); }, "LIST|\\|False", "LIST|Docs|0||");
  EXPECT_EQ(View().lblPath.caption, "\\");
  Select("Docs");
  Command([&] { session_->lvFiles_KeyDown(ListKey::kEnter); }, "LIST|\\Docs\\|False", "LIST|");
  Command([&] { session_->lvFiles_KeyDown(ListKey::kBackspace); }, "LIST|\\|False",
          "LIST|Docs|0||");
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_FALSE(View().dcbUp.enabled);
  session_->lvFiles_KeyDown(ListKey::kBackspace);  // nothing above the root
  ExpectNothingSent();
}

TEST_F(FolderSessionTest, LinkedFolderIsListedByItsTargetDrawnBlueAndLocked) {
  LogIn("Manuals|0||\\manuals\\\r\nDocs|0||");
  EXPECT_TRUE(View().rows[RowNamed("Manuals")].blue);
  EXPECT_FALSE(View().rows[RowNamed("Docs")].blue);
  Select("Manuals");
  EXPECT_FALSE(View().dcbRename.enabled) << "a linked folder cannot be renamed";
  Command([&] { session_->lvFiles_KeyDown(ListKey::kEnter); }, "LIST|\\manuals\\|True",
          "LIST|Chapters|0||\r\nguide.pdf|10|20260101000000");
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
  Command([&] { session_->lvFiles_KeyDown(ListKey::kEnter); }, "LIST|\\manuals\\Chapters\\|True",
          "LIST|one.txt|1|20260101000000");
  EXPECT_EQ(View().lblPath.caption, "\\Manuals\\Chapters\\");
  session_->lvFiles_KeyDown(ListKey::kBackspace);
  ExpectFrame("LIST|\\manuals\\|True");
  Reply("LIST|Chapters|0||\r\nShared|0||\\shared\\");  // a linked folder inside the link
  EXPECT_EQ(View().lblPath.caption, "\\Manuals\\");

  // Whether a link is in force decides the flag, not the selected row.
  Select("Shared");
  Command([&] { session_->dcbUp_Click(); }, "LIST|\\|False", "LIST|Manuals|0||\\manuals\\");
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_TRUE(View().dcbUpload.enabled);
  EXPECT_TRUE(View().dcbNewFolder.enabled);
  EXPECT_FALSE(View().txtUpload.locked);
}

TEST_F(FolderSessionTest, CtrlSpaceClearsTheSelectionAndF5RefreshesWithTheTotal) {
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
  Exchange("LIST|\\|False", "LIST|");
  Exchange("TOTALSIZE", "TOTALSIZE|950");
  ASSERT_TRUE(Until([&] { return session_->UsedBytes() == 950; }));
  EXPECT_EQ(View().lblPFSize.caption, "Χρήση προσωπικού χώρου: 950 bytes από 1000 bytes (95%)");
  EXPECT_EQ(View().pbPFSize_state, BarState::kPaused);
}

// ---- Folder commands ----

TEST_F(FolderSessionTest, NewFolderChecksTheNameAndAddsTheRow) {
  LogIn();
  ui_.names = {std::nullopt};  // the dialog cancelled
  session_->dcbNewFolder_Click();
  ExpectNothingSent();
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

TEST_F(FolderSessionTest, RenameToTheSameNameSendsNothing) {
  LogIn();
  Select("report.pdf");
  ui_.names.push_back("report.pdf");
  session_->lvFiles_KeyDown(ListKey::kF2);
  ExpectNothingSent();
  EXPECT_TRUE(View().window_enabled);
  ASSERT_EQ(ui_.name_requests.size(), 1u);
  EXPECT_EQ(ui_.name_requests[0].title, "Μετονομασία αρχείου");
  EXPECT_EQ(ui_.name_requests[0].initial_text, "report.pdf");

  ui_.names.push_back("Report.pdf");  // another case is another name
  Command([&] { session_->dcbRename_Click(); }, "RENAME|\\report.pdf|\\Report.pdf", "RENAMEOK");
  EXPECT_EQ(View().rows[1].name, "Report.pdf");
  EXPECT_EQ(View().rows[1].size_text, "2 KB");
}

TEST_F(FolderSessionTest, DeleteOfAMiddleRowKeepsTheFollowingSlotsAndLowersUsage) {
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

TEST_F(FolderSessionTest, DeletingAFolderAsksAboutItsContentsAndSubtractsNothing) {
  LogIn();
  Select("Docs");
  ui_.answers = {MessageAnswer::kNo, MessageAnswer::kYes};
  session_->dcbDelete_Click();
  ExpectMessage("Θέλετε σίγουρα να διαγράψετε το φάκελο Docs και όλα τα περιεχόμενά του;");
  ExpectNothingSent();
  Command([&] { session_->dcbDelete_Click(); }, "DELETE|\\Docs", "DELETEOK");
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"report.pdf"}));
  EXPECT_EQ(session_->UsedBytes(), 100) << "a folder row is listed with no size";
}

// ---- Connect and disconnect ----

TEST_F(FolderSessionTest, ConnectNeedsIdAndPassword) {
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
  EXPECT_TRUE(Closed());
  session_->SetPasswordText("demo");
  LogInUntilList();  // the trimmed ID is sent
}

TEST_F(FolderSessionTest, SecondClickDisconnectsAndTheNextLogInAsksForItsTime) {
  LogIn();
  session_->dcbConnect_Click();
  EXPECT_TRUE(Closed());
  EXPECT_TRUE(log_.Has("Αποσύνδεση από τον προσωπικό χώρο"));
  EXPECT_FALSE(View().usage_visible);
  EXPECT_TRUE(View().dcbConnect.is_default);
  EXPECT_EQ(View().dcbConnect.image_key, "disconnected");
  ASSERT_TRUE(Until([&] { return peer_->peer_closed; })) << "the server sees the slot freed";
  LogIn();  // a new connection asks MYLOGINTIME again
  EXPECT_EQ(peer_->connections, 2);
}

TEST_F(FolderSessionTest, RefusedConnectionShowsTheFailureBox) {
  const test_common::RefusingPort refusing;
  SessionConfig config = session_->Config();
  config.server_port = refusing.Port();
  Configure(config);
  session_->dcbConnect_Click();
  ASSERT_TRUE(Until([&] { return !ui_.messages.empty(); }));
  EXPECT_EQ(ui_.messages[0].text, kNoConnection);
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kCritical);
  EXPECT_EQ(log_.lines.back().rfind("[smClient] Σφάλμα: ", 0), 0u);
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
}

TEST_F(FolderSessionTest, ProxyTypesTwoAndThreeCloseTheWindowWithoutARequest) {
  for (const int type : {2, 3}) {
    SCOPED_TRACE(type);
    ui_.main_window_closed = 0;
    log_.errors.clear();
    SessionConfig config = FetchConfig(peer_->Port());
    config.proxy_type = type;
    config.proxy_server = "127.0.0.1";
    config.proxy_port = peer_->Port();
    Configure(config);
    session_->dcbConnect_Click();
    EXPECT_EQ(log_.errors, (std::vector<std::string>{"[dcbConnect_Click] Σφάλμα: Μη έγκυρος "
                                                     "τύπος διακομιστή μεσολάβησης."}));
    EXPECT_EQ(ui_.main_window_closed, 1);
  }
  Settle();
  EXPECT_EQ(peer_->connections, 0);
}

// ---- What the list view is told ----

/// Records each pair of row notifications as "kind@first [before] -> [after] count".
class RecordingRowsObserver : public RowsObserver {
 public:
  explicit RecordingRowsObserver(const MainViewState& view) : view_(view) {}
  void RowsAboutToChange(const RowsChange& change) override {
    EXPECT_TRUE(open_.empty()) << "an unpaired notification";
    kind_ = change.kind;
    open_ = kKinds[static_cast<int>(change.kind)] + ("@" + std::to_string(change.first)) + " [" +
            Names() + "] -> [";
  }
  void RowsChanged(const RowsChange& change) override {
    EXPECT_FALSE(open_.empty()) << "changed without about-to-change";
    EXPECT_EQ(change.kind, kind_);
    pairs_.push_back(std::exchange(open_, {}) + Names() + "] " + std::to_string(change.count));
  }
  std::vector<std::string> Take() { return std::exchange(pairs_, {}); }

 private:
  static constexpr const char* kKinds[] = {"reset", "insert", "remove", "change"};
  std::string Names() const {
    std::string names;
    for (const auto& row : view_.rows) names += (names.empty() ? "" : ",") + row.name;
    return names;
  }
  const MainViewState& view_;
  RowsChange::Kind kind_ = RowsChange::Kind::kReset;
  std::string open_;
  std::vector<std::string> pairs_;
};

using Pairs = std::vector<std::string>;

TEST_F(FolderSessionTest, EveryRowChangeIsToldBeforeAndAfter) {
  RecordingRowsObserver rows(View());
  session_->SetRowsObserver(&rows);
  const int generation = View().rows_generation;
  LogIn("a.txt|1|20260101000000\r\nb.txt|2|20260101000000", "LOGINOK|3|1000|False|False");
  EXPECT_EQ(rows.Take(), Pairs{"reset@0 [] -> [a.txt,b.txt] 2"}) << "one pair for the listing";
  EXPECT_EQ(View().rows_generation, generation + 1);

  ui_.names.push_back("New");
  Command([&] { session_->dcbNewFolder_Click(); }, "NEWDIR|\\New", "NEWDIROK");
  EXPECT_EQ(rows.Take(), Pairs{"insert@2 [a.txt,b.txt] -> [a.txt,b.txt,New] 1"});
  Select("a.txt");
  ui_.names.push_back("c.txt");
  Command([&] { session_->dcbRename_Click(); }, "RENAME|\\a.txt|\\c.txt", "RENAMEOK");
  EXPECT_EQ(rows.Take(), Pairs{"change@0 [a.txt,b.txt,New] -> [c.txt,b.txt,New] 1"});
  Select("b.txt");
  ui_.answers.push_back(MessageAnswer::kYes);
  Command([&] { session_->dcbDelete_Click(); }, "DELETE|\\b.txt", "DELETEOK");
  EXPECT_EQ(rows.Take(), Pairs{"remove@1 [c.txt,b.txt,New] -> [c.txt,New] 1"});

  // A new file, then the same file replaced.
  const std::string local = Write("up.txt", "12345");
  for (const bool replace : {false, true}) {
    if (replace) ui_.exists_answers.push_back(ExistsAnswer::kReplace);
    session_->UploadFile(local);
    Exchange("UPLOAD|1|5|\\up.txt|" + support::LastWriteStamp(local).value(), "DO UPLOAD");
    Expect("12345");
    peer_->SendFrame("UPLOADOK");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(rows.Take(),
              Pairs{std::string(replace ? "change@2 [c.txt,New,up.txt]" : "insert@2 [c.txt,New]") +
                    " -> [c.txt,New,up.txt] 1"});
  }

  // A refresh and a disconnect each replace the rows in one pair.
  session_->dcbRefresh_Click();
  Exchange("LIST|\\|False", "LIST|z.txt|1|20260101000000");
  ExpectFrame("TOTALSIZE");
  session_->dcbConnect_Click();  // disconnect
  EXPECT_EQ(rows.Take(),
            (Pairs{"reset@0 [c.txt,New,up.txt] -> [z.txt] 1", "reset@0 [z.txt] -> [] 0"}));
  EXPECT_EQ(View().rows_generation, generation + 3);
  session_->SetRowsObserver(nullptr);
}

// ---- Proxy ----

TEST_F(FolderSessionTest, ConnectUsesTheProxySetWhileTheProgramRuns) {
  testing::ScriptedPeer direct;  // the parameters host
  Configure(FetchConfig(direct.Port()));

  session_->SetProxy(1, "127.0.0.1", peer_->Port());  // the scripted peer plays the proxy
  session_->dcbConnect_Click();
  ASSERT_TRUE(Until([&] { return peer_->received.find("\r\n\r\n") != std::string::npos; }));
  EXPECT_EQ(peer_->received.rfind("GET http://127.0.0.1/webftp/pf.txt HTTP/1.1\r\n", 0), 0u)
      << peer_->received;
  EXPECT_EQ(direct.connections, 0);
  EXPECT_TRUE(log_.Has("Ανάκτηση παραμέτρων σύνδεσης μέσω proxy "));

  session_->dcbConnect_Click();  // cancel the attempt
  peer_->received.clear();
  session_->SetProxy(0, "", 8080);
  session_->dcbConnect_Click();
  ASSERT_TRUE(Until([&] { return direct.received.find("\r\n\r\n") != std::string::npos; }));
  EXPECT_EQ(direct.received.rfind("GET /webftp/pf.txt HTTP/1.1\r\n", 0), 0u) << direct.received;
  EXPECT_EQ(peer_->connections, 1);
  EXPECT_EQ(session_->Config().proxy_type, 0);
}

}  // namespace
}  // namespace session
