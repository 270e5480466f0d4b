#include "quarrytab/taskbar_info.h"

namespace quarrytab {

TaskbarEdge EdgeOf(const Rect& taskbar, const Rect& screen) {
  if (taskbar.Width() <= 0 || taskbar.Height() <= 0) return TaskbarEdge::kNone;
  if (taskbar.Width() >= taskbar.Height()) {
    return taskbar.top <= screen.top ? TaskbarEdge::kTop : TaskbarEdge::kBottom;
  }
  return taskbar.left <= screen.left ? TaskbarEdge::kLeft : TaskbarEdge::kRight;
}

TaskbarInfo::TaskbarInfo() : TaskbarInfo(CurrentDisplayFacts()) {}

TaskbarInfo::TaskbarInfo(std::shared_ptr<DisplayFacts> facts) : facts_(std::move(facts)) {}

bool TaskbarInfo::AlwaysOnTop() const {
  return (facts_->TaskbarState() & kTaskbarAlwaysOnTop) != 0;
}

bool TaskbarInfo::AutoHide() const { return (facts_->TaskbarState() & kTaskbarAutoHide) != 0; }

void TaskbarInfo::CenterInScreen(std::uintptr_t window, std::int32_t width, std::int32_t height,
                                 bool ignore_taskbar) {
  const std::optional<Rect> current = facts_->WindowRect(window);
  if (!current) return;
  if (width == 0) width = current->Width();
  if (height == 0) height = current->Height();
  const Rect screen = facts_->ScreenRect();
  std::int32_t x = screen.left + (screen.Width() - width) / 2;
  std::int32_t y = screen.top + (screen.Height() - height) / 2;
  if (!ignore_taskbar && !AutoHide()) {
    const Rect bar = facts_->TaskbarRect();
    switch (EdgeOf(bar, screen)) {
      case TaskbarEdge::kTop:
        y += bar.Height() / 2;
        break;
      case TaskbarEdge::kBottom:
        y -= bar.Height() / 2;
        break;
      case TaskbarEdge::kLeft:
        x += bar.Width() / 2;
        break;
      case TaskbarEdge::kRight:
        x -= bar.Width() / 2;
        break;
      case TaskbarEdge::kNone:
        break;
    }
  }
  facts_->MoveWindow(window, Rect{x, y, x + width, y + height});
}

void TaskbarInfo::GetScreenRect(Rect& rect) const {
  const Rect screen = facts_->ScreenRect();
  const Rect bar = facts_->TaskbarRect();
  Rect usable = screen;
  switch (EdgeOf(bar, screen)) {
    case TaskbarEdge::kTop:
      usable.top = bar.bottom;
      break;
    case TaskbarEdge::kBottom:
      usable.bottom = bar.top;
      break;
    case TaskbarEdge::kLeft:
      usable.left = bar.right;
      break;
    case TaskbarEdge::kRight:
      usable.right = bar.left;
      break;
    case TaskbarEdge::kNone:
      break;
  }
  constexpr std::int32_t kTwipsPerPixel = 15;
  rect = Rect{usable.left * kTwipsPerPixel, usable.top * kTwipsPerPixel,
              usable.right * kTwipsPerPixel, usable.bottom * kTwipsPerPixel};
}

void TaskbarInfo::GetTaskbarRect(Rect& rect) const { rect = facts_->TaskbarRect(); }

}  // namespace quarrytab
