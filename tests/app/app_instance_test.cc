// One running copy per user session: the lock, the notification of the
// first instance, and starts after a killed one.
#include "app/app_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

TEST_F(AppInstanceTest, AKilledInstanceLeavesNothingThatStopsTheNextStart) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    net::PollEventLoop loop;
    Recorder recorder;
    auto first = Instance();
    if (first->AlreadyRunning()) ::_exit(3);
    first->Listen(loop, &recorder);
    if (::write(ready[1], "1", 1) != 1) ::_exit(4);
    loop.Run();
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_TRUE(Instance()->AlreadyRunning()) << "the child holds the lock";
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  // The lock file and the socket file are still there; neither counts.
  net::PollEventLoop loop;
  Recorder recorder;
  auto next = Instance();
  EXPECT_TRUE(fs::exists(next->SocketPath()));
  EXPECT_FALSE(next->AlreadyRunning());
  next->Listen(loop, &recorder);
  bool answered = false;
  WhileServing(loop, [&] {
    auto start = Instance();
    answered = start->AlreadyRunning() && start->Notify(true);
  });
  EXPECT_TRUE(answered);
  EXPECT_EQ(recorder.tokens.size(), 1u);
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

}  // namespace
}  // namespace app
