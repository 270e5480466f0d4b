#pragma once

#include <QPushButton>

namespace ui {

/// A push button with two looks: the desktop style's own (style 0) or a flat
/// one (style 1): button face, a one-pixel highlight-coloured border, a light
/// highlight tint under the mouse and a darker one while pressed, the icon
/// left of the caption. Keyboard focus, mnemonics and clicks are the
/// QPushButton's in both looks.
///
/// The default-button role only changes the look (a highlighted border) and
/// is reported by isDefaultRole(): the window the button sits in is no dialog
/// and handles Enter itself, so the button never clicks itself on Enter.
class DcButton : public QPushButton {
  Q_OBJECT

 public:
  static constexpr int kStyleNormal = 0;
  static constexpr int kStyleFlat = 1;

  explicit DcButton(QWidget* parent = nullptr);

  /// 0 the desktop style's button, 1 the flat look; other values are taken
  /// as 0.
  void setButtonStyle(int style);
  int buttonStyle() const { return style_; }

  bool isDefaultRole() const { return isDefault(); }
  void setDefaultRole(bool is_default);

  /// True while the mouse is over the button.
  bool isHovered() const { return hovered_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void PaintFlat();

  int style_ = kStyleNormal;
  bool hovered_ = false;
};

}  // namespace ui
