#include "quarrytab/hive_file_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "common/process.h"
#include "quarrytab/registry.h"
#include "support/error.h"

namespace quarrytab {
namespace {

namespace fs = std::filesystem;

using test_common::ReadFile;

class HiveFileStoreTest : public ::testing::Test {
 protected:
  HiveFileStoreTest()
      : dir_(temp_.Path().string()), store_(std::make_shared<HiveFileStore>(dir_)) {}

  Registry Reg(std::shared_ptr<RegistryStore> store = nullptr) {
    Registry reg(store ? store : store_);
    reg.SetClassKey(kHkeyCurrentUser);
    reg.SetSectionKey("Software\\Orvalis\\Vaultline");
    return reg;
  }

  test_common::TempDir temp_;
  const std::string dir_;
  std::shared_ptr<HiveFileStore> store_;
};

TEST_F(HiveFileStoreTest, ValuesSurviveInAFreshStoreAndTheFileIsPrivate) {
  Registry reg = Reg();
  reg.SetValueKey("UserID");
  reg.SetValueType(kRegSz);
  reg.SetValue(std::string("\xce\xb1\xce\xb2"));
  reg.SetValueKey("Password");
  reg.SetValueType(kRegBinary);
  reg.SetValue(Bytes{0x00, 0x7C, 0xFF});

  Registry again = Reg(std::make_shared<HiveFileStore>(dir_));
  again.SetValueKey("UserID");
  EXPECT_EQ(again.Value(), Variant(std::string("\xce\xb1\xce\xb2")));
  again.SetValueKey("Password");
  EXPECT_EQ(again.Value(), Variant(Bytes{0x00, 0x7C, 0xFF}));

  const std::string path = dir_ + "/HKEY_CURRENT_USER/hive.reg";
  EXPECT_EQ(store_->HivePath(kHkeyCurrentUser), path);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_TRUE(ReadFile(path).starts_with("Windows Registry Editor Version 5.00\r\n"));
  EXPECT_NE(ReadFile(path).find("\"Password\"=hex:00,7c,ff"), std::string::npos);
}

TEST_F(HiveFileStoreTest, CrashBeforeRenameLeavesTheOldHive) {
  Registry reg = Reg();
  reg.SetValueKey("Width");
  reg.SetValueType(kRegDword);
  reg.SetValue(std::int32_t{800});
  const std::string before = ReadFile(store_->HivePath(kHkeyCurrentUser));

  store_->SetBeforeRenameHook([] { throw std::runtime_error("power cut"); });
  EXPECT_THROW(reg.SetValue(std::int32_t{900}), std::runtime_error);
  EXPECT_EQ(ReadFile(store_->HivePath(kHkeyCurrentUser)), before);
  EXPECT_EQ(reg.Value(), Variant(std::int32_t{800}));

  store_->SetBeforeRenameHook(nullptr);  // the next writer is not hindered by the leftovers
  reg.SetValue(std::int32_t{900});
  EXPECT_EQ(Reg(std::make_shared<HiveFileStore>(dir_))
                .ValueEx(kHkeyCurrentUser, "Software\\Orvalis\\Vaultline", "Width", kRegDword, {}),
            Variant(std::int32_t{900}));
}

TEST_F(HiveFileStoreTest, ConcurrentWritersLoseNothing) {
  constexpr int kPerWriter = 25;
  auto writer = [this](const std::string& prefix) {
    auto store = std::make_shared<HiveFileStore>(dir_);
    Registry reg = Reg(store);
    reg.SetValueType(kRegDword);
    for (int i = 0; i < kPerWriter; ++i) {
      reg.SetValueKey(prefix + std::to_string(i));
      reg.SetValue(std::int32_t{i});
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
  EXPECT_EQ(Reg().EnumerateValues(names), 3 * kPerWriter);
}

TEST_F(HiveFileStoreTest, HandEditedHiveKeepsBadLinesAcrossWrites) {
  fs::create_directories(dir_ + "/HKEY_CURRENT_USER");
  test_common::WriteFile(store_->HivePath(kHkeyCurrentUser),
                         "Windows Registry Editor Version 5.00\n\n"
                         "[HKEY_CURRENT_USER\\Software\\Orvalis\\Vaultline]\n"
                         "\"Debug\"=dword:00000002\n"
                         "\"Width\"=dword:oops\n");
  Registry reg = Reg();
  reg.SetValueKey("Debug");
  EXPECT_EQ(reg.Value(), Variant(std::int32_t{2}));
  reg.SetValueKey("Height");
  reg.SetDefault(std::int32_t{-1});
  EXPECT_EQ(reg.Value(), Variant(std::int32_t{-1}));
  reg.SetValueType(kRegDword);
  reg.SetValue(std::int32_t{500});
  const std::string text = ReadFile(store_->HivePath(kHkeyCurrentUser));
  EXPECT_NE(text.find("\"Width\"=dword:oops"), std::string::npos);
  EXPECT_NE(text.find("\"Height\"=dword:000001f4"), std::string::npos);
}

TEST_F(HiveFileStoreTest, UnusableHiveDirectoryReadsAsDefaultAndWritesRaise) {
  // A plain file where the root's directory belongs (works whatever the user's rights).
  test_common::WriteFile(dir_ + "/HKEY_CURRENT_USER", "not a directory");
  Registry reg = Reg();
  reg.SetValueKey("X");
  reg.SetDefault(std::string("d"));
  EXPECT_EQ(reg.Value(), Variant(std::string("d")));
  reg.SetValueType(kRegSz);
  try {
    reg.SetValue(std::string("v"));
    ADD_FAILURE() << "write should fail";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 26003);
    EXPECT_EQ(e.Description(),
              "Failed to set registry value.\r\nThe system cannot find the path specified.\r\n");
  }
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
  if (old) {
    setenv(kHiveDirEnv, saved.c_str(), 1);
  } else {
    unsetenv(kHiveDirEnv);
  }
}

}  // namespace
}  // namespace quarrytab
