// The desktop program as real processes: one copy per user session, a later
// start that hands over to the running one, and a start after a kill -9.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/app_setting.h"
#include "app/handover_record.h"
#include "app/settings.h"
#include "app/shared_memory.h"
#include "common/process.h"
#include "gui_fixture.h"
#include "support/codepage.h"

extern char** environ;

namespace gui_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

/// Polls `done` every few milliseconds for at most `bound`.
template <typename F>
bool Eventually(F done, std::chrono::milliseconds bound = 15s) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

/// Every log file in `folder`, concatenated (the log is in Windows-1253).
std::string Logs(const fs::path& folder) {
  std::string all;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".log") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    all += support::Cp1253ToUtf8(text.str());
  }
  return all;
}

/// How many log files `folder` holds.
int LogCount(const fs::path& folder) {
  int logs = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    logs += entry.path().extension() == ".log" ? 1 : 0;
  }
  return logs;
}

/// A copy of the program in a scratch folder (its log is written next to
/// it), its settings and runtime folder scratch too.
class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = folder_.Path() / "Vaultline_N1";
    fs::copy_file(VAULTLINE_PROGRAM, program_);
    fs::create_directories(folder_.Path() / "runtime");
    fs::permissions(folder_.Path() / "runtime", fs::perms::owner_all);
    fs::create_directories(folder_.Path() / "hive");
    ::setenv("QUARRYTAB_HIVE_DIR", (folder_.Path() / "hive").c_str(), 1);
    app::AppSetting store;
    store.SetAppSettingTitle(app::kSettingsTitle);
    store.SaveAppSettingNumber("", "Debug", 2);
    ::unsetenv("QUARRYTAB_HIVE_DIR");
  }
  void TearDown() override {
    // SIGTERM first: the hand-over tool passes it on to the program it started.
    for (const pid_t pid : std::vector<pid_t>(running_)) {
      ::kill(pid, SIGTERM);
      if (WaitExit(pid, 5s) < 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
      }
    }
  }

  pid_t Start(std::vector<std::string> args = {}) { return Spawn(program_.string(), args); }

  /// `path` with `args`, in the program's scratch environment (`extra_env`
  /// added); its pid, or -1.
  pid_t Spawn(const std::string& binary, std::vector<std::string> args,
              std::vector<std::string> extra_env = {}) {
    std::vector<std::string> env = std::move(extra_env);
    for (std::string entry : std::initializer_list<std::string>{
             "QT_QPA_PLATFORM=offscreen",
             "XDG_RUNTIME_DIR=" + (folder_.Path() / "runtime").string(),
             "QUARRYTAB_HIVE_DIR=" + (folder_.Path() / "hive").string(),
             "HOME=" + folder_.Path().string(),
         }) {
      env.push_back(std::move(entry));
    }
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (entry.rfind("PATH=", 0) == 0 || entry.rfind("LD_LIBRARY_PATH=", 0) == 0 ||
          entry.rfind("ASAN_OPTIONS=", 0) == 0 || entry.rfind("LSAN_OPTIONS=", 0) == 0 ||
          entry.rfind("UBSAN_OPTIONS=", 0) == 0) {
        env.push_back(entry);
      }
    }
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = binary;
    std::vector<char*> argv = {path.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
      return -1;
    }
    running_.push_back(pid);
    return pid;
  }

  /// The exit code of `pid` once it has ended within `bound`; -1 otherwise.
  int WaitExit(pid_t pid, std::chrono::milliseconds bound = 15s) {
    int status = 0;
    const bool ended = Eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, bound);
    if (!ended) return -1;
    std::erase(running_, pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  bool Alive(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

  /// The hand-over record's file as the program's session names it.
  std::string RecordFile() const {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string restore = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", (folder_.Path() / "runtime").c_str(), 1);
    const std::string name = app::SharedMemory::PosixName(app::kHandoverRecordName, false);
    if (saved) {
      ::setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    return "/dev/shm" + name;
  }

  fs::path Socket() const { return folder_.Path() / "runtime" / "Vaultline.sock"; }

  TempDir folder_;
  fs::path program_;
  std::vector<pid_t> running_;
};

TEST_F(StartupTest, ALaterStartHandsOverToTheRunningOneAndEnds) {
  const pid_t first = Start();
  ASSERT_GT(first, 0);
  ASSERT_TRUE(Eventually([&] { return fs::exists(Socket()); })) << "the first start listens";
  ASSERT_TRUE(Eventually([&] { return Logs(folder_.Path()).find("Έκδοση") != std::string::npos; }));

  const pid_t second = Start();
  ASSERT_GT(second, 0);
  EXPECT_EQ(WaitExit(second), 0);
  EXPECT_TRUE(Alive(first));
  EXPECT_TRUE(Eventually([&] {
    return Logs(folder_.Path()).find("IAppInstance_Notify") != std::string::npos;
  })) << "the first instance was told";
  // The second start wrote no log of its own: it ended before any window.
  EXPECT_EQ(LogCount(folder_.Path()), 1);

  // SIGTERM ends the first through its unload step.
  ASSERT_EQ(::kill(first, SIGTERM), 0);
  EXPECT_EQ(WaitExit(first), 0);
  EXPECT_NE(Logs(folder_.Path()).find("Κλείσιμο εφαρμογής."), std::string::npos);
}

TEST_F(StartupTest, AStartAfterAKilledInstanceRuns) {
  const pid_t first = Start();
  ASSERT_GT(first, 0);
  ASSERT_TRUE(Eventually([&] { return fs::exists(Socket()); }));
  ASSERT_EQ(::kill(first, SIGKILL), 0);
  EXPECT_EQ(WaitExit(first), 128 + SIGKILL);
  ASSERT_TRUE(fs::exists(Socket())) << "a killed instance leaves its socket behind";

  const pid_t next = Start();
  ASSERT_GT(next, 0);
  // It runs: a later start finds it and hands over.
  const auto listening_since = fs::last_write_time(Socket());
  ASSERT_TRUE(Eventually([&] {
    return fs::exists(Socket()) && fs::last_write_time(Socket()) != listening_since;
  })) << "the next start listens again";
  const pid_t later = Start();
  EXPECT_EQ(WaitExit(later), 0);
  EXPECT_TRUE(Alive(next));
}

TEST_F(StartupTest, NoLogInAnyLetterCaseAndWithAValueWritesNoLog) {
  const auto log_count = [this] { return LogCount(folder_.Path()); };
  for (const char* option : {"/nolog", "/NoLog", "/NOLOG=1"}) {
    const pid_t pid = Start({"--first", option});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(Eventually([&] { return fs::exists(Socket()); })) << option;
    ::kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0) << option;
    EXPECT_EQ(log_count(), 0) << option;
  }
  // The option in quotes is another parameter: the log is written.
  const pid_t pid = Start({"\"/nolog\""});
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(Eventually([&] { return log_count() == 1; }));
  ::kill(pid, SIGTERM);
  EXPECT_EQ(WaitExit(pid), 0);
}

TEST_F(StartupTest, HandOverToolStartsTheProgramLoggedInAndLeavesTheSettingsAlone) {
  test_common::DemoServer server;
  ASSERT_TRUE(server.Started());
  ::setenv("QUARRYTAB_HIVE_DIR", (folder_.Path() / "hive").c_str(), 1);
  {
    app::AppSetting store;
    store.SetAppSettingTitle(app::kSettingsTitle);
    store.SaveAppSettingString("", "PFServer", "127.0.0.1");
    store.SaveAppSettingNumber("", "PFPort", server.Port());
    app::ExitSettings remembered;
    remembered.save_login = true;
    remembered.user_id = "olduser";
    remembered.password = "oldpw";
    app::SaveSettingsAtExit(store, remembered);
  }
  ::unsetenv("QUARRYTAB_HIVE_DIR");

  // The password through standard input is the tool's other way; the
  // argument is enough here.
  const pid_t tool =
      Spawn(VAULTLINE_HANDOVER_TOOL, {"demo", "demo"}, {"VAULTLINE_PROGRAM=" + program_.string()});
  ASSERT_GT(tool, 0);
  ASSERT_TRUE(Eventually([&] {
    return Logs(folder_.Path()).find("smClient_DataArrival->LOGINOK") != std::string::npos;
  })) << "the program did not log in by itself:\n"
      << Logs(folder_.Path());
  // Read at load and blanked: the record cannot be used twice.
  {
    std::ifstream in(RecordFile(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), app::BlankHandoverRecord());
  }

  // Stopping the tool stops the program through its unload step.
  ASSERT_EQ(::kill(tool, SIGTERM), 0);
  EXPECT_EQ(WaitExit(tool), 0);
  EXPECT_NE(Logs(folder_.Path()).find("Κλείσιμο εφαρμογής."), std::string::npos);
  EXPECT_FALSE(fs::exists(RecordFile())) << "the tool removes its record";
  ::setenv("QUARRYTAB_HIVE_DIR", (folder_.Path() / "hive").c_str(), 1);
  app::AppSetting store;
  store.SetAppSettingTitle(app::kSettingsTitle);
  const app::Settings after = app::LoadSettings(store, false);
  ::unsetenv("QUARRYTAB_HIVE_DIR");
  EXPECT_EQ(after.user_id, "olduser");
  ASSERT_TRUE(after.password.has_value());
  EXPECT_EQ(*after.password, "oldpw");
}

}  // namespace
}  // namespace gui_test
