#include "server/config.h"

#include <gtest/gtest.h>

#include "common/process.h"
#include "server/demo.h"

namespace server {
namespace {

TEST(ConfigFile, FullExampleIsRead) {
  const auto result = ParseConfig(R"(
# comment
[server]
max_sessions_per_user = 3      # inline comment
maintenance = true
protocol = 6
cleanup_days = 45
cleanup_interval = 14
ping_every = 90

; another comment
[user demo]
password = p#ss;word
quota = 104857600
dealers = true
over_quota_warning = false
allowed = false

[user plain]
password = x

[link Εγχειρίδια]
target = manuals
)");
  ASSERT_TRUE(result.config) << result.error;
  const ServerConfig& c = *result.config;
  EXPECT_EQ(c.max_sessions_per_user, 3);
  EXPECT_TRUE(c.maintenance);
  EXPECT_EQ(c.protocol, "6");
  EXPECT_EQ(c.cleanup_days, 45);
  EXPECT_EQ(c.cleanup_interval, 14);
  EXPECT_EQ(c.ping_every, 90);
  const UserConfig* demo = c.FindUser("demo");
  ASSERT_NE(demo, nullptr);
  EXPECT_EQ(demo->password, "p#ss;word");  // a comment needs a blank before it
  EXPECT_EQ(demo->quota, 104857600);
  EXPECT_TRUE(demo->dealers);
  EXPECT_FALSE(demo->over_quota_warning);
  EXPECT_FALSE(demo->allowed);
  EXPECT_TRUE(c.FindUser("plain")->allowed);  // a user is allowed unless the file says otherwise
  ASSERT_EQ(c.links.size(), 1u);
  EXPECT_EQ(c.links[0].name, "Εγχειρίδια");
  EXPECT_EQ(c.links[0].WirePath(), "\\manuals\\");
  EXPECT_EQ(c.FindLinkTarget("manuals"), &c.links[0]);
}

TEST(ConfigFile, MistakesAreReportedWithTheirLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"[server]\nmax_sesions_per_user = 2\n", "line 2"},
      {"[server]\nmaintenance = perhaps\n", "line 2"},
      {"[server]\ncleanup_interval = 40000\n", "line 2"},
      {"[user a]\nquota = -1\n", "line 2"},
      {"key = value\n", "line 1"},
      {"[nonsense]\n", "line 1"},
      {"[user a]\n[user a]\n", "line 2"},
      {"[user ../x]\n", "line 1"},
      {"[user a|b]\n", "line 1"},
      {"[link L]\ntarget = ..\n", "line 2"},
      {"[link 日本]\ntarget = x\n", "line 1"},
      {"[server\n", "line 1"},
      {"[user \r#b]\n", "line 1"},  // a carriage return is a blank before a comment too
  };
  for (const auto& [text, line] : cases) {
    const auto result = ParseConfig(text);
    EXPECT_FALSE(result.config) << text;
    EXPECT_EQ(result.error.rfind(line, 0), 0u) << text << " -> " << result.error;
  }
  EXPECT_FALSE(ParseConfig("[link L]\n").config);  // a link needs a target
}

TEST(Demo, ASecondSeedingChangesNoFileAndAddsNoSecondAccountOrLink) {
  test_common::TempDir dir;
  ServerConfig config;
  std::string error;
  ASSERT_TRUE(SeedDemo(dir.Path(), config, error)) << error;
  const auto readme = dir.Path() / "users" / "demo" / "readme.txt";
  test_common::WriteFile(readme, "changed");
  ASSERT_TRUE(SeedDemo(dir.Path(), config, error)) << error;
  EXPECT_EQ(test_common::ReadFile(readme), "changed");
  EXPECT_EQ(config.users.size(), 1u);
  EXPECT_EQ(config.links.size(), 1u);
}

}  // namespace
}  // namespace server
