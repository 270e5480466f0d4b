#include <linux/capability.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

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

constexpr std::int64_t kFourGiB = std::int64_t{4} * 1024 * 1024 * 1024;

/// While alive, the calling thread has no file-permission overrides (root has
/// them), so permission bits refuse it as they refuse any other user.
class PermissionBitsApply {
 public:
  PermissionBitsApply() {
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    dropped_ = ::syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~PermissionBitsApply() {
    if (dropped_) ::syscall(SYS_capset, &header_, saved_);
  }
  PermissionBitsApply(const PermissionBitsApply&) = delete;
  PermissionBitsApply& operator=(const PermissionBitsApply&) = delete;
  bool Applies() const { return dropped_; }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool dropped_ = false;
};

/// Transfers against the scripted peer, with a scratch folder for local files.
class TransferTest : public SessionTest {
 protected:
  /// Logs in with a listing that holds a.bin (10 bytes) and b.txt.
  void LogInWithFiles(std::string_view login_ok = kLoginOk) {
    LogIn("a.bin|10|20260306090559\r\nb.txt|3|20250101000000", login_ok);
  }
  void StartDownload(const fs::path& local, std::string_view row = "a.bin") {
    Select(row);
    session_->DownloadFile(local.string());
  }
  /// Downloads a.bin into `local` up to the go-ahead: what arrives next is data.
  void StartStreaming(const fs::path& local) {
    StartDownload(local);
    Exchange("DOWNLOAD|1|\\a.bin|False", "DO DOWNLOAD");
    ExpectFrame("DO DOWNLOAD|1");
  }
  void SetChunkSize(std::int32_t size) {
    SessionConfig config = session_->Config();
    config.chunk_size = size;
    Configure(config);
  }
  static std::string Stamp(const fs::path& path) {
    return support::LastWriteStamp(path.string()).value();
  }
  /// A sparse file of 4 GiB followed by `tail`.
  static void WriteHugeFile(const fs::path& path, std::string_view tail) {
    WriteFile(path, "");
    fs::resize_file(path, kFourGiB);
    std::ofstream(path, std::ios::binary | std::ios::app) << tail;
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
  ASSERT_TRUE(Until([&] { return !session_->Progress().speed_text.empty(); }));
  EXPECT_EQ(session_->Progress().speed_text, "Ταχύτητα: 0 bytes/s");
  EXPECT_EQ(session_->Progress().time_text, "Εκτιμώμενος χρόνος: Άγνωστο");
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
  ASSERT_EQ(ui_.exists_requests.size(), 1u);
  EXPECT_EQ(ui_.exists_requests[0].text,
            "Το αρχείο a.bin υπάρχει ήδη. Φαίνεται ότι μπορείτε να συνεχίσετε τη λήψη του "
            "αρχείου από το σημείο που διακόπηκε.");
  EXPECT_TRUE(ui_.exists_requests[0].allow_continue);
  Exchange("DOWNLOAD|5|\\a.bin|False", "DO DOWNLOAD");
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
  EXPECT_FALSE(ui_.exists_requests[0].allow_continue);
  EXPECT_EQ(ui_.exists_requests[0].text,
            "Το αρχείο a.bin υπάρχει ήδη.\r\nΘέλετε να αντικατασταθεί;");
  ExpectNothingSent();
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
  EXPECT_FALSE(Closed());
}

TEST_F(TransferTest, EmptyFilesFinishAtTheGoAheadAndRowsWithoutADateDownloadUnstamped) {
  LogIn("empty.txt|0|20260101000000\r\nodd.txt|5|2026");
  for (const auto& [name, bytes] : {std::pair{"empty.txt", ""}, std::pair{"odd.txt", "abcde"}}) {
    SCOPED_TRACE(name);
    const fs::path local = dir_ / name;
    WriteFile(local, "old");
    ui_.exists_answers.push_back(ExistsAnswer::kReplace);
    StartDownload(local, name);
    Exchange("DOWNLOAD|1|\\" + std::string(name) + "|False", "DO DOWNLOAD");
    ExpectFrame("DO DOWNLOAD|1");
    if (*bytes != '\0') peer_->Send(bytes);
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(fs::exists(local));
    EXPECT_EQ(ReadFile(local), bytes);
  }
  EXPECT_TRUE(log_.errors.empty());
}

TEST_F(TransferTest, RefusedDownloadDeletesOnlyTheEmptyFileItCreated) {
  LogInWithFiles();
  for (const auto& [reply, text] :
       {std::pair{"INUSE", kInUse}, std::pair{"FILENOTFOUND", "Το αρχείο δε βρέθηκε."}}) {
    SCOPED_TRACE(reply);
    const fs::path fresh = dir_ / "fresh.bin";
    StartDownload(fresh);
    ExpectFrame("DOWNLOAD|1|\\a.bin|False");
    EXPECT_TRUE(fs::exists(fresh));
    Reply(reply);
    EXPECT_FALSE(fs::exists(fresh));
    ExpectMessage(text);
    EXPECT_FALSE(session_->Progress().visible);
    EXPECT_FALSE(session_->TransferActive());
    EXPECT_FALSE(Closed());
  }
  const fs::path partial = dir_ / "partial.bin";
  WriteFile(partial, "0123");
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);
  StartDownload(partial);
  ExpectFrame("DOWNLOAD|5|\\a.bin|False");
  Reply("INUSE");
  EXPECT_EQ(ReadFile(partial), "0123") << "a partial file kept for resuming stays";
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
  peer_->SendFrame(kLoginOk);
  Exchange("LIST|\\|False", "LIST|a.bin|10|20260306090559");
  ExpectFrame("LOGINTIME|20261206101500");
  // Until the chain has sent PCINFO the window stays busy: the replies of the
  // chain send requests of their own.
  EXPECT_FALSE(View().window_enabled);
  peer_->SendFrame("LOGINTIME|20261206101500");
  Exchange("SCHCLEANUPINFO", "SCHCLEANUPINFO|0|7");
  ExpectFrame(kPcInfo);
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
  const bool reset = WaitClosed();
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

TEST_F(TransferTest, PermissionDeniedIsReportedWithNothingSentAndTheSessionKept) {
  LogInWithFiles();
  const fs::path readonly = dir_ / "readonly";
  fs::create_directory(readonly);
  fs::permissions(readonly, fs::perms::owner_read | fs::perms::owner_exec);
  const std::string secret = Write("secret.bin", "0123456789");
  fs::permissions(secret, fs::perms::none);
  {
    PermissionBitsApply bits;
    ASSERT_TRUE(bits.Applies());
    StartDownload(readonly / "a.bin");
    ExpectMessage(
        "Απαγορεύεται η πρόσβαση.\r\nΒεβαιωθείτε ότι το αρχείο δε χρησιμοποιείται αυτή τη "
        "στιγμή και ότι έχετε δικαίωμα εγγραφής στο φάκελο αποθήκευσης.");
    session_->UploadFile(secret);
    ASSERT_EQ(log_.errors.size(), 1u);
    EXPECT_EQ(log_.errors[0], "[UploadFile] Σφάλμα: Access is denied.");
    ExpectNothingSent();
  }
  EXPECT_FALSE(fs::exists(readonly / "a.bin"));
  EXPECT_FALSE(Closed());
  EXPECT_TRUE(View().window_enabled);
  EXPECT_FALSE(session_->TransferActive());
  EXPECT_FALSE(session_->Progress().visible);
  // The same connection carries the next transfer.
  StartDownload(dir_ / "a.bin");
  ExpectFrame("DOWNLOAD|1|\\a.bin|False");
  EXPECT_EQ(peer_->connections, 1);
}

TEST_F(TransferTest, InsideALinkedFolderTheRequestCarriesTheTarget) {
  LogIn("Manuals|0||\\manuals\\");
  Select("Manuals");
  Command([&] { session_->lvFiles_KeyDown(ListKey::kEnter); }, "LIST|\\manuals\\|True",
          "LIST|guide.pdf|4|20260101000000");
  Select("guide.pdf");
  ui_.save_file = (dir_ / "guide.pdf").string();
  session_->lvFiles_DblClick();  // opening a file downloads it
  ExpectFrame("DOWNLOAD|1|\\manuals\\guide.pdf|True");
  EXPECT_EQ(session_->Progress().source, "\\Manuals\\guide.pdf");
}

TEST_F(TransferTest, DownloadResumeBeyondFourGibibytesAppendsAtTheRightOffset) {
  LogIn("huge.bin|4294967306|20260101000000");
  const fs::path local = dir_ / "huge.bin";
  WriteHugeFile(local, "");
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);
  StartDownload(local, "huge.bin");
  Exchange("DOWNLOAD|4294967297|\\huge.bin|False", "DO DOWNLOAD");
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

// ---- Upload ----

TEST_F(TransferTest, UploadOfChunkSizePlusOneGoesOutInTwoChunksAndAddsARow) {
  SetChunkSize(16);
  LogInWithFiles();
  const fs::path local = dir_ / "new.dat";
  WriteFile(local, "0123456789abcdefX");  // 17 bytes
  session_->SetUploadText("  " + local.string() + " ");
  session_->dcbUpload_Click();
  Exchange("UPLOAD|1|17|\\new.dat|" + Stamp(local), "DO UPLOAD");
  EXPECT_EQ(session_->Progress().caption, "Προσωπικός χώρος - Αποστολή αρχείου");
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

TEST_F(TransferTest, UploadOfTheSameNameInOtherCaseIsResumedAfterTheListedBytes) {
  SetChunkSize(16);
  LogInWithFiles("LOGINOK|13|1000|False|False");
  const fs::path local = dir_ / "A.BIN";
  WriteFile(local, "0123456789abcdefghij");  // 20 bytes; listed a.bin holds 10
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);
  session_->UploadFile(local.string());
  ASSERT_EQ(ui_.exists_requests.size(), 1u);
  EXPECT_NE(ui_.exists_requests[0].text.find("την αποστολή"), std::string::npos);
  Exchange("UPLOAD|11|20|\\A.BIN|" + Stamp(local), "DO UPLOAD");
  Expect("abcdefghij");
  peer_->SendFrame("UPLOADOK");
  ASSERT_TRUE(WaitIdle());
  // The replaced row keeps its place; only size and date change.
  EXPECT_EQ(View().rows[0].name, "a.bin");
  EXPECT_EQ(View().rows[0].size_text, "20 bytes");
  EXPECT_EQ(session_->RowSizes()[0], 20);
  EXPECT_EQ(session_->UsedBytes(), 23) << "the replaced copy is not counted twice";
}

TEST_F(TransferTest, UploadRefusalsBeforeAnyRequest) {
  LogInWithFiles("LOGINOK|900|1000|False|False");
  const std::string missing = (dir_ / "missing.txt").string();
  struct Case {
    std::string path;
    std::string text;
  };
  for (const Case& c :
       {Case{Write("empty.txt", ""), "Δε μπορείτε να ανεβάσετε αρχεία μηδενικού μεγέθους."},
        Case{missing, "Το αρχείο \"" + missing + "\" δεν υπάρχει."},
        Case{Write("big.bin", std::string(1001, 'x')),
             "Το αρχείο είναι πολύ μεγάλο για τον προσωπικό χώρο. Δεν είναι δυνατή η αποστολή "
             "του."},
        Case{Write("mid.bin", std::string(200, 'x')),
             "Ο ελεύθερος χώρος δεν επαρκεί για να ανεβάσετε το επιλεγμένο αρχείο.\r\nΔιαγράψτε "
             "μερικά αρχεία και ξαναπροσπαθήστε."}}) {
    session_->UploadFile(c.path);
    ExpectMessage(c.text);
  }
  ExpectNothingSent();
  EXPECT_TRUE(View().window_enabled);
  // 102 bytes replacing the listed 3 of b.txt fit: the replaced copy is not counted twice.
  const std::string replacing = Write("b.txt", std::string(102, 'y'));
  ui_.exists_answers.push_back(ExistsAnswer::kReplace);
  session_->UploadFile(replacing);
  ExpectFrame("UPLOAD|1|102|\\b.txt|" + Stamp(replacing));
}

TEST_F(TransferTest, ShrinkingSourceFileEndsTheUploadWithAnError) {
  SetChunkSize(16);
  LogInWithFiles();
  const std::string local = Write("shrink.bin", std::string(40, 'z'));
  session_->UploadFile(local);
  ExpectFrame("UPLOAD|1|40|\\shrink.bin|" + Stamp(local));
  ::truncate(local.c_str(), 20);
  peer_->SendFrame("DO UPLOAD");
  ASSERT_TRUE(WaitClosed());
  ASSERT_EQ(log_.errors.size(), 1u);
  EXPECT_EQ(log_.errors[0].rfind("[SendNextChunk] Σφάλμα: ", 0), 0u);
  EXPECT_TRUE(View().window_enabled);
}

TEST_F(TransferTest, CancelWhileSendingReconnects) {
  SetChunkSize(64 * 1024);
  LogInWithFiles("LOGINOK|0|1000000000|False|False");
  const std::string local = Write("large.bin", std::string(64 * 1024 * 1024, 'q'));
  session_->UploadFile(local);
  Exchange("UPLOAD|1|67108864|\\large.bin|" + Stamp(local), "DO UPLOAD");
  ASSERT_TRUE(Until([&] { return peer_->received.size() > 1024 * 1024; }));
  session_->cmdCancel_Click();
  EXPECT_TRUE(log_.Has("Ακυρώθηκε."));
  EXPECT_FALSE(session_->Progress().visible);
  ASSERT_TRUE(Until([&] { return peer_->connections == 2; }));
}

TEST_F(TransferTest, UploadResumeBeyondFourGibibytesUsesSixtyFourBitPositions) {
  SetChunkSize(16);
  LogIn("huge.bin|4294967296|20260101000000", "LOGINOK|0|9999999999999|False|False");
  const fs::path local = dir_ / "huge.bin";
  WriteHugeFile(local, "tail-bytes");
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);
  session_->UploadFile(local.string());
  Exchange("UPLOAD|4294967297|4294967306|\\huge.bin|" + Stamp(local), "DO UPLOAD");
  Expect("tail-bytes");
  peer_->SendFrame("UPLOADOK");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(session_->RowSizes()[0], kFourGiB + 10);
}

TEST(ProgressTexts, EstimateWordsFollowTheNumbers) {
  EXPECT_EQ(EstimateText(3600), "Εκτιμώμενος χρόνος: 1 ώρα");
  EXPECT_EQ(EstimateText(61), "Εκτιμώμενος χρόνος: 1 λεπτό 1 δευτ/το");
  EXPECT_EQ(EstimateText(3725), "Εκτιμώμενος χρόνος: 1 ώρα 2 λεπτά 5 δευτ/τα");
  EXPECT_EQ(EstimateText(7322), "Εκτιμώμενος χρόνος: 2 ώρες 2 λεπτά 2 δευτ/τα");
}

// ---- Uploads that must not start, and the dialogs ----

TEST_F(TransferTest, LocalNamesTheServerCannotHoldAreRefusedBeforeAnythingIsSent) {
  LogIn("b.txt|3|20250101000000\r\nCON.txt|3|20250101000000");
  struct Case {
    const char* name;
    const char* text;
  };
  for (const Case& c : {// On POSIX "\" belongs to the name: cutting at it would store (or
                        // resume onto) the listed b.txt.
                        Case{"a\\b.txt", "Μη αποδεκτοί χαρακτήρες: \\ / | ? * \" : < >"},
                        Case{"p|q.txt", "Μη αποδεκτοί χαρακτήρες: \\ / | ? * \" : < >"},
                        Case{"café.txt", "Μη υποστηριζόμενοι χαρακτήρες: é"},
                        Case{"CON.txt", "Το όνομα είναι δεσμευμένο από τα Windows"},
                        Case{"notes.", "Το όνομα δε μπορεί να τελειώνει σε τελεία ή κενό"}}) {
    ui_.balloons.clear();
    session_->UploadFile(Write(c.name, "xyz"));
    ASSERT_EQ(ui_.balloons.size(), 1u) << c.name;
    EXPECT_EQ(ui_.balloons[0].box, EditBox::kUpload);
    EXPECT_EQ(ui_.balloons[0].title, "Μη έγκυρο όνομα");
    EXPECT_EQ(ui_.balloons[0].text, c.text) << c.name;
    EXPECT_EQ(ui_.balloons[0].icon, BalloonIcon::kError);
  }
  EXPECT_TRUE(ui_.exists_requests.empty()) << "no refused name is matched against the rows";
  EXPECT_TRUE(ui_.messages.empty());
  ExpectNothingSent();
  EXPECT_FALSE(Closed());
  EXPECT_TRUE(View().window_enabled);
  EXPECT_FALSE(session_->TransferActive());
}

TEST_F(TransferTest, CancelWhileTheLastChunkIsQueuedKeepsTheWindowBusyUntilUploadOk) {
  // One chunk holds the whole file and is far larger than the socket buffers,
  // so it is still queued when Cancel is pressed.
  constexpr std::int64_t kSize = 32 * 1024 * 1024;
  SessionConfig config = session_->Config();
  config.chunk_size = static_cast<std::int32_t>(kSize);
  Configure(config);
  LogIn("a.bin|10|20260306090559", "LOGINOK|0|1000000000|False|False");
  const std::string local = Write("big.bin", std::string(kSize, 'q'));
  session_->UploadFile(local);
  ExpectFrame("UPLOAD|1|33554432|\\big.bin|" + support::LastWriteStamp(local).value());
  peer_->SendFrame("DO UPLOAD");
  ASSERT_TRUE(Until([&] { return !peer_->received.empty(); }));
  ASSERT_TRUE(session_->Progress().visible) << "the last chunk should still be on its way";

  session_->cmdCancel_Click();
  EXPECT_FALSE(session_->Progress().visible);
  EXPECT_FALSE(View().window_enabled) << "UPLOADOK is still awaited";
  EXPECT_TRUE(session_->TransferActive());

  // Nothing else can start meanwhile.
  session_->UploadFile(Write("second.txt", "abc"));
  Select("a.bin");
  session_->DownloadFile((dir_ / "a.bin").string());
  EXPECT_TRUE(ui_.exists_requests.empty());
  ASSERT_TRUE(Until([&] { return static_cast<std::int64_t>(peer_->received.size()) >= kSize; }));
  Settle();
  EXPECT_EQ(static_cast<std::int64_t>(peer_->received.size()), kSize)
      << "no second request went out after the data";
  EXPECT_FALSE(std::filesystem::exists(dir_ / "a.bin"));

  peer_->SendFrame("UPLOADOK");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(View().rows.back().name, "big.bin");
  EXPECT_EQ(session_->UsedBytes(), kSize);
  EXPECT_EQ(peer_->connections, 1) << "a cancel after the last byte drops nothing";
  EXPECT_FALSE(Closed());
}

// ---- What the dialogs are given ----

TEST_F(TransferTest, FileDialogsGetTheirFiltersAndTheExistsDialogItsTarget) {
  LogIn("report.pdf|10|20260306090559\r\nsetup.exe|3|20260306090559");
  ui_.open_file = std::nullopt;
  session_->dcbBrowse_Click();
  ASSERT_EQ(ui_.file_requests.size(), 1u);
  EXPECT_EQ(ui_.file_requests[0].title, "Επιλογή αρχείου");
  EXPECT_TRUE(ui_.file_requests[0].must_exist);
  EXPECT_EQ(ui_.file_requests[0].filters, (std::vector<FileFilter>{{"Όλα τα αρχεία", "*.*"}}));

  ui_.save_file = Write("report.pdf", "0123");
  ui_.exists_answers.push_back(ExistsAnswer::kCancel);
  Select("report.pdf");
  session_->dcbDownload_Click();
  ASSERT_EQ(ui_.file_requests.size(), 2u);
  const FileDialogRequest& save = ui_.file_requests[1];
  EXPECT_EQ(save.initial_name, "report.pdf");
  EXPECT_EQ(save.filters, (std::vector<FileFilter>{{"*.pdf", "*.pdf"}, {"Όλα τα αρχεία", "*.*"}}));
  EXPECT_FALSE(save.confirm_overwrite);
  ASSERT_EQ(ui_.exists_requests.size(), 1u);
  EXPECT_EQ(ui_.exists_requests[0].file_name, "\\report.pdf");
  EXPECT_EQ(ui_.exists_requests[0].icon_key, "I.pdf");
  EXPECT_FALSE(ui_.exists_requests[0].upload);
  EXPECT_EQ(ui_.exists_requests[0].caption, "Επιβεβαίωση");

  const std::string program = Write("setup.exe", "0123456");
  session_->UploadFile(program);
  ASSERT_EQ(ui_.exists_requests.size(), 2u);
  EXPECT_EQ(ui_.exists_requests[1].file_name, program);
  EXPECT_EQ(ui_.exists_requests[1].icon_key, "program");
  EXPECT_TRUE(ui_.exists_requests[1].upload);
  ExpectNothingSent();
}

// ---- A reset while a dialog is open ----

TEST_F(TransferTest, ResetClosesTheDialogsBeforeTheProgressWindow) {
  LogIn("a.bin|10|20260306090559");
  Select("a.bin");
  session_->DownloadFile((dir_ / "a.bin").string());
  ExpectFrame("DOWNLOAD|1|\\a.bin|False");
  ASSERT_TRUE(session_->Progress().visible);
  ui_.calls.clear();
  peer_->Close();
  ASSERT_TRUE(WaitClosed());
  ASSERT_EQ(ui_.calls.size(), 2u);
  EXPECT_EQ(ui_.calls[0], "CloseDialogs");
  EXPECT_EQ(ui_.calls[1], "SetTaskbarProgress(-1)");
  EXPECT_FALSE(session_->Progress().visible);
}

}  // namespace
}  // namespace session
