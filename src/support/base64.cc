#include "support/base64.h"

#include <array>
#include <cstdint>

namespace support {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::int8_t kBlank = -2;
constexpr std::int8_t kInvalid = -1;

constexpr std::array<std::int8_t, 256> MakeDecodeTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& v : table) v = kInvalid;
  for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  }
  table['\r'] = table['\n'] = table['\t'] = table[' '] = kBlank;
  return table;
}

constexpr auto kDecode = MakeDecodeTable();

}  // namespace

std::optional<std::string> Base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  std::uint32_t group = 0;
  int count = 0;    // sextets in the current group
  int padding = 0;  // "=" seen so far
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    const std::int8_t v = kDecode[u];
    if (v == kBlank) continue;
    if (c == '=') {
      // Padding may only complete a group of two or three sextets.
      if (count + padding < 2) return std::nullopt;
      ++padding;
      if (count + padding > 4) return std::nullopt;
      continue;
    }
    if (v == kInvalid || padding > 0) return std::nullopt;
    group = (group << 6) | static_cast<std::uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<char>(group >> 16));
      out.push_back(static_cast<char>((group >> 8) & 0xFF));
      out.push_back(static_cast<char>(group & 0xFF));
      group = 0;
      count = 0;
    }
  }
  if (padding > 0 && count + padding != 4) return std::nullopt;
  switch (count) {
    case 0:
      break;
    case 1:
      return std::nullopt;
    case 2:
      out.push_back(static_cast<char>(group >> 4));
      break;
    case 3:
      out.push_back(static_cast<char>(group >> 10));
      out.push_back(static_cast<char>((group >> 2) & 0xFF));
      break;
  }
  return out;
}

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t g = (static_cast<unsigned char>(bytes[i]) << 16) |
                            (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                            static_cast<unsigned char>(bytes[i + 2]);
    out.push_back(kAlphabet[g >> 18]);
    out.push_back(kAlphabet[(g >> 12) & 63]);
    out.push_back(kAlphabet[(g >> 6) & 63]);
    out.push_back(kAlphabet[g & 63]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const std::uint32_t g = static_cast<unsigned char>(bytes[i]) << 16;
    out.push_back(kAlphabet[g >> 18]);
    out.push_back(kAlphabet[(g >> 12) & 63]);
    out += "==";
  } else if (rest == 2) {
    const std::uint32_t g = (static_cast<unsigned char>(bytes[i]) << 16) |
                            (static_cast<unsigned char>(bytes[i + 1]) << 8);
    out.push_back(kAlphabet[g >> 18]);
    out.push_back(kAlphabet[(g >> 12) & 63]);
    out.push_back(kAlphabet[(g >> 6) & 63]);
    out.push_back('=');
  }
  return out;
}

}  // namespace support
