#include "support/codepage.h"

#include <array>

namespace support {
namespace {

// Code points of the bytes 0x80-0xFF; the bytes below 0x80 are ASCII.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x0088, 0x2030, 0x008A, 0x2039, 0x008C, 0x008D, 0x008E, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0098, 0x2122, 0x009A, 0x203A, 0x009C, 0x009D, 0x009E, 0x009F,  // 0x98
    0x00A0, 0x0385, 0x0386, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // 0xA0
    0x00A8, 0x00A9, 0xF8F9, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x2015,  // 0xA8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x0384, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F,  // 0xB8
    0x0390, 0x0391, 0x0392, 0x0393, 0x0394, 0x0395, 0x0396, 0x0397,  // 0xC0
    0x0398, 0x0399, 0x039A, 0x039B, 0x039C, 0x039D, 0x039E, 0x039F,  // 0xC8
    0x03A0, 0x03A1, 0xF8FA, 0x03A3, 0x03A4, 0x03A5, 0x03A6, 0x03A7,  // 0xD0
    0x03A8, 0x03A9, 0x03AA, 0x03AB, 0x03AC, 0x03AD, 0x03AE, 0x03AF,  // 0xD8
    0x03B0, 0x03B1, 0x03B2, 0x03B3, 0x03B4, 0x03B5, 0x03B6, 0x03B7,  // 0xE0
    0x03B8, 0x03B9, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BE, 0x03BF,  // 0xE8
    0x03C0, 0x03C1, 0x03C2, 0x03C3, 0x03C4, 0x03C5, 0x03C6, 0x03C7,  // 0xF0
    0x03C8, 0x03C9, 0x03CA, 0x03CB, 0x03CC, 0x03CD, 0x03CE, 0xF8FB,  // 0xF8
};

// Reverse look-up built once: code point -> byte, for the code points of the
// upper half (all below U+10000).
struct ReverseTable {
  std::array<std::uint8_t, 0x10000> byte{};
  constexpr ReverseTable() {
    for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
      byte[kHighHalf[i]] = static_cast<std::uint8_t>(0x80 + i);
    }
  }
};

// The UTF-8 form of each upper-half byte (2 or 3 bytes, all in the BMP).
struct Utf8Table {
  struct Entry {
    char bytes[3];
    std::uint8_t size;
  };
  std::array<Entry, 128> entry{};
  constexpr Utf8Table() {
    for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
      const char32_t cp = kHighHalf[i];
      Entry& e = entry[i];
      if (cp < 0x800) {
        e.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        e.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        e.size = 2;
      } else {
        e.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        e.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        e.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        e.size = 3;
      }
    }
  }
};

constexpr Utf8Table kUtf8High;

const ReverseTable& Reverse() {
  static const ReverseTable table;
  return table;
}

}  // namespace

char32_t Cp1253ToCodePoint(std::uint8_t byte) {
  return byte < 0x80 ? char32_t{byte} : char32_t{kHighHalf[byte - 0x80]};
}

std::optional<std::uint8_t> CodePointToCp1253(char32_t code_point) {
  if (code_point < 0x80) return static_cast<std::uint8_t>(code_point);
  if (code_point >= 0x10000) return std::nullopt;
  const std::uint8_t b = Reverse().byte[code_point];
  if (b == 0) return std::nullopt;
  return b;
}

std::string Cp1253ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  // Runs of ASCII are copied whole; list replies and logs are mostly ASCII.
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t run = pos;
    while (run < bytes.size() && static_cast<std::uint8_t>(bytes[run]) < 0x80) ++run;
    out.append(bytes.data() + pos, run - pos);
    if (run == bytes.size()) break;
    const auto& e = kUtf8High.entry[static_cast<std::uint8_t>(bytes[run]) - 0x80];
    out.append(e.bytes, e.size);
    pos = run + 1;
  }
  return out;
}

std::string Utf8ToCp1253(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto b = static_cast<std::uint8_t>(text[pos]);
    if (b < 0x80) {  // fast path for ASCII
      out.push_back(text[pos++]);
      continue;
    }
    const char32_t cp = NextCodePoint(text, pos);
    const auto mapped = CodePointToCp1253(cp);
    out.push_back(mapped ? static_cast<char>(*mapped) : kCp1253Replacement);
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<std::uint8_t>(text[pos]);
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    ++pos;
    return 0xFFFD;
  }
  if (pos + extra >= text.size()) {  // truncated sequence
    ++pos;
    return 0xFFFD;
  }
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<std::uint8_t>(text[pos + i]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += extra + 1;
  return cp;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t cp = NextCodePoint(text, pos);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::string Utf16LeBytesToUtf8(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                          (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
  }
  return Utf16ToUtf8(units);
}

std::string Utf8ToUtf16LeBytes(std::string_view text) {
  const std::u16string units = Utf8ToUtf16(text);
  std::string out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

}  // namespace support
