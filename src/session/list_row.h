#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace session {

/// One entry of a LIST reply. On the wire: name, size and stamp separated by
/// "|" for a file; name, size, an empty stamp and, for a linked folder, the
/// link target for a folder. Rows are joined by CR LF.
struct ListRow {
  std::string name;       ///< UTF-8, no path
  std::int64_t size = 0;  ///< bytes
  /// "yyyymmddhhnnss" for a file, as received (a server may send one that is
  /// no date: callers check it); empty marks a folder.
  std::string stamp;
  std::string link_target;  ///< UTF-8 server path of a linked folder, else empty

  bool IsFolder() const { return stamp.empty(); }
  bool operator==(const ListRow&) const = default;
};

/// The wire form (Windows-1253) of one row.
std::string FormatListRow(const ListRow& row);
/// The argument text of a LIST reply: the rows joined by CR LF.
std::string FormatListRows(const std::vector<ListRow>& rows);

/// The fields of one row as they stand in the wire text (Windows-1253).
struct ListRowFields {
  std::string_view name;
  std::int64_t size = 0;
  std::string_view stamp;
  std::string_view link_target;  ///< the fourth field, empty when there is none
};

/// Splits one row's wire form: at least three fields and a decimal size of at
/// most 18 digits, else false. Fields beyond the fourth are ignored.
inline bool SplitListRow(std::string_view wire, ListRowFields& out) {
  const char* const end = wire.data() + wire.size();
  const auto find_bar = [end](const char* from) {
    return static_cast<const char*>(std::memchr(from, '|', static_cast<std::size_t>(end - from)));
  };
  const char* const bar1 = find_bar(wire.data());
  if (bar1 == nullptr) return false;
  const char* const bar2 = find_bar(bar1 + 1);
  if (bar2 == nullptr) return false;
  const auto digits = static_cast<std::size_t>(bar2 - bar1 - 1);
  if (digits == 0 || digits > 18) return false;
  std::int64_t size = 0;
  for (const char* c = bar1 + 1; c != bar2; ++c) {
    if (*c < '0' || *c > '9') return false;
    size = size * 10 + (*c - '0');
  }
  const char* const bar3 = find_bar(bar2 + 1);
  out.name = {wire.data(), static_cast<std::size_t>(bar1 - wire.data())};
  out.size = size;
  out.stamp = {bar2 + 1, static_cast<std::size_t>((bar3 ? bar3 : end) - bar2 - 1)};
  if (bar3 == nullptr) {
    out.link_target = {};
  } else {
    const char* const bar4 = find_bar(bar3 + 1);
    out.link_target = {bar3 + 1, static_cast<std::size_t>((bar4 ? bar4 : end) - bar3 - 1)};
  }
  return true;
}

/// Calls `row(fields)` for every row of a LIST argument text, in order; an
/// empty text has no rows. Answers false at the first malformed row.
template <typename RowFn>
bool ForEachListRow(std::string_view wire, RowFn&& row) {
  if (wire.empty()) return true;
  const char* at = wire.data();
  const char* const end = at + wire.size();
  ListRowFields fields;
  while (true) {
    // A CR alone is part of a row; only CR LF ends one.
    const char* cut = at;
    while (true) {
      cut = static_cast<const char*>(std::memchr(cut, '\r', static_cast<std::size_t>(end - cut)));
      if (cut == nullptr || (cut + 1 < end && cut[1] == '\n')) break;
      ++cut;
    }
    const char* const row_end = cut ? cut : end;
    if (!SplitListRow({at, static_cast<std::size_t>(row_end - at)}, fields)) return false;
    row(fields);
    if (cut == nullptr) return true;
    at = cut + 2;
  }
}

/// One row from its wire form: at least three fields and a decimal size, or
/// nothing. Fields beyond the fourth are ignored, and so is a fourth field on
/// a file row; the stamp is kept as it came.
std::optional<ListRow> ParseListRow(std::string_view wire);
/// Every row of a LIST argument text; an empty text is no rows, and one
/// malformed row makes the whole text malformed.
std::optional<std::vector<ListRow>> ParseListRows(std::string_view wire);

}  // namespace session
