// The reconnect that follows a cancelled transfer, against the reference
// server: the session comes back to the same folder (and the same side of the
// folder switch) and continues the log-in time it already had.
#include <filesystem>

#include "live_server.h"

namespace integration {
namespace {

namespace fs = std::filesystem;

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
  std::vector<std::string> RequestsFrom(std::size_t first) const {
    const auto all = Requests();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())), all.end()};
  }
  static std::string PcInfoLine() {
    return "PCINFO os=\"Debian GNU/Linux 12 (bookworm)\" cpu=\"Test CPU @ 2.00GHz\" ram=8192MB "
           "disk=1536MB client=1.00.0 -> (no reply)";
  }
};

TEST_F(ReconnectTest, CancelledDownloadComesBackToTheSameFolderWithTheSameLoginTime) {
  PlaceLargeFile(Personal() / "Docs" / "big.bin");
  LogIn();
  const std::string login_time = session_->LoginTime();
  Select("Docs");
  session_->lvFiles_DblClick();
  WaitIdle();
  Select("big.bin");
  const std::size_t before = Requests().size();
  const fs::path local = dir_.Path() / "big.bin";
  DownloadAndCancel(local);
  ASSERT_TRUE(WaitServerLines("PCINFO", 2)) << "no second log-in chain";
  WaitIdle();
  Settle();

  const auto after = RequestsFrom(before);
  ASSERT_GE(after.size(), 6u);
  EXPECT_EQ(after[0], "DOWNLOAD|1|\\Docs\\big.bin|False -> DO DOWNLOAD");
  EXPECT_EQ(after[1], "DO DOWNLOAD|1 -> (67108864 bytes from byte 1)");
  const std::vector<std::string> chain(after.end() - 5, after.end());
  EXPECT_EQ(chain, (std::vector<std::string>{"LOGIN|5|anna -> LOGINOK",
                                             "LIST|\\Docs\\|False -> LIST (2 rows)",
                                             "LOGINTIME|" + login_time + " -> LOGINTIME",
                                             "SCHCLEANUPINFO -> SCHCLEANUPINFO", PcInfoLine()}));
  EXPECT_EQ(session_->LoginTime(), login_time);
  EXPECT_EQ(View().lblPath.caption, "\\Docs\\");
  EXPECT_EQ(View().dcbConnect.caption, "Αποσύνδεση");
  EXPECT_FALSE(session_->TransferActive());
  EXPECT_FALSE(session_->Progress().visible);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(log_.errors.empty());
  // The partial file stays for a later resume.
  ASSERT_TRUE(fs::exists(local));
  EXPECT_LT(fs::file_size(local), std::uintmax_t{64} << 20);
}

TEST_F(ReconnectTest, CancelledDownloadInTheDealersFolderReturnsThere) {
  PlaceLargeFile(context_.dealers_root / "Old" / "big.bin");
  Configure(DirectConfig(), "dealer", "pw");
  LogIn();
  session_->lnkDF_Click();
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
  WaitIdle();
  Select("Old");
  session_->lvFiles_DblClick();
  WaitIdle();
  Select("big.bin");
  const std::size_t before = Requests().size();
  DownloadAndCancel(dir_.Path() / "big.bin");
  ASSERT_TRUE(WaitServerLines("PCINFO", 2)) << "no second log-in chain";
  WaitIdle();
  Settle();

  const auto after = RequestsFrom(before);
  ASSERT_GE(after.size(), 6u);
  const std::vector<std::string> chain(after.end() - 6, after.end());
  EXPECT_EQ(chain[0], "LOGIN|5|dealer -> LOGINOK");
  EXPECT_EQ(chain[1], "DEALERS FOLDER -> DEALEROK");
  EXPECT_EQ(chain[2], "LIST|\\Old\\|False -> LIST (2 rows)");
  EXPECT_EQ(chain[3].rfind("LOGINTIME|", 0), 0u);
  EXPECT_TRUE(session_->InDealersFolder());
  EXPECT_EQ(View().window_caption, "Χώρος συνεργατών");
  EXPECT_EQ(View().lblPath.caption, "\\Old\\");
  EXPECT_FALSE(View().usage_visible);
  EXPECT_FALSE(View().dcbUpload.enabled);
  EXPECT_EQ(View().lnkDF.caption, "Μετάβαση στον προσωπικό χώρο");
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ReconnectTest, CancelledUploadReconnectsAndResumesWhereTheServerStopped) {
  context_.config.users[0].quota = std::int64_t{1} << 30;
  std::string data(64 << 20, '\0');  // large enough to cancel while it is sent
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 131) >> 5);
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
  ASSERT_TRUE(WaitServerLines("PCINFO", 2)) << "no second log-in chain";
  WaitIdle();
  Settle();
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
  ASSERT_EQ(ui_.exists_questions.size(), 1u);
  EXPECT_TRUE(ui_.exists_questions[0].second) << "continuing is offered";
  ASSERT_TRUE(WaitServerLines("-> UPLOADOK"));
  WaitIdle();
  EXPECT_EQ(ServerLines("UPLOAD|" + std::to_string(listed + 1) + "|" + std::to_string(data.size()) +
                        "|\\up.bin|"),
            1);
  EXPECT_TRUE(test_common::ReadFile(remote) == data) << "the resumed file is whole and intact";
  EXPECT_TRUE(ui_.messages.empty());
}

}  // namespace
}  // namespace integration
