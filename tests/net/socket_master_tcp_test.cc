#include <netdb.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/socket_api.h"
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

TEST(SocketErrors, ErrnoAndLookupResultsMapToTheNumbersOwnersTest) {
  const std::pair<int, int> from_errno[] = {
      {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},     {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},
      {ECONNRESET, 10054},   {EPIPE, 10054},         {EAGAIN, 10035},       {EINPROGRESS, 10035},
      {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049}, {EMFILE, 10024},       {0, 0},
  };
  for (const auto& [e, number] : from_errno) EXPECT_EQ(SocketErrorFromErrno(e), number) << e;
  const std::pair<int, int> from_lookup[] = {
      {0, 0}, {EAI_NONAME, 11001}, {EAI_AGAIN, 11002}, {EAI_FAIL, 11003}};
  for (const auto& [r, number] : from_lookup) EXPECT_EQ(SocketErrorFromLookup(r, 0), number) << r;
  EXPECT_EQ(SocketErrorFromLookup(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(SocketErrors, EveryMappedNumberHasItsOwnTextAndOthersAreUnknown) {
  for (int e = 1; e < 200; ++e) {
    const int number = SocketErrorFromErrno(e);
    EXPECT_NE(GetErrorDescription(number), "Unknown error.") << "errno " << e << " -> " << number;
  }
  for (int number : {10059, 0, 10066, -1}) {
    EXPECT_EQ(GetErrorDescription(number), "Unknown error.") << number;
  }
}

TEST(PortWords, KeepTheBitsOfEveryValidPortAndRefuseOthersWithOverflow6) {
  EXPECT_EQ(ToPortWord(32767), 32767);
  EXPECT_EQ(ToPortWord(32768), -32768);
  EXPECT_EQ(ToPortWord(65535), -1);
  for (std::int32_t port : {0, 1, 21, 32767, 32768, 50000, 65535}) {
    EXPECT_EQ(FromPortWord(ToPortWord(port)), port);
  }
  for (std::int32_t port : {-1, 65536, 100000}) {
    SCOPED_TRACE(port);
    ExpectError(6, [&] { ToPortWord(port); });
  }
}

TEST(SocketApi, DottedAddressesParseLikeTheClassicParser) {
  std::uint32_t a = 0;
  ASSERT_TRUE(sys::ParseDotted("127.1", &a));
  EXPECT_EQ(sys::FormatDotted(a), "127.0.0.1");
  ASSERT_TRUE(sys::ParseDotted("10.20.30.40", &a));
  EXPECT_EQ(sys::FormatDotted(a), "10.20.30.40");
  for (const char* refused : {"255.255.255.255", "localhost", "", "1.2.3.4.5"}) {
    EXPECT_FALSE(sys::ParseDotted(refused, &a)) << refused;
  }
  EXPECT_EQ(sys::ResolveNow("", &a), 11001);
}

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

TEST_F(ConnectTest, ClosedObjectChecksPortsAndNeedsAConnectionForTransfers) {
  SocketMaster s;
  EXPECT_EQ(ExpectError(40014, [&] { s.Connect("127.0.0.1", 0); }), "SocketMaster.Connect");
  ExpectError(40014, [&] { s.Connect("127.0.0.1", 65536); });
  s.SetRemotePort(0);  // the property takes what Connect refuses
  ExpectError(40014, [&] { s.SetRemotePort(65536); });
  ExpectError(40014, [&] { s.SetRemotePort(-1); });
  ExpectError(40014, [&] { s.SetLocalPort(70000); });
  s.SetRemoteHost("example");
  s.SetRemotePort(21);
  s.CloseSck();  // without a handle: changes nothing
  EXPECT_EQ(s.State(), SocketState::kClosed);
  EXPECT_EQ(s.RemoteHost(), "example");
  EXPECT_EQ(s.RemotePort(), 21);
  std::string data = "kept";
  EXPECT_EQ(ExpectError(40006, [&] { s.SendData("x"); }), "SocketMaster.SendData");
  EXPECT_EQ(ExpectError(40006, [&] { s.GetData(data); }), "SocketMaster.GetData");
  EXPECT_EQ(ExpectError(40006, [&] { s.PeekData(data); }), "SocketMaster.PeekData");
  EXPECT_EQ(data, "kept");
  EXPECT_FALSE(s.LocalHostName().empty());
}

TEST_F(ConnectTest, FailedAttemptIsOneErrorEventWithItsNumberTextAndStep) {
  std::vector<std::string> shown;
  SetErrorDisplayHook([&](const std::string& text, const std::string&) { shown.push_back(text); });
  struct Case {
    std::string host;
    int port;
    int number;
    const char* description;
    const char* source;
  };
  const Case cases[] = {
      {"127.0.0.1", testing::UnusedPort(), 10061, "Connection refused.", "SocketMaster.PostSocket"},
      // The kernel refuses a TCP connect to a multicast group before sending anything.
      {"224.0.0.1", 9, 10051, "Network is unreachable.", "SocketMaster.ConnectToIP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    SocketMaster s;
    Recorder r(s);
    s.Connect(c.host, c.port);
    ASSERT_TRUE(Until([&] { return r.Saw("Error"); }));
    Settle();
    ASSERT_EQ(r.events, std::vector<std::string>{"Error"});
    EXPECT_EQ(r.errors[0].number, c.number);
    EXPECT_EQ(r.errors[0].description, c.description);
    EXPECT_EQ(r.errors[0].source, c.source);
    EXPECT_EQ(s.State(), SocketState::kFailed);
  }
  EXPECT_TRUE(shown.empty()) << "a handler that leaves cancel_display shows nothing";
}

class StateRulesTest : public LoopTest {};

TEST_F(StateRulesTest, FailedRefusesStateBoundMembersUntilCloseSckThenConnectsAgain) {
  SocketMaster s;
  s.Connect("127.0.0.1", testing::UnusedPort());
  ASSERT_TRUE(Until([&] { return s.State() == SocketState::kFailed; }));
  const std::pair<const char*, std::function<void()>> refused[] = {
      {"Connect", [&] { s.Connect(); }},
      {"Bind", [&] { s.Bind(); }},
      {"Accept", [&] { s.Accept(3); }},
      {"Listen", [&] { s.Listen(); }},
      {"RemoteHost", [&] { s.SetRemoteHost("x"); }},
      {"RemotePort", [&] { s.SetRemotePort(1); }},
      {"LocalPort", [&] { s.SetLocalPort(1); }},
      {"LocalIP", [&] { s.SetLocalIP("127.0.0.1"); }},
      {"Protocol", [&] { s.SetProtocol(SocketProtocol::kUdp); }},
  };
  for (const auto& [member, call] : refused) {
    EXPECT_EQ(ExpectError(40020, call), std::string("SocketMaster.") + member);
  }
  s.CloseSck();
  EXPECT_EQ(s.State(), SocketState::kClosed);
  // The stored host and port are used when Connect is not given them.
  RawSocket listener = RawSocket::Listen();
  s.SetRemotePort(listener.Port());
  Recorder r(s);
  s.Connect();
  ExpectError(40020, [&] { s.Connect("127.0.0.1", listener.Port()); });  // while connecting
  ExpectError(40020, [&] { s.Listen(); });
  ASSERT_TRUE(Until([&] { return r.Saw("Connect"); })) << "the attempt goes on undisturbed";
  EXPECT_EQ(s.RemoteHostIP(), "127.0.0.1");
}

}  // namespace
}  // namespace net
