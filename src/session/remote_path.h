#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace session {

/// A server path of the protocol, taken apart: a backslash, then names each
/// followed by a backslash, the last name optionally without one ("\" is the
/// root, "\a\b\" a folder, "\a\file.txt" an entry).
struct RemotePath {
  std::vector<std::string> names;  ///< UTF-8, never empty, "." or ".."
  bool trailing_backslash = true;  ///< the text ended with a backslash
};

/// Parses a path from the wire (UTF-8 after code-page conversion). Refuses
/// anything that could leave the folder it is resolved in or that no client
/// sends: a missing leading backslash (relative and drive paths), an empty
/// name ("\\"), the names "." and "..", and any name holding a NUL or other
/// control character, a forward slash or a colon.
std::optional<RemotePath> ParseRemotePath(std::string_view path);

/// True for a name that ParseRemotePath accepts as one component.
bool IsSafeName(std::string_view name);

}  // namespace session
