#include "ui/logo_strip.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

/// Room left on each side of the text across the strip.
constexpr int kSideMargin = 3;
/// Room above the end of the text.
constexpr int kTopPadding = 5;

}  // namespace

LogoStrip::LogoStrip(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  // A press is answered here and goes no further up the parents.
  setAttribute(Qt::WA_NoMousePropagation);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void LogoStrip::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  update();
}

QColor LogoStrip::TextColor() { return QColor(0x3A, 0x4A, 0x5E); }

QFont LogoStrip::LogoFont() const {
  QFont font = this->font();
  font.setBold(true);
  // Across the strip the text takes the font's full line height (ascent and
  // descent), so the size is what makes that line fill the width less the
  // margins. Along the strip it must fit between the two paddings.
  const int across = std::max(1, width() - 2 * kSideMargin);
  const int along = std::max(1, height() - kBottomPadding - kTopPadding);
  font.setPixelSize(100);
  const QFontMetricsF probe(font);
  double size = 100.0 * across / probe.height();
  const double advance = probe.horizontalAdvance(text_) * size / 100.0;
  if (advance > along) size = size * along / advance;
  font.setPixelSize(std::max(6, static_cast<int>(std::floor(size))));
  return font;
}

QSize LogoStrip::sizeHint() const { return QSize(44, 240); }

QSize LogoStrip::minimumSizeHint() const { return QSize(20, 40); }

void LogoStrip::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  QLinearGradient gradient(0, 0, width(), 0);
  gradient.setColorAt(0, Qt::white);
  gradient.setColorAt(1, palette().color(QPalette::Button));
  painter.fillRect(rect(), gradient);
  if (text_.isEmpty()) return;

  const QFont font = LogoFont();
  const QFontMetricsF metrics(font);
  painter.setFont(font);
  painter.setPen(TextColor());
  painter.setRenderHint(QPainter::TextAntialiasing);
  // Turned 270 degrees the text runs upwards and the tops of the letters face
  // left. The capitals are centred across the strip (the font's line, sized
  // to the width, leaves room for accents on one side and descenders on the
  // other); the start of the text sits kBottomPadding above the bottom edge.
  const double baseline_x = (width() + metrics.capHeight()) / 2.0;
  // A glyph may reach back past its origin, and its antialiased edge covers
  // one more pixel: both stay out of the padding.
  const double reach_back = text_.isEmpty() ? 0.0 : std::min(0.0, metrics.leftBearing(text_.at(0)));
  painter.translate(baseline_x, height() - kBottomPadding - 1 + reach_back);
  painter.rotate(270);
  painter.drawText(QPointF(0, 0), text_);
}

void LogoStrip::mousePressEvent(QMouseEvent* event) { event->accept(); }

void LogoStrip::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void LogoStrip::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

}  // namespace ui
