#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// `File`: the program's own wrapper of one operating-system file handle, used
/// by the transfer engines and the log.
///
/// Positions are signed 64-bit and 1-based: the first byte of the file is
/// position 1. Every system failure is thrown as support::Error with number
/// ErrorBase + a Windows system error code, the member's source ("File:OpenFile")
/// and the Windows message text for that code, so callers test the same numbers
/// on every platform: 8502 file not found, 8503 path not found, 8505 access
/// denied, 8532 sharing violation, 8533 range locked by someone else, 8612 disk
/// full (see FileSystemMessage for the whole list).
///
/// File names. Text inside the program is UTF-8, and on POSIX a file name is a
/// string of bytes that every other program reads as UTF-8; the name is
/// therefore passed to the system unchanged rather than through the Greek code
/// page. A Greek name thus lands on disk under the same name the user sees, and
/// a name the code page cannot hold (Chinese, emoji) can be opened too.
///
/// Sharing (POSIX). The share-deny mask is honoured between `File` objects, in
/// this process or in any other, through advisory open-file-description locks
/// on reserved bytes at the very top of the 64-bit offset space (see
/// file_posix.cc). Programs that do not use `File` are not held back by them:
/// Linux has no mandatory share modes.
///
/// Reading and writing members on a closed object raise ErrorBase + 6 (invalid
/// handle) with their own source rather than doing nothing, so a caller never
/// takes lost data or an untouched buffer for a transfer. An object is used from
/// one thread; every call blocks until the system is done.
namespace support {

class File {
 public:
  /// Added to every system error code.
  static constexpr std::int32_t ErrorBase = 8500;
  /// Number of the errors raised by writing a policy property while open.
  static constexpr std::int32_t kErrPolicyWhileOpen = ErrorBase - 1;

  /// Access rights for OpenFile (combine with |).
  static constexpr std::uint32_t kGenericRead = 0x80000000u;
  static constexpr std::uint32_t kGenericWrite = 0x40000000u;
  /// Share-deny bits for OpenFile (combine with |).
  static constexpr std::uint8_t kDenyNone = 0;
  static constexpr std::uint8_t kDenyRead = 1;
  static constexpr std::uint8_t kDenyWrite = 2;

  /// Values of SeekMode.
  static constexpr std::int32_t kSeekAbsolute = 0;
  static constexpr std::int32_t kSeekRelative = 1;
  /// Values of StringType.
  static constexpr std::int32_t kStringAnsi = 0;
  static constexpr std::int32_t kStringUtf16 = 1;

  File();
  /// Closes the file (CloseFile).
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  /// Opens `file_name` with `access` (kGenericRead, kGenericWrite or both),
  /// denying other `File` objects what `share_deny` says. With `create` and
  /// write access a missing file is created (empty); otherwise it must exist.
  /// Never truncates. Expects a closed object. Raises 5 when `access` has
  /// neither right, else ErrorBase + code ("File:OpenFile"): 2 file not found,
  /// 3 path not found, 5 access denied (also for a directory), 32 sharing
  /// violation, 123 a name with a NUL character.
  void OpenFile(std::string_view file_name, std::uint32_t access, std::uint8_t share_deny,
                bool create);
  /// Closes the handle if open; then hFile 0, FileName empty, BytesTransferred 0.
  /// Releases the object's sharing claims and byte-range locks.
  void CloseFile();
  /// Flushes the file's data to the device if open. Never raises.
  void FlushBuffers();
  /// The system handle (a descriptor, never 0, 1 or 2 on POSIX); 0 when closed.
  std::intptr_t hFile() const;
  bool IsOpen() const { return os_ != nullptr; }

