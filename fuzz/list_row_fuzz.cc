// Parses arbitrary bytes as the argument text of a LIST reply; whatever
// parses must survive formatting and parsing again unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "session/list_row.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto rows = session::ParseListRows(input);
  if (!rows) return 0;
  const auto again = session::ParseListRows(session::FormatListRows(*rows));
  if (!again || *again != *rows) std::abort();
  return 0;
}
