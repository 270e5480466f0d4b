#include "quarrytab/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "quarrytab/memory_registry_store.h"
#include "support/error.h"

namespace quarrytab {
namespace {

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

  /// Runs `op` and returns the error it raised (number 0 when none).
  template <typename Op>
  static support::Error Raised(Op op) {
    try {
      op();
    } catch (const support::Error& e) {
      return e;
    }
    return support::Error(0, "", "");
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

TEST_F(RegistryReadTest, DwordReadSetsTypeSoTheNextWriteIsADword) {
  store_->CreateKey(kHkeyCurrentUser, kKey);
  store_->SetValue(kHkeyCurrentUser, kKey, "N", RegistryData{4, std::string("\x10\0\0\0", 4)});
  reg_.SetValueKey("N");
  reg_.SetValueType(kRegSz);
  EXPECT_EQ(reg_.Value(), Variant(std::int32_t{16}));
  EXPECT_EQ(reg_.ValueType(), kRegDword);
  reg_.SetValue(std::int32_t{-2});
  EXPECT_EQ(Stored("N"), (RegistryData{4, std::string("\xFE\xFF\xFF\xFF", 4)}));
}

TEST_F(RegistryReadTest, BigEndianDwordIsReversed) {
  store_->CreateKey(kHkeyCurrentUser, kKey);
  store_->SetValue(kHkeyCurrentUser, kKey, "B",
                   RegistryData{5, std::string("\x00\x00\x01\x02", 4)});
  reg_.SetValueKey("B");
  EXPECT_EQ(reg_.Value(), Variant(std::int32_t{0x0102}));
  EXPECT_EQ(reg_.ValueType(), kRegDwordBigEndian);
}

TEST_F(RegistryReadTest, TextLosesOneTrailingNulAndMultiStringKeepsSeparators) {
  store_->CreateKey(kHkeyCurrentUser, kKey);
  store_->SetValue(kHkeyCurrentUser, kKey, "S", RegistryData{1, std::string("abc\0", 4)});
  store_->SetValue(kHkeyCurrentUser, kKey, "M", RegistryData{7, std::string("a\0b\0\0", 5)});
  reg_.SetValueKey("S");
  EXPECT_EQ(reg_.Value(), Variant(std::string("abc")));
  reg_.SetValueKey("M");
  EXPECT_EQ(reg_.Value(), Variant(std::string("a\0b\0", 4)));
  EXPECT_EQ(reg_.ValueType(), kRegMultiSz);
}

TEST_F(RegistryReadTest, ExpandStringExpandsKnownReferencesOnly) {
  setenv("QUARRYTAB_TEST_VAR", "/opt/x", 1);
  store_->CreateKey(kHkeyCurrentUser, kKey);
  const std::string text = "%QUARRYTAB_TEST_VAR%/bin:%NO_SUCH_VAR_HERE%:100%";
  store_->SetValue(kHkeyCurrentUser, kKey, "E", RegistryData{2, text + '\0'});
  reg_.SetValueKey("E");
  EXPECT_EQ(reg_.Value(), Variant(std::string("/opt/x/bin:%NO_SUCH_VAR_HERE%:100%")));
}

TEST_F(RegistryReadTest, OtherTypesReadAsBytes) {
  store_->CreateKey(kHkeyCurrentUser, kKey);
  store_->SetValue(kHkeyCurrentUser, kKey, "Q", RegistryData{11, std::string("\x01\x02\x03", 3)});
  reg_.SetValueKey("Q");
  EXPECT_EQ(reg_.Value(), Variant(Bytes{1, 2, 3}));
  EXPECT_EQ(reg_.ValueType(), 11);
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

TEST_F(RegistryWriteTest, TextWithBinaryTypeRaises26000) {
  reg_.SetValueKey("Password");
  reg_.SetValueType(kRegBinary);
  const support::Error e = Raised([&] { reg_.SetValue(std::string("secret")); });
  EXPECT_EQ(e.Number(), 26000);
  EXPECT_EQ(e.Source(), "quarrytab.Registry");
  EXPECT_EQ(Stored("Password").type, -1);
}

TEST_F(RegistryWriteTest, BytesWithBinaryTypeAreWrittenWhole) {
  reg_.SetValueKey("Password");
  reg_.SetValueType(kRegBinary);
  reg_.SetValue(Bytes{0, 0xFF, 0x7C});
  EXPECT_EQ(Stored("Password"), (RegistryData{3, std::string("\0\xFF\x7C", 3)}));
}

TEST_F(RegistryWriteTest, DoubleWithDwordTypeWritesNothingAndRaisesNothing) {
  reg_.SetValueKey("D");
  reg_.SetValueType(kRegDword);
  reg_.SetValue(3.0);
  EXPECT_EQ(Stored("D").type, -1);
  EXPECT_TRUE(reg_.KeyExists());  // the key itself was opened for writing
}

TEST_F(RegistryWriteTest, BigEndianTypeWritesLittleEndianDwordFromInteger) {
  reg_.SetValueKey("D");
  reg_.SetValueType(kRegDwordBigEndian);
  reg_.SetValue(std::int16_t{258});
  EXPECT_EQ(Stored("D"), (RegistryData{4, std::string("\x02\x01\0\0", 4)}));
}

TEST_F(RegistryWriteTest, TextIsExpandableOnlyWithDoublePercentAndALaterPercent) {
  reg_.SetValueType(kRegExpandSz);
  reg_.SetValueKey("A");
  reg_.SetValue(std::string("%HOME%/x"));
  EXPECT_EQ(Stored("A").type, kRegSz);
  reg_.SetValueKey("B");
  reg_.SetValue(std::string("a%%b%"));
  EXPECT_EQ(Stored("B").type, kRegExpandSz);
  reg_.SetValueType(kRegSz);
  reg_.SetValueKey("C");
  reg_.SetValue(std::int32_t{12});
  EXPECT_EQ(Stored("C"), (RegistryData{1, std::string("12\0", 3)}));
}

TEST_F(RegistryWriteTest, MultiStringGetsTwoNuls) {
  reg_.SetValueKey("M");
  reg_.SetValueType(kRegMultiSz);
  reg_.SetValue(std::string("a"));
  EXPECT_EQ(Stored("M"), (RegistryData{7, std::string("a\0\0", 3)}));
}

TEST_F(RegistryWriteTest, UnsupportedTypeFailsWithCode13) {
  reg_.SetValueKey("L");
  reg_.SetValueType(kRegLink);
  const support::Error e = Raised([&] { reg_.SetValue(std::string("x")); });
  EXPECT_EQ(e.Number(), 26013);
  EXPECT_EQ(e.Description(), "Failed to set registry value.\r\nThe data is invalid.\r\n");
}

TEST_F(RegistryWriteTest, UnsetRootRaisesInvalidHandleAndKeepsProperties) {
  Registry unset(store_);
  unset.SetSectionKey("A");
  unset.SetValueKey("B");
  unset.SetValueType(kRegSz);
  EXPECT_EQ(Raised([&] { unset.SetValue(std::string("x")); }).Number(), 26006);
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
  const support::Error e = Raised([&] { reg_.DeleteValue(); });
  EXPECT_EQ(e.Number(), 26002);
  EXPECT_EQ(e.Source(), "quarrytab.Registry");
  EXPECT_EQ(e.Description(),
            "Failed to delete registry key.\r\nThe system cannot find the file specified.\r\n");
}

TEST_F(RegistryKeyTest, CreateKeyMakesParentsAndDeleteKeyRefusesKeysWithChildren) {
  reg_.CreateKey();
  EXPECT_TRUE(reg_.KeyExists());
  reg_.SetSectionKey("Software\\Orvalis");
  EXPECT_TRUE(reg_.KeyExists());
  EXPECT_EQ(Raised([&] { reg_.DeleteKey(); }).Number(), 26005);
  reg_.SetSectionKey(kKey);
  reg_.DeleteKey();
  EXPECT_FALSE(reg_.KeyExists());
  EXPECT_EQ(Raised([&] { reg_.DeleteKey(); }).Number(), 26002);
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
