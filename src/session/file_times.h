#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace session {

/// Sets the last-write time of `path` (and the creation time where the system
/// keeps one it lets programs set; on Linux there is none) from 14-digit
/// local-time stamps. An empty stamp leaves that time alone; the last-access
/// time is never changed. The date is built as 1 January of the year at the
/// stamp's time of day, plus (month - 1) months, plus (day - 1) days, so
/// out-of-range fields carry over instead of failing. Failures are silent
/// (answered false).
bool ChangeFileDateTime(const std::string& path, std::string_view creation_stamp,
                        std::string_view last_write_stamp);

/// Whether `path` names an existing regular file (directories do not count).
bool IsExistingFile(const std::string& path);

/// Deletes a file permanently; failures are ignored.
void DeleteFileQuietly(const std::string& path);

}  // namespace session
