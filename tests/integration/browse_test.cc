// Browsing and the folder commands against the reference server: what the
// window shows, what reaches the server's disk, and the error replies the
// server gives to folder commands.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/crypto.h"
#include "live_server.h"
#include "server/transfer_files.h"
#include "session/protocol.h"
#include "support/file_stamp.h"

namespace integration {
namespace {

namespace fs = std::filesystem;
using session::ListKey;
using session::MessageAnswer;
using session::MessageIcon;
using session::MouseButton;

class BrowseTest : public LiveServerTest {
 protected:
  void SetUp() override {
    LiveServerTest::SetUp();
    LogIn();
  }
  std::vector<std::string> RowNames() const {
    std::vector<std::string> names;
    for (const auto& row : View().rows) names.push_back(row.name);
    return names;
  }
  /// Runs `action` and waits for the reply to the request it sends.
  void AndWait(const std::function<void()>& action) {
    action();
    WaitIdle();
  }
};

TEST_F(BrowseTest, RootListsTheServerOrderWithoutAnUpRow) {
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Manuals", "Docs", "README", "report.pdf"}));
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_FALSE(View().dcbUp.enabled);
  EXPECT_TRUE(View().rows[0].blue) << "the linked folder is drawn blue";
  EXPECT_FALSE(View().rows[1].blue);
  EXPECT_EQ(View().rows[1].icon_key, "I.");
  EXPECT_TRUE(View().rows[1].is_folder);
  EXPECT_EQ(View().rows[2].icon_key, "Idummyfile");
  EXPECT_EQ(View().rows[3].icon_key, "I.pdf");
  EXPECT_EQ(View().rows[3].size_text, "2 KB");
  EXPECT_EQ(session_->RowSizes(), (std::vector<std::int64_t>{0, 0, 6, 2048}));
  EXPECT_EQ(session_->RowStamps()[3], "20260306090559") << "the file's time on the server";

  const int served = static_cast<int>(Requests().size());
  session_->lvFiles_KeyDown(ListKey::kBackspace);
  session_->dcbUp_Click();  // disabled at the root; a click changes nothing on the server
  Settle();
  EXPECT_TRUE(View().window_enabled);
  EXPECT_EQ(static_cast<int>(Requests().size()), served + 1) << "Backspace sent nothing";
}

TEST_F(BrowseTest, OrdinaryFolderIsEnteredAndLeft) {
  Select("Docs");
  EXPECT_TRUE(View().dcbRename.enabled);
  EXPECT_TRUE(View().dcbDelete.enabled);
  EXPECT_FALSE(View().dcbDownload.enabled);
  AndWait([&] { session_->lvFiles_DblClick(); });
  EXPECT_EQ(Requests().back(), "LIST|\\Docs\\|False -> LIST (1 rows)");
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"..", "inner.txt"}));
  EXPECT_EQ(View().lblPath.caption, "\\Docs\\");
  EXPECT_TRUE(View().dcbUp.enabled);
  EXPECT_TRUE(View().dcbUpload.enabled);
  EXPECT_TRUE(View().dcbNewFolder.enabled);
  EXPECT_FALSE(View().rows[1].blue);
  EXPECT_EQ(session_->RowSizes(), (std::vector<std::int64_t>{0, 3}));
  EXPECT_TRUE(log_.Has("Άνοιγμα του φακέλου \\Docs\\"));
  Settle();
  EXPECT_EQ(ServerLines("TOTALSIZE"), 0) << "opening a folder asks for no total";

  Select("..");
  EXPECT_FALSE(View().dcbRename.enabled);
  AndWait([&] { session_->lvFiles_KeyDown(ListKey::kEnter); });
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_EQ(RowNames().front(), "Manuals");

  Select("Docs");
  AndWait([&] { session_->lvFiles_KeyDown(ListKey::kEnter); });
  AndWait([&] { session_->lvFiles_KeyDown(ListKey::kBackspace); });
  EXPECT_EQ(View().lblPath.caption, "\\");
  Select("Docs");
  AndWait([&] { session_->lvFiles_KeyDown(ListKey::kEnter); });
  AndWait([&] { session_->dcbUp_Click(); });
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_FALSE(View().dcbUp.enabled);
}

