#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "session/remote_path.h"

namespace server {

/// True for a UTF-8 name that can travel in a LIST row and come back
/// unchanged: a safe path component (session::IsSafeName), no "|", and
/// nothing the Windows-1253 code page cannot hold.
bool IsWireName(std::string_view name);

/// True for a name the server may create (NEWDIR, RENAME, UPLOAD): a wire
/// name that a Windows file system can hold as well (session::CheckWindowsName),
/// so that a folder kept here can move to the Windows server unchanged.
bool IsCreatableName(std::string_view name);

/// True when `path` lies inside `root` (or is `root`) once symbolic links are
/// followed. A path that does not exist yet is judged by its nearest existing
/// ancestor, so a link planted in the tree cannot lead a write outside.
bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path);

/// Resolves a parsed wire path inside `root`, the way the client's Windows
/// habits expect: each name matches an existing entry of the same name
/// ignoring letter case (an exact match wins), and names that match nothing
/// are kept as given. Answers nothing when the result would lie outside
/// `root` (see IsInside).
std::optional<std::filesystem::path> ResolveIn(const std::filesystem::path& root,
                                               const session::RemotePath& path);

}  // namespace server
