// Named shared memory: what one object writes another sees, the two
// namespaces, the errors, bounds and access of views, and that the creator
// leaves nothing behind in /dev/shm.
#include "app/shared_memory.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "support/error.h"

namespace app {
namespace {

/// Where an object of that name appears on this system.
std::string ShmPath(const std::string& name, bool global) {
  return "/dev/shm" + SharedMemory::PosixName(name, global);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

/// A name of its own for every test (and every process running tests), and
/// no object of it left behind when a test fails half-way.
class SharedMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = std::string("vaultline-test-") + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  void TearDown() override {
    ::shm_unlink(SharedMemory::PosixName(name_, false).c_str());
    ::shm_unlink(SharedMemory::PosixName(name_, true).c_str());
  }

  static std::string Read(const SharedMemory& memory, std::size_t count, std::size_t offset) {
    std::string bytes(count, '\0');
    memory.GetData(bytes.data(), count, offset);
    return bytes;
  }
  static void Write(SharedMemory& memory, std::string_view bytes, std::size_t offset) {
    memory.SetData(bytes.data(), bytes.size(), offset);
  }

  std::string name_;
};

TEST_F(SharedMemoryTest, CreatedObjectIsSharedWithAnotherOpener) {
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_, 64));
  EXPECT_TRUE(creator.IsMapped());
  EXPECT_EQ(creator.Name(), name_);
  EXPECT_EQ(creator.Size(), 64u);
  EXPECT_EQ(Read(creator, 64, 0), std::string(64, '\0')) << "a new object starts zero-filled";
  Write(creator, "hello", 10);

  SharedMemory opener;
  ASSERT_TRUE(opener.OpenExisting(name_, 64));
  EXPECT_EQ(Read(opener, 5, 10), "hello");
  Write(opener, "back", 60);
  EXPECT_EQ(Read(creator, 4, 60), "back") << "both views are one memory";
}

TEST_F(SharedMemoryTest, LocalNamesBelongToOneLoginSession) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string restore = saved ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", "/run/user/a-session", 1);
  const std::string first = SharedMemory::PosixName(name_, false);
  const std::string first_global = SharedMemory::PosixName(name_, true);
  SharedMemory mine;
  ASSERT_TRUE(mine.Create(name_, 8, false));
  ::setenv("XDG_RUNTIME_DIR", "/run/user/another-session", 1);
  const std::string second = SharedMemory::PosixName(name_, false);
  SharedMemory other;
  const bool seen_from_other_session = other.OpenExisting(name_, 8, true, false);
  EXPECT_EQ(SharedMemory::PosixName(name_, true), first_global) << "one Global set per machine";
  ::unsetenv("XDG_RUNTIME_DIR");
  const std::string without = SharedMemory::PosixName(name_, false);
  if (saved) {
    ::setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
  }
  EXPECT_NE(first, second);
  EXPECT_NE(first, without);
  EXPECT_FALSE(seen_from_other_session);
}

TEST_F(SharedMemoryTest, LocalAndGlobalNamesDoNotMeet) {
  const std::string local_name = SharedMemory::PosixName(name_, false);
  const std::string global_name = SharedMemory::PosixName(name_, true);
  EXPECT_EQ(local_name.rfind("/local." + std::to_string(::geteuid()) + ".", 0), 0u) << local_name;
  EXPECT_EQ(local_name.substr(local_name.size() - name_.size() - 1), "." + name_);
  EXPECT_EQ(global_name, "/global." + name_);
  // A Local name spelling out the Global form still lands in the Local set.
  EXPECT_NE(SharedMemory::PosixName("global." + name_, false), global_name);
  EXPECT_NE(SharedMemory::PosixName(std::to_string(::geteuid()) + "." + name_, true), local_name);

  SharedMemory local;
  ASSERT_TRUE(local.Create(name_, 8, /*global=*/false));
  Write(local, "L", 0);
  SharedMemory probe;
  EXPECT_FALSE(probe.OpenExisting(name_, 8, /*read_only=*/true, /*global=*/true));

  SharedMemory global;
  ASSERT_TRUE(global.Create(name_, 8, /*global=*/true));
  Write(global, "G", 0);
  SharedMemory local_again;
  SharedMemory global_again;
  ASSERT_TRUE(local_again.OpenExisting(name_, 8, true, false));
  ASSERT_TRUE(global_again.OpenExisting(name_, 8, true, true));
  EXPECT_EQ(Read(local_again, 1, 0), "L");
  EXPECT_EQ(Read(global_again, 1, 0), "G");
}

TEST_F(SharedMemoryTest, NamesThatAreNotFileNamesAreEscaped) {
  EXPECT_EQ(SharedMemory::PosixName("a/b c%", true), "/global.a%2Fb%20c%25");
  const std::string long_name(300, 'x');
  const std::string posix = SharedMemory::PosixName(long_name, false);
  EXPECT_LE(posix.size(), 255u);
  EXPECT_NE(posix, SharedMemory::PosixName(long_name + "y", false))
      << "shortened names keep a hash of the whole";

  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_ + "/odd name", 4));
  EXPECT_TRUE(Exists(ShmPath(name_ + "/odd name", false)));
}

