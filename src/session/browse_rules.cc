#include "session/browse_rules.h"

#include "app/log_file.h"
#include "session/file_name_rules.h"
#include "session/transfer_speed_calc.h"
#include "support/text.h"

namespace session {
namespace {

std::string& ShortDatePattern() {
  static std::string pattern = "d/m/yyyy";
  return pattern;
}

}  // namespace

std::optional<SessionUi::NameProblem> CheckEnteredName(const std::string& name) {
  // The forbidden characters come first, as the dialog always reported them;
  // then its own rule of the leading dot; then what else the server's file
  // system cannot hold (the same rules as an upload's name).
  if (CheckWindowsName(name) == NameFault::kForbiddenCharacter) return WindowsNameProblem(name);
  if (!name.empty() && name.front() == '.') {
    return SessionUi::NameProblem{"Μη έγκυρο όνομα", "Το όνομα δε μπορεί να ξεκινάει από τελεία"};
  }
  if (name.empty()) return std::nullopt;  // the dialog keeps itself open on an empty box
  return WindowsNameProblem(name);
}

NameDialogOutcome CheckNameDialogText(std::string_view text) {
  NameDialogOutcome outcome;
  outcome.name = std::string(support::Trim(text));
  if (outcome.name.empty()) return outcome;
  if (auto problem = CheckEnteredName(outcome.name)) {
    outcome.kind = NameDialogOutcome::Kind::kRefused;
    outcome.problem = std::move(*problem);
  } else {
    outcome.kind = NameDialogOutcome::Kind::kAccepted;
  }
  return outcome;
}

std::string FileExtension(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size()) return "dummyfile";
  return std::string(name.substr(dot));
}

std::string FileNameOf(std::string_view path) {
  const auto cut = path.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string IconKey(std::string_view extension) { return "I" + std::string(extension); }

std::string FormatListDate(std::string_view stamp, bool with_seconds) {
  const auto s = support::ParseStamp(stamp);
  if (!s) return {};
  return app::FormatLogTime(
      ShortDatePattern() + (with_seconds ? " h:nn:ss" : " h:nn"),
      app::LocalTime{s->year, s->month, s->day, s->hour, s->minute, s->second, 0});
}

void SetShortDatePattern(std::string pattern) { ShortDatePattern() = std::move(pattern); }

UsageView ComputeUsage(std::int64_t used, std::int64_t quota, const TransferSpeedCalc& calc) {
  UsageView view;
  double percent;
  if (quota > 0) {
    percent =
        support::RoundHalfEven(static_cast<double>(used) / static_cast<double>(quota) * 100, 1);
  } else {
    percent = used > 0 ? 100.0 : 0.0;
  }
  view.over_quota = used > quota;
  const auto size = [&](std::int64_t bytes) {
    return calc.FormatSizeUnit(static_cast<double>(bytes < 0 ? 0 : bytes), 1, false);
  };
  view.label = "Χρήση προσωπικού χώρου: " + size(used) + " από " + size(quota) + " (" +
               support::FormatShortest(percent, 1) + "%)";
  view.bar_value = percent > 100 ? 100 : (percent < 0 ? 0 : percent);
  view.bar_state = percent >= 99   ? BarState::kError
                   : percent >= 85 ? BarState::kPaused
                                   : BarState::kNormal;
  return view;
}

}  // namespace session
