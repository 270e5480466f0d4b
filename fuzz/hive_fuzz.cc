// Feeds arbitrary bytes to the hive parser: it must not crash, and what it
// writes must read back to the same text (a hand-edited file settles after
// one write).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "quarrytab/hive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const quarrytab::Hive hive = quarrytab::Hive::Parse(text);
  const std::string once = hive.Serialize();
  const std::string twice = quarrytab::Hive::Parse(once).Serialize();
  if (once != twice) std::abort();
  return 0;
}
