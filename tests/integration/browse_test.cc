// Browsing and transfers against the reference server: what changed on the
// server's disk meanwhile, a file held by another session, the quota the
// server enforces, and the reconnect after a cancelled transfer that returns
// to the same folder (and side of the folder switch) and resumes. How the
// window reacts to each reply is covered against the scripted peer
// (tests/session); what the server replies to each request, by the server's
// own tests.
#include <filesystem>

#include "common/process.h"
#include "live_server.h"
#include "server/transfer_files.h"

namespace integration {
namespace {

namespace fs = std::filesystem;
using session::MessageAnswer;
using Names = std::vector<std::string>;

constexpr const char* kInUse = "Αυτή τη στιγμή το αρχείο χρησιμοποιείται.";

class BrowseTest : public LiveServerTest {
 protected:
  void SetUp() override {
    LiveServerTest::SetUp();
    LogIn();
  }
  /// The session is still logged in, the window usable, `message` shown last.
  void ExpectKeptWith(const std::string& message) {
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text, message);
    EXPECT_FALSE(Closed());
    EXPECT_TRUE(View().window_enabled);
  }
};

TEST_F(BrowseTest, RefreshShowsWhatChangedOnTheServer) {
  WriteFile(Personal() / "fresh.txt", std::string(5000, 'f'));
  ASSERT_TRUE(server::SetModificationStamp(Personal() / "fresh.txt", "20251231235900"));
  fs::create_directories(Personal() / "Added");
  fs::remove(Personal() / "README");
  session_->dcbRefresh_Click();
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
  ASSERT_TRUE(Until([&] { return session_->UsedBytes() == 3 + 2048 + 5000; }));
  EXPECT_EQ(RowNames(), (Names{"Manuals", "Added", "Docs", "fresh.txt", "report.pdf"}));
  EXPECT_EQ(session_->RowStamps()[static_cast<std::size_t>(RowNamed("fresh.txt"))],
            "20251231235900");
  EXPECT_NE(View().lblPFSize.caption.find("(70.5%)"), std::string::npos)
      << View().lblPFSize.caption;
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

TEST_F(BrowseTest, AFileAnotherSessionUploadsIsInUseForEveryCommand) {
  const auto holder = SecondClient();
  holder->SendFrame("UPLOAD|1|100|\\report.pdf|20260101000000");
  ASSERT_TRUE(Until([&] { return holder->received.find("DO UPLOAD") != std::string::npos; }));
  Select("report.pdf");
  ui_.answers.push_back(MessageAnswer::kYes);
  AndWait([&] { session_->dcbDelete_Click(); });
  EXPECT_EQ(Requests().back(), "DELETE|\\report.pdf -> INUSE");
  ExpectKeptWith(kInUse);
  ui_.names.push_back("kept.pdf");
  AndWait([&] { session_->dcbRename_Click(); });
  ExpectKeptWith(kInUse);
  EXPECT_EQ(View().rows[3].name, "report.pdf");
  EXPECT_TRUE(fs::exists(Personal() / "report.pdf"));

  const fs::path local = dir_.Path() / "report.pdf";
  ui_.messages.clear();
  Select("report.pdf");
  session_->DownloadFile(local.string());
  ASSERT_TRUE(WaitServerLines("DOWNLOAD|1|\\report.pdf|False -> INUSE"));
  ASSERT_TRUE(WaitIdle());
  ExpectKeptWith(kInUse);
  EXPECT_FALSE(fs::exists(local)) << "the empty local file is removed";
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
  EXPECT_TRUE(Closed());
  EXPECT_FALSE(session_->TransferActive());
  EXPECT_FALSE(fs::exists(Personal() / "upload.bin"));
}

// ---- The reconnect after a cancelled transfer ----

class ReconnectTest : public LiveServerTest {
 protected:
  /// A large file (sparse: it takes no disk space) on the server.
  void PlaceLargeFile(const fs::path& path) {
    WriteFile(path, "");
    fs::resize_file(path, std::uintmax_t{64} << 20);
  }
  /// Starts downloading the selected row and cancels once some of it arrived.
  void DownloadAndCancel(const fs::path& local) {
    session_->DownloadFile(local.string());
    ASSERT_TRUE(Until([&] {
      std::error_code ec;
      return session_->Progress().visible && fs::file_size(local, ec) > (1u << 20) && !ec;
    })) << "the download did not get going";
    ASSERT_TRUE(session_->TransferActive());
    session_->cmdCancel_Click();
    EXPECT_TRUE(log_.Has("Ακυρώθηκε."));
  }
  /// Waits for the log-in chain that follows a cancel; answers the requests
  /// served since `first`.
  std::vector<std::string> ReconnectedFrom(std::size_t first) {
    EXPECT_TRUE(WaitServerLines("PCINFO", pcinfo_before_ + 1)) << "no second log-in chain";
    EXPECT_TRUE(WaitEnabled());
    Settle();
    EXPECT_TRUE(ui_.messages.empty());
    const auto all = Requests();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())), all.end()};
  }
  int pcinfo_before_ = 1;
};

