#pragma once

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

/// Window message hooks over Qt's event dispatch.
///
/// A `CSubClass` puts itself between a widget and the widget's own handling of
/// its events and calls back an `ISubClass` owner before and/or after that
/// handling, for the message numbers registered in its two tables.
///
/// How the contract maps onto Qt:
/// - A message is a `QEvent` delivered to the hooked widget; its message number
///   is the event's `QEvent::Type` value, and the event object carries what
///   wParam and lParam carry elsewhere.
/// - "The widget's own handling" is the widget's virtual `QWidget::event()`
///   (which dispatches to `mousePressEvent`, `paintEvent`, ...). Every widget
///   that has at least one hook gets one event filter; the filter runs the
///   hooks, outermost (last hooked) first, and each hook's "original
///   procedure" is the next inner hook or, at the end, `event()` itself.
///   When the chain has run, the filter consumes the event so Qt does not
///   deliver it a second time.
/// - "Its return value" is what `event()` returns: 1 when the widget
///   recognised the event, 0 when not. The event's accepted flag is left as the
///   widget (or a hook) set it, so Qt's propagation of ignored mouse and key
///   events to the parent works as without hooks. The answer of the whole
///   chain is what `SendMessage` returns; Qt's own dispatcher has no use for
///   it.
/// - Hooks are re-entrant: an event sent from inside `Before` or `After` goes
///   through the chain again.
namespace ui {

class CSubClass;
class HookChain;

/// The owner of a hook. An owner that is destroyed while its hook is still
/// installed is noticed by the hook, which then removes itself.
class ISubClass {
 public:
  ISubClass() = default;
  ISubClass(const ISubClass&) : ISubClass() {}
  ISubClass& operator=(const ISubClass&) { return *this; }
  virtual ~ISubClass() { *life_ = false; }

  /// Runs after the widget's own handling of a message registered as "after".
  /// `ret` holds the widget's result (or the inner hooks' answer) and may be
  /// changed; it becomes the answer.
  virtual void After(std::int32_t& ret, QWidget* hwnd, std::int32_t msg, QEvent* event) = 0;
  /// Runs before the widget's own handling of a message registered as
  /// "before". Setting `handled` makes `ret` the answer at once: the widget's
  /// own handling and the "after" phase are skipped. `event` may be replaced by
  /// another event object (owned by the caller of the replacement, alive until
  /// the message is answered), which the widget then handles instead.
  virtual void Before(bool& handled, std::int32_t& ret, QWidget* hwnd, std::int32_t msg,
                      QEvent*& event) = 0;

 private:
  friend class CSubClass;
  class HookChain;
  std::shared_ptr<bool> life_ = std::make_shared<bool>(true);
};

/// Hooks the messages of one widget for one owner.
class CSubClass {
 public:
  CSubClass() = default;
  CSubClass(const CSubClass&) = delete;
  CSubClass& operator=(const CSubClass&) = delete;
  /// Unhooks when still hooking.
  ~CSubClass();

  /// Starts hooking `hwnd` for `owner`. Does nothing when this object already
  /// hooks a widget, or when either is null. Several objects may hook the same
  /// widget; the last one hooked sees a message first.
  void SubClass(QWidget* hwnd, ISubClass* owner);
  /// Stops hooking: both tables are emptied and the widget is handled exactly
  /// as before `SubClass`. Does nothing when not hooking.
  void UnSubClass();
  /// Registers message `msg` in the "before" (`before` true) or "after"
  /// table. -1 registers every message. A message already present is not
  /// added again; a free slot is reused before the table grows.
  void AddMsg(std::int32_t msg, bool before);
  /// Frees the first slot holding `msg`; -1 empties the table (count 0).
  void DelMsg(std::int32_t msg, bool before);
  /// The hooked widget, or null while not hooking (or once it was destroyed).
  QWidget* hWnd() const { return hwnd_; }

  /// The table as the hook sees it: count 0 means none, -1 every message,
  /// otherwise the number of slots; a slot holding -1 is free.
  int Count(bool before) const { return Table(before).count; }
  const std::vector<std::int32_t>& Entries(bool before) const { return Table(before).entries; }

 private:
  friend class HookChain;
  struct MsgTable {
    int count = 0;
    std::vector<std::int32_t> entries;
    bool Contains(std::int32_t msg) const;
  };
  const MsgTable& Table(bool before) const { return before ? before_ : after_; }
  MsgTable& Table(bool before) { return before ? before_ : after_; }
  /// The hook procedure: one message through this hook; `position` is this
  /// hook's place in its widget's chain.
  std::int32_t HookProc(HookChain& chain, QEvent* event, std::size_t position);

  QPointer<QWidget> hwnd_;
  ISubClass* owner_ = nullptr;
  std::weak_ptr<bool> owner_life_;
  MsgTable before_;
  MsgTable after_;
  std::shared_ptr<bool> life_ = std::make_shared<bool>(true);
};

/// Sends `event` to `hwnd` at once through Qt's dispatcher and returns the
/// answer: the hook chain's return value when the widget is hooked, else 1 or
/// 0 as the widget's `event()` recognised the event or not.
std::int32_t SendMessage(QWidget* hwnd, QEvent* event);

}  // namespace ui
