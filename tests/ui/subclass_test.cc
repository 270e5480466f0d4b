// Qt's event plumbing: the socket layer's loop on Qt's loop (the loop contract, and inside a
// modal dialog's loop), and message hooks on widgets.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/event_loop_contract.h"
#include "ui/qt_app.h"
#include "ui/qt_event_loop.h"
#include "ui/subclass.h"

namespace ui {
namespace {

using Journal = std::vector<std::string>;
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

constexpr auto kMsgA = static_cast<QEvent::Type>(QEvent::User + 1);
constexpr auto kMsgB = static_cast<QEvent::Type>(QEvent::User + 2);
constexpr auto kMsgC = static_cast<QEvent::Type>(QEvent::User + 3);

std::string Name(std::int32_t msg) {
  return msg >= kMsgA && msg <= kMsgC ? std::string(1, static_cast<char>('A' + msg - kMsgA))
                                      : std::to_string(msg);
}

/// A widget that journals the custom messages it handles and answers them with `result`.
struct ProbeWidget : QWidget {
  explicit ProbeWidget(Journal* journal) : journal(journal) {}
  bool event(QEvent* event) override {
    if (event->type() < QEvent::User) return QWidget::event(event);
    journal->push_back("widget:" + Name(event->type()));
    return result;
  }
  Journal* journal;
  bool result = true;
};

/// An owner that journals its calls and lets each test script them.
struct Owner : ISubClass {
  Owner(Journal* journal, std::string tag) : journal(journal), tag(std::move(tag)) {}
  void Before(bool& handled, std::int32_t& ret, QWidget* hwnd, std::int32_t msg,
              QEvent*& event) override {
    journal->push_back("before" + tag + ":" + Name(msg));
    seen_hwnd = hwnd;
    if (on_before) on_before(handled, ret, event);
  }
  void After(std::int32_t& ret, QWidget* hwnd, std::int32_t msg, QEvent* /*event*/) override {
    journal->push_back("after" + tag + ":" + Name(msg) + "=" + std::to_string(ret));
    seen_hwnd = hwnd;
    if (on_after) on_after(ret);
  }
  Journal* journal;
  std::string tag;
  std::function<void(bool&, std::int32_t&, QEvent*&)> on_before;
  std::function<void(std::int32_t&)> on_after;
  QWidget* seen_hwnd = nullptr;
};

std::int32_t Send(QWidget* widget, QEvent::Type type) {
  QEvent event(type);
  return SendMessage(widget, &event);
}

class SubClassTest : public ::testing::Test {
 protected:
  /// A hook of `owner_` on `widget_` for kMsgA, before and after.
  void HookA(CSubClass& hook) {
    hook.AddMsg(kMsgA, true);
    hook.AddMsg(kMsgA, false);
    hook.SubClass(&widget_, &owner_);
  }

