// vaultline-cli: the folder session driven from the command line.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_client.h"
#include "support/text.h"

namespace {

/// The password: the first line of the file, or VAULTLINE_PASSWORD.
bool ReadPassword(const cli::CliOptions& options, std::string& password, std::string& error) {
  if (!options.password_file.empty()) {
    std::ifstream in(options.password_file, std::ios::binary);
    if (!in) {
      error = "cannot read the password file " + options.password_file;
      return false;
    }
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
  } else if (const char* env = std::getenv("VAULTLINE_PASSWORD")) {
    password = env;
  }
  if (password.empty()) {
    error = "no password: set VAULTLINE_PASSWORD or give --password-file FILE";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const cli::ParseResult parsed = cli::ParseCommandLine(args);
  if (parsed.help) {
    std::cout << cli::kUsageText;
    return 0;
  }
  if (!parsed.options) {
    std::cerr << "vaultline-cli: " << parsed.error << "\n" << cli::kUsageText;
    return static_cast<int>(cli::ExitCode::kUsage);
  }
  std::string password;
  std::string error;
  if (!ReadPassword(*parsed.options, password, error)) {
    std::cerr << "vaultline-cli: " << error << "\n";
    return static_cast<int>(cli::ExitCode::kUsage);
  }
  std::signal(SIGPIPE, SIG_IGN);
  support::SetDecimalSeparator(support::DecimalSeparatorFromLocale());
  cli::CliClient client(*parsed.options, std::move(password), std::cout, std::cerr,
                        ::isatty(STDERR_FILENO) == 1);
  return static_cast<int>(client.Run());
}
