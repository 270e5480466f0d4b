#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "quarrytab/registry.h"

namespace app {

/// Source of every error AppSetting raises.
inline constexpr const char* kAppSettingSource = "AppSettings";
/// Raised by every member while no title is set ("AppTitle was not specified").
inline constexpr std::int32_t kErrAppTitleMissing = 28001;
/// Raised by DeleteAppSetting with neither section nor key ("No section specified").
inline constexpr std::int32_t kErrNoSection = 28002;

/// The program's settings under HKEY_CURRENT_USER\Software\<title>. A section
/// is a sub-key of that base key; the empty section is the base key itself.
/// Numbers and booleans are REG_DWORD values (true 1, false 0, any non-zero
/// reads as true), text is REG_SZ.
///
/// Every read and write first checks the title (28001) and the key (an empty
/// key raises 5). Reads never fail for a missing, unreadable or wrongly typed
/// value: they return the caller's default. Write errors (26000 + code from the
/// Registry object) reach the caller.
class AppSetting {
 public:
  /// Settings in this platform's registry.
  AppSetting();
  /// Settings in the given store (tests use a MemoryRegistryStore).
  explicit AppSetting(std::shared_ptr<quarrytab::RegistryStore> store);

  /// Reads a number with default 1 or 0; non-zero is true.
  bool GetAppSettingBoolean(std::string_view section, std::string_view key, bool default_value);
  /// Reads a number; a value outside minimum..maximum (inclusive) gives the default.
  std::int32_t GetAppSettingNumberInRange(std::string_view section, std::string_view key,
                                          std::int32_t default_value, std::int32_t minimum,
                                          std::int32_t maximum);
  /// Stores 1 or 0.
  void SaveAppSettingBoolean(std::string_view section, std::string_view key, bool value);
  /// Stores a REG_DWORD.
  void SaveAppSettingNumber(std::string_view section, std::string_view key, std::int32_t value);
  /// Reads a REG_DWORD; a missing key or value or a value of another kind gives the default.
  std::int32_t GetAppSettingNumber(std::string_view section, std::string_view key,
                                   std::int32_t default_value);
  /// Stores a REG_SZ.
  void SaveAppSettingString(std::string_view section, std::string_view key, std::string_view value);
  /// Reads text; a missing value or binary data gives the default (a number
  /// reads as its decimal text).
  std::string GetAppSettingString(std::string_view section, std::string_view key,
                                  std::string_view default_value);

  const std::string& AppSettingTitle() const { return title_; }
  /// Trims the title, sets the base path "Software\" + title, and raises 28001
  /// when nothing is left.
  void SetAppSettingTitle(std::string_view title);

  /// Deletes the value `key` of `section`, or with an empty key the whole
  /// section key. A value or key that does not exist is no error; other
  /// failures (26000 + code) reach the caller. Both empty raises 28002.
  void DeleteAppSetting(std::string_view section, std::string_view key);

  /// The base key path ("Software\Orvalis\Vaultline").
  const std::string& BasePath() const { return base_path_; }
  /// The store the settings live in, for the values written around AppSetting
  /// (the binary password).
  const std::shared_ptr<quarrytab::RegistryStore>& Store() const { return store_; }

 private:
  void CheckTitle() const;
  void Prepare(std::string_view section, std::string_view key, std::int32_t type);
  /// Reads the prepared value; the default when the read fails.
  quarrytab::Variant Read(quarrytab::Variant default_value);

  std::shared_ptr<quarrytab::RegistryStore> store_;
  quarrytab::Registry registry_;
  std::string title_;
  std::string base_path_;
};

}  // namespace app
