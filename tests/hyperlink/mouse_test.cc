// Click rules, mouse signals, hover tracking and the hover appearance.
#include <QCursor>
#include <QGuiApplication>
#include <QSignalSpy>

#include "hyperlink/link_fixture.h"

namespace hyperlink {
namespace {

class ClickRules : public LinkTest {
 protected:
  void Press(Qt::MouseButton button, QPointF at = {5, 5}) {
    qt_test::SendMouse(link_, QEvent::MouseButtonPress, at, button, button);
  }
  void Release(Qt::MouseButton button, QPointF at = {5, 5}) {
    qt_test::SendMouse(link_, QEvent::MouseButtonRelease, at, button, {});
  }
  QSignalSpy click_{link_, &Hyperlink::Click};
  QSignalSpy down_{link_, &Hyperlink::MouseDown};
  QSignalSpy up_{link_, &Hyperlink::MouseUp};
};

TEST_F(ClickRules, LeftClickRaisesClick) {
  Press(Qt::LeftButton);
  Release(Qt::LeftButton);
  EXPECT_EQ(click_.count(), 1);
}

TEST_F(ClickRules, RightClickWithLeftOnlyRaisesDownAndUpButNoClick) {
  ASSERT_TRUE(link_->ClickEventLeftOnly());
  Press(Qt::RightButton, {7, 9});
  Release(Qt::RightButton, {7, 9});
  EXPECT_EQ(click_.count(), 0);
  ASSERT_EQ(down_.count(), 1);
  ASSERT_EQ(up_.count(), 1);
  const QList<QVariant> down = down_.takeFirst();
  EXPECT_EQ(down.at(0).toInt(), 2);  // right button
  EXPECT_FLOAT_EQ(down.at(2).toFloat(), 7.0f);
  EXPECT_FLOAT_EQ(down.at(3).toFloat(), 9.0f);
}

TEST_F(ClickRules, RightClickRaisesClickWhenNotLeftOnly) {
  link_->SetClickEventLeftOnly(false);
  Press(Qt::RightButton);
  Release(Qt::RightButton);
  EXPECT_EQ(click_.count(), 1);
}

TEST_F(ClickRules, ReleaseOutsideTheControlIsNoClick) {
  Press(Qt::LeftButton);
  Release(Qt::LeftButton, {500, 5});
  EXPECT_EQ(click_.count(), 0);
  EXPECT_EQ(up_.count(), 1);
}

TEST_F(ClickRules, DoubleClickIsAlwaysPassedOnAndItsReleaseIsNoClick) {
  QSignalSpy double_click(link_, &Hyperlink::DblClick);
  Press(Qt::RightButton);
  Release(Qt::RightButton);
  qt_test::SendMouse(link_, QEvent::MouseButtonDblClick, {5, 5}, Qt::RightButton, Qt::RightButton);
  Release(Qt::RightButton);
  EXPECT_EQ(double_click.count(), 1);
  EXPECT_EQ(click_.count(), 0);

  Press(Qt::LeftButton);
  Release(Qt::LeftButton);
  qt_test::SendMouse(link_, QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  Release(Qt::LeftButton);
  EXPECT_EQ(double_click.count(), 2);
  EXPECT_EQ(click_.count(), 1);  // the first release only
}

TEST_F(ClickRules, MoveReportsButtonsAndShiftState) {
  QSignalSpy move(link_, &Hyperlink::MouseMove);
  qt_test::SendMouse(link_, QEvent::MouseMove, {4, 6}, Qt::NoButton,
                     Qt::LeftButton | Qt::MiddleButton, Qt::ShiftModifier | Qt::AltModifier);
  ASSERT_EQ(move.count(), 1);
  EXPECT_EQ(move.at(0).at(0).toInt(), 1 | 4);
  EXPECT_EQ(move.at(0).at(1).toInt(), 1 | 4);
}

class HoverAppearance : public LinkTest {
 protected:
  HoverAppearance() {
    link_->SetBackColorNormal(kRed);
    link_->SetBackColorHover(kBlue);
  }
  QSignalSpy enter_{link_, &Hyperlink::MouseEnter};
  QSignalSpy leave_{link_, &Hyperlink::MouseLeave};
};

TEST_F(HoverAppearance, EnterAndLeaveSwitchTheBackground) {
  EXPECT_EQ(Shot().pixelColor(2, 2), QColor(Qt::red));
  Enter();
  Enter();
  EXPECT_EQ(enter_.count(), 1);
  EXPECT_TRUE(link_->Hovering());
  EXPECT_EQ(Shot().pixelColor(2, 2), QColor(Qt::blue));
  Leave();
  EXPECT_EQ(leave_.count(), 1);
  EXPECT_FALSE(link_->Hovering());
  EXPECT_EQ(Shot().pixelColor(2, 2), QColor(Qt::red));
}

TEST_F(HoverAppearance, HoverForeColourAndFontApplyWhileHovering) {
  link_->SetCaption("MMM");
  link_->SetBackColorHover(kWhite);
  link_->SetForeColorHover(kGreen);
  EXPECT_EQ(CountColor(Shot(), Qt::green), 0);
  Enter();
  EXPECT_GT(CountColor(Shot(), Qt::green), 20);
}

TEST_F(HoverAppearance, TransparentHoverShowsTheContainer) {
  link_->SetBackStyleHover(Hyperlink::kTransparent);
  Enter();
  EXPECT_EQ(Shot().pixelColor(2, 2), kContainerColor);
}

TEST_F(HoverAppearance, SingleHoverBorderGrowsTheControlWhileHovering) {
  link_->SetBorderStyleHover(Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->size(), QSize(120, 30));
  Enter();
  EXPECT_EQ(link_->size(), QSize(122, 32));
  const QImage shot = Shot();
  EXPECT_EQ(shot.pixelColor(0, 0), Resolve(kColorWindowText));
  EXPECT_EQ(shot.pixelColor(121, 31), Resolve(kColorWindowText));
  EXPECT_EQ(shot.pixelColor(2, 2), QColor(Qt::blue));
  Leave();
  EXPECT_EQ(link_->size(), QSize(120, 30));
  EXPECT_EQ(Shot().pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(HoverAppearance, SwitchingTheNormalBorderResizesTheControl) {
  link_->SetBorderStyleNormal(Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->size(), QSize(122, 32));
  link_->SetBorderStyleNormal(Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->size(), QSize(122, 32));
  link_->SetBorderStyleNormal(Hyperlink::kBorderNone);
  EXPECT_EQ(link_->size(), QSize(120, 30));
}

TEST_F(HoverAppearance, NormalBorderChangedWhileHoveringAppliesOnLeave) {
  Enter();
  link_->SetBorderStyleNormal(Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->size(), QSize(120, 30));  // the hover style (none) still shows
  Leave();
  EXPECT_EQ(link_->size(), QSize(122, 32));
  Enter();
  EXPECT_EQ(link_->size(), QSize(120, 30));
}

TEST_F(HoverAppearance, HandCursorUnlessTheWaitCursorShows) {
  Enter();
  EXPECT_EQ(link_->cursor().shape(), Qt::PointingHandCursor);
  Leave();
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  Enter();
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  EXPECT_NE(link_->cursor().shape(), Qt::PointingHandCursor);
  QGuiApplication::restoreOverrideCursor();
}

TEST_F(HoverAppearance, NoHandWhenHandCursorOnHoverIsOff) {
  link_->SetHandCursorOnHover(false);
  Enter();
  EXPECT_NE(link_->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(HoverAppearance, ToolTipIsAttachedAgainAfterARelease) {
  link_->SetToolTip("Βοήθεια");
  EXPECT_EQ(link_->toolTip(), "Βοήθεια");
  qt_test::SendMouse(link_, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton);
  EXPECT_EQ(link_->ToolTip(), "Βοήθεια");
  EXPECT_EQ(link_->toolTip(), "Βοήθεια");
}

}  // namespace
}  // namespace hyperlink
