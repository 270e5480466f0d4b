#include "ui/subclass.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <string>
#include <vector>

#include "ui/qt_app.h"

namespace ui {
namespace {

using Journal = std::vector<std::string>;

constexpr auto kMsgA = static_cast<QEvent::Type>(QEvent::User + 1);
constexpr auto kMsgB = static_cast<QEvent::Type>(QEvent::User + 2);
constexpr auto kMsgC = static_cast<QEvent::Type>(QEvent::User + 3);

std::string Name(std::int32_t msg) {
  if (msg == kMsgA) return "A";
  if (msg == kMsgB) return "B";
  if (msg == kMsgC) return "C";
  return std::to_string(msg);
}

/// A widget that writes the custom messages it handles into a journal and
/// answers them with a chosen result.
class ProbeWidget : public QWidget {
 public:
  explicit ProbeWidget(Journal* journal) : journal_(journal) {}
  bool result = true;

 protected:
  qt_test::UsesApp app_;
  bool event(QEvent* event) override {
    if (event->type() < QEvent::User) return QWidget::event(event);
    journal_->push_back("widget:" + Name(event->type()));
    return result;
  }

 private:
  Journal* journal_;
};

/// An owner that journals its calls and lets each test script them.
class Owner : public ISubClass {
 public:
  Owner(Journal* journal, std::string tag) : journal_(journal), tag_(std::move(tag)) {}
  std::function<void(bool&, std::int32_t&, QEvent*&)> on_before;
  std::function<void(std::int32_t&)> on_after;
  QWidget* seen_hwnd = nullptr;

  void Before(bool& handled, std::int32_t& ret, QWidget* hwnd, std::int32_t msg,
              QEvent*& event) override {
    journal_->push_back("before" + tag_ + ":" + Name(msg));
    seen_hwnd = hwnd;
    if (on_before) on_before(handled, ret, event);
  }
  void After(std::int32_t& ret, QWidget* hwnd, std::int32_t msg, QEvent* /*event*/) override {
    journal_->push_back("after" + tag_ + ":" + Name(msg) + "=" + std::to_string(ret));
    seen_hwnd = hwnd;
    if (on_after) on_after(ret);
  }

