// The socket service: its lifetime, host lookups, owners that destroy their socket object
// inside one of its events, and thousands of cycles that leak nothing.
#include <fcntl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/dispatch.h"
#include "net/host_resolver.h"
#include "net/socket_errors.h"
#include "net/socket_master.h"
#include "net_test_support.h"
#include "support/error.h"

namespace net {
namespace {

using testing::LoopTest;
using testing::RawSocket;
using testing::Recorder;

/// A resolver the test answers by hand; it records starts and cancels.
class ScriptedResolver : public HostResolver {
 public:
  explicit ScriptedResolver(EventLoop& loop) : loop_(loop) {}

  int Start(std::int32_t handle, const std::string& host, Done done) override {
    if (refuse_with != 0) return refuse_with;
    hosts.push_back(host);
    pending[handle] = std::move(done);
    return 0;
  }
  bool Cancel(std::int32_t handle) override {
    cancelled.push_back(handle);
    return true;
  }
  /// Delivers a result the way a worker would: posted to the loop, even when the owner
  /// cancelled meanwhile (a result already on its way).
  void Finish(std::int32_t handle, int error = 0) {
    std::uint32_t loopback = 0;
    sys::ParseDotted("127.0.0.1", &loopback);
    auto done = std::move(pending.at(handle));
    pending.erase(handle);
    loop_.Post([done, result = LookupResult{error, error ? 0 : loopback}] { done(result); });
  }
  std::int32_t LastHandle() const { return pending.empty() ? 0 : pending.rbegin()->first; }

  int refuse_with = 0;
  std::vector<std::string> hosts;
  std::vector<std::int32_t> cancelled;
  std::map<std::int32_t, Done> pending;

 private:
  EventLoop& loop_;
};

class ServiceTest : public LoopTest {};

TEST_F(ServiceTest, LivesFromTheFirstObjectToTheLastWithANotifierWhileASocketIsOpen) {
  auto first = std::make_unique<SocketMaster>();
  EXPECT_TRUE(dispatch::IsServiceStarted());
  auto second = std::make_unique<SocketMaster>();
  EXPECT_EQ(dispatch::LiveObjectCount(), 2);
  EXPECT_FALSE(dispatch::HasNotifier()) << "the notification source waits for a socket";
  RawSocket listener = RawSocket::Listen();
  second->Connect("127.0.0.1", listener.Port());
  EXPECT_TRUE(dispatch::HasNotifier());
  EXPECT_TRUE(dispatch::IsSocketRegistered(second->SocketHandle()));
  second->CloseSck();
  EXPECT_FALSE(dispatch::HasNotifier());
  EXPECT_EQ(loop_.WatchCount(), 0u);
  first.reset();
  EXPECT_TRUE(dispatch::IsServiceStarted());
  second.reset();
  EXPECT_FALSE(dispatch::IsServiceStarted());

  SetEventLoop(nullptr);
  EXPECT_EQ(testing::ExpectError(10093, [] { SocketMaster s; }),
            "modSocketMaster.InitiateProcesses");
  EXPECT_EQ(dispatch::LiveObjectCount(), 0);
  SetEventLoop(&loop_);
}

class LookupTest : public LoopTest {
 protected:
  LookupTest() : resolver_(loop_) { SetHostResolver(&resolver_); }
  ~LookupTest() override { SetHostResolver(nullptr); }
  ScriptedResolver resolver_;
};

TEST_F(LookupTest, LookupThatCannotStartOrFailsIsAnErrorEventAndOneFoundConnects) {
  resolver_.refuse_with = kWsaNoBufferSpace;
  SocketMaster s;
  Recorder r(s);
  s.Connect("folder.example", 21);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].number, kWsaNoBufferSpace);
  EXPECT_EQ(r.errors[0].source, "SocketMaster.ResolveIfHostname");
  EXPECT_EQ(s.State(), SocketState::kFailed);
  EXPECT_EQ(dispatch::LookupRoutes().Count(), 0u);
  s.CloseSck();

  resolver_.refuse_with = 0;
  s.Connect("nowhere.example", 21);
  resolver_.Finish(resolver_.LastHandle(), kWsaHostNotFound);
  ASSERT_TRUE(Until([&] { return r.errors.size() == 2; }));
  EXPECT_EQ(r.errors[1].number, 11001);
  EXPECT_EQ(r.errors[1].description, "Host not found.");
  EXPECT_EQ(r.errors[1].source, "SocketMaster.ConnectToIP");
  EXPECT_EQ(s.State(), SocketState::kFailed);
  s.CloseSck();

  RawSocket listener = RawSocket::Listen();
  s.Connect("folder.example", listener.Port());
  EXPECT_EQ(s.State(), SocketState::kResolvingHost);
  EXPECT_EQ(resolver_.hosts, (std::vector<std::string>{"nowhere.example", "folder.example"}));
  const std::int32_t handle = resolver_.LastHandle();
  EXPECT_EQ(dispatch::LookupRoutes().Find(handle), &s);
  resolver_.Finish(handle);
  ASSERT_TRUE(Until([&] { return r.Saw("Connect"); }));
  EXPECT_EQ(dispatch::LookupRoutes().Find(handle), nullptr);
  EXPECT_EQ(s.RemoteHostIP(), "127.0.0.1");
}

