#include "support/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/process.h"
#include "support/error.h"

namespace support {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRead = File::kGenericRead;
constexpr std::uint32_t kWrite = File::kGenericWrite;
constexpr std::uint32_t kReadWrite = File::kGenericRead | File::kGenericWrite;
constexpr std::int64_t kGiB = std::int64_t{1} << 30;

/// Expects `body` to raise `number` from `source`; a system error (above ErrorBase)
/// must carry the system text of its code (test_common::ExpectError and the text).
template <typename Body>
void ExpectRaises(int number, const std::string& source, Body body, const char* what) {
  SCOPED_TRACE(what);
  try {
    body();
    ADD_FAILURE() << "no error " << number;
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), number);
    EXPECT_EQ(e.Source(), source);
    if (number > File::ErrorBase) {
      EXPECT_EQ(e.Description(), FileSystemMessage(static_cast<std::uint32_t>(number - 8500)));
    }
  }
}
#define EXPECT_RAISES(call, number, source) ExpectRaises((number), (source), [&] { call; }, #call)

class FileTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return (dir_.Path() / name).string(); }
  std::string MakeFile(const std::string& name, const std::string& bytes) const {
    test_common::WriteFile(PathOf(name), bytes);
    return PathOf(name);
  }
  static std::string Contents(const std::string& path) { return test_common::ReadFile(path); }

  test_common::TempDir dir_;
};

// --- Opening and closing -------------------------------------------------------

TEST_F(FileTest, OpenCreatesWithWriteAccessOnlyNeverTruncatesAndCloseForgetsTheFile) {
  File file;
  file.OpenFile(PathOf("new.bin"), kWrite, File::kDenyRead | File::kDenyWrite, true);
  EXPECT_EQ(file.Size(), 0);
  EXPECT_EQ(file.FileName(), PathOf("new.bin"));
  EXPECT_GT(file.hFile(), 2) << "never a standard stream";
  const std::string path = MakeFile("keep", "0123456789");
  file.OpenFile(path, kReadWrite, File::kDenyNone, true);  // closes the first
  EXPECT_EQ(file.Size(), 10);
  std::string buffer(4, '\0');
  file.ReadDataBin(buffer);
  EXPECT_EQ(file.BytesTransferred(), 4);
  file.CloseFile();
  EXPECT_EQ(file.hFile(), 0);
  EXPECT_EQ(file.FileName(), "");
  EXPECT_EQ(file.BytesTransferred(), 0);
  file.CloseFile();  // closing twice is harmless
  EXPECT_EQ(Contents(path), "0123456789");
  File other;  // the first file is no longer claimed
  other.OpenFile(PathOf("new.bin"), kReadWrite, File::kDenyNone, false);
}

TEST_F(FileTest, FailedOpenRaisesTheSystemNumberAndLeavesTheObjectClosed) {
  const std::string existing = MakeFile("plain", "abc");
  struct Case {
    std::string path;
    std::uint32_t access;
    bool create;
    int number;
  };
  std::vector<Case> cases = {
      {PathOf("absent"), kRead, true, 8502},    // creating needs write access
      {PathOf("absent"), kWrite, false, 8502},  // and the create flag
      {PathOf("no-such-dir/x.bin"), kWrite, true, 8503},
      {existing + "/x.bin", kRead, false, 8503},  // a file standing where a folder should be
      {existing, 0x10000000u, false, 5},          // neither read nor write access
      {dir_.Path().string(), kRead, false, 8505},
      {dir_.Path().string(), kReadWrite, true, 8505},
      {"", kRead, false, 8503},
      {existing + std::string(1, '\0') + "x", kRead, false, 8623},
  };
  if (::geteuid() != 0) {  // permissions do not bind the superuser
    const std::string locked = MakeFile("locked", "abc");
    fs::permissions(locked, fs::perms::none);
    cases.push_back({locked, kRead, false, 8505});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    File file;
    EXPECT_RAISES(file.OpenFile(c.path, c.access, 0, c.create), c.number, "File:OpenFile");
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.FileName(), "");
  }
  EXPECT_FALSE(fs::exists(PathOf("absent")));
}

