#include "app/crypto.h"

#include "support/codepage.h"

namespace app {
namespace {

enum class Direction { kScramble, kUnscramble };

void ShiftBytes(std::string& bytes, std::string_view key_cp1253, Direction direction) {
  if (key_cp1253.empty()) return;
  std::size_t k = 0;
  for (char& c : bytes) {
    const int code = static_cast<unsigned char>(c);
    const int key = static_cast<unsigned char>(key_cp1253[k]);
    int v = direction == Direction::kScramble ? code + key : code - key;
    if (v > 255) v -= 256;
    if (v < 0) v += 256;
    c = static_cast<char>(v);
    if (++k == key_cp1253.size()) k = 0;
  }
}

std::string TransformText(std::string_view text, std::string_view key, Direction direction) {
  if (key.empty()) return std::string(text);
  std::string bytes = support::Utf8ToCp1253(text);
  ShiftBytes(bytes, support::Utf8ToCp1253(key), direction);
  return support::Cp1253ToUtf8(bytes);
}

}  // namespace

std::string ScrambleText(std::string_view text, std::string_view key) {
  return TransformText(text, key, Direction::kScramble);
}

std::string UnscrambleText(std::string_view text, std::string_view key) {
  return TransformText(text, key, Direction::kUnscramble);
}

void ScrambleBytes(std::string& bytes, std::string_view key) {
  ShiftBytes(bytes, support::Utf8ToCp1253(key), Direction::kScramble);
}

std::string ScrambledPasswordField(std::string_view password) {
  std::string bytes = support::Utf8ToCp1253(password);
  ScrambleBytes(bytes);
  return bytes;
}

std::string PasswordToStoredBytes(std::string_view password) {
  return support::Utf8ToUtf16LeBytes(ScrambleText(password));
}

std::string PasswordFromStoredBytes(std::string_view stored) {
  return UnscrambleText(support::Utf16LeBytesToUtf8(stored));
}

}  // namespace app
