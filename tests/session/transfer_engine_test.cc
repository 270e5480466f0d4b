#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "session/file_times.h"
#include "session_fixture.h"
#include "support/file_stamp.h"

namespace session {
namespace {

namespace fs = std::filesystem;

using test_common::ReadFile;
using test_common::WriteFile;

/// Transfers against the scripted peer, with a scratch folder for local files.
class TransferTest : public LocalFilesTest {
 protected:
  /// Logs in with a listing that holds a.bin (10 bytes) and b.txt.
  void LogInWithFiles(std::string_view login_ok = "LOGINOK|100|1000|False|False") {
    LogIn("a.bin|10|20260306090559\r\nb.txt|3|20250101000000", login_ok);
  }
  void StartDownload(const fs::path& local) {
    Select("a.bin");
    session_->DownloadFile(local.string());
  }
  /// Downloads a.bin into `local` up to the go-ahead: what arrives next is data.
  void StartStreaming(const fs::path& local) {
    StartDownload(local);
    ExpectFrame("DOWNLOAD|1|\\a.bin|False");
    peer_->SendFrame("DO DOWNLOAD");
    ExpectFrame("DO DOWNLOAD|1");
  }
};

TEST_F(TransferTest, DownloadWritesTheFileAndStampsIt) {
  LogInWithFiles();
  const fs::path local = dir_ / "a.bin";
  ui_.save_file = local.string();
  Select("a.bin");
  session_->dcbDownload_Click();
  ExpectFrame("DOWNLOAD|1|\\a.bin|False");
  EXPECT_TRUE(session_->Progress().visible);
  EXPECT_FALSE(View().window_enabled);
  EXPECT_EQ(session_->Progress().caption, "Προσωπικός χώρος - Λήψη αρχείου");
  EXPECT_EQ(session_->Progress().progress_text, "Ελήφθησαν 0.0 bytes από 10.0 bytes (0%)");
  peer_->SendFrame("DO DOWNLOAD");
  ExpectFrame("DO DOWNLOAD|1");
  peer_->Send("01234");
  Settle();
  peer_->Send("56789");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(ReadFile(local), "0123456789");
  EXPECT_FALSE(session_->Progress().visible);
  EXPECT_EQ(ui_.sounds, 1);
  EXPECT_TRUE(log_.Has("Λήψη αρχείου"));
  EXPECT_TRUE(log_.Has("Ολοκληρώθηκε."));
  EXPECT_EQ(support::LastWriteStamp(local.string()), "20260306090559");
}

TEST_F(TransferTest, ContinueAppendsAfterTheLocalBytes) {
  LogInWithFiles();
  const fs::path local = dir_ / "a.bin";
  WriteFile(local, "0123");
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);
  StartDownload(local);
  ASSERT_EQ(ui_.exists_questions.size(), 1u);
  EXPECT_EQ(ui_.exists_questions[0].first,
            "Το αρχείο a.bin υπάρχει ήδη. Φαίνεται ότι μπορείτε να συνεχίσετε τη λήψη του "
            "αρχείου από το σημείο που διακόπηκε.");
  EXPECT_TRUE(ui_.exists_questions[0].second);
  ExpectFrame("DOWNLOAD|5|\\a.bin|False");
  peer_->SendFrame("DO DOWNLOAD");
  ExpectFrame("DO DOWNLOAD|5");
  peer_->Send("456789");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(ReadFile(local), "0123456789");
}

TEST_F(TransferTest, ALocalCopyAsLargeAsTheListedOneCanOnlyBeReplaced) {
  LogInWithFiles();
  const fs::path local = dir_ / "a.bin";
  WriteFile(local, "abcdefghijkl");
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);  // not offered: taken as Cancel
  StartDownload(local);
  EXPECT_FALSE(ui_.exists_questions[0].second);
  EXPECT_EQ(ui_.exists_questions[0].first,
            "Το αρχείο a.bin υπάρχει ήδη.\r\nΘέλετε να αντικατασταθεί;");
  Settle();
  EXPECT_EQ(peer_->received, "");
  EXPECT_EQ(ReadFile(local), "abcdefghijkl") << "cancel leaves the local file untouched";

