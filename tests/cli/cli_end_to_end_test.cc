// The built vaultline-cli against a spawned vaultline-server --demo on loopback.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "common/process.h"

namespace test_common {
namespace {

namespace fs = std::filesystem;

/// Every test gets its own demo server and scratch folder.
class CliEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Started()) << "the demo server did not start"; }

  /// Runs the client as the demo user against the server, expecting `exit_code`.
  ProcessResult Exits(int exit_code, std::vector<std::string> args, std::string password = "demo") {
    args.insert(args.begin(),
                {"--server", "127.0.0.1:" + std::to_string(server_.Port()), "--user", "demo"});
    return Raw(exit_code, args, password);
  }
  static ProcessResult Raw(int exit_code, const std::vector<std::string>& args,
                           std::string password = "demo") {
    auto r = RunProcess(VAULTLINE_CLI_BINARY, args, {{"VAULTLINE_PASSWORD", password}});
    EXPECT_EQ(r.exit_code, exit_code) << args.back() << ": " << r.err;
    return r;
  }
  fs::path Scratch(const std::string& name) const { return scratch_.Path() / name; }

  DemoServer server_;
  TempDir scratch_;
};

TEST_F(CliEndToEndTest, LsPrintsTypesSizesStampsAndNamesOfAFolderAFileOrTheDealers) {
  const auto root = Exits(0, {"ls"});
  EXPECT_EQ(root.err, "");
  EXPECT_NE(root.out.find("d\t0\t\tΈγγραφα\n"), std::string::npos) << root.out;
  EXPECT_NE(root.out.find("f\t48\t20240105093500\treadme.txt\n"), std::string::npos) << root.out;
  EXPECT_EQ(root.out.find("\t..\n"), std::string::npos) << "no \"..\" row at the root";
  const std::string docs = "d\t0\t\tΣυμβόλαια\nf\t35\t20240212101500\tΠροσφορά 2024.txt\n";
  EXPECT_EQ(Exits(0, {"ls", "\\Έγγραφα\\"}).out, docs);
  EXPECT_EQ(Exits(0, {"ls", "/έγγραφα/προσφορά 2024.TXT"}).out,
            "f\t35\t20240212101500\tΠροσφορά 2024.txt\n")
      << "names match ignoring letter case";
  const std::string proxy = "127.0.0.1:" + std::to_string(server_.HttpPort());
  EXPECT_EQ(Raw(0, {"--proxy", proxy, "--user", "demo", "ls", "Έγγραφα"}).out, docs)
      << "the parameters fetched through the proxy find the server";
  const auto dealers = Exits(0, {"--dealers", "ls"});
  EXPECT_NE(dealers.out.find("Τιμοκατάλογος 2024.txt"), std::string::npos) << dealers.out;
  EXPECT_EQ(dealers.out.find("readme.txt"), std::string::npos);
  Exits(1, {"--dealers", "mkdir", "x"});  // the dealers folder is read-only
}

TEST_F(CliEndToEndTest, MkdirMvRmChangeTheServerFolder) {
  const fs::path docs = server_.UserFolder() / "Έγγραφα";
  Exits(0, {"mkdir", "Έγγραφα/Νέος φάκελος"});
  EXPECT_TRUE(fs::is_directory(docs / "Νέος φάκελος"));
  Exits(0, {"mv", "Έγγραφα\\Νέος φάκελος", "Αρχείο 2025"});
  EXPECT_TRUE(fs::is_directory(docs / "Αρχείο 2025"));
  EXPECT_FALSE(fs::exists(docs / "Νέος φάκελος"));
  Exits(0, {"rm", "/Έγγραφα/Αρχείο 2025"});
  EXPECT_FALSE(fs::exists(docs / "Αρχείο 2025"));
  Exits(0, {"rm", "readme.txt"});
  EXPECT_FALSE(fs::exists(server_.UserFolder() / "readme.txt"));
}

TEST_F(CliEndToEndTest, RefusalsExitWithOneAndShowTheServersMessage) {
  EXPECT_EQ(Exits(1, {"mkdir", "Έγγραφα"}).err, "Ο φάκελος υπάρχει ήδη.\n");
  const auto login = Exits(1, {"ls"}, "wrong");
  EXPECT_EQ(login.err, "Λάθος ID χρήστη ή κωδικός πρόσβασης.\n");
  EXPECT_EQ(login.out, "");
  EXPECT_NE(Exits(1, {"rm", "Έγγραφα/nothing"}).err.find("nothing named nothing in /Έγγραφα"),
            std::string::npos);
  Exits(1, {"ls", "readme.txt/x"});     // a file is no folder
  Exits(1, {"mv", "Εγχειρίδια", "x"});  // a linked folder cannot be renamed
  Exits(1, {"get", "Έγγραφα", Scratch("x").string()});
  EXPECT_FALSE(fs::exists(Scratch("x")));
}

