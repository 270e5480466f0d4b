#include <string>
#include <vector>

#include "net/socket_errors.h"
#include "net/socket_master.h"
#include "net_test_support.h"
#include "support/error.h"

namespace net {
namespace {

using testing::ExpectError;
using testing::LoopTest;

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

TEST_F(DatagramTest, BindOpensAndADatagramArrivesWithItsSender) {
  EXPECT_EQ(receiver_.State(), SocketState::kOpen);
  EXPECT_NE(receiver_.LocalPort(), 0);
  std::vector<std::int64_t> sizes;
  std::string got;
  receiver_.OnDataArrival = [&](std::int64_t size) {
    sizes.push_back(size);
    receiver_.GetData(got);
  };
  sender_.SendData("datagram one");
  EXPECT_EQ(sender_.State(), SocketState::kOpen);
  ASSERT_TRUE(Until([&] { return !got.empty(); }));
  EXPECT_EQ(sizes, (std::vector<std::int64_t>{12}));
  EXPECT_EQ(got, "datagram one");
  EXPECT_EQ(receiver_.RemoteHostIP(), "127.0.0.1");
  EXPECT_EQ(receiver_.RemotePort(), sender_.LocalPort());
  EXPECT_EQ(receiver_.RemoteHost(), "");
}

TEST_F(DatagramTest, SendRaisesNoProgressEvents) {
  int events = 0;
  sender_.OnSendProgress = [&](std::int64_t, std::int64_t) { ++events; };
  sender_.OnSendComplete = [&] { ++events; };
  sender_.SendData("x");
  EXPECT_EQ(events, 0);
}

TEST_F(DatagramTest, ConnectOnUdpOnlyBinds) {
  SocketMaster s;
  s.SetProtocol(SocketProtocol::kUdp);
  s.Connect("127.0.0.1", 9);
  EXPECT_EQ(s.State(), SocketState::kOpen);
  EXPECT_NE(s.SocketHandle(), -1);
  s.SetRemoteHost("127.0.0.1");  // UDP may change its target in any state
  s.SetRemotePort(receiver_.LocalPort());
}

TEST_F(DatagramTest, DatagramTheHandlerDoesNotReadIsLost) {
  int arrivals = 0;
  receiver_.OnDataArrival = [&](std::int64_t) { ++arrivals; };
  sender_.SendData("ignored");
  ASSERT_TRUE(Until([&] { return arrivals == 1; }));
  EXPECT_EQ(receiver_.BytesReceived(), 0);
  std::string data = "untouched";
  receiver_.GetData(data);
  EXPECT_EQ(data, "untouched") << "no datagram waits, so the variable is left alone";
}

TEST_F(DatagramTest, DatagramBehindAReadOneIsNotDropped) {
  // Regression: dropping "whatever datagram still waits" after the handler lost the
  // next datagram when the handler had read its own.
  std::vector<std::string> got;
  receiver_.OnDataArrival = [&](std::int64_t) {
    std::string d;
    receiver_.GetData(d);
    got.push_back(d);
  };
  sender_.SendData("first");
  sender_.SendData("second");
  ASSERT_TRUE(Until([&] { return got.size() == 2; }));
  EXPECT_EQ(got, (std::vector<std::string>{"first", "second"}));
}

TEST_F(DatagramTest, BytesReceivedAndPeekShowTheNextDatagram) {
  bool checked = false;
  receiver_.OnDataArrival = [&](std::int64_t size) {
    EXPECT_EQ(receiver_.BytesReceived(), size);
    std::string peeked;
    receiver_.PeekData(peeked);
    std::string got;
    receiver_.GetData(got);
    EXPECT_EQ(peeked, "abcdef");
    EXPECT_EQ(got, "abcdef");
    checked = true;
  };
  sender_.SendData("abcdef");
  ASSERT_TRUE(Until([&] { return checked; }));
}

TEST_F(DatagramTest, ShortMaxLenCutsTheDatagramAndRaises10040) {
  std::string got;
  std::string source;
  receiver_.OnDataArrival = [&](std::int64_t) {
    source = ExpectError(10040, [&] { receiver_.GetData(got, 3); });
  };
  sender_.SendData("abcdef");
  ASSERT_TRUE(Until([&] { return !source.empty(); }));
  EXPECT_EQ(source, "SocketMaster.RecvData");
  EXPECT_EQ(got, "abc");
}

TEST_F(DatagramTest, MaxLenZeroDropsTheDatagramAndRaises10040) {
  std::string got = "old";
  bool raised = false;
  receiver_.OnDataArrival = [&](std::int64_t) {
    ExpectError(10040, [&] { receiver_.GetData(got, 0); });
    raised = true;
    EXPECT_EQ(receiver_.BytesReceived(), 0);
  };
  sender_.SendData("abcdef");
  ASSERT_TRUE(Until([&] { return raised; }));
  EXPECT_EQ(got, "");
}

TEST_F(DatagramTest, ReadsNeedAnOpenSocket) {
  SocketMaster closed;
  closed.SetProtocol(SocketProtocol::kUdp);
  std::string data;
  EXPECT_EQ(ExpectError(40006, [&] { closed.GetData(data); }), "SocketMaster.GetData");
  EXPECT_EQ(ExpectError(40006, [&] { closed.PeekData(data); }), "SocketMaster.PeekData");
}

TEST_F(DatagramTest, CloseSckReturnsToClosedAndTheObjectCanBindAgain) {
  receiver_.CloseSck();
  EXPECT_EQ(receiver_.State(), SocketState::kClosed);
  EXPECT_EQ(receiver_.SocketHandle(), -1);
  receiver_.Bind(0, std::string("127.0.0.1"));
  EXPECT_EQ(receiver_.State(), SocketState::kOpen);
}

}  // namespace
}  // namespace net
