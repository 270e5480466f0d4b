// Log-in, the parameters fetch and the life of a connection against the
// reference server: the chain, the figures only the server knows, the fetch
// direct and through the endpoint standing in as an HTTP proxy, keep-alive and
// the server going away. How the client reacts to each reply is covered
// against scripted peers (tests/session); what the server replies, by the
// server's own tests.
#include <thread>

#include "common/process.h"
#include "live_server.h"
#include "server/pf_endpoint.h"

namespace integration {
namespace {

using LoginTest = LiveServerTest;

TEST_F(LoginTest, ChainRunsInOrderAndStopsAtPcInfo) {
  log_.debug = 1;  // the keyword of every reply is logged
  LogIn();
  Settle();
  const std::vector<std::string> expected = {
      "LOGIN|5|anna -> LOGINOK",
      "LIST|\\|False -> LIST (4 rows)",
      "MYLOGINTIME -> LOGINTIME",
      "SCHCLEANUPINFO -> SCHCLEANUPINFO",
      "PCINFO os=\"Debian GNU/Linux 12 (bookworm)\" cpu=\"Test CPU @ 2.00GHz\" ram=8192MB "
      "disk=1536MB client=1.00.0 -> (no reply)",
  };
  EXPECT_EQ(Requests(), expected);
  std::vector<std::string> replies;
  for (const auto& line : log_.lines) {
    if (line.rfind("DEBUG: smClient_DataArrival->", 0) == 0) replies.push_back(line.substr(29));
  }
  EXPECT_EQ(replies, (std::vector<std::string>{"LOGINOK", "LIST", "LOGINTIME", "SCHCLEANUPINFO"}));
  EXPECT_TRUE(session_->KeepAliveEnabled());
  EXPECT_TRUE(log_.errors.empty());
  EXPECT_TRUE(ui_.messages.empty());
  // The figures of LOGINOK and LOGINTIME come from the server's disk and clock.
  EXPECT_EQ(session_->UsedBytes(), 3 + 6 + 2048);
  EXPECT_EQ(session_->QuotaBytes(), 10000);
  EXPECT_NE(View().lblPFSize.caption.find("(20.6%)"), std::string::npos)
      << View().lblPFSize.caption;
  ASSERT_EQ(session_->LoginTime().size(), 14u);
  EXPECT_EQ(session_->LoginTime().find_first_not_of("0123456789"), std::string::npos);
}

TEST_F(LoginTest, OverQuotaWarnsWhenTheServerAsksUnlessTheCleanupNoticeHoldsTheLabel) {
  context_.config.users[0].quota = 2000;  // anna holds 2057 bytes
  const std::string notice =
      "Προσοχή: Τα αρχεία των προσωπικών χώρων, παλιότερα των 30 ημερών, διαγράφονται "
      "αυτόματα κάθε 7 ημέρες.";
  struct Case {
    int cleanup_days;
    bool warning;
    std::string caption;  ///< how the label starts; "" when it is hidden
  };
  for (const Case& c :
       {Case{0, false, ""}, Case{0, true, "Προσοχή: Έχει ξεπεραστεί"}, Case{30, true, notice}}) {
    SCOPED_TRACE(c.caption);
    context_.config.cleanup_days = c.cleanup_days;
    context_.config.users[0].over_quota_warning = c.warning;
    if (session_->LoggedIn()) session_->dcbConnect_Click();
    LogIn();
    for (const bool refreshed : {false, true}) {
      SCOPED_TRACE(refreshed ? "after a refresh" : "after the log-in");
      EXPECT_EQ(View().lblCleanupWarning.visible, !c.caption.empty());
      EXPECT_EQ(View().lblCleanupWarning.caption.rfind(c.caption, 0), 0u);
      EXPECT_EQ(View().pbPFSize_value, 100);
      EXPECT_EQ(View().pbPFSize_state, session::BarState::kError);
      const int totals = ServerLines("TOTALSIZE -> TOTALSIZE");
      session_->dcbRefresh_Click();
      ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE", totals + 1));
      ASSERT_TRUE(WaitEnabled());
      Settle();
    }
  }
}

// ---- The parameters fetch ----

TEST_F(LoginTest, DirectFetchFindsTheFolderServerAndIsNotRepeated) {
  log_.debug = 1;
  Configure(FetchConfig());
  LogIn();
  EXPECT_EQ(ServerLines("http 127.0.0.1: GET /webftp/pf.txt HTTP/1.1 -> 200 OK"), 1);
  EXPECT_TRUE(log_.Has("Ανάκτηση παραμέτρων σύνδεσης [http://127.0.0.1/webftp/pf.txt]"));
  EXPECT_TRUE(log_.Has("strTarget = \"" + server::PfBody("127.0.0.1", server_->Port()) + "\""));
  EXPECT_TRUE(log_.Has("Σύνδεση με το διακομιστή προσωπικού χώρου (127.0.0.1:" +
                       std::to_string(server_->Port()) + ")"));
  EXPECT_EQ(session_->Config().server_name, "127.0.0.1");
  EXPECT_EQ(session_->Config().server_port, server_->Port());
  EXPECT_EQ(session_->RedirState(), net::SocketState::kClosed);

  session_->dcbConnect_Click();  // disconnect
  LogIn();
  EXPECT_EQ(ServerLines("http 127.0.0.1: "), 1) << "the second connect goes straight to the server";
  EXPECT_TRUE(log_.Has("Σύνδεση με το διακομιστή προσωπικού χώρου"));
}

TEST_F(LoginTest, FetchGoesThroughTheProxyWithTheAbsoluteAddress) {
  session::SessionConfig config = FetchConfig();
  const test_common::RefusingPort refusing;
  config.parameters_port = refusing.Port();  // a direct fetch would fail
  config.proxy_type = 1;
  config.proxy_server = "127.0.0.1";
  config.proxy_port = server_->HttpPort();
  Configure(config);
  LogIn();
  EXPECT_EQ(ServerLines("http 127.0.0.1: GET http://127.0.0.1/webftp/pf.txt HTTP/1.1 -> 200 OK"),
            1);
  EXPECT_TRUE(log_.Has("Ανάκτηση παραμέτρων σύνδεσης μέσω proxy "));
  EXPECT_EQ(session_->Config().server_port, server_->Port());
}

// ---- An established connection ----

class ConnectionTest : public LiveServerTest {
 protected:
  void SetUp() override {
    LiveServerTest::SetUp();
    LogIn();
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) session_->TickKeepAlive();
  }
  /// After `n` more ticks the server has answered `pings` PINGs in all.
  void ExpectPingsAfter(int n, int pings) {
    Ticks(n);
    ASSERT_TRUE(WaitServerLines("PING -> PONG", pings));
    Settle();
    EXPECT_EQ(ServerLines("PING -> PONG"), pings);
  }
  void ExpectReset() {
    EXPECT_TRUE(Closed());
    EXPECT_TRUE(View().window_enabled);
    EXPECT_EQ(View().cursor, session::Cursor::kNormal);
    EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
    EXPECT_TRUE(View().rows.empty());
    EXPECT_FALSE(View().usage_visible);
    EXPECT_FALSE(session_->KeepAliveEnabled());
  }
};

TEST_F(ConnectionTest, ServerGoingAwayIdleOrDuringARequestResetsSilently) {
  for (const bool busy : {false, true}) {
    SCOPED_TRACE(busy ? "during a request" : "idle");
    if (busy) {
      StartServer();
      Configure(DirectConfig());
      LogIn();
      session_->dcbRefresh_Click();
      ASSERT_FALSE(View().window_enabled);
    }
    server_->Stop();  // before the server has read the request
    ASSERT_TRUE(WaitClosed());
    Settle();
    ExpectReset();
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(log_.errors.empty());
  }
  EXPECT_EQ(ServerLines("LIST|\\|False"), 2) << "only the log-in listings were served";
}

TEST_F(ConnectionTest, KeepAlivePingsOnEveryFifthTickAcrossSessionsUntilADisconnect) {
  ExpectPingsAfter(4, 0);
  ExpectPingsAfter(1, 1);
  ExpectPingsAfter(4, 1);
  ExpectPingsAfter(1, 2);
  EXPECT_FALSE(Closed()) << "PONG is taken quietly";
  // The PONGs left nothing behind in the receiver: the next reply reads cleanly.
  AndWait([&] { session_->dcbRefresh_Click(); });
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
  EXPECT_EQ(View().rows.size(), 4u);
  EXPECT_TRUE(log_.errors.empty());

  Ticks(3);
  session_->dcbConnect_Click();
  LogIn();
  ExpectPingsAfter(1, 2);
  ExpectPingsAfter(1, 3);  // the fifth tick counts across sessions
  session_->dcbConnect_Click();
  EXPECT_FALSE(session_->KeepAliveEnabled());
  Ticks(10);
  Settle();
  EXPECT_EQ(ServerLines("PING"), 3) << "a disconnect stops the keep-alive";
}

TEST_F(ConnectionTest, FailingKeepAliveSendResets) {
  server_->Stop();  // the loop does not run: the session has not noticed yet
  Ticks(5);         // this PING reaches a closed socket, which answers with a reset
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Ticks(5);  // this one fails in the send itself
  EXPECT_TRUE(Closed()) << "reset before the loop ran";
  Settle();
  ExpectReset();
  // The send error surfaces as an error of the socket and is reported as one.
  EXPECT_TRUE(log_.Has("[smClient] Σφάλμα: Connection reset by peer."));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.");
}

}  // namespace
}  // namespace integration
