// Arbitrary bytes taken three ways: as Windows-1253 (what the wire and the
// log carry), as UTF-8 text (what the program holds, possibly malformed) and
// as UTF-16LE (what a regedit hive holds). Checks the round trips the
// conversions promise: every Windows-1253 byte string survives UTF-8 and
// back; UTF-8 -> Windows-1253 -> UTF-8 settles after one pass and keeps text
// the code page can hold; UTF-8 and UTF-16 keep well-formed text and turn
// each malformed byte or unpaired unit into one U+FFFD.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/codepage.h"

namespace {

using support::NextCodePoint;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Every byte value maps to one code point and back.
bool ByteTableIsABijection() {
  for (int b = 0; b < 256; ++b) {
    const char32_t cp = support::Cp1253ToCodePoint(static_cast<std::uint8_t>(b));
    const auto back = support::CodePointToCp1253(cp);
    if (!back || *back != b) return false;
  }
  return true;
}

// The text as the decoder reads it, re-encoded: well-formed text is itself.
std::string Canonical(std::string_view text, std::size_t& code_points) {
  std::string out;
  code_points = 0;
  for (std::size_t pos = 0; pos < text.size(); ++code_points) {
    const std::size_t before = pos;
    support::AppendUtf8(out, NextCodePoint(text, pos));
    Check(pos > before && pos <= text.size());
  }
  return out;
}

bool Representable(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    if (!support::CodePointToCp1253(NextCodePoint(text, pos))) return false;
  }
  return true;
}

void CheckCp1253(std::string_view bytes) {
  const std::string utf8 = support::Cp1253ToUtf8(bytes);
  Check(support::Utf8ToCp1253(utf8) == bytes);
  std::size_t code_points = 0;
  Check(Canonical(utf8, code_points) == utf8);  // always well-formed
  Check(code_points == bytes.size());
}

void CheckUtf8(std::string_view text) {
  std::size_t code_points = 0;
  const std::string canonical = Canonical(text, code_points);
  const std::string cp1253 = support::Utf8ToCp1253(text);
  Check(cp1253.size() == code_points);  // one byte per character
  const std::string once = support::Cp1253ToUtf8(cp1253);
  Check(support::Utf8ToCp1253(once) == cp1253);
  Check(support::Cp1253ToUtf8(support::Utf8ToCp1253(once)) == once);
  if (Representable(text)) Check(once == canonical);
  if (canonical == text && Representable(text)) Check(once == text);

  const std::u16string utf16 = support::Utf8ToUtf16(text);
  Check(utf16.size() >= code_points && utf16.size() <= 2 * code_points);
  Check(support::Utf16ToUtf8(utf16) == canonical);
  Check(support::Utf16LeBytesToUtf8(support::Utf8ToUtf16LeBytes(text)) == canonical);
}

void CheckUtf16Le(std::string_view bytes) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                          (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
  }
  bool paired = true;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      paired = false;
    }
  }
  const std::string utf8 = support::Utf16LeBytesToUtf8(bytes);
  Check(utf8 == support::Utf16ToUtf8(units));
  std::size_t code_points = 0;
  Check(Canonical(utf8, code_points) == utf8);
  const std::string back = support::Utf8ToUtf16LeBytes(utf8);
  if (paired) Check(back == bytes.substr(0, bytes.size() & ~std::size_t{1}));
  Check(support::Utf16LeBytesToUtf8(back) == utf8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool bijection = ByteTableIsABijection();
  Check(bijection);
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckCp1253(input);
  CheckUtf8(input);
  CheckUtf16Le(input);
  if (size >= 3) {
    // A code point the code page holds decodes back from its byte.
    const char32_t cp = static_cast<char32_t>(data[0] | (data[1] << 8) | ((data[2] & 0x1F) << 16));
    if (const auto byte = support::CodePointToCp1253(cp)) {
      Check(support::Cp1253ToCodePoint(*byte) == cp);
    }
  }
  return 0;
}
