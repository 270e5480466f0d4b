#include "support/text.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>

#include "support/codepage.h"

namespace support {

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double diff = value - floor;
  if (diff < 0.5) return floor;
  if (diff > 0.5) return floor + 1.0;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

double RoundHalfEven(double value, int decimals) {
  if (decimals <= 0) return RoundHalfEven(value);
  if (decimals > 15) decimals = 15;
  const double scale = std::pow(10.0, decimals);
  const double scaled = value * scale;
  if (!std::isfinite(scaled)) return value;
  return RoundHalfEven(scaled) / scale;
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

std::vector<std::string> Split(std::string_view text, char separator) {
  return Split(text, std::string_view(&separator, 1));
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> fields;
  if (separator.empty()) {
    fields.emplace_back(text);
    return fields;
  }
  std::size_t start = 0;
  while (true) {
    const auto at = text.find(separator, start);
    if (at == std::string_view::npos) {
      fields.emplace_back(text.substr(start));
      return fields;
    }
    fields.emplace_back(text.substr(start, at - start));
    start = at + separator.size();
  }
}

namespace {

char32_t FoldCodePoint(char32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 0x20;
  if (cp < 0x80) return cp;
  // Α..Ω and Ϊ Ϋ -> α..ω, ϊ ϋ (U+03A2 is unassigned)
  if (cp >= 0x0391 && cp <= 0x03AB && cp != 0x03A2) return cp + 0x20;
  switch (cp) {
    case 0x0386:
      return 0x03AC;  // Ά
    case 0x0388:
      return 0x03AD;  // Έ
    case 0x0389:
      return 0x03AE;  // Ή
    case 0x038A:
      return 0x03AF;  // Ί
    case 0x038C:
      return 0x03CC;  // Ό
    case 0x038E:
      return 0x03CD;  // Ύ
    case 0x038F:
      return 0x03CE;  // Ώ
    case 0x03C2:
      return 0x03C3;  // ς
    default:
      break;
  }
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;  // Latin-1 capitals
  return cp;
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
  std::string out;
  FoldCaseTo(utf8, out);
  return out;
}

void FoldCaseTo(std::string_view utf8, std::string& out) {
  out.clear();
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const auto b = static_cast<unsigned char>(utf8[pos]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b));
      ++pos;
      continue;
    }
    // Two-byte sequences (Greek, Latin-1) fold to two-byte sequences.
    if (b >= 0xC2 && b <= 0xDF && pos + 1 < utf8.size() &&
        (static_cast<unsigned char>(utf8[pos + 1]) & 0xC0) == 0x80) {
      const char32_t cp = FoldCodePoint(static_cast<char32_t>(
          ((b & 0x1F) << 6) | (static_cast<unsigned char>(utf8[pos + 1]) & 0x3F)));
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
      pos += 2;
      continue;
    }
    AppendUtf8(out, FoldCodePoint(NextCodePoint(utf8, pos)));
  }
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return FoldCase(a) == FoldCase(b); }

bool IsAllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<std::int64_t> ParseNonNegative(std::string_view text) {
  if (!IsAllDigits(text) || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return value;
}

namespace {
char g_decimal_separator = '.';
}

char DecimalSeparator() { return g_decimal_separator; }
void SetDecimalSeparator(char separator) { g_decimal_separator = separator; }

char DecimalSeparatorFromLocale() {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  char separator = '.';
  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const std::lconv* conv = std::localeconv();
    if (conv && conv->decimal_point && conv->decimal_point[0] != '\0' &&
        conv->decimal_point[1] == '\0') {
      separator = conv->decimal_point[0];
    }
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
  return separator;
}

namespace {

// printf is used with the "C" numeric locale the program keeps, then the
// point is swapped for the user's separator.
std::string ReplacePoint(std::string text) {
  for (char& c : text) {
    if (c == '.') c = DecimalSeparator();
  }
  return text;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 15) decimals = 15;
  // The exact decimal expansion rounded to `decimals` places, as "%.*f"
  // gives it, without the locale-aware printf machinery.
  char buf[512];
  const auto result =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return ReplacePoint(std::string(buf, result.ptr));
}

std::string FormatShortest(double value, int max_decimals) {
  if (max_decimals < 0) max_decimals = 0;
  if (max_decimals > 15) max_decimals = 15;
  char buf[512];
  const auto result =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, max_decimals);
  std::string_view text(buf, static_cast<std::size_t>(result.ptr - buf));
  if (max_decimals > 0 && text.find('.') != std::string_view::npos) {
    while (!text.empty() && text.back() == '0') text.remove_suffix(1);
    if (!text.empty() && text.back() == '.') text.remove_suffix(1);
  }
  if (text == "-0") return "0";
  return ReplacePoint(std::string(text));
}

}  // namespace support