  ui_.exists_answers.push_back(ExistsAnswer::kReplace);
  StartDownload(local);
  ExpectFrame("DOWNLOAD|1|\\a.bin|False");
  EXPECT_EQ(ReadFile(local), "") << "Replace empties the file";
}

TEST_F(TransferTest, BytesAfterTheFilesEndAreReadAsMessages) {
  LogInWithFiles();
  const fs::path local = dir_ / "a.bin";
  StartStreaming(local);
  peer_->Send("0123456789" + Framed("TOTALSIZE|5"));
  ASSERT_TRUE(Until([&] { return session_->UsedBytes() == 5; }));
  EXPECT_EQ(ReadFile(local), "0123456789");
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
}

TEST_F(TransferTest, EmptyFileFinishesAtTheGoAhead) {
  LogIn("empty.txt|0|20260101000000");
  const fs::path local = dir_ / "empty.txt";
  WriteFile(local, "old");
  ui_.exists_answers.push_back(ExistsAnswer::kReplace);
  Select("empty.txt");
  session_->DownloadFile(local.string());
  ExpectFrame("DOWNLOAD|1|\\empty.txt|False");
  peer_->SendFrame("DO DOWNLOAD");
  ExpectFrame("DO DOWNLOAD|1");
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(fs::exists(local));
  EXPECT_EQ(fs::file_size(local), 0u);
}

TEST_F(TransferTest, InUseDeletesOnlyTheEmptyFileThisDownloadCreated) {
  LogInWithFiles();
  const fs::path fresh = dir_ / "fresh.bin";
  StartDownload(fresh);
  ExpectFrame("DOWNLOAD|1|\\a.bin|False");
  EXPECT_TRUE(fs::exists(fresh));
  Reply("INUSE");
  EXPECT_FALSE(fs::exists(fresh));
  EXPECT_EQ(ui_.messages.back().text, "Αυτή τη στιγμή το αρχείο χρησιμοποιείται.");
  EXPECT_FALSE(session_->Progress().visible);
  EXPECT_FALSE(session_->TransferActive());

  const fs::path partial = dir_ / "partial.bin";
  WriteFile(partial, "0123");
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);
  StartDownload(partial);
  ExpectFrame("DOWNLOAD|5|\\a.bin|False");
  Reply("INUSE");
  EXPECT_EQ(ReadFile(partial), "0123") << "a partial file kept for resuming stays";
}

TEST_F(TransferTest, FileNotFoundClosesTheProgressWindowAndTheFile) {
  LogInWithFiles();
  StartDownload(dir_ / "gone.bin");
  ExpectFrame("DOWNLOAD|1|\\a.bin|False");
  Reply("FILENOTFOUND");
  EXPECT_EQ(ui_.messages.back().text, "Το αρχείο δε βρέθηκε.");
  EXPECT_FALSE(session_->Progress().visible);
  EXPECT_FALSE(fs::exists(dir_ / "gone.bin"));
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
}

TEST_F(TransferTest, CancelWhileStreamingKeepsThePartialFileAndReconnects) {
  LogInWithFiles();
  const fs::path local = dir_ / "a.bin";
  StartStreaming(local);
  peer_->Send("012");
  ASSERT_TRUE(Until([&] { return fs::file_size(local) == 3; }));
  session_->cmdCancel_Click();
  EXPECT_TRUE(log_.Has("Ακυρώθηκε."));
  EXPECT_EQ(ReadFile(local), "012");
  // The client logs in again on a new connection and tells the server that
  // the session was re-opened.
  ASSERT_TRUE(Until([&] { return peer_->connections == 2 && peer_->Connected(); }));
  peer_->received.clear();
  Expect(FrameMessage("LOGIN|5|demo|" + app::ScrambledPasswordField("demo")));
  peer_->SendFrame("LOGINOK|100|1000|False|False");
  ExpectFrame("LIST|\\|False");
  peer_->SendFrame("LIST|a.bin|10|20260306090559");
  ExpectFrame("LOGINTIME|20261206101500");
  // Until the chain has sent PCINFO the window stays busy: the replies of the
  // chain send requests of their own.
  EXPECT_FALSE(View().window_enabled);
  peer_->SendFrame("LOGINTIME|20261206101500");
  ExpectFrame("SCHCLEANUPINFO");
  peer_->SendFrame("SCHCLEANUPINFO|0|7");
  ExpectFrame("PCINFO|Debian GNU/Linux 12 (bookworm)|Test CPU @ 2.00GHz|8192|1536|1.00.0");
  EXPECT_TRUE(View().window_enabled);
}

