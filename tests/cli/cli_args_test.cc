#include "cli/cli_args.h"

#include <gtest/gtest.h>

namespace cli {
namespace {

using Names = std::vector<std::string>;

// ---- Remote paths ----

TEST(RemotePathTest, BothSeparatorsSplitIntoNamesFromTheRoot) {
  EXPECT_EQ(SplitRemotePath("Έγγραφα/Συμβόλαια\\a b.txt"),
            (Names{"Έγγραφα", "Συμβόλαια", "a b.txt"}));
  EXPECT_EQ(SplitRemotePath("\\Έγγραφα\\"), (Names{"Έγγραφα"}));
  EXPECT_EQ(SplitRemotePath("//a///b/"), (Names{"a", "b"}));
}

TEST(RemotePathTest, RootForms) {
  EXPECT_EQ(SplitRemotePath(""), Names{});
  EXPECT_EQ(SplitRemotePath("/"), Names{});
  EXPECT_EQ(SplitRemotePath("\\"), Names{});
  EXPECT_EQ(SplitRemotePath("./."), Names{});
}

TEST(RemotePathTest, DotDotRemovesThePreviousNameButNeverClimbsAboveTheRoot) {
  EXPECT_EQ(SplitRemotePath("a/../b/./c"), (Names{"b", "c"}));
  EXPECT_EQ(SplitRemotePath("a\\b\\..\\.."), Names{});
  EXPECT_EQ(SplitRemotePath(".."), std::nullopt);
  EXPECT_EQ(SplitRemotePath("a/../../b"), std::nullopt);
}

TEST(RemotePathTest, NamesWithDotsInsideStayWhole) {
  EXPECT_EQ(SplitRemotePath("...x/a..b/.hidden"), (Names{"...x", "a..b", ".hidden"}));
}

TEST(RemotePathTest, JoinShowsSlashes) {
  EXPECT_EQ(JoinRemotePath({}), "/");
  EXPECT_EQ(JoinRemotePath({"a", "β"}), "/a/β");
}

// ---- Endpoints ----

TEST(EndpointTest, HostAndPort) {
  const auto e = ParseEndpoint("127.0.0.1:2121");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->host, "127.0.0.1");
  EXPECT_EQ(e->port, 2121);
  const auto v6 = ParseEndpoint("[::1]:65535");
  ASSERT_TRUE(v6);
  EXPECT_EQ(v6->host, "::1");
  EXPECT_EQ(v6->port, 65535);
}

TEST(EndpointTest, RefusesMissingPartsAndPortsOutOfRange) {
  for (const char* bad : {"localhost", "localhost:", ":80", "h:0", "h:65536", "h:8x", "h:-1",
                          "::1:80", "[::1]80", "[::1]:", "[]:80", "h:99999999999999999999"}) {
    EXPECT_FALSE(ParseEndpoint(bad)) << bad;
  }
}

// ---- Command line ----

class CommandLineTest : public ::testing::Test {
 protected:
  static CliOptions Parse(std::vector<std::string> args) {
    const ParseResult r = ParseCommandLine(args);
    EXPECT_TRUE(r.options) << r.error;
    return r.options.value_or(CliOptions{});
  }
  static std::string Error(std::vector<std::string> args) {
    const ParseResult r = ParseCommandLine(args);
    EXPECT_FALSE(r.options);
    EXPECT_FALSE(r.error.empty());
    return r.error;
  }
};

TEST_F(CommandLineTest, GlobalOptionsBeforeTheCommand) {
  const auto o = Parse({"--server", "127.0.0.1:2121", "--user", " demo ", "--dealers", "--debug",
                        "2", "--password-file", "pw", "ls", "Έγγραφα/Συμβόλαια"});
  ASSERT_TRUE(o.server);
  EXPECT_EQ(o.server->port, 2121);
  EXPECT_FALSE(o.proxy);
  EXPECT_EQ(o.user, "demo");
  EXPECT_TRUE(o.dealers);
  EXPECT_EQ(o.debug, 2);
  EXPECT_EQ(o.password_file, "pw");
  EXPECT_EQ(o.command, Command::kLs);
  EXPECT_EQ(o.remote, (Names{"Έγγραφα", "Συμβόλαια"}));
}

TEST_F(CommandLineTest, OptionsAfterTheCommandAndWithEquals) {
  const auto o =
      Parse({"get", "a\\b.txt", "local.txt", "--resume", "--user=demo", "--proxy=127.0.0.1:8080"});
  EXPECT_EQ(o.command, Command::kGet);
  EXPECT_EQ(o.remote, (Names{"a", "b.txt"}));
  EXPECT_EQ(o.local, "local.txt");
  EXPECT_EQ(o.existing, ExistingTarget::kResume);
  ASSERT_TRUE(o.proxy);
  EXPECT_EQ(o.proxy->host, "127.0.0.1");
  EXPECT_EQ(o.proxy->port, 8080);
}

TEST_F(CommandLineTest, EachCommandTakesItsArguments) {
  EXPECT_EQ(Parse({"--user", "u", "ls"}).remote, Names{});
  const auto get = Parse({"--user", "u", "get", "f.txt"});
  EXPECT_EQ(get.local, "");
  EXPECT_EQ(get.existing, ExistingTarget::kRefuse);
  const auto put = Parse({"--user", "u", "put", "/tmp/x.bin", "--replace"});
  EXPECT_EQ(put.command, Command::kPut);
  EXPECT_EQ(put.local, "/tmp/x.bin");
  EXPECT_EQ(put.remote, Names{});
  EXPECT_EQ(put.existing, ExistingTarget::kReplace);
  EXPECT_EQ(Parse({"--user", "u", "put", "x", "a/b"}).remote, (Names{"a", "b"}));
  EXPECT_EQ(Parse({"--user", "u", "mkdir", "a/new"}).remote, (Names{"a", "new"}));
  const auto mv = Parse({"--user", "u", "mv", "a/old", "new name"});
  EXPECT_EQ(mv.command, Command::kMv);
  EXPECT_EQ(mv.remote, (Names{"a", "old"}));
  EXPECT_EQ(mv.new_name, "new name");
  EXPECT_EQ(Parse({"--user", "u", "rm", "x"}).command, Command::kRm);
  EXPECT_EQ(Parse({"--user", "u", "usage"}).command, Command::kUsage);
}

TEST_F(CommandLineTest, DoubleDashLetsPathsStartWithDashes) {
  const auto o = Parse({"--user", "u", "rm", "--", "--odd--"});
  EXPECT_EQ(o.remote, Names{"--odd--"});
  const auto single = Parse({"--user", "u", "rm", "-"});
  EXPECT_EQ(single.remote, Names{"-"});
}

TEST_F(CommandLineTest, HelpWinsOverEverythingElse) {
  EXPECT_TRUE(ParseCommandLine({"ls", "--help"}).help);
  EXPECT_TRUE(ParseCommandLine({"-h"}).help);
}

TEST_F(CommandLineTest, UsageErrors) {
  EXPECT_NE(Error({"ls"}).find("--user"), std::string::npos);
  EXPECT_NE(Error({"--user", "u"}).find("no command"), std::string::npos);
  EXPECT_NE(Error({"--user", "u", "cat", "x"}).find("unknown command"), std::string::npos);
  EXPECT_NE(Error({"--user", "u", "--verbose", "ls"}).find("unknown option"), std::string::npos);
  EXPECT_NE(Error({"--user", "u", "--server", "a:1", "--proxy", "b:2", "ls"}).find("not both"),
            std::string::npos);
  EXPECT_NE(Error({"--user", "u", "--server", "nohost", "ls"}).find("HOST:PORT"),
            std::string::npos);
  EXPECT_NE(Error({"--user", "u", "get", "f", "--resume", "--replace"}).find("not both"),
            std::string::npos);
  EXPECT_NE(Error({"--user", "u", "mkdir", "d", "--replace"}).find("get and put"),
            std::string::npos);
  EXPECT_NE(Error({"--user", "u", "--debug", "x", "ls"}).find("--debug"), std::string::npos);
  EXPECT_NE(Error({"--user", "u", "--debug", "10", "ls"}).find("--debug"), std::string::npos);
  EXPECT_NE(Error({"--user", "u", "--dealers", "usage"}).find("--dealers"), std::string::npos);
  EXPECT_NE(Error({"--user", "u", "--dealers=yes", "ls"}).find("no value"), std::string::npos);
  EXPECT_NE(Error({"--user"}).find("needs a value"), std::string::npos);
  EXPECT_NE(Error({"--user", "  ", "ls"}).find("user ID"), std::string::npos);
}

TEST_F(CommandLineTest, WrongArgumentCounts) {
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"--user", "u", "ls", "a", "b"},
                                             {"--user", "u", "get"},
                                             {"--user", "u", "get", "a", "b", "c"},
                                             {"--user", "u", "put"},
                                             {"--user", "u", "mkdir"},
                                             {"--user", "u", "mv", "a"},
                                             {"--user", "u", "rm", "a", "b"},
                                             {"--user", "u", "usage", "x"}}) {
    EXPECT_NE(Error(args).find("wrong number"), std::string::npos) << args[2];
  }
}

TEST_F(CommandLineTest, PathsThatNameNothingAreRefused) {
  EXPECT_NE(Error({"--user", "u", "rm", "/"}).find("names no file"), std::string::npos);
  EXPECT_NE(Error({"--user", "u", "get", "a/.."}).find("names no file"), std::string::npos);
  EXPECT_NE(Error({"--user", "u", "mkdir", "../x"}).find("above the root"), std::string::npos);
  EXPECT_NE(Error({"--user", "u", "ls", ".."}).find("above the root"), std::string::npos);
  EXPECT_NE(Error({"--user", "u", "put", "f", ".."}).find("above the root"), std::string::npos);
}

TEST_F(CommandLineTest, ThePasswordIsNeverTakenFromTheCommandLine) {
  EXPECT_NE(Error({"--user", "u", "--password", "secret", "ls"}).find("VAULTLINE_PASSWORD"),
            std::string::npos);
  EXPECT_NE(Error({"--user", "u", "--password=secret", "ls"}).find("never"), std::string::npos);
}

}  // namespace
}  // namespace cli
