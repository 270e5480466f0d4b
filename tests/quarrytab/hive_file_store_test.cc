#include "quarrytab/hive_file_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "common/expect_error.h"
#include "common/process.h"
#include "quarrytab/registry.h"
#include "support/error.h"

namespace quarrytab {
namespace {

namespace fs = std::filesystem;

using test_common::ReadFile;

constexpr const char* kKey = "Software\\Orvalis\\Vaultline";

class HiveFileStoreTest : public ::testing::Test {
 protected:
  HiveFileStoreTest()
      : dir_(temp_.Path().string()), store_(std::make_shared<HiveFileStore>(dir_)) {}

  /// A Registry object addressing kKey\`name` as `type`, on the test's store or `store`.
  Registry Reg(const std::string& name, std::int32_t type,
               std::shared_ptr<RegistryStore> store = nullptr) {
    Registry reg(store ? store : store_);
    reg.SetClassKey(kHkeyCurrentUser);
    reg.SetSectionKey(kKey);
    reg.SetValueKey(name);
    reg.SetValueType(type);
    return reg;
  }
  std::string HiveText() const { return ReadFile(store_->HivePath(kHkeyCurrentUser)); }

  test_common::TempDir temp_;
  const std::string dir_;
  std::shared_ptr<HiveFileStore> store_;
};

TEST_F(HiveFileStoreTest, ValuesSurviveInAFreshStoreAndTheFileIsPrivate) {
  Reg("UserID", kRegSz).SetValue(std::string("\xce\xb1\xce\xb2"));
  Reg("Password", kRegBinary).SetValue(Bytes{0x00, 0x7C, 0xFF});
  auto fresh = std::make_shared<HiveFileStore>(dir_);
  EXPECT_EQ(Reg("UserID", kRegSz, fresh).Value(), Variant(std::string("\xce\xb1\xce\xb2")));
  EXPECT_EQ(Reg("Password", kRegSz, fresh).Value(), Variant(Bytes{0x00, 0x7C, 0xFF}));
  const std::string path = dir_ + "/HKEY_CURRENT_USER/hive.reg";
  EXPECT_EQ(store_->HivePath(kHkeyCurrentUser), path);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_TRUE(HiveText().starts_with("Windows Registry Editor Version 5.00\r\n"));
  EXPECT_NE(HiveText().find("\"Password\"=hex:00,7c,ff"), std::string::npos);
}

TEST_F(HiveFileStoreTest, CrashBeforeRenameLeavesTheOldHive) {
  Registry reg = Reg("Width", kRegDword);
  reg.SetValue(std::int32_t{800});
  const std::string before = HiveText();
  store_->SetBeforeRenameHook([] { throw std::runtime_error("power cut"); });
  EXPECT_THROW(reg.SetValue(std::int32_t{900}), std::runtime_error);
  EXPECT_EQ(HiveText(), before);
  EXPECT_EQ(reg.Value(), Variant(std::int32_t{800}));
  store_->SetBeforeRenameHook(nullptr);  // the next writer is not hindered by the leftovers
  reg.SetValue(std::int32_t{900});
  EXPECT_EQ(Reg("Width", kRegDword, std::make_shared<HiveFileStore>(dir_)).Value(),
            Variant(std::int32_t{900}));
}

TEST_F(HiveFileStoreTest, ConcurrentWritersLoseNothing) {
  constexpr int kPerWriter = 25;
  auto writer = [this](const std::string& prefix) {
    auto store = std::make_shared<HiveFileStore>(dir_);
    for (int i = 0; i < kPerWriter; ++i) {
      Reg(prefix + std::to_string(i), kRegDword, store).SetValue(std::int32_t{i});
    }
  };
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    writer("p");
    _exit(0);
  }
  std::thread t1([&] { writer("a"); });
  std::thread t2([&] { writer("b"); });
  t1.join();
  t2.join();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::vector<std::string> names;
  EXPECT_EQ(Reg("", kRegNone).EnumerateValues(names), 3 * kPerWriter);
}

TEST_F(HiveFileStoreTest, UnusableHiveDirectoryReadsAsDefaultAndWritesRaise) {
  // A plain file where the root's directory belongs (works whatever the user's rights).
  test_common::WriteFile(dir_ + "/HKEY_CURRENT_USER", "not a directory");
  Registry reg = Reg("X", kRegSz);
  reg.SetDefault(std::string("d"));
  EXPECT_EQ(reg.Value(), Variant(std::string("d")));
  test_common::ExpectError(26003, [&] { reg.SetValue(std::string("v")); });
}

TEST_F(HiveFileStoreTest, EnvironmentVariableMovesTheDefaultStore) {
  const char* old = std::getenv(kHiveDirEnv);
  const std::string saved = old ? old : "";
  setenv(kHiveDirEnv, dir_.c_str(), 1);
  EXPECT_EQ(DefaultHiveDirectory(), dir_);
  Registry reg;
  reg.SetClassKey(kHkeyCurrentUser);
  reg.SetSectionKey("K");
  reg.SetValueKey("V");
  reg.SetValueType(kRegDword);
  reg.SetValue(std::int32_t{1});
  EXPECT_TRUE(fs::exists(dir_ + "/HKEY_CURRENT_USER/hive.reg"));
  old ? setenv(kHiveDirEnv, saved.c_str(), 1) : unsetenv(kHiveDirEnv);
}

}  // namespace
}  // namespace quarrytab
