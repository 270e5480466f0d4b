#pragma once

#include <string>
#include <string_view>

/// The reversible scrambling that keeps the password from travelling or resting
/// as typed text. Each 8-bit code is shifted by the code of the key character at
/// the same position (the key repeats), wrapping at 256. Text forms work on the
/// Windows-1253 codes of the text, so a character the code page lacks becomes
/// "?" before it is scrambled.
namespace app {

/// The fixed key used everywhere.
inline constexpr std::string_view kCryptoKey = "Tz(8!/k~q&";

/// Scrambles UTF-8 text; the result is UTF-8 text of the same number of
/// characters. An empty key returns the input unchanged.
std::string ScrambleText(std::string_view text, std::string_view key = kCryptoKey);
/// Reverses ScrambleText.
std::string UnscrambleText(std::string_view text, std::string_view key = kCryptoKey);
/// Scrambles raw bytes in place (key position 1 for the first byte). The key is
/// taken as Windows-1253 codes of its UTF-8 text.
void ScrambleBytes(std::string& bytes, std::string_view key = kCryptoKey);

/// The password field of the log-in message: the password's Windows-1253 bytes,
/// scrambled. Any byte value may appear, "|" included; nothing is escaped.
std::string ScrambledPasswordField(std::string_view password);

/// The stored form of a remembered password: the scrambled text as UTF-16LE
/// code units, low byte first, no terminator, no length prefix.
std::string PasswordToStoredBytes(std::string_view password);
/// The password from its stored form (the inverse of PasswordToStoredBytes).
std::string PasswordFromStoredBytes(std::string_view stored);

}  // namespace app
