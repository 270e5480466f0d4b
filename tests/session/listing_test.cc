// What the file list shows and tells its view: tolerant LIST rows, the linked
// flag when going up, and the row change notifications.
#include <filesystem>

#include "session_fixture.h"
#include "support/file_stamp.h"

namespace session {
namespace {

using Kind = RowsChange::Kind;

/// Records each notification with the row names the session showed then.
class RecordingRowsObserver : public RowsObserver {
 public:
  struct Event {
    bool before;
    RowsChange change;
    std::vector<std::string> names;
  };
  explicit RecordingRowsObserver(const MainViewState& view) : view_(view) {}
  void RowsAboutToChange(const RowsChange& change) override { Record(true, change); }
  void RowsChanged(const RowsChange& change) override { Record(false, change); }

  /// The pairs seen so far, checked to come as about-to-change then changed.
  std::vector<std::pair<Event, Event>> TakePairs() {
    std::vector<std::pair<Event, Event>> pairs;
    for (std::size_t i = 0; i + 1 < events.size(); i += 2) {
      EXPECT_TRUE(events[i].before);
      EXPECT_FALSE(events[i + 1].before);
      EXPECT_EQ(events[i].change.kind, events[i + 1].change.kind);
      pairs.emplace_back(events[i], events[i + 1]);
    }
    EXPECT_EQ(events.size() % 2, 0u) << "an unpaired notification";
    events.clear();
    return pairs;
  }
  std::vector<Event> events;

 private:
  void Record(bool before, const RowsChange& change) {
    Event e{before, change, {}};
    for (const auto& row : view_.rows) e.names.push_back(row.name);
    events.push_back(std::move(e));
  }
  const MainViewState& view_;
};

using Names = std::vector<std::string>;

class ListingTest : public LocalFilesTest {};

TEST_F(ListingTest, RowsWithExtraFieldsOrOddStampsAreShownNotFatal) {
  LogIn(
      "odd.txt|5|2026\r\n"
      "extra.txt|7|20260101000000|\r\n"
      "more.txt|7|20260101000000|x|y\r\n"
      "Docs|0||");
  ASSERT_EQ(View().rows.size(), 4u);
  EXPECT_EQ(session_->ClientState(), net::SocketState::kConnected);
  EXPECT_TRUE(log_.errors.empty());
  EXPECT_EQ(View().rows[0].modified_text, "") << "a stamp that is no date shows no date";
  EXPECT_EQ(View().rows[0].size_text, "5 bytes");
  EXPECT_FALSE(View().rows[0].is_folder);
  EXPECT_EQ(session_->RowStamps()[0], "");
  EXPECT_EQ(session_->RowStamps()[1], "20260101000000");
  EXPECT_FALSE(View().rows[2].blue) << "a file row carries no link";
  EXPECT_TRUE(View().rows[3].is_folder);

  // Its download completes; there is no stamp to give the local file.
  const std::string local = Write("odd.txt", "");
  ui_.exists_answers.push_back(ExistsAnswer::kReplace);
  Select("odd.txt");
  session_->DownloadFile(local);
  ExpectFrame("DOWNLOAD|1|\\odd.txt|False");
  peer_->SendFrame("DO DOWNLOAD");
  ExpectFrame("DO DOWNLOAD|1");
  peer_->Send("abcde");
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(log_.errors.empty());
  EXPECT_EQ(std::filesystem::file_size(local), 5u);
}

TEST_F(ListingTest, GoingUpWithALinkedFolderRowSelectedListsAPlainFolder) {
  LogIn("Manuals|0||\\manuals\\");
  Select("Manuals");
  session_->lvFiles_KeyDown(ListKey::kEnter);
  ExpectFrame("LIST|\\manuals\\|True");
  Reply("LIST|Shared|0||\\shared\\");  // a linked folder inside the link
  Select("Shared");
  session_->lvFiles_KeyDown(ListKey::kBackspace);
  // Whether a link is in force decides the flag, not the row that happens
  // to be selected.
  ExpectFrame("LIST|\\|False");
  Reply("LIST|Manuals|0||\\manuals\\");
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_TRUE(View().dcbUpload.enabled);
  EXPECT_TRUE(View().dcbNewFolder.enabled);
}

TEST_F(ListingTest, EveryRowChangeIsToldBeforeAndAfter) {
  RecordingRowsObserver rows(View());
  session_->SetRowsObserver(&rows);
  const int generation = View().rows_generation;
  LogIn("a.txt|1|20260101000000\r\nb.txt|2|20260101000000", "LOGINOK|3|1000|False|False");
  auto pairs = rows.TakePairs();
  ASSERT_EQ(pairs.size(), 1u) << "one pair for the whole listing";
  EXPECT_EQ(pairs[0].first.change.kind, Kind::kReset);
  EXPECT_EQ(pairs[0].first.names, Names{});
  EXPECT_EQ(pairs[0].second.names, (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(pairs[0].second.change.count, 2);
  EXPECT_EQ(View().rows_generation, generation + 1);

  ui_.names.push_back("New");
  session_->dcbNewFolder_Click();
  ExpectFrame("NEWDIR|\\New");
  Reply("NEWDIROK");
  pairs = rows.TakePairs();
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].first.change.kind, Kind::kInserted);
  EXPECT_EQ(pairs[0].first.change.first, 2);
  EXPECT_EQ(pairs[0].first.change.count, 1);
  EXPECT_EQ(pairs[0].first.names, (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(pairs[0].second.names, (Names{"a.txt", "b.txt", "New"}));

  Select("a.txt");
  ui_.names.push_back("c.txt");
  session_->dcbRename_Click();
  ExpectFrame("RENAME|\\a.txt|\\c.txt");
  Reply("RENAMEOK");
  pairs = rows.TakePairs();
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].first.change.kind, Kind::kChanged);
  EXPECT_EQ(pairs[0].first.change.first, 0);
  EXPECT_EQ(pairs[0].first.names[0], "a.txt");
  EXPECT_EQ(pairs[0].second.names[0], "c.txt");

  Select("b.txt");
  ui_.answers.push_back(MessageAnswer::kYes);
  session_->dcbDelete_Click();
  ExpectFrame("DELETE|\\b.txt");
  Reply("DELETEOK");
  pairs = rows.TakePairs();
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].first.change.kind, Kind::kRemoved);
  EXPECT_EQ(pairs[0].first.change.first, 1);
  EXPECT_EQ(pairs[0].first.names, (Names{"c.txt", "b.txt", "New"}));
  EXPECT_EQ(pairs[0].second.names, (Names{"c.txt", "New"}));

