// UPLOAD and DOWNLOAD: streams, resume, quota, stamps and INUSE.
#include "fixture.h"
#include "server/transfer_files.h"

namespace server::testing {
namespace {

namespace fs = std::filesystem;

using Transfers = ServerFixture;

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
  return bytes;
}

TEST_P(Transfers, UploadStoresTheBytesAndTheGivenStamp) {
  auto client = Login();
  const std::string data = Pattern(10);
  EXPECT_EQ(Ask(*client, "UPLOAD|1|10|\\νέο.bin|20240131120005"), "DO UPLOAD");
  client->Send(data.substr(0, 4));
  client->Send(data.substr(4));
  EXPECT_EQ(client->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(ReadFile(Personal() / "νέο.bin"), data);
  EXPECT_EQ(ModificationStamp(Personal() / "νέο.bin"), "20240131120005");
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1015");
}

TEST_P(Transfers, UploadDataGluedToTheRequestIsTakenAsFileData) {
  auto client = Login();
  client->Send(Framed("UPLOAD|1|5|\\a.bin|20240131120000") + "12345" + "PING");
  EXPECT_EQ(client->ReadFrame(), "DO UPLOAD");
  EXPECT_EQ(client->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(client->ReadBytes(4), "PONG");
  EXPECT_EQ(ReadFile(Personal() / "a.bin"), "12345");
}

TEST_P(Transfers, ResumeAppendsAfterTheStoredBytes) {
  WriteFile(Personal() / "part.bin", "abcd");
  auto client = Login();
  EXPECT_EQ(Ask(*client, "UPLOAD|5|10|\\part.bin|20240131120000"), "DO UPLOAD");
  client->Send("efghij");
  EXPECT_EQ(client->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(ReadFile(Personal() / "part.bin"), "abcdefghij");
}

TEST_P(Transfers, ReplacementFromByteOneCutsTheOldCopy) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "UPLOAD|1|3|\\report.pdf|20240131120000"), "DO UPLOAD");
  client->Send("new");
  EXPECT_EQ(client->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(ReadFile(Personal() / "report.pdf"), "new");
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|8");
}

TEST_P(Transfers, NameMatchingIgnoringCaseReplacesTheStoredFile) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "UPLOAD|1|2|\\REPORT.PDF|20240131120000"), "DO UPLOAD");
  client->Send("ab");
  EXPECT_EQ(client->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(ReadFile(Personal() / "report.pdf"), "ab");
  EXPECT_FALSE(fs::exists(Personal() / "REPORT.PDF"));
}

TEST_P(Transfers, StartBeyondTheStoredBytesIsRefused) {
  WriteFile(Personal() / "part.bin", "abcd");
  auto client = Login();
  EXPECT_EQ(Ask(*client, "UPLOAD|6|10|\\part.bin|20240131120000"), "UNEXPECTED");
  EXPECT_EQ(Ask(*client, "UPLOAD|2|10|\\missing.bin|20240131120000"), "UNEXPECTED");
  EXPECT_EQ(ReadFile(Personal() / "part.bin"), "abcd");
}

TEST_P(Transfers, QuotaRefusesWhatDoesNotFitButCountsAReplacedCopyOnce) {
  // bob: quota 5000, nothing stored yet.
  WriteFile(Personal("bob") / "old.bin", std::string(4000, 'o'));
  auto client = Login("bob", "κωδικός");
  EXPECT_EQ(Ask(*client, "UPLOAD|1|1001|\\new.bin|20240131120000"), "UNEXPECTED");
  EXPECT_FALSE(fs::exists(Personal("bob") / "new.bin"));
  EXPECT_EQ(Ask(*client, "UPLOAD|1|5001|\\old.bin|20240131120000"), "UNEXPECTED");
  // Replacing the 4000-byte copy with 5000 bytes fits exactly.
  EXPECT_EQ(Ask(*client, "UPLOAD|1|5000|\\old.bin|20240131120000"), "DO UPLOAD");
  client->Send(std::string(5000, 'n'));
  EXPECT_EQ(client->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|5000");
}

TEST_P(Transfers, PartialUploadStaysWhenTheConnectionDropsAndCanBeContinued) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "UPLOAD|1|10|\\cut.bin|20240131120000"), "DO UPLOAD");
  client->Send("012");
  client->Disconnect();
  ASSERT_TRUE(Eventually([&] {
    bool free = false;
    Server().Inspect(
        [&](ServerContext& c) { free = !c.transfers.BusyAtOrBelow(Personal() / "cut.bin"); });
    return free;
  }));
  EXPECT_EQ(ReadFile(Personal() / "cut.bin"), "012");
  auto again = Login();
  EXPECT_EQ(Ask(*again, "UPLOAD|4|10|\\cut.bin|20240131120000"), "DO UPLOAD");
  again->Send("3456789");
  EXPECT_EQ(again->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(ReadFile(Personal() / "cut.bin"), "0123456789");
}

TEST_P(Transfers, UploadOntoAFolderOrIntoAMissingFolderIsRefused) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "UPLOAD|1|3|\\Έγγραφα|20240131120000"), "FILEEXISTS");
  EXPECT_EQ(Ask(*client, "UPLOAD|1|3|\\Λείπει\\a.bin|20240131120000"), "FILENOTFOUND");
  EXPECT_EQ(Ask(*client, "UPLOAD|1|3|\\Έγγραφα\\|20240131120000"), "FILENOTFOUND");
}

