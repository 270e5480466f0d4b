// One running copy per user session: the lock, the notification of the
// first instance, and starts after a killed one.
#include "app/app_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "net/poll_event_loop.h"
#include "support/error.h"

namespace app {
namespace {

namespace fs = std::filesystem;

/// A private runtime folder for the test's instances.
class AppInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vaultline-instance-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    runtime_ = pattern;
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old != nullptr) old_runtime_ = old;
    had_runtime_ = old != nullptr;
    ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
  }
  void TearDown() override {
    if (had_runtime_) {
      ::setenv("XDG_RUNTIME_DIR", old_runtime_.c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    ::unsetenv("XDG_ACTIVATION_TOKEN");
    fs::remove_all(runtime_);
  }

  /// Runs `loop` until `done` or a generous bound; true when `done` held.
  static bool RunUntil(net::PollEventLoop& loop, const std::atomic<bool>& done) {
    const net::TimerId poll =
        loop.StartTimer(std::chrono::milliseconds(5), net::TimerKind::kRepeating, [&] {
          if (done) loop.Quit();
        });
    const net::TimerId bound =
        loop.StartTimer(std::chrono::seconds(10), net::TimerKind::kOneShot, [&] { loop.Quit(); });
    loop.Run();
    loop.StopTimer(poll);
    loop.StopTimer(bound);
    return done;
  }

  fs::path runtime_;
  std::string old_runtime_;
  bool had_runtime_ = false;
};

struct Recorder : IAppInstance {
  void Notify(const std::string& token) override {
    tokens.push_back(token);
    ++calls;
  }
  std::vector<std::string> tokens;
  std::atomic<int> calls{0};
};

TEST_F(AppInstanceTest, NameAndMessageRules) {
  AppInstance instance;
  try {
    instance.SetAppName("a\\b");
    FAIL() << "a backslash was taken";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 5);
  }
  try {
    instance.AlreadyRunning();
    FAIL() << "no name was taken";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 5);
  }
  try {
    instance.SetNotifyMessage(32767);
    FAIL() << "a message below 32768 was taken";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 380);
  }
  EXPECT_EQ(instance.NotifyMessage(), 32769);
  instance.SetNotifyMessage(32768);
  EXPECT_EQ(instance.NotifyMessage(), 32768);
}

TEST_F(AppInstanceTest, TheFirstHoldsTheLockAndTheAnswerIsKept) {
  auto first = std::make_unique<AppInstance>();
  first->SetAppName("Vaultline test");
  EXPECT_FALSE(first->AlreadyRunning());
  EXPECT_TRUE(fs::path(first->LockPath()).parent_path() == runtime_);
  struct stat info {};
  ASSERT_EQ(::stat(first->LockPath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  AppInstance second;
  second.SetAppName("Vaultline test");
  EXPECT_TRUE(second.AlreadyRunning());
  EXPECT_NE(second.LastError(), 0);
  // Another name is another program.
  AppInstance other;
  other.SetAppName("Vaultline other");
  EXPECT_FALSE(other.AlreadyRunning());

  // The answer is the one of the first call, even once the first has ended.
  first.reset();
  EXPECT_TRUE(second.AlreadyRunning());
  AppInstance third;
  third.SetAppName("Vaultline test");
  EXPECT_FALSE(third.AlreadyRunning());
}

TEST_F(AppInstanceTest, NotifyReachesTheFirstWithTheActivationToken) {
  net::PollEventLoop loop;
  Recorder recorder;
  AppInstance first;
  first.SetAppName("Vaultline test");
  first.SetNotifyMessage(0x8220);
  ASSERT_FALSE(first.AlreadyRunning());
  first.Listen(loop, &recorder);
  struct stat info {};
  ASSERT_EQ(::stat(first.SocketPath().c_str(), &info), 0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(info.st_mode & 0077, 0u) << "only the user may connect";

  ::setenv("XDG_ACTIVATION_TOKEN", "token-123", 1);
  std::atomic<bool> done{false};
  bool answered = false, answered_without_token = false, answered_wrong = false;
  std::thread second([&] {
    AppInstance start;
    start.SetAppName("Vaultline test");
    start.SetNotifyMessage(0x8220);
    if (start.AlreadyRunning()) {
      answered = start.Notify(true);
      answered_without_token = start.Notify(false);
      start.SetNotifyMessageParam2(7);  // not what the first listens for
      answered_wrong = start.Notify(true);
    }
    done = true;
  });
  EXPECT_TRUE(RunUntil(loop, done));
  second.join();
  EXPECT_TRUE(answered);
  EXPECT_TRUE(answered_without_token);
  EXPECT_FALSE(answered_wrong);
  ASSERT_EQ(recorder.calls, 2);
  EXPECT_EQ(recorder.tokens[0], "token-123");
  EXPECT_EQ(recorder.tokens[1], "");
}

TEST_F(AppInstanceTest, NotifyWithNobodyListeningAnswersFalse) {
  AppInstance first;
  first.SetAppName("Vaultline test");
  ASSERT_FALSE(first.AlreadyRunning());  // holds the lock but does not listen
  AppInstance second;
  second.SetAppName("Vaultline test");
  EXPECT_TRUE(second.AlreadyRunning());
  EXPECT_FALSE(second.Notify(true));
}

TEST_F(AppInstanceTest, AKilledInstanceLeavesNothingThatStopsTheNextStart) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    net::PollEventLoop loop;
    Recorder recorder;
    AppInstance first;
    first.SetAppName("Vaultline test");
    if (first.AlreadyRunning()) ::_exit(3);
    first.Listen(loop, &recorder);
    const char byte = 1;
    if (::write(ready[1], &byte, 1) != 1) ::_exit(4);
    loop.Run();
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  {
    AppInstance second;
    second.SetAppName("Vaultline test");
    EXPECT_TRUE(second.AlreadyRunning()) << "the child holds the lock";
  }
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  // The lock file and the socket file are still there; neither counts.
  net::PollEventLoop loop;
  Recorder recorder;
  AppInstance next;
  next.SetAppName("Vaultline test");
  EXPECT_TRUE(fs::exists(next.SocketPath()));
  EXPECT_FALSE(next.AlreadyRunning());
  next.Listen(loop, &recorder);
  std::atomic<bool> done{false};
  bool answered = false;
  std::thread later([&] {
    AppInstance start;
    start.SetAppName("Vaultline test");
    answered = start.AlreadyRunning() && start.Notify(true);
    done = true;
  });
  EXPECT_TRUE(RunUntil(loop, done));
  later.join();
  EXPECT_TRUE(answered);
  EXPECT_EQ(recorder.calls, 1);
}

TEST_F(AppInstanceTest, ListenerNotifiesOrListensAsTheCheckFinds) {
  net::PollEventLoop loop;
  std::vector<std::string> notified;
  AppInstanceListener first(loop, [&](const std::string& token) { notified.push_back(token); });
  EXPECT_FALSE(first.CheckAlreadyRunning("Vaultline test"));
  EXPECT_EQ(first.Instance().NotifyMessage(), 0x8220);
  std::atomic<bool> done{false};
  bool second_found_it = false;
  std::thread second([&] {
    net::PollEventLoop its_loop;
    AppInstanceListener start(its_loop, [](const std::string&) {});
    second_found_it = start.CheckAlreadyRunning("Vaultline test");
    done = true;
  });
  EXPECT_TRUE(RunUntil(loop, done));
  second.join();
  EXPECT_TRUE(second_found_it);
  // The second start's notification has been delivered once the check returned.
  EXPECT_EQ(notified.size(), 1u);
}

}  // namespace
}  // namespace app
