#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace ui {

/// The narrow strip down the left side of the main window: one line of bold
/// text reading from bottom to top (turned 270 degrees), over a gradient
/// from white to the button face. It never takes the focus and a press on it
/// does nothing.
class LogoStrip : public QWidget {
  Q_OBJECT

 public:
  /// Space between the bottom edge and the start of the text, in pixels.
  static constexpr int kBottomPadding = 5;

  explicit LogoStrip(QWidget* parent = nullptr);

  void setText(const QString& text);
  QString text() const { return text_; }

  /// The colour of the text: a calm dark blue-grey.
  static QColor TextColor();
  /// The font the text is drawn in for the strip's current size: bold, as
  /// large as the strip's width allows and small enough for the whole text to
  /// fit its height.
  QFont LogoFont() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QString text_;
};

}  // namespace ui
