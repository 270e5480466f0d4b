#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quarrytab {

/// One drive, named by its letter ("C:\" at first).
///
/// On Linux a letter stands for a directory: C is the root file system "/"
/// (where the system lives, like the Windows drive), any other letter X the
/// directory /mnt/x (lower case), as Windows drives appear under Linux on the
/// same machine. The facts describe the file system holding that directory:
/// statvfs() for the sizes and the serial number (the file-system id),
/// /proc/self/mountinfo for the type, /dev/disk/by-label for the label. A
/// letter whose directory does not exist gives the failure results.
class DiskInfo {
 public:
  /// The first character of the root path ("C").
  std::string DriveLetter() const;
  /// Upper-cases the text; its first character must be A-Z, else error 5
  /// (also for empty text), and the root path is left as it was.
  void SetDriveLetter(std::string_view letter);
  /// File-system name (at most 9 characters), "" on failure.
  std::string FileSystem() const;
  /// Bytes free for the calling user, -1 on failure.
  std::int64_t Free() const;
  /// Total bytes of the volume, -1 on failure.
  std::int64_t Size() const;
  /// The volume's label (at most 31 characters), "" when it has none.
  std::string VolumeLabel() const;
  /// "XXXX-XXXX": the serial number's high and low 16 bits in upper-case hex,
  /// four digits each; "" on failure.
  std::string VolumeSerialNumber() const;

  /// "C:\".
  const std::string& RootPath() const { return root_path_; }
  /// The directory of this platform the drive stands for ("/" for C on Linux).
  std::string MountPath() const;

 private:
  std::string root_path_ = "C:\\";
};

/// The drive letter ("C") a path lies on: its own letter for "D:\..."; on
/// Linux the letter of a /mnt/x path, else C.
std::string DriveLetterOfPath(std::string_view path);

}  // namespace quarrytab