TEST_F(SharedMemoryTest, BackslashInNameOrSizeBelowOneRaisesError5) {
  struct Case {
    const char* what;
    std::string name;
    std::size_t size;
  };
  const std::vector<Case> cases = {
      {"backslash", name_ + "\\x", 16},
      {"namespace prefix", "Local\\" + name_, 16},
      {"size 0", name_, 0},
  };
  for (const Case& c : cases) {
    for (const bool global : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (global ? " global" : " local"));
      SharedMemory memory;
      try {
        memory.Create(c.name, c.size, global);
        ADD_FAILURE() << "Create did not raise";
      } catch (const support::Error& e) {
        EXPECT_EQ(e.Number(), 5);
        EXPECT_EQ(e.Source(), "SharedMemory.Create");
      }
      try {
        memory.OpenExisting(c.name, c.size, false, global);
        ADD_FAILURE() << "OpenExisting did not raise";
      } catch (const support::Error& e) {
        EXPECT_EQ(e.Number(), 5);
        EXPECT_EQ(e.Source(), "SharedMemory.OpenExisting");
      }
      EXPECT_FALSE(memory.IsMapped());
      EXPECT_FALSE(Exists(ShmPath(c.name, global)));
    }
  }
}

TEST_F(SharedMemoryTest, MissingObjectIsNoError) {
  SharedMemory memory;
  EXPECT_FALSE(memory.OpenExisting(name_, 16));
  EXPECT_EQ(memory.LastError(), ENOENT);
  EXPECT_FALSE(memory.OpenExisting(name_, 16, true, true));
  EXPECT_FALSE(memory.OpenExisting("", 16));
  EXPECT_FALSE(memory.IsMapped());
  EXPECT_EQ(memory.Size(), 0u);
}

TEST_F(SharedMemoryTest, ReadOnlyViewRefusesSetDataWithoutFaulting) {
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_, 16));
  Write(creator, "original", 0);
  SharedMemory reader;
  ASSERT_TRUE(reader.OpenExisting(name_, 16, /*read_only=*/true));
  EXPECT_TRUE(reader.IsReadOnly());
  try {
    Write(reader, "changed!", 0);
    ADD_FAILURE() << "SetData on a read-only view did not raise";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), SharedMemory::kErrPermissionDenied);
    EXPECT_EQ(e.Source(), "SharedMemory.SetData");
  }
  EXPECT_EQ(Read(reader, 8, 0), "original");
  EXPECT_EQ(Read(creator, 8, 0), "original");
}

TEST_F(SharedMemoryTest, CopiesReachingOutsideTheViewRaiseError9) {
  constexpr std::size_t kSize = 32;
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  SharedMemory memory;
  ASSERT_TRUE(memory.Create(name_, kSize));
  Write(memory, std::string(kSize, 'm'), 0);
  struct Range {
    std::size_t count;
    std::size_t offset;
  };
  const std::vector<Range> outside = {
      {1, kSize}, {kSize + 1, 0}, {2, kSize - 1}, {0, kSize + 1},
      {kMax, 1},  {1, kMax},      {kMax, kMax},
  };
  std::vector<char> buffer(64, 'b');
  for (const Range& r : outside) {
    SCOPED_TRACE("count " + std::to_string(r.count) + " offset " + std::to_string(r.offset));
    try {
      memory.GetData(buffer.data(), r.count, r.offset);
      ADD_FAILURE() << "GetData did not raise";
    } catch (const support::Error& e) {
      EXPECT_EQ(e.Number(), SharedMemory::kErrSubscriptOutOfRange);
    }
    try {
      memory.SetData(buffer.data(), r.count, r.offset);
      ADD_FAILURE() << "SetData did not raise";
    } catch (const support::Error& e) {
      EXPECT_EQ(e.Number(), SharedMemory::kErrSubscriptOutOfRange);
    }
  }
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(64, 'b'));
  EXPECT_EQ(Read(memory, kSize, 0), std::string(kSize, 'm'));

  // The edges themselves are inside.
  EXPECT_EQ(Read(memory, 1, kSize - 1), "m");
  EXPECT_EQ(Read(memory, 0, kSize), "");
  Write(memory, "e", kSize - 1);
  EXPECT_EQ(Read(memory, 1, kSize - 1), "e");

  SharedMemory unmapped;
  EXPECT_THROW(unmapped.GetData(buffer.data(), 1, 0), support::Error);
  EXPECT_THROW(unmapped.SetData(buffer.data(), 1, 0), support::Error);
}

