#include "ui/dc_button.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace ui {

namespace {

/// The flat look's metrics, in device-independent pixels.
constexpr int kPadX = 8;          ///< between the border and the content
constexpr int kIconOnlyPadX = 6;  ///< the same for a button with no caption
constexpr int kPadY = 5;
constexpr int kIconGap = 5;  ///< between the icon and the caption
constexpr int kMinTextWidth = 64;

QColor Mix(const QColor& a, const QColor& b, double amount_of_b) {
  const double k = amount_of_b;
  return QColor::fromRgbF(static_cast<float>(a.redF() * (1 - k) + b.redF() * k),
                          static_cast<float>(a.greenF() * (1 - k) + b.greenF() * k),
                          static_cast<float>(a.blueF() * (1 - k) + b.blueF() * k));
}

}  // namespace

DcButton::DcButton(QWidget* parent) : QPushButton(parent) {
  // Outside a dialog a focused auto-default button would click on Enter;
  // the owner decides what Enter does.
  setAutoDefault(false);
}

void DcButton::setButtonStyle(int style) {
  const int wanted = style == kStyleFlat ? kStyleFlat : kStyleNormal;
  if (wanted == style_) return;
  style_ = wanted;
  updateGeometry();
  update();
}

void DcButton::setDefaultRole(bool is_default) {
  setAutoDefault(false);
  setDefault(is_default);
}

QSize DcButton::sizeHint() const {
  if (style_ != kStyleFlat) return QPushButton::sizeHint();
  ensurePolished();
  const QSize icon_size = icon().isNull() ? QSize(0, 0) : iconSize();
  const QFontMetrics metrics = fontMetrics();
  if (text().isEmpty()) {
    return QSize(std::max(icon_size.width(), 16) + 2 * kIconOnlyPadX,
                 std::max(icon_size.height(), 16) + 2 * kPadY);
  }
  // Measured as drawn: a mnemonic's "&" takes no room, "&&" shows one.
  const int text_width =
      std::max(metrics.size(Qt::TextShowMnemonic, text()).width(), kMinTextWidth);
  const int content = icon_size.width() + (icon_size.width() > 0 ? kIconGap : 0) + text_width;
  const int height = std::max(icon_size.height(), metrics.height()) + 2 * kPadY;
  return QSize(content + 2 * kPadX, std::max(height, 26));
}

QSize DcButton::minimumSizeHint() const {
  if (style_ != kStyleFlat) return QPushButton::minimumSizeHint();
  return sizeHint();
}

void DcButton::paintEvent(QPaintEvent* event) {
  if (style_ == kStyleFlat) {
    PaintFlat();
  } else {
    QPushButton::paintEvent(event);
  }
}

void DcButton::PaintFlat() {
  QPainter painter(this);
  const QPalette& pal = palette();
  const bool enabled = isEnabled();
  const QPalette::ColorGroup group = enabled ? QPalette::Active : QPalette::Disabled;
  const bool pressed = isDown() || isChecked();
  const QColor face = pal.color(group, QPalette::Button);
  const QColor highlight = pal.color(group, QPalette::Highlight);

  QColor fill = face;
  if (enabled && pressed) {
    fill = Mix(face, highlight, 0.38);
  } else if (enabled && hovered_) {
    fill = Mix(face, highlight, 0.16);
  }
  // The border is filled, not stroked, so it stays whole device pixels at
  // any scale: one pixel, two for the default button.
  const QRect outer = rect();
  const int border = isDefault() && enabled ? 2 : 1;
  painter.fillRect(outer, enabled ? highlight : Mix(face, highlight, 0.6));
  painter.fillRect(outer.adjusted(border, border, -border, -border), fill);

  QColor text_color = pal.color(group, QPalette::WindowText);
  if (!enabled && text_color == pal.color(QPalette::Active, QPalette::WindowText)) {
    text_color = Mix(text_color, face, 0.55);  // a palette without a disabled text colour
  }

  // Icon and caption are centred together; a pressed button shows them one
  // pixel lower and to the right.
  const QRect content = outer.adjusted(kPadX - 2, kPadY - 2, -(kPadX - 2), -(kPadY - 2))
                            .translated(pressed && enabled ? QPoint(1, 1) : QPoint(0, 0));
  const QSize icon_size = icon().isNull() ? QSize(0, 0) : iconSize();
  const QString caption = text();
  int text_flags = Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic;
  if (!style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this)) {
    text_flags |= Qt::TextHideMnemonic;
  }
  const QRect text_box = fontMetrics().boundingRect(QRect(), text_flags, caption);
  const int text_width = caption.isEmpty() ? 0 : text_box.width();
  const int gap = icon_size.width() > 0 && text_width > 0 ? kIconGap : 0;
  const int total = icon_size.width() + gap + text_width;
  int x = content.left() + std::max(0, (content.width() - total) / 2);

  if (!icon_size.isEmpty()) {
    const QIcon::Mode mode = !enabled ? QIcon::Disabled : hovered_ ? QIcon::Active : QIcon::Normal;
    const QPixmap pixmap =
        icon().pixmap(icon_size, devicePixelRatioF(), mode, isChecked() ? QIcon::On : QIcon::Off);
    const QSizeF shown = pixmap.deviceIndependentSize();
    const QPointF at(x + (icon_size.width() - shown.width()) / 2.0,
                     content.top() + (content.height() - shown.height()) / 2.0);
    painter.drawPixmap(at.toPoint(), pixmap);
    x += icon_size.width() + gap;
  }
  if (text_width > 0) {
    painter.setPen(text_color);
    painter.setFont(font());
    painter.drawText(QRect(x, content.top(), content.right() - x + 1, content.height()), text_flags,
                     caption);
  }

  if (hasFocus()) {
    // The dotted focus rectangle, inside the border.
    QPen pen(text_color, 1, Qt::DotLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(outer).adjusted(3.5, 3.5, -3.5, -3.5));
  }
}

void DcButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // QPushButton clicks a default button on Enter; this one leaves Enter to
    // its owner, whatever its role.
    QAbstractButton::keyPressEvent(event);
    return;
  }
  QPushButton::keyPressEvent(event);
}

void DcButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  if (style_ == kStyleFlat) update();
  QPushButton::enterEvent(event);
}

void DcButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  if (style_ == kStyleFlat) update();
  QPushButton::leaveEvent(event);
}

void DcButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) hovered_ = false;
  QPushButton::changeEvent(event);
}

void DcButton::hideEvent(QHideEvent* event) {
  hovered_ = false;
  QPushButton::hideEvent(event);
}

}  // namespace ui
