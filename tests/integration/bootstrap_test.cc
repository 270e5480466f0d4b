// The connection bootstrap against the server's parameters endpoint, direct and
// with the endpoint standing in as an HTTP proxy. Every unusable answer of the
// fetch is covered against a scripted HTTP peer (tests/session).
#include "common/process.h"
#include "live_server.h"
#include "server/pf_endpoint.h"

namespace integration {
namespace {

class BootstrapTest : public LiveServerTest {
 protected:
  /// Nothing known about the folder server: the parameters file is fetched.
  session::SessionConfig FetchConfig() const {
    session::SessionConfig config = DirectConfig();
    config.server_name.clear();
    config.server_port = 0;
    return config;
  }
  int HttpRequests() const { return ServerLines("http 127.0.0.1: "); }
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
  config.parameters_port = test_common::UnusedPort();  // a direct fetch would fail
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

}  // namespace
}  // namespace integration
