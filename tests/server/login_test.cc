// Log-in, its error replies, and the requests of the log-in chain.
#include "fixture.h"

namespace server::testing {
namespace {

using LoginExchange = ServerFixture;

TEST_P(LoginExchange, LoginOkCarriesUsageQuotaAndFlags) {
  auto client = Connect();
  client->Send(LoginFrame("anna", "secret1"));
  EXPECT_EQ(client->ReadFrame(), "LOGINOK|1005|100000|True|True");
}

TEST_P(LoginExchange, GreekPasswordIsComparedInTheWireCodePage) {
  auto client = Connect();
  client->Send(LoginFrame("bob", "κωδικός"));
  EXPECT_EQ(client->ReadFrame(), "LOGINOK|0|5000|False|False");
}

TEST_P(LoginExchange, PasswordWhoseScrambledFormHoldsABarIsAccepted) {
  ASSERT_EQ(Scrambled("(abc").front(), '|');
  auto client = Connect();
  client->Send(LoginFrame("bar", "(abc"));
  EXPECT_EQ(client->ReadFrame().rfind("LOGINOK|", 0), 0u);
}

TEST_P(LoginExchange, WrongPasswordOrUnknownUserGetsNoLoginAndTheConnectionEnds) {
  for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
           {"anna", "secret2"}, {"anna", "secret1x"}, {"nobody", "secret1"}, {"Anna", "secret1"}}) {
    auto client = Connect();
    client->Send(LoginFrame(user, password));
    EXPECT_EQ(client->ReadFrame(), "NOLOGIN") << user << "/" << password;
    EXPECT_TRUE(client->WaitClosed());
  }
}

TEST_P(LoginExchange, AnotherProtocolVersionGetsProtocol) {
  auto client = Connect();
  client->Send(LoginFrame("anna", "secret1", "4"));
  EXPECT_EQ(client->ReadFrame(), "PROTOCOL");
  EXPECT_TRUE(client->WaitClosed());
}

TEST_P(LoginExchange, MaintenanceGetsNoMore) {
  context_.config.maintenance = true;
  auto client = Connect();
  client->Send(LoginFrame("anna", "secret1"));
  EXPECT_EQ(client->ReadFrame(), "NOMORE");
}

TEST_P(LoginExchange, DisallowedUserGetsNoPermission) {
  auto client = Connect();
  client->Send(LoginFrame("blocked", "x"));
  EXPECT_EQ(client->ReadFrame(), "NOPERMISSION");
}

TEST_P(LoginExchange, SessionBeyondTheLimitGetsLogin2UntilOneEnds) {
  auto first = Login();
  auto second = Login();
  auto third = Connect();
  third->Send(LoginFrame("anna", "secret1"));
  EXPECT_EQ(third->ReadFrame(), "LOGIN2");
  // Another user is not affected.
  auto bob = Login("bob", "κωδικός");
  first->Disconnect();
  // The server learns of the closed connection asynchronously.
  EXPECT_TRUE(Eventually([&] {
    auto retry = Connect();
    retry->Send(LoginFrame("anna", "secret1"));
    return retry->ReadFrame().rfind("LOGINOK|", 0) == 0;
  }));
}

TEST_P(LoginExchange, PersonalFolderThatCannotBeOpenedGetsDirError) {
  std::filesystem::remove_all(Personal());
  WriteFile(Personal(), "a file where the folder should be");
  auto client = Connect();
  client->Send(LoginFrame("anna", "secret1"));
  EXPECT_EQ(client->ReadFrame(), "DIRERROR");
}

TEST_P(LoginExchange, MissingPersonalFolderIsCreated) {
  std::filesystem::remove_all(Personal("bob"));
  auto client = Login("bob", "κωδικός");
  EXPECT_TRUE(std::filesystem::is_directory(Personal("bob")));
}

TEST_P(LoginExchange, NothingButLoginAndPingIsServedBeforeLoginOk) {
  auto client = Connect();
  client->Send("PING");
  EXPECT_EQ(client->ReadBytes(4), "PONG");
  client->Send(Framed("LIST|\\|False"));
  EXPECT_TRUE(client->WaitClosed());
}

TEST_P(LoginExchange, LoginTimeChainAnswersEachStep) {
  auto client = Login();
  const std::string time = Ask(*client, "MYLOGINTIME");
  ASSERT_EQ(time.size(), std::string("LOGINTIME|").size() + 14) << time;
  EXPECT_TRUE(session::IsWireStamp(time.substr(10)));
  EXPECT_EQ(Ask(*client, "SCHCLEANUPINFO"), "SCHCLEANUPINFO|30|7");
  client->Send(Framed("PCINFO|Linux 6.1|Ryzen|15872|1024|1.02.3"));  // no reply
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1005");
  // After a reconnect the client hands back the time it kept.
  auto again = Login();
  EXPECT_EQ(Ask(*again, "LOGINTIME|20240101080000"), "LOGINTIME|20240101080000");
  std::lock_guard<std::mutex> lock(log_mutex_);
  bool logged = false;
  for (const auto& line : log_) logged |= line.find("cpu=\"Ryzen\"") != std::string::npos;
  EXPECT_TRUE(logged) << "PCINFO is recorded in the log";
}

TEST_P(LoginExchange, PingIsAnsweredAndPongIsIgnored) {
  auto client = Login();
  client->Send("PING");
  EXPECT_EQ(client->ReadBytes(4), "PONG");
  client->Send("PONG");
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1005");
}

TEST_P(LoginExchange, IdleSessionGetsTheServersPing) {
  context_.config.ping_every = 1;
  auto client = Login();
  Server().LetTimePass(std::chrono::seconds(2));
  EXPECT_EQ(client->ReadBytes(4), "PING");
  client->Send("PONG");
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1005");
}

INSTANTIATE_TEST_SUITE_P(Both, LoginExchange, ::testing::Values(Mode::kMemory, Mode::kLoopback),
                         ModeName);

}  // namespace
}  // namespace server::testing
