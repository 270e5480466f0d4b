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
  std::string seen_ip;
  server_.OnConnectionRequest = [&](std::int32_t id) {
    seen_port = server_.RemotePort();
    seen_ip = server_.RemoteHostIP();
    peer.Accept(id);
  };
  RawSocket client = RawSocket::Connect(port_);
  ASSERT_TRUE(Until([&] { return peer.State() == SocketState::kConnected; }));
  EXPECT_EQ(seen_ip, "127.0.0.1");
  EXPECT_NE(seen_port, port_);
  EXPECT_EQ(server_.RemoteHostIP(), "") << "the caller's endpoint is shown only during the event";
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

}  // namespace
}  // namespace net
