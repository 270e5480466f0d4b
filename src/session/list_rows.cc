#include "session/list_rows.h"

#include <limits>

#include "session/browse_rules.h"
#include "session/list_row.h"
#include "session/location.h"
#include "session/transfer_speed_calc.h"
#include "support/codepage.h"
#include "support/stamp.h"

namespace session {

ListItemView ListRows::operator[](std::size_t i) const {
  const Entry& e = entries_[i];
  if (e.whole >= 0) return whole_[static_cast<std::size_t>(e.whole)].view;
  ListItemView row;
  row.name = support::Cp1253ToUtf8(WireName(e));
  row.is_folder = e.folder;
  if (e.folder) {
    row.icon_key = IconKey(".");
  } else {
    row.size_text = FormatSizeUnit(static_cast<double>(e.size), 1, false);
    row.modified_text = FormatListDate(WireStamp(e));
    row.icon_key = IconKey(FileExtension(row.name));
  }
  row.blue = e.in_link || (links_ != nullptr && links_->Exists(row.name));
  return row;
}

std::string ListRows::Name(std::size_t i) const {
  const Entry& e = entries_[i];
  if (e.whole >= 0) return whole_[static_cast<std::size_t>(e.whole)].view.name;
  return support::Cp1253ToUtf8(WireName(e));
}

std::string ListRows::Stamp(std::size_t i) const {
  const Entry& e = entries_[i];
  if (e.whole >= 0) return whole_[static_cast<std::size_t>(e.whole)].stamp;
  // A stamp that is not a usable date is shown as no date and not kept.
  if (e.folder || !support::ParseStamp(WireStamp(e))) return {};
  return std::string(WireStamp(e));
}

void ListRows::clear() {
  entries_.clear();
  whole_.clear();
  text_.clear();
}

void ListRows::push_back(ListItemView row, std::int64_t size, std::string stamp) {
  Entry& e = entries_.emplace_back();
  e.size = size;
  e.folder = row.is_folder;
  e.whole = static_cast<std::int32_t>(whole_.size());
  whole_.push_back({std::move(row), std::move(stamp)});
}

void ListRows::erase(std::size_t i) {
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
}

ListRows::WholeRow& ListRows::Whole(std::size_t i) {
  Entry& e = entries_[i];
  if (e.whole < 0) {
    WholeRow row{(*this)[i], Stamp(i)};
    e.whole = static_cast<std::int32_t>(whole_.size());
    whole_.push_back(std::move(row));
  }
  return whole_[static_cast<std::size_t>(e.whole)];
}

void ListRows::SetSizeAndDate(std::size_t i, std::string size_text, std::string modified_text,
                              std::int64_t size, std::string stamp) {
  WholeRow& row = Whole(i);
  row.view.size_text = std::move(size_text);
  row.view.modified_text = std::move(modified_text);
  row.stamp = std::move(stamp);
  entries_[i].size = size;
}

void ListRows::Rename(std::size_t i, std::string name) { Whole(i).view.name = std::move(name); }

bool ListRows::AppendListText(std::string text, std::size_t from, bool in_link,
                              FolderLinkMap& links) {
  const std::string_view wire = std::string_view(text).substr(from);
  // Offsets into the text are 32-bit; a reply is far below that (the frame limit).
  if (text_.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  const std::size_t first = entries_.size();
  // Where `wire` will start in text_.
  const std::size_t base = text_.empty() ? from : text_.size();
  const auto offset = [&](std::string_view field) {
    return static_cast<std::uint32_t>(base + static_cast<std::size_t>(field.data() - wire.data()));
  };
  std::vector<std::pair<std::string_view, std::string_view>> link_rows;
  const bool well_formed = ForEachListRow(wire, [&](const ListRowFields& f) {
    Entry& e = entries_.emplace_back();
    e.size = f.size;
    e.name_at = offset(f.name);
    e.name_size = static_cast<std::uint32_t>(f.name.size());
    e.folder = f.stamp.empty();
    e.in_link = in_link;
    if (!e.folder) {
      e.stamp_at = offset(f.stamp);
      e.stamp_size = static_cast<std::uint32_t>(f.stamp.size());
    } else if (!f.link_target.empty()) {
      link_rows.emplace_back(f.name, f.link_target);
    }
  });
  if (!well_formed) {
    entries_.resize(first);
    return false;
  }
  for (const auto& [name, target] : link_rows) {
    links.Set(support::Cp1253ToUtf8(name), support::Cp1253ToUtf8(target));
  }
  if (text_.empty()) {
    text_ = std::move(text);
  } else {
    text_.append(wire);
  }
  links_ = &links;
  return true;
}

}  // namespace session
