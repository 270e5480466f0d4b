#include "quarrytab/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "common/expect_error.h"
#include "quarrytab/memory_registry_store.h"
#include "quarrytab/system_message.h"
#include "support/error.h"

namespace quarrytab {
namespace {

using test_common::ExpectError;

constexpr const char* kKey = "Software\\Orvalis\\Vaultline";

/// Stored data from a literal, embedded NULs included.
template <std::size_t N>
RegistryData D(std::int32_t type, const char (&bytes)[N]) {
  return {type, std::string(bytes, N - 1)};
}

class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest() : store_(std::make_shared<MemoryRegistryStore>()), reg_(Reg()) {}

  /// A Registry object on the test's store, addressing kKey\`name` as `type`.
  Registry Reg(const std::string& name = "V", std::int32_t type = kRegBinary) {
    Registry reg(store_);
    reg.SetClassKey(kHkeyCurrentUser);
    reg.SetSectionKey(kKey);
    reg.SetValueKey(name);
    reg.SetValueType(type);
    return reg;
  }
  /// The raw stored value, or type -1 when there is none.
  RegistryData Stored(const std::string& name) {
    RegistryData data;
    if (store_->QueryValue(kHkeyCurrentUser, kKey, name, data) != 0) data.type = -1;
    return data;
  }

