#include "support/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/expect_error.h"
#include "common/process.h"
#include "support/error.h"

namespace support {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRead = File::kGenericRead;
constexpr std::uint32_t kWrite = File::kGenericWrite;
constexpr std::uint32_t kReadWrite = File::kGenericRead | File::kGenericWrite;
constexpr std::int64_t kGiB = std::int64_t{1} << 30;

using test_common::ExpectError;

/// Expects `call` to raise support::Error `number` from `source`.
#define EXPECT_RAISES(call, number, source) \
  EXPECT_EQ(ExpectError((number), [&] { call; }), (source)) << #call

class FileTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return (dir_.Path() / name).string(); }

  std::string MakeFile(const std::string& name, const std::string& bytes) const {
    const std::string path = PathOf(name);
    test_common::WriteFile(path, bytes);
    return path;
  }

  static std::string Contents(const std::string& path) { return test_common::ReadFile(path); }

  static std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
  }

  test_common::TempDir dir_;
};

TEST_F(FileTest, RaisedErrorsCarryTheSystemText) {
  const std::string path = MakeFile("held", "abc");
  File holder;
  holder.OpenFile(path, kWrite, File::kDenyWrite, false);
  holder.LockRange(10, 19, true);
  File full;
  full.OpenFile("/dev/full", kWrite, 0, false);
  File file;
  struct Case {
    int number;
    const char* text;
    std::function<void()> call;
  };
  const Case cases[] = {
      {8502, "The system cannot find the file specified.",
       [&] { file.OpenFile(PathOf("absent"), kRead, 0, true); }},
      {8503, "The system cannot find the path specified.",
       [&] { file.OpenFile(PathOf("no-such-dir/x"), kWrite, 0, true); }},
      {8506, "The handle is invalid.", [&] { file.ResizeToPosition(); }},
      {8532, "The process cannot access the file because it is being used by another process.",
       [&] { file.OpenFile(path, kReadWrite, 0, false); }},
      {8533,
       "The process cannot access the file because another process has locked a portion "
       "of the file.",
       [&] { holder.LockRange(15, 15, true); }},
      {8612, "There is not enough space on the disk.",
       [&] { full.WriteDataBin(std::string_view("data")); }},
      {8658, "The segment is already unlocked.", [&] { holder.UnlockRange(10, 15); }},
      {8499, "System buffering policy cannot be changed after the file has been opened.",
       [&] { holder.UseSystemBuffering(false); }},
      {8499, "Write through policy cannot be changed after the file has been opened.",
       [&] { holder.WriteThrough(true); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      c.call();
      ADD_FAILURE() << "raised nothing";
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), c.number);
      EXPECT_EQ(error.Description(), c.text);
    }
  }
}

// --- Opening ----------------------------------------------------------------

using FileOpenTest = FileTest;

TEST_F(FileOpenTest, CreateFlagWithWriteAccessCreatesAMissingFile) {
  File file;
  file.OpenFile(PathOf("new.bin"), kWrite, File::kDenyNone, true);
  EXPECT_TRUE(fs::exists(PathOf("new.bin")));
  EXPECT_EQ(file.Size(), 0);
  EXPECT_EQ(file.FileName(), PathOf("new.bin"));
  EXPECT_GT(file.hFile(), 2);
}

TEST_F(FileOpenTest, FailedOpenRaisesTheSystemNumberAndLeavesTheObjectClosed) {
  const std::string existing = MakeFile("plain", "abc");
  struct Case {
    std::string path;
    std::uint32_t access;
    bool create;
    int number;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    File file;
    EXPECT_RAISES(file.OpenFile(c.path, c.access, 0, c.create), c.number, "File:OpenFile");
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.hFile(), 0);
    EXPECT_EQ(file.FileName(), "");
  }
  EXPECT_FALSE(fs::exists(PathOf("absent")));
}

TEST_F(FileOpenTest, FileWithoutPermissionRaisesAccessDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  const std::string path = MakeFile("locked", "abc");
  fs::permissions(path, fs::perms::none);
  File file;
  EXPECT_RAISES(file.OpenFile(path, kRead, 0, false), 8505, "File:OpenFile");
}

TEST_F(FileOpenTest, OpeningNeverTruncates) {
  const std::string path = MakeFile("keep", "0123456789");
  File file;
  file.OpenFile(path, kWrite, 0, true);
  EXPECT_EQ(file.Size(), 10);
  file.CloseFile();
  EXPECT_EQ(Contents(path), "0123456789");
}

