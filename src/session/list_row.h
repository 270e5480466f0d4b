#pragma once

#include <cstdint>
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

/// One row from its wire form: at least three fields and a decimal size, or
/// nothing. Fields beyond the fourth are ignored, and so is a fourth field on
/// a file row; the stamp is kept as it came.
std::optional<ListRow> ParseListRow(std::string_view wire);
/// Every row of a LIST argument text; an empty text is no rows, and one
/// malformed row makes the whole text malformed.
std::optional<std::vector<ListRow>> ParseListRows(std::string_view wire);

}  // namespace session
