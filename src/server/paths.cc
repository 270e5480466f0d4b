#include "server/paths.h"

#include <system_error>

#include "session/file_name_rules.h"
#include "support/codepage.h"
#include "support/text.h"

namespace server {

namespace fs = std::filesystem;

bool IsWireName(std::string_view name) {
  if (!session::IsSafeName(name) || name.find('|') != std::string_view::npos) return false;
  return support::Cp1253ToUtf8(support::Utf8ToCp1253(name)) == name;
}

bool IsCreatableName(std::string_view name) {
  return IsWireName(name) && session::CheckWindowsName(name) == session::NameFault::kNone;
}

namespace {

bool HasPrefix(const fs::path& root, const fs::path& path) {
  auto r = root.begin();
  auto p = path.begin();
  for (; r != root.end(); ++r, ++p) {
    if (r->empty()) continue;  // the empty name after a trailing separator
    if (p == path.end() || *p != *r) return false;
  }
  return true;
}

}  // namespace

bool IsInside(const fs::path& root, const fs::path& path) {
  std::error_code ec;
  const fs::path real_root = fs::canonical(root, ec);
  if (ec) return false;
  // weakly_canonical follows links in the existing part and keeps the rest.
  const fs::path real = fs::weakly_canonical(path, ec);
  if (ec) return false;
  return HasPrefix(real_root, real);
}

std::optional<fs::path> ResolveIn(const fs::path& root, const session::RemotePath& path) {
  fs::path current = root;
  for (const auto& name : path.names) {
    std::error_code ec;
    fs::path exact = current / fs::path(name);
    // Not-found comes with an error code set; any other failure keeps the name.
    if (fs::symlink_status(exact, ec).type() != fs::file_type::not_found) {
      current = std::move(exact);
      continue;
    }
    fs::path match = exact;
    for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
      if (support::EqualsIgnoreCase(it->path().filename().string(), name)) {
        match = it->path();
        break;
      }
    }
    current = std::move(match);
  }
  if (!IsInside(root, current)) return std::nullopt;
  return current;
}

}  // namespace server
