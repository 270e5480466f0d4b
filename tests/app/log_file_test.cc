#include "app/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/logger.h"
#include "app/scoped_env.h"
#include "common/expect_error.h"
#include "common/process.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using test_common::ReadFile;

const LocalTime kFiveMarch{2024, 3, 5, 14, 7, 9, 42};

class LogTest : public ::testing::Test {
 protected:
  /// Opens `path` to append to it, or without one the test's log, emptied.
  std::unique_ptr<LogFile> OpenLog(const std::string& path = {}) {
    auto log = std::make_unique<LogFile>([this] { return now_; });
    log->OpenLogFile(path.empty() ? path_ : path, path.empty());
    return log;
  }
  std::string Written() const { return ReadFile(path_); }

  test_common::TempDir dir_;
  const std::string path_ = (dir_.Path() / "test.log").string();
  LocalTime now_ = kFiveMarch;
};

TEST_F(LogTest, DefaultLineHasBracketedStampTwoSpacesAndCrLfInCodePage1253) {
  auto log = OpenLog();
  log->AppendLog("Κλείσιμο εφαρμογής.\r\nΤέλος");  // one stamp for both lines
  log->AppendLog("plain", false);
  EXPECT_EQ(Written(),
            "[5/3/2024 14:07:09]  \xCA\xEB\xE5\xDF\xF3\xE9\xEC\xEF \xE5\xF6\xE1\xF1\xEC\xEF\xE3\xDE"
            "\xF2.\r\n\xD4\xDD\xEB\xEF\xF2\r\nplain\r\n");
}

TEST_F(LogTest, MillisecondsAndCustomSurroundings) {
  auto log = OpenLog();
  log->SetShowMilliseconds(true);
  log->SetStringBeforeDateTime("<");
  log->SetStringAfterDateTime(">");
  log->SetSpacesAfterDateTime(1);
  log->SetDateTimeFormat("dd/mm/yy hh:nn:ss");
  now_.hour = 4;
  log->AppendLog("x");
  EXPECT_EQ(Written(), "<05/03/24 04:07:09.042> x\r\n");
}

TEST_F(LogTest, OverwriteEmptiesAppendKeepsAndNothingIsWrittenBeforeOpening) {
  LogFile closed([this] { return now_; });
  closed.AppendLog("lost");
  EXPECT_EQ(closed.Size(), 0);
  EXPECT_FALSE(fs::exists(path_));
  test_common::WriteFile(path_, "old run\r\n");
  auto log = OpenLog();
  EXPECT_TRUE(log->NewFile());
  log->AppendLog("new", false);
  log->OpenLogFile(path_ + ".other", true);  // already open: nothing changes
  EXPECT_EQ(log->CurrentFile(), path_);
  log->CloseLogFile();
  auto again = OpenLog(path_);
  again->AppendLog("more", false);
  EXPECT_EQ(again->Size(), 11);
  EXPECT_FALSE(again->NewFile());
  EXPECT_EQ(Written(), "new\r\nmore\r\n");
}

TEST_F(LogTest, WriteErrorsReachTheCallerButALoggerLosesOnlyTheLine) {
  test_common::ExpectError(8612, [&] { OpenLog("/dev/full")->AppendLog("x"); });
  Logger logger(OpenLog("/dev/full"));
  bool shown = false;
  logger.SetErrorBox([&](const std::string&) { shown = true; });
  EXPECT_NO_THROW(logger.WriteLog("x"));
  EXPECT_NO_THROW(logger.ShowError("m", "s"));
  EXPECT_TRUE(shown);
}

TEST(LogTime, FormatTokens) {
  EXPECT_EQ(FormatLogTime("d/m/yyyy h:nn:ss", LocalTime{2024, 12, 31, 0, 5, 0, 0}),
            "31/12/2024 0:05:00");
  EXPECT_EQ(FormatLogTime("yyyymmddhhnnss", kFiveMarch), "20240305140709");
  EXPECT_EQ(FormatLogTime("[d] at x", kFiveMarch), "[5] at x");
}

TEST_F(LogTest, DebugLinesNeedTheirLevel) {
  Logger logger(OpenLog());
  logger.WriteLog("hidden", "frmPF_Load", 2);
  logger.SetDebugLevel(2);
  logger.WriteLog("shown", "frmPF_Load", 2);
  logger.WriteLog("level one", "smClient_DataArrival", 1);
  logger.SetDebugLevel(0);
  logger.WriteLog("plain line");
  EXPECT_EQ(Written(),
            "[5/3/2024 14:07:09]  DEBUG: frmPF_Load->shown\r\n"
            "[5/3/2024 14:07:09]  DEBUG: smClient_DataArrival->level one\r\n"
            "[5/3/2024 14:07:09]  plain line\r\n");
}

TEST_F(LogTest, ShowErrorLogsAndShowsTheSameTextAlsoWithLoggingOff) {
  for (const bool logging : {true, false}) {
    Logger logger = logging ? Logger(OpenLog()) : Logger();
    std::string shown;
    logger.SetErrorBox([&](const std::string& text) { shown = text; });
    logger.ShowError("Access is denied.", "File:OpenFile");
    logger.WriteLog("x");
    EXPECT_EQ(shown, "[File:OpenFile] Σφάλμα: Access is denied.");
  }
  EXPECT_EQ(Written(),
            "[5/3/2024 14:07:09]  [File:OpenFile] \xD3\xF6\xDC\xEB\xEC\xE1: Access is denied.\r\n"
            "[5/3/2024 14:07:09]  x\r\n")
      << "nothing more after logging was turned off";
}

TEST_F(LogTest, ProgramLogIsNamedAfterTheStartInTheProgramFolderOrElseTheStateDirectory) {
  const auto file = [](std::unique_ptr<LogFile> log) {
    return log ? log->CurrentFile() : std::string("no log");
  };
  EXPECT_EQ(file(OpenProgramLog(dir_.Path().string(), kFiveMarch)),
            (dir_.Path() / "20240305140709.log").string());
  EXPECT_TRUE(fs::exists(dir_.Path() / "20240305140709.log"));
  const std::string state = (dir_.Path() / "state").string();
  ScopedEnv state_home("XDG_STATE_HOME", state.c_str());
  const std::string nowhere = (dir_.Path() / "no" / "such" / "folder").string();
  EXPECT_EQ(file(OpenProgramLog(nowhere, kFiveMarch)), state + "/vaultline/20240305140709.log");
  // No place at all: the program runs on without a file.
  fs::remove_all(state);
  test_common::WriteFile(state, "a file, not a directory");
  EXPECT_EQ(file(OpenProgramLog(nowhere, kFiveMarch)), "no log");
  Logger logger(nullptr);
  EXPECT_NO_THROW(logger.WriteLog("x"));
}

}  // namespace
}  // namespace app
