#include "ui/qt_event_loop.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/event_loop_contract.h"
#include "ui/qt_app.h"

namespace ui {
namespace {

using namespace std::chrono_literals;
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
  /// Runs the loop; a posted callback runs `inside`, then a plain Qt loop as
  /// `QDialog::exec` does. `inside` must quit the run; guards end both loops after
  /// kPatience and leave their mark in the trace.
  void RunModalInsideRun(const std::function<void()>& inside) {
    loop_.Post([&] {
      QEventLoop modal;
      modal_ = &modal;
      inside();
      QTimer::singleShot(kPatience, &modal, [&] {
        trace_.push_back("modal guard");
        modal.exit();
      });
      modal.exec();
      trace_.push_back("modal closed");
    });
    loop_.StartTimer(2 * kPatience, TimerKind::kOneShot, [&] {
      trace_.push_back("guard");
      loop_.Quit();
    });
    loop_.Run();
    trace_.push_back("run returned");
  }

  QtEventLoop loop_;
  QEventLoop* modal_ = nullptr;
  std::vector<std::string> trace_;
};

TEST_F(QtEventLoopModal, CallbacksArriveInsideAModalLoopOpenedByACallbackEvenAfterAQuit) {
  net::contract::SocketPair pair;
  net::WatchId watch = net::kNoWatch;
  RunModalInsideRun([&] {
    watch = loop_.Watch(pair.near(), net::Readiness::kRead, [&](net::Readiness) {
      trace_.push_back("readable");
      loop_.Unwatch(watch);
      loop_.StartTimer(1ms, TimerKind::kOneShot, [&] {
        trace_.push_back("timer");
        loop_.Post([&] {
          trace_.push_back("posted, quit asked");
          loop_.Quit();
          // The modal loop still runs, and so must the loop's callbacks inside it; the
          // run returns once the modal loop has closed.
          loop_.StartTimer(1ms, TimerKind::kOneShot, [&] {
            trace_.push_back("timer after the quit");
            modal_->exit();
          });
        });
      });
    });
    pair.Write();
  });
  EXPECT_EQ(trace_,
            (std::vector<std::string>{"readable", "timer", "posted, quit asked",
                                      "timer after the quit", "modal closed", "run returned"}));
}

}  // namespace
}  // namespace ui
