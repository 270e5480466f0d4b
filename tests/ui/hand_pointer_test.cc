#include "ui/hand_pointer.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>
#include <QSignalSpy>

#include "ui/ctl_tool_tip.h"
#include "ui/qt_app.h"

namespace ui {
namespace {

class HandPointerTest : public ::testing::Test {
 protected:
  qt_test::UsesApp app_;
  void SetUp() override { widget_.resize(50, 20); }
  void Move() { qt_test::SendMouse(&widget_, QEvent::MouseMove, QPointF(5, 5)); }

  QWidget widget_;
  HandPointer tracker_{&widget_};
  QSignalSpy enter_{&tracker_, &HandPointer::MouseEnter};
  QSignalSpy leave_{&tracker_, &HandPointer::MouseLeave};
};

TEST_F(HandPointerTest, EntersOnTheFirstMoveAndLeavesOnLeave) {
  EXPECT_TRUE(widget_.hasMouseTracking());
  Move();
  Move();
  EXPECT_EQ(enter_.count(), 1);
  EXPECT_TRUE(tracker_.Inside());
  qt_test::SendLeave(&widget_);
  EXPECT_EQ(leave_.count(), 1);
  EXPECT_FALSE(tracker_.Inside());
  Move();
  EXPECT_EQ(enter_.count(), 2);
}

TEST_F(HandPointerTest, LeaveWithoutEnterRaisesNothing) {
  qt_test::SendLeave(&widget_);
  EXPECT_EQ(leave_.count(), 0);
}

TEST_F(HandPointerTest, ShowsTheHandWhileOn) {
  Move();
  EXPECT_EQ(widget_.cursor().shape(), Qt::PointingHandCursor);
  tracker_.SetUseHand(false);
  EXPECT_NE(widget_.cursor().shape(), Qt::PointingHandCursor);
  tracker_.SetUseHand(true);
  EXPECT_EQ(widget_.cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(HandPointerTest, TheWaitCursorIsNotReplacedByTheHand) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  Move();
  EXPECT_EQ(enter_.count(), 1);
  EXPECT_NE(widget_.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  QGuiApplication::restoreOverrideCursor();
  Move();
  EXPECT_EQ(widget_.cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(HandPointerTest, ADisabledWidgetIsNotEntered) {
  widget_.setEnabled(false);
  Move();
  EXPECT_EQ(enter_.count(), 0);
}

class CtlToolTipTest : public ::testing::Test {
 protected:
  qt_test::UsesApp app_;
  QWidget widget_;
};

TEST_F(CtlToolTipTest, IsAttachedAnewAfterEachButtonRelease) {
  CtlToolTip tip(&widget_);
  tip.SetText("help");
  EXPECT_EQ(widget_.toolTip(), "help");
  const int before = tip.Attachments();
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    qt_test::SendMouse(&widget_, QEvent::MouseButtonRelease, QPointF(1, 1), button);
  }
  EXPECT_EQ(tip.Attachments(), before + 3);
  qt_test::SendMouse(&widget_, QEvent::MouseButtonRelease, QPointF(1, 1), Qt::BackButton);
  EXPECT_EQ(tip.Attachments(), before + 3);
  EXPECT_EQ(widget_.toolTip(), "help");
}

}  // namespace
}  // namespace ui
