// Auto-size, repaint rules and persistence.
#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QTest>

#include "hyperlink/link_fixture.h"

namespace hyperlink {
namespace {

class AutoSize : public LinkTest {
 protected:
  AutoSize() {
    link_->SetCaption("Link text");
    link_->SetAutoSize(true);
  }
  QSize Text() const {
    const QFontMetrics metrics(link_->FontNormal(), link_);
    return {metrics.horizontalAdvance("Link text"), metrics.height()};
  }
};

TEST_F(AutoSize, WithoutIconTheControlFitsTheCaptionInEveryAlignment) {
  for (int alignment : {Hyperlink::kAlignLeft, Hyperlink::kAlignRight, Hyperlink::kAlignCenter}) {
    link_->SetAlignment(alignment);
    EXPECT_EQ(link_->size(), Text()) << "alignment " << alignment;
  }
}

TEST_F(AutoSize, ASingleBorderAddsFourPixels) {
  link_->SetBorderStyleNormal(Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->size(), Text() + QSize(4, 4));
}

TEST_F(AutoSize, AnIconBesideTheCaptionAddsItsDrawingWidth) {
  link_->SetIcon(SolidPixmap(16, 40, Qt::red));
  for (int alignment : {Hyperlink::kAlignLeft, Hyperlink::kAlignRight}) {
    link_->SetAlignment(alignment);
    EXPECT_EQ(link_->size(), QSize(Text().width() + 20, std::max(Text().height(), 40)));
  }
}

TEST_F(AutoSize, AnIconForADenseScreenCountsInTheControlsOwnUnits) {
  QPixmap dense = SolidPixmap(32, 32, Qt::red);
  dense.setDevicePixelRatio(2.0);
  link_->SetIcon(dense);
  EXPECT_EQ(link_->size(), QSize(Text().width() + 20, std::max(Text().height(), 16)));
}

TEST_F(AutoSize, ACentredIconSitsAboveTheCaption) {
  link_->SetAlignment(Hyperlink::kAlignCenter);
  link_->SetIcon(SolidPixmap(16, 16, Qt::red));
  EXPECT_EQ(link_->size(), QSize(std::max(Text().width(), 20), Text().height() + 16));
  link_->SetCaption("");
  EXPECT_EQ(link_->width(), 20);
}

TEST_F(AutoSize, WhileHoveringTheHoverIconCounts) {
  link_->SetIcon(SolidPixmap(16, 16, Qt::red));
  link_->SetIconHover(SolidPixmap(30, 60, Qt::blue));
  Enter();
  EXPECT_EQ(link_->size(), QSize(Text().width() + 34, 60));
  Leave();
  EXPECT_EQ(link_->size(), QSize(Text().width() + 20, std::max(Text().height(), 16)));
}

TEST_F(AutoSize, ALayoutGivesTheControlItsContentSize) {
  QWidget row;
  auto* layout = new QHBoxLayout(&row);
  auto* link = new Hyperlink(&row);
  layout->addStretch(1);
  layout->addWidget(link, 0, Qt::AlignVCenter);
  link->SetAutoSize(true);
  link->SetCaption("Link text");
  row.resize(400, 60);
  row.show();
  QApplication::processEvents();
  const QFontMetrics metrics(link->FontNormal(), link);
  EXPECT_EQ(link->size(), QSize(metrics.horizontalAdvance("Link text"), metrics.height()));
  // A longer caption widens it within the layout too.
  link->SetCaption("Link text, longer");
  QApplication::processEvents();
  EXPECT_EQ(link->width(), metrics.horizontalAdvance("Link text, longer"));
}

/// Counts paints of a shown link.
class RepaintRules : public LinkTest {
 protected:
  RepaintRules() {
    QObject::connect(link_, &Hyperlink::BeforeDraw, [this] { ++paints_; });
    container_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&container_, 5000));
    Settle();
  }
  void Settle() {
    QApplication::processEvents();
    paints_ = 0;
  }
  int PaintsAfter(const std::function<void()>& change) {
    Settle();
    change();
    QApplication::processEvents();
    return paints_;
  }
  int paints_ = 0;
};

TEST_F(RepaintRules, VisibleSettersRepaint) {
  EXPECT_EQ(PaintsAfter([this] { link_->SetCaption("x"); }), 1);
  EXPECT_EQ(PaintsAfter([this] { link_->SetForeColorNormal(kRed); }), 1);
  EXPECT_EQ(PaintsAfter([this] { link_->SetBackColorNormal(kRed); }), 1);
  EXPECT_EQ(PaintsAfter([this] { link_->SetAlignment(Hyperlink::kAlignRight); }), 1);
  EXPECT_EQ(PaintsAfter([this] { link_->SetWordWrap(true); }), 1);
  EXPECT_EQ(PaintsAfter([this] { link_->Refresh(); }), 1);
}

