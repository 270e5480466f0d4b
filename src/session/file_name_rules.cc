#include "session/file_name_rules.h"

#include <array>

#include "support/codepage.h"
#include "support/text.h"

namespace session {
namespace {

constexpr std::string_view kForbidden = "\\/:*?\"<>|";

/// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices on Windows whatever
/// follows the first dot, in any letter case (trailing spaces of the base are
/// ignored there too).
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  const std::string folded = support::FoldCase(base);
  for (const char* device : {"con", "prn", "aux", "nul"}) {
    if (folded == device) return true;
  }
  if (folded.size() == 4 && (folded.rfind("com", 0) == 0 || folded.rfind("lpt", 0) == 0)) {
    return folded[3] >= '1' && folded[3] <= '9';
  }
  return false;
}

}  // namespace

NameFault CheckWindowsName(std::string_view name) {
  if (name.empty()) return NameFault::kEmpty;
  if (name.find_first_of(kForbidden) != std::string_view::npos) {
    return NameFault::kForbiddenCharacter;
  }
  bool outside = false;
  for (std::size_t pos = 0; pos < name.size();) {
    const char32_t c = support::NextCodePoint(name, pos);
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return NameFault::kControlCharacter;
    // A malformed byte decodes as U+FFFD, which the code page lacks as well.
    if (c >= 0x80 && !support::CodePointToCp1253(c)) outside = true;
  }
  if (outside) return NameFault::kOutsideCodePage;
  if (name.back() == '.' || name.back() == ' ') return NameFault::kTrailingDotOrSpace;
  if (IsDeviceName(name)) return NameFault::kDeviceName;
  return NameFault::kNone;
}

std::optional<SessionUi::NameProblem> WindowsNameProblem(std::string_view name) {
  constexpr const char* kTitle = "Μη έγκυρο όνομα";
  switch (CheckWindowsName(name)) {
    case NameFault::kNone:
      return std::nullopt;
    case NameFault::kEmpty:
      return SessionUi::NameProblem{kTitle, "Το όνομα είναι κενό"};
    case NameFault::kForbiddenCharacter:
      return SessionUi::NameProblem{kTitle, "Μη αποδεκτοί χαρακτήρες: \\ / | ? * \" : < >"};
    case NameFault::kControlCharacter:
      return SessionUi::NameProblem{kTitle, "Το όνομα περιέχει χαρακτήρες ελέγχου"};
    case NameFault::kOutsideCodePage: {
      std::string shown;
      for (std::size_t pos = 0; pos < name.size();) {
        const char32_t c = support::NextCodePoint(name, pos);
        if (c >= 0x80 && !support::CodePointToCp1253(c)) {
          std::string one;
          support::AppendUtf8(one, c);
          if (shown.find(one) != std::string::npos) continue;
          if (!shown.empty()) shown += ' ';
          shown += one;
        }
      }
      return SessionUi::NameProblem{kTitle, "Μη υποστηριζόμενοι χαρακτήρες: " + shown};
    }
    case NameFault::kTrailingDotOrSpace:
      return SessionUi::NameProblem{kTitle, "Το όνομα δε μπορεί να τελειώνει σε τελεία ή κενό"};
    case NameFault::kDeviceName:
      return SessionUi::NameProblem{kTitle, "Το όνομα είναι δεσμευμένο από τα Windows"};
  }
  return std::nullopt;
}

std::string LocalFileName(std::string_view path) {
  const auto cut = path.find_last_of(LocalPathSeparators());
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

}  // namespace session