  /// Current offset + 1; 0 when closed. Raises ErrorBase + code
  /// ("File:Position:Get").
  std::int64_t Position() const;
  /// Moves the file pointer: by `position` bytes from the current one when
  /// SeekMode is 1, else to the 1-based `position`. Positions past the end are
  /// allowed (a later write extends the file). Nothing when closed. Moving
  /// before the first byte raises ErrorBase + 131 ("File:Position:Set").
  void Position(std::int64_t position);
  /// The file's size in bytes; 0 when closed. Raises ErrorBase + code
  /// ("File:Size:Get").
  std::int64_t Size() const;
  /// Sets the end of the file at the current position, cutting or extending it
  /// (the extension reads as zeros). Raises ErrorBase + code
  /// ("File:ResizeToPosition").
  void ResizeToPosition();

  /// Reads bytes into the whole of `data` from the current position; when the
  /// file ends first, `data` is shortened to what was read (empty when nothing
  /// was left). BytesTransferred is the count read. One system call per
  /// chunk, straight into `data`.
  void ReadDataBin(std::vector<std::uint8_t>& data);
  /// As above, for a byte string.
  void ReadDataBin(std::string& data);
  /// Writes all of `data`.
  void WriteDataBin(std::span<const std::uint8_t> data);
  /// Writes all of `data` (bytes, no conversion).
  void WriteDataBin(std::string_view data);
  /// Reads up to `count` bytes into caller memory at `first`; nothing when
  /// count < 1. BytesTransferred tells how many came (fewer at the end).
  void ReadDataBinEx(void* first, std::int32_t count);
  /// Writes `count` bytes from caller memory at `first`; nothing when count < 1.
  void WriteDataBinEx(const void* first, std::int32_t count);

  /// Read 1, 2 or 4 bytes, little-endian, into `value`. At the end of the file
  /// only the bytes that came replace the low-order bytes of `value`
  /// (BytesTransferred tells how many); with none `value` is unchanged.
  void ReadDataByt(std::uint8_t& value);
  void ReadDataInt(std::int16_t& value);
  void ReadDataLng(std::int32_t& value);
  /// Write 1, 2 or 4 bytes, little-endian.
  void WriteDataByt(std::uint8_t value);
  void WriteDataInt(std::int16_t value);
  void WriteDataLng(std::int32_t value);

  /// Reads `count` characters: StringType 0 reads `count` bytes of the Greek
  /// code page, 1 reads 2 * `count` bytes of UTF-16LE, any other value reads
  /// `count` bytes taken as UTF-16LE. `text` gets what came, in UTF-8 (empty
  /// when count < 1 or nothing was left).
  void ReadDataStr(std::string& text, std::int32_t count);
  /// Writes UTF-8 `text` (plus CR LF when AutoAppendNewLineString) in the Greek
  /// code page (StringType 0, characters it lacks become "?") or as UTF-16LE
  /// (any other value). An empty text without the CR LF writes nothing.
  void WriteDataStr(std::string_view text);

  /// Locks the bytes at 0-based offsets first..last, exclusively or shared,
  /// without waiting. Raises 5 when last < first; ErrorBase + 33 when the range
  /// overlaps one locked by another `File` object (or one of this object's own,
  /// when either lock is exclusive); ErrorBase + code otherwise ("File:LockRange").
  /// An exclusive lock needs a file opened with write access, a shared one a
  /// file opened with read access or opened writable.
  void LockRange(std::int64_t first, std::int64_t last, bool exclusive);
  /// Releases a range locked by LockRange with exactly these offsets. Raises 5
  /// when last < first; ErrorBase + 158 when no such range is locked
  /// ("File:UnlockRange").
  void UnlockRange(std::int64_t first, std::int64_t last);

  std::int32_t SeekMode() const { return seek_mode_; }
  void SeekMode(std::int32_t mode) { seek_mode_ = mode; }
  std::int32_t StringType() const { return string_type_; }
  void StringType(std::int32_t type) { string_type_ = type; }
  bool AutoAppendNewLineString() const { return auto_append_new_line_; }
  void AutoAppendNewLineString(bool on) { auto_append_new_line_ = on; }

