#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quarrytab {

/// The four roots a Registry object can address (their Windows handle values).
/// Named kHkey... rather than HKEY_... because the Windows headers define the
/// latter as macros.
enum ERegistryClassConstants : std::uint32_t {
  kHkeyClassesRoot = 0x80000000u,
  kHkeyCurrentUser = 0x80000001u,
  kHkeyLocalMachine = 0x80000002u,
  kHkeyUsers = 0x80000003u,
};

/// The name of a root as written in a hive file ("HKEY_CURRENT_USER"), or ""
/// for a value that names no root.
std::string_view RootName(std::uint32_t root);

/// One stored value as the ANSI registry calls return it: the type code and the
/// data bytes. Text types (1, 2, 7) hold UTF-8 text with its NUL terminator(s);
/// a DWORD holds four bytes, low byte first.
struct RegistryData {
  std::int32_t type = 0;
  std::string bytes;

  bool operator==(const RegistryData&) const = default;
};

/// Where registry keys and values live. Every call answers with a Windows system
/// error code: 0 for success, 2 for a missing key or value, 5 for a refusal, 6
/// for an unknown root, 1016 when the backing store could not be read or
/// written. Key paths are relative to the root, components separated by "\";
/// names compare without regard to letter case.
class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  /// 0 when the key exists (the root itself always does).
  virtual std::int32_t OpenKey(std::uint32_t root, std::string_view path) = 0;
  /// Creates the key and any missing parents; 0 also when it already exists.
  virtual std::int32_t CreateKey(std::uint32_t root, std::string_view path) = 0;
  /// Deletes a key that has no sub-keys (5 when it has some, 2 when missing).
  virtual std::int32_t DeleteKey(std::uint32_t root, std::string_view path) = 0;
  virtual std::int32_t QueryValue(std::uint32_t root, std::string_view path, std::string_view name,
                                  RegistryData& out) = 0;
  /// Stores a value in an existing key (2 when the key is missing).
  virtual std::int32_t SetValue(std::uint32_t root, std::string_view path, std::string_view name,
                                const RegistryData& data) = 0;
  virtual std::int32_t DeleteValue(std::uint32_t root, std::string_view path,
                                   std::string_view name) = 0;
  /// The value names of a key in stored order.
  virtual std::int32_t EnumValues(std::uint32_t root, std::string_view path,
                                  std::vector<std::string>& names) = 0;
  /// The names of the direct sub-keys of a key in stored order.
  virtual std::int32_t EnumKeys(std::uint32_t root, std::string_view path,
                                std::vector<std::string>& names) = 0;
};

/// The store of this platform: on Windows the system registry, elsewhere the
/// per-user hive files of hive_file_store.h. Each call looks at the
/// environment again, so a test that points the hives elsewhere is honoured by
/// objects created afterwards.
std::shared_ptr<RegistryStore> DefaultRegistryStore();

}  // namespace quarrytab
