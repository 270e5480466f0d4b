// The switch between the personal folder and the dealers folder against the
// reference server: listing, the usage total that follows, and the read-only
// rules of the dealers folder.
#include <algorithm>
#include <filesystem>

#include "live_server.h"

namespace integration {
namespace {

using session::ListKey;
using session::MessageIcon;

class DealersTest : public LiveServerTest {
 protected:
  void SetUp() override {
    LiveServerTest::SetUp();
    WriteFile(Personal("dealer") / "mine.txt", "1234567");
    Configure(DirectConfig(), "dealer", "pw");
    LogIn();
  }
  std::vector<std::string> RowNames() const {
    std::vector<std::string> names;
    for (const auto& row : View().rows) names.push_back(row.name);
    return names;
  }
  /// Clicks the switch and waits for DEALEROK, the listing and the total.
  void Switch() {
    const int totals = ServerLines("TOTALSIZE -> TOTALSIZE");
    session_->lnkDF_Click();
    EXPECT_FALSE(View().window_enabled);
    EXPECT_EQ(View().cursor, session::Cursor::kHourglass);
    ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE", totals + 1));
    WaitIdle();
    Settle();
  }
  std::vector<std::string> LastRequests(std::size_t n) const {
    const auto all = Requests();
    return {all.end() - static_cast<std::ptrdiff_t>(std::min(n, all.size())), all.end()};
  }
};

TEST_F(DealersTest, SwitchListsTheDealersFolderAndAsksForTheTotal) {
  EXPECT_EQ(session_->UsedBytes(), 7);
  WriteFile(Personal("dealer") / "more.txt", "12345");  // changed meanwhile on the server
  Switch();
  EXPECT_EQ(LastRequests(3),
            (std::vector<std::string>{"DEALERS FOLDER -> DEALEROK",
                                      "LIST|\\|False -> LIST (2 rows)", "TOTALSIZE -> TOTALSIZE"}));
  EXPECT_EQ(session_->UsedBytes(), 12);
  EXPECT_TRUE(session_->InDealersFolder());
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Old", "shared.txt"}));
  EXPECT_FALSE(View().rows[0].blue);
  EXPECT_EQ(View().lblPath.caption, "\\");
  EXPECT_EQ(View().window_caption, "Χώρος συνεργατών");
  EXPECT_EQ(View().lnkDF.caption, "Μετάβαση στον προσωπικό χώρο");
  EXPECT_EQ(View().lnkDF.icon_key, "imgGoToPF");
  EXPECT_TRUE(View().lnkDF.visible);
  EXPECT_EQ(View().dcbConnect.tooltip, "Αποσύνδεση από το χώρο συνεργατών");
  EXPECT_FALSE(View().usage_visible);
  EXPECT_FALSE(View().dcbUpload.enabled);
  EXPECT_FALSE(View().dcbNewFolder.enabled);
  EXPECT_TRUE(log_.Has("Μετάβαση στο χώρο συνεργατών"));
}

TEST_F(DealersTest, DealersFolderIsReadOnly) {
  Switch();
  Select("shared.txt");
  EXPECT_TRUE(View().dcbDownload.enabled);
  EXPECT_FALSE(View().dcbRename.enabled);
  EXPECT_FALSE(View().dcbDelete.enabled);
  session_->lvFiles_KeyDown(ListKey::kF2);
  session_->lvFiles_KeyDown(ListKey::kDelete);
  session_->dcbNewFolder_Click();
  session_->dcbRename_Click();
  session_->dcbDelete_Click();
  Settle();
  EXPECT_TRUE(ui_.name_requests.empty());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(View().dcbNewFolder.enabled);
  EXPECT_FALSE(View().dcbRename.enabled);
  EXPECT_FALSE(View().dcbDelete.enabled);
  EXPECT_EQ(ServerLines("NEWDIR") + ServerLines("RENAME") + ServerLines("DELETE"), 0);
  EXPECT_TRUE(std::filesystem::exists(context_.dealers_root / "shared.txt"));
}

TEST_F(DealersTest, FoldersOfTheDealersFolderAreBrowsed) {
  Switch();
  Select("Old");
  session_->lvFiles_DblClick();
  WaitIdle();
  EXPECT_EQ(Requests().back(), "LIST|\\Old\\|False -> LIST (1 rows)");
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"..", "notes.txt"}));
  EXPECT_EQ(View().lblPath.caption, "\\Old\\");
  EXPECT_FALSE(View().dcbUpload.enabled) << "still the dealers folder";
  EXPECT_FALSE(View().dcbNewFolder.enabled);
  session_->lvFiles_KeyDown(ListKey::kF5);
  ASSERT_TRUE(WaitServerLines("TOTALSIZE -> TOTALSIZE", 2)) << "a refresh asks again";
  WaitIdle();
  session_->lvFiles_KeyDown(ListKey::kBackspace);
  WaitIdle();
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Old", "shared.txt"}));
}

TEST_F(DealersTest, SwitchingBackListsThePersonalTop) {
  Switch();
  Select("Old");
  session_->lvFiles_DblClick();
  WaitIdle();
  Switch();
  EXPECT_EQ(LastRequests(3),
            (std::vector<std::string>{"PERSONAL FOLDER -> DEALEROK",
                                      "LIST|\\|False -> LIST (2 rows)", "TOTALSIZE -> TOTALSIZE"}));
  EXPECT_FALSE(session_->InDealersFolder());
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Manuals", "mine.txt"}));
  EXPECT_EQ(View().lblPath.caption, "\\") << "the switch starts at the top";
  EXPECT_EQ(View().window_caption, "Προσωπικός χώρος");
  EXPECT_EQ(View().lnkDF.caption, "Μετάβαση στο χώρο συνεργατών");
  EXPECT_EQ(View().lnkDF.icon_key, "imgGoToDF");
  EXPECT_EQ(View().dcbConnect.tooltip, "Αποσύνδεση από τον προσωπικό χώρο");
  EXPECT_TRUE(View().usage_visible);
  EXPECT_TRUE(View().dcbUpload.enabled);
  EXPECT_TRUE(View().dcbNewFolder.enabled);
  EXPECT_TRUE(log_.Has("Μετάβαση στον προσωπικό χώρο"));
}

TEST_F(DealersTest, DisconnectInTheDealersFolderNamesIt) {
  Switch();
  session_->dcbConnect_Click();
  EXPECT_TRUE(log_.Has("Αποσύνδεση από το χώρο συνεργατών"));
  EXPECT_FALSE(session_->InDealersFolder());
  EXPECT_EQ(View().window_caption, "Προσωπικός χώρος");
  EXPECT_FALSE(View().lnkDF.visible);
}

class RefusedSwitchTest : public LiveServerTest {};

TEST_F(RefusedSwitchTest, SwitchRefusedByTheServerEndsTheSession) {
  LogIn();  // anna has no dealers access; the switch is hidden from her
  session_->lnkDF_Click();
  ASSERT_TRUE(Until([&] { return !ui_.messages.empty(); }));
  EXPECT_EQ(Requests().back(), "DEALERS FOLDER -> NOPERMISSION");
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kCritical);
  EXPECT_EQ(session_->ClientState(), net::SocketState::kClosed);
  EXPECT_TRUE(View().window_enabled);
  EXPECT_EQ(View().dcbConnect.caption, "Σύνδεση");
}

}  // namespace
}  // namespace integration