  bool UseSystemBuffering() const { return use_system_buffering_; }
  /// Takes effect at the next OpenFile. Without system buffering, reads and
  /// writes must use block-aligned memory, offsets and sizes (else ErrorBase +
  /// 87); a file system without an unbuffered mode opens buffered. Raises 8499
  /// while a file is open, keeping the old value ("File:UseSystemBuffering:Set").
  void UseSystemBuffering(bool on);
  bool WriteThrough() const { return write_through_; }
  /// Takes effect at the next OpenFile: each write returns once its data is on
  /// the device. Raises 8499 while a file is open, keeping the old value
  /// ("File:WriteThrough:Set").
  void WriteThrough(bool on);

  /// Bytes moved by the last read or write call.
  std::int64_t BytesTransferred() const { return bytes_transferred_; }
  /// Path given to the last successful OpenFile; empty once closed.
  const std::string& FileName() const { return file_name_; }

 private:
  struct Os;  // platform state of an open file; defined by the backend
  struct OsDelete {
    void operator()(Os* os) const;  // defined by the backend
  };

  // Backend primitives (file_posix.cc / file_win32.cc). The handle is open
  // whenever they are called; they raise with the given source.
  void OsOpen(std::string_view file_name, std::uint32_t access, std::uint8_t share_deny,
              bool create);
  void OsClose() noexcept;
  void OsFlush() noexcept;
  std::intptr_t OsHandle() const;
  std::int64_t OsTell(const char* source) const;
  void OsSeek(std::int64_t offset, bool relative, const char* source);
  std::int64_t OsSize(const char* source) const;
  void OsTruncate(const char* source);
  // Whole transfers: loop until `count` bytes moved or the file ends.
  std::int64_t OsRead(void* data, std::int64_t count, const char* source);
  void OsWrite(const void* data, std::int64_t count, const char* source);
  void OsLock(std::int64_t first, std::int64_t last, bool exclusive, const char* source);
  void OsUnlock(std::int64_t first, std::int64_t last, const char* source);

  // Raises ErrorBase + 6 (invalid handle) with `source` when no file is open.
  void RequireOpen(const char* source) const;
  std::int64_t ReadBytes(void* data, std::int64_t count, const char* source);
  void WriteBytes(const void* data, std::int64_t count, const char* source);
  template <typename Int>
  void ReadLittleEndian(Int& value, const char* source);
  template <typename Int>
  void WriteLittleEndian(Int value, const char* source);

  std::unique_ptr<Os, OsDelete> os_;  // null when closed
  std::string file_name_;
  std::int64_t bytes_transferred_ = 0;
  std::int32_t seek_mode_ = kSeekAbsolute;
  std::int32_t string_type_ = kStringAnsi;
  bool write_through_ = false;
  bool use_system_buffering_ = true;
  bool auto_append_new_line_ = false;
};

/// Windows system error codes the POSIX backend produces.
namespace win32 {
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kTooManyOpenFiles = 4;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kNotEnoughMemory = 8;
inline constexpr std::uint32_t kWriteProtect = 19;
inline constexpr std::uint32_t kNotReady = 21;
inline constexpr std::uint32_t kGenFailure = 31;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kLockViolation = 33;
inline constexpr std::uint32_t kSharingBufferExceeded = 36;
inline constexpr std::uint32_t kNotSupported = 50;
inline constexpr std::uint32_t kFileExists = 80;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kDiskFull = 112;
inline constexpr std::uint32_t kInvalidName = 123;
inline constexpr std::uint32_t kNegativeSeek = 131;
inline constexpr std::uint32_t kNotLocked = 158;
inline constexpr std::uint32_t kFilenameTooLong = 206;
inline constexpr std::uint32_t kFileTooLarge = 223;
inline constexpr std::uint32_t kCantResolveFilename = 1921;
inline constexpr std::uint32_t kIoDevice = 1117;
}  // namespace win32

/// The Windows message text of a system error code ("Access is denied." for
/// 5), without the trailing line break; a generic text for codes not listed in
/// support::win32.
std::string FileSystemMessage(std::uint32_t code);

}  // namespace support
