#include "quarrytab/metrics_info.h"

#include "support/error.h"

namespace quarrytab {

MetricsInfo::MetricsInfo() : MetricsInfo(CurrentDisplayFacts()) {}

MetricsInfo::MetricsInfo(std::shared_ptr<DisplayFacts> facts)
    : facts_(std::move(facts)), record_(facts_->Metrics()), icon_font_(facts_->IconTitleFont()) {}

LogicalFont MetricsInfo::Font(std::int32_t which) const {
  switch (which) {
    case ncIconFont:
      return icon_font_;
    case ncCaptionFont:
      return record_.caption_font;
    case ncSmallCaptionFont:
      return record_.small_caption_font;
    case ncMenuFont:
      return record_.menu_font;
    case ncStatusFont:
      return record_.status_font;
    case ncMessageFont:
      return record_.message_font;
    default:
      throw support::InvalidArgument("quarrytab.MetricsInfo");
  }
}

}  // namespace quarrytab
