// Named shared memory: what one object writes another sees, the two
// namespaces, the errors, bounds and access of views, and that the creator
// leaves nothing behind in /dev/shm. The auto-connect hand-over record kept
// in it: its bytes, its cuts at character boundaries, decoding whatever
// another program wrote, the main window's take-once, and the
// vaultline-handover tool run as a real process.
#include "app/shared_memory.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "app/handover_record.h"
#include "app/scoped_env.h"
#include "common/expect_error.h"
#include "common/process.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using test_common::ExpectError;

/// Where an object of that name appears on this system.
std::string ShmPath(const std::string& name, bool global = false) {
  return "/dev/shm" + SharedMemory::PosixName(name, global);
}

/// A name of its own for every test (and every process running tests), and
/// no object of it left behind when a test fails half-way.
class SharedMemoryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ::shm_unlink(SharedMemory::PosixName(name_, false).c_str());
    ::shm_unlink(SharedMemory::PosixName(name_, true).c_str());
  }
  static std::string Read(const SharedMemory& memory, std::size_t count, std::size_t offset) {
    std::string bytes(count, '\0');
    memory.GetData(bytes.data(), count, offset);
    return bytes;
  }
  static void Write(SharedMemory& memory, std::string_view bytes, std::size_t offset) {
    memory.SetData(bytes.data(), bytes.size(), offset);
  }
  /// Leaves a hand-over record of `bytes` under the test's name.
  void Put(SharedMemory& record, const std::string& bytes, bool global = false) {
    ASSERT_TRUE(record.Create(name_, bytes.size(), global));
    Write(record, bytes, 0);
  }
  static std::string Contents(const SharedMemory& record) { return Read(record, record.Size(), 0); }
  /// What TakeHandover gives, as "id|password", or "none".
  std::string Taken(bool global = false) const {
    const auto taken = TakeHandover(global, name_);
    return taken ? taken->user_id + "|" + taken->password : "none";
  }

  const std::string name_ = "vaultline-test-" + std::to_string(::getpid()) + "-" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(SharedMemoryTest, CreatedObjectIsSharedWithAnotherOpener) {
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_, 64));
  EXPECT_EQ(creator.Size(), 64u);
  EXPECT_EQ(Read(creator, 64, 0), std::string(64, '\0')) << "a new object starts zero-filled";
  Write(creator, "hello", 10);
  SharedMemory opener;
  ASSERT_TRUE(opener.OpenExisting(name_, 64));
  EXPECT_EQ(Read(opener, 5, 10), "hello");
  Write(opener, "back", 60);
  EXPECT_EQ(Read(creator, 4, 60), "back") << "both views are one memory";
  // A read-only view refuses SetData rather than fault.
  ASSERT_TRUE(opener.OpenExisting(name_, 64, /*read_only=*/true));
  EXPECT_EQ(ExpectError(SharedMemory::kErrPermissionDenied, [&] { Write(opener, "changed", 0); }),
            "SharedMemory.SetData");
  EXPECT_EQ(Read(creator, 5, 10), "hello");
}

TEST_F(SharedMemoryTest, LocalAndGlobalNamesDoNotMeetAndLocalOnesBelongToOneSession) {
  const std::string local_name = SharedMemory::PosixName(name_, false);
  const std::string global_name = SharedMemory::PosixName(name_, true);
  EXPECT_EQ(local_name.rfind("/local." + std::to_string(::geteuid()) + ".", 0), 0u) << local_name;
  EXPECT_TRUE(local_name.ends_with("." + name_)) << local_name;
  EXPECT_EQ(global_name, "/global." + name_);
  // A Local name spelling out the Global form still lands in the Local set.
  EXPECT_NE(SharedMemory::PosixName("global." + name_, false), global_name);
  EXPECT_NE(SharedMemory::PosixName(std::to_string(::geteuid()) + "." + name_, true), local_name);

  SharedMemory local;
  ASSERT_TRUE(local.Create(name_, 8, /*global=*/false));
  Write(local, "L", 0);
  SharedMemory probe;
  EXPECT_FALSE(probe.OpenExisting(name_, 8, /*read_only=*/true, /*global=*/true));
  SharedMemory global;
  ASSERT_TRUE(global.Create(name_, 8, /*global=*/true));
  Write(global, "G", 0);
  ASSERT_TRUE(probe.OpenExisting(name_, 8, true, false));
  EXPECT_EQ(Read(probe, 1, 0), "L");
  ASSERT_TRUE(probe.OpenExisting(name_, 8, true, true));
  EXPECT_EQ(Read(probe, 1, 0), "G");

  // Local names belong to one login session; one Global set serves the machine.
  ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/another-session");
  EXPECT_NE(SharedMemory::PosixName(name_, false), local_name);
  EXPECT_FALSE(probe.OpenExisting(name_, 8, true, false));
  EXPECT_EQ(SharedMemory::PosixName(name_, true), global_name);
  runtime.Set("/run/user/a-third-session");
  EXPECT_NE(SharedMemory::PosixName(name_, false), local_name);
}

