// Paths that try to leave their folder, and clients that break the protocol.
#include <unistd.h>

#include "fixture.h"
#include "support/codepage.h"

namespace server::testing {
namespace {

namespace fs = std::filesystem;

using Safety = ServerFixture;

/// Requests carrying a path that must never be resolved.
std::vector<std::string> EscapingRequests(const std::string& path) {
  return {"LIST|" + path + "|False",
          "LIST|" + path + "|True",
          "DOWNLOAD|1|" + path + "|False",
          "DOWNLOAD|1|" + path + "|True",
          "UPLOAD|1|3|" + path + "|20240101000000",
          "NEWDIR|" + path,
          "DELETE|" + path,
          "RENAME|" + path + "|\\x",
          "RENAME|\\report.pdf|" + path};
}

TEST_P(Safety, EveryEscapingPathClosesTheConnectionAndTouchesNothing) {
  context_.config.max_sessions_per_user = 1000;
  WriteFile(dir_.Path() / "secret.txt", "outside");
  const std::vector<std::string> paths = {"\\..\\..\\secret.txt",
                                          "\\..\\",
                                          "..\\secret.txt",
                                          "\\Έγγραφα\\..\\..\\x",
                                          "\\.\\report.pdf",
                                          "C:\\secret.txt",
                                          "\\C:\\x",
                                          "\\a/b",
                                          "/etc/passwd",
                                          "\\\\server\\x",
                                          "secret.txt",
                                          std::string("\\a\0b", 4),
                                          "\\manuals\\..\\..\\users\\bob\\"};
  for (const auto& path : paths) {
    for (const auto& request : EscapingRequests(path)) {
      auto client = Login();
      client->Send(session::FrameMessage(support::Utf8ToCp1253(request)));
      EXPECT_TRUE(client->WaitClosed()) << request;
    }
  }
  EXPECT_EQ(ReadFile(dir_.Path() / "secret.txt"), "outside");
  EXPECT_FALSE(fs::exists(dir_.Path() / "users" / "x"));
  EXPECT_FALSE(fs::exists(dir_.Path() / "x"));
  EXPECT_TRUE(fs::exists(Personal() / "report.pdf"));
}

TEST_P(Safety, SymbolicLinksAreNeitherListedNorCountedNorFollowed) {
  WriteFile(dir_.Path() / "outside" / "secret.txt", "outside");
  fs::create_directory_symlink(dir_.Path() / "outside", Personal() / "door");
  fs::create_symlink(Personal() / "report.pdf", Personal() / "alias.pdf");
  auto client = Login();
  ExpectReplies(*client, {
                             {"LIST|\\door\\|False", "FILENOTFOUND"},
                             {"DOWNLOAD|1|\\door\\secret.txt|False", "FILENOTFOUND"},
                             {"UPLOAD|1|1|\\door\\new.txt|20240101000000", "FILENOTFOUND"},
                             {"DELETE|\\door\\secret.txt", "FILENOTFOUND"},
                             {"TOTALSIZE", "TOTALSIZE|1005"},
                         });
  const std::string list = Ask(*client, "LIST|\\|False");
  EXPECT_EQ(list.find("door"), std::string::npos) << list;
  EXPECT_EQ(list.find("alias"), std::string::npos) << list;
  EXPECT_FALSE(fs::exists(dir_.Path() / "outside" / "new.txt"));
  EXPECT_TRUE(fs::exists(dir_.Path() / "outside" / "secret.txt"));
}

TEST_P(Safety, NamesWindowsCannotHoldAreRefusedAndNothingIsCreated) {
  const auto entries = [&] {
    return std::distance(fs::directory_iterator(Personal()), fs::directory_iterator());
  };
  const auto count = entries();
  auto client = Login();
  for (const std::string name : {"x?.txt", "q\"t.txt", "a<b", "b>a", "st*r", "CON", "nul.txt",
                                 "Aux.tar.gz", "LPT1", "com9.log", "end.", "end "}) {
    EXPECT_EQ(Ask(*client, "NEWDIR|\\" + name), "UNEXPECTED") << name;
    EXPECT_EQ(Ask(*client, "UPLOAD|1|3|\\" + name + "|20240101000000"), "UNEXPECTED") << name;
    EXPECT_EQ(Ask(*client, "RENAME|\\report.pdf|\\" + name), "UNEXPECTED") << name;
  }
  EXPECT_EQ(entries(), count);
  EXPECT_TRUE(fs::exists(Personal() / "report.pdf"));
  // Names Windows can hold are still fine.
  EXPECT_EQ(Ask(*client, "NEWDIR|\\CONSOLE"), "NEWDIROK");
  EXPECT_EQ(Ask(*client, "RENAME|\\CONSOLE|\\.hidden.d"), "RENAMEOK");
}

TEST_P(Safety, MalformedRequestsCloseTheConnection) {
  const std::vector<std::string> requests = {"UPLOAD|0|3|\\a.bin|20240101000000",
                                             "UPLOAD|1|-3|\\a.bin|20240101000000",
                                             "UPLOAD|1|3|\\a.bin|2024",
                                             "UPLOAD|x|3|\\a.bin|20240101000000",
                                             "DOWNLOAD|1|\\report.pdf|maybe",
                                             "DOWNLOAD|0|\\report.pdf|False",
                                             "LIST|\\",
                                             "LIST|\\|False|extra",
                                             "RENAME|\\report.pdf",
                                             "NOSUCHREQUEST",
                                             "list|\\|False",
                                             "TOTALSIZE|1",
                                             "DO DOWNLOAD|1",
                                             "LOGIN|5|anna"};
  context_.config.max_sessions_per_user = 1000;
  for (const auto& request : requests) {
    auto client = Login();
    client->Send(Framed(request));
    EXPECT_TRUE(client->WaitClosed()) << request;
  }
  EXPECT_EQ(ReadFile(Personal() / "report.pdf").size(), 1000u);
}

TEST_P(Safety, GarbageAndHugeAnnouncedLengthsCloseOnlyTheirOwnConnection) {
  context_.config.max_sessions_per_user = 1000;
  auto good = Login();
  const struct {
    bool logged_in;
    std::string bytes;
  } kCases[] = {
      {false, "GET / HTTP/1.1\r\n\r\n"},
      {false, "x|y"},
      {false, std::string("\x00\x01\x02", 3)},
      {false, "-5|"},
      {false, "007|TOTALSI"},
      {false, "67108865|LOGIN"},
      {true, "99999999|"},  // above the limit: refused before any payload
      // Requests are short: more than 64 KiB is refused though the codec allows more.
      {true, "65537|NEWDIR|\\"},
  };
  for (const auto& c : kCases) {
    auto bad = c.logged_in ? Login() : Connect();
    bad->Send(c.bytes);
    EXPECT_TRUE(bad->WaitClosed()) << c.bytes;
  }
  auto longest = Login();
  longest->Send(Framed("NEWDIR|\\" + std::string(65536 - 8, 'n')));
  // Accepted and answered; no file system holds such a name.
  EXPECT_EQ(longest->ReadFrame(), "FILENOTFOUND");
  EXPECT_EQ(Ask(*good, "LIST|\\Άδειος\\|False"), "LIST|");
}

INSTANTIATE_TEST_SUITE_P(Both, Safety, kBothModes, ModeName);

}  // namespace
}  // namespace server::testing
