// Icons, their limits and placement, masks, text colour and word wrap as drawn.
#include <QFontMetrics>
#include <QPainter>

#include "hyperlink/link_fixture.h"

namespace hyperlink {
namespace {

class IconRules : public LinkTest {};

TEST_F(IconRules, AnIconWiderThan64PixelsIsNotTaken) {
  const QPixmap small = SolidPixmap(16, 16, Qt::red);
  link_->SetIcon(small);
  link_->SetIcon(SolidPixmap(65, 16, Qt::blue));
  EXPECT_EQ(link_->Icon().size(), QSize(16, 16));
  link_->SetIcon(SolidPixmap(16, 65, Qt::blue));
  EXPECT_EQ(link_->Icon().size(), QSize(16, 16));
  link_->SetIcon(SolidPixmap(64, 64, Qt::blue));
  EXPECT_EQ(link_->Icon().size(), QSize(64, 64));
}

TEST_F(IconRules, HoverIconNeedsAnIconAndObeysTheLimit) {
  link_->SetIconHover(SolidPixmap(16, 16, Qt::blue));
  EXPECT_TRUE(link_->IconHover().isNull());
  link_->SetIcon(SolidPixmap(16, 16, Qt::red));
  link_->SetIconHover(SolidPixmap(65, 65, Qt::blue));
  EXPECT_TRUE(link_->IconHover().isNull());
  link_->SetIconHover(SolidPixmap(20, 20, Qt::blue));
  EXPECT_EQ(link_->IconHover().size(), QSize(20, 20));
}

TEST_F(IconRules, ClearingTheIconClearsTheHoverIcon) {
  link_->SetIcon(SolidPixmap(16, 16, Qt::red));
  link_->SetIconHover(SolidPixmap(16, 16, Qt::blue));
  link_->SetIcon(QPixmap());
  EXPECT_TRUE(link_->Icon().isNull());
  EXPECT_TRUE(link_->IconHover().isNull());
}

TEST_F(IconRules, TheHoverIconShowsWhileHovering) {
  link_->SetIcon(SolidPixmap(16, 16, Qt::red));
  link_->SetIconHover(SolidPixmap(16, 16, Qt::blue));
  // Left alignment: at x = offset, centred in the 30-pixel height.
  EXPECT_EQ(Shot().pixelColor(8, 15), QColor(Qt::red));
  Enter();
  EXPECT_EQ(Shot().pixelColor(8, 15), QColor(Qt::blue));
  Leave();
  EXPECT_EQ(Shot().pixelColor(8, 15), QColor(Qt::red));
}

TEST_F(IconRules, IconPlacementFollowsAlignmentAndOffset) {
  link_->SetBackColorNormal(kWhite);
  link_->SetIcon(SolidPixmap(10, 10, Qt::red));
  link_->SetDrawOffset(3);
  QImage shot = Shot();  // left: x = 3, y = 10
  EXPECT_EQ(CountColor(shot, Qt::red, QRect(3, 10, 10, 10)), 100);
  link_->SetAlignment(Hyperlink::kAlignRight);
  shot = Shot();  // right: x = 120 - (10 + 4) + 3 = 109
  EXPECT_EQ(CountColor(shot, Qt::red, QRect(109, 10, 10, 10)), 100);
  link_->SetAlignment(Hyperlink::kAlignCenter);
  shot = Shot();  // centre: x = (120 - 14) / 2 + 2 = 55, y = offset
  EXPECT_EQ(CountColor(shot, Qt::red, QRect(55, 3, 10, 10)), 100);
}

TEST_F(IconRules, TheMaskColourIsTransparentWhileUsed) {
  link_->SetBackColorNormal(kWhite);
  QPixmap icon = SolidPixmap(16, 16, QColor(255, 0, 255));
  {
    QPainter painter(&icon);
    painter.fillRect(4, 4, 8, 8, Qt::red);
  }
  link_->SetIcon(icon);
  QImage shot = Shot();
  EXPECT_EQ(shot.pixelColor(1, 8), QColor(Qt::white));
  EXPECT_EQ(shot.pixelColor(8, 15), QColor(Qt::red));
  link_->SetUseMaskColor(false);
  EXPECT_EQ(Shot().pixelColor(1, 8), QColor(255, 0, 255));
  link_->SetUseMaskColor(true);
  link_->SetMaskColor(kRed);
  shot = Shot();
  EXPECT_EQ(shot.pixelColor(1, 8), QColor(255, 0, 255));
  EXPECT_EQ(shot.pixelColor(8, 15), QColor(Qt::white));
}

class TextColour : public LinkTest {
 protected:
  TextColour() {
    link_->SetCaption("MMMM");
    link_->SetBackColorNormal(kWhite);
    link_->SetForeColorNormal(kRed);
  }
};

TEST_F(TextColour, EnabledCaptionUsesTheForeColour) { EXPECT_GT(CountColor(Shot(), Qt::red), 20); }

TEST_F(TextColour, DisabledCaptionIsGreyWhateverTheForeColours) {
  link_->SetEnabled(false);
  const QImage shot = Shot();
  EXPECT_EQ(CountColor(shot, Qt::red), 0);
  EXPECT_GT(CountColor(shot, Resolve(kColorGrayText)), 20);
}

TEST_F(TextColour, BeforeDrawMayChangeTheColour) {
  link_->SetEnabled(false);
  int calls = 0;
  QObject::connect(link_, &Hyperlink::BeforeDraw,
                   [&calls](QPainter* painter, bool hovering, OleColor& color) {
                     ++calls;
                     EXPECT_NE(painter, nullptr);
                     EXPECT_FALSE(hovering);
                     EXPECT_EQ(color, kColorGrayText);
                     color = kGreen;
                   });
  const QImage shot = Shot();
  EXPECT_EQ(calls, 1);
  EXPECT_GT(CountColor(shot, Qt::green), 20);
  EXPECT_EQ(CountColor(shot, Resolve(kColorGrayText)), 0);
}

TEST_F(TextColour, SystemColoursFollowThePalette) {
  link_->SetForeColorNormal(kColorHighlight);
  QPalette palette = link_->palette();
  palette.setColor(QPalette::Highlight, QColor(0, 0, 255));
  link_->setPalette(palette);
  EXPECT_GT(CountColor(Shot(), Qt::blue), 20);
}

class WordWrapDrawn : public LinkTest {
 protected:
  WordWrapDrawn() {
    link_->SetBackColorNormal(kWhite);
    link_->SetWordWrap(true);
    link_->resize(40, 90);
  }
  int LineHeight() const { return QFontMetrics(link_->FontNormal(), link_).height(); }
};

TEST_F(WordWrapDrawn, CaptionWithoutSpacesStaysOnOneLine) {
  link_->SetCaption("Supercalifragilistic");
  EXPECT_LT(LowestInk(Shot(), Qt::white), LineHeight());
}

TEST_F(WordWrapDrawn, AWordWiderThanTheControlKeepsItsLine) {
  link_->SetCaption("Supercalifragilistic is");
  const int lowest = LowestInk(Shot(), Qt::white);
  EXPECT_GE(lowest, LineHeight());
  EXPECT_LT(lowest, 2 * LineHeight());
}

TEST_F(WordWrapDrawn, AutoSizeTurnsWrappingOff) {
  // With an icon and an offset the caption has less room than the auto-sized
  // control gives it, so wrapping would break it if it applied.
  link_->SetCaption("aa bb cc");
  link_->SetIcon(SolidPixmap(10, 10, Qt::red));
  link_->SetDrawOffset(3);
  link_->SetAutoSize(true);
  const QImage wrapped = Shot();
  link_->SetWordWrap(false);
  EXPECT_EQ(Shot(), wrapped);
  link_->SetAutoSize(false);
  link_->SetWordWrap(true);
  EXPECT_NE(Shot(), wrapped);  // the same size without auto-size wraps
}

}  // namespace
}  // namespace hyperlink
