#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "hyperlink/hyperlink.h"
#include "ui/qt_app.h"

namespace hyperlink {

inline constexpr OleColor kRed = 0x0000FF;
inline constexpr OleColor kBlue = 0xFF0000;
inline constexpr OleColor kWhite = 0xFFFFFF;
inline constexpr OleColor kGreen = 0x00FF00;

inline QPixmap SolidPixmap(int width, int height, QColor color) {
  QPixmap pixmap(width, height);
  pixmap.fill(color);
  return pixmap;
}

/// Pixels of `image` inside `area` (all of it when empty) that are exactly `color`.
inline int CountColor(const QImage& image, QColor color, QRect area = {}) {
  if (area.isEmpty()) area = image.rect();
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) count += image.pixel(x, y) == color.rgb();
  }
  return count;
}

/// The lowest row holding a pixel different from `background`, or -1.
inline int LowestInk(const QImage& image, QColor background) {
  for (int y = image.height() - 1; y >= 0; --y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != background.rgb()) return y;
    }
  }
  return -1;
}

/// A link inside a plain green container, with a large bold font so caption
/// strokes have pixels of exactly the text colour.
class LinkTest : public ::testing::Test {
 protected:
  LinkTest() {
    container_.resize(200, 100);
    container_.setAutoFillBackground(true);
    QPalette palette = container_.palette();
    palette.setColor(QPalette::Window, kContainerColor);
    container_.setPalette(palette);
    link_ = new Hyperlink(&container_);
    link_->setGeometry(10, 10, 120, 30);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(20);
    font.setBold(true);
    link_->SetFontNormal(font);
    link_->SetFontHover(font);
  }

  /// The link as drawn over its container.
  QImage Shot() { return container_.grab(link_->geometry()).toImage(); }
  void Enter() { qt_test::SendMouse(link_, QEvent::MouseMove, QPointF(3, 3)); }
  void Leave() { qt_test::SendLeave(link_); }
  QColor Resolve(OleColor color) const { return ResolveOleColor(color, link_->palette()); }

  static inline const QColor kContainerColor{10, 200, 30};
  qt_test::UsesApp app_;
  QWidget container_;
  Hyperlink* link_;
};

}  // namespace hyperlink
