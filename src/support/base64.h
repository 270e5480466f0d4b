#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace support {

/// Decodes standard Base64 ("A-Z a-z 0-9 + /", "=" padding) into bytes.
/// CR, LF, TAB and space anywhere in the text are ignored. Any other character
/// outside the alphabet, padding anywhere but at the end, a final group of a
/// single character or data after the padding make the text invalid: the
/// result is then nothing. A missing final padding is accepted. An empty text
/// decodes to an empty byte string.
std::optional<std::string> Base64Decode(std::string_view text);

/// Encodes bytes as standard Base64 with "=" padding and no line breaks.
std::string Base64Encode(std::string_view bytes);

}  // namespace support
