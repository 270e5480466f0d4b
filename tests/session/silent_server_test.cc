// A server that keeps the connection open and stops answering: the window
// waits a bounded time, then the connection counts as lost.
#include "session_fixture.h"

namespace session {
namespace {

constexpr char kCutLine[] = "Ο διακομιστής δεν αποκρίνεται. Κλείσιμο σύνδεσης.";

class SilentServerTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    SessionConfig config = session_->Config();
    config.silence_bound = 200;
    Configure(config);
  }
  void Run(std::chrono::milliseconds span) {
    loop_.RunUntil([] { return false; }, span);
  }
  /// Waits for the bound to end the connection, then checks the idle window.
  void ExpectCut() {
    ASSERT_TRUE(Until([&] { return log_.Has(kCutLine); })) << "the window waits for ever";
    EXPECT_TRUE(View().window_enabled);
    EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
    EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
    EXPECT_FALSE(session_->TransferActive());
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text, "Χάθηκε η σύνδεση με τον προσωπικό χώρο.");
    EXPECT_EQ(ui_.messages.back().icon, MessageIcon::kCritical);
    EXPECT_TRUE(Until([&] { return peer_->peer_closed; }));
  }
};

TEST_F(SilentServerTest, AnUnansweredRequestOrAStalledDownloadEndsAsALostConnection) {
  LogIn();
  session_->dcbRefresh_Click();
  ExpectFrame("LIST|\\|False");
  ExpectCut();

  // Log in again, then a download whose bytes stop coming halfway.
  ui_.messages.clear();
  log_.lines.clear();
  LogIn("big.bin|4000|20260306090559");
  ui_.save_file = (dir_ / "big.bin").string();
  Select("big.bin");
  session_->dcbDownload_Click();
  ExpectFrame("DOWNLOAD|1|\\big.bin|False");
  peer_->SendFrame("DO DOWNLOAD");
  ExpectFrame("DO DOWNLOAD|1");
  peer_->Send(std::string(1000, 'x'));
  ExpectCut();
  EXPECT_EQ(std::filesystem::file_size(dir_ / "big.bin"), 1000u) << "the bytes received are kept";
}

TEST_F(SilentServerTest, AnIdleWindowAndASlowButLiveReplyAreNotCut) {
  LogIn();
  Run(500ms);  // idle: the window waits for the user, not for the server
  ASSERT_EQ(session_->ClientState(), net::SocketState::kConnected);

  session_->dcbRefresh_Click();
  ExpectFrame("LIST|\\|False");
  const std::string reply =
      Framed("LIST|Docs|0||\r\nreport.pdf|2048|20260306090559\r\nnew.txt|5|20260306090559");
  // Six pieces 100 ms apart: three times the bound in all, never silent for it.
  const std::size_t piece = reply.size() / 6 + 1;
  for (std::size_t at = 0; at < reply.size(); at += piece) {
    Run(100ms);
    peer_->Send(std::string_view(reply).substr(at, piece));
  }
  ASSERT_TRUE(Until([&] { return View().window_enabled; }));
  EXPECT_EQ(View().rows.size(), 3u);
  EXPECT_FALSE(log_.Has(kCutLine));
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
}

}  // namespace
}  // namespace session
