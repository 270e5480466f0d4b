#include "session/remote_path.h"

namespace session {

bool IsSafeName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '/' || c == ':' || c == '\\') return false;
  }
  return true;
}

std::optional<RemotePath> ParseRemotePath(std::string_view path) {
  if (path.empty() || path.front() != '\\') return std::nullopt;
  RemotePath result;
  std::size_t start = 1;
  while (start < path.size()) {
    const auto slash = path.find('\\', start);
    const auto name = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (!IsSafeName(name)) return std::nullopt;
    result.names.emplace_back(name);
    if (slash == std::string_view::npos) {
      result.trailing_backslash = false;
      break;
    }
    start = slash + 1;
  }
  return result;
}

}  // namespace session
