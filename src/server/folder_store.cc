#include "server/folder_store.h"

#include <algorithm>
#include <system_error>

#include "server/paths.h"
#include "server/transfer_files.h"
#include "support/text.h"

namespace server {

namespace fs = std::filesystem;

std::vector<session::ListRow> ListFolder(const fs::path& folder) {
  struct Entry {
    std::string key;
    session::ListRow row;
  };
  std::vector<Entry> folders;
  std::vector<Entry> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!IsWireName(name)) continue;
    std::error_code type_ec;
    const auto type = it->symlink_status(type_ec).type();
    if (type_ec) continue;
    if (type == fs::file_type::directory) {
      folders.push_back({support::FoldCase(name), session::ListRow{name, 0, {}, {}}});
    } else if (type == fs::file_type::regular) {
      const auto size = it->file_size(type_ec);
      const auto stamp = ModificationStamp(it->path());
      if (type_ec || !stamp) continue;
      files.push_back({support::FoldCase(name),
                       session::ListRow{name, static_cast<std::int64_t>(size), *stamp, {}}});
    }
  }
  const auto by_key = [](const Entry& a, const Entry& b) { return a.key < b.key; };
  std::sort(folders.begin(), folders.end(), by_key);
  std::sort(files.begin(), files.end(), by_key);
  std::vector<session::ListRow> rows;
  rows.reserve(folders.size() + files.size());
  for (auto& e : folders) rows.push_back(std::move(e.row));
  for (auto& e : files) rows.push_back(std::move(e.row));
  return rows;
}

std::int64_t UsedBytes(const fs::path& root) {
  std::int64_t total = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->symlink_status(type_ec).type() != fs::file_type::regular) continue;
    const auto size = it->file_size(type_ec);
    if (!type_ec) total += static_cast<std::int64_t>(size);
  }
  return total;
}

bool TransferRegistry::TryBegin(const fs::path& file, Mode mode) {
  auto& use = uses_[file.string()];
  if (use.writer || (mode == Mode::kWrite && use.readers > 0)) {
    if (!use.writer && use.readers == 0) uses_.erase(file.string());
    return false;
  }
  if (mode == Mode::kWrite) {
    use.writer = true;
  } else {
    ++use.readers;
  }
  return true;
}

void TransferRegistry::End(const fs::path& file, Mode mode) {
  const auto it = uses_.find(file.string());
  if (it == uses_.end()) return;
  if (mode == Mode::kWrite) {
    it->second.writer = false;
  } else if (it->second.readers > 0) {
    --it->second.readers;
  }
  if (!it->second.writer && it->second.readers == 0) uses_.erase(it);
}

bool TransferRegistry::BusyAtOrBelow(const fs::path& path) const {
  const std::string key = path.string();
  if (uses_.count(key) != 0) return true;
  const std::string below = key + "/";
  const auto it = uses_.lower_bound(below);
  return it != uses_.end() && it->first.compare(0, below.size(), below) == 0;
}

}  // namespace server