TEST_F(ReconnectTest, CancelledDownloadComesBackToTheSameFolderAndSideWithTheSameLoginTime) {
  for (const bool dealers : {false, true}) {
    SCOPED_TRACE(dealers ? "dealers folder" : "personal folder");
    const std::string folder = dealers ? "Old" : "Docs";
    const std::string user = dealers ? "dealer" : "anna";
    PlaceLargeFile((dealers ? context_.dealers_root : Personal()) / folder / "big.bin");
    if (dealers) Configure(DirectConfig(), user, "pw");
    LogIn();
    if (dealers) {
      session_->lnkDF_Click();
      ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
      ASSERT_TRUE(WaitEnabled());
    }
    const std::string login_time = session_->LoginTime();
    Select(folder);
    AndWait([&] { session_->lvFiles_DblClick(); });
    Select("big.bin");
    const std::size_t before = Requests().size();
    pcinfo_before_ = ServerLines("PCINFO");
    const fs::path local = dir_.Path() / (folder + ".bin");
    DownloadAndCancel(local);
    const auto after = ReconnectedFrom(before);
    ASSERT_GE(after.size(), 7u);
    EXPECT_EQ(after[0], "DOWNLOAD|1|\\" + folder + "\\big.bin|False -> DO DOWNLOAD");
    EXPECT_EQ(after[1], "DO DOWNLOAD|1 -> (67108864 bytes from byte 1)");
    std::vector<std::string> chain = {
        "LOGIN|5|" + user + " -> LOGINOK", "LIST|\\" + folder + "\\|False -> LIST (2 rows)",
        "LOGINTIME|" + login_time + " -> LOGINTIME", "SCHCLEANUPINFO -> SCHCLEANUPINFO",
        "PCINFO os=\"Debian GNU/Linux 12 (bookworm)\" "
        "cpu=\"Test CPU @ 2.00GHz\" ram=8192MB disk=1536MB "
        "client=1.00.0 -> (no reply)"};
    if (dealers) chain.insert(chain.begin() + 1, "DEALERS FOLDER -> DEALEROK");
    EXPECT_EQ(std::vector<std::string>(after.end() - static_cast<std::ptrdiff_t>(chain.size()),
                                       after.end()),
              chain);
    EXPECT_EQ(session_->LoginTime(), login_time);
    EXPECT_EQ(View().lblPath.caption, "\\" + folder + "\\");
    EXPECT_EQ(View().dcbConnect.caption, "Αποσύνδεση");
    EXPECT_EQ(session_->InDealersFolder(), dealers);
    EXPECT_EQ(View().window_caption, dealers ? "Χώρος συνεργατών" : "Προσωπικός χώρος");
    EXPECT_EQ(View().usage_visible, !dealers);
    EXPECT_EQ(View().dcbUpload.enabled, !dealers);
    EXPECT_FALSE(session_->TransferActive());
    EXPECT_FALSE(session_->Progress().visible);
    EXPECT_TRUE(log_.errors.empty());
    // The partial file stays for a later resume.
    ASSERT_TRUE(fs::exists(local));
    EXPECT_LT(fs::file_size(local), std::uintmax_t{64} << 20);
  }
}

TEST_F(ReconnectTest, CancelledUploadReconnectsAndResumesWhereTheServerStopped) {
  context_.config.users[0].quota = std::int64_t{1} << 30;
  // Large enough to cancel while it is sent.
  const std::string data = test_common::RandomBytes(std::size_t{64} << 20, 131);
  const fs::path local = dir_.Path() / "up.bin";
  WriteFile(local, data);
  LogIn();
  const fs::path remote = Personal() / "up.bin";
  session_->UploadFile(local.string());
  ASSERT_TRUE(Until([&] {
    std::error_code ec;
    return session_->Progress().visible && fs::file_size(remote, ec) > (1u << 20) && !ec;
  })) << "the upload did not get going";
  session_->cmdCancel_Click();
  ReconnectedFrom(0);
  EXPECT_EQ(ServerLines("upload interrupted"), 1);
  const int row = RowNamed("up.bin");
  ASSERT_GE(row, 0) << "the partial file is listed after the reconnect";
  // The listing may be served while the dropped connection still stores what
  // it had received, so the server can hold more than it listed.
  const std::int64_t listed = session_->RowSizes()[static_cast<std::size_t>(row)];
  EXPECT_GT(listed, 0);
  EXPECT_LE(listed, static_cast<std::int64_t>(fs::file_size(remote)));
  ASSERT_LT(listed, static_cast<std::int64_t>(data.size()));

  ui_.exists_answers.push_back(session::ExistsAnswer::kContinue);
  session_->UploadFile(local.string());
  ASSERT_EQ(ui_.exists_requests.size(), 1u);
  EXPECT_TRUE(ui_.exists_requests[0].allow_continue) << "continuing is offered";
  ASSERT_TRUE(WaitServerLines("-> UPLOADOK"));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(ServerLines("UPLOAD|" + std::to_string(listed + 1) + "|" + std::to_string(data.size()) +
                        "|\\up.bin|"),
            1);
  EXPECT_TRUE(test_common::ReadFile(remote) == data) << "the resumed file is whole and intact";
  EXPECT_TRUE(ui_.messages.empty());
}

}  // namespace
}  // namespace integration
