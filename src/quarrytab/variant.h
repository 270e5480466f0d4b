#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace quarrytab {

using Bytes = std::vector<std::uint8_t>;

/// A value read from or written to the registry. The kinds are told apart
/// because the write rules depend on them: a DWORD is written only from an
/// Integer (16-bit) or a Long (32-bit), never from a Double, and a binary value
/// only from an array of bytes. Empty is the "nothing" of a read that found no
/// value and had no default.
using Variant =
    std::variant<std::monostate, std::int16_t, std::int32_t, double, std::string, Bytes>;

inline bool IsEmpty(const Variant& v) { return std::holds_alternative<std::monostate>(v); }

/// The value converted to text the way the registry writes text values: numbers
/// in decimal (a Double in its shortest form), bytes as UTF-16LE code units,
/// Empty as "".
std::string VariantToText(const Variant& v);

}  // namespace quarrytab
