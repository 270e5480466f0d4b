// Log-in against the reference server: the chain, what LOGINOK puts on the
// window, and every refusal the server gives with its effect on the session.
#include <filesystem>

#include "live_server.h"
#include "session/protocol.h"

namespace integration {
namespace {

using session::MessageAnswer;
using session::MessageButtons;
using session::MessageIcon;

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
  EXPECT_TRUE(log_.Has("Έγινε σύνδεση."));
  EXPECT_TRUE(log_.errors.empty());
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LoginTest, LoginOkFieldsReachTheView) {
  LogIn();
  EXPECT_EQ(session_->UsedBytes(), 3 + 6 + 2048);
  EXPECT_EQ(session_->QuotaBytes(), 10000);
  EXPECT_TRUE(View().usage_visible);
  EXPECT_EQ(View().lblPFSize.caption.rfind("Χρήση προσωπικού χώρου: ", 0), 0u);
  EXPECT_NE(View().lblPFSize.caption.find("(20.6%)"), std::string::npos)
      << View().lblPFSize.caption;
  EXPECT_DOUBLE_EQ(View().pbPFSize_value, 20.6);
  EXPECT_EQ(View().dcbConnect.tooltip, "Αποσύνδεση από τον προσωπικό χώρο");
  EXPECT_EQ(View().window_caption, "Προσωπικός χώρος");
  EXPECT_TRUE(View().txtID.locked);
  EXPECT_FALSE(View().dcbProxy.enabled);
  EXPECT_TRUE(View().lvFiles_enabled);
  EXPECT_TRUE(View().dcbRefresh.enabled);
  EXPECT_TRUE(View().dcbUpload.enabled);
  EXPECT_TRUE(View().dcbNewFolder.enabled);
  // The server's log-in time is a 14-digit local stamp.
  ASSERT_EQ(session_->LoginTime().size(), 14u);
  EXPECT_EQ(session_->LoginTime().find_first_not_of("0123456789"), std::string::npos);
}

TEST_F(LoginTest, UserWithoutDealersAccessNeverSeesTheSwitch) {
  LogIn();
  EXPECT_FALSE(View().lnkDF.visible);
  session_->dcbRefresh_Click();
  WaitIdle();
  ASSERT_TRUE(WaitServerLines("TOTALSIZE"));
  EXPECT_FALSE(View().lnkDF.visible) << "hidden for the whole session";
}

TEST_F(LoginTest, UserWithDealersAccessSeesTheSwitch) {
  Configure(DirectConfig(), "dealer", "pw");
  LogIn();
  EXPECT_TRUE(View().lnkDF.visible);
  EXPECT_EQ(View().lnkDF.caption, "Μετάβαση στο χώρο συνεργατών");
  EXPECT_EQ(View().lnkDF.icon_key, "imgGoToDF");
  EXPECT_TRUE(View().rows.size() == 1 && View().rows[0].name == "Manuals")
      << "an empty personal folder shows only the link";
}

TEST_F(LoginTest, ZeroCleanupDaysShowNoNoticeButPcInfoIsSent) {
  LogIn();
  EXPECT_FALSE(View().lblCleanupWarning.visible);
  EXPECT_EQ(ServerLines("PCINFO"), 1);
}

TEST_F(LoginTest, CleanupDaysShowTheNotice) {
  context_.config.cleanup_days = 30;
  context_.config.cleanup_interval = 14;
  LogIn();
  EXPECT_TRUE(View().lblCleanupWarning.visible);
  EXPECT_EQ(View().lblCleanupWarning.caption,
            "Προσοχή: Τα αρχεία των προσωπικών χώρων, παλιότερα των 30 ημερών, διαγράφονται "
            "αυτόματα κάθε 14 ημέρες.");
  EXPECT_EQ(ServerLines("PCINFO"), 1);
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
  LogIn();
  session_->dcbConnect_Click();
  EXPECT_TRUE(log_.Has("Αποσύνδεση από τον προσωπικό χώρο"));
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
  ASSERT_TRUE(Until([&] { return server_->ConnectionCount() == 0; }));
  LogIn();
  EXPECT_EQ(ServerLines("LOGINOK"), 2);
  EXPECT_EQ(ServerLines("MYLOGINTIME"), 2) << "a new connection asks for its time again";
}

TEST_F(LoginTest, IdIsTrimmedBeforeItIsSent) {
  Configure(DirectConfig(), "  anna ", "secret1");
  LogIn();
  EXPECT_EQ(View().txtID.text, "anna");
  EXPECT_EQ(Requests().front(), "LOGIN|5|anna -> LOGINOK");
}

TEST_F(LoginTest, ScrambledPasswordMayHoldABar) {
  // "(" plus the first key byte is 0x7C: the field starts with a bar.
  context_.config.users[0].password = "(secret";
  Configure(DirectConfig(), "anna", "(secret");
  LogIn();
  EXPECT_TRUE(ui_.messages.empty());
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

// ---- Refusals at log-in ----

/// Checks the state every refusal that ends the session leaves behind.
void ExpectRefused(const session::FolderSession& s, const session::testing::RecordingUi& ui,
                   const std::string& message, MessageIcon icon) {
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, message);
  EXPECT_EQ(ui.messages[0].icon, icon);
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::kOk);
  EXPECT_EQ(s.ClientState(), net::SocketState::kClosed);
  EXPECT_EQ(s.View().dcbConnect.caption, "Σύνδεση");
  EXPECT_TRUE(s.View().window_enabled);
  EXPECT_FALSE(s.View().txtID.locked);
  EXPECT_FALSE(s.View().usage_visible);
  EXPECT_TRUE(s.View().rows.empty());
  EXPECT_FALSE(s.KeepAliveEnabled());
}