TEST_F(BrowseTest, DoubleClickCountsOnlyAfterALeftPressOnARow) {
  session_->lvFiles_MouseDown(MouseButton::kRight, RowNamed("Docs"));
  session_->lvFiles_DblClick();
  Settle();
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_EQ(ServerLines("LIST|\\Docs\\"), 0);
}

TEST_F(BrowseTest, LinkedFolderIsListedByItsTargetAndLocked) {
  Select("Manuals");
  EXPECT_FALSE(View().dcbRename.enabled) << "a linked folder cannot be renamed";
  EXPECT_FALSE(View().dcbDelete.enabled);
  AndWait([&] { session_->lvFiles_DblClick(); });
  EXPECT_EQ(Requests().back(), "LIST|\\manuals\\|True -> LIST (2 rows)");
  EXPECT_EQ(View().lblPath.caption, "\\Manuals\\");
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"..", "Chapters", "guide.pdf"}));
  for (const auto& row : View().rows) EXPECT_TRUE(row.blue) << row.name;
  EXPECT_FALSE(View().dcbUpload.enabled);
  EXPECT_FALSE(View().dcbBrowse.enabled);
  EXPECT_TRUE(View().txtUpload.locked);
  EXPECT_FALSE(View().dcbNewFolder.enabled);
  Select("guide.pdf");
  EXPECT_TRUE(View().dcbDownload.enabled);
  EXPECT_FALSE(View().dcbRename.enabled);
  EXPECT_FALSE(View().dcbDelete.enabled);

  Select("Chapters");
  AndWait([&] { session_->lvFiles_KeyDown(ListKey::kEnter); });
  EXPECT_EQ(Requests().back(), "LIST|\\manuals\\Chapters\\|True -> LIST (1 rows)");
  EXPECT_EQ(View().lblPath.caption, "\\Manuals\\Chapters\\");
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"..", "one.txt"}));

  AndWait([&] { session_->lvFiles_KeyDown(ListKey::kBackspace); });
  EXPECT_EQ(View().lblPath.caption, "\\Manuals\\");
  AndWait([&] { session_->dcbUp_Click(); });
  EXPECT_EQ(Requests().back(), "LIST|\\|False -> LIST (4 rows)");
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_TRUE(View().dcbUpload.enabled);
  EXPECT_TRUE(View().dcbNewFolder.enabled);
  EXPECT_FALSE(View().txtUpload.locked);
  EXPECT_TRUE(View().rows[RowNamed("Manuals")].blue);
  EXPECT_FALSE(View().rows[RowNamed("Docs")].blue);
}

TEST_F(BrowseTest, OpeningAFileDownloadsItByItsLinkedPath) {
  WriteFile(context_.links_root / "manuals" / "guide.pdf", "guide text");
  ASSERT_TRUE(server::SetModificationStamp(context_.links_root / "manuals" / "guide.pdf",
                                           "20240102030400"));
  Select("Manuals");
  AndWait([&] { session_->lvFiles_DblClick(); });
  Select("guide.pdf");
  const fs::path by_enter = dir_.Path() / "by-enter.pdf";
  ui_.save_file = by_enter.string();
  session_->lvFiles_KeyDown(ListKey::kEnter);
  ASSERT_TRUE(Until([&] { return !session_->TransferActive() && View().window_enabled; }));
  EXPECT_EQ(ServerLines("DOWNLOAD|1|\\manuals\\guide.pdf|True -> DO DOWNLOAD"), 1);
  std::ifstream in(by_enter, std::ios::binary);
  const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(got, "guide text");
  EXPECT_EQ(support::LastWriteStamp(by_enter.string()), "20240102030400")
      << "the local copy carries the server's time";

  const fs::path by_click = dir_.Path() / "by-click.pdf";
  ui_.save_file = by_click.string();
  Select("guide.pdf");
  session_->lvFiles_DblClick();
  ASSERT_TRUE(Until([&] { return !session_->TransferActive() && View().window_enabled; }));
  EXPECT_EQ(ServerLines("DOWNLOAD|1|\\manuals\\guide.pdf|True -> DO DOWNLOAD"), 2);
  EXPECT_EQ(fs::file_size(by_click), 10u);
  EXPECT_TRUE(log_.errors.empty());
}