  qt_test::UsesApp app_;
  Journal journal_;
  ProbeWidget widget_{&journal_};
  Owner owner_{&journal_, ""};
};

TEST_F(SubClassTest, TheBeforeTableHooksWhatItsEditsLeftRegistered) {
  struct Case {
    const char* name;
    const char* edits;   ///< "+A" adds kMsgA, "-A" deletes it; "*" stands for -1
    const char* hooked;  ///< which of A, B and C reach Before
  };
  const Case kCases[] = {
      {"-1 is every message", "+*", "ABC"},
      {"-1 deleted is none", "+*-*", ""},
      {"a message added twice goes with one deletion", "+A+A-A", ""},
      {"a deleted message goes, the others stay", "+A+B-A+C", "BC"},
      {"a message behind a free slot is not stored twice", "+A+B-A+B-B", ""},
      {"messages deleted by -1 do not come back", "+A-*+B", "B"},
      {"one message added to every message keeps every message", "+*+A", "ABC"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CSubClass hook;
    for (const char* e = c.edits; *e != 0; e += 2) {
      const std::int32_t msg = e[1] == '*' ? -1 : kMsgA + (e[1] - 'A');
      e[0] == '+' ? hook.AddMsg(msg, true) : hook.DelMsg(msg, true);
    }
    hook.UnSubClass();  // not hooking yet: does nothing, the table stays
    hook.SubClass(&widget_, &owner_);
    EXPECT_EQ(hook.hWnd(), &widget_);
    journal_.clear();
    Journal expected;
    for (const QEvent::Type msg : {kMsgA, kMsgB, kMsgC}) {
      Send(&widget_, msg);
      if (std::string_view(c.hooked).find(Name(msg)) != std::string_view::npos) {
        expected.push_back("before:" + Name(msg));
      }
      expected.push_back("widget:" + Name(msg));
    }
    EXPECT_EQ(journal_, expected);
  }
}

TEST_F(SubClassTest, BeforeRunsFirstThenTheWidgetThenAfterAndEachMayChangeWhatHappens) {
  CSubClass hook;
  HookA(hook);
  EXPECT_EQ(Send(&widget_, kMsgA), 1);
  EXPECT_EQ(journal_, (Journal{"before:A", "widget:A", "after:A=1"}));
  EXPECT_EQ(owner_.seen_hwnd, &widget_);

  journal_.clear();
  widget_.result = false;
  owner_.on_before = [](bool&, std::int32_t& ret, QEvent*&) { ret = 7; };  // not handled
  owner_.on_after = [](std::int32_t& ret) { ret += 42; };
  EXPECT_EQ(Send(&widget_, kMsgA), 42);
  EXPECT_EQ(journal_, (Journal{"before:A", "widget:A", "after:A=0"}));

  // Handled: the answer is Before's, the widget and After are skipped.
  journal_.clear();
  owner_.on_before = [](bool& handled, std::int32_t& ret, QEvent*&) {
    handled = true;
    ret = 1;
  };
  EXPECT_EQ(Send(&widget_, kMsgA), 1);
  EXPECT_EQ(journal_, (Journal{"before:A"}));

  // Before may hand the widget another event.
  journal_.clear();
  QEvent replacement(kMsgB);
  owner_.on_before = [&replacement](bool&, std::int32_t&, QEvent*& event) { event = &replacement; };
  owner_.on_after = nullptr;
  Send(&widget_, kMsgA);
  EXPECT_EQ(journal_, (Journal{"before:A", "widget:B", "after:A=0"}));
}

TEST_F(SubClassTest, MessagesSentFromACallbackGoThroughTheHookAgain) {
  CSubClass hook;
  hook.AddMsg(-1, true);
  hook.SubClass(&widget_, &owner_);
  owner_.on_before = [this](bool&, std::int32_t&, QEvent*& event) {
    if (event->type() == kMsgA) Send(&widget_, kMsgB);
  };
  Send(&widget_, kMsgA);
  EXPECT_EQ(journal_, (Journal{"before:A", "before:B", "widget:B", "widget:A"}));
}

TEST_F(SubClassTest, TheLastHookSeesAMessageFirst) {
  Owner inner_owner(&journal_, "1");
  Owner outer_owner(&journal_, "2");
  CSubClass inner;
  CSubClass outer;
  for (CSubClass* hook : {&inner, &outer}) {
    hook->AddMsg(kMsgA, true);
    hook->AddMsg(kMsgA, false);
  }
  inner.SubClass(&widget_, &inner_owner);
  outer.SubClass(&widget_, &outer_owner);
  outer_owner.on_after = [](std::int32_t& ret) { ret += 10; };
  inner_owner.on_after = [](std::int32_t& ret) { ret += 1; };
  EXPECT_EQ(Send(&widget_, kMsgA), 12);
  EXPECT_EQ(journal_, (Journal{"before2:A", "before1:A", "widget:A", "after1:A=1", "after2:A=2"}));

  journal_.clear();
  inner.UnSubClass();  // the outer hook stays and now reaches the widget directly
  EXPECT_EQ(Send(&widget_, kMsgA), 11);
  EXPECT_EQ(journal_, (Journal{"before2:A", "widget:A", "after2:A=1"}));
}

TEST_F(SubClassTest, ReleasedOwnerMakesTheHookRemoveItself) {
  CSubClass hook;
  hook.AddMsg(kMsgA, true);
  {
    Owner short_lived(&journal_, "x");
    hook.SubClass(&widget_, &short_lived);
  }
  widget_.result = false;
  EXPECT_EQ(Send(&widget_, kMsgA), 0);
  EXPECT_EQ(journal_, (Journal{"widget:A"}));  // passed on, no callback
  EXPECT_EQ(hook.hWnd(), nullptr);
}

TEST_F(SubClassTest, HookDestroyedInsideItsOwnCallbackLetsTheMessageThrough) {
  auto* hook = new CSubClass;
  HookA(*hook);
  owner_.on_before = [&hook](bool&, std::int32_t&, QEvent*&) {
    delete hook;
    hook = nullptr;
  };
  EXPECT_EQ(Send(&widget_, kMsgA), 1);
  Send(&widget_, kMsgA);
  EXPECT_EQ(journal_, (Journal{"before:A", "widget:A", "widget:A"}));
}

TEST_F(SubClassTest, WidgetDestroyedWhileHookedIsForgottenAndAHookHooksOneWidget) {
  auto* widget = new ProbeWidget(&journal_);
  CSubClass hook;
  hook.AddMsg(kMsgA, true);
  hook.SubClass(widget, &owner_);
  delete widget;
  EXPECT_EQ(hook.hWnd(), nullptr);
  hook.UnSubClass();
  hook.AddMsg(kMsgA, true);
  hook.SubClass(&widget_, &owner_);
  ProbeWidget other(&journal_);
  hook.SubClass(&other, &owner_);  // already hooking: does nothing
  EXPECT_EQ(hook.hWnd(), &widget_);
  Send(&other, kMsgA);
  Send(&widget_, kMsgA);
  EXPECT_EQ(journal_, (Journal{"widget:A", "before:A", "widget:A"}));
}

TEST_F(SubClassTest, UnSubClassLeavesARealButtonAsBefore) {
  QPushButton button("press");
  button.resize(80, 30);
  QSignalSpy clicked(&button, &QPushButton::clicked);
  const auto click = [&button] {
    const QPointF centre(40, 15);
    qt_test::SendMouse(&button, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
    qt_test::SendMouse(&button, QEvent::MouseButtonRelease, centre, Qt::LeftButton, {});
  };
  CSubClass hook;
  hook.AddMsg(-1, false);
  hook.AddMsg(QEvent::MouseButtonPress, true);
  hook.SubClass(&button, &owner_);
  click();
  EXPECT_EQ(clicked.count(), 1);  // an observing hook changes nothing

  owner_.on_before = [](bool& handled, std::int32_t&, QEvent*&) { handled = true; };
  click();
  EXPECT_EQ(clicked.count(), 1);  // the press never reached the button

  hook.UnSubClass();
  journal_.clear();
  click();
  EXPECT_EQ(clicked.count(), 2);
  EXPECT_TRUE(journal_.empty());
}

TEST_F(SubClassTest, AnIgnoredMousePressStillReachesTheParent) {
  // Qt passes a press the child ignores on to its parent; hooking the child must keep that.
  qt_test::PressCounter parent;
  parent.resize(100, 100);
  auto* child = new QWidget(&parent);
  child->setGeometry(10, 10, 40, 40);
  CSubClass hook;
  hook.AddMsg(-1, true);
  hook.AddMsg(-1, false);
  hook.SubClass(child, &owner_);
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent, 5000));
  QTest::mousePress(child, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(child, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(parent.presses, 1);
  EXPECT_NE(std::find(journal_.begin(), journal_.end(),
                      "before:" + std::to_string(QEvent::MouseButtonPress)),
            journal_.end());
}

}  // namespace
}  // namespace ui
