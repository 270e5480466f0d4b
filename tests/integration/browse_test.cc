// Browsing and the folder commands against the reference server: what reaches
// the server's disk, what changed there meanwhile, a file held by another
// session and the quota the server enforces. How the window reacts to each
// reply is covered against the scripted peer (tests/session).
#include <filesystem>

#include "app/crypto.h"
#include "common/process.h"
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
  /// The session is still logged in, the window usable, `message` shown last.
  void ExpectKeptWith(const std::string& message) {
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text, message);
    EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
    EXPECT_TRUE(View().window_enabled);
  }
};

TEST_F(BrowseTest, OpeningAFileOfALinkedFolderDownloadsItWithTheServersTime) {
  WriteFile(context_.links_root / "manuals" / "guide.pdf", "guide text");
  ASSERT_TRUE(server::SetModificationStamp(context_.links_root / "manuals" / "guide.pdf",
                                           "20240102030400"));
  Select("Manuals");
  AndWait([&] { session_->lvFiles_DblClick(); });
  EXPECT_EQ(Requests().back(), "LIST|\\manuals\\|True -> LIST (2 rows)");
  Select("guide.pdf");
  const fs::path local = dir_.Path() / "by-enter.pdf";
  ui_.save_file = local.string();
  session_->lvFiles_KeyDown(ListKey::kEnter);
  ASSERT_TRUE(Until([&] { return !session_->TransferActive() && View().window_enabled; }));
  EXPECT_EQ(ServerLines("DOWNLOAD|1|\\manuals\\guide.pdf|True -> DO DOWNLOAD"), 1);
  EXPECT_EQ(test_common::ReadFile(local), "guide text");
  EXPECT_EQ(support::LastWriteStamp(local.string()), "20240102030400");
  EXPECT_TRUE(log_.errors.empty());
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

// ---- Folder commands on the server's disk ----

TEST_F(BrowseTest, NewFolderIsCreatedAndCanBeEnteredAtOnce) {
  ui_.names = {std::string(".hidden"), std::string("Νέος φάκελος")};
  AndWait([&] { session_->dcbNewFolder_Click(); });
  EXPECT_EQ(Requests().back(), "NEWDIR|\\Νέος φάκελος -> NEWDIROK");
  EXPECT_TRUE(fs::is_directory(Personal() / "Νέος φάκελος"));
  EXPECT_EQ(ServerLines("NEWDIR"), 1) << "refused names never reach the server";
  EXPECT_FALSE(fs::exists(Personal() / ".hidden"));

  Select("Νέος φάκελος");
  AndWait([&] { session_->lvFiles_DblClick(); });
  EXPECT_EQ(RowNames(), (std::vector<std::string>{".."}));
  ui_.names = {std::string("Inner")};
  AndWait([&] { session_->dcbNewFolder_Click(); });
  EXPECT_TRUE(fs::is_directory(Personal() / "Νέος φάκελος" / "Inner"));
}

TEST_F(BrowseTest, RenameMovesTheFileOrTheFolderOnDisk) {
  Select("report.pdf");
  ui_.names.push_back("Report.pdf");  // another case is another name
  AndWait([&] { session_->dcbRename_Click(); });
  EXPECT_EQ(Requests().back(), "RENAME|\\report.pdf|\\Report.pdf -> RENAMEOK");
  EXPECT_TRUE(fs::exists(Personal() / "Report.pdf"));
  EXPECT_FALSE(fs::exists(Personal() / "report.pdf"));

  Select("Docs");
  ui_.names.push_back("Έγγραφα");
  AndWait([&] { session_->lvFiles_KeyDown(ListKey::kF2); });
  EXPECT_TRUE(fs::exists(Personal() / "Έγγραφα" / "inner.txt"));
  EXPECT_FALSE(fs::exists(Personal() / "Docs"));
  Select("Έγγραφα");
  ui_.names.push_back("ΈΓΓΡΑΦΑ");  // only the letter case changes
  AndWait([&] { session_->dcbRename_Click(); });
  EXPECT_TRUE(fs::is_directory(Personal() / "ΈΓΓΡΑΦΑ"));
  EXPECT_FALSE(fs::exists(Personal() / "Έγγραφα"));
  Select("ΈΓΓΡΑΦΑ");
  AndWait([&] { session_->lvFiles_DblClick(); });
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"..", "inner.txt"}));
}

