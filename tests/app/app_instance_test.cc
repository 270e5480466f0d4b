// The program's start: its command line, and one running copy per user
// session (the lock and the notification of the first instance; a start
// after a killed one is run by the desktop program's start-up tests).
#include "app/app_instance.h"
#include "app/command_line_parameters.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "app/scoped_env.h"
#include "common/expect_error.h"
#include "common/process.h"
#include "net/poll_event_loop.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kName = "Vaultline test";

struct Recorder : IAppInstance {
  void Notify(const std::string& token) override { tokens.push_back(token); }
  std::vector<std::string> tokens;
};

/// A private runtime folder for the test's instances.
class AppInstanceTest : public ::testing::Test {
 protected:
  /// Runs `start` (another start of the program) on a thread while `loop`
  /// serves the first instance, until `start` has returned.
  static void WhileServing(net::PollEventLoop& loop, const std::function<void()>& start) {
    std::atomic<bool> done{false};
    std::thread second([&] {
      start();
      done = true;
    });
    for (int turn = 0; turn < 2000 && !done; ++turn) loop.RunOnce(5ms);
    EXPECT_TRUE(done);
    second.join();
  }
  static std::unique_ptr<AppInstance> Instance(std::int32_t message = 32769) {
    auto instance = std::make_unique<AppInstance>();
    instance->SetAppName(kName);
    instance->SetNotifyMessage(message);
    return instance;
  }

  test_common::TempDir runtime_;
  ScopedEnv runtime_env_{"XDG_RUNTIME_DIR", runtime_.Path().c_str()};
  ScopedEnv token_env_{"XDG_ACTIVATION_TOKEN", nullptr};
};

TEST_F(AppInstanceTest, NameAndMessageRules) {
  AppInstance instance;
  test_common::ExpectError(5, [&] { instance.SetAppName("a\\b"); });
  test_common::ExpectError(5, [&] { instance.AlreadyRunning(); });  // no name
  test_common::ExpectError(380, [&] { instance.SetNotifyMessage(32767); });
  EXPECT_NO_THROW(instance.SetNotifyMessage(32768));
}

TEST_F(AppInstanceTest, TheFirstHoldsTheLockAndTheAnswerIsKept) {
  auto first = Instance();
  EXPECT_FALSE(first->AlreadyRunning());
  EXPECT_EQ(fs::path(first->LockPath()).parent_path(), runtime_.Path());
  EXPECT_EQ(fs::status(first->LockPath()).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  auto second = Instance();
  EXPECT_TRUE(second->AlreadyRunning());
  EXPECT_NE(second->LastError(), 0);
  AppInstance other;  // another name is another program
  other.SetAppName("Vaultline other");
  EXPECT_FALSE(other.AlreadyRunning());
  // The answer is the one of the first call, even once the first has ended.
  first.reset();
  EXPECT_TRUE(second->AlreadyRunning());
  EXPECT_FALSE(Instance()->AlreadyRunning());
}

TEST_F(AppInstanceTest, NotifyReachesTheFirstWithTheActivationToken) {
  net::PollEventLoop loop;
  Recorder recorder;
  auto first = Instance(0x8220);
  ASSERT_FALSE(first->AlreadyRunning());
  EXPECT_FALSE(Instance(0x8220)->Notify(true)) << "nobody listens yet";
  first->Listen(loop, &recorder);
  struct stat info {};
  ASSERT_EQ(::stat(first->SocketPath().c_str(), &info), 0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(info.st_mode & 0077, 0u) << "only the user may connect";

  ::setenv("XDG_ACTIVATION_TOKEN", "token-123", 1);
  bool answered = false, answered_without_token = false, answered_wrong = true;
  WhileServing(loop, [&] {
    auto start = Instance(0x8220);
    if (!start->AlreadyRunning()) return;
    answered = start->Notify(true);
    answered_without_token = start->Notify(false);
    start->SetNotifyMessageParam2(7);  // not what the first listens for
    answered_wrong = start->Notify(true);
  });
  EXPECT_TRUE(answered);
  EXPECT_TRUE(answered_without_token);
  EXPECT_FALSE(answered_wrong);
  EXPECT_EQ(recorder.tokens, (std::vector<std::string>{"token-123", ""}));
}

TEST_F(AppInstanceTest, ListenerNotifiesOrListensAsTheCheckFinds) {
  net::PollEventLoop loop;
  std::vector<std::string> notified;
  AppInstanceListener first(loop, [&](const std::string& token) { notified.push_back(token); });
  EXPECT_FALSE(first.CheckAlreadyRunning(kName));
  bool second_found_it = false;
  WhileServing(loop, [&] {
    net::PollEventLoop its_loop;
    AppInstanceListener start(its_loop, [](const std::string&) {});
    second_found_it = start.CheckAlreadyRunning(kName);
  });
  EXPECT_TRUE(second_found_it);
  // The second start's notification has been delivered once the check returned.
  EXPECT_EQ(notified.size(), 1u);
}

/// The parameters as written, joined with "|".
std::string Params(const CommandLineParameters& cl) {
  std::string out;
  for (int i = 0; i < cl.Count(); ++i) out += (i > 0 ? "|" : "") + cl.GetRawParam(i);
  return out;
}

TEST(CommandLineSplitting, BlanksSeparateAndQuotedRunsStayWhole) {
  const struct {
    const char* line;
    const char* params;
  } cases[] = {
      {"  /a \t  b=1   \"c d\"  ", "/a|b=1|\"c d\""},  // quotes kept, blank inside kept
      {"/path=\"C:\\My Files\\x\" /nolog", "/path=\"C:\\My Files\\x\"|/nolog"},
      {"   ", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Params(CommandLineParameters(c.line)), c.params) << c.line;
  CommandLineParameters cl("  /a \t  b=1   \"c d\"  ");
  EXPECT_EQ(cl.GetFullCommandLineParamsString(), "/a \t  b=1   \"c d\"");
  test_common::ExpectError(9, [&] { cl.GetRawParam(3); });
  test_common::ExpectError(9, [&] { cl.GetRawParam(-1); });
  const char* argv[] = {"prog", "/nolog", "a b", "c"};
  EXPECT_EQ(Params(CommandLineParameters::FromArgv(4, argv)), "/nolog|\"a b\"|c");
}

TEST(CommandLineOptions, NamesMatchUpToTheFirstEqualsInAnyLetterCase) {
  EXPECT_TRUE(CommandLineParameters("x /NoLog=yes").ParamExists("/nolog"));
  EXPECT_FALSE(CommandLineParameters("   ").ParamExists(""));
  CommandLineParameters cl("/NoLog");
  cl.SetCaseSensitive(true);
  EXPECT_FALSE(cl.ParamExists("/nolog"));
  EXPECT_TRUE(cl.ParamExists("/NoLog"));
}

TEST(CommandLineOptions, ParamCheckTakesTheFirstMatchAndTextAfterTheFirstEquals) {
  CommandLineParameters cl("/a=1=2 /a=3 /b /c=\"\" /path=\"C:\\My Files\\x\"");
  EXPECT_EQ(cl.ParamCheck("/A", "d"), "1=2");
  EXPECT_EQ(cl.ParamCheck("/b", "d"), "d");  // bare switch has no value
  EXPECT_EQ(cl.ParamCheck("/c", "d"), "");   // explicit empty value
  EXPECT_EQ(cl.ParamCheck("/z", "d"), "d");
  EXPECT_EQ(cl.ParamCheck("/path", ""), "C:\\My Files\\x");
}

}  // namespace
}  // namespace app
