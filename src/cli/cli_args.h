#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

/// What the command line asks for.
enum class Command { kLs, kGet, kPut, kMkdir, kMv, kRm, kUsage };

/// What to do when the target of a transfer exists already.
enum class ExistingTarget { kRefuse, kResume, kReplace };

/// A host and port given as HOST:PORT.
struct Endpoint {
  std::string host;
  std::int32_t port = 0;
};

/// The parsed command line. Remote paths are already split into their folder
/// and file names (see SplitRemotePath).
struct CliOptions {
  std::optional<Endpoint> server;  ///< --server: the folder server, no parameters fetch
  std::optional<Endpoint> proxy;   ///< --proxy: fetch the parameters through this HTTP proxy
  std::string user;
  std::string password_file;  ///< --password-file; empty: VAULTLINE_PASSWORD
  bool dealers = false;
  int debug = 0;
  Command command = Command::kLs;
  ExistingTarget existing = ExistingTarget::kRefuse;
  std::vector<std::string> remote;  ///< ls, get, mkdir, mv, rm: the remote path; put: the folder
  std::string local;                ///< get: local target ("" = the remote name); put: the source
  std::string new_name;             ///< mv
};

/// The outcome of parsing: options, or the reason the command line is unusable
/// (a usage error, exit code 2). `help` is set for --help.
struct ParseResult {
  std::optional<CliOptions> options;
  std::string error;
  bool help = false;
};

/// Parses the arguments after the program name. Options may stand before or
/// after the command; "--" ends the options, so later words starting with "--"
/// are taken as paths. The password is never taken from the command line.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

/// "HOST:PORT" with a port from 1 to 65535; the host may be a bracketed IPv6
/// address ("[::1]:2121").
std::optional<Endpoint> ParseEndpoint(std::string_view text);

/// Splits a remote path at "/" and "\" into names, from the root: empty names
/// and "." are dropped and ".." removes the name before it. Nothing when ".."
/// climbs above the root.
std::optional<std::vector<std::string>> SplitRemotePath(std::string_view path);

/// The names joined with "/" after a leading "/" (how remote paths are shown).
std::string JoinRemotePath(const std::vector<std::string>& names);

/// The usage text printed for --help and after a usage error.
extern const char* const kUsageText;

}  // namespace cli