TEST_F(SharedMemoryTest, NamesThatAreNotFileNamesAreEscaped) {
  EXPECT_EQ(SharedMemory::PosixName("a/b c%", true), "/global.a%2Fb%20c%25");
  const std::string long_name(300, 'x');
  EXPECT_LE(SharedMemory::PosixName(long_name, false).size(), 255u);
  EXPECT_NE(SharedMemory::PosixName(long_name, false),
            SharedMemory::PosixName(long_name + "y", false))
      << "shortened names keep a hash of the whole";
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_ + "/odd name", 4));
  EXPECT_TRUE(std::filesystem::exists(ShmPath(name_ + "/odd name")));
}

TEST_F(SharedMemoryTest, BackslashInNameOrSizeBelowOneRaisesError5) {
  for (const auto& [name, size] :
       {std::pair{name_ + "\\x", 16}, {"Local\\" + name_, 16}, {name_, 0}}) {
    for (const bool global : {false, true}) {
      SCOPED_TRACE(name + " " + std::to_string(size) + (global ? " global" : " local"));
      SharedMemory memory;
      EXPECT_EQ(ExpectError(5, [&] { memory.Create(name, size, global); }), "SharedMemory.Create");
      EXPECT_EQ(ExpectError(5, [&] { memory.OpenExisting(name, size, false, global); }),
                "SharedMemory.OpenExisting");
      EXPECT_FALSE(memory.IsMapped());
      EXPECT_FALSE(std::filesystem::exists(ShmPath(name, global)));
    }
  }
}

TEST_F(SharedMemoryTest, CopiesReachingOutsideTheViewRaiseError9) {
  constexpr std::size_t kSize = 32;
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  SharedMemory memory;
  ASSERT_TRUE(memory.Create(name_, kSize));
  Write(memory, std::string(kSize, 'm'), 0);
  std::string buffer(64, 'b');
  for (const auto& [count, offset] : {std::pair<std::size_t, std::size_t>{1, kSize},
                                      {kSize + 1, 0},
                                      {2, kSize - 1},
                                      {0, kSize + 1},
                                      {kMax, 1},
                                      {1, kMax},
                                      {kMax, kMax}}) {
    SCOPED_TRACE("count " + std::to_string(count) + " offset " + std::to_string(offset));
    ExpectError(9, [&] { memory.GetData(buffer.data(), count, offset); });
    ExpectError(9, [&] { memory.SetData(buffer.data(), count, offset); });
  }
  EXPECT_EQ(buffer, std::string(64, 'b'));
  EXPECT_EQ(Read(memory, kSize, 0), std::string(kSize, 'm'));
  // The edges themselves are inside.
  EXPECT_EQ(Read(memory, 0, kSize), "");
  Write(memory, "e", kSize - 1);
  EXPECT_EQ(Read(memory, 1, kSize - 1), "e");
  SharedMemory unmapped;
  ExpectError(9, [&] { unmapped.GetData(buffer.data(), 1, 0); });
  ExpectError(9, [&] { unmapped.SetData(buffer.data(), 1, 0); });
}

TEST_F(SharedMemoryTest, OpenExistingMapsOnlyAnObjectThatIsThereAndLargeEnough) {
  SharedMemory opener;
  EXPECT_FALSE(opener.OpenExisting(name_, 16)) << "a missing object is no error";
  EXPECT_EQ(opener.LastError(), ENOENT);
  EXPECT_FALSE(opener.OpenExisting(name_, 16, true, true));
  EXPECT_FALSE(opener.OpenExisting("", 16));
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_, 16));
  EXPECT_FALSE(opener.OpenExisting(name_, 17)) << "pages past the object's end would fault";
  EXPECT_FALSE(opener.IsMapped());
  ASSERT_TRUE(opener.OpenExisting(name_, 8)) << "a smaller view of a larger object is fine";
  char byte = 0;
  ExpectError(9, [&] { opener.GetData(&byte, 1, 8); });
}

