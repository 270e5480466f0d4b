#pragma once

#include "quarrytab/hive.h"
#include "quarrytab/registry_store.h"

namespace quarrytab {

/// A registry kept in memory only, for tests and for callers that must not
/// touch the user's settings. All roots share one hive.
class MemoryRegistryStore : public RegistryStore {
 public:
  std::int32_t OpenKey(std::uint32_t root, std::string_view path) override {
    return hive_.OpenKey(root, path);
  }
  std::int32_t CreateKey(std::uint32_t root, std::string_view path) override {
    return hive_.CreateKey(root, path);
  }
  std::int32_t DeleteKey(std::uint32_t root, std::string_view path) override {
    return hive_.DeleteKey(root, path);
  }
  std::int32_t QueryValue(std::uint32_t root, std::string_view path, std::string_view name,
                          RegistryData& out) override {
    return hive_.QueryValue(root, path, name, out);
  }
  std::int32_t SetValue(std::uint32_t root, std::string_view path, std::string_view name,
                        const RegistryData& data) override {
    return hive_.SetValue(root, path, name, data);
  }
  std::int32_t DeleteValue(std::uint32_t root, std::string_view path,
                           std::string_view name) override {
    return hive_.DeleteValue(root, path, name);
  }
  std::int32_t EnumValues(std::uint32_t root, std::string_view path,
                          std::vector<std::string>& names) override {
    return hive_.EnumValues(root, path, names);
  }
  std::int32_t EnumKeys(std::uint32_t root, std::string_view path,
                        std::vector<std::string>& names) override {
    return hive_.EnumKeys(root, path, names);
  }

  const Hive& hive() const { return hive_; }

 private:
  Hive hive_;
};

}  // namespace quarrytab