TEST_F(BrowseTest, DeleteRemovesTheFileOrTheTreeAndTheServerAgreesOnTheUsage) {
  Select("README");
  ui_.answers.push_back(MessageAnswer::kYes);
  AndWait([&] { session_->lvFiles_KeyDown(ListKey::kDelete); });
  EXPECT_EQ(Requests().back(), "DELETE|\\README -> DELETEOK");
  EXPECT_FALSE(fs::exists(Personal() / "README"));
  EXPECT_EQ(session_->UsedBytes(), 2051);

  Select("Docs");
  ui_.answers.push_back(MessageAnswer::kYes);
  AndWait([&] { session_->dcbDelete_Click(); });
  EXPECT_FALSE(fs::exists(Personal() / "Docs"));
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Manuals", "report.pdf"}));
  EXPECT_EQ(session_->UsedBytes(), 2051) << "a folder row is listed with no size";

  // The server's total counts what the tree held.
  session_->dcbRefresh_Click();
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
  Settle();
  EXPECT_EQ(session_->UsedBytes(), 2048);
}

TEST_F(BrowseTest, ItemsGoneFromTheServersDiskAreFileNotFound) {
  fs::remove(Personal() / "report.pdf");
  fs::remove_all(Personal() / "Docs");
  Select("report.pdf");
  ui_.answers.push_back(MessageAnswer::kYes);
  AndWait([&] { session_->dcbDelete_Click(); });
  EXPECT_EQ(Requests().back(), "DELETE|\\report.pdf -> FILENOTFOUND");
  ExpectKeptWith("Το αρχείο δε βρέθηκε.");
  EXPECT_EQ(session_->UsedBytes(), 2057) << "nothing was deleted, nothing is subtracted";

  Select("Docs");
  AndWait([&] { session_->lvFiles_DblClick(); });
  EXPECT_EQ(Requests().back(), "LIST|\\Docs\\|False -> FILENOTFOUND");
  ExpectKeptWith("Το αρχείο δε βρέθηκε.");
  EXPECT_EQ(View().rows.size(), 4u);
}

TEST_F(BrowseTest, OverlongNameIsRefusedAndTheSessionStays) {
  // The dialog has no length limit; the server's file system has one.
  ui_.names = {std::string(300, 'n')};
  AndWait([&] { session_->dcbNewFolder_Click(); });
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kExclamation);
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
  EXPECT_EQ(View().rows.size(), 4u);
  EXPECT_EQ(std::distance(fs::directory_iterator(Personal()), fs::directory_iterator()), 3);
}

// ---- A file held by another session ----

class InUseTest : public BrowseTest {
 protected:
  /// Another client of the same user holds report.pdf open in an upload.
  void SetUp() override {
    BrowseTest::SetUp();
    holder_ = std::make_unique<RawClient>(server_->Port());
    ASSERT_TRUE(Until([&] { return holder_->Connected(); }));
    holder_->Send(session::FrameMessage("LOGIN|5|anna|" + app::ScrambledPasswordField("secret1")));
    ASSERT_TRUE(Until([&] { return holder_->received.find("LOGINOK") != std::string::npos; }));
    holder_->SendFrame("UPLOAD|1|100|\\report.pdf|20260101000000");
    ASSERT_TRUE(Until([&] { return holder_->received.find("DO UPLOAD") != std::string::npos; }));
    Select("report.pdf");
  }
  std::unique_ptr<RawClient> holder_;
};

TEST_F(InUseTest, DeleteAndRenameAreRefused) {
  ui_.answers.push_back(MessageAnswer::kYes);
  AndWait([&] { session_->dcbDelete_Click(); });
  EXPECT_EQ(Requests().back(), "DELETE|\\report.pdf -> INUSE");
  ExpectKeptWith("Αυτή τη στιγμή το αρχείο χρησιμοποιείται.");
  ui_.names.push_back("kept.pdf");
  AndWait([&] { session_->dcbRename_Click(); });
  ExpectKeptWith("Αυτή τη στιγμή το αρχείο χρησιμοποιείται.");
  EXPECT_EQ(View().rows[3].name, "report.pdf");
  EXPECT_TRUE(fs::exists(Personal() / "report.pdf"));
}

TEST_F(InUseTest, DownloadIsRefusedAndTheEmptyLocalFileRemoved) {
  const fs::path local = dir_.Path() / "report.pdf";
  session_->DownloadFile(local.string());
  ASSERT_TRUE(WaitServerLines("-> INUSE"));
  WaitIdle();
  ExpectKeptWith("Αυτή τη στιγμή το αρχείο χρησιμοποιείται.");
  EXPECT_FALSE(session_->TransferActive());
  EXPECT_FALSE(fs::exists(local));
}

TEST_F(BrowseTest, UploadBeyondTheServersQuotaIsUnexpectedAndEndsTheSession) {
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
  EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
  EXPECT_FALSE(session_->TransferActive());
  EXPECT_FALSE(fs::exists(Personal() / "upload.bin"));
}

}  // namespace
}  // namespace integration