TEST_F(BrowseTest, NewFolderAtTheTopOfALinkedFolderDisablesItself) {
  Select("Manuals");
  AndWait([&] { session_->lvFiles_DblClick(); });
  session_->dcbNewFolder_Click();
  EXPECT_TRUE(ui_.name_requests.empty());
  EXPECT_FALSE(View().dcbNewFolder.enabled);
  EXPECT_FALSE(fs::exists(context_.links_root / "manuals" / "x"));
}

TEST_F(BrowseTest, LargeFolderArrivesInManyDeliveriesAndListsWhole) {
  constexpr int kFiles = 2500;  // a reply of about 80 KB
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "αρχείο-%04d.txt", i);
    WriteFile(Personal() / "Docs" / name, "x");
  }
  Select("Docs");
  AndWait([&] { session_->lvFiles_DblClick(); });
  ASSERT_EQ(View().rows.size(), 1u + kFiles + 1u);  // "..", the files, inner.txt
  EXPECT_EQ(View().rows[1].name, "inner.txt");
  EXPECT_EQ(View().rows[2].name, "αρχείο-0000.txt");
  EXPECT_EQ(View().rows.back().name, "αρχείο-2499.txt");
  EXPECT_EQ(session_->RowSizes().size(), View().rows.size());
  EXPECT_EQ(session_->RowSizes().back(), 1);
  EXPECT_TRUE(log_.errors.empty());
}

TEST_F(BrowseTest, KeysRefreshAndClearTheSelection) {
  Select("report.pdf");
  EXPECT_TRUE(View().dcbDownload.enabled);
  session_->lvFiles_KeyDown(ListKey::kCtrlSpace);
  EXPECT_FALSE(View().dcbDownload.enabled);
  EXPECT_FALSE(View().dcbRename.enabled);
  EXPECT_FALSE(View().dcbDelete.enabled);

  session_->lvFiles_KeyDown(ListKey::kF2);  // Rename is disabled now
  session_->lvFiles_KeyDown(ListKey::kDelete);
  EXPECT_TRUE(ui_.name_requests.empty());
  EXPECT_TRUE(ui_.messages.empty());

  session_->lvFiles_KeyDown(ListKey::kF5);
  EXPECT_FALSE(View().window_enabled);
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
  WaitIdle();
  EXPECT_EQ(session_->UsedBytes(), 2057);
}

TEST_F(BrowseTest, RefreshShowsWhatChangedOnTheServer) {
  WriteFile(Personal() / "fresh.txt", std::string(5000, 'f'));
  ASSERT_TRUE(server::SetModificationStamp(Personal() / "fresh.txt", "20251231235900"));
  fs::create_directories(Personal() / "Added");
  fs::remove(Personal() / "README");
  session_->dcbRefresh_Click();
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
  ASSERT_TRUE(Until([&] { return session_->UsedBytes() == 3 + 2048 + 5000; }));
  EXPECT_EQ(RowNames(),
            (std::vector<std::string>{"Manuals", "Added", "Docs", "fresh.txt", "report.pdf"}));
  const auto& fresh = View().rows[RowNamed("fresh.txt")];
  EXPECT_EQ(fresh.icon_key, "I.txt");
  EXPECT_FALSE(fresh.size_text.empty());
  EXPECT_FALSE(fresh.modified_text.empty());
  EXPECT_EQ(session_->RowStamps()[static_cast<std::size_t>(RowNamed("fresh.txt"))],
            "20251231235900");
  EXPECT_NE(View().lblPFSize.caption.find("(70.5%)"), std::string::npos)
      << View().lblPFSize.caption;
}