TEST_F(FileTest, GreekOrUnmappableNameLandsOnDiskAsTheSameUtf8Name) {
  // Αρχείο.txt, then CJK and an emoji that the Greek code page cannot hold.
  for (const std::string name : {"\u0391\u03C1\u03C7\u03B5\u03AF\u03BF.txt", "\u6587-\U0001F600"}) {
    File file;
    file.OpenFile(PathOf(name), kWrite, 0, true);
    file.WriteDataBin(std::string_view("data"));
    file.CloseFile();
    EXPECT_EQ(Contents(PathOf(name)), "data") << name;
    EXPECT_TRUE(fs::remove(PathOf(name)));
  }
  EXPECT_TRUE(fs::is_empty(dir_.Path())) << "no other name was written";
}

TEST_F(FileTest, ClosedObjectRaisesInvalidHandleForTransfersAndAnswersZeroForQueries) {
  File file;
  std::vector<std::uint8_t> bytes(10, 7);
  std::int16_t word = 0;
  std::string text = "keep";
  EXPECT_RAISES(file.ReadDataBin(bytes), 8506, "File:ReadDataBin");
  EXPECT_RAISES(file.ReadDataInt(word), 8506, "File:ReadDataInt");
  EXPECT_RAISES(file.ReadDataStr(text, 3), 8506, "File:ReadDataStr");
  EXPECT_RAISES(file.WriteDataBin(std::string_view("x")), 8506, "File:WriteDataBin");
  EXPECT_RAISES(file.WriteDataLng(1), 8506, "File:WriteDataLng");
  EXPECT_RAISES(file.WriteDataStr("x"), 8506, "File:WriteDataStr");
  EXPECT_RAISES(file.ResizeToPosition(), 8506, "File:ResizeToPosition");
  EXPECT_RAISES(file.LockRange(0, 1, true), 8506, "File:LockRange");
  EXPECT_EQ(bytes, std::vector<std::uint8_t>(10, 7));
  EXPECT_EQ(text, "keep");
  file.Position(100);
  file.FlushBuffers();
  EXPECT_EQ(file.Position(), 0);
  EXPECT_EQ(file.Size(), 0);
}

// --- Position, size and resizing ----------------------------------------------

TEST_F(FileTest, PositionIsOneBasedAbsoluteOrRelativeAndNeverBeforeTheFirstByte) {
  File file;
  file.OpenFile(PathOf("p"), kReadWrite, 0, true);
  EXPECT_EQ(file.Position(), 1);
  file.WriteDataBin(std::string_view("abcdefghij"));
  EXPECT_EQ(file.Position(), 11);
  file.Position(4);
  std::uint8_t byte = 0;
  file.ReadDataByt(byte);
  EXPECT_EQ(byte, 'd');
  file.Position(9);
  EXPECT_RAISES(file.Position(0), 8631, "File:Position:Set");
  EXPECT_RAISES(file.Position(INT64_MIN), 8631, "File:Position:Set");
  file.SeekMode(File::kSeekRelative);
  file.Position(-3);
  EXPECT_EQ(file.Position(), 6);
  EXPECT_RAISES(file.Position(-6), 8631, "File:Position:Set");
  EXPECT_EQ(file.Position(), 6) << "a refused move keeps the position";
  file.Position(2);
  std::string text;
  file.ReadDataStr(text, 2);
  EXPECT_EQ(text, "hi");
}

