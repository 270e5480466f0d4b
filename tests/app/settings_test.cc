// The settings store, the program's settings in it, the stored password's scrambling and the
// proxy dialog's rules.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <variant>

#include "app/app_setting.h"
#include "app/crypto.h"
#include "app/proxy_dialog.h"
#include "common/expect_error.h"
#include "quarrytab/memory_registry_store.h"
#include "support/codepage.h"

namespace app {
namespace {

using quarrytab::kHkeyCurrentUser;
using quarrytab::RegistryData;
using test_common::ExpectError;

class SettingsTest : public ::testing::Test {
 protected:
  // The title is trimmed: the values land under base_.
  SettingsTest() { app_.SetAppSettingTitle("  " + std::string(kSettingsTitle) + "  "); }

  /// Every stored value, sorted: "Name=value" (a section's values as
  /// "Section\\Name"), the password unscrambled.
  std::string Stored() {
    std::set<std::string> values;
    for (const std::string section : {"", "Proxy"}) {
      const std::string path = section.empty() ? base_ : base_ + "\\" + section;
      std::vector<std::string> names;
      store_->EnumValues(kHkeyCurrentUser, path, names);
      for (const auto& name : names) {
        RegistryData data;
        store_->QueryValue(kHkeyCurrentUser, path, name, data);
        values.insert((section.empty() ? "" : section + "\\") + name + "=" +
                      (data.type == 3 ? PasswordFromStoredBytes(data.bytes)
                                      : app_.GetAppSettingString(section, name, "?")));
      }
    }
    std::string joined;
    for (const auto& v : values) joined += (joined.empty() ? "" : " ") + v;
    return joined;
  }
  const std::string base_ = "Software\\Orvalis\\Vaultline";
  std::shared_ptr<quarrytab::MemoryRegistryStore> store_ =
      std::make_shared<quarrytab::MemoryRegistryStore>();
  AppSetting app_{store_};
};

/// The loaded settings by their value names.
std::map<std::string, std::string> Loaded(const Settings& s) {
  return {{"ButtonStyle", std::to_string(s.button_style)},
          {"ProgressRefreshRate", std::to_string(s.progress_refresh_rate)},
          {"ChunkSize", std::to_string(s.chunk_size)},
          {"PFPort", std::to_string(s.pf_port)},
          {"PFServer", s.pf_server},
          {"Debug", std::to_string(s.debug)},
          {"Proxy\\Type", std::to_string(s.proxy.type)},
          {"Proxy\\Server", s.proxy.server},
          {"Proxy\\Port", std::to_string(s.proxy.port)},
          {"Width", std::to_string(s.width)},
          {"Height", std::to_string(s.height)}};
}

/// Loads with `value` alone stored under `key` ("Name", or "Section\\Name"):
/// that setting, after checking that the others read as `unset`.
std::string LoadWith(const std::string& key, std::variant<std::int32_t, const char*> value,
                     const std::map<std::string, std::string>& unset) {
  AppSetting app(std::make_shared<quarrytab::MemoryRegistryStore>());
  app.SetAppSettingTitle(kSettingsTitle);
  const auto slash = key.find('\\');
  const std::string section = slash == std::string::npos ? "" : key.substr(0, slash);
  const std::string name = slash == std::string::npos ? key : key.substr(slash + 1);
  if (const auto* number = std::get_if<std::int32_t>(&value)) {
    app.SaveAppSettingNumber(section, name, *number);
  } else {
    app.SaveAppSettingString(section, name, std::get<const char*>(value));
  }
  auto loaded = Loaded(LoadSettings(app, false));
  const std::string got = loaded[key];
  loaded[key] = unset.at(key);
  EXPECT_EQ(loaded, unset) << key << ": the other settings are left alone";
  return got;
}

TEST_F(SettingsTest, StoredValuesAreUsedWithinTheirRanges) {
  const auto unset = Loaded(LoadSettings(app_, false));
  const struct {
    const char* key;
    std::vector<std::int32_t> used;
    std::vector<std::int32_t> refused;  ///< read as if nothing were stored
  } numbers[] = {
      {"ButtonStyle", {1, -7}, {}},
      {"ProgressRefreshRate", {250, 1, INT32_MAX}, {0, -5}},
      {"ChunkSize", {32768, 1}, {0, -1}},
      {"PFPort", {0, 65535}, {70000, -1}},
      {"Debug", {2}, {}},
      {"Proxy\\Type", {0, 3}, {4, -1}},
      {"Proxy\\Port", {3128}, {}},
      {"Width", {700, 5000}, {699, 0}},
      {"Height", {390}, {389}},
  };
  for (const auto& c : numbers) {
    for (const auto v : c.used) EXPECT_EQ(LoadWith(c.key, v, unset), std::to_string(v)) << c.key;
    for (const auto v : c.refused) EXPECT_EQ(LoadWith(c.key, v, unset), unset.at(c.key)) << c.key;
  }
  EXPECT_EQ(LoadWith("PFServer", "h.example", unset), "h.example");
  EXPECT_EQ(LoadWith("Proxy\\Server", "h.example", unset), "h.example");
}

TEST_F(SettingsTest, PasswordIsReadOnlyWithAUserIdAndWithoutHandOver) {
  store_->CreateKey(kHkeyCurrentUser, base_);
  store_->SetValue(kHkeyCurrentUser, base_, "Password", {3, PasswordToStoredBytes("s3cret")});
  EXPECT_FALSE(LoadSettings(app_, false).password.has_value()) << "no UserID";
  app_.SaveAppSettingString("", "UserID", "maria");
  Settings s = LoadSettings(app_, false);
  EXPECT_EQ(s.user_id, "maria");
  EXPECT_EQ(s.password, "s3cret");
  s = LoadSettings(app_, true);
  EXPECT_EQ(s.user_id, "");
  EXPECT_FALSE(s.password.has_value());
  store_->DeleteValue(kHkeyCurrentUser, base_, "Password");
  EXPECT_FALSE(LoadSettings(app_, false).password.has_value()) << "UserID without a password";
}

TEST_F(SettingsTest, WhatTheExitWritesAndDeletes) {
  const struct {
    const char* what;
    bool login_stored_before;  ///< UserID "old", Password "pw"
    ExitSettings exit;
    const char* stored;
  } cases[] = {
      {"not the normal state", false, {false, 900, 600, false, false, "", ""}, ""},
      {"ticked box",
       false,
       {false, 0, 0, false, true, "maria", "αbc"},
       "Password=αbc UserID=maria"},
      {"nothing to delete", false, {false, 0, 0, false, false, "", ""}, ""},
      {"an empty field", true, {false, 0, 0, false, true, "new", ""}, "Password=pw UserID=old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    store_->DeleteKey(kHkeyCurrentUser, base_);
    if (c.login_stored_before) SaveSettingsAtExit(app_, {false, 0, 0, false, true, "old", "pw"});
    SaveSettingsAtExit(app_, c.exit);
    EXPECT_EQ(Stored(), c.stored);
  }
  // The password is stored as three UTF-16LE units, no terminator.
  RegistryData raw;
  SaveSettingsAtExit(app_, {false, 0, 0, false, true, "maria", "αbc"});
  ASSERT_EQ(store_->QueryValue(kHkeyCurrentUser, base_, "Password", raw), 0);
  EXPECT_EQ(raw.type, 3);
  EXPECT_EQ(raw.bytes.size(), 6u);
}

TEST_F(SettingsTest, ProxyValuesAreStoredAtOnceAndEmptyServerAndPortZeroDeleteTheirs) {
  ProxySettings proxy;
  StoreProxyServer(app_, proxy, "proxy.local");
  StoreProxyPort(app_, proxy, 3128);
  StoreProxyType(app_, proxy, 1);
  EXPECT_EQ(Stored(), "Proxy\\Port=3128 Proxy\\Server=proxy.local Proxy\\Type=1");
  StoreProxyServer(app_, proxy, "");
  StoreProxyPort(app_, proxy, 0);
  StoreProxyType(app_, proxy, 0);
  EXPECT_EQ(Stored(), "Proxy\\Type=0");
  EXPECT_EQ(proxy.port, kDefaultProxyPort);
  EXPECT_EQ(proxy.server, "");
}

TEST_F(SettingsTest, ErrorsForAMissingTitleKeyOrSection) {
  AppSetting untitled(store_);
  EXPECT_EQ(ExpectError(28001, [&] { untitled.GetAppSettingNumber("", "X", 1); }), "AppSettings");
  ExpectError(28001, [&] { untitled.SaveAppSettingString("", "X", "v"); });
  ExpectError(28001, [&] { untitled.DeleteAppSetting("S", ""); });
  ExpectError(28001, [&] { untitled.SetAppSettingTitle("   "); });
  EXPECT_EQ(ExpectError(5, [&] { app_.GetAppSettingString("", "", "d"); }), "AppSettings");
  ExpectError(5, [&] { app_.SaveAppSettingNumber("Proxy", "", 1); });
  EXPECT_EQ(ExpectError(28002, [&] { app_.DeleteAppSetting("", ""); }), "AppSettings");
}

TEST_F(SettingsTest, ReadsGiveTheDefaultForMissingWrongKindOrOutOfRangeValues) {
  app_.SaveAppSettingNumber("", "N", 10);
  EXPECT_EQ(app_.GetAppSettingNumberInRange("", "N", 5, 10, 20), 10);
  EXPECT_EQ(app_.GetAppSettingNumberInRange("", "N", 5, 0, 10), 10);
  EXPECT_EQ(app_.GetAppSettingNumberInRange("", "N", 5, 11, 20), 5);
  EXPECT_EQ(app_.GetAppSettingNumberInRange("", "N", 5, 0, 9), 5);
  EXPECT_EQ(app_.GetAppSettingString("", "N", "d"), "10") << "a number reads as its text";
  app_.SaveAppSettingString("", "S", "text");
  EXPECT_EQ(app_.GetAppSettingNumber("", "S", 77), 77);
  EXPECT_EQ(app_.GetAppSettingNumber("Nowhere", "S", 78), 78);
  store_->SetValue(kHkeyCurrentUser, base_, "B", RegistryData{3, "\x01"});
  EXPECT_EQ(app_.GetAppSettingString("", "B", "dflt"), "dflt");
  EXPECT_EQ(app_.GetAppSettingString("", "Missing", "dflt"), "dflt");
}

TEST_F(SettingsTest, BooleansAreNumbersAndAnyNonZeroIsTrue) {
  app_.SaveAppSettingBoolean("", "T", true);
  EXPECT_EQ(app_.GetAppSettingNumber("", "T", 0), 1);
  app_.SaveAppSettingNumber("", "Odd", -3);
  EXPECT_TRUE(app_.GetAppSettingBoolean("", "Odd", false));
  EXPECT_FALSE(app_.GetAppSettingBoolean("", "Missing", false));
  EXPECT_TRUE(app_.GetAppSettingBoolean("", "Missing", true));
}

TEST_F(SettingsTest, DeletingWhatIsMissingIsSilentOtherFailuresReachTheCaller) {
  app_.DeleteAppSetting("", "NoSuchValue");
  app_.DeleteAppSetting("NoSuchSection", "");
  app_.SaveAppSettingNumber("Proxy", "Type", 1);
  app_.DeleteAppSetting("Proxy", "");
  EXPECT_NE(store_->OpenKey(kHkeyCurrentUser, base_ + "\\Proxy"), 0);
  app_.SaveAppSettingNumber("Proxy\\Inner", "X", 1);  // a section with a sub-key
  ExpectError(26005, [&] { app_.DeleteAppSetting("Proxy", ""); });
}

TEST(Scrambling, AddsTheRepeatingKeysCodesAndWrapsAt256) {
  // Zero bytes become the key codes themselves: "Tz(8!/k~q&" then "Tz" again.
  std::string zeros(12, '\0');
  ScrambleBytes(zeros);
  EXPECT_EQ(zeros, "Tz(8!/k~q&Tz");
  std::string bytes = "\xFA";  // 250 + 'd' (100) wraps to 94, "^"
  ScrambleBytes(bytes, "d");
  EXPECT_EQ(bytes, "^");
  EXPECT_EQ(support::Utf8ToCp1253(UnscrambleText("^", "d")), "\xFA");
  std::string empty;
  ScrambleBytes(empty);
  EXPECT_EQ(empty, "");
  EXPECT_EQ(ScrambleText("abc", ""), "abc");
  EXPECT_EQ(UnscrambleText("abc", ""), "abc");
}

TEST(Scrambling, LoginFieldIsRawScrambledCodePageBytes) {
  // "α" is 0xE1 in Windows-1253; + 'T' (0x54) = 0x135 wraps to 0x35.
  // 'a' (0x61) + 'z' (0x7A) = 0xDB stays below 256.
  EXPECT_EQ(ScrambledPasswordField("\u03B1a"), "\x35\xDB");
  // "|" may appear; nothing is escaped: '(' 0x28 + 'T' 0x54 = 0x7C.
  EXPECT_EQ(ScrambledPasswordField("("), "|");
}

TEST(Scrambling, TextRoundTripsForEveryCodePageCharacterAndOthersBecomeQuestionMarks) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string text = support::Cp1253ToUtf8(all);
  const std::string scrambled = ScrambleText(text);
  EXPECT_NE(scrambled, text);
  EXPECT_EQ(UnscrambleText(scrambled), text);
  EXPECT_EQ(UnscrambleText(ScrambleText("a\u4E2Db")), "a?b");
}

TEST(StoredPassword, IsUtf16LeOfTheScrambledText) {
  // 'A' (0x41) + 'T' (0x54) = 0x95, which is U+2022 in Windows-1253.
  EXPECT_EQ(PasswordToStoredBytes("A"), "\x22\x20");
  EXPECT_EQ(PasswordFromStoredBytes("\x22\x20"), "A");
  const std::string password = "\u039A\u03C9\u03B4\u03B9\u03BA\u03CC\u03C2 123!|";
  EXPECT_EQ(PasswordToStoredBytes(password).size(), 2 * 13u);
  EXPECT_EQ(PasswordFromStoredBytes(PasswordToStoredBytes(password)), password);
}

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
  EXPECT_EQ(ProxyDialogFieldsOf({2, "p", 1080}).type_entry, 0) << "no entry: opens on none";
}

}  // namespace
}  // namespace app
