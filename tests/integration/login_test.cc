// Log-in against the reference server: the chain, the figures only the server
// knows, and credentials both ends must agree on. How the client reacts to
// each refusal is covered against the scripted peer (tests/session); what the
// server refuses, by the server's own tests.
#include "live_server.h"

namespace integration {
namespace {

class LoginTest : public LiveServerTest {};

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

TEST_F(LoginTest, CredentialsBothEndsMustAgreeOn) {
  struct Case {
    const char* typed_id;
    const char* password;
    const char* why;
  };
  const Case cases[] = {
      Case{"  anna ", "secret1", "the ID is trimmed before it is sent"},
      // "(" plus the first key byte is 0x7C: the field starts with a bar.
      Case{"anna", "(secret", "a scrambled password may hold a bar"},
      Case{"anna", "κλειδί", "a Greek password is scrambled byte-wise"},
  };
  int logins = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    context_.config.users[0].password = c.password;
    Configure(DirectConfig(), c.typed_id, c.password);
    LogIn();
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(View().txtID.text, "anna");
    EXPECT_EQ(Requests().back().rfind("PCINFO", 0), 0u);
    EXPECT_EQ(ServerLines("LOGIN|5|anna -> LOGINOK"), ++logins);
    session_->dcbConnect_Click();
    ASSERT_TRUE(Until([&] { return server_->ConnectionCount() == 0; }));
  }
}

TEST_F(LoginTest, CleanupNoticeKeepsTheLabelFromTheOverQuotaWarning) {
  context_.config.users[0].quota = 2000;  // anna holds 2057 bytes
  context_.config.cleanup_days = 30;
  LogIn();
  const std::string notice =
      "Προσοχή: Τα αρχεία των προσωπικών χώρων, παλιότερα των 30 ημερών, διαγράφονται "
      "αυτόματα κάθε 7 ημέρες.";
  EXPECT_EQ(View().lblCleanupWarning.caption, notice);
  session_->dcbRefresh_Click();
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE"));
  WaitIdle();
  Settle();
  EXPECT_EQ(View().lblCleanupWarning.caption, notice);
  EXPECT_TRUE(View().lblCleanupWarning.visible);
  EXPECT_EQ(View().pbPFSize_state, session::BarState::kError);
}

TEST_F(LoginTest, OverQuotaShowsTheWarningOnlyWhenTheServerAsksForIt) {
  context_.config.users[0].quota = 2000;
  context_.config.users[0].over_quota_warning = false;
  LogIn();
  EXPECT_FALSE(View().lblCleanupWarning.visible);
  EXPECT_EQ(View().pbPFSize_value, 100);

  session_->dcbConnect_Click();
  context_.config.users[0].over_quota_warning = true;
  LogIn();
  EXPECT_TRUE(View().lblCleanupWarning.visible);
  EXPECT_EQ(View().lblCleanupWarning.caption.rfind("Προσοχή: Έχει ξεπεραστεί", 0), 0u);
}

TEST_F(LoginTest, ADisconnectFreesTheSlotForTheNextLogIn) {
  context_.config.max_sessions_per_user = 1;
  LogIn();
  session_->dcbConnect_Click();
  EXPECT_TRUE(log_.Has("Αποσύνδεση από τον προσωπικό χώρο"));
  ASSERT_TRUE(Until([&] { return server_->ConnectionCount() == 0; }));
  LogIn();
  EXPECT_TRUE(ui_.messages.empty()) << "the one slot was free again";
  EXPECT_EQ(ServerLines("LOGINOK"), 2);
  EXPECT_EQ(ServerLines("MYLOGINTIME"), 2) << "a new connection asks for its time again";
}

TEST_F(LoginTest, HandedOverCredentialsConnectByThemselvesAndStayLocked) {
  session::SessionConfig config = DirectConfig();
  config.auto_connect = true;
  Configure(config);
  EXPECT_TRUE(View().txtID.locked);
  EXPECT_FALSE(View().chkSaveLogin_enabled);
  session_->StartAutoConnect();
  ASSERT_TRUE(WaitServerLines("PCINFO"));
  WaitIdle();
  EXPECT_EQ(View().dcbConnect.caption, "Αποσύνδεση");
  session_->dcbConnect_Click();
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
  EXPECT_TRUE(View().txtID.locked) << "the boxes stay locked after a disconnect";
  EXPECT_TRUE(View().txtPassword.locked);
  Settle();
  EXPECT_EQ(ServerLines("LOGINOK"), 1) << "the timer connected once only";
}

}  // namespace
}  // namespace integration
