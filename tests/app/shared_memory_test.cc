// Named shared memory: what one object writes another sees, the two
// namespaces, the errors, bounds and access of views, and that the creator
// leaves nothing behind in /dev/shm.
#include "app/shared_memory.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <limits>
#include <string>

#include "app/scoped_env.h"
#include "common/expect_error.h"

namespace app {
namespace {

using test_common::ExpectError;

/// Where an object of that name appears on this system.
std::string ShmPath(const std::string& name, bool global = false) {
  return "/dev/shm" + SharedMemory::PosixName(name, global);
}

/// A name of its own for every test (and every process running tests), and
/// no object of it left behind when a test fails half-way.
class SharedMemoryTest : public ::testing::Test {
 protected:
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

  const std::string name_ = "vaultline-test-" + std::to_string(::getpid()) + "-" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(SharedMemoryTest, CreatedObjectIsSharedWithAnotherOpener) {
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_, 64));
  EXPECT_EQ(creator.Size(), 64u);
  EXPECT_EQ(Read(creator, 64, 0), std::string(64, '\0')) << "a new object starts zero-filled";
  Write(creator, "hello", 10);
  SharedMemory opener;
  ASSERT_TRUE(opener.OpenExisting(name_, 64));
  EXPECT_EQ(Read(opener, 5, 10), "hello");
  Write(opener, "back", 60);
  EXPECT_EQ(Read(creator, 4, 60), "back") << "both views are one memory";
  // A read-only view refuses SetData rather than fault.
  ASSERT_TRUE(opener.OpenExisting(name_, 64, /*read_only=*/true));
  EXPECT_EQ(ExpectError(SharedMemory::kErrPermissionDenied, [&] { Write(opener, "changed", 0); }),
            "SharedMemory.SetData");
  EXPECT_EQ(Read(creator, 5, 10), "hello");
}

TEST_F(SharedMemoryTest, LocalAndGlobalNamesDoNotMeetAndLocalOnesBelongToOneSession) {
  const std::string local_name = SharedMemory::PosixName(name_, false);
  const std::string global_name = SharedMemory::PosixName(name_, true);
  EXPECT_EQ(local_name.rfind("/local." + std::to_string(::geteuid()) + ".", 0), 0u) << local_name;
  EXPECT_TRUE(local_name.ends_with("." + name_)) << local_name;
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
  ASSERT_TRUE(probe.OpenExisting(name_, 8, true, false));
  EXPECT_EQ(Read(probe, 1, 0), "L");
  ASSERT_TRUE(probe.OpenExisting(name_, 8, true, true));
  EXPECT_EQ(Read(probe, 1, 0), "G");

  // Local names belong to one login session; one Global set serves the machine.
  ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/another-session");
  EXPECT_NE(SharedMemory::PosixName(name_, false), local_name);
  EXPECT_FALSE(probe.OpenExisting(name_, 8, true, false));
  EXPECT_EQ(SharedMemory::PosixName(name_, true), global_name);
  runtime.Set("/run/user/a-third-session");
  EXPECT_NE(SharedMemory::PosixName(name_, false), local_name);
}

TEST_F(SharedMemoryTest, NamesThatAreNotFileNamesAreEscaped) {
  EXPECT_EQ(SharedMemory::PosixName("a/b c%", true), "/global.a%2Fb%20c%25");
  const std::string long_name(300, 'x');
  EXPECT_LE(SharedMemory::PosixName(long_name, false).size(), 255u);
  EXPECT_NE(SharedMemory::PosixName(long_name, false),
            SharedMemory::PosixName(long_name + "y", false))
      << "shortened names keep a hash of the whole";
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_ + "/odd name", 4));
  EXPECT_TRUE(std::filesystem::exists(ShmPath(name_ + "/odd name")));
}

TEST_F(SharedMemoryTest, BackslashInNameOrSizeBelowOneRaisesError5) {
  for (const auto& [name, size] :
       {std::pair{name_ + "\\x", 16}, {"Local\\" + name_, 16}, {name_, 0}}) {
    for (const bool global : {false, true}) {
      SCOPED_TRACE(name + " " + std::to_string(size) + (global ? " global" : " local"));
      SharedMemory memory;
      EXPECT_EQ(ExpectError(5, [&] { memory.Create(name, size, global); }), "SharedMemory.Create");
      EXPECT_EQ(ExpectError(5, [&] { memory.OpenExisting(name, size, false, global); }),
                "SharedMemory.OpenExisting");
      EXPECT_FALSE(memory.IsMapped());
      EXPECT_FALSE(std::filesystem::exists(ShmPath(name, global)));
    }
  }
}