TEST_F(LookupTest, ResultOfACancelledLookupOrAfterTheServiceStoppedIsDropped) {
  auto s = std::make_unique<SocketMaster>();
  Recorder r(*s);
  s->Connect("folder.example", 21);
  const std::int32_t cancelled = resolver_.LastHandle();
  s->CloseSck();
  EXPECT_EQ(resolver_.cancelled, (std::vector<std::int32_t>{cancelled}));
  EXPECT_EQ(dispatch::LookupRoutes().Find(cancelled), nullptr);
  auto orphan = std::make_unique<SocketMaster>();
  orphan->Connect("folder.example", 21);
  const std::int32_t orphaned = resolver_.LastHandle();
  orphan.reset();
  resolver_.Finish(cancelled);
  resolver_.Finish(orphaned);
  Settle();
  EXPECT_TRUE(r.events.empty());
  EXPECT_EQ(s->State(), SocketState::kClosed);

  s->Connect("folder.example", 21);
  const std::int32_t last = resolver_.LastHandle();
  s.reset();
  EXPECT_FALSE(dispatch::IsServiceStarted());
  resolver_.Finish(last);
  Settle();
  // A new service run must not mistake an old handle for one of its own.
  SocketMaster fresh;
  fresh.Connect("other.example", 21);
  EXPECT_GT(resolver_.LastHandle(), last);
}

class RealResolverTest : public LoopTest {};

TEST_F(RealResolverTest, LocalhostConnectsAndAnEmptyHostIsNotFound) {
  RawSocket listener = RawSocket::Listen();
  SocketMaster s;
  Recorder r(s);
  s.Connect("localhost", listener.Port());
  EXPECT_EQ(s.State(), SocketState::kResolvingHost);
  ASSERT_TRUE(Until([&] { return !r.events.empty(); }));
  EXPECT_EQ(r.events, (std::vector<std::string>{"Connect"}));
  EXPECT_EQ(s.RemoteHostIP(), "127.0.0.1");
  s.CloseSck();
  s.Connect("", 21);
  ASSERT_TRUE(Until([&] { return r.Saw("Error"); }));
  EXPECT_EQ(r.errors[0].number, 11001);
  EXPECT_EQ(r.errors[0].source, "SocketMaster.ConnectToIP");
}

TEST_F(RealResolverTest, CloseDuringALookupLeavesNothingBehind) {
  RawSocket listener = RawSocket::Listen();
  for (int i = 0; i < 50; ++i) {
    SocketMaster s;
    Recorder r(s);
    s.Connect("localhost", listener.Port());
    s.CloseSck();
    Settle(std::chrono::milliseconds(2));
    EXPECT_TRUE(r.events.empty());
  }
  Settle(std::chrono::milliseconds(100));
  EXPECT_EQ(loop_.WatchCount(), 0u);
}

/// Owners that destroy their socket object from inside one of its events.
class DestroyInsideEventTest : public LoopTest {};

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
    auto s = ConnectTo(listener, peer);
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
  const testing::RefusingPort refusing;
  s->Connect("127.0.0.1", refusing.Port());
  ASSERT_TRUE(Until([&] { return s == nullptr; }));
  EXPECT_EQ(shown, (std::vector<std::string>{"SocketMaster.PostSocket: Connection refused."}));
}

TEST_F(DestroyInsideEventTest, InsideSendProgressAndSendComplete) {
  RawSocket listener = RawSocket::Listen();
  RawSocket peer;
  auto s = ConnectTo(listener, peer);
  s->OnSendProgress = [&](std::int64_t, std::int64_t) { s.reset(); };
  s->SendData(std::string(8 << 20, 'x'));  // the pump must stop touching the dead object
  EXPECT_EQ(s, nullptr);
  auto t = ConnectTo(listener, peer);
  t->OnSendComplete = [&] { t.reset(); };
  t->SendData("small");
  EXPECT_EQ(t, nullptr);
}

TEST_F(DestroyInsideEventTest, ListenerDestroyedInsideConnectionRequestStillClosesTheOffer) {
  auto server = std::make_unique<SocketMaster>();
  server->OnConnectionRequest = [&](std::int32_t) { server.reset(); };
  RawSocket client = RawSocket::Connect(ListenOnLoopback(*server));
  ASSERT_TRUE(Until([&] { return server == nullptr; }));
  EXPECT_EQ(client.Receive(1), "");
  EXPECT_EQ(dispatch::AcceptCount(), 0u);
}

// LoopTest fails these if a descriptor is left open.
TEST_F(ServiceTest, ThousandsOfConnectCloseCyclesLeakNoDescriptors) {
  SocketMaster server;
  const int port = ListenOnLoopback(server);
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

TEST_F(ServiceTest, CloseWhileConnectingOrFailedLeaksNothing) {
  RawSocket listener = RawSocket::Listen(/*backlog=*/128);
  ASSERT_EQ(fcntl(listener.fd(), F_SETFL, O_NONBLOCK), 0);  // draining must never wait
  const testing::RefusingPort refusing;
  for (int i = 0; i < 1000; ++i) {
    SocketMaster s;
    s.Connect("127.0.0.1", i % 2 ? listener.Port() : refusing.Port());
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
