#include "quarrytab/display_facts.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

namespace quarrytab {
namespace {

std::mutex& FactsMutex() {
  static std::mutex m;
  return m;
}

std::shared_ptr<DisplayFacts>& FactsSlot() {
  static std::shared_ptr<DisplayFacts> facts;
  return facts;
}

LogicalFont UiFont(std::int32_t height, std::int32_t weight = 400) {
  return LogicalFont{"DejaVu Sans", height, weight, false, false, false};
}

}  // namespace

NonClientMetrics HeadlessDisplayFacts::Metrics() const {
  NonClientMetrics m;
  m.border_width = 1;
  m.scroll_width = 17;
  m.scroll_height = 17;
  m.caption_width = 36;
  m.caption_height = 22;
  m.small_caption_width = 22;
  m.small_caption_height = 22;
  m.menu_width = 19;
  m.menu_height = 19;
  m.caption_font = UiFont(-12);
  m.small_caption_font = UiFont(-12);
  m.menu_font = UiFont(-12);
  m.status_font = UiFont(-12);
  m.message_font = UiFont(-12);
  return m;
}

LogicalFont HeadlessDisplayFacts::IconTitleFont() const { return UiFont(-12); }

std::int32_t HeadlessDisplayFacts::MonitorCount() const {
  // Each connector of a display driver appears as /sys/class/drm/cardN-NAME
  // with a "status" file reading "connected" when a monitor is attached.
  std::error_code ec;
  std::int32_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/drm", ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with("card") || name.find('-') == std::string::npos) continue;
    std::ifstream status(entry.path() / "status");
    std::string word;
    if (status >> word && word == "connected") ++count;
  }
  return count;
}

void SetDisplayFacts(std::shared_ptr<DisplayFacts> facts) {
  std::lock_guard<std::mutex> lock(FactsMutex());
  FactsSlot() = std::move(facts);
}

std::shared_ptr<DisplayFacts> CurrentDisplayFacts() {
  std::lock_guard<std::mutex> lock(FactsMutex());
  if (!FactsSlot()) FactsSlot() = std::make_shared<HeadlessDisplayFacts>();
  return FactsSlot();
}

}  // namespace quarrytab
