#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace quarrytab {

/// A rectangle in pixels (right and bottom exclusive).
struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  std::int32_t Width() const { return right - left; }
  std::int32_t Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

/// A logical font: face name, height in pixels (negative: character height),
/// weight (400 normal, 700 bold) and style.
struct LogicalFont {
  std::string face_name;
  std::int32_t height = 0;
  std::int32_t weight = 400;
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
};

/// The non-client metrics record, in pixels.
struct NonClientMetrics {
  std::int32_t border_width = 0;
  std::int32_t scroll_width = 0;
  std::int32_t scroll_height = 0;
  std::int32_t caption_width = 0;
  std::int32_t caption_height = 0;
  std::int32_t small_caption_width = 0;
  std::int32_t small_caption_height = 0;
  std::int32_t menu_width = 0;
  std::int32_t menu_height = 0;
  LogicalFont caption_font;
  LogicalFont small_caption_font;
  LogicalFont menu_font;
  LogicalFont status_font;
  LogicalFont message_font;
};

/// Taskbar state flags (bit 1 auto-hide, bit 2 always on top).
inline constexpr std::uint32_t kTaskbarAutoHide = 0x1;
inline constexpr std::uint32_t kTaskbarAlwaysOnTop = 0x2;

/// What the screen, the window system and its toolkit know: metrics, fonts,
/// monitors, the taskbar (or panel) and window placement. The library's own
/// default knows no window system (see HeadlessDisplayFacts); a GUI program
/// installs its toolkit's facts at start-up with SetDisplayFacts so that
/// MetricsInfo, TaskbarInfo and OSInfo.MonitorsCount describe the real screen.
class DisplayFacts {
 public:
  virtual ~DisplayFacts() = default;

  virtual NonClientMetrics Metrics() const = 0;
  virtual LogicalFont IconTitleFont() const = 0;
  /// Horizontal logical pixels per inch.
  virtual std::int32_t Dpi() const = 0;
  virtual std::int32_t MonitorCount() const = 0;
  virtual bool IsTablet() const = 0;
  /// The primary screen.
  virtual Rect ScreenRect() const = 0;
  /// The taskbar's rectangle (empty when there is none) and state flags.
  virtual Rect TaskbarRect() const = 0;
  virtual std::uint32_t TaskbarState() const = 0;
  /// The outer rectangle of a window, nothing for an unknown handle.
  virtual std::optional<Rect> WindowRect(std::uintptr_t window) const = 0;
  /// Moves and sizes a window and repaints it.
  virtual void MoveWindow(std::uintptr_t window, const Rect& rect) = 0;
};

/// The facts of a machine without a window system (or before a toolkit has
/// installed its own): Windows' standard metrics at 96 pixels per inch
/// (17-pixel scroll bars, "DejaVu Sans" fonts), no screen and no taskbar, and
/// the monitors the kernel's display drivers report connected.
class HeadlessDisplayFacts : public DisplayFacts {
 public:
  NonClientMetrics Metrics() const override;
  LogicalFont IconTitleFont() const override;
  std::int32_t Dpi() const override { return 96; }
  std::int32_t MonitorCount() const override;
  bool IsTablet() const override { return false; }
  Rect ScreenRect() const override { return Rect{}; }
  Rect TaskbarRect() const override { return Rect{}; }
  std::uint32_t TaskbarState() const override { return 0; }
  std::optional<Rect> WindowRect(std::uintptr_t) const override { return std::nullopt; }
  void MoveWindow(std::uintptr_t, const Rect&) override {}
};

/// Installs the facts every system-information object uses from then on
/// (nullptr restores the headless default).
void SetDisplayFacts(std::shared_ptr<DisplayFacts> facts);
std::shared_ptr<DisplayFacts> CurrentDisplayFacts();

}  // namespace quarrytab
