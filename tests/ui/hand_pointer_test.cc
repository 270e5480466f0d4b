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
  void Move() { qt_test::SendMouse(&widget_, QEvent::MouseMove, QPointF(5, 5)); }
  bool Hand() const { return widget_.cursor().shape() == Qt::PointingHandCursor; }

  QWidget widget_;
  HandPointer tracker_{&widget_};
  QSignalSpy enter_{&tracker_, &HandPointer::MouseEnter};
  QSignalSpy leave_{&tracker_, &HandPointer::MouseLeave};
};

TEST_F(HandPointerTest, EntersOnTheFirstMoveWhileEnabledAndLeavesOnLeave) {
  qt_test::SendLeave(&widget_);  // no leave without an enter
  EXPECT_EQ(leave_.count(), 0);
  Move();
  Move();
  EXPECT_EQ(enter_.count(), 1);
  EXPECT_TRUE(tracker_.Inside());
  qt_test::SendLeave(&widget_);
  EXPECT_EQ(leave_.count(), 1);
  EXPECT_FALSE(tracker_.Inside());
  Move();
  EXPECT_EQ(enter_.count(), 2);
  qt_test::SendLeave(&widget_);
  widget_.setEnabled(false);  // a disabled widget is not entered
  Move();
  EXPECT_EQ(enter_.count(), 2);
}

TEST_F(HandPointerTest, ShowsTheHandWhileOnButNeverOverTheWaitCursor) {
  Move();
  EXPECT_TRUE(Hand());
  tracker_.SetUseHand(false);
  EXPECT_FALSE(Hand());
  tracker_.SetUseHand(true);
  EXPECT_TRUE(Hand());

  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  Move();
  EXPECT_FALSE(Hand());
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  QGuiApplication::restoreOverrideCursor();
  Move();
  EXPECT_TRUE(Hand());
}

TEST(CtlToolTipTest, IsAttachedAnewAfterAReleaseOfTheLeftRightOrMiddleButton) {
  qt_test::App();
  QWidget widget;
  CtlToolTip tip(&widget);
  tip.SetText("help");
  EXPECT_EQ(widget.toolTip(), "help");
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    widget.setToolTip(QString());
    qt_test::SendMouse(&widget, QEvent::MouseButtonRelease, QPointF(1, 1), button);
    EXPECT_EQ(widget.toolTip(), "help") << button;
  }
  widget.setToolTip(QString());
  qt_test::SendMouse(&widget, QEvent::MouseButtonRelease, QPointF(1, 1), Qt::BackButton);
  EXPECT_EQ(widget.toolTip(), QString());
}

}  // namespace
}  // namespace ui