TEST_F(SharedMemoryTest, CreatedObjectIsPrivateToItsOwnerWhateverTheUmask) {
  const mode_t old_mask = ::umask(0277);
  SharedMemory local;
  SharedMemory global;
  const bool made = local.Create(name_, 16, false) && global.Create(name_, 16, true);
  ::umask(old_mask);
  ASSERT_TRUE(made);
  for (const bool is_global : {false, true}) {
    struct stat info {};
    ASSERT_EQ(::stat(ShmPath(name_, is_global).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u) << (is_global ? "global" : "local");
    EXPECT_EQ(info.st_uid, ::geteuid());
  }
}

TEST_F(SharedMemoryTest, OnlyTheCreatorRemovesTheNameAndAMoveTakesItAlong) {
  const std::string path = ShmPath(name_);
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_, 16));
  {
    SharedMemory opener;
    ASSERT_TRUE(opener.OpenExisting(name_, 16));
    opener.Destroy();
    EXPECT_FALSE(opener.IsMapped());
  }
  EXPECT_TRUE(std::filesystem::exists(path)) << "an opener's Destroy and destructor leave the name";
  creator.Destroy();
  EXPECT_FALSE(std::filesystem::exists(path));
  creator.Destroy();  // a second time does nothing

  SharedMemory target;
  {
    SharedMemory first;
    ASSERT_TRUE(first.Create(name_, 16));
    Write(first, "moved", 0);
    SharedMemory middle(std::move(first));
    EXPECT_FALSE(first.IsMapped()) << "a moved-from object is left empty";
    target = std::move(middle);
  }
  EXPECT_TRUE(std::filesystem::exists(path)) << "a moved-from object owns nothing";
  EXPECT_EQ(target.Name(), name_);
  EXPECT_EQ(Read(target, 5, 0), "moved");
  { SharedMemory gone = std::move(target); }
  EXPECT_FALSE(std::filesystem::exists(path)) << "the destructor destroys";
}

TEST_F(SharedMemoryTest, CreateOverAnExistingObjectKeepsItsBytesAndGrowsIt) {
  SharedMemory first;
  ASSERT_TRUE(first.Create(name_, 8));
  Write(first, "leftover", 0);
  SharedMemory second;
  ASSERT_TRUE(second.Create(name_, 32));
  EXPECT_EQ(Read(second, 8, 0), "leftover");
  EXPECT_EQ(Read(second, 24, 8), std::string(24, '\0'));
  second.Destroy();
  EXPECT_FALSE(std::filesystem::exists(ShmPath(name_))) << "the second creator owns the name too";
}

TEST_F(SharedMemoryTest, ObjectOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "handing an object to another user needs root";
  // Planted, readable and writable by anyone, owned by someone else.
  SharedMemory planted[2];
  for (const bool global : {false, true}) {
    ASSERT_TRUE(planted[global].Create(name_, 16, global));
    ASSERT_EQ(::chmod(ShmPath(name_, global).c_str(), 0666), 0);
    ASSERT_EQ(::chown(ShmPath(name_, global).c_str(), 65534, 65534), 0);
  }
  SharedMemory memory;
  EXPECT_FALSE(memory.Create(name_, 16, false)) << "what we wrote its owner could read";
  EXPECT_EQ(memory.LastError(), EACCES);
  EXPECT_FALSE(memory.Create(name_, 16, true));
  EXPECT_FALSE(memory.OpenExisting(name_, 16, true, false)) << "not ours, so not in our names";
  EXPECT_TRUE(memory.OpenExisting(name_, 16, true, true)) << "machine-wide names hold anyone's";
  memory.Destroy();
  EXPECT_TRUE(std::filesystem::exists(ShmPath(name_, false)));
  EXPECT_TRUE(std::filesystem::exists(ShmPath(name_, true)));
}

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

TEST_F(SharedMemoryTest, HandoverRecordWithIdIsTakenOnceFromTheCallersNamespaceAndBlanked) {
  SharedMemory record;
  Put(record, EncodeHandoverRecord("agent", "pa ss"), /*global=*/true);
  EXPECT_EQ(Taken(false), "none");
  EXPECT_EQ(Taken(true), "agent|pa ss");
  EXPECT_EQ(Contents(record), BlankHandoverRecord());
  EXPECT_EQ(Taken(true), "none") << "a record is used once";
}

TEST_F(SharedMemoryTest, HandoverRecordWithABlankIdMissingOrTooSmallIsNoneAndLeftByteForByte) {
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

TEST_F(SharedMemoryTest, HandoverRecordOfAnotherUserIsNone) {
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
    test_common::WriteProgram(dir_.Path() / name, "#!/bin/sh\n" + body);
    return (dir_.Path() / name).string();
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
