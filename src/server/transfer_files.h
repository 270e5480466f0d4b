#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace server {

/// The 14-digit local-time stamp of a file's last modification, or nothing.
std::optional<std::string> ModificationStamp(const std::filesystem::path& path);
/// Sets a file's last-modification time from a 14-digit local-time stamp.
bool SetModificationStamp(const std::filesystem::path& path, std::string_view stamp);

/// The receiving end of an upload: the stored file opened for writing at a
/// given offset. Bytes are written as they arrive, so whatever arrived before
/// a dropped connection stays on disk and the upload can be continued.
class FileSink {
 public:
  FileSink() = default;
  ~FileSink();
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  /// Opens (creating if missing) and cuts the file to `offset` bytes, ready to
  /// write at that offset. Answers false on failure.
  bool Open(const std::filesystem::path& path, std::int64_t offset);
  /// Writes all of `bytes`. Answers false on failure.
  bool Write(std::string_view bytes);
  /// Flushes and closes; answers false when the data could not be kept.
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

/// The sending end of a download: the file read block by block from an offset.
class FileSource {
 public:
  FileSource() = default;
  ~FileSource();
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  /// Opens for reading positioned at `offset`. Answers false on failure.
  bool Open(const std::filesystem::path& path, std::int64_t offset);
  /// Reads up to `max` bytes into `block` (replacing its contents). Answers
  /// false on a read error; an empty block means the file ended early.
  bool Read(std::string& block, std::size_t max);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace server
