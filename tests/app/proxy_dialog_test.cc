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

TEST(ProxyDialogTest, OkStoresOrRefusesByTheRules) {
  using Box = ProxyDialogProblem::Box;
  const struct {
    int type;
    const char* name;
    const char* port;
    bool accepted;
    ProxySettings stored;
    Box refused_on;
  } cases[] = {
      // None forgets the server and the port whatever the boxes hold.
      {0, "proxy", "3128", true, {0, "", 0}, Box::kName},
      {0, "", "x", true, {0, "", 0}, Box::kName},
      {1, "  cache.lan  ", "3128", true, {1, "cache.lan", 3128}, Box::kName},
      {1, "p", "1", true, {1, "p", 1}, Box::kName},
      {1, "p", "65335", true, {1, "p", 65335}, Box::kName},
      {1, "p", "65336", false, {}, Box::kPort},
      {1, "p", "0", false, {}, Box::kPort},
      {1, "p", "-8080", false, {}, Box::kPort},
      {1, "p", "99999999999", false, {}, Box::kPort},
      // The name is checked before the port.
      {1, "   ", "0", false, {}, Box::kName},
  };
  for (const auto& c : cases) {
    const auto outcome = AcceptProxyDialog(c.type, c.name, c.port);
    SCOPED_TRACE(std::string(c.name) + "/" + c.port);
    if (c.accepted) {
      const auto* stored = std::get_if<ProxySettings>(&outcome);
      ASSERT_NE(stored, nullptr);
      EXPECT_EQ(stored->type, c.stored.type);
      EXPECT_EQ(stored->server, c.stored.server);
      EXPECT_EQ(stored->port, c.stored.port);
    } else {
      const auto* problem = std::get_if<ProxyDialogProblem>(&outcome);
      ASSERT_NE(problem, nullptr);
      EXPECT_EQ(problem->box, c.refused_on);
      EXPECT_EQ(problem->title, c.refused_on == Box::kName ? "Απαιτείται όνομα διακομιστή"
                                                           : "Μη έγκυρος αριθμός πόρτας");
    }
  }
}

TEST(ProxyDialogTest, FieldsOfTheStoredSettings) {
  EXPECT_EQ(ProxyDialogFieldsOf({1, "p", 3128}).type_entry, 1);
  EXPECT_EQ(ProxyDialogFieldsOf({1, "p", 3128}).port_text, "3128");
  // Types without an entry open on "none".
  EXPECT_EQ(ProxyDialogFieldsOf({2, "p", 1080}).type_entry, 0);
  EXPECT_EQ(ProxyDialogFieldsOf({3, "p", 1080}).type_entry, 0);
  EXPECT_FALSE(ProxyBoxesEnabled(0));
  EXPECT_TRUE(ProxyBoxesEnabled(1));
}

}  // namespace
}  // namespace app
