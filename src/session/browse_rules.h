#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "session/main_view_state.h"
#include "session/session_ui.h"
#include "support/stamp.h"

namespace session {

class TransferSpeedCalc;

/// The name dialog's checks on a trimmed, non-empty name: none of \ > < : " * ? | /,
/// and no leading ".". Returns the balloon tip to show, or nothing when the name
/// is acceptable.
std::optional<SessionUi::NameProblem> CheckEnteredName(const std::string& name);

/// What the name dialog does with the text of its box when OK is pressed: the
/// text is trimmed of spaces and written back; an empty name keeps the dialog
/// open without a tip, a refused name keeps it open with a balloon tip, and an
/// acceptable one closes it.
struct NameDialogOutcome {
  enum class Kind { kEmpty, kRefused, kAccepted };
  Kind kind = Kind::kEmpty;
  std::string name;  ///< the trimmed text
  SessionUi::NameProblem problem;
};
NameDialogOutcome CheckNameDialogText(std::string_view text);

/// The extension used for a file row's icon: a dot and the text after the last
/// "." of the name, or "dummyfile" when the name has no "." or ends with one.
std::string FileExtension(std::string_view name);

/// The name part of a local or remote path: the text after its last "\" or "/".
std::string FileNameOf(std::string_view path);

/// Image-list key of an extension: "I" + extension ("I.pdf", "I.", "Idummyfile").
std::string IconKey(std::string_view extension);

/// The list's date text of a stamp: short date, a space, "h:mm" (or the long
/// time "h:mm:ss" with `with_seconds`). Fields are used as they stand; a stamp
/// that is not 14 digits gives an empty text.
std::string FormatListDate(std::string_view stamp, bool with_seconds = false);

/// The short date form used by the list ("d/m/yyyy"; d, m and y as in the
/// log's time format). Pinned by tests; the
/// program sets it from the desktop's locale when it can.
void SetShortDatePattern(std::string pattern);

/// What the usage area shows for used and quota bytes.
struct UsageView {
  std::string label;     ///< "Χρήση προσωπικού χώρου: ..."
  double bar_value = 0;  ///< percent, capped at 100
  BarState bar_state = BarState::kNormal;
  bool over_quota = false;  ///< used bytes exceed quota bytes
};

/// Percent of used against quota (one decimal, halves to even), the label text
/// and the bar's value and colour. A quota of 0 shows 0% when nothing is used
/// and 100% otherwise, so the figures never divide by zero.
UsageView ComputeUsage(std::int64_t used, std::int64_t quota, const TransferSpeedCalc& calc);

}  // namespace session
