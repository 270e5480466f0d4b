// A command the user gives between LOGINOK and the first listing (the window
// is enabled then) must not put off the log-in time chain: the first listing
// still asks for the log-in time, and the chain runs to PCINFO.
#include <functional>
#include <utility>
#include <vector>

#include "session_fixture.h"

namespace session {
namespace {

struct EarlyCommand {
  const char* name;
  const char* login_ok;
  /// Whether the window offers the command right after LOGINOK.
  std::function<bool(const MainViewState&)> offered;
  std::function<void(FolderSession&)> give;
  /// The request the command sends.
  const char* request;
  /// The server's answers to it, each with the request the client sends next.
  std::vector<std::pair<const char*, const char*>> exchange;
};

TEST_F(SessionTest, CommandBeforeTheFirstListingKeepsTheLoginChain) {
  const EarlyCommand cases[] = {
      {"refresh",
       "LOGINOK|100|1000|False|False",
       [](const MainViewState& v) { return v.dcbRefresh.enabled; },
       [](FolderSession& s) { s.dcbRefresh_Click(); },
       "LIST|\\|False",
       {{"LIST|a.txt|1|20260101000000", "TOTALSIZE"}}},
      {"switch to the dealers folder",
       "LOGINOK|100|1000|True|False",
       [](const MainViewState& v) { return v.lnkDF.visible; },
       [](FolderSession& s) { s.lnkDF_Click(); },
       "DEALERS FOLDER",
       {{"DEALEROK", "LIST|\\|False"}, {"LIST|shared.txt|5|20260101000000", "TOTALSIZE"}}},
  };
  for (const EarlyCommand& c : cases) {
    SCOPED_TRACE(c.name);
    LogInUntilList(c.login_ok);
    ExpectFrame("LIST|\\|False");
    ASSERT_TRUE(View().window_enabled);
    ASSERT_TRUE(c.offered(View()));
    c.give(*session_);
    ExpectFrame(c.request);

    peer_->SendFrame("LIST|a.txt|1|20260101000000");  // the first listing
    ExpectFrame("MYLOGINTIME");
    EXPECT_FALSE(View().window_enabled) << "the chain keeps the window busy";
    for (const auto& [reply, next] : c.exchange) {
      peer_->SendFrame(reply);
      ExpectFrame(next);
    }
    peer_->SendFrame("LOGINTIME|20261206101500");
    ExpectFrame("SCHCLEANUPINFO");
    peer_->SendFrame("SCHCLEANUPINFO|0|7");
    ExpectFrame("PCINFO|Debian GNU/Linux 12 (bookworm)|Test CPU @ 2.00GHz|8192|1536|1.00.0");
    ASSERT_TRUE(Until([&] { return session_->LoggedIn() && View().window_enabled; }));
    EXPECT_EQ(session_->LoginTime(), "20261206101500");
    Settle();
    EXPECT_EQ(peer_->Take(), "") << "the chain runs once";

    session_->dcbConnect_Click();  // disconnect for the next case
    ASSERT_EQ(session_->ClientState(), net::SocketState::kClosed);
  }
}

}  // namespace
}  // namespace session
