#include "app/log_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/logger.h"
#include "support/error.h"

namespace app {
namespace {

namespace fs = std::filesystem;

const LocalTime kFiveMarch{2024, 3, 5, 14, 7, 9, 42};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vaultline-log-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = dir_ + "/test.log";
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::unique_ptr<LogFile> OpenLog() {
    auto log = std::make_unique<LogFile>([this] { return now_; });
    log->OpenLogFile(path_, true);
    return log;
  }

  std::string dir_;
  std::string path_;
  LocalTime now_ = kFiveMarch;
};

using LogFileTest = LogTest;

TEST_F(LogFileTest, DefaultLineHasBracketedStampTwoSpacesAndCrLf) {
  auto log = OpenLog();
  log->AppendLog("Κλείσιμο εφαρμογής.");
  log->AppendLog("plain", false);
  // Greek text in Windows-1253: one byte per letter.
  EXPECT_EQ(
      ReadFile(path_),
      "[5/3/2024 14:07:09]  \xCA\xEB\xE5\xDF\xF3\xE9\xEC\xEF \xE5\xF6\xE1\xF1\xEC\xEF\xE3\xDE\xF2."
      "\r\nplain\r\n");
}

TEST_F(LogFileTest, MillisecondsAndCustomSurroundings) {
  auto log = OpenLog();
  log->SetShowMilliseconds(true);
  log->SetStringBeforeDateTime("<");
  log->SetStringAfterDateTime(">");
  log->SetSpacesAfterDateTime(1);
  log->SetDateTimeFormat("dd/mm/yy hh:nn:ss");
  now_.hour = 4;
  log->AppendLog("x");
  EXPECT_EQ(ReadFile(path_), "<05/03/24 04:07:09.042> x\r\n");
}

TEST_F(LogFileTest, MessageWithCrLfSpansLinesAfterOneStamp) {
  auto log = OpenLog();
  log->AppendLog("one\r\ntwo");
  EXPECT_EQ(ReadFile(path_), "[5/3/2024 14:07:09]  one\r\ntwo\r\n");
}

TEST_F(LogFileTest, NothingIsWrittenBeforeOpening) {
  LogFile log([this] { return now_; });
  log.AppendLog("lost");
  EXPECT_EQ(log.Size(), 0);
  EXPECT_EQ(log.CurrentFile(), "");
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(LogFileTest, OverwriteEmptiesAndAppendKeeps) {
  std::ofstream(path_) << "old run\r\n";
  auto log = OpenLog();
  EXPECT_TRUE(log->NewFile());
  EXPECT_EQ(log->CurrentFile(), path_);
  log->AppendLog("new", false);
  log->OpenLogFile(dir_ + "/other.log", true);  // already open: nothing changes
  EXPECT_EQ(log->CurrentFile(), path_);
  log->CloseLogFile();
  LogFile again([this] { return now_; });
  again.OpenLogFile(path_, false);
  again.AppendLog("more", false);
  EXPECT_EQ(again.Size(), 11);
  EXPECT_FALSE(again.NewFile());
  EXPECT_EQ(ReadFile(path_), "new\r\nmore\r\n");
}

TEST_F(LogFileTest, WriteErrorsReachTheCaller) {
  LogFile log([this] { return now_; });
  log.OpenLogFile("/dev/full", false);
  try {
    log.AppendLog("x");
    ADD_FAILURE() << "a full device took the line";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 8612);
  }
}

TEST(LogTime, FormatTokens) {
  EXPECT_EQ(FormatLogTime("d/m/yyyy h:nn:ss", LocalTime{2024, 12, 31, 0, 5, 0, 0}),
            "31/12/2024 0:05:00");
  EXPECT_EQ(FormatLogTime("yyyymmddhhnnss", kFiveMarch), "20240305140709");
  EXPECT_EQ(FormatLogTime("[d] at x", kFiveMarch), "[5] at x");
}

using LoggerTest = LogTest;

TEST_F(LoggerTest, DebugLinesNeedTheirLevel) {
  Logger logger(OpenLog());
  logger.WriteLog("hidden", "frmPF_Load", 2);
  EXPECT_EQ(ReadFile(path_), "");
  logger.SetDebugLevel(2);
  logger.WriteLog("shown", "frmPF_Load", 2);
  logger.WriteLog("level one", "smClient_DataArrival", 1);
  logger.SetDebugLevel(0);
  logger.WriteLog("plain line");
  EXPECT_EQ(ReadFile(path_),
            "[5/3/2024 14:07:09]  DEBUG: frmPF_Load->shown\r\n"
            "[5/3/2024 14:07:09]  DEBUG: smClient_DataArrival->level one\r\n"
            "[5/3/2024 14:07:09]  plain line\r\n");
}

TEST_F(LoggerTest, ShowErrorLogsAndShowsTheSameText) {
  Logger logger(OpenLog());
  std::string shown;
  logger.SetErrorBox([&](const std::string& text) { shown = text; });
  logger.ShowError("Access is denied.", "File:OpenFile");
  EXPECT_EQ(shown, "[File:OpenFile] Σφάλμα: Access is denied.");
  EXPECT_EQ(ReadFile(path_),
            "[5/3/2024 14:07:09]  [File:OpenFile] \xD3\xF6\xDC\xEB\xEC\xE1: Access is denied.\r\n");
}

TEST_F(LoggerTest, LoggingOffWritesNothingButStillShowsErrors) {
  Logger logger;
  std::string shown;
  logger.SetErrorBox([&](const std::string& text) { shown = text; });
  logger.WriteLog("x");
  logger.ShowError("m", "s");
  EXPECT_FALSE(logger.LoggingEnabled());
  EXPECT_EQ(shown, "[s] Σφάλμα: m");
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(LoggerTest, AFullDiskLosesLinesNotTheCaller) {
  auto log = std::make_unique<LogFile>([this] { return now_; });
  log->OpenLogFile("/dev/full", false);
  Logger logger(std::move(log));
  bool shown = false;
  logger.SetErrorBox([&](const std::string&) { shown = true; });
  EXPECT_NO_THROW(logger.WriteLog("x"));
  EXPECT_NO_THROW(logger.ShowError("m", "s"));
  EXPECT_TRUE(shown);
}

class ProgramLogTest : public LogTest {
 protected:
  void SetUp() override {
    LogTest::SetUp();
    const char* old = std::getenv("XDG_STATE_HOME");
    had_state_ = old != nullptr;
    if (had_state_) old_state_ = old;
  }
  void TearDown() override {
    if (had_state_) {
      setenv("XDG_STATE_HOME", old_state_.c_str(), 1);
    } else {
      unsetenv("XDG_STATE_HOME");
    }
    LogTest::TearDown();
  }
  bool had_state_ = false;
  std::string old_state_;
};

TEST_F(ProgramLogTest, NamedAfterTheStartInTheProgramFolder) {
  EXPECT_EQ(LogFileName(kFiveMarch), "20240305140709.log");
  auto log = OpenProgramLog(dir_, kFiveMarch);
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log->CurrentFile(), dir_ + "/20240305140709.log");
  EXPECT_TRUE(fs::exists(dir_ + "/20240305140709.log"));
}

TEST_F(ProgramLogTest, UnusableProgramFolderFallsBackToTheStateDirectory) {
  setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
  auto log = OpenProgramLog(dir_ + "/no/such/folder", kFiveMarch);
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log->CurrentFile(), dir_ + "/state/vaultline/20240305140709.log");
}

TEST_F(ProgramLogTest, NoPlaceAtAllMeansNoLog) {
  std::ofstream(dir_ + "/state") << "a file, not a directory";
  setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
  EXPECT_EQ(OpenProgramLog(dir_ + "/no/such/folder", kFiveMarch), nullptr);
  Logger logger(nullptr);  // the program runs on without a file
  EXPECT_NO_THROW(logger.WriteLog("x"));
}

}  // namespace
}  // namespace app