TEST_F(FileTest, WritesAfterTheLastByteAppendAndResizeCutsOrExtendsWithZeros) {
  const std::string path = MakeFile("z", "ab");
  File file;
  file.OpenFile(path, kReadWrite, 0, false);
  file.Position(file.Size() + 1);
  file.WriteDataBin(std::string_view("cd"));
  file.Position(8);
  file.ResizeToPosition();
  EXPECT_EQ(file.Size(), 7);
  EXPECT_EQ(Contents(path), std::string("abcd\0\0\0", 7));
  file.Position(1);
  file.ResizeToPosition();
  file.CloseFile();
  EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(FileTest, SizesPositionsAndResizingCrossFourGiB) {
  // A sparse file: only the last block holds data.
  const std::string path = PathOf("sparse.bin");
  const std::int64_t far = 5 * kGiB + 123;
  File file;
  file.OpenFile(path, kReadWrite, 0, true);
  file.Position(far + 1);
  file.WriteDataLng(0x01020304);
  EXPECT_EQ(file.Size(), far + 4);
  EXPECT_EQ(file.Position(), far + 5);
  file.Position(far + 1);
  std::int32_t value = 0;
  file.ReadDataLng(value);
  EXPECT_EQ(value, 0x01020304);
  // The same low 32 bits of the offset hold only the hole's zeros.
  file.Position((far & 0xFFFFFFFF) + 1);
  file.ReadDataLng(value);
  EXPECT_EQ(value, 0);
  file.Position(4 * kGiB + 3);
  file.ResizeToPosition();
  file.SeekMode(File::kSeekRelative);
  file.Position(-(4 * kGiB));
  EXPECT_EQ(file.Position(), 3);
  file.CloseFile();
  EXPECT_EQ(fs::file_size(path), static_cast<std::uintmax_t>(4 * kGiB + 2));
}

// --- Reading and writing bytes -----------------------------------------------

TEST_F(FileTest, LargeChunksRoundTripAndAReadAtTheEndShrinksTheBuffer) {
  const std::string chunk = test_common::RandomBytes(3 * 1024 * 1024 + 17, 2);
  const auto size = static_cast<std::int64_t>(chunk.size());
  File file;
  file.OpenFile(PathOf("big"), kReadWrite, 0, true);
  file.WriteDataBin(chunk);
  file.WriteDataBin(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()));
  EXPECT_EQ(file.BytesTransferred(), size);
  EXPECT_EQ(file.Size(), 2 * size);
  file.Position(size + 1);
  std::string back(chunk.size(), '\0');
  file.ReadDataBin(back);
  EXPECT_TRUE(back == chunk);
  file.Position(2 * size - 100 + 1);
  std::vector<std::uint8_t> buffer(6144, 0xEE);
  file.ReadDataBin(buffer);
  EXPECT_EQ(file.BytesTransferred(), 100);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), chunk.substr(chunk.size() - 100));
  buffer.assign(16, 1);
  file.ReadDataBin(buffer);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(file.BytesTransferred(), 0);
  file.ReadDataBin(back);
  EXPECT_EQ(back, "");
}

TEST_F(FileTest, ExMembersUseCallerMemoryAndIgnoreCountsBelowOne) {
  const std::string path = MakeFile("ex", "0123456789");
  File file;
  file.OpenFile(path, kReadWrite, 0, false);
  char memory[8] = "-------";
  file.ReadDataBinEx(memory + 2, 3);
  EXPECT_EQ(std::string(memory), "--012--");
  EXPECT_EQ(file.BytesTransferred(), 3);
  file.ReadDataBinEx(memory, 0);
  file.ReadDataBinEx(memory, -4);
  EXPECT_EQ(std::string(memory), "--012--");
  EXPECT_EQ(file.Position(), 4);
  file.WriteDataBinEx("XY", 2);
  file.WriteDataBinEx("ZZ", -1);
  file.Position(9);
  file.ReadDataBinEx(memory, 5);  // two bytes left
  EXPECT_EQ(file.BytesTransferred(), 2);
  file.CloseFile();
  EXPECT_EQ(Contents(path), "012XY56789");
}

TEST_F(FileTest, IntegersAreLittleEndianAndOneCutShortKeepsItsHighBytes) {
  const std::string path = PathOf("ints");
  File file;
  file.OpenFile(path, kReadWrite, 0, true);
  file.WriteDataByt(0xAB);
  file.WriteDataInt(-2);
  file.WriteDataLng(0x11223344);
  file.WriteDataInt(0x0201);
  EXPECT_EQ(Contents(path), std::string("\xAB\xFE\xFF\x44\x33\x22\x11\x01\x02", 9));
  file.Position(1);
  std::uint8_t byte = 0;
  std::int16_t word = 0;
  std::int32_t dword = 0x7A7B7C7D;
  file.ReadDataByt(byte);
  file.ReadDataInt(word);
  EXPECT_EQ(byte, 0xAB);
  EXPECT_EQ(word, -2);
  file.Position(8);
  file.ReadDataLng(dword);
  EXPECT_EQ(file.BytesTransferred(), 2);
  EXPECT_EQ(dword, 0x7A7B0201);
  file.ReadDataLng(dword);
  EXPECT_EQ(file.BytesTransferred(), 0);
  EXPECT_EQ(dword, 0x7A7B0201);
}

