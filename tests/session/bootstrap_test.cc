// The fetch of the connection parameters when the folder server is not known
// yet: a scripted HTTP peer plays the parameters host and the fixture's peer the
// folder server. The fetch against the real endpoint (direct and through a
// proxy) is covered in tests/integration.
#include <algorithm>

#include "session_fixture.h"
#include "support/base64.h"

namespace session {
namespace {

constexpr const char* kFiltered =
    "Προσοχή: Οι παράμετροι σύνδεσης έχουν φιλτραριστεί. Θα γίνει απόπειρα σύνδεσης με τις "
    "προεπιλεγμένες παραμέτρους.";

/// The body of a parameters file naming `endpoint` ("host:port", stored reversed).
std::string Body(std::string endpoint) {
  std::reverse(endpoint.begin(), endpoint.end());
  return support::Base64Encode(endpoint);
}

class FetchTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    http_ = std::make_unique<testing::ScriptedPeer>();
    Configure(FetchConfig(http_->Port()));
  }
  /// Clicks Connect and waits for the request, which must be exactly this.
  void ClickAndExpectRequest() {
    session_->dcbConnect_Click();
    const std::string request = "GET /webftp/pf.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ASSERT_TRUE(Until([&] { return http_->received.size() >= request.size(); }));
    EXPECT_EQ(http_->Take(), request);
  }
  bool LogStartsWith(std::string_view prefix) const {
    return std::any_of(log_.lines.begin(), log_.lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
  /// The failure box was shown and the window is idle again.
  void ExpectFailureShown() {
    ASSERT_TRUE(Until([&] { return !ui_.messages.empty(); })) << "no message box";
    Settle();
    EXPECT_EQ(ui_.messages.back().text, kNoConnection);
    EXPECT_EQ(ui_.messages.back().icon, MessageIcon::kCritical);
    EXPECT_EQ(ui_.messages.back().title, "");
    EXPECT_TRUE(Closed());
    EXPECT_EQ(session_->RedirState(), net::SocketState::kClosed);
    EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
    EXPECT_TRUE(View().window_enabled);
    EXPECT_FALSE(View().txtID.locked);
    EXPECT_EQ(peer_->connections, 0) << "the folder server was never reached";
  }
  std::unique_ptr<testing::ScriptedPeer> http_;
};

TEST_F(FetchTest, UnusableAnswersShowTheFailure) {
  struct Case {
    const char* name;
    std::string answer;
    const char* log_prefix;  ///< a line of the log that must start so
    int port_after;          ///< a failed fetch keeps the old port (0)
    bool error_reported;
  };
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  const Case cases[] = {
      {"not found", "HTTP/1.1 404 Not Found\r\n\r\nabc",
       "Το αρχείο παραμέτρων σύνδεσης δεν υπάρχει.", 0, false},
      // The body is not waited for: the defaults are tried, where nothing listens.
      {"empty body", ok, kFiltered, 443, false},
      {"not base64", ok + "%%% not base64 %%%", "strBuffer = \"HTTP/1.1 200 OK\r\n", 0, true},
      {"no separator", ok + support::Base64Encode("tsohlacol"), "strBuffer = ", 0, true},
      {"no port", ok + support::Base64Encode(":1.0.0.721"), "strBuffer = ", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_.lines.clear();
    log_.errors.clear();
    ui_.messages.clear();
    ClickAndExpectRequest();
    http_->Send(c.answer);
    ExpectFailureShown();
    EXPECT_TRUE(LogStartsWith(c.log_prefix));
    EXPECT_EQ(session_->Config().server_port, c.port_after);
    if (c.port_after == 443) {
      EXPECT_TRUE(LogStartsWith("[smClient] Σφάλμα: "));
    }
    ASSERT_EQ(log_.errors.size(), c.error_reported ? 1u : 0u);
    if (c.error_reported) {
      EXPECT_EQ(log_.errors[0].rfind("[smRedir_DataArrival:", 0), 0u) << log_.errors[0];
      EXPECT_NE(log_.errors[0].find("] Σφάλμα: "), std::string::npos);
    }
    Configure(FetchConfig(http_->Port()));  // forget what the fetch found
  }
}

TEST_F(FetchTest, NothingListeningForTheFetchShowsTheFailure) {
  const test_common::RefusingPort refusing;
  Configure(FetchConfig(refusing.Port()));
  session_->dcbConnect_Click();
  ExpectFailureShown();
  EXPECT_TRUE(LogStartsWith("[smRedir] Σφάλμα: "));
}

TEST_F(FetchTest, HeaderEndSplitAcrossDeliveriesIsAwaited) {
  ClickAndExpectRequest();
  // Any status but 404 counts as success.
  http_->Send("HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\n\r");
  Settle();
  EXPECT_EQ(session_->RedirState(), net::SocketState::kConnected) << "still waiting";
  EXPECT_TRUE(Closed());
  EXPECT_EQ(View().dcbConnect.caption, "Άκυρο");
  EXPECT_EQ(peer_->connections, 0);
  http_->Send("\n" + Body("127.0.0.1:" + std::to_string(peer_->Port())));
  ASSERT_TRUE(Until([&] { return peer_->Connected(); }));
  Expect(FrameMessage("LOGIN|5|demo|" + app::ScrambledPasswordField("demo")));
  EXPECT_EQ(session_->Config().server_port, peer_->Port());
  EXPECT_TRUE(Until([&] { return http_->peer_closed; })) << "the fetch socket is closed";
}

TEST_F(FetchTest, SecondClickCancelsTheFetch) {
  ClickAndExpectRequest();
  EXPECT_EQ(View().dcbConnect.caption, "Άκυρο");
  EXPECT_EQ(View().dcbConnect.tooltip, "Ακύρωση της διαδικασίας σύνδεσης");
  EXPECT_FALSE(View().dcbConnect.is_default);
  EXPECT_EQ(View().dcbConnect.image_key, "connected");
  EXPECT_EQ(View().cursor, Cursor::kWorkingInBackground);
  EXPECT_TRUE(View().txtID.locked);
  EXPECT_EQ(View().txtID.background, BoxBackground::kButtonFace);
  EXPECT_FALSE(View().dcbProxy.enabled);

  session_->dcbConnect_Click();
  EXPECT_EQ(session_->RedirState(), net::SocketState::kClosed);
  EXPECT_TRUE(log_.Has("Αποσύνδεση από τον προσωπικό χώρο"));
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
  EXPECT_TRUE(View().dcbConnect.is_default);
  EXPECT_FALSE(View().txtID.locked);
  EXPECT_TRUE(View().dcbProxy.enabled);
  ASSERT_TRUE(Until([&] { return http_->peer_closed; })) << "the fetch socket is closed";
  Settle();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(peer_->connections, 0);
}

TEST_F(FetchTest, PeerClosingBeforeTheHeaderEndLeavesTheFetchingLook) {
  ClickAndExpectRequest();
  http_->Send("HTTP/1.1 200 OK\r\n");
  http_->Close();
  ASSERT_TRUE(Until([&] { return session_->RedirState() == net::SocketState::kClosed; }));
  Settle();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(View().dcbConnect.caption, "Άκυρο");
  // Both sockets are closed: the next click starts afresh instead of cancelling.
  ClickAndExpectRequest();
  EXPECT_EQ(http_->connections, 2);
  http_->Send("HTTP/1.1 200 OK\r\n\r\n" + Body("127.0.0.1:" + std::to_string(peer_->Port())));
  ASSERT_TRUE(Until([&] { return peer_->Connected(); }));
}

}  // namespace
}  // namespace session