TEST_F(TransferTest, CancelBeforeTheGoAheadDropsTheRequest) {
  LogInWithFiles();
  const fs::path local = dir_ / "a.bin";
  StartDownload(local);
  ExpectFrame("DOWNLOAD|1|\\a.bin|False");
  session_->cmdCancel_Click();
  EXPECT_FALSE(session_->TransferActive());
  EXPECT_FALSE(fs::exists(local)) << "the empty file of the cancelled request is removed";
  ASSERT_TRUE(Until([&] { return peer_->connections == 2; }));
  EXPECT_TRUE(View().window_enabled);
}

TEST_F(TransferTest, FailingDiskWriteIsReportedOnceAndKeepsThePartialFile) {
  LogInWithFiles();
  const fs::path local = dir_ / "a.bin";
  StartStreaming(local);
  // Files may not grow past 4 bytes now: the write of the data fails.
  struct rlimit old_limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 4;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  peer_->Send("0123456789");
  const bool reset = Until([&] { return session_->ClientState() == net::SocketState::kClosed; });
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  ASSERT_TRUE(reset);
  ASSERT_EQ(log_.errors.size(), 1u);
  EXPECT_EQ(log_.errors[0].rfind("[smClient_DataArrival] Σφάλμα: ", 0), 0u);
  EXPECT_TRUE(ui_.messages.empty()) << "no second report of the same failure";
  EXPECT_TRUE(fs::exists(local));
  EXPECT_TRUE(View().window_enabled);
  EXPECT_FALSE(session_->Progress().visible);
}

TEST_F(TransferTest, InsideALinkedFolderTheRequestCarriesTheTarget) {
  LogIn("Manuals|0||\\manuals\\");
  Select("Manuals");
  session_->lvFiles_KeyDown(ListKey::kEnter);
  ExpectFrame("LIST|\\manuals\\|True");
  Reply("LIST|guide.pdf|4|20260101000000");
  Select("guide.pdf");
  ui_.save_file = (dir_ / "guide.pdf").string();
  session_->lvFiles_DblClick();  // opening a file downloads it
  ExpectFrame("DOWNLOAD|1|\\manuals\\guide.pdf|True");
  EXPECT_EQ(session_->Progress().source, "\\Manuals\\guide.pdf");
}

// ---- Upload ----

class UploadTest : public TransferTest {
 protected:
  void SetUp() override {
    TransferTest::SetUp();
    SessionConfig config = session_->Config();
    config.chunk_size = 16;
    Configure(config);
  }
  std::string Stamp(const fs::path& path) { return support::LastWriteStamp(path.string()).value(); }
};

TEST_F(UploadTest, ChunkSizePlusOneGoesOutInTwoChunksAndAddsARow) {
  LogInWithFiles();
  const fs::path local = dir_ / "new.dat";
  WriteFile(local, "0123456789abcdefX");  // 17 bytes
  session_->SetUploadText("  " + local.string() + " ");
  session_->dcbUpload_Click();
  ExpectFrame("UPLOAD|1|17|\\new.dat|" + Stamp(local));
  EXPECT_EQ(session_->Progress().caption, "Προσωπικός χώρος - Αποστολή αρχείου");
  peer_->SendFrame("DO UPLOAD");
  Expect("0123456789abcdefX");
  ASSERT_TRUE(Until([&] { return !session_->Progress().visible; }));
  EXPECT_TRUE(session_->TransferActive()) << "waiting for UPLOADOK";
  peer_->SendFrame("UPLOADOK");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(View().rows.back().name, "new.dat");
  EXPECT_EQ(View().rows.back().size_text, "17 bytes");
  EXPECT_EQ(session_->RowSizes().back(), 17);
  EXPECT_EQ(session_->RowStamps().back(), Stamp(local));
  EXPECT_EQ(session_->UsedBytes(), 117);
  EXPECT_TRUE(log_.Has("Ολοκληρώθηκε.."));
  EXPECT_EQ(ui_.sounds, 1);
  EXPECT_EQ(View().txtUpload.text, "");
}