TEST_F(FileTest, TransferWithoutTheRightOrRoomIsRefused) {
  const std::string path = MakeFile("rw", "abc");
  File reader;
  reader.OpenFile(path, kRead, 0, false);
  EXPECT_RAISES(reader.WriteDataBin(std::string_view("x")), 8505, "File:WriteDataBin");
  EXPECT_RAISES(reader.WriteDataInt(1), 8505, "File:WriteDataInt)");
  EXPECT_RAISES(reader.ResizeToPosition(), 8505, "File:ResizeToPosition");
  File writer;
  writer.OpenFile(path, kWrite, 0, false);
  std::string buffer(3, '\0');
  EXPECT_RAISES(writer.ReadDataBin(buffer), 8505, "File:ReadDataBin");
  EXPECT_EQ(buffer, std::string(3, '\0'));
  EXPECT_EQ(Contents(path), "abc");
  File full;
  full.OpenFile("/dev/full", kWrite, 0, false);
  EXPECT_RAISES(full.WriteDataBin(std::string_view("data")), 8612, "File:WriteDataBin");
  EXPECT_EQ(full.BytesTransferred(), 0);
}

// --- Text ------------------------------------------------------------------------

TEST_F(FileTest, AnsiTextIsTheGreekCodePageAndReadStopsAtTheEnd) {
  const std::string path = PathOf("t");
  File file;
  file.OpenFile(path, kReadWrite, 0, true);
  file.WriteDataStr("");
  EXPECT_EQ(file.Size(), 0) << "empty text without CR LF writes nothing";
  file.WriteDataStr("\u0393\u03B5\u03B9\u03AC \u6587");  // "Γειά" and a CJK character
  EXPECT_EQ(file.BytesTransferred(), 6);
  file.AutoAppendNewLineString(true);
  file.WriteDataStr("");
  EXPECT_EQ(Contents(path), "\xC3\xE5\xE9\xDC ?\r\n");
  file.Position(1);
  std::string text = "old";
  file.ReadDataStr(text, 0);
  EXPECT_EQ(text, "");
  file.ReadDataStr(text, 4);
  EXPECT_EQ(text, "\u0393\u03B5\u03B9\u03AC");
  file.ReadDataStr(text, 1000000000);  // far more than the file holds
  EXPECT_EQ(text, " ?\r\n");
  EXPECT_EQ(file.BytesTransferred(), 4);
  file.ReadDataStr(text, 5);
  EXPECT_EQ(text, "");
  EXPECT_EQ(file.BytesTransferred(), 0);
}

TEST_F(FileTest, Utf16TextTakesTwoBytesPerCharacterAndOtherTypesReadCountBytes) {
  const std::string path = PathOf("u");
  File file;
  file.OpenFile(path, kReadWrite, 0, true);
  file.StringType(File::kStringUtf16);
  file.AutoAppendNewLineString(true);
  file.WriteDataStr("\u03A9\u6587");  // Ω and a CJK character
  EXPECT_EQ(file.BytesTransferred(), 8);
  EXPECT_EQ(Contents(path), std::string("\xA9\x03\x87\x65\r\0\n\0", 8));
  file.Position(1);
  std::string text;
  file.ReadDataStr(text, 2);
  EXPECT_EQ(text, "\u03A9\u6587");
  EXPECT_EQ(file.BytesTransferred(), 4);
  file.StringType(7);
  file.Position(1);
  file.ReadDataStr(text, 4);
  EXPECT_EQ(text, "\u03A9\u6587");
  EXPECT_EQ(file.BytesTransferred(), 4);
}

// --- Sharing ---------------------------------------------------------------------