TEST_F(BrowseTest, OverQuotaShowsTheWarningAndTheErrorColour) {
  WriteFile(Personal() / "big.bin", std::string(9000, 'b'));
  session_->dcbRefresh_Click();
  ASSERT_TRUE(Until([&] { return session_->UsedBytes() == 2057 + 9000; }));
  EXPECT_EQ(View().pbPFSize_value, 100);
  EXPECT_EQ(View().pbPFSize_state, session::BarState::kError);
  EXPECT_TRUE(View().lblCleanupWarning.visible);
  EXPECT_EQ(View().lblCleanupWarning.caption.rfind("Προσοχή: Έχει ξεπεραστεί", 0), 0u);
}

// ---- Folder commands ----

TEST_F(BrowseTest, NewFolderRefusesBadNamesAndCreatesTheFolder) {
  ui_.names = {std::string("a/b"), std::string(".hidden"), std::string("x|y"),
               std::string("Νέος φάκελος")};
  AndWait([&] { session_->dcbNewFolder_Click(); });
  ASSERT_EQ(ui_.name_problems.size(), 3u);
  EXPECT_EQ(ui_.name_problems[0].title, "Μη έγκυρο όνομα");
  EXPECT_EQ(ui_.name_problems[0].text, "Μη αποδεκτοί χαρακτήρες: \\ / | ? * \" : < >");
  EXPECT_EQ(ui_.name_problems[1].text, "Το όνομα δε μπορεί να ξεκινάει από τελεία");
  EXPECT_EQ(ui_.name_requests[0].title, "Νέος φάκελος");
  EXPECT_EQ(ui_.name_requests[0].prompt, "Εισάγετε το όνομα του νέου φακέλου:");
  EXPECT_EQ(ui_.name_requests[0].initial_text, "");
  EXPECT_EQ(Requests().back(), "NEWDIR|\\Νέος φάκελος -> NEWDIROK");
  EXPECT_TRUE(fs::is_directory(Personal() / "Νέος φάκελος"));
  EXPECT_EQ(View().rows.back().name, "Νέος φάκελος");
  EXPECT_TRUE(View().rows.back().is_folder);
  EXPECT_EQ(session_->RowSizes().size(), View().rows.size());
  EXPECT_TRUE(log_.Has("Δημιουργία φακέλου"));
  EXPECT_EQ(ServerLines("NEWDIR"), 1) << "refused names never reach the server";
  EXPECT_FALSE(fs::exists(Personal() / ".hidden"));

  // The new folder can be entered at once.
  Select("Νέος φάκελος");
  AndWait([&] { session_->lvFiles_DblClick(); });
  EXPECT_EQ(RowNames(), (std::vector<std::string>{".."}));
  ui_.names = {std::string("Inner")};
  AndWait([&] { session_->dcbNewFolder_Click(); });
  EXPECT_TRUE(fs::is_directory(Personal() / "Νέος φάκελος" / "Inner"));
}

TEST_F(BrowseTest, CancelledNameDialogSendsNothing) {
  ui_.names = {std::nullopt};
  session_->dcbNewFolder_Click();
  Settle();
  EXPECT_EQ(ServerLines("NEWDIR"), 0);
  EXPECT_TRUE(View().window_enabled);
}

TEST_F(BrowseTest, RenameToTheSameNameSendsNothing) {
  Select("report.pdf");
  ui_.names.push_back("report.pdf");
  session_->lvFiles_KeyDown(ListKey::kF2);
  Settle();
  EXPECT_EQ(ServerLines("RENAME"), 0);
  EXPECT_TRUE(View().window_enabled);
  ASSERT_EQ(ui_.name_requests.size(), 1u);
  EXPECT_EQ(ui_.name_requests[0].title, "Μετονομασία αρχείου");
  EXPECT_EQ(ui_.name_requests[0].prompt, "Εισάγετε το νέο όνομα του αρχείου:");
  EXPECT_EQ(ui_.name_requests[0].initial_text, "report.pdf");
}