TEST_F(UploadTest, SameNameInOtherCaseIsResumedAfterTheListedBytes) {
  LogInWithFiles("LOGINOK|13|1000|False|False");
  const fs::path local = dir_ / "A.BIN";
  WriteFile(local, "0123456789abcdefghij");  // 20 bytes; listed a.bin holds 10
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);
  session_->UploadFile(local.string());
  ASSERT_EQ(ui_.exists_questions.size(), 1u);
  EXPECT_NE(ui_.exists_questions[0].first.find("την αποστολή"), std::string::npos);
  ExpectFrame("UPLOAD|11|20|\\A.BIN|" + Stamp(local));
  peer_->SendFrame("DO UPLOAD");
  Expect("abcdefghij");
  peer_->SendFrame("UPLOADOK");
  ASSERT_TRUE(WaitIdle());
  // The replaced row keeps its place; only size and date change.
  EXPECT_EQ(View().rows[0].name, "a.bin");
  EXPECT_EQ(View().rows[0].size_text, "20 bytes");
  EXPECT_EQ(session_->RowSizes()[0], 20);
  EXPECT_EQ(session_->UsedBytes(), 23) << "the replaced copy is not counted twice";
}

TEST_F(UploadTest, RefusalsBeforeAnyRequest) {
  LogInWithFiles("LOGINOK|900|1000|False|False");
  const fs::path empty = dir_ / "empty.txt";
  WriteFile(empty, "");
  session_->UploadFile(empty.string());
  EXPECT_EQ(ui_.messages.back().text, "Δε μπορείτε να ανεβάσετε αρχεία μηδενικού μεγέθους.");

  session_->UploadFile((dir_ / "missing.txt").string());
  EXPECT_EQ(ui_.messages.back().text,
            "Το αρχείο \"" + (dir_ / "missing.txt").string() + "\" δεν υπάρχει.");

  const fs::path big = dir_ / "big.bin";
  WriteFile(big, std::string(1001, 'x'));
  session_->UploadFile(big.string());
  EXPECT_EQ(ui_.messages.back().text,
            "Το αρχείο είναι πολύ μεγάλο για τον προσωπικό χώρο. Δεν είναι δυνατή η αποστολή "
            "του.");

  const fs::path mid = dir_ / "mid.bin";
  WriteFile(mid, std::string(200, 'x'));
  session_->UploadFile(mid.string());
  EXPECT_EQ(ui_.messages.back().text,
            "Ο ελεύθερος χώρος δεν επαρκεί για να ανεβάσετε το επιλεγμένο αρχείο.\r\nΔιαγράψτε "
            "μερικά αρχεία και ξαναπροσπαθήστε.");
  Settle();
  EXPECT_EQ(peer_->received, "");
  EXPECT_TRUE(View().window_enabled);
}

TEST_F(UploadTest, ReplacingAListedCopyIsNotCountedTwiceAgainstTheQuota) {
  // quota 1000, used 900, a 200-byte file replacing a listed 150-byte copy: 950 fits.
  LogIn("c.bin|150|20260101000000", "LOGINOK|900|1000|False|False");
  const fs::path local = dir_ / "c.bin";
  WriteFile(local, std::string(200, 'y'));
  ui_.exists_answers.push_back(ExistsAnswer::kReplace);
  session_->UploadFile(local.string());
  ExpectFrame("UPLOAD|1|200|\\c.bin|" + Stamp(local));
}

TEST_F(UploadTest, ShrinkingSourceFileEndsTheUploadWithAnError) {
  LogInWithFiles();
  const fs::path local = dir_ / "shrink.bin";
  WriteFile(local, std::string(40, 'z'));
  session_->UploadFile(local.string());
  ExpectFrame("UPLOAD|1|40|\\shrink.bin|" + Stamp(local));
  ::truncate(local.c_str(), 20);
  peer_->SendFrame("DO UPLOAD");
  ASSERT_TRUE(Until([&] { return session_->ClientState() == net::SocketState::kClosed; }));
  ASSERT_EQ(log_.errors.size(), 1u);
  EXPECT_EQ(log_.errors[0].rfind("[SendNextChunk] Σφάλμα: ", 0), 0u);
  EXPECT_TRUE(View().window_enabled);
}

