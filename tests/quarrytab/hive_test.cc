#include "quarrytab/hive.h"

#include <gtest/gtest.h>

#include "support/codepage.h"

namespace quarrytab {
namespace {

constexpr std::uint32_t kHkcu = kHkeyCurrentUser;
constexpr const char* kHead = "Windows Registry Editor Version 5.00\n";

RegistryData Query(const Hive& hive, std::string_view path, std::string_view name) {
  RegistryData data;
  if (hive.QueryValue(kHkcu, path, name, data) != 0) data.type = -1;
  return data;
}

/// Whether a hive reads back from its own text unchanged.
bool Stable(const Hive& hive) {
  return Hive::Parse(hive.Serialize()).Serialize() == hive.Serialize();
}

TEST(HiveFormat, WritesEveryKindInRegeditForm) {
  Hive hive;
  ASSERT_EQ(hive.CreateKey(kHkcu, "Software\\Orvalis"), 0);
  hive.SetValue(kHkcu, "Software\\Orvalis", "Name", RegistryData{1, std::string("a\"b\\c\0", 6)});
  hive.SetValue(kHkcu, "Software\\Orvalis", "", RegistryData{1, std::string("dflt\0", 5)});
  hive.SetValue(kHkcu, "Software\\Orvalis", "N", RegistryData{4, std::string("\x1a\0\0\0", 4)});
  hive.SetValue(kHkcu, "Software\\Orvalis", "Bin", RegistryData{3, std::string("\x01\xff", 2)});
  hive.SetValue(kHkcu, "Software\\Orvalis", "E", RegistryData{2, std::string("%A%\0", 4)});
  hive.SetValue(kHkcu, "Software\\Orvalis", "M", RegistryData{7, std::string("a\0\0", 3)});
  EXPECT_EQ(hive.Serialize(),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software]\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\Orvalis]\r\n"
            "\"Name\"=\"a\\\"b\\\\c\"\r\n"
            "@=\"dflt\"\r\n"
            "\"N\"=dword:0000001a\r\n"
            "\"Bin\"=hex:01,ff\r\n"
            "\"E\"=hex(2):25,00,41,00,25,00,00,00\r\n"
            "\"M\"=hex(7):61,00,00,00,00,00\r\n"
            "\r\n");
}

TEST(HiveFormat, EveryKindSurvivesARoundTrip) {
  Hive hive;
  hive.CreateKey(kHkcu, "K");
  const std::vector<RegistryData> values = {
      {1, std::string("\xce\x91\xce\xb2\0", 5)},  // Greek text
      {1, std::string("line\r\nbreak\0", 12)},    // needs the hex(1) form
      {1, std::string("no terminator")},          // likewise
      {4, std::string("\x01\x02", 2)},            // short DWORD keeps its bytes
      {3, std::string(200, '\x5a')},              // wraps over several lines
      {5, std::string("\0\0\0\x01", 4)},
      {11, std::string("12345678", 8)},
      {0, std::string()},
  };
  for (std::size_t i = 0; i < values.size(); ++i) {
    hive.SetValue(kHkcu, "K", "v" + std::to_string(i), values[i]);
  }
  const Hive back = Hive::Parse(hive.Serialize());
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(Query(back, "K", "v" + std::to_string(i)), values[i]) << i;
  }
  EXPECT_TRUE(Stable(hive));
}

TEST(HiveFormat, ReadsRegeditUtf16ExportsAndContinuedHexLines) {
  const std::string utf8 = std::string(kHead) + "\n[HKEY_CURRENT_USER\\K]\n\"S\"=\"x\"\n";
  const Hive exported = Hive::Parse("\xFF\xFE" + support::Utf8ToUtf16LeBytes(utf8));
  EXPECT_EQ(Query(exported, "K", "S"), (RegistryData{1, std::string("x\0", 2)}));
  const Hive hive =
      Hive::Parse(std::string(kHead) + "[HKEY_CURRENT_USER\\K]\n\"B\"=hex:01,02,\\\n  03,04\n");
  EXPECT_EQ(Query(hive, "K", "B"), (RegistryData{3, std::string("\x01\x02\x03\x04", 4)}));
}