TEST_P(Transfers, DownloadSendsTheFileFromTheAgreedStart) {
  auto client = Login();
  const std::string data = Pattern(1000);
  WriteFile(Personal() / "report.pdf", data);
  EXPECT_EQ(Ask(*client, "DOWNLOAD|1|\\report.pdf|False"), "DO DOWNLOAD");
  client->Send(Framed("DO DOWNLOAD|1"));
  EXPECT_EQ(client->ReadBytes(1000), data);
  EXPECT_EQ(Ask(*client, "DOWNLOAD|401|\\REPORT.pdf|False"), "DO DOWNLOAD");
  client->Send(Framed("DO DOWNLOAD|401"));
  EXPECT_EQ(client->ReadBytes(600), data.substr(400));
  // Nothing follows the file: the next reply is the next request's.
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1005");
}

TEST_P(Transfers, DownloadFromALinkedFolder) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "DOWNLOAD|1|\\manuals\\guide.txt|True"), "DO DOWNLOAD");
  client->Send(Framed("DO DOWNLOAD|1"));
  EXPECT_EQ(client->ReadBytes(5), "guide");
}

TEST_P(Transfers, DownloadErrorReplies) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "DOWNLOAD|1|\\nothing.bin|False"), "FILENOTFOUND");
  EXPECT_EQ(Ask(*client, "DOWNLOAD|1|\\Έγγραφα|False"), "FILENOTFOUND");
  EXPECT_EQ(Ask(*client, "DOWNLOAD|1002|\\report.pdf|False"), "UNEXPECTED");
  // Start just past the end: a download with nothing left to send.
  EXPECT_EQ(Ask(*client, "DOWNLOAD|1001|\\report.pdf|False"), "DO DOWNLOAD");
  client->Send(Framed("DO DOWNLOAD|1001"));
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1005");
}

TEST_P(Transfers, AnswerWithAnotherStartEndsTheConnection) {
  auto client = Login();
  EXPECT_EQ(Ask(*client, "DOWNLOAD|1|\\report.pdf|False"), "DO DOWNLOAD");
  client->Send(Framed("DO DOWNLOAD|2"));
  EXPECT_TRUE(client->WaitClosed());
}

TEST_P(Transfers, FileAnotherSessionUploadsIsInUse) {
  auto writer = Login();
  EXPECT_EQ(Ask(*writer, "UPLOAD|1|10|\\Έγγραφα\\busy.bin|20240131120000"), "DO UPLOAD");
  writer->Send("01234");
  auto other = Login();
  EXPECT_EQ(Ask(*other, "UPLOAD|1|3|\\Έγγραφα\\busy.bin|20240131120000"), "INUSE");
  EXPECT_EQ(Ask(*other, "DOWNLOAD|1|\\Έγγραφα\\busy.bin|False"), "INUSE");
  EXPECT_EQ(Ask(*other, "DELETE|\\Έγγραφα"), "INUSE");
  EXPECT_EQ(Ask(*other, "RENAME|\\Έγγραφα\\busy.bin|\\Έγγραφα\\b.bin"), "INUSE");
  writer->Send("56789");
  EXPECT_EQ(writer->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(Ask(*other, "DOWNLOAD|1|\\Έγγραφα\\busy.bin|False"), "DO DOWNLOAD");
}

TEST_P(Transfers, TwoSessionsMayDownloadTheSameFileAtOnce) {
  auto first = Login();
  auto second = Login();
  EXPECT_EQ(Ask(*first, "DOWNLOAD|1|\\report.pdf|False"), "DO DOWNLOAD");
  EXPECT_EQ(Ask(*second, "DOWNLOAD|1|\\report.pdf|False"), "DO DOWNLOAD");
  second->Send(Framed("DO DOWNLOAD|1"));
  EXPECT_EQ(second->ReadBytes(1000), std::string(1000, 'r'));
  first->Send(Framed("DO DOWNLOAD|1"));
  EXPECT_EQ(first->ReadBytes(1000), std::string(1000, 'r'));
}

TEST_P(Transfers, FileBeingDownloadedCannotBeReplaced) {
  auto reader = Login();
  EXPECT_EQ(Ask(*reader, "DOWNLOAD|1|\\report.pdf|False"), "DO DOWNLOAD");
  auto writer = Login();
  EXPECT_EQ(Ask(*writer, "UPLOAD|1|3|\\report.pdf|20240131120000"), "INUSE");
  EXPECT_EQ(Ask(*writer, "DELETE|\\report.pdf"), "INUSE");
  reader->Send(Framed("DO DOWNLOAD|1"));
  EXPECT_EQ(reader->ReadBytes(1000).size(), 1000u);
  EXPECT_EQ(Ask(*reader, "TOTALSIZE"), "TOTALSIZE|1005");
  EXPECT_EQ(Ask(*writer, "DELETE|\\report.pdf"), "DELETEOK");
}

INSTANTIATE_TEST_SUITE_P(Both, Transfers, ::testing::Values(Mode::kMemory, Mode::kLoopback),
                         ModeName);

}  // namespace
}  // namespace server::testing
