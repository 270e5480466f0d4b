#include "app/app_setting.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/expect_error.h"
#include "quarrytab/memory_registry_store.h"

namespace app {
namespace {

using quarrytab::kHkeyCurrentUser;
using quarrytab::RegistryData;
using test_common::ExpectError;

class AppSettingTest : public ::testing::Test {
 protected:
  AppSettingTest() { settings_.SetAppSettingTitle("  Orvalis\\Vaultline  "); }

  bool Has(const std::string& path, const std::string& name) {
    RegistryData data;
    return store_->QueryValue(kHkeyCurrentUser, path, name, data) == 0;
  }

  const std::string base_ = "Software\\Orvalis\\Vaultline";
  std::shared_ptr<quarrytab::MemoryRegistryStore> store_ =
      std::make_shared<quarrytab::MemoryRegistryStore>();
  AppSetting settings_{store_};
};

TEST_F(AppSettingTest, TheTrimmedTitleNamesTheBaseKeyAndSectionsAreItsSubKeys) {
  settings_.SaveAppSettingNumber("", "Width", 800);
  EXPECT_TRUE(Has(base_, "Width"));
  settings_.SaveAppSettingString("Proxy", "Server", "proxy.local");
  EXPECT_TRUE(Has(base_ + "\\Proxy", "Server"));
  EXPECT_EQ(settings_.GetAppSettingString("Proxy", "Server", ""), "proxy.local");
}

TEST_F(AppSettingTest, ErrorsForAMissingTitleKeyOrSection) {
  AppSetting untitled(store_);
  EXPECT_EQ(ExpectError(28001, [&] { untitled.GetAppSettingNumber("", "X", 1); }), "AppSettings");
  ExpectError(28001, [&] { untitled.SaveAppSettingString("", "X", "v"); });
  ExpectError(28001, [&] { untitled.DeleteAppSetting("S", ""); });
  ExpectError(28001, [&] { untitled.SetAppSettingTitle("   "); });
  EXPECT_EQ(ExpectError(5, [&] { settings_.GetAppSettingString("", "", "d"); }), "AppSettings");
  ExpectError(5, [&] { settings_.SaveAppSettingNumber("Proxy", "", 1); });
  EXPECT_EQ(ExpectError(28002, [&] { settings_.DeleteAppSetting("", ""); }), "AppSettings");
}

TEST_F(AppSettingTest, ReadsGiveTheDefaultForMissingWrongKindOrOutOfRangeValues) {
  settings_.SaveAppSettingNumber("", "N", 10);
  EXPECT_EQ(settings_.GetAppSettingNumberInRange("", "N", 5, 10, 20), 10);
  EXPECT_EQ(settings_.GetAppSettingNumberInRange("", "N", 5, 0, 10), 10);
  EXPECT_EQ(settings_.GetAppSettingNumberInRange("", "N", 5, 11, 20), 5);
  EXPECT_EQ(settings_.GetAppSettingNumberInRange("", "N", 5, 0, 9), 5);
  EXPECT_EQ(settings_.GetAppSettingString("", "N", "d"), "10") << "a number reads as its text";
  settings_.SaveAppSettingString("", "S", "text");
  EXPECT_EQ(settings_.GetAppSettingNumber("", "S", 77), 77);
  EXPECT_EQ(settings_.GetAppSettingNumber("Nowhere", "S", 78), 78);
  store_->SetValue(kHkeyCurrentUser, base_, "B", RegistryData{3, "\x01"});
  EXPECT_EQ(settings_.GetAppSettingString("", "B", "dflt"), "dflt");
  EXPECT_EQ(settings_.GetAppSettingString("", "Missing", "dflt"), "dflt");
}

TEST_F(AppSettingTest, BooleansAreNumbersAndAnyNonZeroIsTrue) {
  settings_.SaveAppSettingBoolean("", "T", true);
  EXPECT_EQ(settings_.GetAppSettingNumber("", "T", 0), 1);
  settings_.SaveAppSettingNumber("", "Odd", -3);
  EXPECT_TRUE(settings_.GetAppSettingBoolean("", "Odd", false));
  EXPECT_FALSE(settings_.GetAppSettingBoolean("", "Missing", false));
  EXPECT_TRUE(settings_.GetAppSettingBoolean("", "Missing", true));
}

TEST_F(AppSettingTest, DeletingWhatIsMissingIsSilentOtherFailuresReachTheCaller) {
  settings_.DeleteAppSetting("", "NoSuchValue");
  settings_.DeleteAppSetting("NoSuchSection", "");
  settings_.SaveAppSettingNumber("Proxy", "Type", 1);
  settings_.DeleteAppSetting("Proxy", "");
  EXPECT_NE(store_->OpenKey(kHkeyCurrentUser, base_ + "\\Proxy"), 0);
  settings_.SaveAppSettingNumber("Proxy\\Inner", "X", 1);  // a section with a sub-key
  ExpectError(26005, [&] { settings_.DeleteAppSetting("Proxy", ""); });
}

}  // namespace
}  // namespace app
