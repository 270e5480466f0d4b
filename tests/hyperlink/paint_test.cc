// Icons, their limits and placement, masks, text colour and word wrap as drawn.
#include <QFontMetrics>
#include <QPainter>

#include "hyperlink/link_fixture.h"

namespace hyperlink {
namespace {

TEST_F(LinkTest, IconsUpTo64PixelsAreTakenAndTheHoverIconOnlyBesideAnIcon) {
  link_->SetIconHover(SolidPixmap(16, 16, Qt::blue));
  EXPECT_TRUE(link_->IconHover().isNull());
  link_->SetIcon(SolidPixmap(16, 16, Qt::red));
  for (const QSize too_large : {QSize(65, 16), QSize(16, 65)}) {
    link_->SetIcon(SolidPixmap(too_large.width(), too_large.height(), Qt::blue));
    link_->SetIconHover(SolidPixmap(too_large.width(), too_large.height(), Qt::blue));
    EXPECT_EQ(link_->Icon().size(), QSize(16, 16));
    EXPECT_TRUE(link_->IconHover().isNull());
  }
  link_->SetIconHover(SolidPixmap(64, 64, Qt::blue));
  EXPECT_EQ(link_->IconHover().size(), QSize(64, 64));
  link_->SetIcon(SolidPixmap(64, 64, Qt::blue));
  EXPECT_EQ(link_->Icon().size(), QSize(64, 64));
  link_->SetIcon(QPixmap());  // clears the hover icon too
  EXPECT_TRUE(link_->IconHover().isNull());
}

TEST_F(LinkTest, TheHoverIconShowsWhileHovering) {
  link_->SetIcon(SolidPixmap(16, 16, Qt::red));
  link_->SetIconHover(SolidPixmap(16, 16, Qt::blue));
  // Left alignment: at x = offset, centred in the 30-pixel height.
  EXPECT_EQ(Shot().pixelColor(8, 15), QColor(Qt::red));
  Enter();
  EXPECT_EQ(Shot().pixelColor(8, 15), QColor(Qt::blue));
  Leave();
  EXPECT_EQ(Shot().pixelColor(8, 15), QColor(Qt::red));
}

TEST_F(LinkTest, IconPlacementFollowsAlignmentAndOffset) {
  link_->SetBackColorNormal(kWhite);
  link_->SetIcon(SolidPixmap(10, 10, Qt::red));
  link_->SetDrawOffset(3);
  const struct {
    int alignment;
    QRect at;
  } kCases[] = {
      {Hyperlink::kAlignLeft, {3, 10, 10, 10}},     // x = offset, centred
      {Hyperlink::kAlignRight, {109, 10, 10, 10}},  // x = 120 - (10 + 4) + 3
      {Hyperlink::kAlignCenter, {55, 3, 10, 10}},   // x = (120 - 14) / 2 + 2, y = offset
  };
  for (const auto& c : kCases) {
    link_->SetAlignment(c.alignment);
    EXPECT_EQ(CountColor(Shot(), Qt::red, c.at), 100) << c.alignment;
  }
}

TEST_F(LinkTest, TheMaskColourIsTransparentWhileUsed) {
  link_->SetBackColorNormal(kWhite);
  QPixmap icon = SolidPixmap(16, 16, QColor(255, 0, 255));
  QPainter(&icon).fillRect(4, 4, 8, 8, Qt::red);
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

TEST_F(LinkTest, TheCaptionIsInTheForeColourGreyWhenDisabledAndBeforeDrawMayChangeIt) {
  link_->SetCaption("MMMM");
  link_->SetBackColorNormal(kWhite);
  link_->SetForeColorNormal(kColorHighlight);  // system colours follow the palette
  QPalette palette = link_->palette();
  palette.setColor(QPalette::Highlight, QColor(255, 0, 0));
  link_->setPalette(palette);
  EXPECT_GT(CountColor(Shot(), Qt::red), 20);
  link_->SetEnabled(false);
  QImage shot = Shot();
  EXPECT_EQ(CountColor(shot, Qt::red), 0);
  EXPECT_GT(CountColor(shot, Resolve(kColorGrayText)), 20);

  int calls = 0;
  QObject::connect(link_, &Hyperlink::BeforeDraw,
                   [&calls](QPainter* painter, bool hovering, OleColor& color) {
                     ++calls;
                     EXPECT_NE(painter, nullptr);
                     EXPECT_FALSE(hovering);
                     EXPECT_EQ(color, kColorGrayText);
                     color = kGreen;
                   });
  shot = Shot();
  EXPECT_EQ(calls, 1);
  EXPECT_GT(CountColor(shot, Qt::green), 20);
  EXPECT_EQ(CountColor(shot, Resolve(kColorGrayText)), 0);
}

TEST_F(LinkTest, AWrappedCaptionKeepsWordsWholeAndAutoSizeTurnsWrappingOff) {
  link_->SetBackColorNormal(kWhite);
  link_->SetWordWrap(true);
  link_->resize(40, 90);
  const int line = QFontMetrics(link_->FontNormal(), link_).height();
  link_->SetCaption("Supercalifragilistic");
  EXPECT_LT(LowestInk(Shot(), Qt::white), line);
  link_->SetCaption("Supercalifragilistic is");  // the wide word keeps its line
  EXPECT_GE(LowestInk(Shot(), Qt::white), line);
  EXPECT_LT(LowestInk(Shot(), Qt::white), 2 * line);

  // With an icon and an offset the caption has less room than the auto-sized control
  // gives it, so wrapping would break it if it applied.
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
