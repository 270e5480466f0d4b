#include "app/settings.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/crypto.h"
#include "quarrytab/memory_registry_store.h"

namespace app {
namespace {

using quarrytab::kHkeyCurrentUser;
using quarrytab::RegistryData;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() : store_(std::make_shared<quarrytab::MemoryRegistryStore>()), app_(store_) {
    app_.SetAppSettingTitle(kSettingsTitle);
  }

  void PutDword(const std::string& section, const std::string& name, std::int32_t value) {
    app_.SaveAppSettingNumber(section, name, value);
  }
  bool Has(const std::string& section, const std::string& name) {
    RegistryData data;
    const std::string path = section.empty() ? base_ : base_ + "\\" + section;
    return store_->QueryValue(kHkeyCurrentUser, path, name, data) == 0;
  }
  RegistryData Raw(const std::string& name) {
    RegistryData data;
    store_->QueryValue(kHkeyCurrentUser, base_, name, data);
    return data;
  }

  const std::string base_ = "Software\\Orvalis\\Vaultline";
  std::shared_ptr<quarrytab::MemoryRegistryStore> store_;
  AppSetting app_;
};

using SettingsLoadTest = SettingsTest;

TEST_F(SettingsLoadTest, EmptyStoreGivesEveryDefault) {
  const Settings s = LoadSettings(app_, false);
  EXPECT_EQ(s.button_style, 0);
  EXPECT_EQ(s.progress_refresh_rate, 400);
  EXPECT_EQ(s.chunk_size, 6144);
  EXPECT_EQ(s.pf_port, 0);
  EXPECT_EQ(s.pf_server, "");
  EXPECT_EQ(s.user_id, "");
  EXPECT_FALSE(s.password.has_value());
  EXPECT_EQ(s.debug, 0);
  EXPECT_EQ(s.proxy.type, 0);
  EXPECT_EQ(s.proxy.server, "");
  EXPECT_EQ(s.proxy.port, 8080);
  EXPECT_EQ(s.width, kDesignWindowWidth);
  EXPECT_EQ(s.height, kDesignWindowHeight);
}

TEST_F(SettingsLoadTest, StoredValuesAreUsed) {
  PutDword("", "ButtonStyle", 1);
  PutDword("", "ProgressRefreshRate", 250);
  PutDword("", "ChunkSize", 32768);
  PutDword("", "PFPort", 65535);
  app_.SaveAppSettingString("", "PFServer", "files.example");
  PutDword("", "Debug", 2);
  PutDword("Proxy", "Type", 3);
  app_.SaveAppSettingString("Proxy", "Server", "proxy");
  PutDword("Proxy", "Port", 3128);
  PutDword("", "Width", 700);
  PutDword("", "Height", 390);
  const Settings s = LoadSettings(app_, false);
  EXPECT_EQ(s.button_style, 1);
  EXPECT_EQ(s.progress_refresh_rate, 250);
  EXPECT_EQ(s.chunk_size, 32768);
  EXPECT_EQ(s.pf_port, 65535);
  EXPECT_EQ(s.pf_server, "files.example");
  EXPECT_EQ(s.debug, 2);
  EXPECT_EQ(s.proxy.type, 3);
  EXPECT_EQ(s.proxy.server, "proxy");
  EXPECT_EQ(s.proxy.port, 3128);
  EXPECT_EQ(s.width, 700);
  EXPECT_EQ(s.height, 390);
}

TEST_F(SettingsLoadTest, OutOfRangeValuesReadAsDefaults) {
  PutDword("", "ChunkSize", 0);
  PutDword("", "PFPort", 70000);
  PutDword("Proxy", "Type", 4);
  PutDword("", "Width", 699);
  PutDword("", "Height", 389);
  PutDword("", "ProgressRefreshRate", -5);
  Settings s = LoadSettings(app_, false);
  EXPECT_EQ(s.chunk_size, 6144);
  EXPECT_EQ(s.pf_port, 0);
  EXPECT_EQ(s.proxy.type, 0);
  EXPECT_EQ(s.width, kDesignWindowWidth);
  EXPECT_EQ(s.height, kDesignWindowHeight);
  EXPECT_EQ(s.progress_refresh_rate, 400);
  PutDword("", "ChunkSize", -1);
  PutDword("", "PFPort", -1);
  PutDword("Proxy", "Type", -1);
  s = LoadSettings(app_, false);
  EXPECT_EQ(s.chunk_size, 6144);
  EXPECT_EQ(s.pf_port, 0);
  EXPECT_EQ(s.proxy.type, 0);
}

TEST_F(SettingsLoadTest, PasswordIsReadOnlyWithAUserIdAndWithoutHandOver) {
  const std::string stored = PasswordToStoredBytes("s3cret");
  store_->CreateKey(kHkeyCurrentUser, base_);
  store_->SetValue(kHkeyCurrentUser, base_, "Password", RegistryData{3, stored});
  EXPECT_FALSE(LoadSettings(app_, false).password.has_value());  // no UserID
  app_.SaveAppSettingString("", "UserID", "maria");
  Settings s = LoadSettings(app_, false);
  EXPECT_EQ(s.user_id, "maria");
  EXPECT_EQ(s.password, "s3cret");
  s = LoadSettings(app_, true);
  EXPECT_EQ(s.user_id, "");
  EXPECT_FALSE(s.password.has_value());
}

TEST_F(SettingsLoadTest, UserIdWithoutPasswordLeavesThePasswordUnset) {
  app_.SaveAppSettingString("", "UserID", "maria");
  const Settings s = LoadSettings(app_, false);
  EXPECT_EQ(s.user_id, "maria");
  EXPECT_FALSE(s.password.has_value());
}

using SettingsExitTest = SettingsTest;

TEST_F(SettingsExitTest, SizeIsWrittenOnlyInTheNormalState) {
  ExitSettings exit;
  exit.window_normal = false;
  exit.width = 900;
  exit.height = 600;
  SaveSettingsAtExit(app_, exit);
  EXPECT_FALSE(Has("", "Width"));
  exit.window_normal = true;
  SaveSettingsAtExit(app_, exit);
  const Settings s = LoadSettings(app_, false);
  EXPECT_EQ(s.width, 900);
  EXPECT_EQ(s.height, 600);
}

TEST_F(SettingsExitTest, TickedBoxStoresIdAndScrambledUtf16Password) {
  ExitSettings exit;
  exit.save_login = true;
  exit.user_id = "maria";
  exit.password =
      "\xce\xb1"
      "bc";  // "αbc"
  SaveSettingsAtExit(app_, exit);
  const RegistryData raw = Raw("Password");
  EXPECT_EQ(raw.type, 3);
  EXPECT_EQ(raw.bytes, PasswordToStoredBytes(exit.password));
  EXPECT_EQ(raw.bytes.size(), 6u);  // three UTF-16LE units, no terminator
  const Settings s = LoadSettings(app_, false);
  EXPECT_EQ(s.user_id, "maria");
  EXPECT_EQ(s.password, exit.password);
}

TEST_F(SettingsExitTest, UntickedBoxRemovesIdAndPassword) {
  ExitSettings exit;
  exit.save_login = true;
  exit.user_id = "maria";
  exit.password = "pw";
  SaveSettingsAtExit(app_, exit);
  exit.save_login = false;
  SaveSettingsAtExit(app_, exit);
  EXPECT_FALSE(Has("", "UserID"));
  EXPECT_FALSE(Has("", "Password"));
  SaveSettingsAtExit(app_, exit);  // nothing left to delete is no error
}

TEST_F(SettingsExitTest, TickedBoxWithAnEmptyFieldWritesAndDeletesNothing) {
  ExitSettings exit;
  exit.save_login = true;
  exit.user_id = "old";
  exit.password = "pw";
  SaveSettingsAtExit(app_, exit);
  exit.user_id = "new";
  exit.password = "";
  SaveSettingsAtExit(app_, exit);
  EXPECT_EQ(LoadSettings(app_, false).user_id, "old");
  EXPECT_EQ(LoadSettings(app_, false).password, "pw");
}

TEST_F(SettingsExitTest, HandedOverCredentialsAreNeitherWrittenNorDeleted) {
  ExitSettings exit;
  exit.save_login = true;
  exit.user_id = "kept";
  exit.password = "pw";
  SaveSettingsAtExit(app_, exit);
  exit.credentials_handed_over = true;
  exit.save_login = false;
  exit.user_id = "admin";
  SaveSettingsAtExit(app_, exit);
  EXPECT_EQ(LoadSettings(app_, false).user_id, "kept");
}

using ProxyStoreTest = SettingsTest;

TEST_F(ProxyStoreTest, EmptyServerAndPortZeroDeleteTheirValues) {
  ProxySettings proxy;
  StoreProxyServer(app_, proxy, "proxy.local");
  StoreProxyPort(app_, proxy, 3128);
  StoreProxyType(app_, proxy, 1);
  EXPECT_TRUE(Has("Proxy", "Server"));
  EXPECT_TRUE(Has("Proxy", "Port"));
  StoreProxyServer(app_, proxy, "");
  StoreProxyPort(app_, proxy, 0);
  StoreProxyType(app_, proxy, 0);
  EXPECT_FALSE(Has("Proxy", "Server"));
  EXPECT_FALSE(Has("Proxy", "Port"));
  EXPECT_EQ(proxy.port, 8080);
  const Settings s = LoadSettings(app_, false);
  EXPECT_EQ(s.proxy.type, 0);
  EXPECT_EQ(s.proxy.server, "");
  EXPECT_EQ(s.proxy.port, 8080);
}

}  // namespace
}  // namespace app
