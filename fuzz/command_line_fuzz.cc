// The program's command line, as another program or a desktop shortcut may
// pass it: arbitrary text split into parameters, or arbitrary arguments (cut
// at NUL bytes) joined by FromArgv. The first byte chooses letter case
// handling and the mode. Checks that parameters are non-empty, split only at
// blanks outside quotes, that every parameter's name is found with the value
// of the first parameter of that name, that an out-of-range index raises
// error 9, and that arguments without quotes come back one parameter each.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line_parameters.h"
#include "support/error.h"
#include "support/text.h"

namespace {

using app::CommandLineParameters;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

void CheckOutOfRange(const CommandLineParameters& params, int index) {
  try {
    params.GetRawParam(index);
  } catch (const support::Error& e) {
    Check(e.Number() == 9);
    return;
  }
  std::abort();
}

void CheckParameters(const CommandLineParameters& params, bool case_sensitive) {
  const std::string& line = params.GetFullCommandLineParamsString();
  Check(line == support::Trim(line));
  std::size_t total = 0;
  for (int i = 0; i < params.Count(); ++i) {
    const std::string& p = params.GetRawParam(i);
    Check(!p.empty());
    total += p.size();
    bool quoted = false;
    for (char c : p) {
      if (c == '"') quoted = !quoted;
      Check(quoted || !Blank(c));
    }
    // Only the last parameter may leave a quote open.
    Check(!quoted || i == params.Count() - 1);
    Check(line.find(p) != std::string::npos);
  }
  Check(total <= line.size());
  CheckOutOfRange(params, params.Count());
  CheckOutOfRange(params, -1);

  for (int i = 0; i < params.Count(); ++i) {
    const std::string& p = params.GetRawParam(i);
    const std::string_view name = std::string_view(p).substr(0, p.find('='));
    Check(params.ParamExists(name));
    // The value comes from the first parameter whose name matches.
    int first = 0;
    for (;; ++first) {
      const std::string& q = params.GetRawParam(first);
      const std::string_view head = std::string_view(q).substr(0, q.find('='));
      if (case_sensitive ? head == name : support::EqualsIgnoreCase(head, name)) break;
    }
    const std::string& q = params.GetRawParam(first);
    const std::string_view kDefault = "\x01(default)";
    const std::string value = params.ParamCheck(name, kDefault);
    const auto eq = q.find('=');
    if (eq == std::string::npos) {
      Check(value == kDefault);
      continue;
    }
    std::string_view expected = std::string_view(q).substr(eq + 1);
    if (expected.size() >= 2 && expected.front() == '"' && expected.back() == '"')
      expected = expected.substr(1, expected.size() - 2);
    Check(value == expected);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool case_sensitive = data[0] & 1;
  const bool from_argv = data[0] & 2;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

  if (!from_argv) {
    CommandLineParameters params(input);
    params.SetCaseSensitive(case_sensitive);
    CheckParameters(params, case_sensitive);
    return 0;
  }

  std::vector<std::string> args = {"vaultline"};
  for (std::size_t start = 0; start <= input.size();) {
    auto end = input.find('\0', start);
    if (end == std::string_view::npos) end = input.size();
    args.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  auto params = CommandLineParameters::FromArgv(static_cast<int>(argv.size()), argv.data());
  params.SetCaseSensitive(case_sensitive);
  CheckParameters(params, case_sensitive);

  // Without quotes, each non-empty argument is one parameter, quoted when it
  // holds a blank.
  if (input.find('"') != std::string_view::npos) return 0;
  std::vector<std::string> expected;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.empty()) continue;
    expected.push_back(a.find_first_of(" \t") == std::string::npos ? a : "\"" + a + "\"");
  }
  Check(params.Count() == static_cast<int>(expected.size()));
  for (int i = 0; i < params.Count(); ++i) Check(params.GetRawParam(i) == expected[i]);
  return 0;
}
