#include <netinet/in.h>
#include <netinet/tcp.h>

#include <memory>
#include <string>
#include <vector>

#include "net/host_resolver.h"
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
  EXPECT_EQ(s.RemoteHost(), "") << "the host must be given again for a later Connect";
  EXPECT_EQ(s.RemotePort(), listener.Port());
  EXPECT_NE(s.LocalPort(), 0);
  EXPECT_EQ(s.LocalIP(), "127.0.0.1");
  EXPECT_EQ(r.events, (std::vector<std::string>{"Connect"}));
  s.CloseSck();
  EXPECT_EQ(s.State(), SocketState::kClosed);
  EXPECT_EQ(s.RemoteHostIP(), "");
  EXPECT_EQ(s.SocketHandle(), -1);
  EXPECT_EQ(s.RemotePort(), listener.Port()) << "the port stays for a later Connect";
}

TEST_F(ConnectTest, HostNameIsResolvedFirst) {
  RawSocket listener = RawSocket::Listen();
  SocketMaster s;
  Recorder r(s);
  s.Connect("localhost", listener.Port());
  EXPECT_EQ(s.State(), SocketState::kResolvingHost);
  ASSERT_TRUE(Until([&] { return r.Saw("Connect") || r.Saw("Error"); }));
  EXPECT_EQ(r.events, (std::vector<std::string>{"Connect"}));
  EXPECT_EQ(s.RemoteHostIP(), "127.0.0.1");
  s.CloseSck();
}

TEST_F(ConnectTest, StoredHostAndPortAreUsedWhenNotGiven) {
  RawSocket listener = RawSocket::Listen();
  SocketMaster s;
  Recorder r(s);
  s.SetRemoteHost("127.0.0.1");
  s.SetRemotePort(listener.Port());
  s.Connect();
  ASSERT_TRUE(Until([&] { return r.Saw("Connect"); }));
  s.CloseSck();
}

TEST_F(ConnectTest, PortZeroIsRefusedByConnectButAcceptedByTheProperty) {
  SocketMaster s;
  EXPECT_EQ(ExpectError(40014, [&] { s.Connect("127.0.0.1", 0); }), "SocketMaster.Connect");
  EXPECT_EQ(s.State(), SocketState::kClosed);
  s.SetRemotePort(0);
  EXPECT_EQ(s.RemotePort(), 0);
  ExpectError(40014, [&] { s.SetRemotePort(65536); });
  ExpectError(40014, [&] { s.SetRemotePort(-1); });
  ExpectError(40014, [&] { s.SetLocalPort(70000); });
  ExpectError(40014, [&] { s.Connect("127.0.0.1", 65536); });
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
  EXPECT_EQ(r.errors[0].scode, 0);
  EXPECT_EQ(r.errors[0].help_file, "");
  EXPECT_EQ(r.errors[0].help_context, 0);
  EXPECT_FALSE(r.Saw("Connect"));
  Settle();
  EXPECT_EQ(r.events.size(), 1u) << "one failure, one event";
}

TEST_F(ConnectTest, UnreachableNetworkRaisesError10051FromConnectToIP) {
  // The kernel refuses a TCP connect to a multicast group before sending anything.
  SocketMaster s;
  Recorder r(s);
  s.Connect("224.0.0.1", 9);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].number, 10051);
  EXPECT_EQ(r.errors[0].description, "Network is unreachable.");
  EXPECT_EQ(r.errors[0].source, "SocketMaster.ConnectToIP");
  EXPECT_EQ(s.State(), SocketState::kFailed);
  s.CloseSck();
  EXPECT_EQ(s.State(), SocketState::kClosed);
}

TEST_F(ConnectTest, PeerThatNeverAnswersTimesOutWithError10060) {
  // A listener whose accept queue is full drops further handshakes; with one SYN retry
  // the attempt gives up after about three seconds, all on loopback.
  RawSocket listener = RawSocket::Listen(/*backlog=*/0);
  RawSocket filler = RawSocket::Connect(listener.Port());
  Settle(std::chrono::milliseconds(20));
  SocketMaster s;
  Recorder r(s);
  s.Connect("127.0.0.1", listener.Port());
  const int retries = 1;
  ASSERT_EQ(setsockopt(s.SocketHandle(), IPPROTO_TCP, TCP_SYNCNT, &retries, sizeof retries), 0);
  ASSERT_TRUE(Until([&] { return !r.events.empty(); }, std::chrono::milliseconds(15000)));
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].number, 10060);
  EXPECT_EQ(r.errors[0].description, "Connection timed out.");
  EXPECT_EQ(s.State(), SocketState::kFailed);
  s.CloseSck();
}

