// The life of an established connection against the reference server: the
// server going away, keep-alive, and a send that fails.
#include <thread>

#include "app/crypto.h"
#include "session/protocol.h"

#include "live_server.h"

namespace integration {
namespace {

class ConnectionTest : public LiveServerTest {
 protected:
  void SetUp() override {
    LiveServerTest::SetUp();
    LogIn();
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) session_->TickKeepAlive();
  }
  void ExpectReset() {
    EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
    EXPECT_TRUE(View().window_enabled);
    EXPECT_EQ(View().cursor, session::Cursor::kNormal);
    EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
    EXPECT_TRUE(View().rows.empty());
    EXPECT_FALSE(View().usage_visible);
    EXPECT_FALSE(session_->KeepAliveEnabled());
  }
};

TEST_F(ConnectionTest, ServerGoingAwayDuringARequestResetsSilently) {
  session_->dcbRefresh_Click();
  ASSERT_FALSE(View().window_enabled);
  server_->Stop();  // before the server has read the request
  ASSERT_TRUE(Until([&] { return session_->ClientState() == net::SocketState::kClosed; }));
  Settle();
  ExpectReset();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(log_.errors.empty());
  EXPECT_EQ(ServerLines("LIST|\\|False"), 1) << "only the log-in listing was served";
}

TEST_F(ConnectionTest, ServerClosingAnIdleSessionResetsSilently) {
  server_->Stop();
  ASSERT_TRUE(Until([&] { return session_->ClientState() == net::SocketState::kClosed; }));
  ExpectReset();
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ConnectionTest, KeepAlivePingsOnEveryFifthTickAndTheServerAnswers) {
  Ticks(4);
  Settle();
  EXPECT_EQ(ServerLines("PING -> PONG"), 0);
  Ticks(1);
  ASSERT_TRUE(WaitServerLines("PING -> PONG", 1));
  Ticks(4);
  Settle();
  EXPECT_EQ(ServerLines("PING -> PONG"), 1);
  Ticks(1);
  ASSERT_TRUE(WaitServerLines("PING -> PONG", 2));
  Settle();
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected) << "PONG is taken quietly";
  EXPECT_TRUE(log_.errors.empty());

  // The PONGs left nothing behind in the receiver: the next reply reads cleanly.
  session_->dcbRefresh_Click();
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
  WaitIdle();
  EXPECT_EQ(View().rows.size(), 4u);
  EXPECT_TRUE(log_.errors.empty());
}

TEST_F(ConnectionTest, ServerPingDoesNotDisturbTheSession) {
  // A second, bare client of the same user shows when the server pings.
  RawClient witness(server_->Port());
  ASSERT_TRUE(Until([&] { return witness.Connected(); }));
  witness.Send(session::FrameMessage("LOGIN|5|anna|" + app::ScrambledPasswordField("secret1")));
  ASSERT_TRUE(Until([&] { return witness.received.find("LOGINOK") != std::string::npos; }));
  context_.config.ping_every = 1;
  ASSERT_TRUE(Until([&] { return witness.received.find("PING") != std::string::npos; }, 3s));
  Settle();
  context_.config.ping_every = 0;
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
  session_->dcbRefresh_Click();
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
  WaitIdle();
  EXPECT_EQ(View().rows.size(), 4u);
  EXPECT_TRUE(log_.errors.empty());
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ConnectionTest, TickCountSurvivesAReconnect) {
  Ticks(3);
  session_->dcbConnect_Click();
  LogIn();
  Ticks(1);
  Settle();
  EXPECT_EQ(ServerLines("PING -> PONG"), 0);
  Ticks(1);
  ASSERT_TRUE(WaitServerLines("PING -> PONG", 1)) << "the fifth tick counts across sessions";
}

TEST_F(ConnectionTest, DisconnectStopsTheKeepAlive) {
  session_->dcbConnect_Click();
  EXPECT_FALSE(session_->KeepAliveEnabled());
  Ticks(10);
  Settle();
  EXPECT_EQ(ServerLines("PING"), 0);
}

TEST_F(ConnectionTest, FailingKeepAliveSendResets) {
  server_->Stop();  // the loop does not run: the session has not noticed yet
  Ticks(5);         // this PING reaches a closed socket, which answers with a reset
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Ticks(5);  // this one fails in the send itself
  EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed) << "reset before the loop ran";
  Settle();
  ExpectReset();
  // The send error surfaces as an error of the socket and is reported as one.
  EXPECT_TRUE(log_.Has("[smClient] Σφάλμα: Connection reset by peer."));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.");
}

}  // namespace
}  // namespace integration
