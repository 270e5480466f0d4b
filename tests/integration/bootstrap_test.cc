// The connection bootstrap against the server's parameters endpoint: direct
// and through the endpoint standing in as an HTTP proxy, the known-server
// bypass, and every way the fetch can fail. A scripted HTTP peer covers what
// the endpoint never does (split heads, silence, early close).
#include <algorithm>

#include "live_server.h"
#include "server/pf_endpoint.h"
#include "support/base64.h"

namespace integration {
namespace {

using session::MessageIcon;

constexpr const char* kFailure = "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.";

/// A loopback port nothing listens on (it was free a moment ago).
int FreePort() {
  net::SocketMaster probe;
  probe.SetLocalIP("127.0.0.1");
  probe.Listen();
  const int port = probe.LocalPort();
  probe.CloseSck();
  return port;
}

class BootstrapTest : public LiveServerTest {
 protected:
  /// Nothing known about the folder server: the parameters file is fetched.
  session::SessionConfig FetchConfig() const { return FetchConfig(server_->HttpPort()); }
  session::SessionConfig FetchConfig(int http_port) const {
    session::SessionConfig config = DirectConfig();
    config.parameters_port = http_port;
    config.server_name.clear();
    config.server_port = 0;
    return config;
  }
  /// A second endpoint giving `answer`; returns its HTTP port. Its folder
  /// listener goes unused.
  int ServeParameters(server::PfAnswer answer) {
    server::ServerOptions options;
    options.port = 0;
    options.http_port = 0;
    options.pf = std::move(answer);
    parameters_ = std::make_unique<server::Server>(loop_, context_, options);
    parameters_->Start();
    return parameters_->HttpPort();
  }
  void TearDown() override {
    session_.reset();
    parameters_.reset();
    LiveServerTest::TearDown();
  }
  std::unique_ptr<server::Server> parameters_;
  int HttpRequests() const { return ServerLines("http 127.0.0.1: "); }
  bool LogStartsWith(std::string_view prefix) const {
    return std::any_of(log_.lines.begin(), log_.lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
  void WaitForBox() {
    ASSERT_TRUE(Until([&] { return !ui_.messages.empty(); })) << "no message box";
    Settle();
  }
  /// The failure box was shown and the window is idle again.
  void ExpectFailureShown() {
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text, kFailure);
    EXPECT_EQ(ui_.messages.back().icon, MessageIcon::kCritical);
    EXPECT_EQ(ui_.messages.back().title, "");
    EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
    EXPECT_EQ(session_->RedirState(), net::SocketState::kClosed);
    EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
    EXPECT_TRUE(View().window_enabled);
    EXPECT_FALSE(View().txtID.locked);
  }
};

TEST_F(BootstrapTest, DirectFetchFindsTheFolderServerAndIsNotRepeated) {
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
  EXPECT_EQ(HttpRequests(), 1) << "the second connect goes straight to the server";
  EXPECT_TRUE(log_.Has("Σύνδεση με το διακομιστή προσωπικού χώρου"));
}

TEST_F(BootstrapTest, FetchGoesThroughTheProxyWithTheAbsoluteAddress) {
  session::SessionConfig config = FetchConfig();
  config.parameters_port = FreePort();  // a direct fetch would fail
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

TEST_F(BootstrapTest, KnownServerSkipsTheFetch) {
  LogIn();
  EXPECT_EQ(HttpRequests(), 0);
  EXPECT_TRUE(log_.Has("Σύνδεση με το διακομιστή προσωπικού χώρου"));
  EXPECT_FALSE(LogStartsWith("Ανάκτηση παραμέτρων σύνδεσης"));
}

TEST_F(BootstrapTest, MissingParametersFileShowsTheFailure) {
  Configure(FetchConfig(ServeParameters({server::PfAnswer::Kind::kNotFound, {}})));
  session_->dcbConnect_Click();
  WaitForBox();
  ExpectFailureShown();
  EXPECT_TRUE(log_.Has("Το αρχείο παραμέτρων σύνδεσης δεν υπάρχει."));
  EXPECT_EQ(ServerLines("GET /webftp/pf.txt HTTP/1.1 -> 404 Not Found"), 1);
  EXPECT_EQ(session_->Config().server_port, 0) << "a failed fetch keeps the old values";
  EXPECT_EQ(server_->ConnectionCount(), 0u);
}

TEST_F(BootstrapTest, EmptyBodyFallsBackToTheParametersHostOn443) {
  Configure(FetchConfig(ServeParameters({server::PfAnswer::Kind::kEmpty, {}})));
  session_->dcbConnect_Click();
  WaitForBox();  // nothing listens on 127.0.0.1:443
  EXPECT_TRUE(log_.Has(
      "Προσοχή: Οι παράμετροι σύνδεσης έχουν φιλτραριστεί. Θα γίνει απόπειρα σύνδεσης με τις "
      "προεπιλεγμένες παραμέτρους."));
  EXPECT_EQ(session_->Config().server_name, "127.0.0.1");
  EXPECT_EQ(session_->Config().server_port, 443);
  EXPECT_TRUE(LogStartsWith("[smClient] Σφάλμα: "));
  ExpectFailureShown();
  EXPECT_TRUE(log_.errors.empty());
}

class UnreadableBodyTest : public BootstrapTest,
                           public ::testing::WithParamInterface<std::string> {};

TEST_P(UnreadableBodyTest, IsReportedAndShowsTheFailure) {
  Configure(FetchConfig(ServeParameters({server::PfAnswer::Kind::kText, GetParam()})));
  session_->dcbConnect_Click();
  WaitForBox();
  ASSERT_EQ(log_.errors.size(), 1u);
  EXPECT_EQ(log_.errors[0].rfind("[smRedir_DataArrival:", 0), 0u) << log_.errors[0];
  EXPECT_NE(log_.errors[0].find("] Σφάλμα: "), std::string::npos);
  EXPECT_TRUE(LogStartsWith("strBuffer = \"HTTP/1.1 200 OK\r\n"));
  ExpectFailureShown();
  EXPECT_EQ(session_->Config().server_port, 0);
  EXPECT_EQ(server_->ConnectionCount(), 0u);
}

std::string BodyName(const ::testing::TestParamInfo<std::string>& info) {
  constexpr const char* kNames[] = {"NotBase64", "NoSeparator", "NoPort"};
  return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(Bodies, UnreadableBodyTest,
                         ::testing::Values("%%% not base64 %%%",
                                           support::Base64Encode("tsohlacol"),  // no separator
                                           support::Base64Encode(":1.0.0.721")  // no port
                                           ),
                         BodyName);

TEST_F(BootstrapTest, SpaceSeparatesWhenThereIsNoColon) {
  std::string endpoint = "127.0.0.1 " + std::to_string(server_->Port());
  std::reverse(endpoint.begin(), endpoint.end());
  Configure(FetchConfig(
      ServeParameters({server::PfAnswer::Kind::kText, support::Base64Encode(endpoint)})));
  LogIn();
  EXPECT_EQ(session_->Config().server_port, server_->Port());
}

TEST_F(BootstrapTest, NothingListeningForTheFetchShowsTheFailure) {
  session::SessionConfig config = FetchConfig();
  config.parameters_port = FreePort();
  Configure(config);
  session_->dcbConnect_Click();
  WaitForBox();
  EXPECT_TRUE(LogStartsWith("[smRedir] Σφάλμα: "));
  ExpectFailureShown();
}

TEST_F(BootstrapTest, ProxyTypesTwoAndThreeCloseTheWindowWithoutARequest) {
  for (const int type : {2, 3}) {
    ui_.main_window_closed = 0;
    log_.errors.clear();
    session::SessionConfig config = FetchConfig();
    config.proxy_type = type;
    config.proxy_server = "127.0.0.1";
    config.proxy_port = server_->HttpPort();
    Configure(config);
    session_->dcbConnect_Click();
    ASSERT_EQ(log_.errors.size(), 1u) << type;
    EXPECT_EQ(log_.errors[0],
              "[dcbConnect_Click] Σφάλμα: Μη έγκυρος τύπος διακομιστή μεσολάβησης.");
    EXPECT_EQ(ui_.main_window_closed, 1);
  }
  Settle();
  EXPECT_EQ(HttpRequests(), 0);
  EXPECT_EQ(server_->ConnectionCount(), 0u);
}

// ---- A scripted HTTP peer ----

class ScriptedFetchTest : public BootstrapTest {
 protected:
  void SetUp() override {
    BootstrapTest::SetUp();
    peer_ = std::make_unique<session::testing::ScriptedPeer>();
    session::SessionConfig config = FetchConfig();
    config.parameters_port = peer_->Port();
    Configure(config);
  }
  void TearDown() override {
    session_.reset();
    peer_.reset();
    BootstrapTest::TearDown();
  }
  /// Clicks Connect and waits for the request, which must be exactly this.
  void ClickAndExpectRequest() {
    session_->dcbConnect_Click();
    const std::string request = "GET /webftp/pf.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ASSERT_TRUE(Until([&] { return peer_->received.size() >= request.size(); }));
    EXPECT_EQ(peer_->Take(), request);
  }
  std::unique_ptr<session::testing::ScriptedPeer> peer_;
};

TEST_F(ScriptedFetchTest, HeaderEndSplitAcrossDeliveriesIsAwaited) {
  ClickAndExpectRequest();
  // Any status but 404 counts as success.
  peer_->Send("HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\n\r");
  Settle();
  EXPECT_EQ(session_->RedirState(), net::SocketState::kConnected) << "still waiting";
  EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
  EXPECT_EQ(View().dcbConnect.caption, "Άκυρο");
  EXPECT_EQ(server_->ConnectionCount(), 0u);
  peer_->Send("\n" + server::PfBody("127.0.0.1", server_->Port()));
  ASSERT_TRUE(WaitServerLines("PCINFO"));
  EXPECT_EQ(session_->Config().server_port, server_->Port());
  EXPECT_TRUE(Until([&] { return peer_->peer_closed; })) << "the fetch socket is closed";
}

TEST_F(ScriptedFetchTest, BodyInALaterSegmentIsNotWaitedFor) {
  ClickAndExpectRequest();
  peer_->Send("HTTP/1.1 200 OK\r\n\r\n");
  WaitForBox();  // the filtered-parameters fallback: 127.0.0.1:443, where nothing listens
  EXPECT_EQ(session_->Config().server_port, 443);
  EXPECT_TRUE(log_.Has(
      "Προσοχή: Οι παράμετροι σύνδεσης έχουν φιλτραριστεί. Θα γίνει απόπειρα σύνδεσης με τις "
      "προεπιλεγμένες παραμέτρους."));
  ExpectFailureShown();
}

TEST_F(ScriptedFetchTest, SecondClickCancelsTheFetch) {
  ClickAndExpectRequest();
  EXPECT_EQ(View().dcbConnect.caption, "Άκυρο");
  EXPECT_EQ(View().dcbConnect.tooltip, "Ακύρωση της διαδικασίας σύνδεσης");
  EXPECT_FALSE(View().dcbConnect.is_default);
  EXPECT_EQ(View().dcbConnect.image_key, "connected");
  EXPECT_EQ(View().cursor, session::Cursor::kWorkingInBackground);
  EXPECT_TRUE(View().txtID.locked);
  EXPECT_EQ(View().txtID.background, session::BoxBackground::kButtonFace);
  EXPECT_FALSE(View().dcbProxy.enabled);

  session_->dcbConnect_Click();
  EXPECT_EQ(session_->RedirState(), net::SocketState::kClosed);
  EXPECT_TRUE(log_.Has("Αποσύνδεση από τον προσωπικό χώρο"));
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
  EXPECT_TRUE(View().dcbConnect.is_default);
  EXPECT_FALSE(View().txtID.locked);
  EXPECT_TRUE(View().dcbProxy.enabled);
  ASSERT_TRUE(Until([&] { return peer_->peer_closed; })) << "the fetch socket is closed";
  Settle();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(server_->ConnectionCount(), 0u);
}

TEST_F(ScriptedFetchTest, PeerClosingBeforeTheHeaderEndLeavesTheFetchingLook) {
  ClickAndExpectRequest();
  peer_->Send("HTTP/1.1 200 OK\r\n");
  peer_->Close();
  ASSERT_TRUE(Until([&] { return session_->RedirState() == net::SocketState::kClosed; }));
  Settle();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(View().dcbConnect.caption, "Άκυρο");
  // Both sockets are closed: the next click starts afresh instead of cancelling.
  ClickAndExpectRequest();
  EXPECT_EQ(peer_->connections, 2);
  peer_->Send("HTTP/1.1 200 OK\r\n\r\n" + server::PfBody("127.0.0.1", server_->Port()));
  ASSERT_TRUE(WaitServerLines("PCINFO"));
}

}  // namespace
}  // namespace integration