TEST_F(FileTest, SecondOpenerIsRefusedWhatTheFirstDeniesAndMayNotDenyWhatItDoes) {
  const std::string path = MakeFile("s", "abc");
  struct Case {
    std::uint32_t first_access;
    std::uint8_t first_deny;
    std::uint32_t second_access;
    std::uint8_t second_deny;
    bool refused;
  };
  const Case cases[] = {
      {kWrite, File::kDenyWrite, kReadWrite, File::kDenyNone, true},
      {kWrite, File::kDenyWrite, kRead, File::kDenyNone, false},
      {kReadWrite, File::kDenyRead, kRead, File::kDenyNone, true},
      {kReadWrite, File::kDenyRead, kWrite, File::kDenyNone, false},
      {kWrite, File::kDenyNone, kRead, File::kDenyWrite, true},  // a writer is already there
      {kRead, File::kDenyNone, kWrite, File::kDenyRead, true},   // a reader is already there
      {kRead, File::kDenyWrite, kRead, File::kDenyWrite, false},
      {kRead, File::kDenyWrite, kWrite, File::kDenyNone, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "first " << c.first_access << "/" << int{c.first_deny} << ", second "
                 << c.second_access << "/" << int{c.second_deny});
    File first;
    first.OpenFile(path, c.first_access, c.first_deny, false);
    File second;
    if (c.refused) {
      EXPECT_RAISES(second.OpenFile(path, c.second_access, c.second_deny, false), 8532,
                    "File:OpenFile");
      EXPECT_FALSE(second.IsOpen());
    } else {
      second.OpenFile(path, c.second_access, c.second_deny, false);
      EXPECT_EQ(second.Size(), 3);
    }
  }
}

TEST_F(FileTest, ClosingOrAFailedOpenLeavesNoClaimBehind) {
  const std::string path = MakeFile("s", "abc");
  File first;
  first.OpenFile(path, kReadWrite, File::kDenyRead | File::kDenyWrite, false);
  File second;
  EXPECT_RAISES(second.OpenFile(path, kRead, 0, false), 8532, "File:OpenFile");
  first.CloseFile();
  second.OpenFile(path, kWrite, 0, false);
  {
    File scoped;
    scoped.OpenFile(path, kRead, File::kDenyRead, false);
    EXPECT_RAISES(first.OpenFile(path, kRead, 0, false), 8532, "File:OpenFile");
  }
  first.OpenFile(path, kRead, 0, false);  // the destructor closed it
  File denier;
  EXPECT_RAISES(denier.OpenFile(path, kRead, File::kDenyWrite | File::kDenyRead, false), 8532,
                "File:OpenFile");
  second.CloseFile();
  first.CloseFile();
  File reader;  // the refused opener's deny-read must not linger
  reader.OpenFile(path, kRead, 0, false);
}

TEST_F(FileTest, ClaimBindsAnotherProcess) {
  const std::string path = MakeFile("s", "abc");
  File holder;
  holder.OpenFile(path, kWrite, File::kDenyWrite, false);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(20);  // a hung child dies instead of hanging the test
    File other;
    try {
      other.OpenFile(path, kWrite, 0, false);
    } catch (const Error& error) {
      ::_exit(error.Number() == 8532 ? 0 : 2);
    }
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the other process opened the file";
}

// --- Byte-range locks --------------------------------------------------------------

TEST_F(FileTest, LockedRangeRefusesOverlapsByOthersUntilUnlockedOrClosed) {
  const std::string path = MakeFile("l", std::string(100, 'x'));
  File one, two, three;
  one.OpenFile(path, kReadWrite, 0, false);
  two.OpenFile(path, kRead, 0, false);
  three.OpenFile(path, kReadWrite, 0, false);
  one.LockRange(10, 19, true);
  EXPECT_RAISES(three.LockRange(19, 30, false), 8533, "File:LockRange");
  three.LockRange(20, 30, true);  // the bytes after the range are free
  one.UnlockRange(10, 19);
  one.LockRange(40, 59, false);
  two.LockRange(50, 74, false);  // shared ranges coexist
  EXPECT_RAISES(three.LockRange(60, 60, true), 8533, "File:LockRange");
  two.CloseFile();  // closing drops its locks
  three.LockRange(60, 60, true);
  three.LockRange(0, 9, false);
}

