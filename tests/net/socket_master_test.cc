// The socket object over TCP and UDP: connecting, listening and accepting, and what it sends
// and receives.
#include <netdb.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/dispatch.h"
#include "net/socket_api.h"
#include "net/socket_errors.h"
#include "net/socket_master.h"
#include "net_test_support.h"
#include "support/error.h"

namespace net {
namespace {

using test_common::RandomBytes;
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
  const testing::RefusingPort refusing;
  const Case cases[] = {
      {"127.0.0.1", refusing.Port(), 10061, "Connection refused.", "SocketMaster.PostSocket"},
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

TEST_F(ConnectTest, FailedRefusesStateBoundMembersUntilCloseSckThenConnectsAgain) {
  const testing::RefusingPort refusing;
  SocketMaster s;
  s.Connect("127.0.0.1", refusing.Port());
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

class ListenAcceptTest : public LoopTest {
 protected:
  void StartListening() { port_ = ListenOnLoopback(server_); }

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

/// A bound UDP receiver and a sender aimed at it, both on 127.0.0.1.
class DatagramTest : public LoopTest {
 protected:
  DatagramTest() {
    receiver_.SetProtocol(SocketProtocol::kUdp);
    receiver_.Bind(0, std::string("127.0.0.1"));
    sender_.SetProtocol(SocketProtocol::kUdp);
    sender_.SetRemoteHost("127.0.0.1");
    sender_.SetRemotePort(receiver_.LocalPort());
  }

  SocketMaster receiver_;
  SocketMaster sender_;
};

TEST_F(DatagramTest, DatagramsArriveInOrderWithTheirSenderOrAreLostUnread) {
  EXPECT_EQ(receiver_.State(), SocketState::kOpen);
  int send_events = 0;
  sender_.OnSendProgress = [&](std::int64_t, std::int64_t) { ++send_events; };
  sender_.OnSendComplete = [&] { ++send_events; };
  std::vector<std::int64_t> sizes;
  std::vector<std::string> got;
  receiver_.OnDataArrival = [&](std::int64_t size) {
    sizes.push_back(size);
    EXPECT_EQ(receiver_.BytesReceived(), size);
    std::string peeked;
    receiver_.PeekData(peeked);
    std::string d;
    receiver_.GetData(d);
    EXPECT_EQ(peeked, d);
    got.push_back(d);
  };
  // Regression: dropping "whatever datagram still waits" after the handler lost the
  // next datagram when the handler had read its own.
  sender_.SendData("datagram one");
  sender_.SendData("two");
  EXPECT_EQ(sender_.State(), SocketState::kOpen);
  ASSERT_TRUE(Until([&] { return got.size() == 2; }));
  EXPECT_EQ(got, (std::vector<std::string>{"datagram one", "two"}));
  EXPECT_EQ(sizes, (std::vector<std::int64_t>{12, 3}));
  EXPECT_EQ(send_events, 0);
  EXPECT_EQ(receiver_.RemoteHostIP(), "127.0.0.1");
  EXPECT_EQ(receiver_.RemotePort(), sender_.LocalPort());
  EXPECT_EQ(receiver_.RemoteHost(), "");
  // A datagram the handler does not read is lost.
  receiver_.OnDataArrival = [&](std::int64_t) { got.push_back("unread"); };
  sender_.SendData("ignored");
  ASSERT_TRUE(Until([&] { return got.size() == 3; }));
  EXPECT_EQ(receiver_.BytesReceived(), 0);
  std::string data = "untouched";
  receiver_.GetData(data);
  EXPECT_EQ(data, "untouched") << "no datagram waits, so the variable is left alone";
}

TEST_F(DatagramTest, ShortMaxLenCutsTheDatagramAndRaises10040) {
  for (int max_len : {3, 0}) {
    SCOPED_TRACE(max_len);
    std::string got = "old";
    std::string source;
    receiver_.OnDataArrival = [&](std::int64_t) {
      source = ExpectError(10040, [&] { receiver_.GetData(got, max_len); });
      EXPECT_EQ(receiver_.BytesReceived(), 0) << "the rest of the datagram is gone";
    };
    sender_.SendData("abcdef");
    ASSERT_TRUE(Until([&] { return !source.empty(); }));
    EXPECT_EQ(source, "SocketMaster.RecvData");
    EXPECT_EQ(got, std::string("abcdef").substr(0, max_len));
  }
}

TEST_F(DatagramTest, ConnectOnlyBindsReadsNeedAnOpenSocketAndCloseSckRebinds) {
  SocketMaster s;
  s.SetProtocol(SocketProtocol::kUdp);
  std::string data;
  EXPECT_EQ(ExpectError(40006, [&] { s.GetData(data); }), "SocketMaster.GetData");
  EXPECT_EQ(ExpectError(40006, [&] { s.PeekData(data); }), "SocketMaster.PeekData");
  s.Connect("127.0.0.1", 9);
  EXPECT_EQ(s.State(), SocketState::kOpen);
  EXPECT_NE(s.SocketHandle(), -1);
  s.SetRemoteHost("127.0.0.1");  // UDP may change its target in any state
  s.SetRemotePort(receiver_.LocalPort());
  receiver_.CloseSck();
  EXPECT_EQ(receiver_.State(), SocketState::kClosed);
  EXPECT_EQ(receiver_.SocketHandle(), -1);
  receiver_.Bind(0, std::string("127.0.0.1"));
  EXPECT_EQ(receiver_.State(), SocketState::kOpen);
}

/// A connected SocketMaster with a plain socket at the other end.
class ConnectedTest : public LoopTest {
 protected:
  void SetUp() override { ASSERT_EQ(client_->State(), SocketState::kConnected); }

  RawSocket listener_ = RawSocket::Listen();
  RawSocket peer_;
  std::unique_ptr<SocketMaster> client_ = ConnectTo(listener_, peer_);
};

TEST_F(ConnectedTest, FullBufferQueuesTheRestCopiedOrHandedOverAndOneCompletionFollows) {
  for (bool hand_over : {false, true}) {
    SCOPED_TRACE(hand_over ? "handed over" : "copied");
    Recorder r(*client_);
    const std::string first = RandomBytes(16 << 20, hand_over);
    hand_over ? client_->SendBuffer(first) : client_->SendData(first);
    ASSERT_FALSE(r.Saw("SendComplete")) << "16 MiB cannot fit into loopback buffers at once";
    ASSERT_EQ(r.progress.size(), 1u);
    const auto [sent_at_once, remaining] = r.progress[0];
    EXPECT_GT(sent_at_once, 0);
    EXPECT_EQ(sent_at_once + remaining, static_cast<std::int64_t>(first.size()));
    // Later sends while bytes wait only append.
    client_->SendData("|copied|");
    client_->SendBuffer("|moved tail");
    EXPECT_EQ(r.events.size(), 1u);
    std::string received;
    std::thread reader([&] { received = peer_.Receive(first.size() + 19); });
    const bool completed = Until([&] { return r.Saw("SendComplete"); });
    reader.join();  // its reads end after kPatience at the latest
    ASSERT_TRUE(completed);
    EXPECT_EQ(r.Count("SendComplete"), 1);
    EXPECT_EQ(r.events.back(), "SendComplete");
    std::int64_t total = 0;
    for (const auto& [sent, left] : r.progress) {
      EXPECT_GT(sent, 0);
      total += sent;
    }
    EXPECT_EQ(total, static_cast<std::int64_t>(first.size() + 19));
    EXPECT_EQ(r.progress.back().second, 0);
    EXPECT_TRUE(received == first + "|copied||moved tail") << "bytes lost or reordered";
  }
}

TEST_F(ConnectedTest, SendInsideSendCompleteGoesOutAtOnceNestedInThePump) {
  std::vector<std::string> trace;
  bool nested_done_inside_handler = false;
  client_->OnSendProgress = [&](std::int64_t sent, std::int64_t) {
    trace.push_back("Progress " + std::to_string(sent));
  };
  client_->OnSendComplete = [&] {
    trace.push_back("Complete");
    if (trace.size() == 2) {
      client_->SendData("second");
      nested_done_inside_handler = trace.size() == 4;
    }
  };
  client_->SendData("");
  client_->SendText("");
  EXPECT_TRUE(trace.empty()) << "an empty send raises nothing";
  client_->SendData("first");
  EXPECT_TRUE(nested_done_inside_handler);
  EXPECT_EQ(trace, (std::vector<std::string>{"Progress 5", "Complete", "Progress 6", "Complete"}));
  EXPECT_EQ(peer_.Receive(11), "firstsecond");
}

TEST_F(ConnectedTest, PeerResetIsReportedAs10054) {
  Recorder r(*client_);
  peer_.Reset();
  // The reset shows either on the next send or as a failed close notification.
  ASSERT_TRUE(Until([&] {
    if (r.errors.empty() && client_->State() == SocketState::kConnected) client_->SendData("x");
    return !r.errors.empty();
  }));
  EXPECT_EQ(r.errors[0].number, 10054);
  EXPECT_EQ(r.errors[0].description, "Connection reset by peer.");
  EXPECT_EQ(client_->State(), SocketState::kFailed);
}

TEST_F(ConnectedTest, DataArrivalReportsTheWholeQueueAndPeekOrMaxLenLimitTheTake) {
  Recorder r(*client_);
  std::string data = "old";
  client_->GetData(data);
  EXPECT_EQ(data, "") << "nothing queued";
  peer_.Send("\xC1\xE8\xDE\xED\xE1 ");
  ASSERT_TRUE(Until([&] { return client_->BytesReceived() == 6; }));
  peer_.Send("0123456789");
  ASSERT_TRUE(Until([&] { return client_->BytesReceived() == 16; }));
  EXPECT_EQ(r.totals.back(), 16);
  EXPECT_EQ(client_->ReceivedView(), "\xC1\xE8\xDE\xED\xE1 0123456789");
  client_->PeekText(data, 5);
  EXPECT_EQ(data, "Αθήνα");
  EXPECT_EQ(client_->BytesReceived(), 16);
  std::string got;
  client_->GetText(got, 6);
  EXPECT_EQ(got, "Αθήνα ");
  client_->GetData(data, 3);
  EXPECT_EQ(data, "012");
  client_->GetData(data, 0);
  EXPECT_EQ(data, "");
  client_->Discard(2);
  client_->GetData(data, 1000);
  EXPECT_EQ(data, "56789");
  EXPECT_EQ(client_->BytesReceived(), 0);
  EXPECT_EQ(ExpectError(40014, [&] { client_->GetData(data, -1); }), "SocketMaster.GetData");
  EXPECT_EQ(ExpectError(40014, [&] { client_->PeekData(data, -1); }), "SocketMaster.PeekData");
}

TEST_F(ConnectedTest, FixedSizeValuesTravelAsLittleEndianBytesAndTextAsGreek) {
  client_->SendValue(std::int32_t{0x01020304});
  client_->SendValue(std::int16_t{-2});
  client_->SendValue(1.5);
  client_->SendText("Γειά σου|");  // text goes out in the Greek code page
  EXPECT_EQ(peer_.Receive(23), std::string("\x04\x03\x02\x01\xfe\xff\0\0\0\0\0\0\xf8\x3f"
                                           "\xC3\xE5\xE9\xDC \xF3\xEF\xF5|",
                                           23));
  peer_.Send(std::string("\x2a\x00\x00", 3));
  ASSERT_TRUE(Until([&] { return client_->BytesReceived() == 3; }));
  std::int32_t too_big = 7;
  EXPECT_FALSE(client_->GetValue(too_big)) << "four bytes are not there yet";
  EXPECT_EQ(too_big, 7);
  EXPECT_EQ(client_->BytesReceived(), 3);
  std::int16_t small = 0;
  EXPECT_TRUE(client_->PeekValue(small));
  EXPECT_EQ(small, 42);
  EXPECT_TRUE(client_->GetValue(small));
  EXPECT_EQ(client_->BytesReceived(), 1);
}

TEST_F(ConnectedTest, LargeStreamArrivesIntactThroughPartialTakes) {
  const std::string sent = RandomBytes(3 << 20, 3);
  std::string got;
  client_->OnDataArrival = [&](std::int64_t total) {
    std::string piece;
    client_->GetData(piece, total / 2 + 1);  // leave some behind every time
    got += piece;
  };
  std::thread writer([&] { peer_.Send(sent); });
  ASSERT_TRUE(Until([&] { return got.size() + client_->BytesReceived() == sent.size(); }));
  writer.join();
  std::string rest;
  client_->GetData(rest);
  EXPECT_TRUE(got + rest == sent);
}

TEST_F(ConnectedTest, DataBeforeThePeerClosesArrivesFirstAndReadsThenRaise40006) {
  Recorder r(*client_);
  peer_.Send("last words");
  peer_.Close();
  ASSERT_TRUE(Until([&] { return r.Saw("CloseSck"); }));
  Settle();
  EXPECT_EQ(r.events, (std::vector<std::string>{"DataArrival", "CloseSck"})) << "closed once";
  EXPECT_EQ(client_->State(), SocketState::kClosing);
  std::string data;
  EXPECT_EQ(ExpectError(40006, [&] { client_->GetData(data); }), "SocketMaster.GetData");
  EXPECT_EQ(ExpectError(40006, [&] { client_->PeekData(data); }), "SocketMaster.PeekData");
  EXPECT_EQ(ExpectError(40006, [&] { client_->SendData("x"); }), "SocketMaster.SendData");
  client_->CloseSck();
  EXPECT_EQ(client_->State(), SocketState::kClosed);
}

TEST_F(ConnectedTest, CloseSckInsideDataArrivalDropsLaterNotifications) {
  Recorder r(*client_);
  client_->OnDataArrival = [&](std::int64_t) {
    r.events.push_back("DataArrival");
    client_->CloseSck();
  };
  peer_.Send("data");
  peer_.Close();
  ASSERT_TRUE(Until([&] { return r.Saw("DataArrival"); }));
  Settle();
  EXPECT_EQ(r.events, (std::vector<std::string>{"DataArrival"}));
  EXPECT_EQ(client_->State(), SocketState::kClosed);
}

TEST_F(ConnectedTest, CloseSckInsideTheCloseEventIsSafe) {
  bool closed = false;
  client_->OnCloseSck = [&] {
    client_->CloseSck();
    closed = true;
  };
  peer_.Close();
  ASSERT_TRUE(Until([&] { return closed; }));
  EXPECT_EQ(client_->State(), SocketState::kClosed);
  EXPECT_EQ(client_->SocketHandle(), -1);
}

}  // namespace
}  // namespace net
