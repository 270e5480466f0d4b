// The desktop program as real processes: one copy per user session, a later
// start that hands over to the running one, and a start after a kill -9.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/handover_record.h"
#include "app/shared_memory.h"
#include "common/process.h"
#include "gui_fixture.h"
#include "support/codepage.h"

extern char** environ;

namespace gui_test {
namespace {

namespace fs = std::filesystem;

/// A copy of the program in a scratch folder (its log is written next to
/// it); the test and the program share scratch settings and a scratch
/// runtime folder.
class StartupTest : public ::testing::Test {
 protected:
  StartupTest() { App(); }
  void SetUp() override {
    program_ = folder_.Path() / "Vaultline_N1";
    fs::copy_file(VAULTLINE_PROGRAM, program_);
    fs::create_directories(folder_.Path() / "runtime");
    fs::create_directories(folder_.Path() / "hive");
    fs::permissions(folder_.Path() / "runtime", fs::perms::owner_all);
    if (const char* saved = std::getenv("XDG_RUNTIME_DIR")) saved_runtime_ = saved;
    ::setenv("XDG_RUNTIME_DIR", (folder_.Path() / "runtime").c_str(), 1);
    ::setenv("QUARRYTAB_HIVE_DIR", (folder_.Path() / "hive").c_str(), 1);
    Settings().SaveAppSettingNumber("", "Debug", 2);
  }
  void TearDown() override {
    // SIGTERM first: the hand-over tool passes it on to the program it started.
    for (const pid_t pid : std::vector<pid_t>(running_)) {
      ::kill(pid, SIGTERM);
      if (WaitExit(pid, 5000) < 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
      }
    }
    ::unsetenv("QUARRYTAB_HIVE_DIR");
    if (saved_runtime_.empty()) {
      ::unsetenv("XDG_RUNTIME_DIR");
    } else {
      ::setenv("XDG_RUNTIME_DIR", saved_runtime_.c_str(), 1);
    }
  }

  /// `binary` (the program copy by default) with `args` in the scratch
  /// environment plus `env`; its pid, or -1.
  pid_t Start(std::vector<std::string> args = {}, std::string binary = "",
              std::vector<std::string> env = {}) {
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("HOME=" + folder_.Path().string());
    for (char** e = environ; *e != nullptr; ++e) {
      for (const std::string_view kept :
           {"PATH=", "LD_LIBRARY_PATH=", "ASAN_OPTIONS=", "LSAN_OPTIONS=", "UBSAN_OPTIONS=",
            "XDG_RUNTIME_DIR=", "QUARRYTAB_HIVE_DIR="}) {
        if (std::string_view(*e).starts_with(kept)) env.push_back(*e);
      }
    }
    if (binary.empty()) binary = program_.string();
    std::vector<char*> argv = {binary.data()}, envp;
    for (std::string& a : args) argv.push_back(a.data());
    for (std::string& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, binary.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
      return -1;
    }
    running_.push_back(pid);
    return pid;
  }

