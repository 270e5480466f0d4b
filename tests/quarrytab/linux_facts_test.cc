#include "quarrytab/linux_facts.h"

#include <gtest/gtest.h>

#include <tuple>

namespace quarrytab {
namespace {

TEST(CpuInfoParser, FirstProcessorNameTrimmedAndMhzRounded) {
  const CpuFacts f = ParseCpuInfo(
      "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t:   Intel(R) Xeon(R) CPU  \n"
      "cpu MHz\t\t: 2599.6\n\nprocessor\t: 1\nmodel name\t: Other\ncpu MHz\t: 100\n");
  EXPECT_EQ(f.name, "Intel(R) Xeon(R) CPU");
  EXPECT_EQ(f.mhz, 2600);
  const CpuFacts nameless =
      ParseCpuInfo("processor\t: 0\nBogoMIPS\t: 50.00\n\nprocessor\t: 1\nmodel name\t: Later\n");
  EXPECT_EQ(nameless.name, "") << "only the first processor counts";
  EXPECT_EQ(nameless.mhz, 0);
  EXPECT_EQ(ParseCpuInfo("cpu MHz : nonsense\n").mhz, 0);
}

TEST(MemInfoParser, KilobyteFieldsBecomeBytes) {
  const char* text = "MemTotal:       24683772 kB\nMemFree: 100 kB\nMemAvailable:   23315360 kB\n";
  EXPECT_EQ(ParseMemInfoBytes(text, "MemAvailable"), 23315360LL * 1024);
  EXPECT_EQ(ParseMemInfoBytes(text, "Mem"), std::nullopt);
  EXPECT_EQ(ParseMemInfoBytes("MemAvailable: lots kB\n", "MemAvailable"), std::nullopt);
  EXPECT_EQ(ParseMemInfoBytes("MemAvailable: 999999999999999999 kB\n", "MemAvailable"),
            std::nullopt);  // would overflow
}

TEST(OsReleaseParser, PrettyNameThenNameAndVersion) {
  EXPECT_EQ(ParseOsReleaseName(
                "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(ParseOsReleaseName("NAME=Fedora\nVERSION='40 (Workstation)'\n"),
            "Fedora 40 (Workstation)");
  EXPECT_EQ(ParseOsReleaseName("PRETTY_NAME=\"A \\\"quoted\\\" name\"\n"), "A \"quoted\" name");
  EXPECT_EQ(ParseOsReleaseName("# nothing\n"), "");
}

TEST(UserDirsParser, HomeIsReplacedAndRelativePathsIgnored) {
  const auto dirs = ParseUserDirs(
      "# comment\nXDG_DESKTOP_DIR=\"$HOME/Επιφάνεια εργασίας\"\nXDG_DOCUMENTS_DIR=\"/data/docs/\"\n"
      "XDG_MUSIC_DIR=\"relative\"\nNOT_XDG=\"/x\"\n",
      "/home/maria");
  EXPECT_EQ(dirs.at("DESKTOP"), "/home/maria/Επιφάνεια εργασίας");
  EXPECT_EQ(dirs.at("DOCUMENTS"), "/data/docs");
  EXPECT_EQ(dirs.count("MUSIC"), 0u);
  EXPECT_EQ(dirs.size(), 2u);
}

TEST(MountInfoParser, LongestMountPointHoldsThePath) {
  const auto mounts = ParseMountInfo(
      "22 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
      "30 22 0:25 / /home rw - btrfs /dev/vdb rw\n"
      "31 22 0:26 / /home\\040two rw - tmpfs tmpfs rw\n"
      "garbage line\n"
      "32 30 0:27 / /home rw - overlay overlay rw\n");
  ASSERT_EQ(mounts.size(), 4u);
  EXPECT_EQ(mounts[2].mount_point, "/home two");
  EXPECT_EQ(MountOf(mounts, "/")->fs_type, "ext4");
  EXPECT_EQ(MountOf(mounts, "/homework")->fs_type, "ext4");
  EXPECT_EQ(MountOf(mounts, "/home/maria")->fs_type, "overlay");  // the later mount on top
  EXPECT_EQ(MountOf(mounts, "/home two/x")->fs_type, "tmpfs");
  EXPECT_EQ(MountOf({}, "/"), nullptr);
}

TEST(KernelReleaseParser, ThreeNumbersAndTolerantOfSuffixes) {
  const KernelVersion v = ParseKernelRelease("6.18.44-fc-v1300");
  EXPECT_EQ(std::make_tuple(v.major, v.minor, v.patch), std::make_tuple(6u, 18u, 44u));
  const KernelVersion w = ParseKernelRelease("5.10-rc1");
  EXPECT_EQ(std::make_tuple(w.major, w.minor, w.patch), std::make_tuple(5u, 10u, 0u));
  EXPECT_EQ(ParseKernelRelease("").major, 0u);
}

}  // namespace
}  // namespace quarrytab
