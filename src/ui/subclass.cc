#include "ui/subclass.h"

#include <QCoreApplication>
#include <QObject>

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace ui {

class HookChain;

namespace {

/// Calls the protected virtual QWidget::event() of any widget: the widget's
/// own handling of a message, without going through the event filters again.
struct EventAccess : QWidget {
  static bool Call(QWidget* widget, QEvent* event) {
    return (widget->*(&EventAccess::event))(event);
  }
};

/// Where SendMessage collects the answer of a hooked widget.
struct AnswerSlot {
  QEvent* event = nullptr;
  std::int32_t answer = 0;
  bool set = false;
};
AnswerSlot* g_answer_slot = nullptr;

/// The chain of each hooked widget. Internal to each module that links this
/// library, so a program and a shared library that both hook keep apart.
std::unordered_map<QWidget*, HookChain*>& Registry() {
  static std::unordered_map<QWidget*, HookChain*> registry;
  return registry;
}

}  // namespace

/// The hooks of one widget, innermost first, and the event filter that runs
/// them. Removed hooks leave a null slot while a message is being dispatched,
/// so the positions of the hooks still running stay valid; the slots are
/// compacted, and the chain deletes itself when empty, once no message is in
/// flight.
class HookChain : public QObject {
 public:
  static HookChain* Find(QWidget* widget) {
    auto it = Registry().find(widget);
    return it == Registry().end() ? nullptr : it->second;
  }
  static HookChain* Get(QWidget* widget) {
    if (HookChain* chain = Find(widget)) return chain;
    auto* chain = new HookChain(widget);
    Registry()[widget] = chain;
    return chain;
  }

  void Add(CSubClass* hook) { hooks_.push_back(hook); }
  void Remove(CSubClass* hook) {
    std::replace(hooks_.begin(), hooks_.end(), hook, static_cast<CSubClass*>(nullptr));
    Compact();
  }

  /// The procedure found by the hook at `position`: the next inner hook, or the
  /// widget's own handling.
  std::int32_t CallNext(QEvent* event, std::size_t position) {
    while (position-- > 0) {
      if (widget_gone_) return 0;
      if (CSubClass* hook = hooks_[position]) return hook->HookProc(*this, event, position);
    }
    if (widget_gone_) return 0;
    return EventAccess::Call(widget_, event) ? 1 : 0;
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != widget_ || widget_gone_) return false;
    ++depth_;
    const std::int32_t answer = CallNext(event, hooks_.size());
    if (g_answer_slot != nullptr && g_answer_slot->event == event && !g_answer_slot->set) {
      g_answer_slot->answer = answer;
      g_answer_slot->set = true;
    }
    --depth_;
    Compact();  // may delete this chain: no member is touched after it
    return true;
  }

 private:
  explicit HookChain(QWidget* widget) : widget_(widget) {
    widget_->installEventFilter(this);
    QObject::connect(widget_, &QObject::destroyed, this, [this] {
      widget_gone_ = true;
      Registry().erase(widget_);
      Compact();
    });
  }

  void Compact() {
    if (depth_ != 0) return;
    hooks_.erase(std::remove(hooks_.begin(), hooks_.end(), nullptr), hooks_.end());
    if (!hooks_.empty() && !widget_gone_) return;
    if (!widget_gone_) {
      widget_->removeEventFilter(this);
      Registry().erase(widget_);
    }
    delete this;
  }

  QWidget* widget_;
  std::vector<CSubClass*> hooks_;
  int depth_ = 0;
  bool widget_gone_ = false;
};

bool CSubClass::MsgTable::Contains(std::int32_t msg) const {
  if (count == -1) return true;
  if (count <= 0) return false;
  return std::find(entries.begin(), entries.end(), msg) != entries.end();
}

CSubClass::~CSubClass() {
  *life_ = false;
  UnSubClass();
}

void CSubClass::SubClass(QWidget* hwnd, ISubClass* owner) {
  if (hwnd_ != nullptr || hwnd == nullptr || owner == nullptr) return;
  hwnd_ = hwnd;
  owner_ = owner;
  owner_life_ = owner->life_;
  HookChain::Get(hwnd)->Add(this);
}

void CSubClass::UnSubClass() {
  if (hwnd_ == nullptr && owner_ == nullptr) return;
  before_ = MsgTable{};
  after_ = MsgTable{};
  HookChain* chain = hwnd_ != nullptr ? HookChain::Find(hwnd_) : nullptr;
  hwnd_ = nullptr;
  owner_ = nullptr;
  owner_life_.reset();
  if (chain != nullptr) chain->Remove(this);
}

void CSubClass::AddMsg(std::int32_t msg, bool before) {
  MsgTable& table = Table(before);
  if (msg == -1) {
    table.count = -1;
    return;
  }
  if (std::find(table.entries.begin(), table.entries.end(), msg) != table.entries.end()) return;
  auto free_slot = std::find(table.entries.begin(), table.entries.end(), -1);
  if (free_slot != table.entries.end()) {
    *free_slot = msg;
  } else {
    table.entries.push_back(msg);
  }
  if (table.count != -1) table.count = static_cast<int>(table.entries.size());
}

void CSubClass::DelMsg(std::int32_t msg, bool before) {
  MsgTable& table = Table(before);
  if (msg == -1) {
    table = MsgTable{};
    return;
  }
  auto slot = std::find(table.entries.begin(), table.entries.end(), msg);
  if (slot != table.entries.end()) *slot = -1;
}

std::int32_t CSubClass::HookProc(HookChain& chain, QEvent* event, std::size_t position) {
  const std::shared_ptr<bool> life = life_;  // outlives this object if a callback deletes it
  QWidget* const hwnd = hwnd_;
  const auto msg = static_cast<std::int32_t>(event->type());
  std::int32_t ret = 0;
  if (before_.Contains(msg)) {
    if (owner_life_.expired()) {
      // The owner is gone: the hook takes itself out and the message goes on
      // to the procedure it found.
      UnSubClass();
      return chain.CallNext(event, position);
    }
    bool handled = false;
    owner_->Before(handled, ret, hwnd, msg, event);
    if (handled) return ret;
  }
  ret = chain.CallNext(event, position);
  if (!*life || hwnd_ == nullptr || !after_.Contains(msg)) return ret;
  if (owner_life_.expired()) {
    UnSubClass();
    return ret;
  }
  owner_->After(ret, hwnd, msg, event);
  return ret;
}

std::int32_t SendMessage(QWidget* hwnd, QEvent* event) {
  AnswerSlot slot;
  slot.event = event;
  AnswerSlot* const previous = std::exchange(g_answer_slot, &slot);
  const bool result = QCoreApplication::sendEvent(hwnd, event);
  g_answer_slot = previous;
  return slot.set ? slot.answer : (result ? 1 : 0);
}

}  // namespace ui
