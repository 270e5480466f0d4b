#include "ui/ctl_tool_tip.h"

#include <QMouseEvent>
#include <QToolTip>

namespace ui {

CtlToolTip::CtlToolTip(QWidget* widget) : widget_(widget) {
  hook_.AddMsg(QEvent::MouseButtonRelease, false);
  hook_.SubClass(widget_, this);
}

CtlToolTip::~CtlToolTip() { hook_.UnSubClass(); }

void CtlToolTip::SetText(const QString& text) {
  text_ = text;
  Attach();
}

void CtlToolTip::Attach() {
  if (QToolTip::isVisible()) QToolTip::hideText();
  widget_->setToolTip(text_);
  ++attachments_;
}

void CtlToolTip::After(std::int32_t& /*ret*/, QWidget* /*hwnd*/, std::int32_t /*msg*/,
                       QEvent* event) {
  const auto button = static_cast<QMouseEvent*>(event)->button();
  if (button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton) {
    Attach();
  }
}

void CtlToolTip::Before(bool& /*handled*/, std::int32_t& /*ret*/, QWidget* /*hwnd*/,
                        std::int32_t /*msg*/, QEvent*& /*event*/) {}

}  // namespace ui
