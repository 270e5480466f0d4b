#include "quarrytab/os_edition.h"

#include <gtest/gtest.h>

#include "quarrytab/os_info.h"

namespace quarrytab {
namespace {

OsVersionRecord Version(std::uint32_t major, std::uint32_t minor, std::uint8_t type,
                        std::uint16_t suite = 0, std::string sp = "") {
  OsVersionRecord v;
  v.major = major;
  v.minor = minor;
  v.product_type = type;
  v.suite_mask = suite;
  v.service_pack = std::move(sp);
  return v;
}

std::string Edition(const OsVersionRecord& v, std::optional<std::uint32_t> product = {},
                    bool x64 = false, bool include_sp = true, bool r2 = false) {
  return WindowsEditionString(v, EditionFacts{product, r2, x64}, include_sp);
}

TEST(EditionExamples, Windows7ProfessionalX64WithServicePack) {
  EXPECT_EQ(Edition(Version(6, 1, 1, 0, "Service Pack 1"), 48, true),
            "Windows 7 Professional x64 Edition, Service Pack 1");
}

TEST(EditionExamples, XpProfessionalWithServicePack3) {
  EXPECT_EQ(Edition(Version(5, 1, 1, 0, "Service Pack 3")),
            "Windows XP Professional, Service Pack 3");
}

TEST(EditionExamples, Server2012R2NeverGetsTheX64Suffix) {
  EXPECT_EQ(Edition(Version(6, 3, 3), std::nullopt, true), "Windows Server 2012 R2 Standard");
  EXPECT_EQ(Edition(Version(6, 3, 3, 0x0080), std::nullopt, true),
            "Windows Server 2012 R2 Datacenter");
}

TEST(EditionServicePack, NeverWithoutIncludeSpAndNoTrailingSeparator) {
  EXPECT_EQ(Edition(Version(5, 1, 1, 0, "Service Pack 3"), {}, false, false),
            "Windows XP Professional");
  EXPECT_EQ(Edition(Version(5, 1, 1, 0, ""), {}, false, true), "Windows XP Professional");
}

TEST(EditionWindows2000AndXp, SuiteBitsChooseTheName) {
  EXPECT_EQ(Edition(Version(5, 0, 1)), "Windows 2000 Professional");
  EXPECT_EQ(Edition(Version(5, 0, 3, 0x0002)), "Windows 2000 Advanced Server");
  EXPECT_EQ(Edition(Version(5, 0, 3, 0x0082)), "Windows 2000 Advanced Server");  // 0x0002 first
  EXPECT_EQ(Edition(Version(5, 0, 3, 0x0080)), "Windows 2000 Datacenter Server");
  EXPECT_EQ(Edition(Version(5, 0, 2)), "Windows 2000 Server");
  EXPECT_EQ(Edition(Version(5, 1, 1, 0x0200)), "Windows XP Home Edition");
  EXPECT_EQ(Edition(Version(5, 1, 1, 0x0200), {}, true), "Windows XP Home x64 Edition");
}

TEST(EditionServer2003, XpX64OnlyForTheExactSuiteAndOrderOfEditions) {
  EXPECT_EQ(Edition(Version(5, 2, 1, 0x0100), {}, true), "Windows XP Professional x64 Edition");
  EXPECT_EQ(Edition(Version(5, 2, 3, 0x0110)), "Windows Server 2003 Standard Edition");
  EXPECT_EQ(Edition(Version(5, 2, 3, 0x0482)), "Windows Server 2003 Datacenter Edition");
  EXPECT_EQ(Edition(Version(5, 2, 3, 0x0402)), "Windows Server 2003 Enterprise Edition");
  EXPECT_EQ(Edition(Version(5, 2, 3, 0x0400)), "Windows Server 2003 Web Edition");
  EXPECT_EQ(Edition(Version(5, 2, 3), {}, false, true, true),
            "Windows Server 2003 R2 Standard Edition");
  // " Edition" is removed everywhere before the suffix goes on.
  EXPECT_EQ(Edition(Version(5, 2, 3, 0x0002), {}, true, true, true),
            "Windows Server 2003 R2 Enterprise x64 Edition");
}

TEST(EditionVistaTo8, ProductNumbersNameTheEdition) {
  EXPECT_EQ(Edition(Version(6, 0, 1), 1), "Windows Vista Ultimate");
  EXPECT_EQ(Edition(Version(6, 2, 1), 84), "Windows 8 Enterprise N");
  EXPECT_EQ(Edition(Version(6, 3, 1), 103), "Windows 8.1 Professional with Media Center");
  EXPECT_EQ(Edition(Version(6, 4, 1), 4), "Windows 10 Beta Enterprise");
  EXPECT_EQ(Edition(Version(6, 1, 1), 9999), "Windows 7");  // unknown number: nothing, no space
  EXPECT_EQ(Edition(Version(6, 1, 1), std::nullopt), "Windows 7");  // failed query
  EXPECT_EQ(Edition(Version(6, 1, 1), 3, true), "Windows 7 Home Premium x64 Edition");
}

TEST(EditionServer2008And2012, SuiteBitsChooseTheEdition) {
  EXPECT_EQ(Edition(Version(6, 0, 3)), "Windows Server 2008 Standard");
  EXPECT_EQ(Edition(Version(6, 0, 2, 0x0002)), "Windows Server 2008 Enterprise");
  EXPECT_EQ(Edition(Version(6, 1, 3, 0x0082), {}, true),
            "Windows Server 2008 R2 Datacenter x64 Edition");
  EXPECT_EQ(Edition(Version(6, 2, 3, 0x0020)), "Windows Server 2012 Essentials");
  EXPECT_EQ(Edition(Version(6, 2, 3, 0x0002)), "Windows Server 2012 Standard");  // no Enterprise
  EXPECT_EQ(Edition(Version(6, 2, 3, 0x00A0)), "Windows Server 2012 Datacenter");
}

TEST(EditionWindows10, ProductNumbersAndServer2016) {
  EXPECT_EQ(Edition(Version(10, 0, 1), 48), "Windows 10 Pro");
  EXPECT_EQ(Edition(Version(10, 0, 1), 100, true), "Windows 10 Home x64 Edition");
  EXPECT_EQ(Edition(Version(10, 0, 1), 72), "Windows 10 Enterprise");
  EXPECT_EQ(Edition(Version(10, 0, 1), 133), "Windows 10 Mobile Enterprise");
  EXPECT_EQ(Edition(Version(10, 0, 1), 1), "Windows 10");  // Vista's numbers mean nothing here
  EXPECT_EQ(Edition(Version(10, 1, 1), 48), "Windows <unknown> Pro");
  EXPECT_EQ(Edition(Version(10, 0, 3), 48, true), "Windows Server 2016");
}

TEST(EditionUnknown, OtherMajorsAreUnknown) {
  EXPECT_EQ(Edition(Version(4, 0, 1)), "Windows <unknown>");
  EXPECT_EQ(Edition(Version(11, 0, 1), {}, true), "Windows <unknown> x64 Edition");
}

TEST(OSInfoEdition, DistributionNameReplacesTheWindowsText) {
  const OSInfo linux_os(Version(6, 1, 1), EditionFacts{}, "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(linux_os.GetFullVersionString(true), "Debian GNU/Linux 12 (bookworm)");
  const OSInfo windows(Version(6, 1, 1, 0, "Service Pack 1"), EditionFacts{48, false, true}, "");
  EXPECT_EQ(windows.GetFullVersionString(true),
            "Windows 7 Professional x64 Edition, Service Pack 1");
  EXPECT_EQ(windows.GetFullVersionString(), "Windows 7 Professional x64 Edition");
  EXPECT_EQ(windows.Version(), 6 * 256 + 1);
}

}  // namespace
}  // namespace quarrytab
