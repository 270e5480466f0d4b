// The auto-connect hand-over record: its bytes, its cuts at character
// boundaries, decoding whatever another program wrote, the main window's
// take-once, and the vaultline-handover tool run as a real process.
#include "app/handover_record.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/shared_memory.h"

extern char** environ;

namespace app {
namespace {

namespace fs = std::filesystem;

/// UTF-16 units as little-endian bytes.
std::string Units(std::initializer_list<std::uint16_t> units) {
  std::string bytes;
  for (const std::uint16_t u : units) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

std::string Spaces(std::size_t count) {
  std::string bytes;
  for (std::size_t i = 0; i < count; ++i) bytes.append(" \0", 2);
  return bytes;
}

TEST(HandoverRecordTest, EncodesTheKnownLayout) {
  const std::string record = EncodeHandoverRecord("ab", "xyz");
  ASSERT_EQ(record.size(), 90u);
  EXPECT_EQ(record.substr(0, 6), std::string("a\0b\0 \0", 6));
  EXPECT_EQ(record, Units({'a', 'b'}) + Spaces(13) + Units({'x', 'y', 'z'}) + Spaces(27));

  // "aΩ" and U+1F600, which takes a surrogate pair.
  const std::string greek = EncodeHandoverRecord("a\xCE\xA9\xF0\x9F\x98\x80", "");
  const std::string expected_id("a\x00\xA9\x03\x3D\xD8\x00\xDE", 8);
  EXPECT_EQ(greek, expected_id + Spaces(11) + Spaces(30));
}

TEST(HandoverRecordTest, BlankRecordIsAllSpaces) {
  const std::string blank = BlankHandoverRecord();
  EXPECT_EQ(blank, Spaces(45));
  const HandoverCredentials decoded = DecodeHandoverRecord(blank);
  EXPECT_EQ(decoded.user_id, "");
  EXPECT_EQ(decoded.password, "");
}

TEST(HandoverRecordTest, EncodeThenDecodeKeepsWhatFits) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // two units
  const std::string fifteen = "abcdefghijklmno";
  const std::string thirty = "0123456789abcdefghijABCDEFGHIJ";
  struct Case {
    const char* what;
    std::string user_id;
    std::string password;
    std::string want_user_id;
    std::string want_password;
  };
  const std::vector<Case> cases = {
      {"ascii", "user1", "secret", "user1", "secret"},
      {"greek", "\xCF\x87\xCF\x81\xCE\xAE\xCF\x83\xCF\x84\xCE\xB7\xCF\x82",
       "\xCE\xBA\xCF\x89\xCE\xB4\xCE\xB9\xCE\xBA\xCF\x8C\xCF\x82",
       "\xCF\x87\xCF\x81\xCE\xAE\xCF\x83\xCF\x84\xCE\xB7\xCF\x82",
       "\xCE\xBA\xCF\x89\xCE\xB4\xCE\xB9\xCE\xBA\xCF\x8C\xCF\x82"},
      {"exactly 15 and 30", fifteen, thirty, fifteen, thirty},
      {"over-long fields are cut", fifteen + "XYZ", thirty + "XYZ", fifteen, thirty},
      {"emoji across the cut is dropped whole", fifteen.substr(0, 14) + emoji,
       thirty.substr(0, 29) + emoji, fifteen.substr(0, 14), thirty.substr(0, 29)},
      {"emoji that ends exactly at the cut is kept", fifteen.substr(0, 13) + emoji,
       thirty.substr(0, 28) + emoji, fifteen.substr(0, 13) + emoji, thirty.substr(0, 28) + emoji},
      {"empty password", "user", "", "user", ""},
      {"trailing spaces are padding, leading ones are kept", " user  ", " pw  ", " user", " pw"},
      {"malformed utf-8 becomes U+FFFD", "a\xFF", "\xC3", "a\xEF\xBF\xBD", "\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string record = EncodeHandoverRecord(c.user_id, c.password);
    ASSERT_EQ(record.size(), kHandoverRecordSize);
    const HandoverCredentials decoded = DecodeHandoverRecord(record);
    EXPECT_EQ(decoded.user_id, c.want_user_id);
    EXPECT_EQ(decoded.password, c.want_password);
  }
}

TEST(HandoverRecordTest, DecodeTakesWhateverAnotherProgramWrote) {
  const std::string replacement = "\xEF\xBF\xBD";
  struct Case {
    const char* what;
    std::string bytes;
    std::string want_user_id;
    std::string want_password;
  };
  const std::vector<Case> cases = {
      {"lone high surrogate ends the id", Units({'a'}) + Spaces(13) + Units({0xD800}) + Spaces(30),
       "a" + std::string(13, ' ') + replacement, ""},
      {"lone low surrogate", Units({0xDC00, 'b'}) + Spaces(13) + Spaces(30), replacement + "b", ""},
      {"pair split across the fields", Spaces(14) + Units({0xD83D, 0xDE00}) + Spaces(29),
       std::string(14, ' ') + replacement, replacement},
      {"short record", Units({'i', 'd'}), "id", ""},
      {"odd length", Spaces(15) + Units({'p'}) + "x", "", "p"},
      {"empty", "", "", ""},
      {"bytes past 90 ignored", Units({'u'}) + Spaces(14) + Units({'p'}) + Spaces(29) + "junk", "u",
       "p"},
      {"nul padding is not space padding", Units({'u', 0}) + Spaces(13) + Spaces(30),
       std::string("u\0", 2), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const HandoverCredentials decoded = DecodeHandoverRecord(c.bytes);
    EXPECT_EQ(decoded.user_id, c.want_user_id);
    EXPECT_EQ(decoded.password, c.want_password);
  }
}

/// A record of its own for every test, as the client's would be.
class TakeHandoverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = std::string("vaultline-handover-test-") + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  void TearDown() override {
    ::shm_unlink(SharedMemory::PosixName(name_, false).c_str());
    ::shm_unlink(SharedMemory::PosixName(name_, true).c_str());
  }

  void Put(SharedMemory& record, const std::string& bytes, bool global = false) {
    ASSERT_TRUE(record.Create(name_, bytes.size(), global));
    record.SetData(bytes.data(), bytes.size(), 0);
  }
  static std::string Contents(const SharedMemory& record) {
    std::string bytes(record.Size(), '\0');
    record.GetData(bytes.data(), bytes.size(), 0);
    return bytes;
  }

  std::string name_;
};

TEST_F(TakeHandoverTest, RecordWithIdIsTakenAndBlanked) {
  SharedMemory record;
  Put(record, EncodeHandoverRecord("agent", "pa ss"));
  const auto taken = TakeHandover(false, name_);
  ASSERT_TRUE(taken.has_value());
  EXPECT_EQ(taken->user_id, "agent");
  EXPECT_EQ(taken->password, "pa ss");
  EXPECT_EQ(Contents(record), BlankHandoverRecord());
  EXPECT_FALSE(TakeHandover(false, name_).has_value()) << "a record is used once";
}

TEST_F(TakeHandoverTest, RecordWithBlankIdIsLeftByteForByte) {
  // Blank ID, a password, and bytes no encoder would write in the padding.
  std::string bytes = Spaces(15) + Units({'s', 'e', 'c'}) + Spaces(27);
  bytes[89] = '\x7F';
  SharedMemory record;
  Put(record, bytes);
  EXPECT_FALSE(TakeHandover(false, name_).has_value());
  EXPECT_EQ(Contents(record), bytes);
}

TEST_F(TakeHandoverTest, MissingOrTooSmallRecordIsNoHandover) {
  EXPECT_FALSE(TakeHandover(false, name_).has_value());
  SharedMemory record;
  const std::string short_record = EncodeHandoverRecord("agent", "pw").substr(0, 40);
  Put(record, short_record);
  EXPECT_FALSE(TakeHandover(false, name_).has_value());
  EXPECT_EQ(Contents(record), short_record);
}

TEST_F(TakeHandoverTest, NamespaceIsTheCallersChoice) {
  SharedMemory record;
  Put(record, EncodeHandoverRecord("global", "pw"), /*global=*/true);
  EXPECT_FALSE(TakeHandover(false, name_).has_value());
  const auto taken = TakeHandover(true, name_);
  ASSERT_TRUE(taken.has_value());
  EXPECT_EQ(taken->user_id, "global");
}

TEST_F(TakeHandoverTest, RecordOfAnotherUserIsNoHandover) {
  if (::geteuid() != 0) GTEST_SKIP() << "handing an object to another user needs root";
  const std::string bytes = EncodeHandoverRecord("intruder", "pw");
  const int fd =
      ::shm_open(SharedMemory::PosixName(name_, false).c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_EQ(::fchown(fd, 65534, 65534), 0);
  ::close(fd);
  EXPECT_FALSE(TakeHandover(false, name_).has_value());
}

// The tool, run as integrators run it, with a stand-in for the program that
// keeps a copy of the record it found and the arguments it was given.
class HandoverToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef VAULTLINE_HANDOVER_TOOL
    GTEST_SKIP() << "vaultline-handover is built with the desktop program only";
#else
    std::string pattern = (fs::temp_directory_path() / "vaultline-handover-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    // A login session of its own (the tool inherits it), so the record is
    // nobody else's, whatever else runs on this machine.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr) saved_runtime_dir_ = runtime;
    ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    record_path_ = "/dev/shm" + SharedMemory::PosixName(kHandoverRecordName, false);
    program_ = WriteScript("program.sh",
                           "cp \"$RECORD\" \"$OUT/record\" || exit 3\n"
                           "printf '%s\\n' \"$@\" > \"$OUT/args\"\n"
                           "exit 7\n");
#endif
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
    if (saved_runtime_dir_) {
      ::setenv("XDG_RUNTIME_DIR", saved_runtime_dir_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
  }

  std::string WriteScript(const std::string& name, const std::string& body) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }

  /// Runs the tool with `args`, `input` on its standard input and `program`
  /// as the program; its wait status.
  int RunTool(const std::vector<std::string>& args, const std::string& input,
              const std::string& program) {
#ifdef VAULTLINE_HANDOVER_TOOL
    const std::string tool = VAULTLINE_HANDOVER_TOOL;
#else
    const std::string tool;
#endif
    std::vector<std::string> env_strings = {"VAULTLINE_PROGRAM=" + program,
                                            "RECORD=" + record_path_, "OUT=" + dir_};
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (entry.rfind("VAULTLINE_PROGRAM=", 0) != 0 && entry.rfind("RECORD=", 0) != 0 &&
          entry.rfind("OUT=", 0) != 0) {
        env_strings.push_back(entry);
      }
    }
    std::vector<char*> envp;
    for (std::string& e : env_strings) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> arg_strings = {tool};
    arg_strings.insert(arg_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : arg_strings) argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
    const std::string error_path = dir_ + "/stderr";
    posix_spawn_file_actions_addopen(&actions, 2, error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[0]);
    if (rc != 0) {
      ::close(pipe_fds[1]);
      return -1;
    }
    // The tool may end before it reads (bad usage): no SIGPIPE for the test.
    struct sigaction ignore {};
    struct sigaction old {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &old);
    if (!input.empty()) {
      [[maybe_unused]] const ssize_t written = ::write(pipe_fds[1], input.data(), input.size());
    }
    ::close(pipe_fds[1]);
    ::sigaction(SIGPIPE, &old, nullptr);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) return -1;
    }
    return status;
  }

