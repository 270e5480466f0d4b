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
  std::string received;
  bool closed = false;
  peer.OnDataArrival = [&](std::int64_t) {
    std::string chunk;
    peer.GetData(chunk);
    received += chunk;
  };
  peer.OnCloseSck = [&] { closed = true; };
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
  ASSERT_TRUE(Until([&] { return received == "hello"; }));
  peer.SendData("world");
  EXPECT_EQ(client.Receive(5), "world");
  client.Close();
  ASSERT_TRUE(Until([&] { return closed; }));
  EXPECT_EQ(peer.State(), SocketState::kClosing);
  peer.CloseSck();
  server_.CloseSck();
}

TEST_F(ListenAcceptTest, SocketMastersTalkToEachOther) {
  StartListening();
  SocketMaster accepted;
  server_.OnConnectionRequest = [&](std::int32_t id) { accepted.Accept(id); };
  SocketMaster client;
  Recorder rc(client);
  client.Connect("127.0.0.1", port_);
  ASSERT_TRUE(
      Until([&] { return rc.Saw("Connect") && accepted.State() == SocketState::kConnected; }));
  client.SendData("ping");
  ASSERT_TRUE(Until([&] { return accepted.BytesReceived() == 4; }));
  std::string got;
  accepted.GetData(got);
  EXPECT_EQ(got, "ping");
  accepted.CloseSck();
  ASSERT_TRUE(Until([&] { return rc.Saw("CloseSck"); }));
  client.CloseSck();
}

TEST_F(ListenAcceptTest, DataAndCloseBeforeAcceptAreParkedAndHandedOver) {
  StartListening();
  SocketMaster owner;
  Recorder r(owner);
  RawSocket client;
  server_.OnConnectionRequest = [&](std::int32_t id) {
    // The owner decides slowly (a modal step runs the loop): the parked object holds
    // what arrives meanwhile.
    EXPECT_TRUE(dispatch::IsAcceptRegistered(id));
    SocketMaster* parked = dispatch::GetAcceptSocket(id);
    ASSERT_NE(parked, nullptr);
    EXPECT_TRUE(parked->IsAcceptClass());
    client.Send("early bytes");
    client.ShutdownWrite();
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
  owner.CloseSck();
  server_.CloseSck();
}

TEST_F(ListenAcceptTest, ConnectionNobodyAcceptsIsClosed) {
  StartListening();
  int requests = 0;
  server_.OnConnectionRequest = [&](std::int32_t) { ++requests; };
  RawSocket client = RawSocket::Connect(port_);
  ASSERT_TRUE(Until([&] { return requests == 1; }));
  EXPECT_EQ(client.Receive(1), "") << "the peer sees an end of stream";
  EXPECT_EQ(dispatch::AcceptCount(), 0u);
  EXPECT_EQ(dispatch::LiveObjectCount(), 1);
  server_.CloseSck();
}

TEST_F(ListenAcceptTest, SeveralWaitingConnectionsAreOfferedOneByOne) {
  StartListening();
  std::vector<std::unique_ptr<SocketMaster>> accepted;
  server_.OnConnectionRequest = [&](std::int32_t id) {
    accepted.push_back(std::make_unique<SocketMaster>());
    accepted.back()->Accept(id);
  };
  std::vector<RawSocket> clients;
  for (int i = 0; i < 4; ++i) clients.push_back(RawSocket::Connect(port_));
  ASSERT_TRUE(Until([&] { return accepted.size() == 4; }));
  for (auto& a : accepted) EXPECT_EQ(a->State(), SocketState::kConnected);
  accepted.clear();
  server_.CloseSck();
}

TEST_F(ListenAcceptTest, AcceptOfAHandleOwnedByAnotherObjectRaises40006) {
  RawSocket listener = RawSocket::Listen();
  SocketMaster client;
  client.Connect("127.0.0.1", listener.Port());
  SocketMaster thief;
  EXPECT_EQ(ExpectError(40006, [&] { thief.Accept(client.SocketHandle()); }),
            "SocketMaster.Accept");
  EXPECT_EQ(thief.SocketHandle(), -1);
  EXPECT_EQ(thief.State(), SocketState::kClosed);
  EXPECT_EQ(dispatch::SocketOwner(client.SocketHandle()), &client);
  client.CloseSck();
}

TEST_F(ListenAcceptTest, ListenAndAcceptNeedTheRightState) {
  StartListening();
  EXPECT_EQ(ExpectError(40020, [&] { server_.Listen(); }), "SocketMaster.Listen");
  EXPECT_EQ(ExpectError(40020, [&] { server_.Accept(5); }), "SocketMaster.Accept");
  server_.CloseSck();
}

TEST_F(ListenAcceptTest, BoundObjectIsOpenAndMayListen) {
  server_.Bind(0, std::string("127.0.0.1"));
  EXPECT_EQ(server_.State(), SocketState::kOpen);
  const int port = server_.LocalPort();
  EXPECT_NE(port, 0);
  server_.Listen();
  EXPECT_EQ(server_.State(), SocketState::kListening);
  EXPECT_EQ(server_.LocalPort(), port);
  RawSocket client = RawSocket::Connect(port);
  int requests = 0;
  server_.OnConnectionRequest = [&](std::int32_t) { ++requests; };
  ASSERT_TRUE(Until([&] { return requests == 1; }));
  server_.CloseSck();
}

TEST_F(ListenAcceptTest, PortInUseIsError10048) {
  RawSocket taken = RawSocket::Listen();
  server_.SetLocalIP("127.0.0.1");
  server_.SetLocalPort(taken.Port());
  ExpectError(10048, [&] { server_.Listen(); });
  server_.CloseSck();
  EXPECT_EQ(server_.State(), SocketState::kClosed);
}

TEST_F(ListenAcceptTest, ARestartedListenerGetsItsPortBackWhileOldConnectionsLinger) {
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
  EXPECT_EQ(again.State(), SocketState::kListening);
  EXPECT_EQ(again.LocalPort(), port_);
}

}  // namespace
}  // namespace net
