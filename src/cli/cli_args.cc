#include "cli/cli_args.h"

#include "support/text.h"

namespace cli {

const char* const kUsageText =
    "usage: vaultline-cli [--server HOST:PORT | --proxy HOST:PORT] --user ID\n"
    "                     [--password-file FILE] [--dealers] [--debug N] COMMAND ARGS\n"
    "commands:\n"
    "  ls [PATH]                               list a folder (d|f, bytes, stamp, name)\n"
    "  get REMOTE [LOCAL] [--resume|--replace] download a file\n"
    "  put LOCAL [REMOTE_DIR] [--resume|--replace]\n"
    "                                          upload a file into a folder\n"
    "  mkdir PATH                              create a folder\n"
    "  mv PATH NEWNAME                         rename a file or folder\n"
    "  rm PATH                                 delete a file or folder\n"
    "  usage                                   used bytes, quota bytes, percent\n"
    "The password comes from VAULTLINE_PASSWORD or the first line of --password-file.\n"
    "--dealers switches to the dealers folder first; --debug N echoes the session's log\n"
    "lines (debug lines up to level N) to stderr.\n"
    "Remote paths use / or \\ between names. Without --server the folder server is\n"
    "found through the parameters file (through --proxy when given).\n"
    "Exit codes: 0 done, 1 refused by the server, 2 usage error, 3 connection failure.\n";

namespace {

struct CommandSpec {
  std::string_view name;
  Command command;
  std::size_t min_args;
  std::size_t max_args;
};

constexpr CommandSpec kCommands[] = {
    {"ls", Command::kLs, 0, 1},       {"get", Command::kGet, 1, 2}, {"put", Command::kPut, 1, 2},
    {"mkdir", Command::kMkdir, 1, 1}, {"mv", Command::kMv, 2, 2},   {"rm", Command::kRm, 1, 1},
    {"usage", Command::kUsage, 0, 0},
};

ParseResult Fail(std::string error) {
  ParseResult r;
  r.error = std::move(error);
  return r;
}

/// A remote path that must name something below the root.
std::optional<std::vector<std::string>> NamedPath(std::string_view text, std::string& error) {
  auto names = SplitRemotePath(text);
  if (!names) {
    error = "remote path climbs above the root: " + std::string(text);
    return std::nullopt;
  }
  if (names->empty()) {
    error = "remote path names no file or folder: " + std::string(text);
    return std::nullopt;
  }
  return names;
}

}  // namespace

std::optional<Endpoint> ParseEndpoint(std::string_view text) {
  std::string_view host;
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
      return std::nullopt;
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) return std::nullopt;  // IPv6 needs brackets
  }
  const auto number = support::ParseNonNegative(port);
  if (host.empty() || !number || *number < 1 || *number > 65535) return std::nullopt;
  return Endpoint{std::string(host), static_cast<std::int32_t>(*number)};
}

std::optional<std::vector<std::string>> SplitRemotePath(std::string_view path) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view name = path.substr(start, end - start);
    if (name == "..") {
      if (names.empty()) return std::nullopt;
      names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.emplace_back(name);
    }
    start = end + 1;
  }
  return names;
}

std::string JoinRemotePath(const std::vector<std::string>& names) {
  if (names.empty()) return "/";
  std::string out;
  for (const auto& n : names) out += "/" + n;
  return out;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  CliOptions o;
  std::vector<std::string> words;
  bool resume = false;
  bool replace = false;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      ParseResult r;
      r.help = true;
      return r;
    }
    // "--name value" and "--name=value".
    std::string name = arg;
    std::optional<std::string> value;
    if (const auto eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    const auto take_value = [&]() -> std::optional<std::string> {
      if (value) return value;
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (name == "--dealers" || name == "--resume" || name == "--replace") {
      if (value) return Fail(name + " takes no value");
      if (name == "--dealers") o.dealers = true;
      if (name == "--resume") resume = true;
      if (name == "--replace") replace = true;
      continue;
    }
    if (name == "--password") {
      return Fail(
          "the password is never given on the command line: use VAULTLINE_PASSWORD or "
          "--password-file");
    }
    if (name != "--server" && name != "--proxy" && name != "--user" && name != "--password-file" &&
        name != "--debug") {
      return Fail("unknown option " + name);
    }
    const auto v = take_value();
    if (!v) return Fail(name + " needs a value");
    if (name == "--server" || name == "--proxy") {
      const auto endpoint = ParseEndpoint(*v);
      if (!endpoint) return Fail(name + " wants HOST:PORT, not " + *v);
      (name == "--server" ? o.server : o.proxy) = endpoint;
    } else if (name == "--user") {
      o.user = std::string(support::Trim(*v));
      if (o.user.empty()) return Fail("--user needs a user ID");
    } else if (name == "--password-file") {
      if (v->empty()) return Fail("--password-file needs a file name");
      o.password_file = *v;
    } else {
      const auto level = support::ParseNonNegative(*v);
      if (!level || *level > 9) return Fail("--debug wants a level from 0 to 9, not " + *v);
      o.debug = static_cast<int>(*level);
    }
  }

  if (o.server && o.proxy) return Fail("give --server or --proxy, not both");
  if (o.user.empty()) return Fail("--user is required");
  if (resume && replace) return Fail("give --resume or --replace, not both");
  if (words.empty()) return Fail("no command given");

  const CommandSpec* found = nullptr;
  for (const auto& s : kCommands) {
    if (words[0] == s.name) found = &s;
  }
  if (!found) return Fail("unknown command " + words[0]);
  const std::size_t count = words.size() - 1;
  if (count < found->min_args || count > found->max_args)
    return Fail("wrong number of arguments for " + words[0]);
  o.command = found->command;
  if ((resume || replace) && o.command != Command::kGet && o.command != Command::kPut)
    return Fail("--resume and --replace go with get and put only");
  if (o.command == Command::kUsage && o.dealers)
    return Fail("usage reports the personal folder: leave out --dealers");
  o.existing = resume ? ExistingTarget::kResume
                      : (replace ? ExistingTarget::kReplace : ExistingTarget::kRefuse);

  std::string error;
  switch (o.command) {
    case Command::kLs: {
      auto names = SplitRemotePath(count == 1 ? words[1] : std::string());
      if (!names) return Fail("remote path climbs above the root: " + words[1]);
      o.remote = std::move(*names);
      break;
    }
    case Command::kGet:
    case Command::kMkdir:
    case Command::kMv:
    case Command::kRm: {
      auto names = NamedPath(words[1], error);
      if (!names) return Fail(error);
      o.remote = std::move(*names);
      if (o.command == Command::kGet && count == 2) o.local = words[2];
      if (o.command == Command::kMv) o.new_name = words[2];
      break;
    }
    case Command::kPut: {
      if (words[1].empty()) return Fail("put needs a local file");
      o.local = words[1];
      auto names = SplitRemotePath(count == 2 ? words[2] : std::string());
      if (!names) return Fail("remote path climbs above the root: " + words[2]);
      o.remote = std::move(*names);
      break;
    }
    case Command::kUsage:
      break;
  }
  ParseResult r;
  r.options = std::move(o);
  return r;
}

}  // namespace cli