TEST_F(BrowseTest, RenameChangesTheNameOnDiskAndInTheRow) {
  Select("report.pdf");
  ui_.names.push_back("Report.pdf");  // another case is another name
  AndWait([&] { session_->dcbRename_Click(); });
  EXPECT_EQ(Requests().back(), "RENAME|\\report.pdf|\\Report.pdf -> RENAMEOK");
  EXPECT_TRUE(fs::exists(Personal() / "Report.pdf"));
  EXPECT_FALSE(fs::exists(Personal() / "report.pdf"));
  EXPECT_EQ(View().rows[RowNamed("Report.pdf")].size_text, "2 KB");
  EXPECT_TRUE(log_.Has("Μετονομασία αρχείου/φακέλου"));

  Select("Docs");
  ui_.names.push_back("Έγγραφα");
  AndWait([&] { session_->lvFiles_KeyDown(ListKey::kF2); });
  EXPECT_EQ(ui_.name_requests.back().title, "Μετονομασία φακέλου");
  EXPECT_EQ(ui_.name_requests.back().prompt, "Εισάγετε το νέο όνομα του φακέλου:");
  EXPECT_TRUE(fs::exists(Personal() / "Έγγραφα" / "inner.txt"));
  EXPECT_FALSE(fs::exists(Personal() / "Docs"));
  Select("Έγγραφα");
  AndWait([&] { session_->lvFiles_DblClick(); });
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"..", "inner.txt"}));
}

TEST_F(BrowseTest, RenameChangingOnlyTheCaseOfAFolderReachesTheDisk) {
  Select("Docs");
  ui_.names.push_back("DOCS");
  AndWait([&] { session_->dcbRename_Click(); });
  EXPECT_EQ(Requests().back(), "RENAME|\\Docs|\\DOCS -> RENAMEOK");
  EXPECT_TRUE(fs::is_directory(Personal() / "DOCS"));
  EXPECT_FALSE(fs::exists(Personal() / "Docs"));
  EXPECT_EQ(View().rows[1].name, "DOCS");
}

TEST_F(BrowseTest, DeleteRemovesTheFileAndLowersTheUsage) {
  Select("README");
  ui_.answers.push_back(MessageAnswer::kYes);
  AndWait([&] { session_->lvFiles_KeyDown(ListKey::kDelete); });
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Θέλετε σίγουρα να διαγράψετε το αρχείο README;");
  EXPECT_EQ(ui_.messages[0].title, "Διαγραφή");
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kQuestion);
  EXPECT_EQ(Requests().back(), "DELETE|\\README -> DELETEOK");
  EXPECT_FALSE(fs::exists(Personal() / "README"));
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Manuals", "Docs", "report.pdf"}));
  EXPECT_EQ(session_->RowSizes(), (std::vector<std::int64_t>{0, 0, 2048}));
  EXPECT_EQ(session_->RowStamps()[2], "20260306090559") << "slots stay with their rows";
  EXPECT_EQ(session_->UsedBytes(), 2051);
  EXPECT_NE(View().lblPFSize.caption.find("(20.5%)"), std::string::npos);
  EXPECT_FALSE(View().dcbDelete.enabled);
  EXPECT_TRUE(log_.Has("Διαγραφή αρχείου/φακέλου"));

  // The server agrees on the figure.
  session_->dcbRefresh_Click();
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
  Settle();
  EXPECT_EQ(session_->UsedBytes(), 2051);
}

TEST_F(BrowseTest, DeleteOfAFolderAsksAboutItsContentsAndRemovesTheTree) {
  Select("Docs");
  ui_.answers.push_back(MessageAnswer::kNo);
  session_->dcbDelete_Click();
  Settle();
  EXPECT_EQ(ui_.messages[0].text,
            "Θέλετε σίγουρα να διαγράψετε το φάκελο Docs και όλα τα περιεχόμενά του;");
  EXPECT_EQ(ServerLines("DELETE"), 0);
  EXPECT_TRUE(fs::exists(Personal() / "Docs"));

  ui_.answers.push_back(MessageAnswer::kYes);
  AndWait([&] { session_->dcbDelete_Click(); });
  EXPECT_FALSE(fs::exists(Personal() / "Docs"));
  EXPECT_EQ(RowNamed("Docs"), -1);
}

