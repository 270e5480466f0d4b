// Reading and writing the link control's persisted properties.
#include <QBuffer>
#include <QImage>

#include "hyperlink/hyperlink.h"
#include "ui/ctl_tool_tip.h"
#include "ui/hand_pointer.h"

namespace hyperlink {

namespace {

int ToInt(const QVariant& value, int fallback) {
  bool ok = false;
  const int result = value.toInt(&ok);
  return ok ? result : fallback;
}

bool ToBool(const QVariant& value, bool fallback) {
  if (!value.isValid()) return fallback;
  return value.toBool();
}

/// A colour stored as a number; a signed 32-bit value (0x8000000F stored as
/// -2147483633) reads as the same colour.
OleColor ToColor(const QVariant& value, OleColor fallback) {
  if (value.typeId() == QMetaType::QColor) return ToOleColor(value.value<QColor>());
  bool ok = false;
  const qlonglong number = value.toLongLong(&ok);
  return ok ? static_cast<OleColor>(static_cast<qulonglong>(number) & 0xFFFFFFFFu) : fallback;
}

QFont ToFont(const QVariant& value, const QFont& fallback) {
  if (value.typeId() == QMetaType::QFont) return value.value<QFont>();
  QFont font;
  if (value.typeId() == QMetaType::QString && font.fromString(value.toString())) return font;
  return fallback;
}

/// A picture stored as a pixmap, an image or the bytes of an image file.
QPixmap ToPixmap(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::QPixmap:
      return value.value<QPixmap>();
    case QMetaType::QImage:
      return QPixmap::fromImage(value.value<QImage>());
    case QMetaType::QByteArray: {
      QPixmap pixmap;
      pixmap.loadFromData(value.toByteArray());
      return pixmap;
    }
    default:
      return {};
  }
}

bool FitsIconLimit(const QPixmap& picture) {
  return picture.width() <= Hyperlink::kMaxIconSize && picture.height() <= Hyperlink::kMaxIconSize;
}

}  // namespace

void Hyperlink::ReadProperties(const PropertyBag& bag) {
  const QFont ambient = font();
  caption_ = bag.ReadProperty(QStringLiteral("Caption"), objectName()).toString();
  alignment_ = ToInt(bag.ReadProperty(QStringLiteral("Alignment")), kAlignLeft);
  auto_size_ = ToBool(bag.ReadProperty(QStringLiteral("AutoSize")), false);
  back_color_normal_ =
      ToColor(bag.ReadProperty(QStringLiteral("BackColorNormal")), kColorButtonFace);
  back_color_hover_ = ToColor(bag.ReadProperty(QStringLiteral("BackColorHover")), kColorButtonFace);
  back_style_normal_ = ToInt(bag.ReadProperty(QStringLiteral("BackStyleNormal")), kOpaque);
  back_style_hover_ = ToInt(bag.ReadProperty(QStringLiteral("BackStyleHover")), kOpaque);
  setEnabled(ToBool(bag.ReadProperty(QStringLiteral("Enabled")), true));
  font_normal_ = ToFont(bag.ReadProperty(QStringLiteral("FontNormal")), ambient);
  font_hover_ = ToFont(bag.ReadProperty(QStringLiteral("FontHover")), ambient);
  tracker_->SetUseHand(ToBool(bag.ReadProperty(QStringLiteral("UseHand")), true));
  word_wrap_ = ToBool(bag.ReadProperty(QStringLiteral("WordWrap")), false);
  fore_color_normal_ =
      ToColor(bag.ReadProperty(QStringLiteral("ForeColorNormal")), kColorButtonText);
  fore_color_hover_ = ToColor(bag.ReadProperty(QStringLiteral("ForeColorHover")), kColorButtonText);
  click_left_only_ = ToBool(bag.ReadProperty(QStringLiteral("ClickEventLeftOnly")), true);
  border_style_hover_ = ToInt(bag.ReadProperty(QStringLiteral("BorderStyleHover")), kBorderNone);
  border_style_normal_ = ToInt(bag.ReadProperty(QStringLiteral("BorderStyleNormal")), kBorderNone);
  frame_ = border_style_normal_ == kBorderFixedSingle ? kBorderFixedSingle : kBorderNone;
  tool_tip_->SetText(bag.ReadProperty(QStringLiteral("ToolTip")).toString());
  draw_offset_ = ToInt(bag.ReadProperty(QStringLiteral("DrawOffset")), 0);
  mask_color_ = ToColor(bag.ReadProperty(QStringLiteral("MaskColor")), 0xFF00FF);
  use_mask_color_ = ToBool(bag.ReadProperty(QStringLiteral("UseMaskColor")), true);
  // Pictures obey the same limits as when set one by one.
  const QPixmap icon = ToPixmap(bag.ReadProperty(QStringLiteral("Icon")));
  icon_ = FitsIconLimit(icon) ? icon : QPixmap();
  const QPixmap icon_hover = ToPixmap(bag.ReadProperty(QStringLiteral("IconHover")));
  icon_hover_ = !icon_.isNull() && FitsIconLimit(icon_hover) ? icon_hover : QPixmap();
  Redraw();
}

void Hyperlink::WriteProperties(PropertyBag& bag) const {
  bag.WriteProperty(QStringLiteral("Caption"), caption_);
  bag.WriteProperty(QStringLiteral("Alignment"), alignment_);
  bag.WriteProperty(QStringLiteral("AutoSize"), auto_size_);
  bag.WriteProperty(QStringLiteral("BackColorNormal"), back_color_normal_);
  bag.WriteProperty(QStringLiteral("BackColorHover"), back_color_hover_);
  bag.WriteProperty(QStringLiteral("BackStyleNormal"), back_style_normal_);
  bag.WriteProperty(QStringLiteral("BackStyleHover"), back_style_hover_);
  bag.WriteProperty(QStringLiteral("Enabled"), isEnabled());
  bag.WriteProperty(QStringLiteral("FontNormal"), font_normal_);
  bag.WriteProperty(QStringLiteral("FontHover"), font_hover_);
  bag.WriteProperty(QStringLiteral("UseHand"), tracker_->UseHand());
  bag.WriteProperty(QStringLiteral("WordWrap"), word_wrap_);
  bag.WriteProperty(QStringLiteral("ForeColorNormal"), fore_color_normal_);
  bag.WriteProperty(QStringLiteral("ForeColorHover"), fore_color_hover_);
  bag.WriteProperty(QStringLiteral("ClickEventLeftOnly"), click_left_only_);
  bag.WriteProperty(QStringLiteral("BorderStyleHover"), border_style_hover_);
  bag.WriteProperty(QStringLiteral("BorderStyleNormal"), border_style_normal_);
  bag.WriteProperty(QStringLiteral("ToolTip"), tool_tip_->Text());
  bag.WriteProperty(QStringLiteral("DrawOffset"), draw_offset_);
  bag.WriteProperty(QStringLiteral("MaskColor"), mask_color_);
  bag.WriteProperty(QStringLiteral("UseMaskColor"), use_mask_color_);
  if (!icon_.isNull()) bag.WriteProperty(QStringLiteral("Icon"), icon_);
  if (!icon_hover_.isNull()) bag.WriteProperty(QStringLiteral("IconHover"), icon_hover_);
}

}  // namespace hyperlink
