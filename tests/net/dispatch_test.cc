#include "net/dispatch.h"

#include <map>
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
  void Finish(std::int32_t handle, LookupResult result) {
    auto done = std::move(pending.at(handle));
    pending.erase(handle);
    loop_.Post([done, result] { done(result); });
  }
  std::int32_t LastHandle() const { return pending.empty() ? 0 : pending.rbegin()->first; }

  int refuse_with = 0;
  std::vector<std::string> hosts;
  std::vector<std::int32_t> cancelled;
  std::map<std::int32_t, Done> pending;

 private:
  EventLoop& loop_;
};

std::uint32_t Loopback() {
  std::uint32_t a = 0;
  sys::ParseDotted("127.0.0.1", &a);
  return a;
}

class ServiceTest : public LoopTest {};

TEST_F(ServiceTest, StartsWithTheFirstObjectAndStopsAfterTheLast) {
  EXPECT_FALSE(dispatch::IsServiceStarted());
  auto first = std::make_unique<SocketMaster>();
  EXPECT_TRUE(dispatch::IsServiceStarted());
  auto second = std::make_unique<SocketMaster>();
  EXPECT_EQ(dispatch::LiveObjectCount(), 2);
  first.reset();
  EXPECT_TRUE(dispatch::IsServiceStarted());
  second.reset();
  EXPECT_FALSE(dispatch::IsServiceStarted());
  EXPECT_EQ(dispatch::LiveObjectCount(), 0);
}

TEST_F(ServiceTest, CreationFailsWith10093WithoutALoop) {
  SetEventLoop(nullptr);
  try {
    SocketMaster s;
    FAIL() << "created without a loop";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 10093);
    EXPECT_EQ(e.Source(), "modSocketMaster.InitiateProcesses");
    EXPECT_EQ(e.Description(), "Successful WSAStartup not yet performed.");
  }
  EXPECT_EQ(dispatch::LiveObjectCount(), 0);
  SetEventLoop(&loop_);
}

TEST_F(ServiceTest, NotificationSourceExistsOnlyWhileASocketIsRegistered) {
  SocketMaster idle;
  EXPECT_FALSE(dispatch::HasNotifier());
  RawSocket listener = RawSocket::Listen();
  SocketMaster s;
  s.Connect("127.0.0.1", listener.Port());
  EXPECT_TRUE(dispatch::HasNotifier());
  EXPECT_TRUE(dispatch::IsSocketRegistered(s.SocketHandle()));
  s.CloseSck();
  EXPECT_FALSE(dispatch::HasNotifier());
  EXPECT_EQ(loop_.WatchCount(), 0u);
}

TEST_F(ServiceTest, UnregisteredSocketIsNoLongerRoutedAndANewOneIs) {
  RawSocket listener = RawSocket::Listen();
  SocketMaster a, b, c;
  a.Connect("127.0.0.1", listener.Port());
  b.Connect("127.0.0.1", listener.Port());
  const int old_handle = a.SocketHandle();
  a.CloseSck();
  EXPECT_EQ(dispatch::SocketOwner(old_handle), nullptr) << "its notifications are dropped";
  EXPECT_EQ(dispatch::SocketOwner(b.SocketHandle()), &b);
  c.Connect("127.0.0.1", listener.Port());
  EXPECT_EQ(dispatch::SocketOwner(c.SocketHandle()), &c);
  Recorder rb(b), rc(c);
  ASSERT_TRUE(Until([&] { return rb.Saw("Connect") && rc.Saw("Connect"); }));
  b.CloseSck();
  c.CloseSck();
}

TEST_F(ServiceTest, RegisteringAHandleTwiceKeepsItsFirstOwner) {
  RawSocket listener = RawSocket::Listen();
  SocketMaster owner, other;
  owner.Connect("127.0.0.1", listener.Port());
  dispatch::RegisterSocket(owner.SocketHandle(), &other, SocketRole::kConnecting);
  EXPECT_EQ(dispatch::SocketOwner(owner.SocketHandle()), &owner);
  Recorder r(owner);
  ASSERT_TRUE(Until([&] { return r.Saw("Connect"); }));
  owner.CloseSck();
}

