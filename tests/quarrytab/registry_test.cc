#include "quarrytab/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "common/expect_error.h"
#include "quarrytab/memory_registry_store.h"
#include "support/error.h"

namespace quarrytab {
namespace {

using test_common::ExpectError;

constexpr const char* kKey = "Software\\Orvalis\\Vaultline";

class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest() : store_(std::make_shared<MemoryRegistryStore>()), reg_(store_) {
    reg_.SetClassKey(kHkeyCurrentUser);
    reg_.SetSectionKey(kKey);
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

using RegistryReadTest = RegistryTest;

TEST_F(RegistryReadTest, MissingValueGivesDefaultAndKeepsValueType) {
  reg_.SetValueKey("Nothing");
  reg_.SetValueType(kRegBinary);
  reg_.SetDefault(std::int32_t{42});
  EXPECT_EQ(reg_.Value(), Variant(std::int32_t{42}));
  EXPECT_EQ(reg_.ValueType(), kRegBinary);
}

TEST_F(RegistryReadTest, MissingKeyOrUnsetRootGivesDefault) {
  reg_.SetSectionKey("Software\\Nowhere");
  reg_.SetValueKey("X");
  reg_.SetDefault(std::string("fallback"));
  EXPECT_EQ(reg_.Value(), Variant(std::string("fallback")));
  Registry unset(store_);
  unset.SetDefault(std::int32_t{7});
  EXPECT_EQ(unset.Value(), Variant(std::int32_t{7}));
}

TEST_F(RegistryReadTest, StoredDataIsDecodedByItsTypeWhichBecomesTheValueType) {
  setenv("QUARRYTAB_TEST_VAR", "/opt/x", 1);
  struct Case {
    const char* what;
    RegistryData stored;
    Variant value;
  };
  const Case cases[] = {
      {"dword", {kRegDword, std::string("\x10\0\0\0", 4)}, std::int32_t{16}},
      {"big-endian dword",
       {kRegDwordBigEndian, std::string("\0\0\x01\x02", 4)},
       std::int32_t{0x0102}},
      {"text loses one trailing nul", {kRegSz, std::string("abc\0", 4)}, std::string("abc")},
      {"multi-string keeps its separators",
       {kRegMultiSz, std::string("a\0b\0\0", 5)},
       std::string("a\0b\0", 4)},
      {"expandable text expands known references only",
       {kRegExpandSz, std::string("%QUARRYTAB_TEST_VAR%/bin:%NO_SUCH_VAR_HERE%:100%\0", 49)},
       std::string("/opt/x/bin:%NO_SUCH_VAR_HERE%:100%")},
      {"other types read as bytes", {11, std::string("\x01\x02\x03", 3)}, Bytes{1, 2, 3}},
  };
  store_->CreateKey(kHkeyCurrentUser, kKey);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    store_->SetValue(kHkeyCurrentUser, kKey, "V", c.stored);
    reg_.SetValueKey("V");
    reg_.SetValueType(kRegBinary);
    EXPECT_EQ(reg_.Value(), c.value);
    EXPECT_EQ(reg_.ValueType(), c.stored.type);
  }
}

TEST_F(RegistryReadTest, DwordReadSetsTypeSoTheNextWriteIsADword) {
  store_->CreateKey(kHkeyCurrentUser, kKey);
  store_->SetValue(kHkeyCurrentUser, kKey, "N",
                   RegistryData{kRegDword, std::string("\x10\0\0\0", 4)});
  reg_.SetValueKey("N");
  reg_.SetValueType(kRegSz);
  reg_.Value();
  reg_.SetValue(std::int32_t{-2});
  EXPECT_EQ(Stored("N"), (RegistryData{kRegDword, std::string("\xFE\xFF\xFF\xFF", 4)}));
}

TEST_F(RegistryReadTest, RemoteComputerReadGivesDefault) {
  reg_.SetValueKey("S");
  reg_.SetValueType(kRegSz);
  reg_.SetValue(std::string("local"));
  reg_.SetRemoteComputer("server");
  reg_.SetDefault(std::string("d"));
  EXPECT_EQ(reg_.Value(), Variant(std::string("d")));
}

using RegistryWriteTest = RegistryTest;

TEST_F(RegistryWriteTest, ValueIsStoredAsTheValueTypeAsks) {
  struct Case {
    const char* what;
    std::int32_t type;
    Variant value;
    RegistryData stored;  // type -1: nothing stored
  };
  const Case cases[] = {
      {"bytes as binary are written whole",
       kRegBinary,
       Bytes{0, 0xFF, 0x7C},
       {kRegBinary, std::string("\0\xFF\x7C", 3)}},
      {"a double as dword writes nothing", kRegDword, 3.0, {-1, ""}},
      {"big-endian type writes a little-endian dword",
       kRegDwordBigEndian,
       std::int16_t{258},
       {kRegDword, std::string("\x02\x01\0\0", 4)}},
      {"expandable needs a double percent",
       kRegExpandSz,
       std::string("%HOME%/x"),
       {kRegSz, std::string("%HOME%/x\0", 9)}},
      {"and a later percent",
       kRegExpandSz,
       std::string("a%%b%"),
       {kRegExpandSz, std::string("a%%b%\0", 6)}},
      {"an integer as text", kRegSz, std::int32_t{12}, {kRegSz, std::string("12\0", 3)}},
      {"multi-string gets two nuls",
       kRegMultiSz,
       std::string("a"),
       {kRegMultiSz, std::string("a\0\0", 3)}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = "V" + std::to_string(n++);
    reg_.SetValueKey(name);
    reg_.SetValueType(c.type);
    reg_.SetValue(c.value);
    EXPECT_EQ(Stored(name), c.stored);
  }
  EXPECT_TRUE(reg_.KeyExists());  // opened for writing even when nothing was stored
}

TEST_F(RegistryWriteTest, RefusedWritesRaiseTheirNumberAndStoreNothing) {
  reg_.SetValueKey("Password");
  reg_.SetValueType(kRegBinary);
  EXPECT_EQ(ExpectError(26000, [&] { reg_.SetValue(std::string("secret")); }),
            "quarrytab.Registry");
  EXPECT_EQ(Stored("Password").type, -1);
  reg_.SetValueKey("L");
  reg_.SetValueType(kRegLink);
  try {
    reg_.SetValue(std::string("x"));
    ADD_FAILURE() << "a link value was written";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 26013);
    EXPECT_EQ(e.Description(), "Failed to set registry value.\r\nThe data is invalid.\r\n");
  }
  EXPECT_EQ(Stored("L").type, -1);
}

TEST_F(RegistryWriteTest, UnsetRootRaisesInvalidHandleAndKeepsProperties) {
  Registry unset(store_);
  unset.SetSectionKey("A");
  unset.SetValueKey("B");
  unset.SetValueType(kRegSz);
  ExpectError(26006, [&] { unset.SetValue(std::string("x")); });
  unset.SetClassKey(kHkeyCurrentUser);
  unset.SetValue(std::string("x"));  // corrected and retried
  EXPECT_EQ(unset.Value(), Variant(std::string("x")));
}

TEST_F(RegistryWriteTest, ValueExWithEmptyTextStoresDefault) {
  reg_.SetValueEx(kHkeyCurrentUser, kKey, "S", kRegSz, std::string("dflt"), std::string());
  EXPECT_EQ(Stored("S"), (RegistryData{1, std::string("dflt\0", 5)}));
  EXPECT_EQ(reg_.ValueEx(kHkeyCurrentUser, kKey, "S", kRegDword, std::int32_t{0}),
            Variant(std::string("dflt")));
  EXPECT_EQ(reg_.ValueType(), kRegSz);
}

TEST_F(RegistryWriteTest, RemoteComputerGetsBackslashesFromThreeCharacters) {
  reg_.SetRemoteComputer("ab");
  EXPECT_EQ(reg_.RemoteComputer(), "ab");
  reg_.SetRemoteComputer("abc");
  EXPECT_EQ(reg_.RemoteComputer(), "\\\\abc");
  reg_.SetRemoteComputer("\\\\host");
  EXPECT_EQ(reg_.RemoteComputer(), "\\\\host");
}

using RegistryKeyTest = RegistryTest;

TEST_F(RegistryKeyTest, DeleteMissingValueRaises26002WithSystemText) {
  reg_.CreateKey();
  reg_.SetValueKey("Nothing");
  try {
    reg_.DeleteValue();
    ADD_FAILURE() << "a missing value was deleted";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 26002);
    EXPECT_EQ(e.Source(), "quarrytab.Registry");
    EXPECT_EQ(e.Description(),
              "Failed to delete registry key.\r\nThe system cannot find the file specified.\r\n");
  }
}

TEST_F(RegistryKeyTest, CreateKeyMakesParentsAndDeleteKeyRefusesKeysWithChildren) {
  reg_.CreateKey();
  EXPECT_TRUE(reg_.KeyExists());
  reg_.SetSectionKey("Software\\Orvalis");
  EXPECT_TRUE(reg_.KeyExists());
  ExpectError(26005, [&] { reg_.DeleteKey(); });
  reg_.SetSectionKey(kKey);
  reg_.DeleteKey();
  EXPECT_FALSE(reg_.KeyExists());
  ExpectError(26002, [&] { reg_.DeleteKey(); });
}

TEST_F(RegistryKeyTest, NamesIgnoreLetterCase) {
  reg_.SetValueKey("Width");
  reg_.SetValueType(kRegDword);
  reg_.SetValue(std::int32_t{800});
  Registry other(store_);
  other.SetClassKey(kHkeyCurrentUser);
  other.SetSectionKey("SOFTWARE\\orvalis\\VAULTLINE");
  other.SetValueKey("width");
  EXPECT_EQ(other.Value(), Variant(std::int32_t{800}));
}

TEST_F(RegistryKeyTest, EnumerationListsNamesInOrderAndNothingForMissingKeys) {
  reg_.SetValueType(kRegDword);
  for (const char* name : {"B", "A", "C"}) {
    reg_.SetValueKey(name);
    reg_.SetValue(std::int32_t{1});
  }
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
