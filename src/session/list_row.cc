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

namespace {

ListRow ToListRow(const ListRowFields& fields) {
  ListRow row;
  row.name = support::Cp1253ToUtf8(fields.name);
  row.size = fields.size;
  row.stamp = std::string(fields.stamp);
  // Only a folder row carries a link target; on a file row the field means nothing.
  if (row.IsFolder()) row.link_target = support::Cp1253ToUtf8(fields.link_target);
  return row;
}

}  // namespace

std::optional<ListRow> ParseListRow(std::string_view wire) {
  ListRowFields fields;
  if (!SplitListRow(wire, fields)) return std::nullopt;
  return ToListRow(fields);
}

std::optional<std::vector<ListRow>> ParseListRows(std::string_view wire) {
  std::vector<ListRow> rows;
  if (!ForEachListRow(wire,
                      [&](const ListRowFields& fields) { rows.push_back(ToListRow(fields)); }))
    return std::nullopt;
  return rows;
}

}  // namespace session