// ---- Error replies to folder commands ----

class CommandErrorTest : public BrowseTest {
 protected:
  /// The session is still logged in, the window usable, one box shown.
  void ExpectKeptWith(const std::string& message) {
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text, message);
    EXPECT_EQ(ui_.messages.back().icon, MessageIcon::kExclamation);
    EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
    EXPECT_TRUE(View().window_enabled);
    EXPECT_EQ(View().cursor, session::Cursor::kNormal);
    EXPECT_EQ(View().dcbConnect.caption, "Αποσύνδεση");
  }
};

TEST_F(CommandErrorTest, NewFolderOverAnExistingFolderIsDirExists) {
  ui_.names = {std::string("docs")};  // the server's names ignore letter case
  AndWait([&] { session_->dcbNewFolder_Click(); });
  EXPECT_EQ(Requests().back(), "NEWDIR|\\docs -> DIREXISTS");
  ExpectKeptWith("Ο φάκελος υπάρχει ήδη.");
  EXPECT_EQ(View().rows.size(), 4u) << "the list is left as it was";

  ui_.names = {std::string("Manuals")};
  AndWait([&] { session_->dcbNewFolder_Click(); });
  EXPECT_EQ(Requests().back(), "NEWDIR|\\Manuals -> DIREXISTS");
  ExpectKeptWith("Ο φάκελος υπάρχει ήδη.");
}

TEST_F(CommandErrorTest, NewFolderOverAFileIsFileExists) {
  ui_.names = {std::string("README")};
  AndWait([&] { session_->dcbNewFolder_Click(); });
  ExpectKeptWith("Το αρχείο υπάρχει ήδη.");
  EXPECT_TRUE(fs::is_regular_file(Personal() / "README"));
}

TEST_F(CommandErrorTest, RenameOntoAnotherItemIsFileExists) {
  Select("Docs");
  ui_.names.push_back("README");
  AndWait([&] { session_->dcbRename_Click(); });
  EXPECT_EQ(Requests().back(), "RENAME|\\Docs|\\README -> FILEEXISTS");
  ExpectKeptWith("Το αρχείο υπάρχει ήδη.");
  EXPECT_EQ(View().rows[RowNamed("Docs")].name, "Docs");
  EXPECT_TRUE(fs::is_directory(Personal() / "Docs"));
}

TEST_F(CommandErrorTest, ItemGoneFromTheServerIsFileNotFound) {
  fs::remove(Personal() / "report.pdf");
  Select("report.pdf");
  ui_.answers.push_back(MessageAnswer::kYes);
  AndWait([&] { session_->dcbDelete_Click(); });
  EXPECT_EQ(Requests().back(), "DELETE|\\report.pdf -> FILENOTFOUND");
  ExpectKeptWith("Το αρχείο δε βρέθηκε.");
  EXPECT_EQ(session_->UsedBytes(), 2057) << "nothing was deleted, nothing is subtracted";

  Select("README");
  fs::remove(Personal() / "README");
  ui_.names.push_back("README.txt");
  AndWait([&] { session_->dcbRename_Click(); });
  ExpectKeptWith("Το αρχείο δε βρέθηκε.");
}

TEST_F(CommandErrorTest, FolderGoneFromTheServerIsFileNotFoundOnList) {
  fs::remove_all(Personal() / "Docs");
  Select("Docs");
  AndWait([&] { session_->lvFiles_DblClick(); });
  EXPECT_EQ(Requests().back(), "LIST|\\Docs\\|False -> FILENOTFOUND");
  ExpectKeptWith("Το αρχείο δε βρέθηκε.");
  EXPECT_EQ(View().rows.size(), 4u);
}