TEST_F(UploadTest, CancelWhileSendingReconnects) {
  SessionConfig config = session_->Config();
  config.chunk_size = 64 * 1024;
  Configure(config);
  LogInWithFiles("LOGINOK|0|1000000000|False|False");
  const fs::path local = dir_ / "large.bin";
  WriteFile(local, std::string(64 * 1024 * 1024, 'q'));
  session_->UploadFile(local.string());
  ExpectFrame("UPLOAD|1|67108864|\\large.bin|" + Stamp(local));
  peer_->SendFrame("DO UPLOAD");
  ASSERT_TRUE(Until([&] { return peer_->received.size() > 1024 * 1024; }));
  session_->cmdCancel_Click();
  EXPECT_TRUE(log_.Has("Ακυρώθηκε."));
  EXPECT_FALSE(session_->Progress().visible);
  ASSERT_TRUE(Until([&] { return peer_->connections == 2; }));
}

TEST_F(UploadTest, ResumeBeyondFourGibibytesUsesSixtyFourBitPositions) {
  constexpr std::int64_t kFourGiB = std::int64_t{4} * 1024 * 1024 * 1024;
  LogIn("huge.bin|4294967296|20260101000000", "LOGINOK|0|9999999999999|False|False");
  const fs::path local = dir_ / "huge.bin";
  WriteFile(local, "");
  fs::resize_file(local, kFourGiB);  // sparse
  {
    std::ofstream out(local, std::ios::binary | std::ios::app);
    out << "tail-bytes";
  }
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);
  session_->UploadFile(local.string());
  ExpectFrame("UPLOAD|4294967297|4294967306|\\huge.bin|" + Stamp(local));
  peer_->SendFrame("DO UPLOAD");
  Expect("tail-bytes");
  peer_->SendFrame("UPLOADOK");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(session_->RowSizes()[0], kFourGiB + 10);
}

TEST_F(TransferTest, DownloadResumeBeyondFourGibibytesAppendsAtTheRightOffset) {
  constexpr std::int64_t kFourGiB = std::int64_t{4} * 1024 * 1024 * 1024;
  LogIn("huge.bin|4294967306|20260101000000");
  const fs::path local = dir_ / "huge.bin";
  WriteFile(local, "");
  fs::resize_file(local, kFourGiB);
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);
  Select("huge.bin");
  session_->DownloadFile(local.string());
  ExpectFrame("DOWNLOAD|4294967297|\\huge.bin|False");
  peer_->SendFrame("DO DOWNLOAD");
  ExpectFrame("DO DOWNLOAD|4294967297");
  peer_->Send("tail-bytes");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(local)), kFourGiB + 10);
  std::ifstream in(local, std::ios::binary);
  in.seekg(kFourGiB);
  std::string tail(10, '\0');
  in.read(tail.data(), 10);
  EXPECT_EQ(tail, "tail-bytes");
}

// ---- Progress texts ----

TEST(ProgressTexts, EstimateWordsFollowTheNumbers) {
  EXPECT_EQ(EstimateText(3600), "Εκτιμώμενος χρόνος: 1 ώρα");
  EXPECT_EQ(EstimateText(61), "Εκτιμώμενος χρόνος: 1 λεπτό 1 δευτ/το");
  EXPECT_EQ(EstimateText(3725), "Εκτιμώμενος χρόνος: 1 ώρα 2 λεπτά 5 δευτ/τα");
  EXPECT_EQ(EstimateText(7322), "Εκτιμώμενος χρόνος: 2 ώρες 2 λεπτά 2 δευτ/τα");
}

TEST_F(TransferTest, ProgressShowsUnknownSpeedBeforeAnyByteMoves) {
  LogInWithFiles();
  StartDownload(dir_ / "a.bin");
  ExpectFrame("DOWNLOAD|1|\\a.bin|False");
  ASSERT_TRUE(Until([&] { return !session_->Progress().speed_text.empty(); }));
  EXPECT_EQ(session_->Progress().speed_text, "Ταχύτητα: 0 bytes/s");
  EXPECT_EQ(session_->Progress().time_text, "Εκτιμώμενος χρόνος: Άγνωστο");
}

}  // namespace
}  // namespace session