 private:
  Journal* journal_;
  std::string tag_;
};

std::int32_t Send(QWidget* widget, QEvent::Type type) {
  QEvent event(type);
  return SendMessage(widget, &event);
}

class SubClassTest : public ::testing::Test {
 protected:
  qt_test::UsesApp app_;
  Journal journal_;
  ProbeWidget widget_{&journal_};
  Owner owner_{&journal_, ""};
};

// --- message tables -------------------------------------------------------

using MessageTables = SubClassTest;

TEST_F(MessageTables, MinusOneRegistersEveryMessageAndDeletingItRegistersNone) {
  CSubClass hook;
  hook.SubClass(&widget_, &owner_);
  hook.AddMsg(-1, true);
  EXPECT_EQ(hook.Count(true), -1);
  Send(&widget_, kMsgA);
  Send(&widget_, kMsgB);
  EXPECT_EQ(journal_, (Journal{"before:A", "widget:A", "before:B", "widget:B"}));

  journal_.clear();
  hook.DelMsg(-1, true);
  EXPECT_EQ(hook.Count(true), 0);
  Send(&widget_, kMsgA);
  EXPECT_EQ(journal_, (Journal{"widget:A"}));
}

TEST_F(MessageTables, AddingAMessageTwiceKeepsOneEntry) {
  CSubClass hook;
  hook.AddMsg(kMsgA, false);
  hook.AddMsg(kMsgA, false);
  EXPECT_EQ(hook.Count(false), 1);
  EXPECT_EQ(hook.Entries(false), (std::vector<std::int32_t>{kMsgA}));
}

TEST_F(MessageTables, FreedSlotHoldsMinusOneAndIsReused) {
  CSubClass hook;
  hook.AddMsg(kMsgA, true);
  hook.AddMsg(kMsgB, true);
  hook.DelMsg(kMsgA, true);
  EXPECT_EQ(hook.Entries(true), (std::vector<std::int32_t>{-1, kMsgB}));
  EXPECT_EQ(hook.Count(true), 2);  // deleting never shrinks the table
  hook.AddMsg(kMsgC, true);
  EXPECT_EQ(hook.Entries(true), (std::vector<std::int32_t>{kMsgC, kMsgB}));
  EXPECT_EQ(hook.Count(true), 2);
}

// Regression: a message found after a free slot used to be stored a second
// time in that slot, so deleting it once left it registered.
TEST_F(MessageTables, AMessageBehindAFreeSlotIsNotStoredTwice) {
  CSubClass hook;
  hook.SubClass(&widget_, &owner_);
  hook.AddMsg(kMsgA, true);
  hook.AddMsg(kMsgB, true);
  hook.DelMsg(kMsgA, true);
  hook.AddMsg(kMsgB, true);
  hook.DelMsg(kMsgB, true);
  Send(&widget_, kMsgB);
  EXPECT_EQ(journal_, (Journal{"widget:B"}));
}

// Regression: messages registered before "none" came back with the next one.
TEST_F(MessageTables, MessagesDeletedByMinusOneDoNotComeBack) {
  CSubClass hook;
  hook.SubClass(&widget_, &owner_);
  hook.AddMsg(kMsgA, true);
  hook.DelMsg(-1, true);
  hook.AddMsg(kMsgB, true);
  Send(&widget_, kMsgA);
  Send(&widget_, kMsgB);
  EXPECT_EQ(journal_, (Journal{"widget:A", "before:B", "widget:B"}));
}

TEST_F(MessageTables, AddingOneMessageToEveryMessageKeepsEveryMessage) {
  CSubClass hook;
  hook.SubClass(&widget_, &owner_);
  hook.AddMsg(-1, true);
  hook.AddMsg(kMsgA, true);
  EXPECT_EQ(hook.Count(true), -1);
  Send(&widget_, kMsgB);
  EXPECT_EQ(journal_, (Journal{"before:B", "widget:B"}));
}

TEST_F(MessageTables, MessagesRegisteredBeforeSubClassApply) {
  CSubClass hook;
  hook.AddMsg(kMsgA, false);
  hook.UnSubClass();  // not hooking: nothing happens, the table stays
  EXPECT_EQ(hook.Count(false), 1);
  EXPECT_EQ(hook.hWnd(), nullptr);
  hook.SubClass(&widget_, &owner_);
  EXPECT_EQ(hook.hWnd(), &widget_);
  Send(&widget_, kMsgA);
  EXPECT_EQ(journal_, (Journal{"widget:A", "after:A=1"}));
}

// --- the hook procedure -----------------------------------------------------

using HookProcedure = SubClassTest;

TEST_F(HookProcedure, BeforeRunsFirstThenTheWidgetThenAfter) {
  CSubClass hook;
  hook.AddMsg(kMsgA, true);
  hook.AddMsg(kMsgA, false);
  hook.SubClass(&widget_, &owner_);
  EXPECT_EQ(Send(&widget_, kMsgA), 1);
  EXPECT_EQ(journal_, (Journal{"before:A", "widget:A", "after:A=1"}));
  EXPECT_EQ(owner_.seen_hwnd, &widget_);
}

TEST_F(HookProcedure, HandledMessageAnswersTheReturnValueAndSkipsWidgetAndAfter) {
  CSubClass hook;
  hook.AddMsg(kMsgA, true);
  hook.AddMsg(kMsgA, false);
  hook.SubClass(&widget_, &owner_);
  widget_.result = false;
  owner_.on_before = [](bool& handled, std::int32_t& ret, QEvent*&) {
    handled = true;
    ret = 1;
  };
  EXPECT_EQ(Send(&widget_, kMsgA), 1);
  EXPECT_EQ(journal_, (Journal{"before:A"}));
}

TEST_F(HookProcedure, UnhandledMessageAnswersTheWidgetsResult) {
  CSubClass hook;
  hook.AddMsg(kMsgA, true);
  hook.SubClass(&widget_, &owner_);
  widget_.result = false;
  owner_.on_before = [](bool&, std::int32_t& ret, QEvent*&) { ret = 7; };  // not handled
  EXPECT_EQ(Send(&widget_, kMsgA), 0);
}

TEST_F(HookProcedure, AfterSeesAndMayChangeTheWidgetsResult) {
  CSubClass hook;
  hook.AddMsg(kMsgA, false);
  hook.SubClass(&widget_, &owner_);
  widget_.result = false;
  owner_.on_after = [](std::int32_t& ret) { ret = 42; };
  EXPECT_EQ(Send(&widget_, kMsgA), 42);
  EXPECT_EQ(journal_, (Journal{"widget:A", "after:A=0"}));
}

TEST_F(HookProcedure, BeforeMayHandTheWidgetAnotherEvent) {
  CSubClass hook;
  hook.AddMsg(kMsgA, true);
  hook.AddMsg(kMsgA, false);
  hook.SubClass(&widget_, &owner_);
  QEvent replacement(kMsgB);
  owner_.on_before = [&replacement](bool&, std::int32_t&, QEvent*& event) { event = &replacement; };
  Send(&widget_, kMsgA);
  EXPECT_EQ(journal_, (Journal{"before:A", "widget:B", "after:A=1"}));
}

TEST_F(HookProcedure, MessagesSentFromACallbackGoThroughTheHookAgain) {
  CSubClass hook;
  hook.AddMsg(-1, true);
  hook.SubClass(&widget_, &owner_);
  bool sent = false;
  owner_.on_before = [this, &sent](bool&, std::int32_t&, QEvent*&) {
    if (sent) return;
    sent = true;
    Send(&widget_, kMsgB);
  };
  Send(&widget_, kMsgA);
  EXPECT_EQ(journal_, (Journal{"before:A", "before:B", "widget:B", "widget:A"}));
}

TEST_F(HookProcedure, TheLastHookSeesAMessageFirst) {
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

// --- lifetime ---------------------------------------------------------------

using HookLifetime = SubClassTest;

TEST_F(HookLifetime, ReleasedOwnerMakesTheHookRemoveItself) {
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
  EXPECT_EQ(hook.Count(true), 0);
}

TEST_F(HookLifetime, HookDestroyedInsideItsOwnCallbackLetsTheMessageThrough) {
  auto* hook = new CSubClass;
  hook->AddMsg(kMsgA, true);
  hook->AddMsg(kMsgA, false);
  hook->SubClass(&widget_, &owner_);
  owner_.on_before = [&hook](bool&, std::int32_t&, QEvent*&) {
    delete hook;
    hook = nullptr;
  };
  EXPECT_EQ(Send(&widget_, kMsgA), 1);
  EXPECT_EQ(journal_, (Journal{"before:A", "widget:A"}));
  journal_.clear();
  Send(&widget_, kMsgA);
  EXPECT_EQ(journal_, (Journal{"widget:A"}));
}

TEST_F(HookLifetime, WidgetDestroyedWhileHookedIsForgotten) {
  auto* widget = new ProbeWidget(&journal_);
  CSubClass hook;
  hook.AddMsg(-1, false);
  hook.SubClass(widget, &owner_);
  delete widget;
  EXPECT_EQ(hook.hWnd(), nullptr);
  hook.UnSubClass();
  // A new hook on a new widget works as usual.
  ProbeWidget other(&journal_);
  CSubClass second;
  second.AddMsg(kMsgA, true);
  second.SubClass(&other, &owner_);
  journal_.clear();
  Send(&other, kMsgA);
  EXPECT_EQ(journal_, (Journal{"before:A", "widget:A"}));
}

TEST_F(HookLifetime, SubClassWhileHookingDoesNothing) {
  ProbeWidget other(&journal_);
  CSubClass hook;
  hook.AddMsg(kMsgA, true);
  hook.SubClass(&widget_, &owner_);
  hook.SubClass(&other, &owner_);
  EXPECT_EQ(hook.hWnd(), &widget_);
  Send(&other, kMsgA);
  EXPECT_EQ(journal_, (Journal{"widget:A"}));
}

// --- real widgets ------------------------------------------------------------

class RealWidgets : public ::testing::Test {
 protected:
  qt_test::UsesApp app_;
  static void ClickButton(QPushButton* button) {
    const QPointF centre(button->width() / 2.0, button->height() / 2.0);
    qt_test::SendMouse(button, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
    qt_test::SendMouse(button, QEvent::MouseButtonRelease, centre, Qt::LeftButton, {});
  }
  Journal journal_;
  Owner owner_{&journal_, ""};
};

TEST_F(RealWidgets, UnSubClassLeavesTheButtonAsBefore) {
  QPushButton button("press");
  button.resize(80, 30);
  QSignalSpy clicked(&button, &QPushButton::clicked);
  ClickButton(&button);
  ASSERT_EQ(clicked.count(), 1);

  CSubClass hook;
  hook.AddMsg(-1, false);
  hook.AddMsg(QEvent::MouseButtonPress, true);
  hook.SubClass(&button, &owner_);
  ClickButton(&button);
  EXPECT_EQ(clicked.count(), 2);  // an observing hook changes nothing

  owner_.on_before = [](bool& handled, std::int32_t&, QEvent*&) { handled = true; };
  ClickButton(&button);
  EXPECT_EQ(clicked.count(), 2);  // the press never reached the button

  hook.UnSubClass();
  journal_.clear();
  ClickButton(&button);
  EXPECT_EQ(clicked.count(), 3);
  EXPECT_TRUE(journal_.empty());
}

TEST_F(RealWidgets, AnIgnoredMousePressStillReachesTheParent) {
  // Qt passes a press the child ignores on to its parent; hooking the child
  // must keep that.
  struct Parent : QWidget {
    int presses = 0;
    void mousePressEvent(QMouseEvent* event) override {
      ++presses;
      event->accept();
    }
  } parent;
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