TEST_F(SharedMemoryTest, CopiesReachingOutsideTheViewRaiseError9) {
  constexpr std::size_t kSize = 32;
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  SharedMemory memory;
  ASSERT_TRUE(memory.Create(name_, kSize));
  Write(memory, std::string(kSize, 'm'), 0);
  std::string buffer(64, 'b');
  for (const auto& [count, offset] : {std::pair<std::size_t, std::size_t>{1, kSize},
                                      {kSize + 1, 0},
                                      {2, kSize - 1},
                                      {0, kSize + 1},
                                      {kMax, 1},
                                      {1, kMax},
                                      {kMax, kMax}}) {
    SCOPED_TRACE("count " + std::to_string(count) + " offset " + std::to_string(offset));
    ExpectError(9, [&] { memory.GetData(buffer.data(), count, offset); });
    ExpectError(9, [&] { memory.SetData(buffer.data(), count, offset); });
  }
  EXPECT_EQ(buffer, std::string(64, 'b'));
  EXPECT_EQ(Read(memory, kSize, 0), std::string(kSize, 'm'));
  // The edges themselves are inside.
  EXPECT_EQ(Read(memory, 0, kSize), "");
  Write(memory, "e", kSize - 1);
  EXPECT_EQ(Read(memory, 1, kSize - 1), "e");
  SharedMemory unmapped;
  ExpectError(9, [&] { unmapped.GetData(buffer.data(), 1, 0); });
  ExpectError(9, [&] { unmapped.SetData(buffer.data(), 1, 0); });
}

TEST_F(SharedMemoryTest, OpenExistingMapsOnlyAnObjectThatIsThereAndLargeEnough) {
  SharedMemory opener;
  EXPECT_FALSE(opener.OpenExisting(name_, 16)) << "a missing object is no error";
  EXPECT_EQ(opener.LastError(), ENOENT);
  EXPECT_FALSE(opener.OpenExisting(name_, 16, true, true));
  EXPECT_FALSE(opener.OpenExisting("", 16));
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_, 16));
  EXPECT_FALSE(opener.OpenExisting(name_, 17)) << "pages past the object's end would fault";
  EXPECT_FALSE(opener.IsMapped());
  ASSERT_TRUE(opener.OpenExisting(name_, 8)) << "a smaller view of a larger object is fine";
  char byte = 0;
  ExpectError(9, [&] { opener.GetData(&byte, 1, 8); });
}

TEST_F(SharedMemoryTest, CreatedObjectIsPrivateToItsOwnerWhateverTheUmask) {
  const mode_t old_mask = ::umask(0277);
  SharedMemory local;
  SharedMemory global;
  const bool made = local.Create(name_, 16, false) && global.Create(name_, 16, true);
  ::umask(old_mask);
  ASSERT_TRUE(made);
  for (const bool is_global : {false, true}) {
    struct stat info {};
    ASSERT_EQ(::stat(ShmPath(name_, is_global).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u) << (is_global ? "global" : "local");
    EXPECT_EQ(info.st_uid, ::geteuid());
  }
}

TEST_F(SharedMemoryTest, OnlyTheCreatorRemovesTheNameAndAMoveTakesItAlong) {
  const std::string path = ShmPath(name_);
  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name_, 16));
  {
    SharedMemory opener;
    ASSERT_TRUE(opener.OpenExisting(name_, 16));
    opener.Destroy();
    EXPECT_FALSE(opener.IsMapped());
  }
  EXPECT_TRUE(std::filesystem::exists(path)) << "an opener's Destroy and destructor leave the name";
  creator.Destroy();
  EXPECT_FALSE(std::filesystem::exists(path));
  creator.Destroy();  // a second time does nothing

  SharedMemory target;
  {
    SharedMemory first;
    ASSERT_TRUE(first.Create(name_, 16));
    Write(first, "moved", 0);
    SharedMemory middle(std::move(first));
    EXPECT_FALSE(first.IsMapped()) << "a moved-from object is left empty";
    target = std::move(middle);
  }
  EXPECT_TRUE(std::filesystem::exists(path)) << "a moved-from object owns nothing";
  EXPECT_EQ(target.Name(), name_);
  EXPECT_EQ(Read(target, 5, 0), "moved");
  { SharedMemory gone = std::move(target); }
  EXPECT_FALSE(std::filesystem::exists(path)) << "the destructor destroys";
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
  EXPECT_FALSE(std::filesystem::exists(ShmPath(name_))) << "the second creator owns the name too";
}

TEST_F(SharedMemoryTest, ObjectOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "handing an object to another user needs root";
  // Planted, readable and writable by anyone, owned by someone else.
  SharedMemory planted[2];
  for (const bool global : {false, true}) {
    ASSERT_TRUE(planted[global].Create(name_, 16, global));
    ASSERT_EQ(::chmod(ShmPath(name_, global).c_str(), 0666), 0);
    ASSERT_EQ(::chown(ShmPath(name_, global).c_str(), 65534, 65534), 0);
  }
  SharedMemory memory;
  EXPECT_FALSE(memory.Create(name_, 16, false)) << "what we wrote its owner could read";
  EXPECT_EQ(memory.LastError(), EACCES);
  EXPECT_FALSE(memory.Create(name_, 16, true));
  EXPECT_FALSE(memory.OpenExisting(name_, 16, true, false)) << "not ours, so not in our names";
  EXPECT_TRUE(memory.OpenExisting(name_, 16, true, true)) << "machine-wide names hold anyone's";
  memory.Destroy();
  EXPECT_TRUE(std::filesystem::exists(ShmPath(name_, false)));
  EXPECT_TRUE(std::filesystem::exists(ShmPath(name_, true)));
}

}  // namespace
}  // namespace app
