#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

/// The program's command line split into parameters.
///
/// The text is trimmed of spaces and walked character by character: a double
/// quote opens a quoted run and the next one closes it (the quotes stay part of
/// the parameter); outside quotes a space or TAB ends a non-empty parameter, so
/// runs of blanks never yield empty parameters. A parameter may carry a value
/// after its first "=" ("/log=debug").
class CommandLineParameters {
 public:
  /// Parses an arguments-only command line (no program name).
  explicit CommandLineParameters(std::string_view command_line);
  /// Joins argv[1..argc-1] into one command line, quoting an argument that holds
  /// a blank and no quote, and parses it.
  static CommandLineParameters FromArgv(int argc, const char* const* argv);

  /// Whether names are compared with letter case (default false).
  bool CaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool value) { case_sensitive_ = value; }

  int Count() const { return static_cast<int>(params_.size()); }
  /// The trimmed command line.
  const std::string& GetFullCommandLineParamsString() const { return command_line_; }
  /// Parameter `index` (zero-based) as written. Raises error 9 outside 0..Count-1.
  const std::string& GetRawParam(int index) const;

  /// True if some parameter, cut at its first "=", equals `name`.
  bool ParamExists(std::string_view name) const;
  /// The text after the first "=" of the first parameter whose name part equals
  /// `name`, with one pair of surrounding double quotes removed. `default_value`
  /// when no parameter has that name, or when the first that has it carries no
  /// "=" (a bare switch has no value).
  std::string ParamCheck(std::string_view name, std::string_view default_value) const;

 private:
  bool NameMatches(std::string_view param, std::string_view name) const;

  std::string command_line_;
  std::vector<std::string> params_;
  bool case_sensitive_ = false;
};

}  // namespace app
