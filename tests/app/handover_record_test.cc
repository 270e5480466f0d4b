// The auto-connect hand-over record: its bytes, its cuts at character
// boundaries, decoding whatever another program wrote, the main window's
// take-once, and the vaultline-handover tool run as a real process.
#include "app/handover_record.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/scoped_env.h"
#include "app/shared_memory.h"
#include "common/process.h"

namespace app {
namespace {

namespace fs = std::filesystem;

const std::string kGreekId = "\xCF\x87\xCF\x81\xCE\xAE\xCF\x83\xCF\x84\xCE\xB7\xCF\x82";
const std::string kGreekPassword = "\xCE\xBA\xCF\x89\xCE\xB4\xCE\xB9\xCE\xBA\xCF\x8C\xCF\x82";

/// UTF-16 units as little-endian bytes.
std::string Units(const std::vector<std::uint16_t>& units) {
  std::string bytes;
  for (const std::uint16_t u : units)
    bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  return bytes;
}

std::string Spaces(std::size_t count) { return Units(std::vector<std::uint16_t>(count, ' ')); }

/// The decoded user ID and password, joined with "|".
std::string Fields(std::string_view record) {
  const HandoverCredentials c = DecodeHandoverRecord(record);
  return c.user_id + "|" + c.password;
}

TEST(HandoverRecordTest, EncodesTheKnownLayout) {
  EXPECT_EQ(EncodeHandoverRecord("ab", "xyz"),
            Units({'a', 'b'}) + Spaces(13) + Units({'x', 'y', 'z'}) + Spaces(27));
  // "aΩ" and U+1F600, which takes a surrogate pair.
  EXPECT_EQ(EncodeHandoverRecord("a\xCE\xA9\xF0\x9F\x98\x80", ""),
            std::string("a\x00\xA9\x03\x3D\xD8\x00\xDE", 8) + Spaces(11) + Spaces(30));
  EXPECT_EQ(BlankHandoverRecord(), Spaces(45));
  EXPECT_EQ(Fields(BlankHandoverRecord()), "|");
}

TEST(HandoverRecordTest, EncodeThenDecodeKeepsWhatFits) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // two units
  const std::string fifteen = "abcdefghijklmno";
  const std::string thirty = "0123456789abcdefghijABCDEFGHIJ";
  const struct {
    const char* what;
    std::string user_id;
    std::string password;
    std::string fields;
  } cases[] = {
      {"ascii", "user1", "secret", "user1|secret"},
      {"greek", kGreekId, kGreekPassword, kGreekId + "|" + kGreekPassword},
      {"exactly 15 and 30", fifteen, thirty, fifteen + "|" + thirty},
      {"over-long fields are cut", fifteen + "XYZ", thirty + "XYZ", fifteen + "|" + thirty},
      {"emoji across the cut is dropped whole", fifteen.substr(0, 14) + emoji,
       thirty.substr(0, 29) + emoji, fifteen.substr(0, 14) + "|" + thirty.substr(0, 29)},
      {"emoji that ends exactly at the cut is kept", fifteen.substr(0, 13) + emoji,
       thirty.substr(0, 28) + emoji,
       fifteen.substr(0, 13) + emoji + "|" + thirty.substr(0, 28) + emoji},
      {"empty password", "user", "", "user|"},
      {"trailing spaces are padding, leading ones are kept", " user  ", " pw  ", " user| pw"},
      {"malformed utf-8 becomes U+FFFD", "a\xFF", "\xC3", "a\xEF\xBF\xBD|\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    const std::string record = EncodeHandoverRecord(c.user_id, c.password);
    EXPECT_EQ(record.size(), kHandoverRecordSize) << c.what;
    EXPECT_EQ(Fields(record), c.fields) << c.what;
  }
}

TEST(HandoverRecordTest, DecodeTakesWhateverAnotherProgramWrote) {
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
  const struct {
    const char* what;
    std::string bytes;
    std::string fields;
  } cases[] = {
      {"lone high surrogate ends the id", Units({'a'}) + Spaces(13) + Units({0xD800}) + Spaces(30),
       "a" + std::string(13, ' ') + bad + "|"},
      {"lone low surrogate", Units({0xDC00, 'b'}) + Spaces(13) + Spaces(30), bad + "b|"},
      {"pair split across the fields", Spaces(14) + Units({0xD83D, 0xDE00}) + Spaces(29),
       std::string(14, ' ') + bad + "|" + bad},
      {"short record", Units({'i', 'd'}), "id|"},
      {"odd length", Spaces(15) + Units({'p'}) + "x", "|p"},
      {"empty", "", "|"},
      {"bytes past 90 ignored", Units({'u'}) + Spaces(14) + Units({'p'}) + Spaces(29) + "junk",
       "u|p"},
      {"nul padding is not space padding", Units({'u', 0}) + Spaces(13) + Spaces(30),
       std::string("u\0|", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(Fields(c.bytes), c.fields) << c.what;
}

/// A record of its own for every test, as the client's would be.
class TakeHandoverTest : public ::testing::Test {
 protected:
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
  /// What TakeHandover gives, as "id|password", or "none".
  std::string Taken(bool global = false) const {
    const auto taken = TakeHandover(global, name_);
    return taken ? taken->user_id + "|" + taken->password : "none";
  }

  const std::string name_ = "vaultline-handover-test-" + std::to_string(::getpid()) + "-" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(TakeHandoverTest, RecordWithIdIsTakenOnceAndBlanked) {
  SharedMemory record;
  Put(record, EncodeHandoverRecord("agent", "pa ss"));
  EXPECT_EQ(Taken(), "agent|pa ss");
  EXPECT_EQ(Contents(record), BlankHandoverRecord());
  EXPECT_EQ(Taken(), "none") << "a record is used once";
}

TEST_F(TakeHandoverTest, BlankIdMissingOrTooSmallRecordIsNoHandoverAndLeftByteForByte) {
  EXPECT_EQ(Taken(), "none");
  // Blank ID, a password, and bytes no encoder would write in the padding.
  std::string blank_id = Spaces(15) + Units({'s', 'e', 'c'}) + Spaces(27);
  blank_id[89] = '\x7F';
  for (const std::string& bytes : {blank_id, EncodeHandoverRecord("agent", "pw").substr(0, 40)}) {
    SharedMemory record;
    Put(record, bytes);
    EXPECT_EQ(Taken(), "none");
    EXPECT_EQ(Contents(record), bytes);
  }
}

TEST_F(TakeHandoverTest, NamespaceIsTheCallersChoice) {
  SharedMemory record;
  Put(record, EncodeHandoverRecord("global", "pw"), /*global=*/true);
  EXPECT_EQ(Taken(false), "none");
  EXPECT_EQ(Taken(true), "global|pw");
}

TEST_F(TakeHandoverTest, RecordOfAnotherUserIsNoHandover) {
  if (::geteuid() != 0) GTEST_SKIP() << "handing an object to another user needs root";
  SharedMemory record;
  Put(record, EncodeHandoverRecord("intruder", "pw"));
  ASSERT_EQ(::chown(("/dev/shm" + SharedMemory::PosixName(name_, false)).c_str(), 65534, 65534), 0);
  EXPECT_EQ(Taken(), "none");
}

#ifdef VAULTLINE_HANDOVER_TOOL
constexpr const char* kTool = VAULTLINE_HANDOVER_TOOL;
#else
constexpr const char* kTool = nullptr;
#endif

// The tool, run as integrators run it, with a stand-in for the program that
// keeps a copy of the record it found and the arguments it was given.
class HandoverToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kTool == nullptr)
      GTEST_SKIP() << "vaultline-handover is built with the desktop program only";
  }
  std::string Script(const std::string& name, const std::string& body) {
    const fs::path path = dir_.Path() / name;
    test_common::WriteFile(path, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
    return path.string();
  }
  /// Runs the tool with `args`, `input` on its standard input and `program` as the program.
  test_common::ProcessResult RunTool(const std::vector<std::string>& args, const std::string& input,
                                     const std::string& program) {
    std::vector<std::string> sh = {"-c", "printf '%s' \"$INPUT\" | \"$0\" \"$@\"", kTool};
    sh.insert(sh.end(), args.begin(), args.end());
    return test_common::RunProcess("/bin/sh", sh,
                                   {{"INPUT", input},
                                    {"VAULTLINE_PROGRAM", program},
                                    {"RECORD", record_path_},
                                    {"OUT", dir_.Path().string()}});
  }
  std::string Out(const std::string& name) const {
    return test_common::ReadFile(dir_.Path() / name);
  }

  test_common::TempDir dir_;
  // A login session of its own (the tool inherits it), so the record is
  // nobody else's, whatever else runs on this machine.
  ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.Path().c_str()};
  const std::string record_path_ = "/dev/shm" + SharedMemory::PosixName(kHandoverRecordName, false);
  const std::string program_ = Script("program.sh",
                                      "cp \"$RECORD\" \"$OUT/record\" || exit 3\n"
                                      "printf '%s\\n' \"$@\" > \"$OUT/args\"\n"
                                      "exit 7\n");
};

TEST_F(HandoverToolTest, ProgramFindsTheRecordAndItsExitCodeIsTheTools) {
  const struct {
    std::vector<std::string> args;
    std::string input;
    std::string fields;     ///< of the record the program found
    std::string arguments;  ///< the program was given, one a line
  } cases[] = {
      {{"agent", "pa ss", "--", "/nolog", "two words"}, "", "agent|pa ss", "/nolog\ntwo words\n"},
      // The password from standard input with "-" or without a password argument.
      {{kGreekId, "-"}, kGreekPassword + "\r\n", kGreekId + "|" + kGreekPassword, "\n"},
      {{"agent", "--", "x"}, "line one\nline two\n", "agent|line one", "x\n"},
      {{"agent"}, "\n", "agent|", "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fields);
    fs::remove(dir_.Path() / "record");
    const auto r = RunTool(c.args, c.input, program_);
    EXPECT_EQ(r.exit_code, 7) << r.err;
    EXPECT_EQ(Out("record").size(), kHandoverRecordSize);
    EXPECT_EQ(Fields(Out("record")), c.fields);
    EXPECT_EQ(Out("args"), c.arguments);
    EXPECT_FALSE(fs::exists(record_path_)) << "the record outlived the tool";
  }
}

TEST_F(HandoverToolTest, FailuresHaveTheirExitCodesAndLeaveNoRecord) {
  const std::string killed = Script("killed.sh", "kill -TERM $$\nexit 0\n");
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::string program;
    int want_code;
    std::string want_message;
  } cases[] = {
      {"no arguments", {}, program_, 2, "usage:"},
      {"three positional arguments", {"a", "b", "c"}, program_, 2, "usage:"},
      {"blank user ID", {" ", "pw"}, program_, 2, "user ID is empty"},
      {"program missing", {"agent", "pw"}, (dir_.Path() / "missing").string(), 1, "cannot start"},
      {"program killed by a signal", {"agent", "pw"}, killed, 128 + SIGTERM, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto r = RunTool(c.args, "", c.program);
    EXPECT_EQ(r.exit_code, c.want_code);
    EXPECT_NE(r.err.find(c.want_message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(record_path_));
  }
}

}  // namespace
}  // namespace app