  std::string ReadFile(const std::string& name) const {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool RecordExists() const {
    struct stat info {};
    return ::stat(record_path_.c_str(), &info) == 0;
  }

  std::string record_path_;
  std::string dir_;
  std::optional<std::string> saved_runtime_dir_;
  std::string program_;
};

TEST_F(HandoverToolTest, ProgramFindsTheRecordAndItsExitCodeIsTheTools) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string input;
    std::string want_user_id;
    std::string want_password;
    std::string want_args;
  };
  const std::string greek_id = "\xCF\x87\xCF\x81\xCE\xAE\xCF\x83\xCF\x84\xCE\xB7\xCF\x82";
  const std::string greek_pw = "\xCE\xBA\xCF\x89\xCE\xB4\xCE\xB9\xCE\xBA\xCF\x8C\xCF\x82";
  const std::vector<Case> cases = {
      {"password argument, arguments passed on",
       {"agent", "pa ss", "--", "/nolog", "two words"},
       "",
       "agent",
       "pa ss",
       "/nolog\ntwo words\n"},
      {"password from standard input with \"-\"",
       {greek_id, "-"},
       greek_pw + "\r\n",
       greek_id,
       greek_pw,
       "\n"},
      {"no password argument reads standard input",
       {"agent", "--", "x"},
       "line one\nline two\n",
       "agent",
       "line one",
       "x\n"},
      {"empty password line", {"agent"}, "\n", "agent", "", "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir_ + "/record");
    const int status = RunTool(c.args, c.input, program_);
    ASSERT_TRUE(WIFEXITED(status)) << ReadFile("stderr");
    EXPECT_EQ(WEXITSTATUS(status), 7) << ReadFile("stderr");
    const std::string record = ReadFile("record");
    ASSERT_EQ(record.size(), kHandoverRecordSize);
    const HandoverCredentials found = DecodeHandoverRecord(record);
    EXPECT_EQ(found.user_id, c.want_user_id);
    EXPECT_EQ(found.password, c.want_password);
    EXPECT_EQ(ReadFile("args"), c.want_args);
    EXPECT_FALSE(RecordExists()) << "the record outlived the tool";
  }
}

TEST_F(HandoverToolTest, FailuresHaveTheirExitCodesAndLeaveNoRecord) {
  const std::string killed = WriteScript("killed.sh", "kill -TERM $$\nexit 0\n");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string program;
    int want_code;
    std::string want_message;
  };
  const std::vector<Case> cases = {
      {"no arguments", {}, program_, 2, "usage:"},
      {"three positional arguments", {"a", "b", "c"}, program_, 2, "usage:"},
      {"blank user ID", {" ", "pw"}, program_, 2, "user ID is empty"},
      {"program missing", {"agent", "pw"}, dir_ + "/missing", 1, "cannot start"},
      {"program killed by a signal", {"agent", "pw"}, killed, 128 + SIGTERM, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int status = RunTool(c.args, "", c.program);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.want_code);
    EXPECT_NE(ReadFile("stderr").find(c.want_message), std::string::npos) << ReadFile("stderr");
    EXPECT_FALSE(RecordExists());
  }
}

}  // namespace
}  // namespace app
