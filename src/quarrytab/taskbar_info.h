#pragma once

#include <cstdint>
#include <memory>

#include "quarrytab/display_facts.h"

namespace quarrytab {

/// The taskbar (on Linux desktops the panel the toolkit reports), asked afresh
/// by every member.
class TaskbarInfo {
 public:
  TaskbarInfo();
  explicit TaskbarInfo(std::shared_ptr<DisplayFacts> facts);

  bool AlwaysOnTop() const;
  bool AutoHide() const;
  /// Moves the window to the centre of the screen, sized `width` x `height`
  /// (0 keeps the window's own), and unless the taskbar auto-hides or
  /// `ignore_taskbar` is set, shifts it by half the taskbar's extent away from
  /// the edge the taskbar occupies. Nothing happens for an unknown window.
  void CenterInScreen(std::uintptr_t window, std::int32_t width = 0, std::int32_t height = 0,
                      bool ignore_taskbar = false);
  /// The usable screen area (the screen without the taskbar) in twips, 15 per pixel.
  void GetScreenRect(Rect& rect) const;
  /// The taskbar's rectangle in pixels.
  void GetTaskbarRect(Rect& rect) const;

 private:
  std::shared_ptr<DisplayFacts> facts_;
};

/// The edge a taskbar rectangle occupies on a screen.
enum class TaskbarEdge { kNone, kLeft, kTop, kRight, kBottom };
TaskbarEdge EdgeOf(const Rect& taskbar, const Rect& screen);

}  // namespace quarrytab
