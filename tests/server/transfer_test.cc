// UPLOAD and DOWNLOAD: streams, resume, quota, stamps and INUSE.
#include "fixture.h"
#include "server/transfer_files.h"

namespace server::testing {
namespace {

namespace fs = std::filesystem;

class Transfers : public ServerFixture {
 protected:
  /// Sends an UPLOAD request and, when the server agrees, `data`; the last reply.
  static std::string Upload(TestClient& client, const std::string& request,
                            const std::string& data) {
    const std::string reply = Ask(client, request);
    if (reply != "DO UPLOAD") return reply;
    client.Send(data);
    return client.ReadFrame();
  }
};

TEST_P(Transfers, UploadStoresSplitOrGluedBytesAndTheGivenStamp) {
  auto client = Login();
  const std::string data = test_common::RandomBytes(10, 1);
  EXPECT_EQ(Ask(*client, "UPLOAD|1|10|\\νέο.bin|20240131120005"), "DO UPLOAD");
  client->Send(data.substr(0, 4));
  client->Send(data.substr(4));
  EXPECT_EQ(client->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(ReadFile(Personal() / "νέο.bin"), data);
  EXPECT_EQ(ModificationStamp(Personal() / "νέο.bin"), "20240131120005");
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1015");
  // Data glued to the request is file data; what follows it is the next message.
  client->Send(Framed("UPLOAD|1|5|\\a.bin|20240131120000") + "12345" + "PING");
  EXPECT_EQ(client->ReadFrame(), "DO UPLOAD");
  EXPECT_EQ(client->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(client->ReadBytes(4), "PONG");
  EXPECT_EQ(ReadFile(Personal() / "a.bin"), "12345");
}

TEST_P(Transfers, UploadStartResumesOrReplacesAndBadStartsOrTargetsAreRefused) {
  WriteFile(Personal() / "part.bin", "abcd");
  auto client = Login();
  const struct {
    const char* request;
    const char* data;
    const char* reply;
    const char* file;
    const char* stored;
  } kCases[] = {
      {"UPLOAD|6|10|\\part.bin|20240131120000", "", "UNEXPECTED", "part.bin", "abcd"},
      {"UPLOAD|2|10|\\missing.bin|20240131120000", "", "UNEXPECTED", "missing.bin", ""},
      {"UPLOAD|5|10|\\part.bin|20240131120000", "efghij", "UPLOADOK", "part.bin", "abcdefghij"},
      {"UPLOAD|1|3|\\report.pdf|20240131120000", "new", "UPLOADOK", "report.pdf", "new"},
      {"UPLOAD|1|2|\\REPORT.PDF|20240131120000", "ab", "UPLOADOK", "report.pdf", "ab"},
      {"UPLOAD|1|3|\\Έγγραφα|20240131120000", "", "FILEEXISTS", "Έγγραφα/σημειώσεις.txt", "hello"},
      {"UPLOAD|1|3|\\Λείπει\\a.bin|20240131120000", "", "FILENOTFOUND", "Λείπει", ""},
      {"UPLOAD|1|3|\\Έγγραφα\\|20240131120000", "", "FILENOTFOUND", "Έγγραφα/σημειώσεις.txt",
       "hello"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Upload(*client, c.request, c.data), c.reply) << c.request;
    EXPECT_EQ(ReadFile(Personal() / c.file), c.stored) << c.request;
  }
  EXPECT_FALSE(fs::exists(Personal() / "REPORT.PDF"));
  EXPECT_FALSE(fs::exists(Personal() / "missing.bin"));
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|17");
}

TEST_P(Transfers, QuotaRefusesWhatDoesNotFitButCountsAReplacedCopyOnce) {
  // bob: quota 5000, nothing stored yet.
  WriteFile(Personal("bob") / "old.bin", std::string(4000, 'o'));
  auto client = Login("bob", "κωδικός");
  EXPECT_EQ(Ask(*client, "UPLOAD|1|1001|\\new.bin|20240131120000"), "UNEXPECTED");
  EXPECT_FALSE(fs::exists(Personal("bob") / "new.bin"));
  EXPECT_EQ(Ask(*client, "UPLOAD|1|5001|\\old.bin|20240131120000"), "UNEXPECTED");
  // Replacing the 4000-byte copy with 5000 bytes fits exactly.
  EXPECT_EQ(Upload(*client, "UPLOAD|1|5000|\\old.bin|20240131120000", std::string(5000, 'n')),
            "UPLOADOK");
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
  EXPECT_EQ(Upload(*Login(), "UPLOAD|4|10|\\cut.bin|20240131120000", "3456789"), "UPLOADOK");
  EXPECT_EQ(ReadFile(Personal() / "cut.bin"), "0123456789");
}

TEST_P(Transfers, DownloadSendsTheFileFromTheAgreedStartOrAnErrorReply) {
  const std::string data = test_common::RandomBytes(1000, 2);
  WriteFile(Personal() / "report.pdf", data);
  auto client = Login();
  const struct {
    const char* request;
    const char* reply;
    const char* start;
    std::string bytes;
  } kCases[] = {
      {"DOWNLOAD|1|\\report.pdf|False", "DO DOWNLOAD", "1", data},
      {"DOWNLOAD|401|\\REPORT.pdf|False", "DO DOWNLOAD", "401", data.substr(400)},
      {"DOWNLOAD|1001|\\report.pdf|False", "DO DOWNLOAD", "1001", ""},  // nothing left to send
      {"DOWNLOAD|1|\\manuals\\guide.txt|True", "DO DOWNLOAD", "1", "guide"},
      {"DOWNLOAD|1|\\nothing.bin|False", "FILENOTFOUND", nullptr, ""},
      {"DOWNLOAD|1|\\Έγγραφα|False", "FILENOTFOUND", nullptr, ""},
      {"DOWNLOAD|1002|\\report.pdf|False", "UNEXPECTED", nullptr, ""},
  };
  // Each next reply is that of the next request: nothing follows a file.
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.request);
    ASSERT_EQ(Ask(*client, c.request), c.reply);
    if (c.start == nullptr) continue;
    client->Send(Framed(std::string("DO DOWNLOAD|") + c.start));
    EXPECT_TRUE(client->ReadBytes(c.bytes.size()) == c.bytes);
  }
  EXPECT_EQ(Ask(*client, "TOTALSIZE"), "TOTALSIZE|1005");
  // An answer with another start ends the connection.
  EXPECT_EQ(Ask(*client, "DOWNLOAD|1|\\report.pdf|False"), "DO DOWNLOAD");
  client->Send(Framed("DO DOWNLOAD|2"));
  EXPECT_TRUE(client->WaitClosed());
}

TEST_P(Transfers, AFileOrFolderAnotherSessionWritesIsInUseButNotItsSiblings) {
  WriteFile(Personal() / "Έγγραφα" / "busy", "sibling");
  auto writer = Login();
  EXPECT_EQ(Ask(*writer, "UPLOAD|1|10|\\Έγγραφα\\busy.bin|20240131120000"), "DO UPLOAD");
  writer->Send("01234");
  auto other = Login();
  ExpectReplies(*other, {
                            {"UPLOAD|1|3|\\Έγγραφα\\busy.bin|20240131120000", "INUSE"},
                            {"DOWNLOAD|1|\\Έγγραφα\\busy.bin|False", "INUSE"},
                            {"DELETE|\\Έγγραφα", "INUSE"},
                            {"RENAME|\\Έγγραφα\\busy.bin|\\Έγγραφα\\b.bin", "INUSE"},
                            // A name that the busy one starts with is another file.
                            {"DELETE|\\Έγγραφα\\busy", "DELETEOK"},
                        });
  writer->Send("56789");
  EXPECT_EQ(writer->ReadFrame(), "UPLOADOK");
  EXPECT_EQ(Ask(*other, "DOWNLOAD|1|\\Έγγραφα\\busy.bin|False"), "DO DOWNLOAD");
}

TEST_P(Transfers, ReadersShareAFileThatNobodyMayReplaceMeanwhile) {
  context_.config.max_sessions_per_user = 3;
  auto first = Login();
  auto second = Login();
  auto writer = Login();
  EXPECT_EQ(Ask(*first, "DOWNLOAD|1|\\report.pdf|False"), "DO DOWNLOAD");
  EXPECT_EQ(Ask(*second, "DOWNLOAD|1|\\report.pdf|False"), "DO DOWNLOAD");
  EXPECT_EQ(Ask(*writer, "UPLOAD|1|3|\\report.pdf|20240131120000"), "INUSE");
  EXPECT_EQ(Ask(*writer, "DELETE|\\report.pdf"), "INUSE");
  second->Send(Framed("DO DOWNLOAD|1"));
  EXPECT_EQ(second->ReadBytes(1000), std::string(1000, 'r'));
  EXPECT_EQ(Ask(*writer, "DELETE|\\report.pdf"), "INUSE") << "the first still reads it";
  first->Send(Framed("DO DOWNLOAD|1"));
  EXPECT_EQ(first->ReadBytes(1000), std::string(1000, 'r'));
  EXPECT_EQ(Ask(*first, "TOTALSIZE"), "TOTALSIZE|1005");
  EXPECT_EQ(Ask(*writer, "DELETE|\\report.pdf"), "DELETEOK");
}

INSTANTIATE_TEST_SUITE_P(Both, Transfers, kBothModes, ModeName);

}  // namespace
}  // namespace server::testing