class StateRulesTest : public LoopTest {
 protected:
  /// Drives `s` into Failed with a refused connection.
  void Fail(SocketMaster& s) {
    s.Connect("127.0.0.1", testing::UnusedPort());
    ASSERT_TRUE(Until([&] { return s.State() == SocketState::kFailed; }));
  }
};

TEST_F(StateRulesTest, FailedRefusesStateBoundMembersUntilCloseSck) {
  SocketMaster s;
  Fail(s);
  EXPECT_EQ(ExpectError(40020, [&] { s.Connect(); }), "SocketMaster.Connect");
  EXPECT_EQ(ExpectError(40020, [&] { s.Bind(); }), "SocketMaster.Bind");
  EXPECT_EQ(ExpectError(40020, [&] { s.Accept(3); }), "SocketMaster.Accept");
  EXPECT_EQ(ExpectError(40020, [&] { s.SetRemoteHost("x"); }), "SocketMaster.RemoteHost");
  EXPECT_EQ(ExpectError(40020, [&] { s.SetRemotePort(1); }), "SocketMaster.RemotePort");
  EXPECT_EQ(ExpectError(40020, [&] { s.SetLocalPort(1); }), "SocketMaster.LocalPort");
  EXPECT_EQ(ExpectError(40020, [&] { s.SetLocalIP("127.0.0.1"); }), "SocketMaster.LocalIP");
  EXPECT_EQ(ExpectError(40020, [&] { s.SetProtocol(SocketProtocol::kUdp); }),
            "SocketMaster.Protocol");
  s.SetTag("still allowed");
  EXPECT_EQ(s.Tag(), "still allowed");
  s.CloseSck();
  EXPECT_EQ(s.State(), SocketState::kClosed);
  s.SetRemoteHost("127.0.0.1");
  s.SetProtocol(SocketProtocol::kUdp);
  s.SetProtocol(SocketProtocol::kTcp);
}

TEST_F(StateRulesTest, FailedObjectCanConnectAgainAfterCloseSck) {
  SocketMaster s;
  Fail(s);
  s.CloseSck();
  RawSocket listener = RawSocket::Listen();
  Recorder r(s);
  s.Connect("127.0.0.1", listener.Port());
  ASSERT_TRUE(Until([&] { return r.Saw("Connect"); }));
  s.CloseSck();
}

TEST_F(StateRulesTest, CloseSckWithoutHandleChangesNothing) {
  SocketMaster s;
  s.SetRemoteHost("example");
  s.SetRemotePort(21);
  s.CloseSck();
  EXPECT_EQ(s.State(), SocketState::kClosed);
  EXPECT_EQ(s.RemoteHost(), "example");
  EXPECT_EQ(s.RemotePort(), 21);
  EXPECT_EQ(s.SocketHandle(), -1);
}

TEST_F(StateRulesTest, TransfersNeedAConnection) {
  SocketMaster s;
  std::string data = "kept";
  EXPECT_EQ(ExpectError(40006, [&] { s.SendData("x"); }), "SocketMaster.SendData");
  EXPECT_EQ(ExpectError(40006, [&] { s.GetData(data); }), "SocketMaster.GetData");
  EXPECT_EQ(ExpectError(40006, [&] { s.PeekData(data); }), "SocketMaster.PeekData");
  EXPECT_EQ(data, "kept");
}

TEST_F(StateRulesTest, ConnectWhileConnectingIsRefusedWithoutDisturbingTheAttempt) {
  RawSocket listener = RawSocket::Listen();
  SocketMaster s;
  Recorder r(s);
  s.Connect("127.0.0.1", listener.Port());
  ExpectError(40020, [&] { s.Connect("127.0.0.1", listener.Port()); });
  ExpectError(40020, [&] { s.Listen(); });
  ASSERT_TRUE(Until([&] { return r.Saw("Connect"); }));
  s.CloseSck();
}

TEST_F(StateRulesTest, LocalHostNameAndAddressAreAnswered) {
  SocketMaster s;
  const std::string name = s.LocalHostName();
  EXPECT_FALSE(name.empty());
  EXPECT_LE(name.size(), 256u);
  s.SetLocalIP("127.0.0.1");
  EXPECT_EQ(s.LocalIP(), "127.0.0.1");
}

}  // namespace
}  // namespace net
