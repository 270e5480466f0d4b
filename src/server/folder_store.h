#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "session/list_row.h"

namespace server {

/// The rows of a folder on disk, folders first, then files, each group in
/// name order ignoring letter case. Entries whose names cannot travel on the
/// wire (IsWireName) and entries that are neither folders nor regular files
/// are left out: the client could not address them. Folders carry size 0.
std::vector<session::ListRow> ListFolder(const std::filesystem::path& folder);

/// The sum of the sizes of the regular files below `root`, at any depth
/// (symbolic links are not followed). Unreadable parts count as empty.
std::int64_t UsedBytes(const std::filesystem::path& root);

/// Which files are being transferred right now, across all sessions. Any
/// number of downloads may read a file at once; an upload excludes every
/// other transfer of it. Paths are the resolved paths on disk.
class TransferRegistry {
 public:
  enum class Mode { kRead, kWrite };

  /// Registers a transfer; answers false (registering nothing) when it would
  /// clash with a running one.
  bool TryBegin(const std::filesystem::path& file, Mode mode);
  void End(const std::filesystem::path& file, Mode mode);
  /// True when `path` or anything below it is being transferred.
  bool BusyAtOrBelow(const std::filesystem::path& path) const;

 private:
  struct Use {
    int readers = 0;
    bool writer = false;
  };
  std::map<std::string, Use> uses_;
};

}  // namespace server
