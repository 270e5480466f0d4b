#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "session/session_ui.h"

namespace session {

/// Why a name cannot be a file or folder name on the folder server. The server
/// is a Windows machine and names travel in Windows-1253, so a name must be
/// one that both can carry unchanged.
enum class NameFault {
  kNone,
  kEmpty,
  kForbiddenCharacter,  ///< one of \ / : * ? " < > |
  kControlCharacter,    ///< C0 and C1 controls and DEL
  kOutsideCodePage,     ///< a character Windows-1253 cannot hold
  kTrailingDotOrSpace,  ///< Windows drops them, so the name would change
  kDeviceName,          ///< CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension
};

/// The first fault of a UTF-8 name, checked in the order of NameFault.
NameFault CheckWindowsName(std::string_view name);

/// The balloon tip (title, text) that refuses a name, or nothing when the name
/// is acceptable. The name dialog and the upload share it.
std::optional<SessionUi::NameProblem> WindowsNameProblem(std::string_view name);

/// The name part of a local path: the text after its last separator of the
/// local system ("/" on POSIX, where "\" is an ordinary character).
std::string LocalFileName(std::string_view path);

/// The separators of local paths on this system.
std::string_view LocalPathSeparators();

}  // namespace session
