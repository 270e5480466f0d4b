#include "app/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <variant>

#include "app/crypto.h"
#include "quarrytab/memory_registry_store.h"

namespace app {
namespace {

using quarrytab::kHkeyCurrentUser;
using quarrytab::RegistryData;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { app_.SetAppSettingTitle(kSettingsTitle); }

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
      {"the normal state", false, {true, 900, 600, false, false, "", ""}, "Height=600 Width=900"},
      {"ticked box",
       false,
       {false, 0, 0, false, true, "maria", "αbc"},
       "Password=αbc UserID=maria"},
      {"unticked box", true, {false, 0, 0, false, false, "maria", "pw"}, ""},
      {"nothing to delete", false, {false, 0, 0, false, false, "", ""}, ""},
      {"an empty field", true, {false, 0, 0, false, true, "new", ""}, "Password=pw UserID=old"},
      {"handed over", true, {false, 0, 0, true, false, "admin", "pw2"}, "Password=pw UserID=old"},
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

}  // namespace
}  // namespace app