  // A new file, then the same file replaced.
  const std::string local = Write("up.txt", "12345");
  for (const bool replace : {false, true}) {
    if (replace) ui_.exists_answers.push_back(ExistsAnswer::kReplace);
    session_->UploadFile(local);
    ExpectFrame("UPLOAD|1|5|\\up.txt|" + support::LastWriteStamp(local).value());
    peer_->SendFrame("DO UPLOAD");
    Expect("12345");
    peer_->SendFrame("UPLOADOK");
    ASSERT_TRUE(WaitIdle());
    pairs = rows.TakePairs();
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].first.change.kind, replace ? Kind::kChanged : Kind::kInserted);
    EXPECT_EQ(pairs[0].first.change.first, 2);
    EXPECT_EQ(pairs[0].second.names, (Names{"c.txt", "New", "up.txt"}));
  }

  // A refresh and a disconnect each replace the rows in one pair.
  session_->dcbRefresh_Click();
  ExpectFrame("LIST|\\|False");
  peer_->SendFrame("LIST|z.txt|1|20260101000000");
  ExpectFrame("TOTALSIZE");
  session_->dcbConnect_Click();  // disconnect
  pairs = rows.TakePairs();
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].first.change.kind, Kind::kReset);
  EXPECT_EQ(pairs[0].first.names, (Names{"c.txt", "New", "up.txt"}));
  EXPECT_EQ(pairs[0].second.names, (Names{"z.txt"}));
  EXPECT_EQ(pairs[1].first.change.kind, Kind::kReset);
  EXPECT_EQ(pairs[1].first.names, (Names{"z.txt"}));
  EXPECT_EQ(pairs[1].second.names, Names{});
  EXPECT_EQ(View().rows_generation, generation + 3);
  session_->SetRowsObserver(nullptr);
}

// ---- Proxy ----

TEST_F(ListingTest, ConnectUsesTheProxySetWhileTheProgramRuns) {
  testing::ScriptedPeer direct;  // the parameters host
  SessionConfig config = session_->Config();
  config.server_name.clear();
  config.server_port = 0;
  config.parameters_port = direct.Port();
  Configure(config);

  session_->SetProxy(1, "127.0.0.1", peer_->Port());  // the scripted peer plays the proxy
  session_->dcbConnect_Click();
  ASSERT_TRUE(Until([&] { return peer_->received.find("\r\n\r\n") != std::string::npos; }));
  EXPECT_EQ(peer_->received.rfind("GET http://127.0.0.1/webftp/pf.txt HTTP/1.1\r\n", 0), 0u)
      << peer_->received;
  EXPECT_EQ(direct.connections, 0);
  EXPECT_TRUE(log_.Has("Ανάκτηση παραμέτρων σύνδεσης μέσω proxy "));

  session_->dcbConnect_Click();  // cancel the attempt
  peer_->received.clear();
  session_->SetProxy(0, "", 8080);
  session_->dcbConnect_Click();
  ASSERT_TRUE(Until([&] { return direct.received.find("\r\n\r\n") != std::string::npos; }));
  EXPECT_EQ(direct.received.rfind("GET /webftp/pf.txt HTTP/1.1\r\n", 0), 0u) << direct.received;
  EXPECT_EQ(peer_->connections, 1);
  EXPECT_EQ(session_->Config().proxy_type, 0);
}

}  // namespace
}  // namespace session
