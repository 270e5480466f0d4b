#pragma once

#include <QObject>
#include <QWidget>

#include "ui/subclass.h"

namespace ui {

/// Tracks the mouse entering and leaving one widget and shows the hand cursor
/// over it. Entering is noticed on the first mouse move over the widget (so a
/// widget that appears under a resting mouse is entered only once the mouse
/// moves), leaving on Qt's leave event.
class HandPointer : public QObject, private ISubClass {
  Q_OBJECT

 public:
  /// Hooks `widget` (mouse move and leave, after the widget's own handling),
  /// turns on its mouse tracking and the hand cursor.
  explicit HandPointer(QWidget* widget);
  ~HandPointer() override;

  /// Whether the widget shows the hand cursor while the mouse is over it.
  bool UseHand() const { return use_hand_; }
  void SetUseHand(bool use_hand);
  /// True between an enter and the following leave.
  bool Inside() const { return inside_; }
  /// Shows the hand cursor on the widget when the hand is on and the
  /// application's wait cursor is not showing; the widget's normal cursor
  /// otherwise.
  void UpdateCursor();

 signals:
  void MouseEnter();
  void MouseLeave();

 private:
  void After(std::int32_t& ret, QWidget* hwnd, std::int32_t msg, QEvent* event) override;
  void Before(bool& handled, std::int32_t& ret, QWidget* hwnd, std::int32_t msg,
              QEvent*& event) override;

  QWidget* widget_;
  CSubClass hook_;
  bool use_hand_ = true;
  bool inside_ = false;
  bool hand_shown_ = false;
};

}  // namespace ui