TEST_F(FileOpenTest, GreekNameLandsOnDiskAsTheSameUtf8Name) {
  const std::string name = "\u0391\u03C1\u03C7\u03B5\u03AF\u03BF.txt";  // Αρχείο.txt
  File file;
  file.OpenFile(PathOf(name), kWrite, 0, true);
  file.WriteDataBin(std::string_view("data"));
  file.CloseFile();
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_.Path()))
    names.push_back(entry.path().filename());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], name);
  EXPECT_EQ(Contents(PathOf(name)), "data");
}

TEST_F(FileOpenTest, NameOutsideTheGreekCodePageStillOpens) {
  const std::string name = "\u6587\u4EF6-\U0001F600";  // CJK and an emoji
  const std::string path = MakeFile(name, "xyz");
  File file;
  file.OpenFile(path, kRead, 0, false);
  EXPECT_EQ(file.Size(), 3);
}

TEST_F(FileOpenTest, CloseClearsNameHandleAndCount) {
  const std::string path = MakeFile("c", "abcdef");
  File file;
  file.OpenFile(path, kRead, 0, false);
  std::string buffer(4, '\0');
  file.ReadDataBin(buffer);
  EXPECT_EQ(file.BytesTransferred(), 4);
  file.CloseFile();
  EXPECT_EQ(file.hFile(), 0);
  EXPECT_EQ(file.FileName(), "");
  EXPECT_EQ(file.BytesTransferred(), 0);
  file.CloseFile();  // closing twice is harmless
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(FileOpenTest, ReopeningWithoutClosingReleasesTheFirstFile) {
  const std::string first = MakeFile("first", "1");
  const std::string second = MakeFile("second", "22");
  File file;
  file.OpenFile(first, kWrite, File::kDenyRead | File::kDenyWrite, false);
  file.OpenFile(second, kRead, 0, false);
  EXPECT_EQ(file.FileName(), second);
  EXPECT_EQ(file.Size(), 2);
  File other;  // the first file is no longer claimed
  other.OpenFile(first, kReadWrite, 0, false);
}

// --- Position, size and resizing ----------------------------------------------

using FilePositionTest = FileTest;

TEST_F(FilePositionTest, PositionIsOneBasedAndFollowsWrites) {
  File file;
  file.OpenFile(PathOf("p"), kReadWrite, 0, true);
  EXPECT_EQ(file.Position(), 1);
  file.WriteDataBin(std::string_view("0123456789"));
  EXPECT_EQ(file.Position(), 11);
  EXPECT_EQ(file.BytesTransferred(), 10);
  file.Position(4);
  std::uint8_t byte = 0;
  file.ReadDataByt(byte);
  EXPECT_EQ(byte, '3');
}

TEST_F(FilePositionTest, ResizeToPositionCutsOrExtendsWithZeros) {
  const std::string path = MakeFile("z", "ab");
  File file;
  file.OpenFile(path, kReadWrite, 0, false);
  file.Position(6);
  file.ResizeToPosition();
  EXPECT_EQ(file.Size(), 5);
  EXPECT_EQ(Contents(path), std::string("ab\0\0\0", 5));
  file.Position(1);
  file.ResizeToPosition();
  EXPECT_EQ(file.Size(), 0);
  file.CloseFile();
  EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(FilePositionTest, PositionAfterTheLastByteAppends) {
  const std::string path = MakeFile("log", "line1\r\n");
  File file;
  file.OpenFile(path, kWrite, File::kDenyWrite, true);
  file.Position(file.Size() + 1);
  file.WriteDataBin(std::string_view("line2\r\n"));
  file.CloseFile();
  EXPECT_EQ(Contents(path), "line1\r\nline2\r\n");
}

TEST_F(FilePositionTest, RelativeSeekModeMovesFromTheCurrentByte) {
  const std::string path = MakeFile("s", "abcdefghij");
  File file;
  file.OpenFile(path, kRead, 0, false);
  file.Position(9);
  file.SeekMode(File::kSeekRelative);
  file.Position(-3);
  EXPECT_EQ(file.Position(), 6);
  file.Position(2);
  std::string text;
  file.ReadDataStr(text, 2);
  EXPECT_EQ(text, "hi");
}

TEST_F(FilePositionTest, MovingBeforeTheFirstByteRaisesAndKeepsThePosition) {
  const std::string path = MakeFile("s", "abcdefghij");
  File file;
  file.OpenFile(path, kRead, 0, false);
  file.Position(5);
  EXPECT_RAISES(file.Position(0), 8631, "File:Position:Set");
  EXPECT_EQ(file.Position(), 5);
  EXPECT_RAISES(file.Position(INT64_MIN), 8631, "File:Position:Set");
  file.SeekMode(File::kSeekRelative);
  EXPECT_RAISES(file.Position(-5), 8631, "File:Position:Set");
  EXPECT_EQ(file.Position(), 5);
}

TEST_F(FilePositionTest, SizesAndPositionsCrossFourGiB) {
  // A sparse file: only the last block holds data.
  const std::string path = PathOf("sparse.bin");
  const std::int64_t far = 5 * kGiB + 123;
  File file;
  file.OpenFile(path, kReadWrite, 0, true);
  file.Position(far + 1);
  EXPECT_EQ(file.Position(), far + 1);
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
  EXPECT_EQ(file.Size(), 4 * kGiB + 2);
  file.SeekMode(File::kSeekRelative);
  file.Position(-(4 * kGiB));
  EXPECT_EQ(file.Position(), 3);
  file.CloseFile();
  EXPECT_EQ(fs::file_size(path), static_cast<std::uintmax_t>(4 * kGiB + 2));
}

// --- Reading and writing bytes -----------------------------------------------

using FileDataTest = FileTest;

TEST_F(FileDataTest, ReadNearTheEndShrinksTheArrayToWhatWasLeft) {
  const std::string content = Pattern(20000);
  const std::string path = MakeFile("d", content);
  File file;
  file.OpenFile(path, kRead, File::kDenyWrite, false);
  file.Position(file.Size() - 100 + 1);
  std::vector<std::uint8_t> buffer(6144, 0xEE);
  file.ReadDataBin(buffer);
  ASSERT_EQ(buffer.size(), 100u);
  EXPECT_EQ(file.BytesTransferred(), 100);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), content.substr(20000 - 100));
}

