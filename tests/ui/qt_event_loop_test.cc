#include "ui/qt_event_loop.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <QWidget>  // for ui/qt_app.h

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/dispatch.h"
#include "net/event_loop_contract.h"
#include "net/net_test_support.h"
#include "net/socket_master.h"
#include "ui/qt_app.h"

namespace ui {
namespace {

using namespace std::chrono_literals;
using net::Readiness;
using net::TimerKind;
using net::contract::EventLoopContract;
using net::contract::kPatience;

std::unique_ptr<net::EventLoop> MakeQtEventLoop() {
  qt_test::App();
  return std::make_unique<QtEventLoop>();
}

INSTANTIATE_TEST_SUITE_P(QtEventLoop, EventLoopContract, ::testing::Values(&MakeQtEventLoop));

/// The loop nested in a modal dialog's own loop, as the window's message boxes run it.
class QtEventLoopModal : public ::testing::Test, qt_test::UsesApp {
 protected:
  /// Runs a plain Qt loop, as `QDialog::exec` does; a Qt timer closes it after
  /// kPatience, so a missing event fails the test instead of hanging it.
  bool RunModal() {
    QEventLoop modal;
    modal_ = &modal;
    bool timed_out = false;
    QTimer::singleShot(kPatience, &modal, [&] {
      timed_out = true;
      modal.exit();
    });
    modal.exec();
    modal_ = nullptr;
    return !timed_out;
  }

  QtEventLoop loop_;
  QEventLoop* modal_ = nullptr;
};

TEST_F(QtEventLoopModal, CallbacksArriveInsideAModalLoopOpenedByACallback) {
  net::contract::SocketPair pair;
  std::vector<std::string> trace;
  bool modal_closed = false;
  loop_.Post([&] {
    trace.push_back("modal opens");
    net::WatchId watch = net::kNoWatch;
    watch = loop_.Watch(pair.near(), Readiness::kRead, [&](Readiness) {
      trace.push_back("readable");
      loop_.Unwatch(watch);
      loop_.StartTimer(1ms, TimerKind::kOneShot, [&] {
        trace.push_back("timer");
        loop_.Post([&] {
          trace.push_back("posted");
          modal_->exit();
        });
      });
    });
    pair.Write();
    modal_closed = RunModal();
    trace.push_back("modal closed");
    loop_.Quit();
  });
  loop_.StartTimer(2 * kPatience, TimerKind::kOneShot, [&] { loop_.Quit(); });
  loop_.Run();
  EXPECT_TRUE(modal_closed);
  EXPECT_EQ(trace, (std::vector<std::string>{"modal opens", "readable", "timer", "posted",
                                             "modal closed"}));
}

TEST_F(QtEventLoopModal, QuitAskedInsideAModalLoopEndsRunOnceTheModalLoopHasClosed) {
  std::vector<std::string> trace;
  bool modal_closed = false;
  loop_.Post([&] {
    loop_.Post([&] {
      trace.push_back("quit asked");
      loop_.Quit();
      // The modal loop still runs, and so must the loop's callbacks inside it.
      loop_.StartTimer(1ms, TimerKind::kOneShot, [&] {
        trace.push_back("timer inside the modal loop");
        modal_->exit();
      });
    });
    modal_closed = RunModal();
    trace.push_back("modal closed");
  });
  loop_.StartTimer(2 * kPatience, TimerKind::kOneShot, [&] {
    trace.push_back("guard");
    loop_.Quit();
  });
  loop_.Run();
  trace.push_back("run returned");
  EXPECT_TRUE(modal_closed);
  EXPECT_EQ(trace, (std::vector<std::string>{"quit asked", "timer inside the modal loop",
                                             "modal closed", "run returned"}));
}

/// The socket layer on the Qt loop, over real loopback sockets.
class QtEventLoopSockets : public ::testing::Test, qt_test::UsesApp {
 protected:
  QtEventLoopSockets() { net::SetEventLoop(&loop_); }
  ~QtEventLoopSockets() override {
    EXPECT_EQ(net::dispatch::LiveObjectCount(), 0);
    net::SetEventLoop(nullptr);
  }

  /// Runs the loop until `done` holds; fails the test after kPatience.
  bool Until(const std::function<bool()>& done) {
    if (done()) return true;
    const net::TimerId check = loop_.StartTimer(1ms, TimerKind::kRepeating, [&] {
      if (done()) loop_.Quit();
    });
    const net::TimerId guard =
        loop_.StartTimer(kPatience, TimerKind::kOneShot, [&] { loop_.Quit(); });
    loop_.Run();
    loop_.StopTimer(check);
    loop_.StopTimer(guard);
    EXPECT_TRUE(done()) << "timed out waiting for an event";
    return done();
  }

  QtEventLoop loop_;
};

TEST_F(QtEventLoopSockets, SocketMasterConnectsSendsReceivesAndSeesThePeerClose) {
  using net::testing::RawSocket;
  RawSocket listener = RawSocket::Listen();
  net::SocketMaster client;
  net::testing::Recorder r(client);
  std::string received;
  client.OnDataArrival = [&](std::int64_t) {
    std::string chunk;
    client.GetData(chunk);
    received += chunk;
  };
  client.Connect("127.0.0.1", listener.Port());
  RawSocket peer = listener.Accept();
  ASSERT_TRUE(peer.valid());
  ASSERT_TRUE(Until([&] { return r.Saw("Connect"); }));
  EXPECT_EQ(client.State(), net::SocketState::kConnected);

  // More than the loopback buffers hold at once: the rest goes out as the peer drains,
  // on write readiness.
  std::string bytes(8 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 % 251);
  std::string echoed;
  std::thread reader([&] { echoed = peer.Receive(bytes.size()); });
  client.SendData(bytes);
  const bool sent = Until([&] { return r.Saw("SendComplete"); });
  reader.join();
  ASSERT_TRUE(sent);
  EXPECT_TRUE(echoed == bytes) << "the peer got " << echoed.size() << " bytes";

  peer.Send("from the peer");
  ASSERT_TRUE(Until([&] { return received.size() == 13; }));
  EXPECT_EQ(received, "from the peer");

  peer.Close();
  ASSERT_TRUE(Until([&] { return r.Saw("CloseSck"); }));
  EXPECT_FALSE(r.Saw("Error"));
  EXPECT_EQ(r.Count("CloseSck"), 1);
  client.CloseSck();
}

}  // namespace
}  // namespace ui
