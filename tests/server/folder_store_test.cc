#include "server/folder_store.h"

#include <gtest/gtest.h>

#include <fstream>

#include "harness.h"
#include "server/paths.h"

namespace server {
namespace {

namespace fs = std::filesystem;

class Registry : public ::testing::Test {
 protected:
  TransferRegistry registry_;
};

TEST_F(Registry, ReadersShareAndAWriterExcludesEveryone) {
  EXPECT_TRUE(registry_.TryBegin("/d/a", TransferRegistry::Mode::kRead));
  EXPECT_TRUE(registry_.TryBegin("/d/a", TransferRegistry::Mode::kRead));
  EXPECT_FALSE(registry_.TryBegin("/d/a", TransferRegistry::Mode::kWrite));
  registry_.End("/d/a", TransferRegistry::Mode::kRead);
  registry_.End("/d/a", TransferRegistry::Mode::kRead);
  EXPECT_TRUE(registry_.TryBegin("/d/a", TransferRegistry::Mode::kWrite));
  EXPECT_FALSE(registry_.TryBegin("/d/a", TransferRegistry::Mode::kRead));
  EXPECT_FALSE(registry_.TryBegin("/d/a", TransferRegistry::Mode::kWrite));
  registry_.End("/d/a", TransferRegistry::Mode::kWrite);
  EXPECT_FALSE(registry_.BusyAtOrBelow("/d/a"));
}

TEST_F(Registry, BusyBelowAFolderIgnoresSiblingsWithTheSamePrefix) {
  ASSERT_TRUE(registry_.TryBegin("/d/ab-c", TransferRegistry::Mode::kWrite));
  ASSERT_TRUE(registry_.TryBegin("/d/ab.txt", TransferRegistry::Mode::kRead));
  EXPECT_FALSE(registry_.BusyAtOrBelow("/d/ab"));
  ASSERT_TRUE(registry_.TryBegin("/d/ab/x/y", TransferRegistry::Mode::kRead));
  EXPECT_TRUE(registry_.BusyAtOrBelow("/d/ab"));
  EXPECT_TRUE(registry_.BusyAtOrBelow("/d"));
  EXPECT_FALSE(registry_.BusyAtOrBelow("/d/a"));
}

class Folders : public ::testing::Test {
 protected:
  void Write(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  testing::TempDir dir_;
};

TEST_F(Folders, ListingPutsFoldersFirstAndSortsIgnoringCase) {
  Write(dir_.Path() / "b.txt", "12");
  Write(dir_.Path() / "A.txt", "1");
  Write(dir_.Path() / "ζ" / "x", "1");
  fs::create_directory(dir_.Path() / "Α");
  fs::create_symlink("/etc/passwd", dir_.Path() / "link");
  const auto rows = ListFolder(dir_.Path());
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].name, "Α");
  EXPECT_EQ(rows[1].name, "ζ");
  EXPECT_TRUE(rows[1].IsFolder());
  EXPECT_EQ(rows[2].name, "A.txt");
  EXPECT_EQ(rows[3].size, 2);
  EXPECT_EQ(rows[3].stamp.size(), 14u);
}

TEST_F(Folders, UsedBytesCountsFilesAtEveryDepthButNotLinks) {
  Write(dir_.Path() / "a", std::string(10, 'a'));
  Write(dir_.Path() / "x" / "y" / "z", std::string(5, 'z'));
  fs::create_symlink(dir_.Path() / "a", dir_.Path() / "alias");
  EXPECT_EQ(UsedBytes(dir_.Path()), 15);
  EXPECT_EQ(UsedBytes(dir_.Path() / "missing"), 0);
}

TEST_F(Folders, ResolutionStaysInsideTheRoot) {
  fs::create_directories(dir_.Path() / "root" / "Sub");
  fs::create_directories(dir_.Path() / "elsewhere");
  fs::create_directory_symlink(dir_.Path() / "elsewhere", dir_.Path() / "root" / "out");
  const fs::path root = dir_.Path() / "root";
  EXPECT_EQ(ResolveIn(root, *session::ParseRemotePath("\\sub\\new")), root / "Sub" / "new");
  EXPECT_FALSE(ResolveIn(root, *session::ParseRemotePath("\\out\\")));
  EXPECT_FALSE(ResolveIn(root, *session::ParseRemotePath("\\out\\x")));
  EXPECT_TRUE(IsWireName("Έγγραφα"));
  EXPECT_FALSE(IsWireName("日本"));
  EXPECT_FALSE(IsWireName("a|b"));
}

}  // namespace
}  // namespace server