TEST_F(FileTest, OwnRangesFollowTheOverlapRulesAndUnlockNamesOneExactly) {
  const std::string path = MakeFile("l", std::string(100, 'x'));
  File mine, other;
  mine.OpenFile(path, kReadWrite, 0, false);
  other.OpenFile(path, kReadWrite, 0, false);
  mine.LockRange(80, 89, true);
  EXPECT_RAISES(mine.LockRange(85, 94, true), 8533, "File:LockRange");
  EXPECT_RAISES(mine.LockRange(89, 89, false), 8533, "File:LockRange");
  EXPECT_RAISES(mine.UnlockRange(80, 85), 8658, "File:UnlockRange");
  mine.UnlockRange(80, 89);
  EXPECT_RAISES(mine.UnlockRange(80, 89), 8658, "File:UnlockRange");
  EXPECT_RAISES(mine.LockRange(10, 9, true), 5, "File:LockRange");
  EXPECT_RAISES(mine.UnlockRange(10, 9), 5, "File:UnlockRange");
  // Unlocking one of two overlapping shared ranges frees only its own bytes.
  mine.LockRange(0, 49, false);
  mine.LockRange(40, 59, false);
  mine.UnlockRange(0, 49);
  other.LockRange(0, 39, true);
  EXPECT_RAISES(other.LockRange(45, 45, true), 8533, "File:LockRange");
  mine.UnlockRange(40, 59);
  other.LockRange(45, 45, true);
}

TEST_F(FileTest, RangesAboveFourGiBAreNotFoldedOntoLowOffsets) {
  const std::string path = MakeFile("l", "x");
  File one, two;
  one.OpenFile(path, kReadWrite, 0, false);
  two.OpenFile(path, kReadWrite, 0, false);
  one.LockRange(4 * kGiB + 10, 4 * kGiB + 19, true);
  two.LockRange(10, 19, true);  // the same low 32 bits, a different range
  EXPECT_RAISES(two.LockRange(4 * kGiB + 15, 4 * kGiB + 15, false), 8533, "File:LockRange");
  // Locking and unlocking up to the largest offset leaves the sharing claims
  // of the object in place: its write access still keeps out a write denier.
  one.CloseFile();
  two.UnlockRange(10, 19);
  two.LockRange(5 * kGiB, INT64_MAX, false);
  two.UnlockRange(5 * kGiB, INT64_MAX);
  File denier;
  EXPECT_RAISES(denier.OpenFile(path, kRead, File::kDenyWrite, false), 8532, "File:OpenFile");
  two.CloseFile();
  denier.OpenFile(path, kRead, File::kDenyWrite, false);
}

// --- Policies ----------------------------------------------------------------------

TEST_F(FileTest, PoliciesCannotChangeWhileOpenAndApplyAtTheNextOpen) {
  const std::string path = MakeFile("p", "abc");
  File file;
  file.OpenFile(path, kWrite, 0, false);
  EXPECT_RAISES(file.UseSystemBuffering(false), 8499, "File:UseSystemBuffering:Set");
  EXPECT_RAISES(file.WriteThrough(true), 8499, "File:WriteThrough:Set");
  EXPECT_TRUE(file.UseSystemBuffering());
  EXPECT_FALSE(file.WriteThrough());
  const auto flags = [&] { return ::fcntl(static_cast<int>(file.hFile()), F_GETFL); };
  EXPECT_EQ(flags() & (O_DIRECT | O_DSYNC), 0);
  file.CloseFile();
  file.WriteThrough(true);
  file.UseSystemBuffering(false);
  file.OpenFile(path, kWrite, 0, false);
  EXPECT_EQ(flags() & O_DSYNC, O_DSYNC);
  struct statfs info {};
  constexpr long kTmpfsMagic = 0x01021994;  // has no unbuffered mode: opens buffered
  if (::statfs(dir_.Path().c_str(), &info) == 0 && info.f_type != kTmpfsMagic) {
    EXPECT_EQ(flags() & O_DIRECT, O_DIRECT);
  }
  file.CloseFile();
  file.UseSystemBuffering(true);  // unbuffered writes need aligned memory
  file.OpenFile(path, kWrite, 0, false);
  file.WriteDataBin(std::string_view("x"));
  file.CloseFile();
  EXPECT_EQ(Contents(path), "xbc");
}

}  // namespace
}  // namespace support
