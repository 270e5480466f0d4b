#include <fcntl.h>

#include <memory>
#include <string>
#include <vector>

#include "net/dispatch.h"
#include "net/socket_master.h"
#include "net_test_support.h"

namespace net {
namespace {

using testing::LoopTest;
using testing::RawSocket;

/// Owners that destroy their socket object from inside one of its events.
class DestroyInsideEventTest : public LoopTest {
 protected:
  std::unique_ptr<SocketMaster> ConnectedClient(RawSocket& listener, RawSocket& peer) {
    auto s = std::make_unique<SocketMaster>();
    bool connected = false;
    s->OnConnect = [&] { connected = true; };
    s->Connect("127.0.0.1", listener.Port());
    peer = listener.Accept();
    EXPECT_TRUE(Until([&] { return connected; }));
    s->OnConnect = nullptr;
    return s;
  }
};

TEST_F(DestroyInsideEventTest, InsideConnect) {
  RawSocket listener = RawSocket::Listen();
  auto s = std::make_unique<SocketMaster>();
  s->OnConnect = [&] { s.reset(); };
  s->Connect("127.0.0.1", listener.Port());
  ASSERT_TRUE(Until([&] { return s == nullptr; }));
  Settle();
}

TEST_F(DestroyInsideEventTest, InsideDataArrivalOrCloseSckOrLaterFromAPostedCall) {
  enum How { kInData, kInClose, kPostedFromClose };
  for (How how : {kInData, kInClose, kPostedFromClose}) {
    SCOPED_TRACE(how);
    RawSocket listener = RawSocket::Listen();
    RawSocket peer;
    auto s = ConnectedClient(listener, peer);
    auto destroy = [&] { s.reset(); };
    if (how == kInData) s->OnDataArrival = [&](std::int64_t) { destroy(); };  // a close behind
    if (how == kInClose) s->OnCloseSck = destroy;
    if (how == kPostedFromClose) s->OnCloseSck = [&] { loop_.Post(destroy); };
    peer.Send("bye");
    peer.Close();
    ASSERT_TRUE(Until([&] { return s == nullptr; }));
    Settle();
  }
}

TEST_F(DestroyInsideEventTest, InsideErrorWithTheTableTextStillShownTitledWithTheSource) {
  auto s = std::make_unique<SocketMaster>();
  s->OnError = [&](SocketErrorEvent& e) {
    e.description = "changed by the handler";
    e.cancel_display = false;  // the display still happens after the object is gone
    s.reset();
  };
  std::vector<std::string> shown;
  SetErrorDisplayHook([&](const std::string& text, const std::string& title) {
    shown.push_back(title + ": " + text);
  });
  s->Connect("127.0.0.1", testing::UnusedPort());
  ASSERT_TRUE(Until([&] { return s == nullptr; }));
  EXPECT_EQ(shown, (std::vector<std::string>{"SocketMaster.PostSocket: Connection refused."}));
}

TEST_F(DestroyInsideEventTest, InsideSendProgressAndSendComplete) {
  RawSocket listener = RawSocket::Listen();
  RawSocket peer;
  auto s = ConnectedClient(listener, peer);
  s->OnSendProgress = [&](std::int64_t, std::int64_t) { s.reset(); };
  s->SendData(std::string(8 << 20, 'x'));  // the pump must stop touching the dead object
  EXPECT_EQ(s, nullptr);
  auto t = ConnectedClient(listener, peer);
  t->OnSendComplete = [&] { t.reset(); };
  t->SendData("small");
  EXPECT_EQ(t, nullptr);
}

TEST_F(DestroyInsideEventTest, ListenerDestroyedInsideConnectionRequestStillClosesTheOffer) {
  auto server = std::make_unique<SocketMaster>();
  server->SetLocalIP("127.0.0.1");
  server->Listen();
  server->OnConnectionRequest = [&](std::int32_t) { server.reset(); };
  RawSocket client = RawSocket::Connect(server->LocalPort());
  ASSERT_TRUE(Until([&] { return server == nullptr; }));
  EXPECT_EQ(client.Receive(1), "");
  EXPECT_EQ(dispatch::AcceptCount(), 0u);
}

// LoopTest fails these if a descriptor is left open.
class ManyCyclesTest : public LoopTest {};

TEST_F(ManyCyclesTest, ThousandsOfConnectCloseCyclesLeakNoDescriptors) {
  SocketMaster server;
  server.SetLocalIP("127.0.0.1");
  server.Listen();
  const int port = server.LocalPort();
  std::unique_ptr<SocketMaster> accepted;
  server.OnConnectionRequest = [&](std::int32_t id) {
    accepted = std::make_unique<SocketMaster>();
    accepted->Accept(id);
  };
  SocketMaster client;
  for (int i = 0; i < 2000; ++i) {
    bool connected = false;
    client.OnConnect = [&] { connected = true; };
    client.Connect("127.0.0.1", port);
    ASSERT_TRUE(Until([&] { return connected && accepted != nullptr; })) << "cycle " << i;
    if (i % 2 == 0) {
      client.CloseSck();
      ASSERT_TRUE(Until([&] { return accepted->State() == SocketState::kClosing; }));
    }
    accepted.reset();
    client.CloseSck();
  }
  Settle();
  EXPECT_EQ(loop_.WatchCount(), 1u) << "only the listener is watched";
  server.CloseSck();
}

TEST_F(ManyCyclesTest, CloseWhileConnectingOrFailedLeaksNothing) {
  RawSocket listener = RawSocket::Listen(/*backlog=*/128);
  ASSERT_EQ(fcntl(listener.fd(), F_SETFL, O_NONBLOCK), 0);  // draining must never wait
  for (int i = 0; i < 1000; ++i) {
    SocketMaster s;
    s.Connect("127.0.0.1", i % 2 ? listener.Port() : testing::UnusedPort());
    if (i % 3 == 0) Settle(std::chrono::milliseconds(0));
    s.CloseSck();
    RawSocket drain(accept4(listener.fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
  }
  Settle();
  EXPECT_EQ(loop_.WatchCount(), 0u);
  EXPECT_FALSE(dispatch::HasNotifier());
}

}  // namespace
}  // namespace net