TEST_F(RepaintRules, HoverOnlyAndInvisibleSettersDoNot) {
  EXPECT_EQ(PaintsAfter([this] { link_->SetForeColorHover(kRed); }), 0);
  EXPECT_EQ(PaintsAfter([this] { link_->SetBackColorHover(kRed); }), 0);
  EXPECT_EQ(PaintsAfter([this] { link_->SetBackStyleHover(Hyperlink::kTransparent); }), 0);
  EXPECT_EQ(PaintsAfter([this] { link_->SetBorderStyleHover(Hyperlink::kBorderNone); }), 0);
  EXPECT_EQ(PaintsAfter([this] { link_->SetClickEventLeftOnly(false); }), 0);
  EXPECT_EQ(PaintsAfter([this] { link_->SetToolTip("tip"); }), 0);
  EXPECT_EQ(PaintsAfter([this] { link_->SetHandCursorOnHover(false); }), 0);
}

TEST_F(RepaintRules, MaskSettersRepaintOnlyWithAnIcon) {
  EXPECT_EQ(PaintsAfter([this] { link_->SetMaskColor(kRed); }), 0);
  link_->SetIcon(SolidPixmap(8, 8, Qt::red));
  EXPECT_EQ(PaintsAfter([this] { link_->SetMaskColor(kBlue); }), 1);
  EXPECT_EQ(PaintsAfter([this] { link_->SetUseMaskColor(false); }), 1);
}

TEST_F(RepaintRules, IconsRepaintOnlyInTheirOwnState) {
  link_->SetIcon(SolidPixmap(8, 8, Qt::red));
  EXPECT_EQ(PaintsAfter([this] { link_->SetIconHover(SolidPixmap(8, 8, Qt::blue)); }), 0);
  Enter();
  EXPECT_EQ(PaintsAfter([this] { link_->SetIcon(SolidPixmap(9, 9, Qt::red)); }), 0);
  EXPECT_EQ(PaintsAfter([this] { link_->SetIconHover(SolidPixmap(9, 9, Qt::blue)); }), 1);
}

TEST_F(RepaintRules, ALoadedControlPaintsOnce) {
  PropertyBag bag(QVariantMap{{"caption", "loaded"}, {"forecolornormal", kRed}});
  EXPECT_EQ(PaintsAfter([&] { link_->ReadProperties(bag); }), 1);
}

class Persistence : public LinkTest {};

TEST_F(Persistence, MissingPropertiesTakeTheirDefaults) {
  link_->setObjectName("lnkHelp");
  link_->ReadProperties(PropertyBag());
  EXPECT_EQ(link_->Caption(), "lnkHelp");
  EXPECT_EQ(link_->Alignment(), Hyperlink::kAlignLeft);
  EXPECT_FALSE(link_->AutoSize());
  EXPECT_EQ(link_->BackColorNormal(), 0x8000000Fu);
  EXPECT_EQ(link_->BackColorHover(), 0x8000000Fu);
  EXPECT_EQ(link_->BackStyleNormal(), Hyperlink::kOpaque);
  EXPECT_EQ(link_->BackStyleHover(), Hyperlink::kOpaque);
  EXPECT_TRUE(link_->Enabled());
  EXPECT_EQ(link_->FontNormal(), container_.font());
  EXPECT_TRUE(link_->HandCursorOnHover());
  EXPECT_FALSE(link_->WordWrap());
  EXPECT_EQ(link_->ForeColorNormal(), 0x80000012u);
  EXPECT_EQ(link_->ForeColorHover(), 0x80000012u);
  EXPECT_TRUE(link_->ClickEventLeftOnly());
  EXPECT_EQ(link_->BorderStyleNormal(), Hyperlink::kBorderNone);
  EXPECT_EQ(link_->BorderStyleHover(), Hyperlink::kBorderNone);
  EXPECT_EQ(link_->ToolTip(), "");
  EXPECT_EQ(link_->DrawOffset(), 0);
  EXPECT_EQ(link_->MaskColor(), 0xFF00FFu);
  EXPECT_TRUE(link_->UseMaskColor());
  EXPECT_TRUE(link_->Icon().isNull());
}

TEST_F(Persistence, NamesAreMatchedWithoutRegardToCase) {
  PropertyBag bag(QVariantMap{{"caption", "Φάκελος αντιπροσώπων"},
                              {"forecolorhover", kBlue},
                              {"USEHAND", false},
                              {"bordeRStyleNormal", 1}});
  link_->ReadProperties(bag);
  EXPECT_EQ(link_->Caption(), "Φάκελος αντιπροσώπων");
  EXPECT_EQ(link_->ForeColorHover(), kBlue);
  EXPECT_FALSE(link_->HandCursorOnHover());
  EXPECT_EQ(link_->BorderStyleNormal(), Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->size(), QSize(120, 30));  // the frame is applied, no resize
  EXPECT_EQ(Shot().pixelColor(0, 0), Resolve(kColorWindowText));
}

