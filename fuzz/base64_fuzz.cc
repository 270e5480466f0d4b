// Base64 as the parameters file carries it: arbitrary text is decoded (blanks
// ignored) and arbitrary bytes are encoded. Checks that a decoded text has
// exactly the length its alphabet characters give, that every encoding has
// the padded length and alphabet and decodes back to its bytes, and that
// decoding ignores blanks wherever they stand.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/base64.h"

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsBlank(char c) { return c == '\r' || c == '\n' || c == '\t' || c == ' '; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // Encoding any bytes.
  const std::string encoded = support::Base64Encode(input);
  Check(encoded.size() == (input.size() + 2) / 3 * 4);
  const auto padding = encoded.find('=');
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    Check(i >= padding ? encoded[i] == '=' : kAlphabet.find(encoded[i]) != std::string_view::npos);
  }
  Check(encoded.size() - std::min(padding, encoded.size()) <= 2);
  const auto round_trip = support::Base64Decode(encoded);
  Check(round_trip && *round_trip == input);

  // Decoding any text.
  const auto decoded = support::Base64Decode(input);
  std::string stripped;
  std::size_t sextets = 0;
  for (char c : input) {
    if (IsBlank(c)) continue;
    stripped.push_back(c);
    if (c != '=') ++sextets;
  }
  const auto decoded_stripped = support::Base64Decode(stripped);
  Check(decoded.has_value() == decoded_stripped.has_value());
  if (!decoded) return 0;
  Check(*decoded == *decoded_stripped);
  Check(decoded->size() == sextets * 6 / 8);
  Check(sextets % 4 != 1);
  // A valid text is the encoding of what it decodes to, except for the unused
  // low bits of its last character and a padding it may leave out.
  const std::string canonical = support::Base64Encode(*decoded);
  const auto canonical_decoded = support::Base64Decode(canonical);
  Check(canonical_decoded && *canonical_decoded == *decoded);
  Check(canonical.size() >= sextets && canonical.size() - sextets <= 2);
  Check(canonical.substr(0, sextets >= 1 ? sextets - 1 : 0) ==
        stripped.substr(0, sextets >= 1 ? sextets - 1 : 0));
  return 0;
}
