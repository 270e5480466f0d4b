#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quarrytab/registry_store.h"
#include "quarrytab/variant.h"

namespace quarrytab {

/// Registry value types (the Windows codes). Named kReg... because the Windows
/// headers define REG_SZ and the rest as macros.
enum ERegistryValueTypes : std::int32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordLittleEndian = 4,
  kRegDwordBigEndian = 5,
  kRegLink = 6,
  kRegMultiSz = 7,
  kRegResourceList = 8,
  kRegFullResourceDescriptor = 9,
  kRegResourceRequirementsList = 10,
};

/// Base of the numbers the Registry object raises: 26000 + system code.
inline constexpr std::int32_t kRegistryErrorBase = 26000;
/// Raised by EnumerateSections for any unexpected failure.
inline constexpr std::int32_t kRegistryEnumerationError = static_cast<std::int32_t>(0x800469AAu);
/// The source of every error the Registry object raises.
inline constexpr const char* kRegistrySource = "quarrytab.Registry";

/// Addresses one registry value through root (ClassKey), key path
/// (SectionKey), value name (ValueKey) and type (ValueType), and reads or
/// writes it through Value, with Default for values that do not exist.
///
/// Reads never raise: a missing root, key or value gives Default and leaves
/// ValueType alone; a value found sets ValueType to its type. Writes, key
/// creation and deletions raise support::Error 26000 + system code, source
/// kRegistrySource, description = the operation's message, CR LF and the
/// system's text for the code. Properties keep their values after an error.
/// All fields start empty, zero or false: set ClassKey before use.
class Registry {
 public:
  /// Uses this platform's registry (DefaultRegistryStore()).
  Registry();
  explicit Registry(std::shared_ptr<RegistryStore> store);

  /// Name of another computer. Setting a name longer than two characters that
  /// does not start with "\\" puts "\\" in front. Only Value looks at it. This
  /// platform has no remote registry: a read with a remote computer gives
  /// Default, and a write raises 26053 (network path not found).
  const std::string& RemoteComputer() const { return remote_computer_; }
  void SetRemoteComputer(std::string name);

  /// True when SectionKey exists under ClassKey.
  bool KeyExists() const;
  /// Creates SectionKey and its missing parents ("Failed to create registry key.").
  void CreateKey();
  /// Deletes SectionKey, which must have no sub-keys ("Failed to delete registry key.").
  void DeleteKey();
  /// Deletes ValueKey in SectionKey; a missing value raises 26002
  /// ("Failed to delete registry key.").
  void DeleteValue();

  /// Reads the value: text for REG_SZ, REG_EXPAND_SZ (environment references
  /// expanded) and REG_MULTI_SZ (one trailing NUL removed); a Long for the
  /// DWORD types (big-endian bytes reversed); bytes for any other type.
  Variant Value();
  /// Writes `value` by ValueType (not by the value's kind): text types as text
  /// (REG_EXPAND_SZ only when the text has "%%" and a later "%"), REG_BINARY
  /// only from bytes (else 26000), the DWORD types as a little-endian DWORD from
  /// an Integer or Long (other kinds are silently not written), REG_MULTI_SZ as
  /// text and two NULs; any other type fails with code 13. The key is created
  /// first ("Failed to set registry value." for every failure).
  void SetValue(const Variant& value);

  /// Fills `names` with the value names of SectionKey and returns their count;
  /// 0 and no names when the key cannot be opened.
  std::int32_t EnumerateValues(std::vector<std::string>& names) const;
  /// Likewise for the sub-key names; an unexpected failure raises 0x800469AA.
  std::int32_t EnumerateSections(std::vector<std::string>& names) const;

  std::int32_t ValueType() const { return value_type_; }
  void SetValueType(std::int32_t type) { value_type_ = type; }
  std::uint32_t ClassKey() const { return class_key_; }
  void SetClassKey(std::uint32_t root) { class_key_ = root; }
  const std::string& SectionKey() const { return section_key_; }
  void SetSectionKey(std::string path) { section_key_ = std::move(path); }
  const std::string& ValueKey() const { return value_key_; }
  void SetValueKey(std::string name) { value_key_ = std::move(name); }

  /// Sets the five properties, then reads Value.
  Variant ValueEx(std::uint32_t class_key, std::string section_key, std::string value_key,
                  std::int32_t value_type, Variant default_value);
  /// Sets the five properties, then writes `new_value`; with REG_SZ an empty
  /// new text is replaced by the default.
  void SetValueEx(std::uint32_t class_key, std::string section_key, std::string value_key,
                  std::int32_t value_type, Variant default_value, const Variant& new_value);

  const Variant& Default() const { return default_; }
  void SetDefault(Variant value) { default_ = std::move(value); }

  /// Asks for the 64-bit view of the Windows registry; other platforms have one view.
  bool WOW64Key() const { return wow64_key_; }
  void SetWOW64Key(bool on) { wow64_key_ = on; }

 private:
  [[noreturn]] void Raise(std::int32_t code, const char* operation) const;

  std::shared_ptr<RegistryStore> store_;
  std::uint32_t class_key_ = 0;
  std::string section_key_;
  std::string value_key_;
  Variant default_;
  std::string remote_computer_;
  std::int32_t value_type_ = kRegNone;
  bool wow64_key_ = false;
};

/// Expands %NAME% references from the environment; unknown names stay as written.
std::string ExpandEnvironmentReferences(std::string_view text);

}  // namespace quarrytab
