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

struct EditionCase {
  OsVersionRecord version;
  std::optional<std::uint32_t> product;
  bool x64;
  bool r2;
  bool include_sp;
  const char* expected;
};

// A few rows of each naming rule, the order in which suite bits are tried, and
// the fallbacks for numbers and versions the tables do not know.
const EditionCase kEditions[] = {
    // Service pack: only when asked for, and never an empty one.
    {Version(6, 1, 1, 0, "Service Pack 1"), 48, true, false, true,
     "Windows 7 Professional x64 Edition, Service Pack 1"},
    {Version(5, 1, 1, 0, "Service Pack 3"),
     {},
     false,
     false,
     true,
     "Windows XP Professional, Service Pack 3"},
    {Version(5, 1, 1, 0, "Service Pack 3"), {}, false, false, false, "Windows XP Professional"},
    {Version(5, 1, 1, 0, ""), {}, false, false, true, "Windows XP Professional"},
    // Windows 2000 and XP: suite bits, 0x0002 before 0x0080.
    {Version(5, 0, 1), {}, false, false, true, "Windows 2000 Professional"},
    {Version(5, 0, 3, 0x0082), {}, false, false, true, "Windows 2000 Advanced Server"},
    {Version(5, 0, 3, 0x0080), {}, false, false, true, "Windows 2000 Datacenter Server"},
    {Version(5, 0, 2), {}, false, false, true, "Windows 2000 Server"},
    {Version(5, 1, 1, 0x0200), {}, true, false, true, "Windows XP Home x64 Edition"},
    // Server 2003: XP x64 only for the exact suite; " Edition" goes before the suffix.
    {Version(5, 2, 1, 0x0100), {}, true, false, true, "Windows XP Professional x64 Edition"},
    {Version(5, 2, 3, 0x0110), {}, false, false, true, "Windows Server 2003 Standard Edition"},
    {Version(5, 2, 3, 0x0482), {}, false, false, true, "Windows Server 2003 Datacenter Edition"},
    {Version(5, 2, 3, 0x0402), {}, false, false, true, "Windows Server 2003 Enterprise Edition"},
    {Version(5, 2, 3, 0x0400), {}, false, false, true, "Windows Server 2003 Web Edition"},
    {Version(5, 2, 3), {}, false, true, true, "Windows Server 2003 R2 Standard Edition"},
    {Version(5, 2, 3, 0x0002),
     {},
     true,
     true,
     true,
     "Windows Server 2003 R2 Enterprise x64 Edition"},
    // Vista to 8.1: product numbers; an unknown number or a failed query adds nothing.
    {Version(6, 0, 1), 1, false, false, true, "Windows Vista Ultimate"},
    {Version(6, 3, 1), 103, false, false, true, "Windows 8.1 Professional with Media Center"},
    {Version(6, 4, 1), 4, false, false, true, "Windows 10 Beta Enterprise"},
    {Version(6, 1, 1), 9999, false, false, true, "Windows 7"},
    {Version(6, 1, 1), std::nullopt, false, false, true, "Windows 7"},
    // Server 2008 and 2012: suite bits; 2012 has no Enterprise; 2012 R2 has no x64 suffix.
    {Version(6, 0, 2, 0x0002), {}, false, false, true, "Windows Server 2008 Enterprise"},
    {Version(6, 1, 3, 0x0082),
     {},
     true,
     false,
     true,
     "Windows Server 2008 R2 Datacenter x64 Edition"},
    {Version(6, 2, 3, 0x0020), {}, false, false, true, "Windows Server 2012 Essentials"},
    {Version(6, 2, 3, 0x0002), {}, false, false, true, "Windows Server 2012 Standard"},
    {Version(6, 2, 3, 0x00A0), {}, false, false, true, "Windows Server 2012 Datacenter"},
    {Version(6, 3, 3, 0x0080), {}, true, false, true, "Windows Server 2012 R2 Datacenter"},
    // Windows 10: its own numbers (Vista's mean nothing), and Server 2016.
    {Version(10, 0, 1), 100, true, false, true, "Windows 10 Home x64 Edition"},
    {Version(10, 0, 1), 133, false, false, true, "Windows 10 Mobile Enterprise"},
    {Version(10, 0, 1), 1, false, false, true, "Windows 10"},
    {Version(10, 1, 1), 48, false, false, true, "Windows <unknown> Pro"},
    {Version(10, 0, 3), 48, true, false, true, "Windows Server 2016"},
    // Other majors.
    {Version(4, 0, 1), {}, false, false, true, "Windows <unknown>"},
    {Version(11, 0, 1), {}, true, false, true, "Windows <unknown> x64 Edition"},
};

TEST(WindowsEditionString, NamesTheEditionByVersionSuiteAndProduct) {
  for (const EditionCase& c : kEditions) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(WindowsEditionString(c.version, EditionFacts{c.product, c.r2, c.x64}, c.include_sp),
              c.expected);
  }
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
