#include <memory>
#include <string>
#include <vector>

#include "net/socket_errors.h"
#include "net/socket_master.h"
#include "net_test_support.h"
#include "support/error.h"

namespace net {
namespace {

using testing::LoopTest;
using testing::RawSocket;

/// Records every event of a socket, in order.
struct Recorder {
  explicit Recorder(SocketMaster& s) {
    s.OnConnect = [this] { events.push_back("Connect"); };
    s.OnCloseSck = [this] { events.push_back("CloseSck"); };
    s.OnDataArrival = [this](std::int64_t total) {
      events.push_back("DataArrival");
      totals.push_back(total);
    };
    s.OnSendComplete = [this] { events.push_back("SendComplete"); };
    s.OnSendProgress = [this](std::int64_t sent, std::int64_t remaining) {
      events.push_back("SendProgress");
      progress.emplace_back(sent, remaining);
    };
    s.OnError = [this](SocketErrorEvent& e) {
      events.push_back("Error");
      errors.push_back(e);
    };
  }
  bool Saw(const std::string& name) const {
    for (const auto& e : events) {
      if (e == name) return true;
    }
    return false;
  }
  std::vector<std::string> events;
  std::vector<std::int64_t> totals;
  std::vector<std::pair<std::int64_t, std::int64_t>> progress;
  std::vector<SocketErrorEvent> errors;
};

class ConnectTest : public LoopTest {};

TEST_F(ConnectTest, DottedAddressGoesStraightToConnectingThenConnected) {
  RawSocket listener = RawSocket::Listen();
  SocketMaster s;
  Recorder r(s);
  s.Connect("127.0.0.1", listener.Port());
  EXPECT_EQ(s.State(), SocketState::kConnecting);
  EXPECT_NE(s.SocketHandle(), -1);
  ASSERT_TRUE(Until([&] { return r.Saw("Connect"); }));
  EXPECT_EQ(s.State(), SocketState::kConnected);
  EXPECT_EQ(s.RemoteHostIP(), "127.0.0.1");
  EXPECT_EQ(s.RemoteHost(), "");
  EXPECT_EQ(s.RemotePort(), listener.Port());
  EXPECT_NE(s.LocalPort(), 0);
  EXPECT_EQ(s.LocalIP(), "127.0.0.1");
  s.CloseSck();
  EXPECT_EQ(s.State(), SocketState::kClosed);
  EXPECT_EQ(s.RemoteHostIP(), "");
  EXPECT_EQ(s.SocketHandle(), -1);
}

TEST_F(ConnectTest, RefusedConnectionRaisesError10061FromPostSocket) {
  SocketMaster s;
  Recorder r(s);
  s.Connect("127.0.0.1", testing::UnusedPort());
  ASSERT_TRUE(Until([&] { return r.Saw("Error"); }));
  EXPECT_EQ(s.State(), SocketState::kFailed);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].number, 10061);
  EXPECT_EQ(r.errors[0].description, "Connection refused.");
  EXPECT_EQ(r.errors[0].source, "SocketMaster.PostSocket");
  EXPECT_FALSE(r.Saw("Connect"));
}

}  // namespace
}  // namespace net
