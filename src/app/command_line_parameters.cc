#include "app/command_line_parameters.h"

#include "support/error.h"
#include "support/text.h"

namespace app {

CommandLineParameters::CommandLineParameters(std::string_view command_line)
    : command_line_(support::Trim(command_line)) {
  std::string current;
  bool quoted = false;
  for (char c : command_line_) {
    if (c == '"') {
      quoted = !quoted;
      current.push_back(c);
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (!current.empty()) params_.push_back(std::move(current));
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) params_.push_back(std::move(current));
}

CommandLineParameters CommandLineParameters::FromArgv(int argc, const char* const* argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!line.empty()) line.push_back(' ');
    const bool has_blank = arg.find_first_of(" \t") != std::string_view::npos;
    const bool has_quote = arg.find('"') != std::string_view::npos;
    if (has_blank && !has_quote) {
      line.push_back('"');
      line.append(arg);
      line.push_back('"');
    } else {
      line.append(arg);
    }
  }
  return CommandLineParameters(line);
}

const std::string& CommandLineParameters::GetRawParam(int index) const {
  if (index < 0 || index >= Count()) {
    throw support::Error(9, "CommandLineParameters.GetRawParam", "Subscript out of range");
  }
  return params_[static_cast<std::size_t>(index)];
}

bool CommandLineParameters::NameMatches(std::string_view param, std::string_view name) const {
  const std::string_view head = param.substr(0, param.find('='));
  return case_sensitive_ ? head == name : support::EqualsIgnoreCase(head, name);
}

bool CommandLineParameters::ParamExists(std::string_view name) const {
  for (const auto& p : params_) {
    if (NameMatches(p, name)) return true;
  }
  return false;
}

std::string CommandLineParameters::ParamCheck(std::string_view name,
                                              std::string_view default_value) const {
  for (const auto& p : params_) {
    if (!NameMatches(p, name)) continue;
    const auto eq = p.find('=');
    if (eq == std::string::npos) break;
    std::string_view value = std::string_view(p).substr(eq + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
  }
  return std::string(default_value);
}

}  // namespace app