TEST_F(SharedMemoryTest, ViewIsNeverLargerThanTheObject) {
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_, 16));
  SharedMemory opener;
  EXPECT_FALSE(opener.OpenExisting(name_, 17)) << "pages past the object's end would fault";
  EXPECT_FALSE(opener.IsMapped());
  ASSERT_TRUE(opener.OpenExisting(name_, 8)) << "a smaller view of a larger object is fine";
  EXPECT_EQ(opener.Size(), 8u);
  char byte = 0;
  EXPECT_THROW(opener.GetData(&byte, 1, 8), support::Error);
}

TEST_F(SharedMemoryTest, CreatedObjectIsPrivateToItsOwnerWhateverTheUmask) {
  const mode_t old_mask = ::umask(0277);
  SharedMemory local;
  SharedMemory global;
  const bool local_made = local.Create(name_, 16, false);
  const bool global_made = global.Create(name_, 16, true);
  ::umask(old_mask);
  ASSERT_TRUE(local_made);
  ASSERT_TRUE(global_made);
  for (const bool is_global : {false, true}) {
    struct stat info {};
    ASSERT_EQ(::stat(ShmPath(name_, is_global).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u) << (is_global ? "global" : "local");
    EXPECT_EQ(info.st_uid, ::geteuid());
  }
}

TEST_F(SharedMemoryTest, OnlyTheCreatorRemovesTheName) {
  const std::string path = ShmPath(name_, false);
  {
    SharedMemory creator;
    ASSERT_TRUE(creator.Create(name_, 16));
    EXPECT_TRUE(Exists(path));
    {
      SharedMemory opener;
      ASSERT_TRUE(opener.OpenExisting(name_, 16));
      opener.Destroy();
      EXPECT_FALSE(opener.IsMapped());
      EXPECT_EQ(opener.Name(), "");
    }
    EXPECT_TRUE(Exists(path)) << "an opener's Destroy and destructor leave the name";
    creator.Destroy();
    EXPECT_FALSE(Exists(path));
    creator.Destroy();  // a second time does nothing
    EXPECT_FALSE(creator.IsMapped());
    SharedMemory late;
    EXPECT_FALSE(late.OpenExisting(name_, 16));
  }
  {
    SharedMemory creator;
    ASSERT_TRUE(creator.Create(name_, 16));
  }
  EXPECT_FALSE(Exists(path)) << "the destructor destroys";
}

TEST_F(SharedMemoryTest, MovedObjectTakesTheViewAndTheName) {
  const std::string path = ShmPath(name_, false);
  SharedMemory target;
  {
    SharedMemory creator;
    ASSERT_TRUE(creator.Create(name_, 16));
    Write(creator, "moved", 0);
    SharedMemory middle(std::move(creator));
    EXPECT_FALSE(creator.IsMapped()) << "a moved-from object is left empty";
    target = std::move(middle);
  }
  EXPECT_TRUE(Exists(path)) << "a moved-from object owns nothing";
  ASSERT_TRUE(target.IsMapped());
  EXPECT_EQ(target.Name(), name_);
  EXPECT_EQ(Read(target, 5, 0), "moved");
  target.Destroy();
  EXPECT_FALSE(Exists(path));
}

TEST_F(SharedMemoryTest, CreateOverAnExistingObjectKeepsItsBytesAndGrowsIt) {
  SharedMemory first;
  ASSERT_TRUE(first.Create(name_, 8));
  Write(first, "leftover", 0);
  SharedMemory second;
  ASSERT_TRUE(second.Create(name_, 32));
  EXPECT_EQ(Read(second, 8, 0), "leftover");
  EXPECT_EQ(Read(second, 24, 8), std::string(24, '\0'));
  second.Destroy();
  EXPECT_FALSE(Exists(ShmPath(name_, false))) << "the second creator owns the name too";
}

TEST_F(SharedMemoryTest, ObjectOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "handing an object to another user needs root";
  constexpr uid_t kOther = 65534;
  // Planted, readable and writable by anyone, owned by someone else.
  for (const bool global : {false, true}) {
    const std::string posix = SharedMemory::PosixName(name_, global);
    const int fd = ::shm_open(posix.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 16), 0);
    ASSERT_EQ(::fchmod(fd, 0666), 0);
    ASSERT_EQ(::fchown(fd, kOther, kOther), 0);
    ::close(fd);
  }
  SharedMemory memory;
  EXPECT_FALSE(memory.Create(name_, 16, false)) << "what we wrote its owner could read";
  EXPECT_EQ(memory.LastError(), EACCES);
  EXPECT_FALSE(memory.Create(name_, 16, true));
  EXPECT_FALSE(memory.OpenExisting(name_, 16, true, false)) << "not ours, so not in our names";
  EXPECT_TRUE(memory.OpenExisting(name_, 16, true, true)) << "machine-wide names hold anyone's";
  memory.Destroy();
  EXPECT_TRUE(Exists(ShmPath(name_, false)));
  EXPECT_TRUE(Exists(ShmPath(name_, true)));
}

}  // namespace
}  // namespace app
