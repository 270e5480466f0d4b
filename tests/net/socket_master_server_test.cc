#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "net/dispatch.h"
#include "net/socket_errors.h"
#include "net/socket_master.h"
#include "net_test_support.h"
#include "support/error.h"

namespace net {
namespace {

using testing::ExpectError;
using testing::LoopTest;
using testing::RawSocket;
using testing::Recorder;

class ListenAcceptTest : public LoopTest {
 protected:
  /// A listener on 127.0.0.1 with a system-chosen port.
  void StartListening() {
    server_.SetLocalIP("127.0.0.1");
    server_.Listen();
    ASSERT_EQ(server_.State(), SocketState::kListening);
    port_ = server_.LocalPort();
    ASSERT_NE(port_, 0);
  }

  SocketMaster server_;
  int port_ = 0;
};

TEST_F(ListenAcceptTest, AcceptedConnectionCarriesDataBothWays) {
  server_.SetRemoteHost("kept");
  StartListening();
  SocketMaster peer;
  Recorder r(peer);
  int seen_port = -1;
  std::string seen_ip = "unset";
  std::string seen_host = "unset";
  server_.OnConnectionRequest = [&](std::int32_t id) {
    seen_port = server_.RemotePort();
    seen_ip = server_.RemoteHostIP();
    seen_host = server_.RemoteHost();
    peer.Accept(id);
  };
  RawSocket client = RawSocket::Connect(port_);
  ASSERT_TRUE(Until([&] { return peer.State() == SocketState::kConnected; }));
  EXPECT_EQ(seen_ip, "127.0.0.1");
  EXPECT_EQ(seen_host, "");
  EXPECT_NE(seen_port, port_);
  EXPECT_EQ(server_.RemoteHostIP(), "") << "the caller's endpoint shows only during the event";
  EXPECT_EQ(server_.RemoteHost(), "kept");
  EXPECT_EQ(peer.RemoteHostIP(), "127.0.0.1");
  EXPECT_EQ(peer.LocalPort(), port_);
  client.Send("hello");
  ASSERT_TRUE(Until([&] { return peer.BytesReceived() == 5; }));
  std::string got;
  peer.GetData(got);
  EXPECT_EQ(got, "hello");
  peer.SendData("world");
  EXPECT_EQ(client.Receive(5), "world");
  client.Close();
  ASSERT_TRUE(Until([&] { return r.Saw("CloseSck"); }));
  EXPECT_EQ(peer.State(), SocketState::kClosing);
}

TEST_F(ListenAcceptTest, DataAndCloseBeforeAcceptAreParkedAndHandedOver) {
  StartListening();
  SocketMaster owner;
  Recorder r(owner);
  RawSocket client;
  server_.OnConnectionRequest = [&](std::int32_t id) {
    // The owner decides slowly (a modal step runs the loop): the parked object holds
    // what arrives meanwhile.
    SocketMaster* parked = dispatch::GetAcceptSocket(id);
    ASSERT_NE(parked, nullptr);
    EXPECT_TRUE(parked->IsAcceptClass());
    client.Send("early bytes");
    shutdown(client.fd(), SHUT_WR);
    loop_.RunUntil([&] { return parked->State() == SocketState::kClosing; }, testing::kPatience);
    EXPECT_EQ(parked->State(), SocketState::kClosing);
    owner.Accept(id);
    EXPECT_FALSE(dispatch::IsAcceptRegistered(id));
  };
  client = RawSocket::Connect(port_);
  ASSERT_TRUE(Until([&] { return r.Saw("CloseSck"); }));
  EXPECT_EQ(r.events, (std::vector<std::string>{"DataArrival", "CloseSck"}));
  EXPECT_EQ(r.totals[0], 11);
  EXPECT_EQ(owner.State(), SocketState::kClosing);
  EXPECT_EQ(dispatch::AcceptCount(), 0u);
}

TEST_F(ListenAcceptTest, WaitingConnectionsAreOfferedOneByOneAndThoseNotAcceptedClosed) {
  StartListening();
  int requests = 0;
  std::vector<std::unique_ptr<SocketMaster>> accepted;
  server_.OnConnectionRequest = [&](std::int32_t id) {
    if (++requests % 2 == 0) return;
    accepted.push_back(std::make_unique<SocketMaster>());
    accepted.back()->Accept(id);
    accepted.back()->SendData("hi");
  };
  std::vector<RawSocket> clients;
  for (int i = 0; i < 4; ++i) clients.push_back(RawSocket::Connect(port_));
  ASSERT_TRUE(Until([&] { return requests == 4; }));
  std::vector<std::string> answers;
  for (RawSocket& c : clients) answers.push_back(c.Receive(2));
  std::sort(answers.begin(), answers.end());
  EXPECT_EQ(answers, (std::vector<std::string>{"", "", "hi", "hi"})) << "an end of stream or data";
  EXPECT_EQ(dispatch::AcceptCount(), 0u);
  EXPECT_EQ(dispatch::LiveObjectCount(), 3);
}

TEST_F(ListenAcceptTest, AcceptAndListenNeedAFreeHandleAndTheRightState) {
  RawSocket listener = RawSocket::Listen();
  SocketMaster client;
  client.Connect("127.0.0.1", listener.Port());
  SocketMaster thief;
  EXPECT_EQ(ExpectError(40006, [&] { thief.Accept(client.SocketHandle()); }),
            "SocketMaster.Accept");
  EXPECT_EQ(thief.SocketHandle(), -1);
  EXPECT_EQ(thief.State(), SocketState::kClosed);
  EXPECT_EQ(dispatch::SocketOwner(client.SocketHandle()), &client);
  StartListening();
  EXPECT_EQ(ExpectError(40020, [&] { server_.Listen(); }), "SocketMaster.Listen");
  EXPECT_EQ(ExpectError(40020, [&] { server_.Accept(5); }), "SocketMaster.Accept");
}

TEST_F(ListenAcceptTest, PortOfALiveListenerIs10048ButABoundOrLingeringOneIsUsable) {
  RawSocket taken = RawSocket::Listen();
  SocketMaster blocked;
  blocked.SetLocalIP("127.0.0.1");
  blocked.SetLocalPort(taken.Port());
  ExpectError(10048, [&] { blocked.Listen(); });
  blocked.CloseSck();
  // A bound object is open and may listen on its port.
  blocked.Bind(0, std::string("127.0.0.1"));
  EXPECT_EQ(blocked.State(), SocketState::kOpen);
  const int bound = blocked.LocalPort();
  blocked.Listen();
  EXPECT_EQ(blocked.State(), SocketState::kListening);
  EXPECT_EQ(blocked.LocalPort(), bound);
  int requests = 0;
  blocked.OnConnectionRequest = [&](std::int32_t) { ++requests; };
  RawSocket caller = RawSocket::Connect(bound);
  ASSERT_TRUE(Until([&] { return requests == 1; }));

  StartListening();
  SocketMaster peer;
  server_.OnConnectionRequest = [&](std::int32_t id) { peer.Accept(id); };
  RawSocket client = RawSocket::Connect(port_);
  ASSERT_TRUE(Until([&] { return peer.State() == SocketState::kConnected; }));
  // The listening side closes first, so its end of the connection lingers.
  peer.CloseSck();
  server_.CloseSck();
  client.Close();
  SocketMaster again;
  again.SetLocalIP("127.0.0.1");
  again.SetLocalPort(port_);
  EXPECT_NO_THROW(again.Listen());
  EXPECT_EQ(again.LocalPort(), port_);
}

}  // namespace
}  // namespace net