TEST(HiveFormat, DamagedLinesAreIgnoredOnReadAndKeptInPlaceOnTheNextWrite) {
  Hive hive = Hive::Parse(std::string(kHead) +
                          "; my notes\n\n[HKEY_CURRENT_USER\\K]\n"
                          "\"Good\"=dword:00000005\n\"Broken\"=dword:zz\n\"Unclosed\"=\"abc\n"
                          "\"Gone\"=-\ngarbage without an equals sign\n\"Bad\"=hex:1,2,300\n"
                          "\"Later\"=\"fine\"\n[HKEY_CURRENT_USER\\Half\n"
                          "\"Dup\"=dword:00000001\n\"Dup\"=dword:00000002\n");
  EXPECT_EQ(Query(hive, "K", "Later").bytes, std::string("fine\0", 5));
  for (const char* bad : {"Broken", "Unclosed", "Bad"}) EXPECT_EQ(Query(hive, "K", bad).type, -1);
  EXPECT_EQ(Query(hive, "K", "Dup").bytes, std::string("\x02\0\0\0", 4)) << "the last one wins";
  std::vector<std::string> names;
  hive.EnumValues(kHkcu, "K", names);
  EXPECT_EQ(names, (std::vector<std::string>{"Good", "Later", "Dup"}));

  hive.SetValue(kHkcu, "K", "Good", RegistryData{4, std::string("\x06\0\0\0", 4)});
  const std::string text = hive.Serialize();
  for (const char* kept : {"; my notes\r\n", "\"Broken\"=dword:zz\r\n", "\"Unclosed\"=\"abc\r\n",
                           "\"Gone\"=-\r\n", "garbage without an equals sign\r\n",
                           "\"Bad\"=hex:1,2,300\r\n", "[HKEY_CURRENT_USER\\Half\r\n"}) {
    EXPECT_NE(text.find(kept), std::string::npos) << kept;
  }
  EXPECT_LT(text.find("\"Good\"=dword:00000006"), text.find("\"Broken\""));
  EXPECT_TRUE(Stable(hive));
}

TEST(HiveFormat, OddInputNeitherCrashesNorSwallowsTheValuesAfterIt) {
  // Found by fuzzing: a kept line ending in "\" joined the following value
  // once the blank line between them had been dropped by a write.
  const Hive joined = Hive::Parse(
      std::string(kHead) + "[HKEY_CURRENT_USER\\K]\n\"h\"=hex:01,\\\n\n\"v\"=dword:00000001\n");
  EXPECT_EQ(Query(Hive::Parse(joined.Serialize()), "K", "v").type, 4);
  EXPECT_TRUE(Stable(joined));
  // An empty section name does not capture the values below it.
  const Hive empty =
      Hive::Parse(std::string(kHead) + "[HKEY_CURRENT_USER\\K]\n[\\]\n\"V\"=dword:00000001\n");
  EXPECT_EQ(Query(empty, "K", "V").type, 4);
  EXPECT_TRUE(Stable(empty));
  std::string junk;
  for (int i = 0; i < 4000; ++i) junk.push_back(static_cast<char>((i * 7919) % 251));
  Hive hive = Hive::Parse(junk + "\n[HKEY_CURRENT_USER\\K]\n\"x\"=hex(");
  EXPECT_EQ(hive.CreateKey(kHkcu, "K\\L"), 0);
  EXPECT_EQ(hive.OpenKey(kHkcu, "K\\L"), 0);
}

TEST(HiveKeys, NamesThatWouldBreakTheFileAreRefusedAndParentsAreImplied) {
  Hive hive;
  for (const char* bad : {"A\nB", "A]B", "A\\\\B"}) EXPECT_EQ(hive.CreateKey(kHkcu, bad), 87);
  ASSERT_EQ(hive.CreateKey(kHkcu, "A"), 0);
  EXPECT_EQ(hive.SetValue(kHkcu, "A", "x\r\n[HKEY_CURRENT_USER\\B]", RegistryData{4, "1234"}), 87);
  EXPECT_EQ(Hive::Parse(hive.Serialize()).OpenKey(kHkcu, "B"), 2);

  const Hive parsed = Hive::Parse(std::string(kHead) +
                                  "[HKEY_CURRENT_USER\\A\\B]\n[HKEY_CURRENT_USER\\A\\b\\C]\n"
                                  "[HKEY_LOCAL_MACHINE\\A\\X]\n");
  EXPECT_EQ(parsed.OpenKey(kHkcu, "A"), 0);
  EXPECT_EQ(parsed.OpenKey(kHkcu, "A\\X"), 2);
  EXPECT_EQ(parsed.OpenKey(kHkeyLocalMachine, "A\\X"), 0);
  EXPECT_EQ(parsed.OpenKey(0, "A"), 6);
  std::vector<std::string> names;
  EXPECT_EQ(parsed.EnumKeys(kHkcu, "A", names), 0);
  EXPECT_EQ(names, std::vector<std::string>{"B"}) << "a key differing in case only is one key";
}

}  // namespace
}  // namespace quarrytab
