#pragma once

#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <memory>

#include "hyperlink/export.h"
#include "hyperlink/ole_color.h"
#include "hyperlink/property_bag.h"

namespace ui {
class CtlToolTip;
class HandPointer;
}  // namespace ui

namespace hyperlink {

/// A label that behaves like a link: a caption (optionally word-wrapped) and
/// an optional small icon, with a second set of colours, font, background,
/// border and icon while the mouse is over it, the hand cursor there, a
/// tooltip, and `Click` (by default for the left button only) plus enter and
/// leave signals.
///
/// Sizes are pixels. A single border is one pixel on each side, so switching
/// the border on grows the control by 2 pixels in width and height.
/// Setters that change what the control shows schedule a repaint; those of
/// the hover-only appearance, `ClickEventLeftOnly`, `ToolTip` and
/// `HandCursorOnHover` do not.
class HYPERLINK_EXPORT Hyperlink : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(int BackStyleHover READ BackStyleHover WRITE SetBackStyleHover)
  Q_PROPERTY(int BackStyleNormal READ BackStyleNormal WRITE SetBackStyleNormal)
  Q_PROPERTY(QPixmap Icon READ Icon WRITE SetIcon)
  Q_PROPERTY(QPixmap IconHover READ IconHover WRITE SetIconHover)
  Q_PROPERTY(uint MaskColor READ MaskColor WRITE SetMaskColor)
  Q_PROPERTY(int DrawOffset READ DrawOffset WRITE SetDrawOffset)
  Q_PROPERTY(uint BackColorNormal READ BackColorNormal WRITE SetBackColorNormal)
  Q_PROPERTY(uint BackColorHover READ BackColorHover WRITE SetBackColorHover)
  Q_PROPERTY(int BorderStyleNormal READ BorderStyleNormal WRITE SetBorderStyleNormal)
  Q_PROPERTY(int BorderStyleHover READ BorderStyleHover WRITE SetBorderStyleHover)
  Q_PROPERTY(bool ClickEventLeftOnly READ ClickEventLeftOnly WRITE SetClickEventLeftOnly)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(QFont FontNormal READ FontNormal WRITE SetFontNormal)
  Q_PROPERTY(QFont FontHover READ FontHover WRITE SetFontHover)
  Q_PROPERTY(uint ForeColorHover READ ForeColorHover WRITE SetForeColorHover)
  Q_PROPERTY(uint ForeColorNormal READ ForeColorNormal WRITE SetForeColorNormal)
  Q_PROPERTY(bool HandCursorOnHover READ HandCursorOnHover WRITE SetHandCursorOnHover)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(QString ToolTip READ ToolTip WRITE SetToolTip)
  Q_PROPERTY(bool UseMaskColor READ UseMaskColor WRITE SetUseMaskColor)
  Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)

 public:
  /// `Alignment` values.
  static constexpr int kAlignLeft = 0;
  static constexpr int kAlignRight = 1;
  static constexpr int kAlignCenter = 2;
  /// `BackStyle...` values.
  static constexpr int kTransparent = 0;
  static constexpr int kOpaque = 1;
  /// `BorderStyle...` values.
  static constexpr int kBorderNone = 0;
  static constexpr int kBorderFixedSingle = 1;
  /// The largest icon taken, in pixels, in either direction.
  static constexpr int kMaxIconSize = 64;

  /// A new control with the default property values; its caption is its
  /// object name and its fonts the font it inherits from `parent`.
  explicit Hyperlink(QWidget* parent = nullptr);
  ~Hyperlink() override;

  int Alignment() const { return alignment_; }
  void SetAlignment(int alignment);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool auto_size);
  int BackStyleHover() const { return back_style_hover_; }
  void SetBackStyleHover(int style);
  int BackStyleNormal() const { return back_style_normal_; }
  void SetBackStyleNormal(int style);
  /// Taken only when at most kMaxIconSize pixels wide and high (else ignored).
  /// A null picture also clears `IconHover`.
  const QPixmap& Icon() const { return icon_; }
  void SetIcon(const QPixmap& icon);
  /// Taken only while an `Icon` is set, within the same size limit.
  const QPixmap& IconHover() const { return icon_hover_; }
  void SetIconHover(const QPixmap& icon);
  /// The colour that is transparent in icons while `UseMaskColor` is on.
  OleColor MaskColor() const { return mask_color_; }
  void SetMaskColor(OleColor color);
  bool UseMaskColor() const { return use_mask_color_; }
  void SetUseMaskColor(bool use);
  /// Shift in pixels of the icon and the caption.
  int DrawOffset() const { return draw_offset_; }
  void SetDrawOffset(int offset);
  OleColor BackColorNormal() const { return back_color_normal_; }
  void SetBackColorNormal(OleColor color);
  OleColor BackColorHover() const { return back_color_hover_; }
  void SetBackColorHover(OleColor color);
  /// Switching styles while the normal style shows resizes the control.
  int BorderStyleNormal() const { return border_style_normal_; }
  void SetBorderStyleNormal(int style);
  int BorderStyleHover() const { return border_style_hover_; }
  void SetBorderStyleHover(int style);
  /// When on, `Click` is raised only for the left button.
  bool ClickEventLeftOnly() const { return click_left_only_; }
  void SetClickEventLeftOnly(bool left_only) { click_left_only_ = left_only; }
  bool Enabled() const { return isEnabled(); }
  void SetEnabled(bool enabled);
  const QFont& FontNormal() const { return font_normal_; }
  void SetFontNormal(const QFont& font);
  const QFont& FontHover() const { return font_hover_; }
  void SetFontHover(const QFont& font);
  OleColor ForeColorHover() const { return fore_color_hover_; }
  void SetForeColorHover(OleColor color);
  OleColor ForeColorNormal() const { return fore_color_normal_; }
  void SetForeColorNormal(OleColor color);
  bool HandCursorOnHover() const;
  void SetHandCursorOnHover(bool use_hand);
  /// The control's own widget.
  QWidget* hWnd() { return this; }
  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  /// Empty means no tooltip.
  QString ToolTip() const;
  void SetToolTip(const QString& text);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool word_wrap);
  /// Repaints.
  void Refresh();

  /// True between `MouseEnter` and the following `MouseLeave`.
  bool Hovering() const { return hovering_; }

  /// Takes the persisted properties from `bag` (names matched without regard
  /// to case, defaults for missing ones) and paints once.
  void ReadProperties(const PropertyBag& bag);
  /// Stores every persisted property in `bag`.
  void WriteProperties(PropertyBag& bag) const;

 signals:
  /// Button: 1 left, 2 right, 4 middle (or-ed for moves); shift: 1 Shift,
  /// 2 Ctrl, 4 Alt; x, y in pixels of the control.
  void MouseMove(int button, int shift, float x, float y);
  void MouseDown(int button, int shift, float x, float y);
  void MouseUp(int button, int shift, float x, float y);
  void Click();
  void DblClick();
  void MouseEnter();
  void MouseLeave();
  /// Raised while painting, before anything but the background is drawn; a
  /// handler (connected directly) may change the caption's colour.
  void BeforeDraw(QPainter* painter, bool hovering, hyperlink::OleColor& text_color);

 public:
  /// With `AutoSize` on, the size of the content, so that a layout gives the
  /// control the room it takes by itself.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  /// The picture of the current state and its drawing width and height: the
  /// hover icon while hovering over a control that has one, else the icon.
  const QPixmap& StatePicture() const;
  QSize PictureDrawSize() const;
  /// The area inside the border.
  QRect ClientRect() const;
  /// Sizes the control to its content when `AutoSize` is on, then repaints.
  void Redraw();
  void ApplyAutoSize();
  QSize ContentSize() const;
  /// Grows (to single) or shrinks (to none) the control by the border's width
  /// and sets the frame; nothing when the frame already has that style.
  void SwitchBorder(int to);
  void OnEnter();
  void OnLeave();
  void PaintCaption(QPainter& painter, const QRect& client, OleColor text_color);

  QString caption_;
  int alignment_ = kAlignLeft;
  bool auto_size_ = false;
  int back_style_normal_ = kOpaque;
  int back_style_hover_ = kOpaque;
  OleColor back_color_normal_ = kColorButtonFace;
  OleColor back_color_hover_ = kColorButtonFace;
  int border_style_normal_ = kBorderNone;
  int border_style_hover_ = kBorderNone;
  OleColor fore_color_normal_ = kColorButtonText;
  OleColor fore_color_hover_ = kColorButtonText;
  QFont font_normal_;
  QFont font_hover_;
  bool word_wrap_ = false;
  bool click_left_only_ = true;
  int draw_offset_ = 0;
  QPixmap icon_;
  QPixmap icon_hover_;
  OleColor mask_color_ = 0xFF00FF;
  bool use_mask_color_ = true;
  int frame_ = kBorderNone;
  bool hovering_ = false;
  bool last_press_left_ = false;
  bool pressed_ = false;
  bool double_clicked_ = false;
  ui::HandPointer* tracker_;
  std::unique_ptr<ui::CtlToolTip> tool_tip_;
};

}  // namespace hyperlink
