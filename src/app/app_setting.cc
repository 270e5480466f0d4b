#include "app/app_setting.h"

#include "quarrytab/system_message.h"
#include "support/error.h"
#include "support/text.h"

namespace app {

using quarrytab::Variant;

AppSetting::AppSetting() : AppSetting(quarrytab::DefaultRegistryStore()) {}

AppSetting::AppSetting(std::shared_ptr<quarrytab::RegistryStore> store)
    : store_(std::move(store)), registry_(store_) {
  registry_.SetClassKey(quarrytab::kHkeyCurrentUser);
}

void AppSetting::CheckTitle() const {
  if (title_.empty()) {
    throw support::Error(kErrAppTitleMissing, kAppSettingSource, "AppTitle was not specified");
  }
}

void AppSetting::SetAppSettingTitle(std::string_view title) {
  title_ = std::string(support::Trim(title));
  base_path_ = "Software\\" + title_;
  CheckTitle();
}

void AppSetting::Prepare(std::string_view section, std::string_view key, std::int32_t type) {
  CheckTitle();
  if (key.empty()) throw support::InvalidArgument(kAppSettingSource);
  registry_.SetSectionKey(section.empty() ? base_path_ : base_path_ + "\\" + std::string(section));
  registry_.SetValueKey(std::string(key));
  registry_.SetValueType(type);
}

Variant AppSetting::Read(Variant default_value) {
  registry_.SetDefault(default_value);
  try {
    return registry_.Value();
  } catch (const support::Error&) {
    return default_value;
  }
}

std::int32_t AppSetting::GetAppSettingNumber(std::string_view section, std::string_view key,
                                             std::int32_t default_value) {
  Prepare(section, key, quarrytab::kRegDword);
  const Variant v = Read(default_value);
  if (const auto* l = std::get_if<std::int32_t>(&v)) return *l;
  return default_value;
}

bool AppSetting::GetAppSettingBoolean(std::string_view section, std::string_view key,
                                      bool default_value) {
  return GetAppSettingNumber(section, key, default_value ? 1 : 0) != 0;
}

std::int32_t AppSetting::GetAppSettingNumberInRange(std::string_view section, std::string_view key,
                                                    std::int32_t default_value,
                                                    std::int32_t minimum, std::int32_t maximum) {
  const std::int32_t value = GetAppSettingNumber(section, key, default_value);
  return value < minimum || value > maximum ? default_value : value;
}

std::string AppSetting::GetAppSettingString(std::string_view section, std::string_view key,
                                            std::string_view default_value) {
  Prepare(section, key, quarrytab::kRegSz);
  const Variant v = Read(std::string(default_value));
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* l = std::get_if<std::int32_t>(&v)) return std::to_string(*l);
  return std::string(default_value);
}

void AppSetting::SaveAppSettingNumber(std::string_view section, std::string_view key,
                                      std::int32_t value) {
  Prepare(section, key, quarrytab::kRegDword);
  registry_.SetValue(value);
}

void AppSetting::SaveAppSettingBoolean(std::string_view section, std::string_view key, bool value) {
  SaveAppSettingNumber(section, key, value ? 1 : 0);
}

void AppSetting::SaveAppSettingString(std::string_view section, std::string_view key,
                                      std::string_view value) {
  Prepare(section, key, quarrytab::kRegSz);
  registry_.SetValue(std::string(value));
}

void AppSetting::DeleteAppSetting(std::string_view section, std::string_view key) {
  CheckTitle();
  if (section.empty() && key.empty()) {
    throw support::Error(kErrNoSection, kAppSettingSource, "No section specified");
  }
  registry_.SetSectionKey(section.empty() ? base_path_ : base_path_ + "\\" + std::string(section));
  try {
    if (key.empty()) {
      registry_.DeleteKey();
    } else {
      registry_.SetValueKey(std::string(key));
      registry_.DeleteValue();
    }
  } catch (const support::Error& e) {
    // Something that is already gone is no failure; a store that cannot be
    // changed is, or a remembered password would silently stay behind.
    if (e.Number() != quarrytab::kRegistryErrorBase + quarrytab::kErrorFileNotFound) throw;
  }
}

}  // namespace app
