// Auto-size, repaint rules and persistence.
#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QMetaProperty>
#include <QTest>

#include <functional>

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

TEST_F(AutoSize, TheControlFitsTheCaptionTheBorderAndAnIconBesideIt) {
  for (int alignment : {Hyperlink::kAlignLeft, Hyperlink::kAlignRight, Hyperlink::kAlignCenter}) {
    link_->SetAlignment(alignment);
    EXPECT_EQ(link_->size(), Text()) << "alignment " << alignment;
  }
  link_->SetBorderStyleNormal(Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->size(), Text() + QSize(4, 4));
  link_->SetBorderStyleNormal(Hyperlink::kBorderNone);
  link_->SetIcon(SolidPixmap(16, 40, Qt::red));
  for (int alignment : {Hyperlink::kAlignLeft, Hyperlink::kAlignRight}) {
    link_->SetAlignment(alignment);
    EXPECT_EQ(link_->size(), QSize(Text().width() + 20, std::max(Text().height(), 40)));
  }
  // A picture for a dense screen counts in the control's own units.
  QPixmap dense = SolidPixmap(32, 32, Qt::red);
  dense.setDevicePixelRatio(2.0);
  link_->SetIcon(dense);
  EXPECT_EQ(link_->size(), QSize(Text().width() + 20, std::max(Text().height(), 16)));
}

TEST_F(AutoSize, ACentredIconSitsAboveTheCaptionAndTheHoverIconCountsWhileHovering) {
  link_->SetAlignment(Hyperlink::kAlignCenter);
  link_->SetIcon(SolidPixmap(16, 16, Qt::red));
  EXPECT_EQ(link_->size(), QSize(std::max(Text().width(), 20), Text().height() + 16));
  link_->SetAlignment(Hyperlink::kAlignLeft);
  link_->SetIconHover(SolidPixmap(30, 60, Qt::blue));
  Enter();
  EXPECT_EQ(link_->size(), QSize(Text().width() + 34, 60));
  Leave();
  EXPECT_EQ(link_->size(), QSize(Text().width() + 20, std::max(Text().height(), 16)));
  link_->SetAlignment(Hyperlink::kAlignCenter);
  link_->SetCaption("");
  EXPECT_EQ(link_->width(), 20);
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
  link->SetCaption("Link text, longer");
  QApplication::processEvents();
  EXPECT_EQ(link->width(), metrics.horizontalAdvance("Link text, longer"));
}

TEST_F(LinkTest, SettersRepaintWhatTheyChangeOnScreenOnly) {
  int paints = 0;
  QObject::connect(link_, &Hyperlink::BeforeDraw, [&] { ++paints; });
  container_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&container_, 5000));
  const PropertyBag bag(QVariantMap{{"caption", "loaded"}, {"forecolornormal", kRed}});
  const QPixmap red = SolidPixmap(8, 8, Qt::red);
  const QPixmap blue = SolidPixmap(8, 8, Qt::blue);
  const struct {
    const char* name;
    std::function<void()> change;
    int paints;
  } kChanges[] = {
      {"ReadProperties", [&] { link_->ReadProperties(bag); }, 1},
      {"Caption", [&] { link_->SetCaption("x"); }, 1},
      {"ForeColorNormal", [&] { link_->SetForeColorNormal(kBlue); }, 1},
      {"BackColorNormal", [&] { link_->SetBackColorNormal(kRed); }, 1},
      {"Alignment", [&] { link_->SetAlignment(Hyperlink::kAlignRight); }, 1},
      {"WordWrap", [&] { link_->SetWordWrap(true); }, 1},
      {"Refresh", [&] { link_->Refresh(); }, 1},
      {"ForeColorHover", [&] { link_->SetForeColorHover(kRed); }, 0},
      {"BackColorHover", [&] { link_->SetBackColorHover(kRed); }, 0},
      {"BackStyleHover", [&] { link_->SetBackStyleHover(Hyperlink::kTransparent); }, 0},
      {"BorderStyleHover", [&] { link_->SetBorderStyleHover(Hyperlink::kBorderNone); }, 0},
      {"ClickEventLeftOnly", [&] { link_->SetClickEventLeftOnly(false); }, 0},
      {"ToolTip", [&] { link_->SetToolTip("tip"); }, 0},
      {"HandCursorOnHover", [&] { link_->SetHandCursorOnHover(false); }, 0},
      {"MaskColor without an icon", [&] { link_->SetMaskColor(kRed); }, 0},
      {"UseMaskColor without an icon", [&] { link_->SetUseMaskColor(false); }, 0},
      {"Icon", [&] { link_->SetIcon(red); }, 1},
      {"IconHover while not hovering", [&] { link_->SetIconHover(blue); }, 0},
      {"MaskColor with an icon", [&] { link_->SetMaskColor(kBlue); }, 1},
      {"UseMaskColor with an icon", [&] { link_->SetUseMaskColor(true); }, 1},
      {"entering", [&] { Enter(); }, 1},
      {"Icon while hovering", [&] { link_->SetIcon(SolidPixmap(9, 9, Qt::red)); }, 0},
      {"IconHover while hovering", [&] { link_->SetIconHover(red); }, 1},
  };
  for (const auto& c : kChanges) {
    QApplication::processEvents();
    paints = 0;
    c.change();
    QApplication::processEvents();
    EXPECT_EQ(paints, c.paints) << c.name;
  }
}

