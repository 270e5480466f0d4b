// Uploads that must not start: local names the wire or the server cannot
// carry, and a second transfer while one still awaits its reply.
#include "session_fixture.h"
#include "support/file_stamp.h"

namespace session {
namespace {

class UploadGuardTest : public LocalFilesTest {};

TEST_F(UploadGuardTest, LocalNamesTheServerCannotHoldAreRefusedBeforeAnythingIsSent) {
  LogIn("b.txt|3|20250101000000\r\nCON.txt|3|20250101000000");
  struct Case {
    const char* name;
    const char* text;
  };
  for (const Case& c : {
           // On POSIX "\" is part of the name: cutting at it would store (or
           // resume onto) the listed b.txt.
           Case{"a\\b.txt", "Μη αποδεκτοί χαρακτήρες: \\ / | ? * \" : < >"},
           Case{"p|q.txt", "Μη αποδεκτοί χαρακτήρες: \\ / | ? * \" : < >"},
           Case{"café.txt", "Μη υποστηριζόμενοι χαρακτήρες: é"},
           Case{"CON.txt", "Το όνομα είναι δεσμευμένο από τα Windows"},
           Case{"notes.", "Το όνομα δε μπορεί να τελειώνει σε τελεία ή κενό"},
       }) {
    ui_.balloons.clear();
    session_->UploadFile(Write(c.name, "xyz"));
    ASSERT_EQ(ui_.balloons.size(), 1u) << c.name;
    EXPECT_EQ(ui_.balloons[0].box, EditBox::kUpload);
    EXPECT_EQ(ui_.balloons[0].title, "Μη έγκυρο όνομα");
    EXPECT_EQ(ui_.balloons[0].text, c.text) << c.name;
    EXPECT_EQ(ui_.balloons[0].icon, BalloonIcon::kError);
  }
  EXPECT_TRUE(ui_.exists_questions.empty()) << "no refused name is matched against the rows";
  EXPECT_TRUE(ui_.messages.empty());
  Settle();
  EXPECT_EQ(peer_->received, "");
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
  EXPECT_TRUE(View().window_enabled);
  EXPECT_FALSE(session_->TransferActive());
}

TEST_F(UploadGuardTest, CancelWhileTheLastChunkIsQueuedKeepsTheWindowBusyUntilUploadOk) {
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
  EXPECT_TRUE(ui_.exists_questions.empty());
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
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
}

// ---- What the dialogs are given ----

TEST_F(UploadGuardTest, FileDialogsGetTheirFiltersAndTheExistsDialogItsTarget) {
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
  Settle();
  EXPECT_EQ(peer_->received, "");
}

// ---- A reset while a dialog is open ----

TEST_F(UploadGuardTest, ResetClosesTheDialogsBeforeTheProgressWindow) {
  LogIn("a.bin|10|20260306090559");
  Select("a.bin");
  session_->DownloadFile((dir_ / "a.bin").string());
  ExpectFrame("DOWNLOAD|1|\\a.bin|False");
  ASSERT_TRUE(session_->Progress().visible);
  ui_.calls.clear();
  peer_->Close();
  ASSERT_TRUE(Until([&] { return session_->ClientState() == net::SocketState::kClosed; }));
  ASSERT_EQ(ui_.calls.size(), 2u);
  EXPECT_EQ(ui_.calls[0], "CloseDialogs");
  EXPECT_EQ(ui_.calls[1], "SetTaskbarProgress(-1)");
  EXPECT_FALSE(session_->Progress().visible);
}

TEST_F(UploadGuardTest, AStaleAnswerOfTheExistsDialogIsDropped) {
  LogIn("a.bin|4|20260306090559", "LOGINOK|0|1000|False|False");
  ui_.during_dialog = [&] {
    peer_->Close();
    ASSERT_TRUE(Until([&] { return session_->ClientState() == net::SocketState::kClosed; }));
  };
  ui_.exists_answers.push_back(ExistsAnswer::kContinue);
  session_->UploadFile(Write("a.bin", "0123456789"));
  ASSERT_EQ(ui_.exists_requests.size(), 1u);
  EXPECT_TRUE(log_.errors.empty()) << "nothing was sent on the closed socket";
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Χάθηκε η σύνδεση με τον προσωπικό χώρο.");
  EXPECT_FALSE(session_->TransferActive());
  EXPECT_FALSE(session_->Progress().visible);
  EXPECT_TRUE(View().window_enabled);
  EXPECT_EQ(peer_->connections, 1);
}

TEST_F(UploadGuardTest, AStaleNameFromTheNameDialogRenamesNothing) {
  LogIn();
  Select("report.pdf");
  ui_.names.push_back("new.pdf");
  ui_.during_dialog = [&] {
    peer_->Close();
    ASSERT_TRUE(Until([&] { return session_->ClientState() == net::SocketState::kClosed; }));
  };
  session_->dcbRename_Click();
  EXPECT_TRUE(log_.errors.empty());
  EXPECT_TRUE(View().rows.empty());
  EXPECT_TRUE(View().window_enabled);
  EXPECT_GE(ui_.dialogs_closed, 1);
}

}  // namespace
}  // namespace session
