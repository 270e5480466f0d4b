#include "hyperlink/hyperlink.h"

#include <QMouseEvent>

#include "ui/ctl_tool_tip.h"
#include "ui/hand_pointer.h"

namespace hyperlink {

namespace {

/// How much a single border adds to the control's width and height.
constexpr int kBorderGrowth = 2;

bool FitsIconLimit(const QPixmap& picture) {
  return picture.width() <= Hyperlink::kMaxIconSize && picture.height() <= Hyperlink::kMaxIconSize;
}

int ButtonValue(Qt::MouseButtons buttons) {
  int value = 0;
  if (buttons & Qt::LeftButton) value |= 1;
  if (buttons & Qt::RightButton) value |= 2;
  if (buttons & Qt::MiddleButton) value |= 4;
  return value;
}

int ShiftValue(Qt::KeyboardModifiers modifiers) {
  int value = 0;
  if (modifiers & Qt::ShiftModifier) value |= 1;
  if (modifiers & Qt::ControlModifier) value |= 2;
  if (modifiers & Qt::AltModifier) value |= 4;
  return value;
}

}  // namespace

Hyperlink::Hyperlink(QWidget* parent)
    : QWidget(parent),
      font_normal_(font()),
      font_hover_(font()),
      tracker_(new ui::HandPointer(this)),
      tool_tip_(std::make_unique<ui::CtlToolTip>(this)) {
  connect(tracker_, &ui::HandPointer::MouseEnter, this, &Hyperlink::OnEnter);
  connect(tracker_, &ui::HandPointer::MouseLeave, this, &Hyperlink::OnLeave);
}

Hyperlink::~Hyperlink() {
  tool_tip_.reset();
  delete tracker_;
}

void Hyperlink::SetAlignment(int alignment) {
  alignment_ = alignment;
  Redraw();
}

void Hyperlink::SetAutoSize(bool auto_size) {
  auto_size_ = auto_size;
  Redraw();
}

void Hyperlink::SetBackStyleHover(int style) { back_style_hover_ = style; }

void Hyperlink::SetBackStyleNormal(int style) {
  back_style_normal_ = style;
  Redraw();
}

void Hyperlink::SetIcon(const QPixmap& icon) {
  if (!FitsIconLimit(icon)) return;
  icon_ = icon;
  if (icon_.isNull()) icon_hover_ = QPixmap();
  if (!hovering_) Redraw();
}

void Hyperlink::SetIconHover(const QPixmap& icon) {
  if (icon_.isNull() || !FitsIconLimit(icon)) return;
  icon_hover_ = icon;
  if (hovering_) Redraw();
}

void Hyperlink::SetMaskColor(OleColor color) {
  mask_color_ = color;
  if (!icon_.isNull()) Redraw();
}

void Hyperlink::SetUseMaskColor(bool use) {
  use_mask_color_ = use;
  if (!icon_.isNull()) Redraw();
}

void Hyperlink::SetDrawOffset(int offset) {
  draw_offset_ = offset;
  Redraw();
}

void Hyperlink::SetBackColorNormal(OleColor color) {
  back_color_normal_ = color;
  Redraw();
}

void Hyperlink::SetBackColorHover(OleColor color) { back_color_hover_ = color; }

void Hyperlink::SetBorderStyleNormal(int style) {
  // While hovering the frame shows the hover style; leaving switches to the
  // new normal style.
  if (!hovering_) SwitchBorder(style);
  border_style_normal_ = style;
  Redraw();
}

void Hyperlink::SetBorderStyleHover(int style) { border_style_hover_ = style; }

void Hyperlink::SetEnabled(bool enabled) {
  setEnabled(enabled);
  Redraw();
}

void Hyperlink::SetFontNormal(const QFont& font) {
  font_normal_ = font;
  Redraw();
}

void Hyperlink::SetFontHover(const QFont& font) { font_hover_ = font; }

void Hyperlink::SetForeColorHover(OleColor color) { fore_color_hover_ = color; }

void Hyperlink::SetForeColorNormal(OleColor color) {
  fore_color_normal_ = color;
  Redraw();
}

bool Hyperlink::HandCursorOnHover() const { return tracker_->UseHand(); }

void Hyperlink::SetHandCursorOnHover(bool use_hand) { tracker_->SetUseHand(use_hand); }

void Hyperlink::SetCaption(const QString& caption) {
  caption_ = caption;
  Redraw();
}

QString Hyperlink::ToolTip() const { return tool_tip_->Text(); }

void Hyperlink::SetToolTip(const QString& text) { tool_tip_->SetText(text); }

void Hyperlink::SetWordWrap(bool word_wrap) {
  word_wrap_ = word_wrap;
  Redraw();
}

void Hyperlink::Refresh() { Redraw(); }

void Hyperlink::SwitchBorder(int to) {
  if (to == frame_) return;
  const int change = to == kBorderFixedSingle ? kBorderGrowth : -kBorderGrowth;
  resize(width() + change, height() + change);
  frame_ = to;
}

void Hyperlink::OnEnter() {
  hovering_ = true;
  SwitchBorder(border_style_hover_);
  Redraw();
  emit MouseEnter();
}

void Hyperlink::OnLeave() {
  hovering_ = false;
  SwitchBorder(border_style_normal_);
  Redraw();
  emit MouseLeave();
}

void Hyperlink::mousePressEvent(QMouseEvent* event) {
  last_press_left_ = event->button() == Qt::LeftButton;
  pressed_ = true;
  double_clicked_ = false;
  const QPointF at = event->position();
  emit MouseDown(ButtonValue(event->button()), ShiftValue(event->modifiers()),
                 static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void Hyperlink::mouseReleaseEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  emit MouseUp(ButtonValue(event->button()), ShiftValue(event->modifiers()),
               static_cast<float>(at.x()), static_cast<float>(at.y()));
  // A press and release over the control is a click; the release that ends a
  // double click is not.
  const bool click = pressed_ && !double_clicked_ && rect().contains(at.toPoint());
  pressed_ = false;
  double_clicked_ = false;
  if (click && (!click_left_only_ || last_press_left_)) emit Click();
  tracker_->UpdateCursor();
}

void Hyperlink::mouseDoubleClickEvent(QMouseEvent* event) {
  last_press_left_ = event->button() == Qt::LeftButton;
  pressed_ = true;
  double_clicked_ = true;
  emit DblClick();
}

void Hyperlink::mouseMoveEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  emit MouseMove(ButtonValue(event->buttons()), ShiftValue(event->modifiers()),
                 static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void Hyperlink::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) update();
  QWidget::changeEvent(event);
}

}  // namespace hyperlink
