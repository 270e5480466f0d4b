#pragma once

#include <functional>
#include <string>

#include "quarrytab/hive.h"
#include "quarrytab/registry_store.h"

namespace quarrytab {

/// Names the environment variable that moves every hive into another
/// directory. It exists for the test suite, which points it at a temporary
/// directory so that tests never touch the user's settings.
inline constexpr const char* kHiveDirEnv = "QUARRYTAB_HIVE_DIR";

/// The directory holding one sub-directory per root: $QUARRYTAB_HIVE_DIR when
/// set, else $XDG_CONFIG_HOME/quarrytab, else ~/.config/quarrytab.
std::string DefaultHiveDirectory();

/// The registry of a platform without one: each root is a directory
/// (<dir>/HKEY_CURRENT_USER/) holding the hive file "hive.reg" (format in
/// hive.h) and the lock file "hive.lock".
///
/// Every call reads the hive file afresh, so several processes share it. A
/// change takes the lock (an advisory whole-file lock, so writers of all
/// processes are serialised), reads, changes, writes the whole hive to
/// "hive.reg.tmp", flushes it to disk and renames it over "hive.reg": a reader
/// sees the old hive or the new one, never a part, and a crash before the
/// rename leaves the old hive in place. Files are created 0600, directories
/// 0700. A missing hive reads as empty; system failures become Windows codes
/// (5 for refused access, 1016 for other I/O failures).
class HiveFileStore : public RegistryStore {
 public:
  explicit HiveFileStore(std::string directory);

  std::int32_t OpenKey(std::uint32_t root, std::string_view path) override;
  std::int32_t CreateKey(std::uint32_t root, std::string_view path) override;
  std::int32_t DeleteKey(std::uint32_t root, std::string_view path) override;
  std::int32_t QueryValue(std::uint32_t root, std::string_view path, std::string_view name,
                          RegistryData& out) override;
  std::int32_t SetValue(std::uint32_t root, std::string_view path, std::string_view name,
                        const RegistryData& data) override;
  std::int32_t DeleteValue(std::uint32_t root, std::string_view path,
                           std::string_view name) override;
  std::int32_t EnumValues(std::uint32_t root, std::string_view path,
                          std::vector<std::string>& names) override;
  std::int32_t EnumKeys(std::uint32_t root, std::string_view path,
                        std::vector<std::string>& names) override;

  /// The hive file of a root.
  std::string HivePath(std::uint32_t root) const;

  /// Called after the new hive is flushed and before it is renamed into place.
  /// Tests throw from it to act out a crash at the worst moment.
  void SetBeforeRenameHook(std::function<void()> hook) { before_rename_ = std::move(hook); }

 private:
  std::int32_t Load(std::uint32_t root, Hive& hive) const;
  /// Runs `change` on the hive under the lock and saves it when it succeeded.
  std::int32_t Modify(std::uint32_t root, const std::function<std::int32_t(Hive&)>& change);

  std::string directory_;
  std::function<void()> before_rename_;
};

}  // namespace quarrytab
