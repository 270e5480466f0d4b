// Click rules, mouse signals, hover tracking and the hover appearance.
#include <QCursor>
#include <QSignalSpy>

#include "hyperlink/link_fixture.h"

namespace hyperlink {
namespace {

class ClickRules : public LinkTest {
 protected:
  void Send(QEvent::Type type, Qt::MouseButton button, QPointF at = {5, 5}) {
    const bool up = type == QEvent::MouseButtonRelease;
    qt_test::SendMouse(link_, type, at, button, up ? Qt::MouseButtons() : button);
  }
  QSignalSpy click_{link_, &Hyperlink::Click};
  QSignalSpy down_{link_, &Hyperlink::MouseDown};
  QSignalSpy up_{link_, &Hyperlink::MouseUp};
};

TEST_F(ClickRules, APressAndAReleaseOverTheControlClickForTheButtonsAllowed) {
  const struct {
    const char* name;
    bool left_only;
    Qt::MouseButton button;
    QPointF release_at;
    int clicks;
  } kCases[] = {
      {"left", true, Qt::LeftButton, {5, 5}, 1},
      {"right, left only", true, Qt::RightButton, {5, 5}, 0},
      {"right", false, Qt::RightButton, {5, 5}, 1},
      {"middle", false, Qt::MiddleButton, {5, 5}, 1},
      {"left, released outside", true, Qt::LeftButton, {500, 5}, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    link_->SetClickEventLeftOnly(c.left_only);
    click_.clear();
    up_.clear();
    Send(QEvent::MouseButtonPress, c.button);
    Send(QEvent::MouseButtonRelease, c.button, c.release_at);
    EXPECT_EQ(click_.count(), c.clicks);
    EXPECT_EQ(up_.count(), 1);
  }
}

TEST_F(ClickRules, DoubleClickIsAlwaysPassedOnAndItsReleaseIsNoClick) {
  QSignalSpy double_click(link_, &Hyperlink::DblClick);
  for (Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton}) {
    Send(QEvent::MouseButtonPress, button);
    Send(QEvent::MouseButtonRelease, button);
    Send(QEvent::MouseButtonDblClick, button);
    Send(QEvent::MouseButtonRelease, button);
  }
  EXPECT_EQ(double_click.count(), 2);
  EXPECT_EQ(click_.count(), 1);  // the first left release only
}

TEST_F(ClickRules, MouseSignalsReportTheButtonsTheShiftStateAndThePosition) {
  QSignalSpy move(link_, &Hyperlink::MouseMove);
  qt_test::SendMouse(link_, QEvent::MouseMove, {4, 6}, Qt::NoButton,
                     Qt::LeftButton | Qt::MiddleButton, Qt::ShiftModifier | Qt::AltModifier);
  qt_test::SendMouse(link_, QEvent::MouseButtonPress, {7, 9}, Qt::RightButton, Qt::RightButton,
                     Qt::ControlModifier);
  ASSERT_EQ(move.count(), 1);
  EXPECT_EQ(move.at(0).at(0).toInt(), 1 | 4);
  EXPECT_EQ(move.at(0).at(1).toInt(), 1 | 4);
  ASSERT_EQ(down_.count(), 1);
  EXPECT_EQ(down_.at(0).at(0).toInt(), 2);
  EXPECT_EQ(down_.at(0).at(1).toInt(), 2);
  EXPECT_FLOAT_EQ(down_.at(0).at(2).toFloat(), 7.0f);
  EXPECT_FLOAT_EQ(down_.at(0).at(3).toFloat(), 9.0f);
}

class HoverAppearance : public LinkTest {
 protected:
  HoverAppearance() {
    link_->SetBackColorNormal(kRed);
    link_->SetBackColorHover(kBlue);
  }
};

TEST_F(HoverAppearance, EnterAndLeaveSwitchTheBackgroundTheTextColourAndTheCursorAsSet) {
  QSignalSpy enter(link_, &Hyperlink::MouseEnter);
  QSignalSpy leave(link_, &Hyperlink::MouseLeave);
  link_->SetCaption("MMM");
  link_->SetForeColorHover(kGreen);
  EXPECT_EQ(Shot().pixelColor(2, 2), QColor(Qt::red));
  EXPECT_EQ(CountColor(Shot(), Qt::green), 0);
  Enter();
  Enter();
  EXPECT_EQ(enter.count(), 1);
  EXPECT_TRUE(link_->Hovering());
  EXPECT_EQ(Shot().pixelColor(2, 2), QColor(Qt::blue));
  EXPECT_GT(CountColor(Shot(), Qt::green), 20);
  EXPECT_EQ(link_->cursor().shape(), Qt::PointingHandCursor);
  Leave();
  EXPECT_EQ(leave.count(), 1);
  EXPECT_FALSE(link_->Hovering());
  EXPECT_EQ(Shot().pixelColor(2, 2), QColor(Qt::red));

  link_->SetHandCursorOnHover(false);
  link_->SetBackStyleHover(Hyperlink::kTransparent);
  link_->SetToolTip("Βοήθεια");
  Enter();
  EXPECT_NE(link_->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(Shot().pixelColor(2, 2), kContainerColor);
  EXPECT_EQ(link_->toolTip(), "Βοήθεια");
}

TEST_F(HoverAppearance, SingleHoverBorderGrowsTheControlWhileHovering) {
  link_->SetBorderStyleHover(Hyperlink::kBorderFixedSingle);
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

TEST_F(HoverAppearance, TheNormalBorderResizesTheControlAtOnceOrOnLeaveWhileHovering) {
  link_->SetBorderStyleNormal(Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->size(), QSize(122, 32));
  link_->SetBorderStyleNormal(Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->size(), QSize(122, 32));
  link_->SetBorderStyleNormal(Hyperlink::kBorderNone);
  EXPECT_EQ(link_->size(), QSize(120, 30));

  Enter();
  link_->SetBorderStyleNormal(Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->size(), QSize(120, 30));  // the hover style (none) still shows
  Leave();
  EXPECT_EQ(link_->size(), QSize(122, 32));
  Enter();
  EXPECT_EQ(link_->size(), QSize(120, 30));
}

}  // namespace
}  // namespace hyperlink
