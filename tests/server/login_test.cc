// Log-in, its refusals, and the requests of the log-in chain.
#include "fixture.h"

namespace server::testing {
namespace {

using LoginExchange = ServerFixture;

TEST_P(LoginExchange, LoginOkCarriesUsageQuotaAndFlags) {
  const struct {
    const char* user;
    const char* password;
    const char* reply;
  } kCases[] = {
      {"anna", "secret1", "LOGINOK|1005|100000|True|True"},
      {"bob", "κωδικός", "LOGINOK|0|5000|False|False"},  // compared in the wire code page
      {"bar", "(abc", "LOGINOK|0|"},                     // its scrambled field starts with "|"
  };
  ASSERT_EQ(Scrambled("(abc").front(), '|');
  for (const auto& c : kCases) {
    auto client = Connect();
    client->Send(LoginFrame(c.user, c.password));
    EXPECT_EQ(client->ReadFrame().rfind(c.reply, 0), 0u) << c.user;
  }
}

TEST_P(LoginExchange, EachRefusalHasItsReplyAndEndsTheConnection) {
  const struct {
    const char* name;
    const char* user;
    const char* password;
    const char* version;
    bool maintenance;
    const char* reply;
  } kCases[] = {
      {"wrong password", "anna", "secret2", "5", false, "NOLOGIN"},
      {"password with a tail", "anna", "secret1x", "5", false, "NOLOGIN"},
      {"unknown user", "nobody", "secret1", "5", false, "NOLOGIN"},
      {"user of another case", "Anna", "secret1", "5", false, "NOLOGIN"},
      {"another protocol version", "anna", "secret1", "4", false, "PROTOCOL"},
      {"the version before the password", "anna", "wrong", "4", false, "PROTOCOL"},
      {"disallowed user", "blocked", "x", "5", false, "NOPERMISSION"},
      {"disallowed user, wrong password", "blocked", "y", "5", false, "NOLOGIN"},
      {"maintenance", "anna", "secret1", "5", true, "NOMORE"},
      {"maintenance before anything else", "nobody", "x", "4", true, "NOMORE"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    context_.config.maintenance = c.maintenance;
    auto client = Connect();
    client->Send(LoginFrame(c.user, c.password, c.version));
    EXPECT_EQ(client->ReadFrame(), c.reply);
    EXPECT_TRUE(client->WaitClosed());
  }
}

TEST_P(LoginExchange, SessionBeyondTheLimitGetsLogin2UntilOneEnds) {
  auto first = Login();
  auto second = Login();
  auto third = Connect();
  third->Send(LoginFrame("anna", "secret1"));
  EXPECT_EQ(third->ReadFrame(), "LOGIN2");
  EXPECT_TRUE(third->WaitClosed());
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

TEST_P(LoginExchange, AMissingPersonalFolderIsCreatedOneThatCannotBeOpenedGetsDirError) {
  std::filesystem::remove_all(Personal("bob"));
  auto bob = Login("bob", "κωδικός");
  EXPECT_TRUE(std::filesystem::is_directory(Personal("bob")));
  std::filesystem::remove_all(Personal());
  WriteFile(Personal(), "a file where the folder should be");
  auto client = Connect();
  client->Send(LoginFrame("anna", "secret1"));
  EXPECT_EQ(client->ReadFrame(), "DIRERROR");
}

TEST_P(LoginExchange, BeforeLoginOkOnlyPingIsServedAndAnIdleConnectionIsClosed) {
  context_.login_timeout = 1;
  auto client = Connect();
  client->Send("PING");
  EXPECT_EQ(client->ReadBytes(4), "PONG");
  client->Send(Framed("LIST|\\|False"));
  EXPECT_TRUE(client->WaitClosed());
  auto idle = Connect();
  Server().LetTimePass(std::chrono::seconds(2));
  EXPECT_TRUE(idle->WaitClosed());
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

TEST_P(LoginExchange, PingIsAnsweredPongIgnoredAndAnIdleSessionGetsTheServersPing) {
  context_.config.ping_every = 1;
  auto client = Login();
  client->Send("PING");
  EXPECT_EQ(client->ReadBytes(4), "PONG");
  client->Send("PONG");
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1005");
  Server().LetTimePass(std::chrono::seconds(2));
  EXPECT_EQ(client->ReadBytes(4), "PING");
  client->Send("PONG");
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1005");
}

INSTANTIATE_TEST_SUITE_P(Both, LoginExchange, kBothModes, ModeName);

}  // namespace
}  // namespace server::testing
