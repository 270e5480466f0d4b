// LIST, TOTALSIZE, the folder commands and the dealers folder.
#include "fixture.h"
#include "server/transfer_files.h"

namespace server::testing {
namespace {

namespace fs = std::filesystem;

using Browsing = ServerFixture;

TEST_P(Browsing, ListsShowTheLinkThenFoldersThenFilesIgnoringCaseAndOnlyWireNames) {
  for (const char* name : {"alpha.txt", "Zeta.txt", "日本.txt", "a|b.txt"}) {
    WriteFile(Personal() / name, "x");
    SetModificationStamp(Personal() / name, "20240101000000");
  }
  auto client = Login();
  ExpectReplies(*client, {
                             {"LIST|\\|False",
                              "LIST|Εγχειρίδια|0||\\manuals\\\r\n"
                              "Άδειος|0|\r\n"
                              "Έγγραφα|0|\r\n"
                              "alpha.txt|1|20240101000000\r\n"
                              "report.pdf|1000|20240131120000\r\n"
                              "Zeta.txt|1|20240101000000"},
                             {"LIST|\\manuals\\|True", "LIST|guide.txt|5|20231120100000"},
                             {"LIST|\\nolink\\|True", "FILENOTFOUND"},
                             // Without the flag the same path is a folder of the user's own.
                             {"LIST|\\manuals\\|False", "FILENOTFOUND"},
                             {"LIST|\\Άδειος\\|False", "LIST|"},
                             {"LIST|\\Λείπει\\|False", "FILENOTFOUND"},
                         });
  EXPECT_EQ(Ask(*client, "LIST|\\ΈΓΓΡΑΦΑ\\|False").rfind("LIST|σημειώσεις.txt|5|", 0), 0u);
}

TEST_P(Browsing, NewDirCreatesOnceThenReportsItExists) {
  auto client = Login();
  ExpectReplies(*client, {
                             {"NEWDIR|\\Νέος", "NEWDIROK"},
                             {"NEWDIR|\\Νέος", "DIREXISTS"},
                             {"NEWDIR|\\ΝΈΟΣ", "DIREXISTS"},
                             {"NEWDIR|\\report.pdf", "FILEEXISTS"},
                             {"NEWDIR|\\Εγχειρίδια", "DIREXISTS"},
                             {"NEWDIR|\\Λείπει\\Νέος", "FILENOTFOUND"},
                             {"NEWDIR|\\ΈΓΓΡΑΦΑ\\Υπο", "NEWDIROK"},
                         });
  EXPECT_TRUE(fs::is_directory(Personal() / "Νέος"));
  EXPECT_TRUE(fs::is_directory(Personal() / "Έγγραφα" / "Υπο"));
}

TEST_P(Browsing, RenameMovesFilesAndFoldersAndRefusesClashes) {
  auto client = Login();
  ExpectReplies(*client, {
                             {"RENAME|\\report.pdf|\\αναφορά.pdf", "RENAMEOK"},
                             {"RENAME|\\report.pdf|\\x.pdf", "FILENOTFOUND"},
                             {"RENAME|\\αναφορά.pdf|\\Έγγραφα", "FILEEXISTS"},
                             {"RENAME|\\Έγγραφα|\\Αρχείο", "RENAMEOK"},
                         });
  EXPECT_EQ(ReadFile(Personal() / "αναφορά.pdf").size(), 1000u);
  EXPECT_FALSE(fs::exists(Personal() / "report.pdf"));
  EXPECT_EQ(ReadFile(Personal() / "Αρχείο" / "σημειώσεις.txt"), "hello");
  // A change of letter case only renames the item itself.
  EXPECT_EQ(Ask(*client, "RENAME|\\Αρχείο|\\ΑΡΧΕΊΟ"), "RENAMEOK");
  EXPECT_TRUE(fs::is_directory(Personal() / "ΑΡΧΕΊΟ"));
}

TEST_P(Browsing, DeleteRemovesFoldersWithTheirContents) {
  auto client = Login();
  ExpectReplies(*client, {
                             {"DELETE|\\Έγγραφα", "DELETEOK"},
                             {"TOTALSIZE", "TOTALSIZE|1000"},
                             {"DELETE|\\report.pdf", "DELETEOK"},
                             {"DELETE|\\report.pdf", "FILENOTFOUND"},
                             {"DELETE|\\", "FILENOTFOUND"},
                         });
  EXPECT_FALSE(fs::exists(Personal() / "Έγγραφα"));
  EXPECT_TRUE(fs::is_directory(Personal()));
}

TEST_P(Browsing, DealersFolderIsReadOnlyAndLeftAgain) {
  auto client = Login();
  ExpectReplies(*client, {
                             {"DEALERS FOLDER", "DEALEROK"},
                             {"NEWDIR|\\x", "NOPERMISSION"},
                             {"RENAME|\\price.txt|\\p.txt", "NOPERMISSION"},
                             {"DELETE|\\price.txt", "NOPERMISSION"},
                             {"UPLOAD|1|3|\\price.txt|20240101000000", "NOPERMISSION"},
                             {"DOWNLOAD|1|\\price.txt|False", "DO DOWNLOAD"},
                         });
  client->Send(Framed("DO DOWNLOAD|1"));
  EXPECT_EQ(client->ReadBytes(6), "prices");
  EXPECT_EQ(Ask(*client, "LIST|\\|False").rfind("LIST|price.txt|6|", 0), 0u);
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1005");  // always the personal folder
  EXPECT_EQ(Ask(*client, "PERSONAL FOLDER"), "DEALEROK");
  EXPECT_EQ(Ask(*client, "LIST|\\|False").rfind("LIST|Εγχειρίδια|", 0), 0u);
  EXPECT_EQ(ReadFile(context_.dealers_root / "price.txt"), "prices");
  EXPECT_EQ(std::distance(fs::directory_iterator(context_.dealers_root), {}), 1);
  // A user without dealers access gets an error reply and stays in his folder.
  auto bob = Login("bob", "κωδικός");
  EXPECT_EQ(Ask(*bob, "DEALERS FOLDER"), "NOPERMISSION");
  EXPECT_EQ(Ask(*bob, "LIST|\\|False").find("price.txt"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Both, Browsing, kBothModes, ModeName);

}  // namespace
}  // namespace server::testing