class LoginRefusalTest : public LiveServerTest {
 protected:
  void ConnectAndWaitForBox() {
    session_->dcbConnect_Click();
    ASSERT_TRUE(Until([&] { return !ui_.messages.empty(); })) << "no message box";
    Settle();
  }
};

TEST_F(LoginRefusalTest, WrongPasswordIsNoLogin) {
  Configure(DirectConfig(), "anna", "secret2");
  ConnectAndWaitForBox();
  ExpectRefused(*session_, ui_, "Λάθος ID χρήστη ή κωδικός πρόσβασης.", MessageIcon::kCritical);
  EXPECT_TRUE(log_.Has("Λάθος ID χρήστη ή κωδικός πρόσβασης."));
  EXPECT_EQ(ServerLines("-> NOLOGIN"), 1);
}

TEST_F(LoginRefusalTest, UnknownUserIsNoLogin) {
  Configure(DirectConfig(), "nobody", "secret1");
  ConnectAndWaitForBox();
  ExpectRefused(*session_, ui_, "Λάθος ID χρήστη ή κωδικός πρόσβασης.", MessageIcon::kCritical);
}

TEST_F(LoginRefusalTest, NonAsciiPasswordIsScrambledByteWise) {
  context_.config.users[1].password = "κλειδί";
  Configure(DirectConfig(), "dealer", "κλειδί");
  LogIn();
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LoginRefusalTest, SessionBeyondTheUserLimitIsLogin2) {
  context_.config.max_sessions_per_user = 1;
  LogIn();
  session::testing::RecordingUi other_ui;
  session::testing::RecordingLog other_log;
  session::FolderSession other(loop_, other_ui, other_log, facts_, DirectConfig());
  other.SetIdText("anna");
  other.SetPasswordText("secret1");
  other.dcbConnect_Click();
  ASSERT_TRUE(Until([&] { return !other_ui.messages.empty(); }));
  ExpectRefused(other, other_ui, "Έχετε υπερβεί το όριο ταυτόχρονων συνδέσεων.",
                MessageIcon::kExclamation);
  EXPECT_TRUE(other_log.Has("Υπέρβαση ορίου ταυτόχρονων συνδέσεων."));
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected) << "the first one stays";

  session_->dcbConnect_Click();
  ASSERT_TRUE(Until([&] { return server_->ConnectionCount() == 0; }));
  other.dcbConnect_Click();
  ASSERT_TRUE(Until([&] { return other.View().dcbConnect.caption == "Αποσύνδεση"; }));
}

