// The built vaultline-cli against a spawned vaultline-server --demo on loopback.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/process.h"

namespace test_common {
namespace {

namespace fs = std::filesystem;

/// Every test gets its own demo server and scratch folder.
class CliEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Started()) << "the demo server did not start"; }

  ProcessResult Cli(std::vector<std::string> args, std::string password = "demo") {
    std::vector<std::string> all = {"--server", "127.0.0.1:" + std::to_string(server_.Port()),
                                    "--user", "demo"};
    all.insert(all.end(), args.begin(), args.end());
    return Raw(all, password);
  }
  static ProcessResult Raw(const std::vector<std::string>& args, std::string password = "demo") {
    return RunProcess(VAULTLINE_CLI_BINARY, args, {{"VAULTLINE_PASSWORD", password}});
  }
  /// The names of a listing's rows.
  static std::vector<std::string> Names(const std::string& listing) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < listing.size()) {
      const std::size_t end = listing.find('\n', start);
      const std::string line = listing.substr(start, end - start);
      names.push_back(line.substr(line.rfind('\t') + 1));
      start = end == std::string::npos ? listing.size() : end + 1;
    }
    return names;
  }

  DemoServer server_;
  TempDir scratch_;
};

// ---- Listing and usage ----

TEST_F(CliEndToEndTest, LsPrintsTheRootInServerOrderWithTypesSizesAndStamps) {
  const auto r = Cli({"ls"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("d\t0\t\tΈγγραφα\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("f\t48\t20240105093500\treadme.txt\n"), std::string::npos) << r.out;
  // Folders first, as the server sends them; no ".." row at the root.
  const auto names = Names(r.out);
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(std::count(names.begin(), names.end(), ".."), 0);
}

TEST_F(CliEndToEndTest, LsOfASubfolderAndOfASingleFileWithEitherSeparator) {
  const auto folder = Cli({"ls", "\\Έγγραφα\\"});
  ASSERT_EQ(folder.exit_code, 0) << folder.err;
  EXPECT_EQ(folder.out, "d\t0\t\tΣυμβόλαια\nf\t35\t20240212101500\tΠροσφορά 2024.txt\n");
  const auto file = Cli({"ls", "/έγγραφα/προσφορά 2024.TXT"});
  ASSERT_EQ(file.exit_code, 0) << file.err;
  EXPECT_EQ(file.out, "f\t35\t20240212101500\tΠροσφορά 2024.txt\n")
      << "names match ignoring letter case";
}

TEST_F(CliEndToEndTest, LsThroughTheParametersProxyFindsTheServer) {
  const auto r = Raw({"--proxy", "127.0.0.1:" + std::to_string(server_.HttpPort()), "--user",
                      "demo", "ls", "Έγγραφα"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("Συμβόλαια"), std::string::npos);
}

TEST_F(CliEndToEndTest, DealersFolderIsListedWithTheFlag) {
  const auto r = Cli({"--dealers", "ls"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("Τιμοκατάλογος 2024.txt"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("readme.txt"), std::string::npos);
  EXPECT_EQ(Cli({"--dealers", "mkdir", "x"}).exit_code, 1) << "the dealers folder is read-only";
}

TEST_F(CliEndToEndTest, UsagePrintsUsedQuotaAndPercent) {
  const auto before = Cli({"usage"});
  ASSERT_EQ(before.exit_code, 0) << before.err;
  long long used = 0;
  long long quota = 0;
  char percent[16] = {};
  ASSERT_EQ(std::sscanf(before.out.c_str(), "%lld\t%lld\t%15s", &used, &quota, percent), 3)
      << before.out;
  EXPECT_GT(quota, 0);
  WriteFile(scratch_.Path() / "grow.bin", RandomBytes(quota / 10, 7));
  ASSERT_EQ(Cli({"put", (scratch_.Path() / "grow.bin").string()}).exit_code, 0);
  const auto after = Cli({"usage"});
  long long used_after = 0;
  ASSERT_EQ(std::sscanf(after.out.c_str(), "%lld", &used_after), 1);
  EXPECT_EQ(used_after, used + quota / 10);
}

// ---- Folder commands ----

TEST_F(CliEndToEndTest, MkdirMvRmChangeTheServerFolder) {
  ASSERT_EQ(Cli({"mkdir", "Έγγραφα/Νέος φάκελος"}).exit_code, 0);
  EXPECT_TRUE(fs::is_directory(server_.UserFolder() / "Έγγραφα" / "Νέος φάκελος"));
  const auto mv = Cli({"mv", "Έγγραφα\\Νέος φάκελος", "Αρχείο 2025"});
  ASSERT_EQ(mv.exit_code, 0) << mv.err;
  EXPECT_TRUE(fs::is_directory(server_.UserFolder() / "Έγγραφα" / "Αρχείο 2025"));
  EXPECT_FALSE(fs::exists(server_.UserFolder() / "Έγγραφα" / "Νέος φάκελος"));
  ASSERT_EQ(Cli({"rm", "/Έγγραφα/Αρχείο 2025"}).exit_code, 0);
  EXPECT_FALSE(fs::exists(server_.UserFolder() / "Έγγραφα" / "Αρχείο 2025"));
  ASSERT_EQ(Cli({"rm", "readme.txt"}).exit_code, 0);
  EXPECT_FALSE(fs::exists(server_.UserFolder() / "readme.txt"));
}

// ---- Exit codes ----

TEST_F(CliEndToEndTest, RefusalsByTheServerExitWithOneAndShowTheGreekMessage) {
  const auto exists = Cli({"mkdir", "Έγγραφα"});
  EXPECT_EQ(exists.exit_code, 1);
  EXPECT_EQ(exists.err, "Ο φάκελος υπάρχει ήδη.\n");
  const auto login = Cli({"ls"}, "wrong");
  EXPECT_EQ(login.exit_code, 1);
  EXPECT_EQ(login.err, "Λάθος ID χρήστη ή κωδικός πρόσβασης.\n");
  EXPECT_EQ(login.out, "");
}

TEST_F(CliEndToEndTest, MissingNamesAndForbiddenEditsExitWithOne) {
  const auto missing = Cli({"rm", "Έγγραφα/nothing"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("nothing named nothing in /Έγγραφα"), std::string::npos);
  const auto file_as_folder = Cli({"ls", "readme.txt/x"});
  EXPECT_EQ(file_as_folder.exit_code, 1);
  EXPECT_EQ(Cli({"mv", "Εγχειρίδια", "x"}).exit_code, 1) << "a linked folder cannot be renamed";
}

TEST_F(CliEndToEndTest, UsageErrorsExitWithTwoBeforeAnyConnection) {
  EXPECT_EQ(Cli({"frobnicate"}).exit_code, 2);
  EXPECT_EQ(Cli({"get"}).exit_code, 2);
  const auto no_password = Cli({"ls"}, "");
  EXPECT_EQ(no_password.exit_code, 2);
  EXPECT_NE(no_password.err.find("VAULTLINE_PASSWORD"), std::string::npos);
  EXPECT_EQ(Cli({"mkdir", "bad:name"}).exit_code, 2) << "the name dialog refuses the name";
  EXPECT_EQ(Cli({"put", (scratch_.Path() / "absent.bin").string()}).exit_code, 2);
}

TEST_F(CliEndToEndTest, PasswordFileIsReadInsteadOfTheEnvironment) {
  WriteFile(scratch_.Path() / "pw", "demo\r\n");
  const auto r = Cli({"--password-file", (scratch_.Path() / "pw").string(), "ls"}, "wrong");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Cli({"--password-file", (scratch_.Path() / "none").string(), "ls"}).exit_code, 2);
}

TEST_F(CliEndToEndTest, NoListenerExitsWithThree) {
  const int port = UnusedPort();
  ASSERT_GT(port, 0);
  const auto r = Raw({"--server", "127.0.0.1:" + std::to_string(port), "--user", "demo", "ls"});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.err, "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.\n");
}

// ---- Transfers ----

TEST_F(CliEndToEndTest, PutThenGetReturnsTheSameBytesUnderAnotherName) {
  const std::string bytes = RandomBytes(3 * 1024 * 1024 + 17, 42);
  const fs::path source = scratch_.Path() / "Αναφορά.bin";
  WriteFile(source, bytes);
  const auto put = Cli({"put", source.string(), "Έγγραφα"});
  ASSERT_EQ(put.exit_code, 0) << put.err;
  EXPECT_EQ(put.err, "") << "no progress line when stderr is not a terminal";
  EXPECT_EQ(ReadFile(server_.UserFolder() / "Έγγραφα" / "Αναφορά.bin"), bytes);

  const fs::path target = scratch_.Path() / "back.bin";
  const auto get = Cli({"get", "Έγγραφα/Αναφορά.bin", target.string()});
  ASSERT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(ReadFile(target), bytes);

  // Into a folder: the remote name is kept.
  fs::create_directory(scratch_.Path() / "in");
  ASSERT_EQ(Cli({"get", "Έγγραφα/Αναφορά.bin", (scratch_.Path() / "in").string()}).exit_code, 0);
  EXPECT_EQ(ReadFile(scratch_.Path() / "in" / "Αναφορά.bin"), bytes);
}

TEST_F(CliEndToEndTest, DownloadSetsTheListedStampAsModificationTime) {
  const fs::path target = scratch_.Path() / "readme.txt";
  ASSERT_EQ(Cli({"get", "readme.txt", target.string()}).exit_code, 0);
  const auto listed = Cli({"ls", "readme.txt"});
  ASSERT_EQ(listed.exit_code, 0);
  const std::time_t mtime = std::chrono::system_clock::to_time_t(
      std::chrono::file_clock::to_sys(fs::last_write_time(target)));
  std::tm local{};
  localtime_r(&mtime, &local);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
  EXPECT_NE(listed.out.find(stamp), std::string::npos) << listed.out << " vs " << stamp;
}

TEST_F(CliEndToEndTest, ExistingTargetsNeedAFlagAndResumeCompletesBothWays) {
  const std::string bytes = RandomBytes(1024 * 1024 + 5, 9);
  const fs::path full = scratch_.Path() / "data.bin";
  WriteFile(full, bytes);

  // Upload: a shorter server copy is continued with --resume.
  fs::create_directory(scratch_.Path() / "half");
  const fs::path half = scratch_.Path() / "half" / "data.bin";
  WriteFile(half, bytes.substr(0, 400000));
  ASSERT_EQ(Cli({"put", half.string()}).exit_code, 0);
  const auto refused = Cli({"put", full.string()});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("Το αρχείο data.bin υπάρχει ήδη."), std::string::npos) << refused.err;
  EXPECT_EQ(ReadFile(server_.UserFolder() / "data.bin").size(), 400000u) << "nothing was sent";
  const auto resumed = Cli({"put", full.string(), "--resume"});
  ASSERT_EQ(resumed.exit_code, 0) << resumed.err;
  EXPECT_EQ(ReadFile(server_.UserFolder() / "data.bin"), bytes);

  // Download: a shorter local copy is continued, an equal one only replaced.
  const fs::path local = scratch_.Path() / "local.bin";
  WriteFile(local, bytes.substr(0, 123457));
  EXPECT_EQ(Cli({"get", "data.bin", local.string()}).exit_code, 1);
  EXPECT_EQ(ReadFile(local).size(), 123457u) << "a refused download leaves the copy alone";
  ASSERT_EQ(Cli({"get", "data.bin", local.string(), "--resume"}).exit_code, 0);
  EXPECT_EQ(ReadFile(local), bytes);
  // A retry after a transfer cut before its last answer finds every byte there:
  // done, nothing sent, both ways. A longer copy is no resume.
  const auto again = Cli({"get", "data.bin", local.string(), "--resume"});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_NE(again.err.find("already has every byte"), std::string::npos) << again.err;
  EXPECT_EQ(ReadFile(local), bytes);
  const auto put_again = Cli({"put", full.string(), "--resume"});
  EXPECT_EQ(put_again.exit_code, 0) << put_again.err;
  EXPECT_EQ(ReadFile(server_.UserFolder() / "data.bin"), bytes);
  WriteFile(local, bytes + "x");
  const auto longer = Cli({"get", "data.bin", local.string(), "--resume"});
  EXPECT_EQ(longer.exit_code, 1) << "nothing to resume";
  EXPECT_NE(longer.err.find("nothing to resume (give --replace)"), std::string::npos) << longer.err;
  WriteFile(local, "different content, same name");
  ASSERT_EQ(Cli({"get", "data.bin", local.string(), "--replace"}).exit_code, 0);
  EXPECT_EQ(ReadFile(local), bytes);
}

TEST_F(CliEndToEndTest, PutRefusesLocalNamesTheServerCannotHold) {
  // A backslash is an ordinary character of a local name here: "a\readme.txt" must
  // not replace the listed readme.txt; the other names would be stored under
  // another name or break the request.
  const fs::path readme = server_.UserFolder() / "readme.txt";
  const std::string before = ReadFile(readme);
  const auto entries = [&] {
    return std::distance(fs::directory_iterator(server_.UserFolder()), fs::directory_iterator());
  };
  const auto count = entries();
  for (const char* name : {"a\\readme.txt", "café.txt", "p|q.txt", "NUL.txt", "notes."}) {
    const fs::path local = scratch_.Path() / name;
    WriteFile(local, "new bytes");
    const auto r = Cli({"put", local.string(), "--replace"});
    EXPECT_EQ(r.exit_code, 1) << name << ": " << r.err;
    EXPECT_EQ(r.err.rfind("Μη έγκυρο όνομα: ", 0), 0u) << name << ": " << r.err;
  }
  EXPECT_EQ(ReadFile(readme), before);
  EXPECT_EQ(entries(), count) << "nothing was created on the server";
}

TEST_F(CliEndToEndTest, GetRightAfterTheLogInOfAnAccountOverQuota) {
  // Over quota, the usage warning shows at LOGINOK already, long before the
  // log-in chain has sent PCINFO; a download must still wait for the chain,
  // or PCINFO lands between DOWNLOAD and DO DOWNLOAD and the server hangs up.
  { std::ofstream sparse(server_.UserFolder() / "huge.bin"); }
  fs::resize_file(server_.UserFolder() / "huge.bin", 200ll * 1024 * 1024);
  for (int i = 0; i < 3; ++i) {
    const fs::path target = scratch_.Path() / ("readme" + std::to_string(i) + ".txt");
    const auto r = Cli({"get", "readme.txt", target.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(ReadFile(target), ReadFile(server_.UserFolder() / "readme.txt"));
  }
}

TEST_F(CliEndToEndTest, GetOfAFolderIsRefused) {
  EXPECT_EQ(Cli({"get", "Έγγραφα", (scratch_.Path() / "x").string()}).exit_code, 1);
  EXPECT_FALSE(fs::exists(scratch_.Path() / "x"));
}

}  // namespace
}  // namespace test_common
