#include "ui/hand_pointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace ui {

namespace {

bool WaitCursorShowing() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

}  // namespace

HandPointer::HandPointer(QWidget* widget) : QObject(widget), widget_(widget) {
  widget_->setMouseTracking(true);
  hook_.AddMsg(QEvent::MouseMove, false);
  hook_.AddMsg(QEvent::Leave, false);
  hook_.SubClass(widget_, this);
}

HandPointer::~HandPointer() { hook_.UnSubClass(); }

void HandPointer::SetUseHand(bool use_hand) {
  use_hand_ = use_hand;
  if (inside_) UpdateCursor();
}

void HandPointer::UpdateCursor() {
  // Qt has no "set the cursor now" message: the widget's cursor is set as
  // the hand while the hand is wanted, and put back otherwise. An application
  // override cursor (the wait cursor) shows above it in any case.
  const bool want_hand = use_hand_ && !WaitCursorShowing();
  if (want_hand && !hand_shown_) {
    widget_->setCursor(Qt::PointingHandCursor);
    hand_shown_ = true;
  } else if (!want_hand && hand_shown_) {
    widget_->unsetCursor();
    hand_shown_ = false;
  }
}

void HandPointer::After(std::int32_t& /*ret*/, QWidget* /*hwnd*/, std::int32_t msg,
                        QEvent* /*event*/) {
  if (msg == QEvent::MouseMove) {
    if (!widget_->isEnabled()) return;  // a disabled widget gets no mouse input
    UpdateCursor();
    if (!inside_) {
      inside_ = true;
      emit MouseEnter();
    }
  } else if (msg == QEvent::Leave && inside_) {
    inside_ = false;
    emit MouseLeave();
  }
}

void HandPointer::Before(bool& /*handled*/, std::int32_t& /*ret*/, QWidget* /*hwnd*/,
                         std::int32_t /*msg*/, QEvent*& /*event*/) {}

}  // namespace ui
