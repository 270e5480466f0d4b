#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quarrytab/registry_store.h"

namespace quarrytab {

/// The first line of a hive file.
inline constexpr std::string_view kHiveSignature = "Windows Registry Editor Version 5.00";

/// An in-memory hive in Windows .reg export form: one section per key
/// ("[HKEY_CURRENT_USER\Software\Orvalis]"), then its values:
///   "Name"="text"            REG_SZ (only "\\" and "\"" are escaped)
///   "Name"=dword:0000001a    REG_DWORD
///   "Name"=hex:01,02         REG_BINARY
///   "Name"=hex(2):...        REG_EXPAND_SZ, UTF-16LE with terminator
///   "Name"=hex(7):...        REG_MULTI_SZ, likewise; hex(N) for any other type
///   @=...                    the key's unnamed value
/// Long hex lists continue on the next line after a trailing "\".
///
/// Parsing is total: a line that is not understood (a person's typing error,
/// a deletion entry "-", a comment) is kept as it was, in place, and written
/// again by Serialize; a duplicate section is merged into the first one and a
/// repeated value name keeps its first place with its last data, as an import
/// would leave it. Text is UTF-8 without BOM; a UTF-16LE file with BOM (as
/// regedit exports it) is also read. Lines are written with CR LF.
class Hive {
 public:
  static Hive Parse(std::string_view text);
  std::string Serialize() const;

  /// The operations of RegistryStore on this hive, for keys under `root`.
  std::int32_t OpenKey(std::uint32_t root, std::string_view path) const;
  std::int32_t CreateKey(std::uint32_t root, std::string_view path);
  std::int32_t DeleteKey(std::uint32_t root, std::string_view path);
  std::int32_t QueryValue(std::uint32_t root, std::string_view path, std::string_view name,
                          RegistryData& out) const;
  std::int32_t SetValue(std::uint32_t root, std::string_view path, std::string_view name,
                        const RegistryData& data);
  std::int32_t DeleteValue(std::uint32_t root, std::string_view path, std::string_view name);
  std::int32_t EnumValues(std::uint32_t root, std::string_view path,
                          std::vector<std::string>& names) const;
  std::int32_t EnumKeys(std::uint32_t root, std::string_view path,
                        std::vector<std::string>& names) const;

 private:
  struct Entry {
    bool is_value = false;
    std::string name;   // value name ("" for the unnamed value)
    RegistryData data;  // when is_value
    std::string raw;    // the line(s) as read, when not a value
  };
  struct Key {
    std::string full_path;  // with the root name, as in the section header
    std::vector<Entry> entries;
  };

  Key* FindKey(std::string_view full_path);
  const Key* FindKey(std::string_view full_path) const;
  bool KeyExists(std::string_view full_path) const;
  void AddEntry(Key& key, Entry entry);

  std::vector<std::string> preamble_;  // lines before the first section
  std::vector<Key> keys_;
};

}  // namespace quarrytab
