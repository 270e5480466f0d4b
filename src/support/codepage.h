#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// Conversion between the program's inner text (UTF-8) and Windows-1253, the
/// single-byte Greek code page used on the wire, in the log and in scrambling.
///
/// Decoding is total: every one of the 256 byte values has exactly one code
/// point. The bytes the code page leaves undefined decode as Windows itself
/// decodes them (0x81, 0x88, 0x8A, 0x8C-0x90, 0x98, 0x9A, 0x9C-0x9F to the C1
/// control of the same value; 0xAA, 0xD2, 0xFF to U+F8F9, U+F8FA, U+F8FB), and
/// encoding maps those code points back, so any byte string survives
/// Cp1253ToUtf8 followed by Utf8ToCp1253 unchanged.
///
/// Encoding replaces a code point the code page cannot hold, and every byte of
/// malformed UTF-8, with kCp1253Replacement ("?"), the code page's default
/// character.
namespace support {

inline constexpr char kCp1253Replacement = '?';

/// The code point of one Windows-1253 byte.
char32_t Cp1253ToCodePoint(std::uint8_t byte);
/// The Windows-1253 byte of a code point, or nothing when the code page lacks it.
std::optional<std::uint8_t> CodePointToCp1253(char32_t code_point);

/// Windows-1253 bytes to UTF-8 text.
std::string Cp1253ToUtf8(std::string_view bytes);
/// UTF-8 text to Windows-1253 bytes, one byte per character.
std::string Utf8ToCp1253(std::string_view text);

/// Appends the UTF-8 form of a code point (surrogates and values above
/// U+10FFFF become U+FFFD).
void AppendUtf8(std::string& out, char32_t code_point);

/// Decodes one code point from UTF-8 at `pos` and advances `pos`. A malformed
/// or truncated sequence yields U+FFFD and advances by one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

/// UTF-8 text to UTF-16 code units (malformed input becomes U+FFFD).
std::u16string Utf8ToUtf16(std::string_view text);
/// UTF-16 code units to UTF-8 text (an unpaired surrogate becomes U+FFFD).
std::string Utf16ToUtf8(std::u16string_view text);

/// UTF-16LE bytes (two per unit, low byte first, no terminator) to UTF-8. An
/// odd trailing byte is ignored.
std::string Utf16LeBytesToUtf8(std::string_view bytes);
/// UTF-8 text to UTF-16LE bytes, two per unit, with no terminator.
std::string Utf8ToUtf16LeBytes(std::string_view text);

}  // namespace support