TEST_F(CliEndToEndTest, UsageErrorsExitWithTwoAndNoListenerWithThree) {
  Exits(2, {"frobnicate"});
  Exits(2, {"get"});
  EXPECT_NE(Exits(2, {"ls"}, "").err.find("VAULTLINE_PASSWORD"), std::string::npos);
  Exits(2, {"mkdir", "bad:name"});  // the name dialog refuses the name
  Exits(2, {"put", Scratch("absent.bin").string()});
  // The password file wins over the environment.
  WriteFile(Scratch("pw"), "demo\r\n");
  Exits(0, {"--password-file", Scratch("pw").string(), "ls"}, "wrong");
  Exits(2, {"--password-file", Scratch("none").string(), "ls"});
  const RefusingPort refusing;
  const int port = refusing.Port();
  ASSERT_GT(port, 0);
  EXPECT_EQ(Raw(3, {"--server", "127.0.0.1:" + std::to_string(port), "--user", "demo", "ls"}).err,
            "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.\n");
}

TEST_F(CliEndToEndTest, PutThenGetReturnsTheSameBytesWithTheListedStamp) {
  const std::string usage = Exits(0, {"usage"}).out;
  EXPECT_TRUE(std::regex_match(usage, std::regex("\\d+\t[1-9]\\d*\t\\d+[.,]\\d\n"))) << usage;
  const std::string bytes = RandomBytes(3 * 1024 * 1024 + 17, 42);
  WriteFile(Scratch("Αναφορά.bin"), bytes);
  EXPECT_EQ(Exits(0, {"put", Scratch("Αναφορά.bin").string(), "Έγγραφα"}).err, "")
      << "no progress line when stderr is not a terminal";
  EXPECT_EQ(ReadFile(server_.UserFolder() / "Έγγραφα" / "Αναφορά.bin"), bytes);
  EXPECT_EQ(std::stoll(Exits(0, {"usage"}).out), std::stoll(usage) + std::ssize(bytes));
  Exits(0, {"get", "Έγγραφα/Αναφορά.bin", Scratch("back.bin").string()});
  EXPECT_EQ(ReadFile(Scratch("back.bin")), bytes);
  // Into a folder: the remote name is kept.
  fs::create_directory(Scratch("in"));
  Exits(0, {"get", "Έγγραφα/Αναφορά.bin", Scratch("in").string()});
  EXPECT_EQ(ReadFile(Scratch("in") / "Αναφορά.bin"), bytes);

  // The download's modification time is the listed stamp, in local time.
  Exits(0, {"get", "readme.txt", Scratch("readme.txt").string()});
  const std::time_t mtime = std::chrono::system_clock::to_time_t(
      std::chrono::file_clock::to_sys(fs::last_write_time(Scratch("readme.txt"))));
  std::tm local{};
  localtime_r(&mtime, &local);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
  EXPECT_NE(Exits(0, {"ls", "readme.txt"}).out.find(stamp), std::string::npos) << stamp;
}

TEST_F(CliEndToEndTest, ExistingTargetsNeedAFlagAndResumeCompletesBothWays) {
  const std::string bytes = RandomBytes(1024 * 1024 + 5, 9);
  const std::string full = Scratch("data.bin").string();
  const fs::path on_server = server_.UserFolder() / "data.bin";
  WriteFile(full, bytes);

  // Upload: a shorter server copy is continued with --resume.
  fs::create_directory(Scratch("half"));
  WriteFile(Scratch("half") / "data.bin", bytes.substr(0, 400000));
  Exits(0, {"put", (Scratch("half") / "data.bin").string()});
  EXPECT_NE(Exits(1, {"put", full}).err.find("Το αρχείο data.bin υπάρχει ήδη."), std::string::npos);
  EXPECT_EQ(ReadFile(on_server).size(), 400000u) << "nothing was sent";
  Exits(0, {"put", full, "--resume"});
  EXPECT_EQ(ReadFile(on_server), bytes);

  // Download: a shorter local copy is continued, an equal one only replaced.
  const std::string local = Scratch("local.bin").string();
  WriteFile(local, bytes.substr(0, 123457));
  Exits(1, {"get", "data.bin", local});
  EXPECT_EQ(ReadFile(local).size(), 123457u) << "a refused download leaves the copy alone";
  Exits(0, {"get", "data.bin", local, "--resume"});
  EXPECT_EQ(ReadFile(local), bytes);
  // A retry after a transfer cut before its last answer finds every byte there:
  // done, nothing sent, both ways. A longer copy is no resume.
  EXPECT_NE(Exits(0, {"get", "data.bin", local, "--resume"}).err.find("already has every byte"),
            std::string::npos);
  EXPECT_EQ(ReadFile(local), bytes);
  Exits(0, {"put", full, "--resume"});
  EXPECT_EQ(ReadFile(on_server), bytes);
  WriteFile(local, bytes + "x");
  EXPECT_NE(Exits(1, {"get", "data.bin", local, "--resume"}).err.find("nothing to resume (give"),
            std::string::npos);
  WriteFile(local, "different content, same name");
  Exits(0, {"get", "data.bin", local, "--replace"});
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
    WriteFile(Scratch(name), "new bytes");
    EXPECT_EQ(
        Exits(1, {"put", Scratch(name).string(), "--replace"}).err.rfind("Μη έγκυρο όνομα: ", 0),
        0u)
        << name;
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
    const fs::path target = Scratch("readme" + std::to_string(i) + ".txt");
    Exits(0, {"get", "readme.txt", target.string()});
    EXPECT_EQ(ReadFile(target), ReadFile(server_.UserFolder() / "readme.txt"));
  }
}

}  // namespace
}  // namespace test_common