  std::shared_ptr<MemoryRegistryStore> store_;
  Registry reg_;
};

TEST_F(RegistryTest, ReadOfNothingGivesTheDefaultAndKeepsTheValueType) {
  Reg("V", kRegSz).SetValue(std::string("stored"));
  const std::pair<const char*, std::function<void(Registry&)>> cases[] = {
      {"missing value", [](Registry& r) { r.SetValueKey("Nothing"); }},
      {"missing key", [](Registry& r) { r.SetSectionKey("Software\\Nowhere"); }},
      {"unset root", [](Registry& r) { r.SetClassKey(0); }},
      {"remote computer", [](Registry& r) { r.SetRemoteComputer("server"); }},
  };
  for (const auto& [what, change] : cases) {
    Registry reg = Reg();
    reg.SetDefault(std::int32_t{42});
    change(reg);
    EXPECT_EQ(reg.Value(), Variant(std::int32_t{42})) << what;
    EXPECT_EQ(reg.ValueType(), kRegBinary) << what;
  }
}

TEST_F(RegistryTest, StoredDataIsDecodedByItsTypeWhichBecomesTheValueType) {
  setenv("QUARRYTAB_TEST_VAR", "/opt/x", 1);
  const std::pair<RegistryData, Variant> cases[] = {
      {D(kRegDword, "\x10\0\0\0"), std::int32_t{16}},
      {D(kRegDwordBigEndian, "\0\0\x01\x02"), std::int32_t{0x0102}},
      {D(kRegSz, "abc\0"), std::string("abc")},  // one trailing NUL goes
      {D(kRegMultiSz, "a\0b\0\0"), std::string("a\0b\0", 4)},
      {D(kRegExpandSz, "%QUARRYTAB_TEST_VAR%/bin:%NO_SUCH_VAR_HERE%:100%\0"),
       std::string("/opt/x/bin:%NO_SUCH_VAR_HERE%:100%")},  // known references only
      {D(11, "\x01\x02\x03"), Bytes{1, 2, 3}},              // other types read as bytes
  };
  store_->CreateKey(kHkeyCurrentUser, kKey);
  for (const auto& [stored, value] : cases) {
    store_->SetValue(kHkeyCurrentUser, kKey, "V", stored);
    reg_.SetValueType(kRegBinary);
    EXPECT_EQ(reg_.Value(), value) << stored.type;
    EXPECT_EQ(reg_.ValueType(), stored.type);
  }
}

TEST_F(RegistryTest, ValueIsStoredAsTheValueTypeAsks) {
  struct Case {
    std::int32_t type;
    Variant value;
    RegistryData stored;  // type -1: nothing stored
  };
  const Case cases[] = {
      {kRegBinary, Bytes{0, 0xFF, 0x7C}, D(kRegBinary, "\0\xFF\x7C")},
      {kRegDword, 3.0, {-1, ""}},  // a double is not written as a dword
      {kRegDwordBigEndian, std::int16_t{258}, D(kRegDword, "\x02\x01\0\0")},
      {kRegDword, std::int32_t{-2}, D(kRegDword, "\xFE\xFF\xFF\xFF")},
      {kRegExpandSz, std::string("%HOME%/x"), D(kRegSz, "%HOME%/x\0")},  // needs "%%"
      {kRegExpandSz, std::string("a%%b%"), D(kRegExpandSz, "a%%b%\0")},  // and a later "%"
      {kRegSz, std::int32_t{12}, D(kRegSz, "12\0")},
      {kRegMultiSz, std::string("a"), D(kRegMultiSz, "a\0\0")},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "V" + std::to_string(n++);
    Reg(name, c.type).SetValue(c.value);
    EXPECT_EQ(Stored(name), c.stored) << name;
  }
  EXPECT_TRUE(reg_.KeyExists());  // opened for writing even when nothing was stored
}

TEST_F(RegistryTest, RefusedWritesRaiseTheirNumberStoreNothingAndKeepTheProperties) {
  struct Case {
    std::int32_t type;
    std::function<void(Registry&)> change;
    int code;  // added to 26000
  };
  const Case cases[] = {
      {kRegBinary, [](Registry&) {}, 0},  // text as binary
      {kRegLink, [](Registry&) {}, kErrorInvalidData},
      {kRegSz, [](Registry& r) { r.SetClassKey(0); }, kErrorInvalidHandle},
      {kRegSz, [](Registry& r) { r.SetRemoteComputer("\\\\server"); }, kErrorBadNetPath},
  };
  for (const Case& c : cases) {
    Registry reg = Reg("V", c.type);
    c.change(reg);
    EXPECT_EQ(ExpectError(26000 + c.code, [&] { reg.SetValue(std::string("x")); }),
              kRegistrySource);
    EXPECT_EQ(Stored("V").type, -1);
    EXPECT_EQ(reg.ValueType(), c.type);
  }
}

TEST_F(RegistryTest, ValueExWithEmptyTextStoresDefaultAndRemoteNamesGetBackslashes) {
  reg_.SetValueEx(kHkeyCurrentUser, kKey, "S", kRegSz, std::string("dflt"), std::string());
  EXPECT_EQ(Stored("S"), D(kRegSz, "dflt\0"));
  EXPECT_EQ(reg_.ValueEx(kHkeyCurrentUser, kKey, "S", kRegDword, std::int32_t{0}),
            Variant(std::string("dflt")));
  EXPECT_EQ(reg_.ValueType(), kRegSz);
  const std::pair<const char*, const char*> names[] = {
      {"ab", "ab"}, {"abc", "\\\\abc"}, {"\\\\host", "\\\\host"}};
  for (const auto& [given, kept] : names) {
    reg_.SetRemoteComputer(given);
    EXPECT_EQ(reg_.RemoteComputer(), kept);
  }
}

TEST_F(RegistryTest, KeysAreCreatedWithParentsAndDeletedOnlyWithoutChildren) {
  reg_.CreateKey();
  EXPECT_TRUE(reg_.KeyExists());
  reg_.SetValueKey("Nothing");
  try {
    reg_.DeleteValue();
    ADD_FAILURE() << "a missing value was deleted";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 26002);
    EXPECT_EQ(e.Source(), "quarrytab.Registry");
    EXPECT_EQ(e.Description(), "Failed to delete registry key.\r\n" + SystemMessageText(2));
  }
  reg_.SetSectionKey("Software\\Orvalis");
  EXPECT_TRUE(reg_.KeyExists());
  ExpectError(26005, [&] { reg_.DeleteKey(); });
  reg_.SetSectionKey(kKey);
  reg_.DeleteKey();
  EXPECT_FALSE(reg_.KeyExists());
  ExpectError(26002, [&] { reg_.DeleteKey(); });
}

TEST_F(RegistryTest, NamesIgnoreLetterCaseAndEnumerateInOrder) {
  for (const char* name : {"B", "A", "C"}) Reg(name, kRegDword).SetValue(std::int32_t{800});
  Registry other = Reg("b");
  other.SetSectionKey("SOFTWARE\\orvalis\\VAULTLINE");
  EXPECT_EQ(other.Value(), Variant(std::int32_t{800}));
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(reg_.EnumerateValues(names), 3);
  EXPECT_EQ(names, (std::vector<std::string>{"B", "A", "C"}));
  reg_.SetSectionKey("Software");
  EXPECT_EQ(reg_.EnumerateSections(names), 1);
  EXPECT_EQ(names, std::vector<std::string>{"Orvalis"});
  reg_.SetSectionKey("Software\\Missing");
  EXPECT_EQ(reg_.EnumerateValues(names), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(reg_.EnumerateSections(names), 0);
}

}  // namespace
}  // namespace quarrytab