class LookupTest : public LoopTest {
 protected:
  LookupTest() : resolver_(loop_) { SetHostResolver(&resolver_); }
  ~LookupTest() override { SetHostResolver(nullptr); }
  ScriptedResolver resolver_;
};

TEST_F(LookupTest, NameIsLookedUpThenConnected) {
  RawSocket listener = RawSocket::Listen();
  SocketMaster s;
  Recorder r(s);
  s.Connect("folder.example", listener.Port());
  EXPECT_EQ(s.State(), SocketState::kResolvingHost);
  ASSERT_EQ(resolver_.hosts, (std::vector<std::string>{"folder.example"}));
  const std::int32_t handle = resolver_.LastHandle();
  EXPECT_EQ(dispatch::LookupRoutes().Find(handle), &s);
  resolver_.Finish(handle, LookupResult{0, Loopback()});
  ASSERT_TRUE(Until([&] { return r.Saw("Connect"); }));
  EXPECT_EQ(dispatch::LookupRoutes().Find(handle), nullptr);
  EXPECT_EQ(s.RemoteHostIP(), "127.0.0.1");
  s.CloseSck();
}

TEST_F(LookupTest, FailedLookupIsError11001FromConnectToIP) {
  SocketMaster s;
  Recorder r(s);
  s.Connect("nowhere.example", 21);
  resolver_.Finish(resolver_.LastHandle(), LookupResult{kWsaHostNotFound, 0});
  ASSERT_TRUE(Until([&] { return r.Saw("Error"); }));
  EXPECT_EQ(r.errors[0].number, 11001);
  EXPECT_EQ(r.errors[0].description, "Host not found.");
  EXPECT_EQ(r.errors[0].source, "SocketMaster.ConnectToIP");
  EXPECT_EQ(s.State(), SocketState::kFailed);
  s.CloseSck();
}

TEST_F(LookupTest, LookupThatCannotStartFailsFromResolveIfHostname) {
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
}

TEST_F(LookupTest, CancelledLookupNeverReachesItsOwner) {
  SocketMaster s;
  Recorder r(s);
  s.Connect("folder.example", 21);
  const std::int32_t handle = resolver_.LastHandle();
  s.CloseSck();
  EXPECT_EQ(resolver_.cancelled, (std::vector<std::int32_t>{handle}));
  EXPECT_EQ(dispatch::LookupRoutes().Find(handle), nullptr);
  resolver_.Finish(handle, LookupResult{0, Loopback()});
  Settle();
  EXPECT_TRUE(r.events.empty());
  EXPECT_EQ(s.State(), SocketState::kClosed);
}

TEST_F(LookupTest, ResultForADestroyedOwnerIsDropped) {
  auto s = std::make_unique<SocketMaster>();
  auto keep_service = std::make_unique<SocketMaster>();
  s->Connect("folder.example", 21);
  const std::int32_t handle = resolver_.LastHandle();
  s.reset();
  resolver_.Finish(handle, LookupResult{0, Loopback()});
  Settle();
  EXPECT_EQ(dispatch::LookupRoutes().Find(handle), nullptr);
}

TEST_F(LookupTest, ResultAfterTheServiceStoppedIsDropped) {
  auto s = std::make_unique<SocketMaster>();
  s->Connect("folder.example", 21);
  const std::int32_t handle = resolver_.LastHandle();
  s.reset();
  EXPECT_FALSE(dispatch::IsServiceStarted());
  resolver_.Finish(handle, LookupResult{0, Loopback()});
  Settle();
  // A new service run must not mistake the old handle for one of its own.
  SocketMaster fresh;
  fresh.Connect("other.example", 21);
  EXPECT_NE(resolver_.LastHandle(), handle);
  fresh.CloseSck();
}

class RealResolverTest : public LoopTest {};

TEST_F(RealResolverTest, EmptyHostIsNotFound) {
  SocketMaster s;
  Recorder r(s);
  s.Connect("", 21);
  ASSERT_TRUE(Until([&] { return r.Saw("Error"); }));
  EXPECT_EQ(r.errors[0].number, 11001);
  EXPECT_EQ(r.errors[0].source, "SocketMaster.ConnectToIP");
  s.CloseSck();
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

}  // namespace
}  // namespace net