/// The control's own properties and their values, pictures as images.
std::map<QString, QVariant> PropertiesOf(const Hyperlink& link) {
  std::map<QString, QVariant> values;
  const QMetaObject& meta = Hyperlink::staticMetaObject;
  for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
    QVariant value = meta.property(i).read(&link);
    if (value.typeId() == QMetaType::QPixmap) value = value.value<QPixmap>().toImage();
    values[QString::fromLatin1(meta.property(i).name())] = value;
  }
  return values;
}

TEST_F(LinkTest, EveryPropertySurvivesARoundTripAndAnEmptyBagGivesTheDefaults) {
  QFont normal_font("DejaVu Sans");
  normal_font.setPixelSize(15);
  QFont hover_font("DejaVu Sans");
  hover_font.setPixelSize(11);
  hover_font.setUnderline(true);
  // In this order: the hover icon needs an icon, the auto-size is worked out last.
  const std::pair<const char*, QVariant> kValues[] = {
      {"Caption", "Βοήθεια"},
      {"Alignment", Hyperlink::kAlignCenter},
      {"BackColorNormal", kRed},
      {"BackColorHover", kBlue},
      {"BackStyleNormal", Hyperlink::kTransparent},
      {"BackStyleHover", Hyperlink::kTransparent},
      {"FontNormal", normal_font},
      {"FontHover", hover_font},
      {"HandCursorOnHover", false},
      {"WordWrap", true},
      {"ForeColorNormal", kGreen},
      {"ForeColorHover", 0x80000008u},
      {"ClickEventLeftOnly", false},
      {"BorderStyleHover", Hyperlink::kBorderFixedSingle},
      {"BorderStyleNormal", Hyperlink::kBorderFixedSingle},
      {"ToolTip", "tip"},
      {"DrawOffset", 5},
      {"MaskColor", kWhite},
      {"UseMaskColor", false},
      {"Icon", SolidPixmap(12, 10, Qt::red)},
      {"IconHover", SolidPixmap(14, 10, Qt::blue)},
      {"Enabled", false},
      {"AutoSize", true},
  };
  for (const auto& [name, value] : kValues) EXPECT_TRUE(link_->setProperty(name, value)) << name;
  PropertyBag bag;
  link_->WriteProperties(bag);
  Hyperlink copy(&container_);
  copy.ReadProperties(bag);
  EXPECT_EQ(PropertiesOf(copy), PropertiesOf(*link_));
  EXPECT_EQ(copy.size(), link_->size());

  // Every property was changed, and each falls back to its default when missing.
  Hyperlink fresh(&container_);
  const auto defaults = PropertiesOf(fresh);
  for (const auto& [name, value] : PropertiesOf(*link_))
    EXPECT_NE(value, defaults.at(name)) << name.toStdString();
  link_->setObjectName("lnkHelp");
  link_->ReadProperties(PropertyBag());
  auto read = PropertiesOf(*link_);
  EXPECT_EQ(read["Caption"], "lnkHelp");
  read["Caption"] = "";
  EXPECT_EQ(read, defaults);
}

TEST_F(LinkTest, StoredNamesAreMatchedWithoutRegardToCaseAndSignedColoursRead) {
  PropertyBag bag(QVariantMap{{"caption", "Φάκελος αντιπροσώπων"},
                              {"forecolorhover", kBlue},
                              {"USEHAND", false},
                              {"bordeRStyleNormal", 1},
                              {"BackColorNormal", -2147483633}});
  link_->ReadProperties(bag);
  EXPECT_EQ(link_->Caption(), "Φάκελος αντιπροσώπων");
  EXPECT_EQ(link_->ForeColorHover(), kBlue);
  EXPECT_FALSE(link_->HandCursorOnHover());
  EXPECT_EQ(link_->BorderStyleNormal(), Hyperlink::kBorderFixedSingle);
  EXPECT_EQ(link_->BackColorNormal(), 0x8000000Fu);
  EXPECT_EQ(link_->size(), QSize(120, 30));  // the frame is applied, no resize
  EXPECT_EQ(Shot().pixelColor(0, 0), Resolve(kColorWindowText));
}

TEST_F(LinkTest, OversizedStoredIconsAreNotTaken) {
  link_->ReadProperties(PropertyBag(QVariantMap{{"Icon", SolidPixmap(80, 10, Qt::red)},
                                                {"IconHover", SolidPixmap(8, 8, Qt::red)}}));
  EXPECT_TRUE(link_->Icon().isNull());
  EXPECT_TRUE(link_->IconHover().isNull());
}

}  // namespace
}  // namespace hyperlink
