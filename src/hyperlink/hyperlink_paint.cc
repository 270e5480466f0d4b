// Painting and auto-size of the link control.
#include <QBitmap>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "hyperlink/hyperlink.h"
#include "hyperlink/word_wrap.h"

namespace hyperlink {

namespace {

/// What an icon adds to the width it takes beside the caption.
constexpr int kIconMargin = 4;
/// A centred icon sits this much right of the centre of its drawing width.
constexpr int kCenteredIconShift = 2;
/// What a single border adds to an auto-sized control.
constexpr int kAutoSizeBorder = 4;

QSize TextSize(const QFontMetrics& metrics, const QString& text) {
  const QStringList lines = SplitLines(text);
  int width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  return {width, metrics.height() * static_cast<int>(lines.size())};
}

}  // namespace

const QPixmap& Hyperlink::StatePicture() const {
  return hovering_ && !icon_hover_.isNull() ? icon_hover_ : icon_;
}

QSize Hyperlink::PictureDrawSize() const {
  const QPixmap& picture = StatePicture();
  if (picture.isNull()) return {0, 0};
  // In the control's own units: a picture made for a high-density screen
  // holds more device pixels than it covers.
  const QSize logical = picture.deviceIndependentSize().toSize();
  return {logical.width() + kIconMargin, logical.height()};
}

QRect Hyperlink::ClientRect() const {
  return frame_ == kBorderFixedSingle ? rect().adjusted(1, 1, -1, -1) : rect();
}

void Hyperlink::Redraw() {
  ApplyAutoSize();
  update();
}

void Hyperlink::ApplyAutoSize() {
  if (!auto_size_) return;
  const QSize size = ContentSize();
  if (size == this->size()) return;
  resize(size);
  updateGeometry();
}

QSize Hyperlink::sizeHint() const { return auto_size_ ? ContentSize() : QWidget::sizeHint(); }

QSize Hyperlink::ContentSize() const {
  const QFontMetrics metrics(hovering_ ? font_hover_ : font_normal_, this);
  QSize size = TextSize(metrics, caption_);
  if (frame_ == kBorderFixedSingle) size += QSize(kAutoSizeBorder, kAutoSizeBorder);
  const QSize picture = PictureDrawSize();
  if (!picture.isEmpty()) {
    if (alignment_ == kAlignCenter) {
      size = {std::max(size.width(), picture.width()), size.height() + picture.height()};
    } else {
      size = {size.width() + picture.width(), std::max(size.height(), picture.height())};
    }
  }
  return size;
}

void Hyperlink::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const bool hover = hovering_;
  const QRect client = ClientRect();

  // Background: opaque fills with the state's colour; transparent leaves what
  // the container painted beneath the control.
  if ((hover ? back_style_hover_ : back_style_normal_) == kOpaque) {
    painter.fillRect(rect(),
                     ResolveOleColor(hover ? back_color_hover_ : back_color_normal_, palette()));
  }
  if (frame_ == kBorderFixedSingle) {
    painter.setPen(ResolveOleColor(kColorWindowText, palette()));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }

  OleColor text_color =
      isEnabled() ? (hover ? fore_color_hover_ : fore_color_normal_) : kColorGrayText;
  emit BeforeDraw(&painter, hover, text_color);

  painter.setClipRect(client);
  painter.translate(client.topLeft());
  const int width = client.width();
  const int height = client.height();
  const int offset = draw_offset_;
  const QPixmap& picture = StatePicture();
  const QSize draw = PictureDrawSize();
  if (!picture.isNull()) {
    QPixmap shown = picture;
    if (use_mask_color_) {
      shown.setMask(
          picture.createMaskFromColor(ResolveOleColor(mask_color_, palette()), Qt::MaskInColor));
    }
    QPoint at;
    if (alignment_ == kAlignCenter) {
      at = {(width - draw.width()) / 2 + kCenteredIconShift, offset};
    } else if (alignment_ == kAlignRight) {
      at = {width - draw.width() + offset, (height - draw.height()) / 2};
    } else {
      at = {offset, (height - draw.height()) / 2};
    }
    painter.drawPixmap(at, shown);
  }

  const QFont& font = hover ? font_hover_ : font_normal_;
  painter.setFont(font);
  painter.setPen(ResolveOleColor(text_color, palette()));
  const QFontMetrics metrics(font, this);
  const int line_height = metrics.height();

  int available = width;
  if (alignment_ == kAlignLeft) available = width - draw.width() - offset;
  if (alignment_ == kAlignRight) available = width - draw.width() + offset;
  QString text = caption_;
  if (word_wrap_ && !auto_size_) {
    text = hyperlink::WordWrap(text, available, [&metrics](QStringView part) {
      return metrics.horizontalAdvance(part.toString());
    });
  }
  const QStringList lines = SplitLines(text);

  int y = 0;
  if (!picture.isNull()) {
    y = alignment_ == kAlignCenter ? draw.height() + offset
                                   : (height - line_height * static_cast<int>(lines.size())) / 2;
  }
  for (const QString& line : lines) {
    const int line_width = metrics.horizontalAdvance(line);
    int x = draw.width() + offset;
    if (alignment_ == kAlignRight) x = width - draw.width() + offset - line_width;
    if (alignment_ == kAlignCenter) x = (width - line_width) / 2;
    painter.drawText(x, y + metrics.ascent(), line);
    y += line_height;
  }
}

}  // namespace hyperlink