TEST_F(Persistence, SignedColourValuesReadAsSystemColours) {
  link_->ReadProperties(PropertyBag(QVariantMap{{"BackColorNormal", -2147483633}}));
  EXPECT_EQ(link_->BackColorNormal(), 0x8000000Fu);
}

TEST_F(Persistence, EveryPropertySurvivesARoundTrip) {
  QFont hover_font("DejaVu Sans");
  hover_font.setPixelSize(11);
  hover_font.setUnderline(true);
  link_->SetCaption("Βοήθεια");
  link_->SetAlignment(Hyperlink::kAlignCenter);
  link_->SetBackColorNormal(kRed);
  link_->SetBackColorHover(kBlue);
  link_->SetBackStyleNormal(Hyperlink::kTransparent);
  link_->SetBackStyleHover(Hyperlink::kTransparent);
  link_->SetFontHover(hover_font);
  link_->SetHandCursorOnHover(false);
  link_->SetWordWrap(true);
  link_->SetForeColorNormal(kGreen);
  link_->SetForeColorHover(0x80000008);
  link_->SetClickEventLeftOnly(false);
  link_->SetBorderStyleHover(Hyperlink::kBorderFixedSingle);
  link_->SetBorderStyleNormal(Hyperlink::kBorderFixedSingle);
  link_->SetToolTip("tip");
  link_->SetDrawOffset(5);
  link_->SetMaskColor(kWhite);
  link_->SetUseMaskColor(false);
  link_->SetIcon(SolidPixmap(12, 10, Qt::red));
  link_->SetIconHover(SolidPixmap(14, 10, Qt::blue));
  link_->SetEnabled(false);
  link_->SetAutoSize(true);
  PropertyBag bag;
  link_->WriteProperties(bag);

  Hyperlink copy(&container_);
  copy.ReadProperties(bag);
  EXPECT_EQ(copy.Caption(), "Βοήθεια");
  EXPECT_EQ(copy.Alignment(), Hyperlink::kAlignCenter);
  EXPECT_EQ(copy.BackColorNormal(), kRed);
  EXPECT_EQ(copy.BackColorHover(), kBlue);
  EXPECT_EQ(copy.BackStyleNormal(), Hyperlink::kTransparent);
  EXPECT_EQ(copy.BackStyleHover(), Hyperlink::kTransparent);
  EXPECT_EQ(copy.FontNormal(), link_->FontNormal());
  EXPECT_EQ(copy.FontHover(), hover_font);
  EXPECT_FALSE(copy.HandCursorOnHover());
  EXPECT_TRUE(copy.WordWrap());
  EXPECT_EQ(copy.ForeColorNormal(), kGreen);
  EXPECT_EQ(copy.ForeColorHover(), 0x80000008u);
  EXPECT_FALSE(copy.ClickEventLeftOnly());
  EXPECT_EQ(copy.BorderStyleHover(), Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(copy.BorderStyleNormal(), Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(copy.ToolTip(), "tip");
  EXPECT_EQ(copy.DrawOffset(), 5);
  EXPECT_EQ(copy.MaskColor(), kWhite);
  EXPECT_FALSE(copy.UseMaskColor());
  EXPECT_EQ(copy.Icon().size(), QSize(12, 10));
  EXPECT_EQ(copy.IconHover().size(), QSize(14, 10));
  EXPECT_FALSE(copy.Enabled());
  EXPECT_TRUE(copy.AutoSize());
  EXPECT_EQ(copy.size(), link_->size());
}

TEST_F(Persistence, OversizedStoredIconsAreNotTaken) {
  link_->ReadProperties(PropertyBag(QVariantMap{{"Icon", SolidPixmap(80, 10, Qt::red)},
                                                {"IconHover", SolidPixmap(8, 8, Qt::red)}}));
  EXPECT_TRUE(link_->Icon().isNull());
  EXPECT_TRUE(link_->IconHover().isNull());
}

TEST_F(Persistence, ThePropertiesAreQtProperties) {
  EXPECT_TRUE(link_->setProperty("Caption", "via meta-object"));
  EXPECT_EQ(link_->Caption(), "via meta-object");
  EXPECT_EQ(link_->property("ForeColorNormal").toUInt(), 0x80000012u);
  EXPECT_TRUE(link_->setProperty("UseMaskColor", false));
  EXPECT_FALSE(link_->UseMaskColor());
}

}  // namespace
}  // namespace hyperlink