TEST_F(CommandErrorTest, FileBeingUploadedElsewhereIsInUse) {
  // Another client of the same user holds report.pdf open in an upload.
  RawClient holder(server_->Port());
  ASSERT_TRUE(Until([&] { return holder.Connected(); }));
  holder.Send(session::FrameMessage("LOGIN|5|anna|" + app::ScrambledPasswordField("secret1")));
  ASSERT_TRUE(Until([&] { return holder.received.find("LOGINOK") != std::string::npos; }));
  holder.SendFrame("UPLOAD|1|100|\\report.pdf|20260101000000");
  ASSERT_TRUE(Until([&] { return holder.received.find("DO UPLOAD") != std::string::npos; }));

  Select("report.pdf");
  ui_.answers.push_back(MessageAnswer::kYes);
  AndWait([&] { session_->dcbDelete_Click(); });
  EXPECT_EQ(Requests().back(), "DELETE|\\report.pdf -> INUSE");
  ExpectKeptWith("Αυτή τη στιγμή το αρχείο χρησιμοποιείται.");
  EXPECT_EQ(RowNamed("report.pdf"), 3);

  ui_.names.push_back("kept.pdf");
  AndWait([&] { session_->dcbRename_Click(); });
  ExpectKeptWith("Αυτή τη στιγμή το αρχείο χρησιμοποιείται.");
  EXPECT_EQ(View().rows[3].name, "report.pdf");
}

TEST_F(CommandErrorTest, DownloadOfAFileBeingUploadedIsInUse) {
  RawClient holder(server_->Port());
  ASSERT_TRUE(Until([&] { return holder.Connected(); }));
  holder.Send(session::FrameMessage("LOGIN|5|anna|" + app::ScrambledPasswordField("secret1")));
  ASSERT_TRUE(Until([&] { return holder.received.find("LOGINOK") != std::string::npos; }));
  holder.SendFrame("UPLOAD|1|100|\\report.pdf|20260101000000");
  ASSERT_TRUE(Until([&] { return holder.received.find("DO UPLOAD") != std::string::npos; }));

  const fs::path local = dir_.Path() / "report.pdf";
  Select("report.pdf");
  session_->DownloadFile(local.string());
  ASSERT_TRUE(WaitServerLines("-> INUSE"));
  WaitIdle();
  ExpectKeptWith("Αυτή τη στιγμή το αρχείο χρησιμοποιείται.");
  EXPECT_FALSE(session_->Progress().visible);
  EXPECT_FALSE(session_->TransferActive());
  EXPECT_FALSE(fs::exists(local)) << "the empty local file is removed";
}

TEST_F(CommandErrorTest, UploadBeyondTheServersQuotaIsUnexpectedAndEndsTheSession) {
  // The server's folder grew since the last total; the client's figure still
  // leaves room, the server's does not.
  WriteFile(Personal() / "grown.bin", std::string(7000, 'g'));
  const fs::path local = dir_.Path() / "upload.bin";
  WriteFile(local, std::string(2000, 'u'));
  ASSERT_TRUE(server::SetModificationStamp(local, "20260102030405"));
  session_->UploadFile(local.string());
  ASSERT_TRUE(Until([&] { return !ui_.messages.empty(); }));
  Settle();
  EXPECT_EQ(Requests().back(),
            "UPLOAD|1|2000|\\upload.bin|20260102030405 -> UNEXPECTED (over quota)");
  EXPECT_EQ(ui_.messages.back().text, "Απροσδόκητο σφάλμα");
  EXPECT_EQ(ui_.messages.back().icon, MessageIcon::kCritical);
  EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
  EXPECT_FALSE(session_->Progress().visible);
  EXPECT_FALSE(session_->TransferActive());
  EXPECT_TRUE(View().window_enabled);
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
  EXPECT_FALSE(fs::exists(Personal() / "upload.bin"));
}

TEST_F(CommandErrorTest, OverlongNameIsRefusedAndTheSessionStays) {
  // The dialog has no length limit; the server's file system has one.
  const std::string name(300, 'n');
  ui_.names = {name};
  AndWait([&] { session_->dcbNewFolder_Click(); });
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kExclamation);
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
  EXPECT_EQ(View().rows.size(), 4u);
  EXPECT_EQ(std::distance(fs::directory_iterator(Personal()), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace integration
