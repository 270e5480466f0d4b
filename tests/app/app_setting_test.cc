#include "app/app_setting.h"

#include <gtest/gtest.h>

#include <memory>

#include "quarrytab/memory_registry_store.h"
#include "support/error.h"

namespace app {
namespace {

using quarrytab::kHkeyCurrentUser;
using quarrytab::RegistryData;

class AppSettingTest : public ::testing::Test {
 protected:
  AppSettingTest() : store_(std::make_shared<quarrytab::MemoryRegistryStore>()), settings_(store_) {
    settings_.SetAppSettingTitle("Orvalis\\Vaultline");
  }

  void PutDword(const std::string& path, const std::string& name, std::int32_t value) {
    store_->CreateKey(kHkeyCurrentUser, path);
    const auto u = static_cast<std::uint32_t>(value);
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
    store_->SetValue(kHkeyCurrentUser, path, name, RegistryData{4, bytes});
  }
  bool Has(const std::string& path, const std::string& name) {
    RegistryData data;
    return store_->QueryValue(kHkeyCurrentUser, path, name, data) == 0;
  }

  template <typename Op>
  static std::int32_t RaisedNumber(Op op) {
    try {
      op();
    } catch (const support::Error& e) {
      if (e.Number() < 26000) {
        EXPECT_EQ(e.Source(), "AppSettings");
      }
      return e.Number();
    }
    return 0;
  }

  const std::string base_ = "Software\\Orvalis\\Vaultline";
  std::shared_ptr<quarrytab::MemoryRegistryStore> store_;
  AppSetting settings_;
};

TEST_F(AppSettingTest, TitleIsTrimmedAndMakesTheBasePath) {
  settings_.SetAppSettingTitle("  Orvalis\\Vaultline  ");
  EXPECT_EQ(settings_.AppSettingTitle(), "Orvalis\\Vaultline");
  EXPECT_EQ(settings_.BasePath(), base_);
  settings_.SaveAppSettingNumber("", "Width", 800);
  EXPECT_TRUE(Has(base_, "Width"));
}

TEST_F(AppSettingTest, MembersWithoutTitleRaise28001) {
  AppSetting untitled(store_);
  EXPECT_EQ(RaisedNumber([&] { untitled.GetAppSettingNumber("", "X", 1); }), 28001);
  EXPECT_EQ(RaisedNumber([&] { untitled.SaveAppSettingString("", "X", "v"); }), 28001);
  EXPECT_EQ(RaisedNumber([&] { untitled.DeleteAppSetting("S", ""); }), 28001);
  EXPECT_EQ(RaisedNumber([&] { untitled.SetAppSettingTitle("   "); }), 28001);
}

TEST_F(AppSettingTest, EmptyKeyRaises5AndEmptySectionAndKeyRaise28002) {
  EXPECT_EQ(RaisedNumber([&] { settings_.GetAppSettingString("", "", "d"); }), 5);
  EXPECT_EQ(RaisedNumber([&] { settings_.SaveAppSettingNumber("Proxy", "", 1); }), 5);
  EXPECT_EQ(RaisedNumber([&] { settings_.DeleteAppSetting("", ""); }), 28002);
}

TEST_F(AppSettingTest, NumberInRangeKeepsTheBoundsAndRefusesBeyond) {
  PutDword(base_, "N", 10);
  EXPECT_EQ(settings_.GetAppSettingNumberInRange("", "N", 5, 10, 20), 10);
  EXPECT_EQ(settings_.GetAppSettingNumberInRange("", "N", 5, 0, 10), 10);
  EXPECT_EQ(settings_.GetAppSettingNumberInRange("", "N", 5, 11, 20), 5);
  EXPECT_EQ(settings_.GetAppSettingNumberInRange("", "N", 5, 0, 9), 5);
}

TEST_F(AppSettingTest, WrongKindOrMissingValueGivesTheDefault) {
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
  PutDword(base_, "Odd", -3);
  EXPECT_TRUE(settings_.GetAppSettingBoolean("", "Odd", false));
  EXPECT_FALSE(settings_.GetAppSettingBoolean("", "Missing", false));
  EXPECT_TRUE(settings_.GetAppSettingBoolean("", "Missing", true));
}

TEST_F(AppSettingTest, SectionsAreSubKeysOfTheBase) {
  settings_.SaveAppSettingString("Proxy", "Server", "proxy.local");
  EXPECT_TRUE(Has(base_ + "\\Proxy", "Server"));
  EXPECT_EQ(settings_.GetAppSettingString("Proxy", "Server", ""), "proxy.local");
}

TEST_F(AppSettingTest, DeletingWhatIsMissingIsSilent) {
  settings_.DeleteAppSetting("", "NoSuchValue");
  settings_.DeleteAppSetting("NoSuchSection", "");
  settings_.SaveAppSettingNumber("Proxy", "Type", 1);
  settings_.DeleteAppSetting("Proxy", "");
  EXPECT_NE(store_->OpenKey(kHkeyCurrentUser, base_ + "\\Proxy"), 0);
}

TEST_F(AppSettingTest, DeleteFailureOtherThanMissingReachesTheCaller) {
  settings_.SaveAppSettingNumber("Proxy\\Inner", "X", 1);  // a section with a sub-key
  EXPECT_EQ(RaisedNumber([&] { settings_.DeleteAppSetting("Proxy", ""); }), 26005);
}

}  // namespace
}  // namespace app