TEST_F(LoginRefusalTest, MaintenanceIsNoMore) {
  context_.config.maintenance = true;
  ConnectAndWaitForBox();
  ExpectRefused(*session_, ui_,
                "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.\r\n"
                "Αυτή τη στιγμή εκτελούνται εργασίες συντήρησης.",
                MessageIcon::kCritical);
  EXPECT_TRUE(log_.Has("Ο διακομιστής δεν αποδέχεται νέες συνδέσεις."));
}

TEST_F(LoginRefusalTest, UnusableFolderIsDirError) {
  Configure(DirectConfig(), "ghost", "pw");
  ConnectAndWaitForBox();
  ExpectRefused(*session_, ui_, "Παρουσιάστηκε σφάλμα κατά το άνοιγμα του ριζικού φακέλου.",
                MessageIcon::kCritical);
  EXPECT_TRUE(log_.Has("Αδύνατη η προσπέλαση στο φάκελο του προσωπικού χώρου."));
}

TEST_F(LoginRefusalTest, BlockedUserIsNoPermission) {
  Configure(DirectConfig(), "blocked", "pw");
  ConnectAndWaitForBox();
  ExpectRefused(*session_, ui_,
                "Δεν έχετε επαρκή δικαιώματα για πρόσβαση στον προσωπικό χώρο.\r\n"
                "Αν πιστεύετε ότι το μήνυμα είναι εσφαλμένο, επικοινωνήστε με τη Norvane.",
                MessageIcon::kCritical);
  EXPECT_TRUE(log_.Has("Απαγορεύεται η πρόσβαση."));
}

TEST_F(LoginRefusalTest, NewerProtocolOffersTheUpdateAndClosesOnYes) {
  context_.config.protocol = "6";
  ui_.answers.push_back(MessageAnswer::kYes);
  session_->dcbConnect_Click();
  ASSERT_TRUE(Until([&] { return ui_.main_window_closed == 1; }));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.\r\n"
            "Απαιτείται νεότερη έκδοση του εργαλείου. Θέλετε να την κατεβάσετε τώρα;");
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kExclamation);
  EXPECT_EQ(ui_.messages[0].buttons, MessageButtons::kYesNo);
  ASSERT_EQ(ui_.urls.size(), 1u);
  EXPECT_EQ(ui_.urls[0], "http://127.0.0.1/downloads/cd/other/tools/Vaultline.exe");
  EXPECT_TRUE(log_.Has("Ασυμφωνία πρωτοκόλλου επικοινωνίας."));
  EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
}

TEST_F(LoginRefusalTest, NewerProtocolDeclinedKeepsTheWindow) {
  context_.config.protocol = "6";
  ConnectAndWaitForBox();
  EXPECT_TRUE(ui_.urls.empty());
  EXPECT_EQ(ui_.main_window_closed, 0);
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
  EXPECT_TRUE(View().window_enabled);
}

TEST_F(LoginRefusalTest, NothingListeningShowsTheConnectionFailure) {
  session::SessionConfig config = DirectConfig();
  server_.reset();  // its port is free now
  Configure(config);
  ConnectAndWaitForBox();
  ExpectRefused(*session_, ui_, "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.",
                MessageIcon::kCritical);
  ASSERT_FALSE(log_.lines.empty());
  bool socket_line = false;
  for (const auto& line : log_.lines) socket_line |= line.rfind("[smClient] Σφάλμα: ", 0) == 0;
  EXPECT_TRUE(socket_line);
}

}  // namespace
}  // namespace integration
