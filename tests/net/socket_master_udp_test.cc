#include <functional>
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

}  // namespace
}  // namespace net
