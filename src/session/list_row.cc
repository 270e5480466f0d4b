#include "session/list_row.h"

#include "support/codepage.h"
#include "support/text.h"

namespace session {

std::string FormatListRow(const ListRow& row) {
  std::string wire = support::Utf8ToCp1253(row.name);
  wire += '|';
  wire += std::to_string(row.size);
  wire += '|';
  wire += row.stamp;
  if (row.IsFolder() && !row.link_target.empty()) {
    wire += '|';
    wire += support::Utf8ToCp1253(row.link_target);
  }
  return wire;
}

std::string FormatListRows(const std::vector<ListRow>& rows) {
  std::string wire;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) wire += "\r\n";
    wire += FormatListRow(rows[i]);
  }
  return wire;
}

std::optional<ListRow> ParseListRow(std::string_view wire) {
  // Only the first four fields are used; a newer server may send more.
  std::string_view fields[4];
  std::size_t count = 0;
  std::size_t start = 0;
  while (count < 4) {
    const auto bar = wire.find('|', start);
    fields[count++] = wire.substr(start, bar == std::string_view::npos ? bar : bar - start);
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  if (count < 3) return std::nullopt;
  const auto size = support::ParseNonNegative(fields[1]);
  if (!size) return std::nullopt;
  ListRow row;
  row.name = support::Cp1253ToUtf8(fields[0]);
  row.size = *size;
  row.stamp = std::string(fields[2]);
  // Only a folder row carries a link target; on a file row the field means nothing.
  if (count == 4 && row.IsFolder()) row.link_target = support::Cp1253ToUtf8(fields[3]);
  return row;
}

std::optional<std::vector<ListRow>> ParseListRows(std::string_view wire) {
  std::vector<ListRow> rows;
  if (wire.empty()) return rows;
  // One pass to size the vector: rows are moved, never copied, while it fills.
  std::size_t count = 1;
  for (std::size_t at = wire.find("\r\n"); at != std::string_view::npos;
       at = wire.find("\r\n", at + 2)) {
    ++count;
  }
  rows.reserve(count);
  std::size_t start = 0;
  while (true) {
    const auto end = wire.find("\r\n", start);
    auto row = ParseListRow(wire.substr(start, end == std::string_view::npos ? end : end - start));
    if (!row) return std::nullopt;
    rows.push_back(std::move(*row));
    if (end == std::string_view::npos) return rows;
    start = end + 2;
  }
}

}  // namespace session
