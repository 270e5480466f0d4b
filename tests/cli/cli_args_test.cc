#include "cli/cli_args.h"

#include <gtest/gtest.h>

#include <sstream>

namespace cli {
namespace {

/// Names joined with "|", or "none" when the path climbs above the root.
std::string Joined(const std::optional<std::vector<std::string>>& names) {
  if (!names) return "none";
  std::string out;
  for (const auto& n : *names) out += (out.empty() ? "" : "|") + n;
  return out;
}

TEST(RemotePathTest, SplitsAtBothSeparatorsAndResolvesDots) {
  const struct {
    const char* names;
    std::vector<const char*> paths;
  } cases[] = {{"Έγγραφα|Συμβόλαια|a b.txt", {"Έγγραφα/Συμβόλαια\\a b.txt"}},
               {"Έγγραφα", {"\\Έγγραφα\\"}},
               {"a|b", {"//a///b/"}},
               {"", {"", "/", "\\", "./.", "a\\b\\..\\.."}},
               {"b|c", {"a/../b/./c"}},
               {"none", {"..", "a/../../b"}},
               {"...x|a..b|.hidden", {"...x/a..b/.hidden"}}};
  for (const auto& c : cases) {
    for (const char* path : c.paths) EXPECT_EQ(Joined(SplitRemotePath(path)), c.names) << path;
  }
  EXPECT_EQ(JoinRemotePath({}), "/");
  EXPECT_EQ(JoinRemotePath({"a", "β"}), "/a/β");
}

/// "host:port", or "none".
std::string Text(const std::optional<Endpoint>& e) {
  return e ? e->host + ":" + std::to_string(e->port) : "none";
}

TEST(EndpointTest, HostAndPortOrNothing) {
  EXPECT_EQ(Text(ParseEndpoint("127.0.0.1:2121")), "127.0.0.1:2121");
  EXPECT_EQ(Text(ParseEndpoint("[::1]:65535")), "::1:65535");
  for (const char* bad : {"localhost", "localhost:", ":80", "h:0", "h:65536", "h:8x", "h:-1",
                          "::1:80", "[::1]80", "[::1]:", "[]:80", "h:99999999999999999999"}) {
    EXPECT_EQ(Text(ParseEndpoint(bad)), "none") << bad;
  }
}

/// The parse in one line: the command and its remote names, then what differs
/// from the defaults of an empty command line ("error: ..." for a usage error).
std::string Describe(const ParseResult& r) {
  if (r.help) return "help";
  if (!r.options) return "error: " + r.error;
  const CliOptions& o = *r.options;
  static const char* const kCommands[] = {"ls", "get", "put", "mkdir", "mv", "rm", "usage"};
  std::string s = kCommands[static_cast<int>(o.command)] + (" [" + Joined(o.remote) + "]");
  if (!o.local.empty()) s += " local=" + o.local;
  if (!o.new_name.empty()) s += " new=" + o.new_name;
  if (o.existing != ExistingTarget::kRefuse)
    s += o.existing == ExistingTarget::kResume ? " resume" : " replace";
  if (o.user != "u") s += " user=" + o.user;
  if (o.server) s += " server=" + Text(o.server);
  if (o.proxy) s += " proxy=" + Text(o.proxy);
  if (o.dealers) s += " dealers";
  if (o.debug != 0) s += " debug=" + std::to_string(o.debug);
  if (!o.password_file.empty()) s += " password-file=" + o.password_file;
  return s;
}

/// The words of a command line written with "|" between them.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; std::getline(in, word, '|');) words.push_back(word);
  return words;
}

TEST(CommandLineTest, ArgumentListsAndTheirOutcome) {
  const struct {
    const char* outcome;  ///< exact, or a part of the error after "error: "
    std::vector<const char*> command_lines;
  } cases[] = {
      {"ls [Έγγραφα|Συμβόλαια] user=demo server=127.0.0.1:2121 dealers debug=2 password-file=pw",
       {"--server|127.0.0.1:2121|--user| demo |--dealers|--debug|2|--password-file|pw|ls|"
        "Έγγραφα/Συμβόλαια"}},
      {"get [a|b.txt] local=local.txt resume proxy=127.0.0.1:8080",
       {"get|a\\b.txt|local.txt|--resume|--user=u|--proxy=127.0.0.1:8080"}},
      {"ls []", {"--user|u|ls"}},
      {"get [f.txt]", {"--user|u|get|f.txt"}},
      {"put [] local=/tmp/x.bin replace", {"--user|u|put|/tmp/x.bin|--replace"}},
      {"put [a|b] local=x", {"--user|u|put|x|a/b"}},
      {"mkdir [a|new]", {"--user|u|mkdir|a/new"}},
      {"mv [a|old] new=new name", {"--user|u|mv|a/old|new name"}},
      {"usage []", {"--user|u|usage"}},
      // "--" ends the options; a lone "-" is a word.
      {"rm [x]", {"--user|u|rm|x"}},
      {"rm [--odd--]", {"--user|u|rm|--|--odd--"}},
      {"rm [-]", {"--user|u|rm|-"}},
      {"help", {"ls|--help", "-h"}},
      {"error: --user is required", {"ls"}},
      {"error: no command", {"--user|u"}},
      {"error: unknown command", {"--user|u|cat|x"}},
      {"error: unknown option", {"--user|u|--verbose|ls"}},
      {"error: not both",
       {"--user|u|--server|a:1|--proxy|b:2|ls", "--user|u|get|f|--resume|--replace"}},
      {"error: HOST:PORT", {"--user|u|--server|nohost|ls"}},
      {"error: get and put", {"--user|u|mkdir|d|--replace"}},
      {"error: --debug", {"--user|u|--debug|x|ls", "--user|u|--debug|10|ls"}},
      {"error: --dealers", {"--user|u|--dealers|usage"}},
      {"error: no value", {"--user|u|--dealers=yes|ls"}},
      {"error: needs a value", {"--user"}},
      {"error: user ID", {"--user|  |ls"}},
      {"error: wrong number",
       {"--user|u|ls|a|b", "--user|u|get", "--user|u|get|a|b|c", "--user|u|put", "--user|u|mkdir",
        "--user|u|mv|a", "--user|u|rm|a|b", "--user|u|usage|x"}},
      {"error: names no file", {"--user|u|rm|/", "--user|u|get|a/.."}},
      {"error: above the root", {"--user|u|mkdir|../x", "--user|u|ls|..", "--user|u|put|f|.."}},
      // The password is never taken from the command line.
      {"error: never given", {"--user|u|--password|secret|ls", "--user|u|--password=secret|ls"}},
  };
  for (const auto& c : cases) {
    for (const char* line : c.command_lines) {
      const std::string got = Describe(ParseCommandLine(Words(line)));
      const std::string want = c.outcome;
      const bool error = want.rfind("error: ", 0) == 0;
      EXPECT_TRUE(error ? got.rfind("error: ", 0) == 0 &&
                              got.find(want.substr(7)) != std::string::npos
                        : got == want)
          << line << ": " << got;
    }
  }
}

}  // namespace
}  // namespace cli
