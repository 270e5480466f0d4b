#include <sys/stat.h>
#include <unistd.h>

#include "session/file_times.h"
#include "support/file_stamp.h"

namespace session {

bool ChangeFileDateTime(const std::string& path, std::string_view /*creation_stamp*/,
                        std::string_view last_write_stamp) {
  if (last_write_stamp.empty()) return true;  // no settable creation time here
  const auto stamp = support::ParseStamp(last_write_stamp);
  return stamp && support::SetLastWriteStamp(path, *stamp);
}

bool IsExistingFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void DeleteFileQuietly(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace session
