// The platform-independent half of File: property rules, argument checks,
// byte layout of integers and text, and the Windows message texts. The
// platform half (file_posix.cc, file_win32.cc) moves the bytes.
#include "support/file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

#include "support/codepage.h"
#include "support/error.h"

namespace support {

File::File() = default;

File::~File() { CloseFile(); }

void File::OpenFile(std::string_view file_name, std::uint32_t access, std::uint8_t share_deny,
                    bool create) {
  if ((access & (kGenericRead | kGenericWrite)) == 0) throw InvalidArgument("File:OpenFile");
  // A caller that forgets to close would otherwise leak the handle together
  // with its sharing claims, keeping the file blocked until the program ends.
  CloseFile();
  OsOpen(file_name, access, share_deny, create);
  file_name_ = std::string(file_name);
}

void File::CloseFile() {
  if (os_) OsClose();
  os_.reset();
  file_name_.clear();
  bytes_transferred_ = 0;
}

void File::FlushBuffers() {
  if (os_) OsFlush();
}

std::intptr_t File::hFile() const { return os_ ? OsHandle() : 0; }

std::int64_t File::Position() const {
  if (!os_) return 0;
  return OsTell("File:Position:Get") + 1;
}

void File::Position(std::int64_t position) {
  if (!os_) return;
  if (seek_mode_ == kSeekRelative) {
    OsSeek(position, /*relative=*/true, "File:Position:Set");
  } else {
    // Position 0 or below would be an offset before the first byte; checked
    // here so that position - 1 cannot overflow.
    OsSeek(position < 1 ? -1 : position - 1, /*relative=*/false, "File:Position:Set");
  }
}

std::int64_t File::Size() const {
  if (!os_) return 0;
  return OsSize("File:Size:Get");
}

void File::ResizeToPosition() {
  RequireOpen("File:ResizeToPosition");
  OsTruncate("File:ResizeToPosition");
}

void File::RequireOpen(const char* source) const {
  if (!os_) {
    throw Error(ErrorBase + static_cast<std::int32_t>(win32::kInvalidHandle), source,
                FileSystemMessage(win32::kInvalidHandle));
  }
}

std::int64_t File::ReadBytes(void* data, std::int64_t count, const char* source) {
  bytes_transferred_ = 0;
  RequireOpen(source);
  if (count < 1) return 0;
  return OsRead(data, count, source);
}

void File::WriteBytes(const void* data, std::int64_t count, const char* source) {
  bytes_transferred_ = 0;
  RequireOpen(source);
  if (count < 1) return;
  OsWrite(data, count, source);
}

void File::ReadDataBin(std::vector<std::uint8_t>& data) {
  const std::int64_t got =
      ReadBytes(data.data(), static_cast<std::int64_t>(data.size()), "File:ReadDataBin");
  data.resize(static_cast<std::size_t>(got));
}

void File::ReadDataBin(std::string& data) {
  const std::int64_t got =
      ReadBytes(data.data(), static_cast<std::int64_t>(data.size()), "File:ReadDataBin");
  data.resize(static_cast<std::size_t>(got));
}

void File::WriteDataBin(std::span<const std::uint8_t> data) {
  WriteBytes(data.data(), static_cast<std::int64_t>(data.size()), "File:WriteDataBin");
}

void File::WriteDataBin(std::string_view data) {
  WriteBytes(data.data(), static_cast<std::int64_t>(data.size()), "File:WriteDataBin");
}

void File::ReadDataBinEx(void* first, std::int32_t count) {
  ReadBytes(first, count, "File:ReadDataBinEx");
}

void File::WriteDataBinEx(const void* first, std::int32_t count) {
  WriteBytes(first, count, "File:WriteDataBinEx");
}

template <typename Int>
void File::ReadLittleEndian(Int& value, const char* source) {
  std::array<std::uint8_t, sizeof(Int)> bytes{};
  const auto got = static_cast<std::size_t>(ReadBytes(bytes.data(), sizeof(Int), source));
  using U = std::make_unsigned_t<Int>;
  U result = static_cast<U>(value);
  for (std::size_t i = 0; i < got; ++i) {
    const unsigned shift = 8u * static_cast<unsigned>(i);
    result = static_cast<U>((result & ~static_cast<U>(U{0xFF} << shift)) |
                            static_cast<U>(U{bytes[i]} << shift));
  }
  value = static_cast<Int>(result);
}

template <typename Int>
void File::WriteLittleEndian(Int value, const char* source) {
  using U = std::make_unsigned_t<Int>;
  const auto bits = static_cast<U>(value);
  std::array<std::uint8_t, sizeof(Int)> bytes{};
  for (std::size_t i = 0; i < sizeof(Int); ++i) {
    bytes[i] = static_cast<std::uint8_t>(bits >> (8u * static_cast<unsigned>(i)));
  }
  WriteBytes(bytes.data(), sizeof(Int), source);
}

void File::ReadDataByt(std::uint8_t& value) { ReadLittleEndian(value, "File:ReadDataByt"); }
void File::ReadDataInt(std::int16_t& value) { ReadLittleEndian(value, "File:ReadDataInt"); }
void File::ReadDataLng(std::int32_t& value) { ReadLittleEndian(value, "File:ReadDataLng"); }
void File::WriteDataByt(std::uint8_t value) { WriteLittleEndian(value, "File:WriteDataByt"); }
// The source of this member has always ended with ")"; callers that log or
// compare it see it that way.
void File::WriteDataInt(std::int16_t value) { WriteLittleEndian(value, "File:WriteDataInt)"); }
void File::WriteDataLng(std::int32_t value) { WriteLittleEndian(value, "File:WriteDataLng"); }

void File::ReadDataStr(std::string& text, std::int32_t count) {
  static constexpr const char* kSource = "File:ReadDataStr";
  bytes_transferred_ = 0;
  RequireOpen(kSource);
  text.clear();
  if (count < 1) return;
  std::int64_t wanted = count;
  if (string_type_ == kStringUtf16) wanted *= 2;
  // The temporary block never grows past what the file still holds, however
  // many characters are asked for.
  const std::int64_t left = OsSize(kSource) - OsTell(kSource);
  std::string bytes(static_cast<std::size_t>(std::clamp<std::int64_t>(left, 0, wanted)), '\0');
  bytes.resize(static_cast<std::size_t>(
      ReadBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()), kSource)));
  text = string_type_ == kStringAnsi ? Cp1253ToUtf8(bytes) : Utf16LeBytesToUtf8(bytes);
}

