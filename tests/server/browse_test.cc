// LIST, TOTALSIZE, the folder commands and the dealers folder.
#include "fixture.h"

namespace server::testing {
namespace {

namespace fs = std::filesystem;

using Browsing = ServerFixture;

TEST_P(Browsing, RootListsTheLinkThenFoldersThenFiles) {
  auto client = Login();
  const std::string reply = Ask(*client, "LIST|\\|False");
  EXPECT_EQ(reply,
            "LIST|Εγχειρίδια|0||\\manuals\\\r\n"
            "Άδειος|0|\r\n"
            "Έγγραφα|0|\r\n"
            "report.pdf|1000|20240131120000");
}

TEST_P(Browsing, LinkedFolderIsListedThroughItsTarget) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "LIST|\\manuals\\|True"), "LIST|guide.txt|5|20231120100000");
  EXPECT_EQ(Ask(*client, "LIST|\\nolink\\|True"), "FILENOTFOUND");
  // Without the flag the same path is a folder of the user's own.
  EXPECT_EQ(Ask(*client, "LIST|\\manuals\\|False"), "FILENOTFOUND");
}

TEST_P(Browsing, SubfolderAndEmptyFolder) {
  auto client = Login();
  const std::string reply = Ask(*client, "LIST|\\Έγγραφα\\|False");
  EXPECT_EQ(reply.rfind("LIST|σημειώσεις.txt|5|", 0), 0u) << reply;
  EXPECT_EQ(Ask(*client, "LIST|\\Άδειος\\|False"), "LIST|");
  EXPECT_EQ(Ask(*client, "LIST|\\Λείπει\\|False"), "FILENOTFOUND");
}

TEST_P(Browsing, NamesMatchIgnoringLetterCase) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "LIST|\\ΈΓΓΡΑΦΑ\\|False").rfind("LIST|σημειώσεις.txt", 0), 0u);
}

TEST_P(Browsing, NamesTheWireCannotCarryAreNotListed) {
  WriteFile(Personal() / "日本.txt", "x");
  WriteFile(Personal() / "a|b.txt", "x");
  auto client = Login();
  const std::string reply = Ask(*client, "LIST|\\|False");
  EXPECT_EQ(reply.find("txt"), std::string::npos) << reply;
}

TEST_P(Browsing, TotalSizeSumsEveryStoredFile) {
  WriteFile(Personal() / "Έγγραφα" / "βαθιά" / "x.bin", std::string(20, 'x'));
  auto client = Login();
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1025");
}

TEST_P(Browsing, NewDirCreatesOnceThenReportsItExists) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "NEWDIR|\\Νέος"), "NEWDIROK");
  EXPECT_TRUE(fs::is_directory(Personal() / "Νέος"));
  EXPECT_EQ(Ask(*client, "NEWDIR|\\Νέος"), "DIREXISTS");
  EXPECT_EQ(Ask(*client, "NEWDIR|\\ΝΈΟΣ"), "DIREXISTS");
  EXPECT_EQ(Ask(*client, "NEWDIR|\\report.pdf"), "FILEEXISTS");
  EXPECT_EQ(Ask(*client, "NEWDIR|\\Εγχειρίδια"), "DIREXISTS");
  EXPECT_EQ(Ask(*client, "NEWDIR|\\Λείπει\\Νέος"), "FILENOTFOUND");
  EXPECT_EQ(Ask(*client, "NEWDIR|\\Έγγραφα\\Υπο"), "NEWDIROK");
  EXPECT_TRUE(fs::is_directory(Personal() / "Έγγραφα" / "Υπο"));
}

TEST_P(Browsing, RenameMovesFilesAndFoldersAndRefusesClashes) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "RENAME|\\report.pdf|\\αναφορά.pdf"), "RENAMEOK");
  EXPECT_EQ(ReadFile(Personal() / "αναφορά.pdf").size(), 1000u);
  EXPECT_FALSE(fs::exists(Personal() / "report.pdf"));
  EXPECT_EQ(Ask(*client, "RENAME|\\report.pdf|\\x.pdf"), "FILENOTFOUND");
  EXPECT_EQ(Ask(*client, "RENAME|\\αναφορά.pdf|\\Έγγραφα"), "FILEEXISTS");
  EXPECT_EQ(Ask(*client, "RENAME|\\Έγγραφα|\\Αρχείο"), "RENAMEOK");
  EXPECT_EQ(ReadFile(Personal() / "Αρχείο" / "σημειώσεις.txt"), "hello");
  // A change of letter case only renames the item itself.
  EXPECT_EQ(Ask(*client, "RENAME|\\Αρχείο|\\ΑΡΧΕΊΟ"), "RENAMEOK");
  EXPECT_TRUE(fs::is_directory(Personal() / "ΑΡΧΕΊΟ"));
}

TEST_P(Browsing, DeleteRemovesFoldersWithTheirContents) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "DELETE|\\Έγγραφα"), "DELETEOK");
  EXPECT_FALSE(fs::exists(Personal() / "Έγγραφα"));
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1000");
  EXPECT_EQ(Ask(*client, "DELETE|\\report.pdf"), "DELETEOK");
  EXPECT_EQ(Ask(*client, "DELETE|\\report.pdf"), "FILENOTFOUND");
  EXPECT_EQ(Ask(*client, "DELETE|\\"), "FILENOTFOUND");
  EXPECT_TRUE(fs::is_directory(Personal()));
}

TEST_P(Browsing, DealersFolderIsListedAfterTheSwitchAndLeftAgain) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "DEALERS FOLDER"), "DEALEROK");
  EXPECT_EQ(Ask(*client, "LIST|\\|False").rfind("LIST|price.txt|6|", 0), 0u);
  client->Send(Framed("DOWNLOAD|1|\\price.txt|False"));
  EXPECT_EQ(client->ReadFrame(), "DO DOWNLOAD");
  client->Send(Framed("DO DOWNLOAD|1"));
  EXPECT_EQ(client->ReadBytes(6), "prices");
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1005");  // always the personal folder
  EXPECT_EQ(Ask(*client, "PERSONAL FOLDER"), "DEALEROK");
  EXPECT_EQ(Ask(*client, "LIST|\\|False").rfind("LIST|Εγχειρίδια|", 0), 0u);
}

TEST_P(Browsing, DealersFolderRefusesEveryWrite) {
  auto client = Login();
  ASSERT_EQ(Ask(*client, "DEALERS FOLDER"), "DEALEROK");
  EXPECT_EQ(Ask(*client, "NEWDIR|\\x"), "NOPERMISSION");
  EXPECT_EQ(Ask(*client, "RENAME|\\price.txt|\\p.txt"), "NOPERMISSION");
  EXPECT_EQ(Ask(*client, "DELETE|\\price.txt"), "NOPERMISSION");
  EXPECT_EQ(Ask(*client, "UPLOAD|1|3|\\price.txt|20240101000000"), "NOPERMISSION");
  EXPECT_EQ(ReadFile(context_.dealers_root / "price.txt"), "prices");
  EXPECT_EQ(std::distance(fs::directory_iterator(context_.dealers_root), {}), 1);
}

TEST_P(Browsing, UserWithoutDealersAccessGetsAnErrorReply) {
  auto client = Login("bob", "κωδικός");
  EXPECT_EQ(Ask(*client, "DEALERS FOLDER"), "NOPERMISSION");
  EXPECT_EQ(Ask(*client, "LIST|\\|False").find("price.txt"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Both, Browsing, ::testing::Values(Mode::kMemory, Mode::kLoopback),
                         ModeName);

}  // namespace
}  // namespace server::testing