TEST_F(FileDataTest, ReadAtTheEndGivesAnEmptyArray) {
  const std::string path = MakeFile("d", "abc");
  File file;
  file.OpenFile(path, kRead, 0, false);
  file.Position(4);
  std::vector<std::uint8_t> buffer(16, 1);
  file.ReadDataBin(buffer);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(file.BytesTransferred(), 0);
  std::string text(8, 'x');
  file.ReadDataBin(text);
  EXPECT_EQ(text, "");
}

TEST_F(FileDataTest, LargeChunksRoundTripUnchanged) {
  const std::string chunk = Pattern(3 * 1024 * 1024 + 17);
  const std::string path = PathOf("big");
  File file;
  file.OpenFile(path, kReadWrite, 0, true);
  file.WriteDataBin(chunk);
  file.WriteDataBin(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()));
  EXPECT_EQ(file.BytesTransferred(), static_cast<std::int64_t>(chunk.size()));
  EXPECT_EQ(file.Size(), 2 * static_cast<std::int64_t>(chunk.size()));
  file.Position(static_cast<std::int64_t>(chunk.size()) + 1);
  std::string back(chunk.size(), '\0');
  file.ReadDataBin(back);
  EXPECT_TRUE(back == chunk);
}

TEST_F(FileDataTest, ExMembersUseCallerMemoryAndIgnoreCountsBelowOne) {
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

TEST_F(FileDataTest, IntegersAreLittleEndian) {
  const std::string path = PathOf("ints");
  File file;
  file.OpenFile(path, kReadWrite, 0, true);
  file.WriteDataByt(0xAB);
  file.WriteDataInt(-2);
  file.WriteDataLng(0x11223344);
  EXPECT_EQ(file.BytesTransferred(), 4);
  file.Position(1);
  std::uint8_t byte = 0;
  std::int16_t word = 0;
  std::int32_t dword = 0;
  file.ReadDataByt(byte);
  file.ReadDataInt(word);
  file.ReadDataLng(dword);
  EXPECT_EQ(byte, 0xAB);
  EXPECT_EQ(word, -2);
  EXPECT_EQ(dword, 0x11223344);
  file.CloseFile();
  EXPECT_EQ(Contents(path), std::string("\xAB\xFE\xFF\x44\x33\x22\x11", 7));
}

TEST_F(FileDataTest, IntegerCutShortByTheEndKeepsItsHighBytes) {
  const std::string path = MakeFile("short", std::string("\x01\x02", 2));
  File file;
  file.OpenFile(path, kRead, 0, false);
  std::int32_t value = 0x7A7B7C7D;
  file.ReadDataLng(value);
  EXPECT_EQ(file.BytesTransferred(), 2);
  EXPECT_EQ(value, 0x7A7B0201);
  file.ReadDataLng(value);
  EXPECT_EQ(file.BytesTransferred(), 0);
  EXPECT_EQ(value, 0x7A7B0201);
}

TEST_F(FileDataTest, HandleWithoutTheRightRefusesTheTransfer) {
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
}

TEST_F(FileDataTest, FullDeviceRaisesDiskFull) {
  File file;
  file.OpenFile("/dev/full", kWrite, 0, false);
  EXPECT_RAISES(file.WriteDataBin(std::string_view("data")), 8612, "File:WriteDataBin");
  EXPECT_EQ(file.BytesTransferred(), 0);
}

// --- Closed object -------------------------------------------------------------

using FileClosedTest = FileTest;

TEST_F(FileClosedTest, TransfersRaiseInvalidHandleQueriesAnswerZeroMovesDoNothing) {
  File file;
  std::vector<std::uint8_t> bytes(10, 7);
  EXPECT_RAISES(file.ReadDataBin(bytes), 8506, "File:ReadDataBin");
  EXPECT_EQ(bytes, std::vector<std::uint8_t>(10, 7));
  std::int16_t word = 0;
  std::string text = "keep";
  EXPECT_RAISES(file.ReadDataInt(word), 8506, "File:ReadDataInt");
  EXPECT_RAISES(file.ReadDataStr(text, 3), 8506, "File:ReadDataStr");
  EXPECT_RAISES(file.WriteDataBin(std::string_view("x")), 8506, "File:WriteDataBin");
  EXPECT_RAISES(file.WriteDataLng(1), 8506, "File:WriteDataLng");
  EXPECT_RAISES(file.WriteDataStr("x"), 8506, "File:WriteDataStr");
  EXPECT_RAISES(file.ResizeToPosition(), 8506, "File:ResizeToPosition");
  EXPECT_RAISES(file.LockRange(0, 1, true), 8506, "File:LockRange");
  EXPECT_EQ(file.BytesTransferred(), 0);
  // Queries answer zero and moves do nothing.
  EXPECT_EQ(file.Position(), 0);
  EXPECT_EQ(file.Size(), 0);
  EXPECT_EQ(file.hFile(), 0);
  file.Position(100);
  file.FlushBuffers();
  EXPECT_EQ(file.Position(), 0);
}

// --- Text ------------------------------------------------------------------------

using FileTextTest = FileTest;

TEST_F(FileTextTest, AnsiTextIsWrittenInTheGreekCodePage) {
  const std::string path = PathOf("t");
  File file;
  file.OpenFile(path, kReadWrite, 0, true);
  file.WriteDataStr("\u0393\u03B5\u03B9\u03AC \u6587");  // "Γειά" and a CJK character
  EXPECT_EQ(file.BytesTransferred(), 6);
  file.Position(1);
  std::string text;
  file.ReadDataStr(text, 4);
  EXPECT_EQ(text, "\u0393\u03B5\u03B9\u03AC");
  file.CloseFile();
  EXPECT_EQ(Contents(path), "\xC3\xE5\xE9\xDC ?");
}

TEST_F(FileTextTest, EmptyTextWritesNothingOrOnlyCrLf) {
  const std::string path = PathOf("t");
  File file;
  file.OpenFile(path, kWrite, 0, true);
  file.WriteDataStr("");
  EXPECT_EQ(file.Size(), 0);
  file.AutoAppendNewLineString(true);
  file.WriteDataStr("");
  EXPECT_EQ(file.Size(), 2);
  file.WriteDataStr("x");
  file.CloseFile();
  EXPECT_EQ(Contents(path), "\r\nx\r\n");
}

TEST_F(FileTextTest, Utf16TextTakesTwoBytesPerCharacter) {
  const std::string path = PathOf("u");
  File file;
  file.OpenFile(path, kReadWrite, 0, true);
  file.StringType(File::kStringUtf16);
  file.AutoAppendNewLineString(true);
  file.WriteDataStr("\u03A9\u6587");  // Ω and a CJK character
  EXPECT_EQ(file.BytesTransferred(), 8);
  file.Position(1);
  std::string text;
  file.ReadDataStr(text, 2);
  EXPECT_EQ(text, "\u03A9\u6587");
  EXPECT_EQ(file.BytesTransferred(), 4);
  file.CloseFile();
  EXPECT_EQ(Contents(path), std::string("\xA9\x03\x87\x65\r\0\n\0", 8));
}

TEST_F(FileTextTest, OtherStringTypesReadCountBytesAsUtf16) {
  const std::string path = MakeFile("o", std::string("A\0B\0C\0", 6));
  File file;
  file.OpenFile(path, kRead, 0, false);
  file.StringType(7);
  std::string text;
  file.ReadDataStr(text, 4);
  EXPECT_EQ(text, "AB");
  EXPECT_EQ(file.BytesTransferred(), 4);
}

TEST_F(FileTextTest, ReadStopsAtTheEndAndNonPositiveCountsGiveEmptyText) {
  const std::string path = MakeFile("e", "abc");
  File file;
  file.OpenFile(path, kRead, 0, false);
  std::string text = "old";
  file.ReadDataStr(text, 0);
  EXPECT_EQ(text, "");
  file.ReadDataStr(text, 1000000000);  // far more than the file holds
  EXPECT_EQ(text, "abc");
  EXPECT_EQ(file.BytesTransferred(), 3);
  file.ReadDataStr(text, 5);
  EXPECT_EQ(text, "");
  EXPECT_EQ(file.BytesTransferred(), 0);
}

// --- Sharing ---------------------------------------------------------------------

using FileShareTest = FileTest;

TEST_F(FileShareTest, SecondOpenerIsRefusedWhatTheFirstDeniesAndMayNotDenyWhatItDoes) {
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
      EXPECT_EQ(second.FileName(), "");
    } else {
      second.OpenFile(path, c.second_access, c.second_deny, false);
      EXPECT_EQ(second.Size(), 3);
    }
  }
}

