#include "quarrytab/system.h"

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "common/expect_error.h"
#include "quarrytab/display_facts.h"
#include "support/error.h"

namespace quarrytab {
namespace {

TEST(SystemFacts, ChildrenAreKeptAndTheFactsTheProgramReportsAreThere) {
  System sys;
  EXPECT_EQ(&sys.Disk(), &sys.Disk());
  sys.Disk().SetDriveLetter("d");
  EXPECT_EQ(sys.Disk().RootPath(), "D:\\") << "a change to a child persists";
  const Date now = LocalDateFromUnix(std::time(nullptr));
  EXPECT_GT(sys.UpTime(), 0.0);
  EXPECT_NEAR(sys.StartTime(), now - sys.UpTime() / 86400.0, 5.0 / 86400);
  EXPECT_FALSE(sys.ComputerName().empty());
  EXPECT_FALSE(sys.UserName().empty());
  EXPECT_FALSE(sys.OS().GetFullVersionString(true).empty());
  EXPECT_GE(sys.OS().VerMajor(), 3);
  EXPECT_GT(sys.RAM().Available(), 0);
  EXPECT_LE(sys.RAM().Available(), sys.RAM().Total());
  sys.Disk().SetDriveLetter(DriveLetterOfPath(sys.OS().GetFolderPath(Windows)));
  EXPECT_EQ(sys.Disk().DriveLetter(), "C");
  EXPECT_GE(sys.Disk().Free(), 0);
  EXPECT_GE(sys.Disk().Size(), sys.Disk().Free());
}

TEST(DiskLetter, BadLettersRaise5PathsMapToLettersAndAMissingDriveFails) {
  DiskInfo disk;
  for (const char* bad : {"", "1", "-", "\xce\xb1"}) {
    test_common::ExpectError(5, [&] { disk.SetDriveLetter(bad); });
    EXPECT_EQ(disk.RootPath(), "C:\\") << bad;
  }
  disk.SetDriveLetter("zebra");
  EXPECT_EQ(disk.RootPath(), "Z:\\");
  const std::pair<const char*, const char*> paths[] = {
      {"d:\\Windows", "D"}, {"/", "C"}, {"/usr/bin", "C"}, {"/mnt/e/data", "E"}, {"/mnt/ee", "C"}};
  for (const auto& [path, letter] : paths) EXPECT_EQ(DriveLetterOfPath(path), letter) << path;
  disk.SetDriveLetter("Q");  // /mnt/q does not exist on a test machine
  if (disk.Size() != -1) GTEST_SKIP() << "this machine has /mnt/q";
  EXPECT_EQ(disk.Free(), -1);
  EXPECT_EQ(disk.FileSystem(), "");
  EXPECT_EQ(disk.VolumeSerialNumber(), "");
}

/// A screen of 1920 x 1080 with a 40-pixel taskbar at a chosen edge.
class FakeDisplay : public HeadlessDisplayFacts {
 public:
  NonClientMetrics Metrics() const override {
    NonClientMetrics m = HeadlessDisplayFacts::Metrics();
    m.scroll_width = scroll_width;
    return m;
  }
  std::int32_t Dpi() const override { return dpi; }
  Rect ScreenRect() const override { return Rect{0, 0, 1920, 1080}; }
  Rect TaskbarRect() const override { return taskbar; }
  std::uint32_t TaskbarState() const override { return state; }
  std::optional<Rect> WindowRect(std::uintptr_t window) const override {
    if (window != 7) return std::nullopt;
    return Rect{10, 10, 810, 610};
  }
  void MoveWindow(std::uintptr_t, const Rect& rect) override { moves.push_back(rect); }

  std::int32_t scroll_width = 21;
  std::int32_t dpi = 96;
  Rect taskbar{0, 1040, 1920, 1080};
  std::uint32_t state = 0;
  std::vector<Rect> moves;
};

TEST(Metrics, RecordIsTakenAtCreationDpiEachTimeAndInstalledFactsReachNewObjects) {
  auto display = std::make_shared<FakeDisplay>();
  MetricsInfo metrics(display);
  display->scroll_width = 30;
  display->dpi = 144;
  EXPECT_EQ(metrics.ScrollWidth(), 21);
  EXPECT_EQ(metrics.DPI(), 144);
  EXPECT_EQ(MetricsInfo(display).ScrollWidth(), 30);
  EXPECT_THROW(metrics.Font(7), support::Error);
  SetDisplayFacts(display);
  EXPECT_EQ(System().Metrics().ScrollWidth(), 30);
  SetDisplayFacts(nullptr);
  EXPECT_EQ(System().Metrics().ScrollWidth(), HeadlessDisplayFacts().Metrics().scroll_width);
}

TEST(Taskbar, CentreMovesAwayFromTheTaskbarEdgeUnlessItHidesOrIsIgnored) {
  auto display = std::make_shared<FakeDisplay>();
  TaskbarInfo bar(display);
  bar.CenterInScreen(7);
  display->taskbar = Rect{0, 0, 60, 1080};  // left edge
  bar.CenterInScreen(7, 400, 300);
  bar.CenterInScreen(7, 400, 300, true);
  display->state = kTaskbarAutoHide;
  bar.CenterInScreen(7, 400, 300);
  bar.CenterInScreen(99);                                              // unknown window
  EXPECT_EQ(display->moves, (std::vector<Rect>{{560, 220, 1360, 820},  // 20 up from 240
                                               {790, 390, 1190, 690},
                                               {760, 390, 1160, 690},
                                               {760, 390, 1160, 690}}));
  EXPECT_TRUE(bar.AutoHide());
  EXPECT_FALSE(bar.AlwaysOnTop());
}

TEST(Taskbar, ScreenRectLeavesOutTheTaskbarInTwips) {
  auto display = std::make_shared<FakeDisplay>();
  TaskbarInfo bar(display);
  Rect r;
  bar.GetScreenRect(r);
  EXPECT_EQ(r, (Rect{0, 0, 1920 * 15, 1040 * 15}));
  display->taskbar = Rect{1880, 0, 1920, 1080};
  bar.GetScreenRect(r);
  EXPECT_EQ(r, (Rect{0, 0, 1880 * 15, 1080 * 15}));
  bar.GetTaskbarRect(r);
  EXPECT_EQ(r, display->taskbar);
}

TEST(Dates, CivilDatesCountFrom1899) {
  EXPECT_EQ(DateFromCivil(1899, 12, 30, 0, 0, 0), 0.0);
  EXPECT_EQ(DateFromCivil(1900, 1, 1, 12, 0, 0), 2.5);
  EXPECT_EQ(DateFromCivil(2024, 3, 5, 0, 0, 0), 45356.0);
  EXPECT_EQ(FormatDate(DateFromCivil(2024, 3, 5, 14, 7, 9)), "2024-03-05 14:07:09");
}

}  // namespace
}  // namespace quarrytab
