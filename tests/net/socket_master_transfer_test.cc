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

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
  return s;
}

class SendPumpTest : public ConnectedTest {};

TEST_F(SendPumpTest, EmptySendSendsNothingAndRaisesNoEvent) {
  Recorder r(client_);
  client_.SendData("");
  client_.SendText("");
  Settle();
  EXPECT_TRUE(r.events.empty());
}

TEST_F(SendPumpTest, SmallSendReportsProgressAndCompletionBeforeReturning) {
  Recorder r(client_);
  client_.SendData("hello");
  EXPECT_EQ(r.events, (std::vector<std::string>{"SendProgress", "SendComplete"}));
  ASSERT_EQ(r.progress.size(), 1u);
  EXPECT_EQ(r.progress[0], std::make_pair(std::int64_t{5}, std::int64_t{0}));
  EXPECT_EQ(peer_.Receive(5), "hello");
}

TEST_F(SendPumpTest, FullBufferQueuesTheRestAndOneCompletionFollowsTheDrain) {
  Recorder r(client_);
  const std::string first = Pattern(16 << 20);
  client_.SendData(first);
  ASSERT_FALSE(r.Saw("SendComplete")) << "16 MiB cannot fit into loopback buffers at once";
  ASSERT_EQ(r.progress.size(), 1u);
  const auto [sent_at_once, remaining] = r.progress[0];
  EXPECT_GT(sent_at_once, 0);
  EXPECT_EQ(sent_at_once + remaining, static_cast<std::int64_t>(first.size()));

  // A second send while bytes wait only appends.
  const std::size_t events_before = r.events.size();
  client_.SendData("tail");
  EXPECT_EQ(r.events.size(), events_before);

  std::string received;
  std::thread reader([&] { received = peer_.Receive(first.size() + 4); });
  ASSERT_TRUE(Until([&] { return r.Saw("SendComplete"); }));
  reader.join();
  EXPECT_EQ(r.Count("SendComplete"), 1);
  EXPECT_EQ(r.events.back(), "SendComplete");
  std::int64_t total = 0;
  for (const auto& [sent, left] : r.progress) {
    EXPECT_GT(sent, 0);
    total += sent;
  }
  EXPECT_EQ(total, static_cast<std::int64_t>(first.size() + 4));
  EXPECT_EQ(r.progress.back().second, 0);
  EXPECT_TRUE(received == first + "tail") << "bytes lost or reordered";
}

TEST_F(SendPumpTest, SendInsideSendCompleteGoesOutAtOnceNestedInThePump) {
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
  client_.SendData("first");
  EXPECT_TRUE(nested_done_inside_handler);
  EXPECT_EQ(trace, (std::vector<std::string>{"Progress 5", "Complete", "Progress 6", "Complete"}));
  EXPECT_EQ(peer_.Receive(11), "firstsecond");
}

TEST_F(SendPumpTest, HandedOverBufferIsSentLikeACopiedOne) {
  Recorder r(client_);
  const std::string first = Pattern(12 << 20);
  client_.SendBuffer(first);
  client_.SendData("|copied|");
  client_.SendBuffer("|moved tail");
  std::string received;
  std::thread reader([&] { received = peer_.Receive(first.size() + 19); });
  ASSERT_TRUE(Until([&] { return r.Saw("SendComplete"); }));
  reader.join();
  EXPECT_EQ(r.Count("SendComplete"), 1);
  EXPECT_TRUE(received == first + "|copied||moved tail") << "bytes lost or reordered";
}

TEST_F(SendPumpTest, TextIsSentInTheGreekCodePage) {
  client_.SendText("Γειά σου|");
  EXPECT_EQ(peer_.Receive(9), "\xC3\xE5\xE9\xDC \xF3\xEF\xF5|");
}

TEST_F(SendPumpTest, PeerResetIsReportedAs10054AndTheObjectStaysUsable) {
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
  client_.CloseSck();
  RawSocket other = RawSocket::Listen();
  Recorder again(client_);
  client_.Connect("127.0.0.1", other.Port());
  ASSERT_TRUE(Until([&] { return again.Saw("Connect"); }));
  client_.CloseSck();
}

class ReceiveQueueTest : public ConnectedTest {};

TEST_F(ReceiveQueueTest, DataArrivalReportsTheWholeQueueLength) {
  Recorder r(client_);
  peer_.Send("0123456789");
  ASSERT_TRUE(Until([&] { return client_.BytesReceived() == 10; }));
  peer_.Send("abcde");
  ASSERT_TRUE(Until([&] { return client_.BytesReceived() == 15; }));
  EXPECT_EQ(r.totals.back(), 15);
  std::string all;
  client_.GetData(all);
  EXPECT_EQ(all, "0123456789abcde");
  EXPECT_EQ(client_.BytesReceived(), 0);
}

TEST_F(ReceiveQueueTest, GetDataWithNothingQueuedGivesAnEmptyString) {
  std::string data = "old";
  client_.GetData(data);
  EXPECT_EQ(data, "");
}