void File::WriteDataStr(std::string_view text) {
  static constexpr const char* kSource = "File:WriteDataStr";
  RequireOpen(kSource);
  std::string line(text);
  if (auto_append_new_line_) line += "\r\n";
  const std::string bytes =
      string_type_ == kStringAnsi ? Utf8ToCp1253(line) : Utf8ToUtf16LeBytes(line);
  WriteBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()), kSource);
}

void File::LockRange(std::int64_t first, std::int64_t last, bool exclusive) {
  static constexpr const char* kSource = "File:LockRange";
  if (last < first) throw InvalidArgument(kSource);
  RequireOpen(kSource);
  OsLock(first, last, exclusive, kSource);
}

void File::UnlockRange(std::int64_t first, std::int64_t last) {
  static constexpr const char* kSource = "File:UnlockRange";
  if (last < first) throw InvalidArgument(kSource);
  RequireOpen(kSource);
  OsUnlock(first, last, kSource);
}

void File::UseSystemBuffering(bool on) {
  if (os_) {
    throw Error(kErrPolicyWhileOpen, "File:UseSystemBuffering:Set",
                "System buffering policy cannot be changed after the file has been opened.");
  }
  use_system_buffering_ = on;
}

void File::WriteThrough(bool on) {
  if (os_) {
    throw Error(kErrPolicyWhileOpen, "File:WriteThrough:Set",
                "Write through policy cannot be changed after the file has been opened.");
  }
  write_through_ = on;
}

std::string FileSystemMessage(std::uint32_t code) {
  switch (code) {
    case win32::kFileNotFound:
      return "The system cannot find the file specified.";
    case win32::kPathNotFound:
      return "The system cannot find the path specified.";
    case win32::kTooManyOpenFiles:
      return "The system cannot open the file.";
    case win32::kAccessDenied:
      return "Access is denied.";
    case win32::kInvalidHandle:
      return "The handle is invalid.";
    case win32::kNotEnoughMemory:
      return "Not enough memory resources are available to process this command.";
    case win32::kWriteProtect:
      return "The media is write protected.";
    case win32::kNotReady:
      return "The device is not ready.";
    case win32::kGenFailure:
      return "A device attached to the system is not functioning.";
    case win32::kSharingViolation:
      return "The process cannot access the file because it is being used by another process.";
    case win32::kLockViolation:
      return "The process cannot access the file because another process has locked a portion "
             "of the file.";
    case win32::kSharingBufferExceeded:
      return "Too many files opened for sharing.";
    case win32::kNotSupported:
      return "The request is not supported.";
    case win32::kFileExists:
      return "The file exists.";
    case win32::kInvalidParameter:
      return "The parameter is incorrect.";
    case win32::kDiskFull:
      return "There is not enough space on the disk.";
    case win32::kInvalidName:
      return "The filename, directory name, or volume label syntax is incorrect.";
    case win32::kNegativeSeek:
      return "An attempt was made to move the file pointer before the beginning of the file.";
    case win32::kNotLocked:
      return "The segment is already unlocked.";
    case win32::kFilenameTooLong:
      return "The filename or extension is too long.";
    case win32::kFileTooLarge:
      return "The file size exceeds the limit allowed and cannot be saved.";
    case win32::kIoDevice:
      return "The request could not be performed because of an I/O device error.";
    case win32::kCantResolveFilename:
      return "The name of the file cannot be resolved by the system.";
    default:
      return "System error " + std::to_string(code) + ".";
  }
}

}  // namespace support