  /// The exit code of `pid` once it has ended within `bound_ms`; -1 otherwise.
  int WaitExit(pid_t pid, int bound_ms = 15000) {
    int status = 0;
    if (!Until([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, bound_ms)) return -1;
    std::erase(running_, pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  static bool Alive(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

  std::vector<fs::path> LogFiles() const {
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(folder_.Path())) {
      if (entry.path().extension() == ".log") logs.push_back(entry.path());
    }
    return logs;
  }
  int LogCount() const { return static_cast<int>(LogFiles().size()); }
  /// Every log file, concatenated (the log is in Windows-1253).
  std::string Logs() const {
    std::string all;
    for (const fs::path& log : LogFiles()) all += support::Cp1253ToUtf8(test_common::ReadFile(log));
    return all;
  }
  bool LogShows(std::string_view text) const {
    return Until([&] { return Logs().find(text) != std::string::npos; }, 15000);
  }
  bool Listening() const {
    return Until([this] { return fs::exists(Socket()); }, 15000);
  }
  fs::path Socket() const { return folder_.Path() / "runtime" / "Vaultline.sock"; }

  TempDir folder_;
  fs::path program_;
  std::string saved_runtime_;
  std::vector<pid_t> running_;
};

TEST_F(StartupTest, ALaterStartHandsOverToTheRunningOneAndEnds) {
  const pid_t first = Start();
  ASSERT_GT(first, 0);
  ASSERT_TRUE(Listening()) << "the first start listens";
  ASSERT_TRUE(LogShows("Έκδοση"));

  EXPECT_EQ(WaitExit(Start()), 0);
  EXPECT_TRUE(Alive(first));
  EXPECT_TRUE(LogShows("IAppInstance_Notify")) << "the first instance was told";
  // The second start wrote no log of its own: it ended before any window.
  EXPECT_EQ(LogCount(), 1);

  // SIGTERM ends the first through its unload step.
  ASSERT_EQ(::kill(first, SIGTERM), 0);
  EXPECT_EQ(WaitExit(first), 0);
  EXPECT_NE(Logs().find("Κλείσιμο εφαρμογής."), std::string::npos);
}

TEST_F(StartupTest, AStartAfterAKilledInstanceRuns) {
  const pid_t first = Start();
  ASSERT_GT(first, 0);
  ASSERT_TRUE(Listening());
  ASSERT_EQ(::kill(first, SIGKILL), 0);
  EXPECT_EQ(WaitExit(first), 128 + SIGKILL);
  ASSERT_TRUE(fs::exists(Socket())) << "a killed instance leaves its socket behind";

  const auto listening_since = fs::last_write_time(Socket());
  const pid_t next = Start();
  ASSERT_GT(next, 0);
  ASSERT_TRUE(Until(
      [&] { return fs::exists(Socket()) && fs::last_write_time(Socket()) != listening_since; },
      15000))
      << "the next start listens again";
  // It runs: a later start finds it and hands over.
  EXPECT_EQ(WaitExit(Start()), 0);
  EXPECT_TRUE(Alive(next));
}

TEST_F(StartupTest, NoLogInAnyLetterCaseAndWithAValueWritesNoLogButInQuotesItIsAnotherParameter) {
  for (const std::string option : {"/NoLog=1", "\"/nolog\""}) {
    const bool logs = option[0] == '"';
    const pid_t pid = Start({"--first", option});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(Listening()) << option;
    ASSERT_TRUE(!logs || Until([&] { return LogCount() == 1; }, 15000)) << option;
    ::kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0) << option;
    EXPECT_EQ(LogCount(), logs ? 1 : 0) << option;
  }
}

TEST_F(StartupTest, HandOverToolStartsTheProgramLoggedInAndStopsItWithItself) {
  test_common::DemoServer server;
  ASSERT_TRUE(server.Started());
  Settings().SaveAppSettingString("", "PFServer", "127.0.0.1");
  Settings().SaveAppSettingNumber("", "PFPort", server.Port());
  const std::string record =
      "/dev/shm" + app::SharedMemory::PosixName(app::kHandoverRecordName, false);

  // The password through standard input is the tool's other way; the
  // argument is enough here.
  const pid_t tool =
      Start({"demo", "demo"}, VAULTLINE_HANDOVER_TOOL, {"VAULTLINE_PROGRAM=" + program_.string()});
  ASSERT_GT(tool, 0);
  ASSERT_TRUE(LogShows("smClient_DataArrival->LOGINOK"))
      << "the program did not log in by itself:\n"
      << Logs();
  EXPECT_TRUE(fs::exists(record));
  // Stopping the tool stops the program through its unload step.
  ASSERT_EQ(::kill(tool, SIGTERM), 0);
  EXPECT_EQ(WaitExit(tool), 0);
  EXPECT_NE(Logs().find("Κλείσιμο εφαρμογής."), std::string::npos);
  EXPECT_FALSE(fs::exists(record)) << "the tool removes its record";
}

}  // namespace
}  // namespace gui_test