TEST_F(FileShareTest, ClosingReleasesTheClaim) {
  const std::string path = MakeFile("s", "abc");
  File first;
  first.OpenFile(path, kReadWrite, File::kDenyRead | File::kDenyWrite, false);
  File second;
  EXPECT_RAISES(second.OpenFile(path, kRead, 0, false), 8532, "File:OpenFile");
  first.CloseFile();
  second.OpenFile(path, kRead, 0, false);
  {
    File scoped;
    scoped.OpenFile(path, kReadWrite, File::kDenyWrite, false);
    EXPECT_RAISES(first.OpenFile(path, kWrite, 0, false), 8532, "File:OpenFile");
  }
  first.OpenFile(path, kWrite, 0, false);  // the destructor closed it
}

TEST_F(FileShareTest, FailedOpenLeavesNoClaimBehind) {
  const std::string path = MakeFile("s", "abc");
  File writer;
  writer.OpenFile(path, kWrite, 0, false);
  File denier;
  EXPECT_RAISES(denier.OpenFile(path, kRead, File::kDenyWrite | File::kDenyRead, false), 8532,
                "File:OpenFile");
  writer.CloseFile();
  File reader;  // the refused opener's deny-read must not linger
  reader.OpenFile(path, kRead, 0, false);
}

TEST_F(FileShareTest, ClaimBindsAnotherProcess) {
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

using FileLockTest = FileTest;

TEST_F(FileLockTest, ExclusiveRangeRefusesOtherObjectsUntilUnlocked) {
  const std::string path = MakeFile("l", Pattern(100));
  File one;
  File two;
  one.OpenFile(path, kReadWrite, 0, false);
  two.OpenFile(path, kReadWrite, 0, false);
  one.LockRange(10, 19, true);
  EXPECT_RAISES(two.LockRange(19, 30, false), 8533, "File:LockRange");
  two.LockRange(20, 30, true);  // the bytes after the range are free
  one.UnlockRange(10, 19);
  two.LockRange(0, 19, false);
}

TEST_F(FileLockTest, SharedRangesCoexistButRefuseAnExclusiveOne) {
  const std::string path = MakeFile("l", Pattern(100));
  File one;
  File two;
  one.OpenFile(path, kReadWrite, 0, false);
  two.OpenFile(path, kRead, 0, false);
  one.LockRange(0, 49, false);
  two.LockRange(25, 74, false);
  File three;
  three.OpenFile(path, kReadWrite, 0, false);
  EXPECT_RAISES(three.LockRange(60, 60, true), 8533, "File:LockRange");
  two.CloseFile();  // closing drops its locks
  three.LockRange(60, 60, true);
}

TEST_F(FileLockTest, OwnExclusiveRangeMayNotOverlapAnother) {
  const std::string path = MakeFile("l", Pattern(100));
  File file;
  file.OpenFile(path, kReadWrite, 0, false);
  file.LockRange(0, 9, true);
  EXPECT_RAISES(file.LockRange(5, 14, true), 8533, "File:LockRange");
  EXPECT_RAISES(file.LockRange(9, 9, false), 8533, "File:LockRange");
  file.LockRange(10, 19, true);
}

TEST_F(FileLockTest, UnlockingOneOfTwoOverlappingSharedRangesKeepsTheOther) {
  const std::string path = MakeFile("l", Pattern(100));
  File mine;
  File other;
  mine.OpenFile(path, kReadWrite, 0, false);
  other.OpenFile(path, kReadWrite, 0, false);
  mine.LockRange(0, 49, false);
  mine.LockRange(40, 59, false);
  mine.UnlockRange(0, 49);
  other.LockRange(0, 39, true);  // only the first range's own bytes came free
  EXPECT_RAISES(other.LockRange(45, 45, true), 8533, "File:LockRange");
  mine.UnlockRange(40, 59);
  other.LockRange(45, 45, true);
}

TEST_F(FileLockTest, UnlockMustNameALockedRangeExactlyAndLastMayNotPrecedeFirst) {
  const std::string path = MakeFile("l", Pattern(100));
  File file;
  file.OpenFile(path, kReadWrite, 0, false);
  file.LockRange(10, 19, true);
  EXPECT_RAISES(file.UnlockRange(10, 15), 8658, "File:UnlockRange");
  file.UnlockRange(10, 19);
  EXPECT_RAISES(file.UnlockRange(10, 19), 8658, "File:UnlockRange");
  EXPECT_RAISES(file.LockRange(10, 9, true), 5, "File:LockRange");
  EXPECT_RAISES(file.UnlockRange(10, 9), 5, "File:UnlockRange");
}

TEST_F(FileLockTest, RangesAboveFourGiBAreNotFoldedOntoLowOffsets) {
  const std::string path = MakeFile("l", "x");
  File one;
  File two;
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

using FilePolicyTest = FileTest;

bool SupportsDirectIo(const fs::path& dir) {
  struct statfs info {};
  constexpr long kTmpfsMagic = 0x01021994;
  return ::statfs(dir.c_str(), &info) == 0 && info.f_type != kTmpfsMagic;
}

TEST_F(FilePolicyTest, BufferingCannotChangeWhileOpenAndAppliesAtNextOpen) {
  const std::string path = MakeFile("p", "abc");
  File file;
  file.OpenFile(path, kRead, 0, false);
  EXPECT_RAISES(file.UseSystemBuffering(false), 8499, "File:UseSystemBuffering:Set");
  EXPECT_TRUE(file.UseSystemBuffering());
  EXPECT_EQ(::fcntl(static_cast<int>(file.hFile()), F_GETFL) & O_DIRECT, 0);
  file.CloseFile();
  file.UseSystemBuffering(false);
  file.OpenFile(path, kRead, 0, false);
  EXPECT_FALSE(file.UseSystemBuffering());
  if (!SupportsDirectIo(dir_.Path())) GTEST_SKIP() << "this file system has no unbuffered mode";
  EXPECT_NE(::fcntl(static_cast<int>(file.hFile()), F_GETFL) & O_DIRECT, 0);
}

TEST_F(FilePolicyTest, WriteThroughCannotChangeWhileOpenAndAppliesAtNextOpen) {
  const std::string path = MakeFile("p", "abc");
  File file;
  file.OpenFile(path, kWrite, 0, false);
  EXPECT_RAISES(file.WriteThrough(true), 8499, "File:WriteThrough:Set");
  EXPECT_FALSE(file.WriteThrough());
  file.CloseFile();
  file.WriteThrough(true);
  file.OpenFile(path, kWrite, 0, false);
  EXPECT_EQ(::fcntl(static_cast<int>(file.hFile()), F_GETFL) & O_DSYNC, O_DSYNC);
  file.WriteDataBin(std::string_view("x"));
  file.CloseFile();
  EXPECT_EQ(Contents(path), "xbc");
}

}  // namespace
}  // namespace support