TEST_F(ReceiveQueueTest, MaxLenLimitsTheTakeAndLargerMaxLenTakesAll) {
  peer_.Send("abcdefgh");
  ASSERT_TRUE(Until([&] { return client_.BytesReceived() == 8; }));
  std::string data;
  client_.GetData(data, 3);
  EXPECT_EQ(data, "abc");
  client_.GetData(data, 0);
  EXPECT_EQ(data, "");
  client_.GetData(data, 1000);
  EXPECT_EQ(data, "defgh");
  EXPECT_EQ(ExpectError(40014, [&] { client_.GetData(data, -1); }), "SocketMaster.GetData");
  EXPECT_EQ(ExpectError(40014, [&] { client_.PeekData(data, -1); }), "SocketMaster.PeekData");
}

TEST_F(ReceiveQueueTest, PeekLeavesTheQueueAndGetReturnsTheSameBytes) {
  peer_.Send("\xC1\xE8\xDE\xED\xE1 rest");
  ASSERT_TRUE(Until([&] { return client_.BytesReceived() == 10; }));
  std::string peeked;
  client_.PeekText(peeked, 5);
  EXPECT_EQ(peeked, "Αθήνα");
  EXPECT_EQ(client_.BytesReceived(), 10);
  std::string got;
  client_.GetText(got, 5);
  EXPECT_EQ(got, peeked);
  EXPECT_EQ(client_.BytesReceived(), 5);
}

TEST_F(ReceiveQueueTest, FixedSizeValuesTravelAsLittleEndianBytes) {
  client_.SendValue(std::int32_t{0x01020304});
  client_.SendValue(std::int16_t{-2});
  client_.SendValue(1.5);
  EXPECT_EQ(peer_.Receive(14),
            std::string("\x04\x03\x02\x01\xfe\xff\x00\x00\x00\x00\x00\x00\xf8\x3f", 14));
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

TEST_F(ReceiveQueueTest, EveryByteValueSurvivesAsBytes) {
  std::string all(256, '\0');
  for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<char>(i);
  peer_.Send(all);
  ASSERT_TRUE(Until([&] { return client_.BytesReceived() == 256; }));
  EXPECT_EQ(client_.ReceivedView(), all);
  std::string got;
  client_.GetData(got);
  EXPECT_EQ(got, all);
}

TEST_F(ReceiveQueueTest, LargeStreamArrivesIntactThroughPartialTakes) {
  const std::string sent = Pattern(3 << 20);
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
  got += rest;
  EXPECT_TRUE(got == sent);
}

TEST_F(ReceiveQueueTest, DataBeforeThePeerClosesArrivesFirst) {
  Recorder r(client_);
  peer_.Send("last words");
  peer_.Close();
  ASSERT_TRUE(Until([&] { return r.Saw("CloseSck"); }));
  EXPECT_EQ(r.events, (std::vector<std::string>{"DataArrival", "CloseSck"}));
  EXPECT_EQ(client_.State(), SocketState::kClosing);
}

TEST_F(ReceiveQueueTest, AfterTheCloseNotificationReadsRaise40006) {
  Recorder r(client_);
  peer_.Send("unread");
  peer_.Close();
  ASSERT_TRUE(Until([&] { return r.Saw("CloseSck"); }));
  std::string data;
  EXPECT_EQ(ExpectError(40006, [&] { client_.GetData(data); }), "SocketMaster.GetData");
  EXPECT_EQ(ExpectError(40006, [&] { client_.PeekData(data); }), "SocketMaster.PeekData");
  EXPECT_EQ(ExpectError(40006, [&] { client_.SendData("x"); }), "SocketMaster.SendData");
  Settle();
  EXPECT_EQ(r.Count("CloseSck"), 1) << "the close is reported once";
  client_.CloseSck();
  EXPECT_EQ(client_.State(), SocketState::kClosed);
}

TEST_F(ReceiveQueueTest, CloseSckInsideDataArrivalDropsLaterNotifications) {
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

TEST_F(ReceiveQueueTest, CloseSckInsideTheCloseEventIsSafe) {
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

class ErrorDisplayTest : public LoopTest {};

TEST_F(ErrorDisplayTest, HandlerThatLeavesCancelDisplayShowsNothing) {
  std::vector<std::string> shown;
  SetErrorDisplayHook([&](const std::string& text, const std::string&) { shown.push_back(text); });
  SocketMaster s;
  bool raised = false;
  s.OnError = [&](SocketErrorEvent&) { raised = true; };
  s.Connect("127.0.0.1", testing::UnusedPort());
  ASSERT_TRUE(Until([&] { return raised; }));
  EXPECT_TRUE(shown.empty());
}

TEST_F(ErrorDisplayTest, ClearingCancelDisplayShowsTheTableTextTitledWithTheSource) {
  std::vector<std::pair<std::string, std::string>> shown;
  SetErrorDisplayHook(
      [&](const std::string& text, const std::string& title) { shown.emplace_back(text, title); });
  SocketMaster s;
  s.OnError = [&](SocketErrorEvent& e) {
    e.description = "changed by the handler";
    e.cancel_display = false;
  };
  s.Connect("127.0.0.1", testing::UnusedPort());
  ASSERT_TRUE(Until([&] { return !shown.empty(); }));
  EXPECT_EQ(shown[0].first, "Connection refused.");
  EXPECT_EQ(shown[0].second, "SocketMaster.PostSocket");
}

}  // namespace
}  // namespace net
