#include <memory>
#include <string>
#include <thread>
#include <vector>

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

/// A connected SocketMaster with a plain socket at the other end.
class ConnectedTest : public LoopTest {
 protected:
  ConnectedTest() {
    listener_ = RawSocket::Listen();
    client_.Connect("127.0.0.1", listener_.Port());
    peer_ = listener_.Accept();
    loop_.RunUntil([&] { return client_.State() == SocketState::kConnected; }, testing::kPatience);
  }
  void SetUp() override {
    ASSERT_TRUE(peer_.valid());
    ASSERT_EQ(client_.State(), SocketState::kConnected);
  }

  RawSocket listener_;
  SocketMaster client_;
  RawSocket peer_;
};

TEST_F(ConnectedTest, FullBufferQueuesTheRestCopiedOrHandedOverAndOneCompletionFollows) {
  for (bool hand_over : {false, true}) {
    SCOPED_TRACE(hand_over ? "handed over" : "copied");
    Recorder r(client_);
    const std::string first = RandomBytes(16 << 20, hand_over);
    hand_over ? client_.SendBuffer(first) : client_.SendData(first);
    ASSERT_FALSE(r.Saw("SendComplete")) << "16 MiB cannot fit into loopback buffers at once";
    ASSERT_EQ(r.progress.size(), 1u);
    const auto [sent_at_once, remaining] = r.progress[0];
    EXPECT_GT(sent_at_once, 0);
    EXPECT_EQ(sent_at_once + remaining, static_cast<std::int64_t>(first.size()));
    // Later sends while bytes wait only append.
    client_.SendData("|copied|");
    client_.SendBuffer("|moved tail");
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
  client_.OnSendProgress = [&](std::int64_t sent, std::int64_t) {
    trace.push_back("Progress " + std::to_string(sent));
  };
  client_.OnSendComplete = [&] {
    trace.push_back("Complete");
    if (trace.size() == 2) {
      client_.SendData("second");
      nested_done_inside_handler = trace.size() == 4;
    }
  };
  client_.SendData("");
  client_.SendText("");
  EXPECT_TRUE(trace.empty()) << "an empty send raises nothing";
  client_.SendData("first");
  EXPECT_TRUE(nested_done_inside_handler);
  EXPECT_EQ(trace, (std::vector<std::string>{"Progress 5", "Complete", "Progress 6", "Complete"}));
  EXPECT_EQ(peer_.Receive(11), "firstsecond");
}

TEST_F(ConnectedTest, PeerResetIsReportedAs10054) {
  Recorder r(client_);
  peer_.Reset();
  // The reset shows either on the next send or as a failed close notification.
  ASSERT_TRUE(Until([&] {
    if (r.errors.empty() && client_.State() == SocketState::kConnected) client_.SendData("x");
    return !r.errors.empty();
  }));
  EXPECT_EQ(r.errors[0].number, 10054);
  EXPECT_EQ(r.errors[0].description, "Connection reset by peer.");
  EXPECT_EQ(client_.State(), SocketState::kFailed);
}

TEST_F(ConnectedTest, DataArrivalReportsTheWholeQueueAndPeekOrMaxLenLimitTheTake) {
  Recorder r(client_);
  std::string data = "old";
  client_.GetData(data);
  EXPECT_EQ(data, "") << "nothing queued";
  peer_.Send("\xC1\xE8\xDE\xED\xE1 ");
  ASSERT_TRUE(Until([&] { return client_.BytesReceived() == 6; }));
  peer_.Send("0123456789");
  ASSERT_TRUE(Until([&] { return client_.BytesReceived() == 16; }));
  EXPECT_EQ(r.totals.back(), 16);
  EXPECT_EQ(client_.ReceivedView(), "\xC1\xE8\xDE\xED\xE1 0123456789");
  client_.PeekText(data, 5);
  EXPECT_EQ(data, "Αθήνα");
  EXPECT_EQ(client_.BytesReceived(), 16);
  std::string got;
  client_.GetText(got, 6);
  EXPECT_EQ(got, "Αθήνα ");
  client_.GetData(data, 3);
  EXPECT_EQ(data, "012");
  client_.GetData(data, 0);
  EXPECT_EQ(data, "");
  client_.Discard(2);
  client_.GetData(data, 1000);
  EXPECT_EQ(data, "56789");
  EXPECT_EQ(client_.BytesReceived(), 0);
  EXPECT_EQ(ExpectError(40014, [&] { client_.GetData(data, -1); }), "SocketMaster.GetData");
  EXPECT_EQ(ExpectError(40014, [&] { client_.PeekData(data, -1); }), "SocketMaster.PeekData");
}

TEST_F(ConnectedTest, FixedSizeValuesTravelAsLittleEndianBytesAndTextAsGreek) {
  client_.SendValue(std::int32_t{0x01020304});
  client_.SendValue(std::int16_t{-2});
  client_.SendValue(1.5);
  client_.SendText("Γειά σου|");  // text goes out in the Greek code page
  EXPECT_EQ(peer_.Receive(23), std::string("\x04\x03\x02\x01\xfe\xff\0\0\0\0\0\0\xf8\x3f"
                                           "\xC3\xE5\xE9\xDC \xF3\xEF\xF5|",
                                           23));
  peer_.Send(std::string("\x2a\x00\x00", 3));
  ASSERT_TRUE(Until([&] { return client_.BytesReceived() == 3; }));
  std::int32_t too_big = 7;
  EXPECT_FALSE(client_.GetValue(too_big)) << "four bytes are not there yet";
  EXPECT_EQ(too_big, 7);
  EXPECT_EQ(client_.BytesReceived(), 3);
  std::int16_t small = 0;
  EXPECT_TRUE(client_.PeekValue(small));
  EXPECT_EQ(small, 42);
  EXPECT_TRUE(client_.GetValue(small));
  EXPECT_EQ(client_.BytesReceived(), 1);
}

TEST_F(ConnectedTest, LargeStreamArrivesIntactThroughPartialTakes) {
  const std::string sent = RandomBytes(3 << 20, 3);
  std::string got;
  client_.OnDataArrival = [&](std::int64_t total) {
    std::string piece;
    client_.GetData(piece, total / 2 + 1);  // leave some behind every time
    got += piece;
  };
  std::thread writer([&] { peer_.Send(sent); });
  ASSERT_TRUE(Until([&] { return got.size() + client_.BytesReceived() == sent.size(); }));
  writer.join();
  std::string rest;
  client_.GetData(rest);
  EXPECT_TRUE(got + rest == sent);
}

TEST_F(ConnectedTest, DataBeforeThePeerClosesArrivesFirstAndReadsThenRaise40006) {
  Recorder r(client_);
  peer_.Send("last words");
  peer_.Close();
  ASSERT_TRUE(Until([&] { return r.Saw("CloseSck"); }));
  Settle();
  EXPECT_EQ(r.events, (std::vector<std::string>{"DataArrival", "CloseSck"})) << "closed once";
  EXPECT_EQ(client_.State(), SocketState::kClosing);
  std::string data;
  EXPECT_EQ(ExpectError(40006, [&] { client_.GetData(data); }), "SocketMaster.GetData");
  EXPECT_EQ(ExpectError(40006, [&] { client_.PeekData(data); }), "SocketMaster.PeekData");
  EXPECT_EQ(ExpectError(40006, [&] { client_.SendData("x"); }), "SocketMaster.SendData");
  client_.CloseSck();
  EXPECT_EQ(client_.State(), SocketState::kClosed);
}

TEST_F(ConnectedTest, CloseSckInsideDataArrivalDropsLaterNotifications) {
  Recorder r(client_);
  client_.OnDataArrival = [&](std::int64_t) {
    r.events.push_back("DataArrival");
    client_.CloseSck();
  };
  peer_.Send("data");
  peer_.Close();
  ASSERT_TRUE(Until([&] { return r.Saw("DataArrival"); }));
  Settle();
  EXPECT_EQ(r.events, (std::vector<std::string>{"DataArrival"}));
  EXPECT_EQ(client_.State(), SocketState::kClosed);
}

TEST_F(ConnectedTest, CloseSckInsideTheCloseEventIsSafe) {
  bool closed = false;
  client_.OnCloseSck = [&] {
    client_.CloseSck();
    closed = true;
  };
  peer_.Close();
  ASSERT_TRUE(Until([&] { return closed; }));
  EXPECT_EQ(client_.State(), SocketState::kClosed);
  EXPECT_EQ(client_.SocketHandle(), -1);
}

}  // namespace
}  // namespace net
