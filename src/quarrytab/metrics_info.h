#pragma once

#include <cstdint>
#include <memory>

#include "quarrytab/display_facts.h"

namespace quarrytab {

/// Which font MetricsInfo::Font returns.
enum NCMetricsFontTypes : std::int32_t {
  ncIconFont = 1,
  ncCaptionFont = 2,
  ncSmallCaptionFont = 3,
  ncMenuFont = 4,
  ncStatusFont = 5,
  ncMessageFont = 6,
};

/// Screen metrics in pixels, read from the installed DisplayFacts when the
/// object is created (a later change of display settings is seen only by a new
/// object); DPI is asked each time.
class MetricsInfo {
 public:
  MetricsInfo();
  explicit MetricsInfo(std::shared_ptr<DisplayFacts> facts);

  /// The icon-title font for ncIconFont, else the matching font of the record;
  /// another number raises error 5.
  LogicalFont Font(std::int32_t which) const;
  std::int32_t CaptionHeight() const { return record_.caption_height; }
  std::int32_t CaptionWidth() const { return record_.caption_width; }
  std::int32_t MenuHeight() const { return record_.menu_height; }
  std::int32_t MenuWidth() const { return record_.menu_width; }
  std::int32_t ScrollHeight() const { return record_.scroll_height; }
  /// Width of a vertical scroll bar.
  std::int32_t ScrollWidth() const { return record_.scroll_width; }
  std::int32_t SmallCaptionHeight() const { return record_.small_caption_height; }
  std::int32_t SmallCaptionWidth() const { return record_.small_caption_width; }
  std::int32_t BorderWidth() const { return record_.border_width; }
  std::int32_t DPI() const { return facts_->Dpi(); }

 private:
  std::shared_ptr<DisplayFacts> facts_;
  NonClientMetrics record_;
  LogicalFont icon_font_;
};

}  // namespace quarrytab
