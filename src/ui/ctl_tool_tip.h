#pragma once

#include <QString>
#include <QWidget>

#include "ui/subclass.h"

namespace ui {

/// A tooltip attached to one widget. After every release of the left, right
/// or middle button over the widget the tooltip is taken down and attached
/// anew, so it can show again while the mouse rests there.
class CtlToolTip : private ISubClass {
 public:
  explicit CtlToolTip(QWidget* widget);
  ~CtlToolTip() override;
  CtlToolTip(const CtlToolTip&) = delete;
  CtlToolTip& operator=(const CtlToolTip&) = delete;

  /// The text shown; empty means no tooltip.
  const QString& Text() const { return text_; }
  void SetText(const QString& text);
  /// How many times the tooltip has been attached since construction.
  int Attachments() const { return attachments_; }

 private:
  void Attach();
  void After(std::int32_t& ret, QWidget* hwnd, std::int32_t msg, QEvent* event) override;
  void Before(bool& handled, std::int32_t& ret, QWidget* hwnd, std::int32_t msg,
              QEvent*& event) override;

  QWidget* widget_;
  CSubClass hook_;
  QString text_;
  int attachments_ = 0;
};

}  // namespace ui
