#include "cli/console_ui.h"

#include "session/browse_rules.h"

namespace cli {

namespace {

constexpr const char* kConnectFailure = "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.";
constexpr const char* kConnectionLost = "Χάθηκε η σύνδεση με ";

/// Display width of UTF-8 text: one column per character (Greek included).
std::size_t Columns(const std::string& text) {
  std::size_t n = 0;
  for (const unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

}  // namespace

bool IsConnectionFailureText(const std::string& text) {
  return text == kConnectFailure || text.rfind(kConnectionLost, 0) == 0;
}

ConsoleUi::ConsoleUi(std::ostream& err, ExistingTarget existing, bool terminal)
    : err_(err), existing_(existing), terminal_(terminal) {}

void ConsoleUi::ResetOutcome() {
  refusals_ = 0;
  connection_failures_ = 0;
  exists_refused_ = false;
  already_complete_ = false;
  name_refused_ = false;
  completions_ = 0;
}

void ConsoleUi::Print(const std::string& text) {
  EndProgress();
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  err_ << out << '\n' << std::flush;
}

void ConsoleUi::Note(const std::string& text) { Print("vaultline-cli: " + text); }

void ConsoleUi::DrawProgress(const session::ProgressViewState& progress) {
  if (!terminal_ || !progress.visible) return;
  std::string line = progress.progress_text;
  if (!progress.speed_text.empty()) line += "  " + progress.speed_text;
  if (progress.time_visible && !progress.time_text.empty()) line += "  " + progress.time_text;
  if (line == drawn_) return;
  const std::size_t width = Columns(line);
  std::string pad;
  if (width < drawn_width_) pad.assign(drawn_width_ - width, ' ');
  err_ << '\r' << line << pad << std::flush;
  drawn_ = line;
  drawn_width_ = width;
}

void ConsoleUi::EndProgress() {
  if (drawn_width_ == 0) return;
  err_ << '\n' << std::flush;
  drawn_.clear();
  drawn_width_ = 0;
}

session::MessageAnswer ConsoleUi::ShowMessage(const std::string& text, session::MessageIcon icon,
                                              session::MessageButtons buttons,
                                              const std::string& /*title*/) {
  using session::MessageAnswer;
  using session::MessageButtons;
  using session::MessageIcon;
  const bool yes_no = buttons == MessageButtons::kYesNo || buttons == MessageButtons::kYesNoCancel;
  // The one question the commands ask for is the delete confirmation: the
  // command line already said so. Any other question (a newer client is
  // needed, ...) is shown and declined: nothing is fetched or opened.
  if (yes_no && icon == MessageIcon::kQuestion) return MessageAnswer::kYes;
  Print(text);
  if (IsConnectionFailureText(text)) {
    ++connection_failures_;
  } else if (icon == MessageIcon::kCritical || icon == MessageIcon::kExclamation) {
    ++refusals_;
  }
  if (yes_no) return MessageAnswer::kNo;
  return buttons == MessageButtons::kOkCancel ? MessageAnswer::kCancel : MessageAnswer::kOk;
}

void ConsoleUi::ShowErrorBox(const std::string& text) {
  Print(text);
  ++refusals_;
}

std::optional<std::string> ConsoleUi::AskName(const session::NameDialogRequest& /*request*/,
                                              NameValidator validate) {
  if (!name_answer_) return std::nullopt;
  const std::string typed = std::move(*name_answer_);
  name_answer_.reset();  // answered once: a refused name is not asked again
  // The dialog's own handling of its box first (trimmed; empty keeps it open).
  const session::NameDialogOutcome outcome = session::CheckNameDialogText(typed);
  std::optional<NameProblem> problem;
  if (outcome.kind == session::NameDialogOutcome::Kind::kEmpty) {
    Note("the name is empty");
    name_refused_ = true;
    return std::nullopt;
  }
  if (outcome.kind == session::NameDialogOutcome::Kind::kRefused) {
    problem = outcome.problem;
  } else {
    problem = validate(outcome.name);
  }
  if (problem) {
    Print(problem->title + ": " + problem->text);
    name_refused_ = true;
    return std::nullopt;
  }
  return outcome.name;
}

void ConsoleUi::ShowBalloonTip(session::EditBox /*box*/, const std::string& text,
                               const std::string& title, session::BalloonIcon /*icon*/) {
  Print(title.empty() ? text : title + ": " + text);
  ++refusals_;
}

void ConsoleUi::OpenUrl(const std::string& url) { Note("not opened: " + url); }

session::ExistsAnswer ConsoleUi::AskReplaceOrResume(const session::ExistsRequest& request) {
  using session::ExistsAnswer;
  switch (existing_) {
    case ExistingTarget::kReplace:
      return ExistsAnswer::kReplace;
    case ExistingTarget::kResume:
      if (request.allow_continue) return ExistsAnswer::kContinue;
      if (request.same_size) {
        // A transfer cut after its last byte (before the server's answer):
        // a retry with --resume must not fail for ever.
        Note("the existing copy already has every byte: nothing to resume");
        already_complete_ = true;
        return ExistsAnswer::kCancel;
      }
      Print(request.text);
      Note("the existing copy is not shorter, so there is nothing to resume (give --replace)");
      break;
    case ExistingTarget::kRefuse:
      Print(request.text);
      Note("the target exists: give --resume or --replace");
      break;
  }
  exists_refused_ = true;
  return ExistsAnswer::kCancel;
}

std::optional<std::string> ConsoleUi::AskOpenFile(const session::FileDialogRequest& /*request*/) {
  return open_file_;
}

std::optional<std::string> ConsoleUi::AskSaveFile(const session::FileDialogRequest& /*request*/) {
  return save_file_;
}

}  // namespace cli
