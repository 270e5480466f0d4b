#include "quarrytab/os_edition.h"

#include <gtest/gtest.h>

#include "quarrytab/os_info.h"

namespace quarrytab {
namespace {

OsVersionRecord V(std::uint32_t major, std::uint32_t minor, std::uint8_t type,
                  std::uint16_t suite = 0, std::string sp = "") {
  OsVersionRecord v;
  v.major = major;
  v.minor = minor;
  v.product_type = type;
  v.suite_mask = suite;
  v.service_pack = std::move(sp);
  return v;
}

/// The edition text without the service pack.
std::string Edition(const OsVersionRecord& v, EditionFacts facts = {}) {
  return WindowsEditionString(v, facts, false);
}

// These tests check how an edition is chosen, not the names of the tables.

TEST(WindowsEdition, IsWindowsAndTheNameWithTheServicePackOnlyWhenAskedAndPresent) {
  const OsVersionRecord v = V(6, 1, 1, 0, "Service Pack 1");
  const std::string name = Edition(v, EditionFacts{48});
  EXPECT_TRUE(name.starts_with("Windows ")) << name;
  EXPECT_EQ(WindowsEditionString(v, EditionFacts{48}, true), name + ", Service Pack 1");
  EXPECT_EQ(WindowsEditionString(V(6, 1, 1), EditionFacts{48}, true), name);
}

TEST(WindowsEdition, X64SuffixReplacesEveryEditionWordButNotOnServer2012R2Or2016) {
  const std::pair<OsVersionRecord, bool> cases[] = {
      {V(5, 0, 1), true},         {V(5, 0, 3, 0x0082), true}, {V(5, 1, 1, 0x0200), true},
      {V(5, 2, 1, 0x0100), true}, {V(5, 2, 3, 0x0110), true}, {V(5, 2, 3, 0x0402), true},
      {V(6, 1, 1), true},         {V(6, 3, 1), true},         {V(6, 2, 3, 0x0020), true},
      {V(10, 0, 1), true},        {V(11, 0, 1), true},        {V(6, 3, 3, 0x0080), false},
      {V(10, 0, 3), false},
  };
  for (const auto& [v, suffix] : cases) {
    std::string plain = Edition(v);
    const std::string x64 = Edition(v, EditionFacts{{}, false, true});
    SCOPED_TRACE(plain);
    if (suffix) {
      for (auto at = plain.find(" Edition"); at != std::string::npos; at = plain.find(" Edition")) {
        plain.erase(at, 8);
      }
      plain += " x64 Edition";
    }
    EXPECT_EQ(x64, plain);
  }
}

TEST(WindowsEdition, SuiteBitsAreTriedInTheirOrderAndOnlyByServers) {
  const std::pair<OsVersionRecord, OsVersionRecord> same[] = {
      {V(5, 0, 3, 0x0082), V(5, 0, 3, 0x0002)},  // 2000: 0x0002 before 0x0080
      {V(5, 0, 1, 0x0082), V(5, 0, 1)},          // a workstation has no suite
      {V(5, 2, 3, 0x0482), V(5, 2, 3, 0x0080)},  // 2003: 0x0080 first,
      {V(5, 2, 3, 0x0402), V(5, 2, 3, 0x0002)},  // then 0x0002, then 0x0400
      {V(5, 2, 3, 0x0110), V(5, 2, 3)},          // XP x64 only for the exact suite
      {V(6, 1, 3, 0x0082), V(6, 1, 3, 0x0080)},  // 2008 on: 0x0080 first
      {V(6, 2, 3, 0x0002), V(6, 2, 3)},          // 2012 has no Enterprise
      {V(6, 0, 3, 0x0020), V(6, 0, 3)},          // only 2012 knows 0x0020
      {V(6, 1, 2, 0x0002), V(6, 1, 3, 0x0002)},  // a domain controller is a server
  };
  for (const auto& [a, b] : same) EXPECT_EQ(Edition(a), Edition(b));
  const std::pair<OsVersionRecord, OsVersionRecord> differ[] = {
      {V(5, 0, 3, 0x0080), V(5, 0, 3)}, {V(5, 0, 3, 0x0002), V(5, 0, 3)},
      {V(5, 1, 1, 0x0200), V(5, 1, 1)}, {V(5, 2, 3, 0x0400), V(5, 2, 3)},
      {V(5, 2, 3, 0x0100), V(5, 2, 3)}, {V(6, 0, 3, 0x0002), V(6, 0, 3)},
      {V(6, 2, 3, 0x0020), V(6, 2, 3)}, {V(6, 2, 3, 0x0080), V(6, 2, 3)},
  };
  for (const auto& [a, b] : differ) EXPECT_NE(Edition(a), Edition(b));
}

TEST(WindowsEdition, ProductNumbersNameWorkstationsOfVistaAndLaterByTheirOwnTable) {
  // The name a product number adds to the edition text without one.
  auto added = [](const OsVersionRecord& v, std::uint32_t product) {
    const std::string bare = Edition(v);
    const std::string named = Edition(v, EditionFacts{product});
    EXPECT_TRUE(named.starts_with(bare)) << named;
    return named.substr(bare.size());
  };
  EXPECT_TRUE(added(V(6, 1, 1), 48).starts_with(" "));
  EXPECT_GT(added(V(6, 1, 1), 48).size(), 1u);
  EXPECT_EQ(added(V(6, 0, 1), 48), added(V(6, 3, 1), 48)) << "Vista to 8.1 share one table";
  EXPECT_EQ(added(V(6, 1, 1), 9999), "") << "an unknown number adds nothing";
  EXPECT_EQ(added(V(10, 0, 1), 1), "") << "a number of the older table means nothing on 10";
  EXPECT_NE(added(V(10, 0, 1), 48), added(V(6, 1, 1), 48));
  EXPECT_EQ(added(V(10, 1, 1), 48), added(V(10, 0, 1), 48)) << "also for an unknown minor";
  EXPECT_EQ(added(V(6, 1, 3), 48), "") << "servers are named by their suite alone";
  EXPECT_EQ(added(V(10, 0, 3), 48), "");
}

TEST(WindowsEdition, R2FlagNamesOnlyServer2003AndUnknownVersionsReadUnknown) {
  const EditionFacts r2{{}, true, false};
  std::string with_r2 = Edition(V(5, 2, 3, 0x0002), r2);
  ASSERT_NE(with_r2.find(" R2"), std::string::npos);
  EXPECT_EQ(with_r2.erase(with_r2.find(" R2"), 3), Edition(V(5, 2, 3, 0x0002)));
  EXPECT_EQ(Edition(V(5, 2, 1, 0x0100), r2), Edition(V(5, 2, 1, 0x0100)));
  EXPECT_EQ(Edition(V(6, 0, 3), r2), Edition(V(6, 0, 3)));
  const std::pair<OsVersionRecord, bool> known[] = {
      {V(4, 0, 1), false},  {V(11, 0, 1), false}, {V(6, 5, 1), false}, {V(6, 4, 3), false},
      {V(10, 1, 1), false}, {V(5, 0, 1), true},   {V(5, 2, 3), true},  {V(6, 4, 1), true},
      {V(6, 3, 3), true},   {V(10, 0, 1), true},  {V(10, 0, 3), true},
  };
  for (const auto& [v, is_known] : known) {
    EXPECT_EQ(Edition(v).find("<unknown>") == std::string::npos, is_known) << Edition(v);
  }
}

TEST(OSInfoEdition, DistributionNameReplacesTheWindowsText) {
  const OsVersionRecord v = V(6, 1, 1, 0, "Service Pack 1");
  const OSInfo linux_os(v, EditionFacts{}, "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(linux_os.GetFullVersionString(), "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(linux_os.GetFullVersionString(true), "Debian GNU/Linux 12 (bookworm), Service Pack 1");
  const OSInfo windows(v, EditionFacts{48, false, true}, "");
  EXPECT_EQ(windows.GetFullVersionString(true), WindowsEditionString(v, {48, false, true}, true));
  EXPECT_EQ(windows.GetFullVersionString(), Edition(v, {48, false, true}));
  EXPECT_EQ(windows.Version(), 6 * 256 + 1);
}

}  // namespace
}  // namespace quarrytab
