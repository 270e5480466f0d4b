#include "app/proxy_dialog.h"

#include <gtest/gtest.h>

namespace app {
namespace {

TEST(ProxyDialogTest, PortBoxKeepsNumbersAndTurnsAnythingElseIntoZero) {
  const struct {
    const char* typed;
    const char* kept;
  } cases[] = {
      {"8080", "8080"}, {" 80 ", " 80 "},
      {"-1", "-1"},     {"", "0"},
      {"80a", "0"},     {"a", "0"},
      {"8 0", "0"},     {"+", "0"},
      {"1.5", "0"},     {"99999999999", "99999999999"},
  };
  for (const auto& c : cases) EXPECT_EQ(ProxyPortBoxText(c.typed), c.kept) << c.typed;
}

/// The settings OK stores ("type server port"), or the box its balloon points at.
std::string Outcome(const std::variant<ProxySettings, ProxyDialogProblem>& outcome) {
  if (const auto* s = std::get_if<ProxySettings>(&outcome)) {
    return std::to_string(s->type) + " " + s->server + " " + std::to_string(s->port);
  }
  const auto& problem = std::get<ProxyDialogProblem>(outcome);
  EXPECT_FALSE(problem.title.empty() || problem.text.empty());
  return problem.box == ProxyDialogProblem::Box::kName ? "name box" : "port box";
}

TEST(ProxyDialogTest, OkStoresOrRefusesByTheRules) {
  const struct {
    int type;
    const char* name;
    const char* port;
    const char* outcome;
  } cases[] = {
      // None forgets the server and the port whatever the boxes hold.
      {0, "proxy", "3128", "0  0"},
      {0, "", "x", "0  0"},
      {1, "  cache.lan  ", "3128", "1 cache.lan 3128"},
      {1, "p", "1", "1 p 1"},
      {1, "p", "65335", "1 p 65335"},
      {1, "p", "65336", "port box"},
      {1, "p", "0", "port box"},
      {1, "p", "-8080", "port box"},
      {1, "p", "99999999999", "port box"},
      {1, "   ", "0", "name box"},  // the name is checked before the port
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Outcome(AcceptProxyDialog(c.type, c.name, c.port)), c.outcome)
        << c.name << "/" << c.port;
  }
}

TEST(ProxyDialogTest, FieldsOfTheStoredSettings) {
  const auto http = ProxyDialogFieldsOf({1, "p", 3128});
  EXPECT_EQ(http.type_entry, 1);
  EXPECT_EQ(http.name, "p");
  EXPECT_EQ(http.port_text, "3128");
  // Types without an entry open on "none".
  EXPECT_EQ(ProxyDialogFieldsOf({2, "p", 1080}).type_entry, 0);
  EXPECT_EQ(ProxyDialogFieldsOf({3, "p", 1080}).type_entry, 0);
  EXPECT_FALSE(ProxyBoxesEnabled(0));
  EXPECT_TRUE(ProxyBoxesEnabled(1));
}

}  // namespace
}  // namespace app
