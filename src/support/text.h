#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Small text and number helpers used across the program.
namespace support {

/// Rounds to the nearest whole number, halves to the even neighbour
/// (0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -0.5 -> -0).
double RoundHalfEven(double value);
/// Rounds to `decimals` places (0..15), halves to even. The value is scaled by
/// a power of ten first, so a half that the binary value only approximates
/// (2.675 is 2.67499999...) rounds the way that binary value lies.
double RoundHalfEven(double value, int decimals);

/// Removes leading and trailing spaces (only U+0020, as the program's inputs
/// are trimmed).
std::string_view Trim(std::string_view text);
/// The characters TrimBlanks takes off: space, tab, CR and LF.
inline constexpr std::string_view kBlanks = " \t\r\n";
/// Removes leading and trailing spaces, TABs, CRs and LFs.
std::string_view TrimBlanks(std::string_view text);

/// Splits at every `separator`: n separators give n + 1 fields, so an empty
/// text gives one empty field and adjacent separators give empty fields.
std::vector<std::string> Split(std::string_view text, char separator);
/// Splits at every occurrence of a non-empty separator text (e.g. CR LF).
std::vector<std::string> Split(std::string_view text, std::string_view separator);

/// Case folding for comparisons that ignore letter case: ASCII letters and the
/// Greek capitals (accented and with dialytika included) become small letters,
/// and final sigma folds to sigma. Other text is unchanged.
std::string FoldCase(std::string_view utf8);
/// FoldCase into `out` (replacing its contents), reusing its storage.
void FoldCaseTo(std::string_view utf8, std::string& out);
/// True when two UTF-8 texts are equal ignoring letter case (FoldCase).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

/// True for a non-empty text of ASCII digits only.
bool IsAllDigits(std::string_view text);
/// A non-negative decimal number of at most 18 digits (no sign, no blanks), or
/// nothing. Never overflows.
std::optional<std::int64_t> ParseNonNegative(std::string_view text);

/// The decimal separator used for numbers shown to the user. The program sets
/// it once from the user's locale at start-up (DecimalSeparatorFromLocale);
/// tests pin it with SetDecimalSeparator. Defaults to ".".
char DecimalSeparator();
void SetDecimalSeparator(char separator);
/// The separator of the process's LC_NUMERIC locale as the environment sets it
/// ("," for el_GR), or "." when the environment names no usable locale.
char DecimalSeparatorFromLocale();

/// The shortest decimal text of a value with at most `max_decimals` decimals and
/// no trailing zeros, using DecimalSeparator() ("1024", "1,5").
std::string FormatShortest(double value, int max_decimals);
/// The value with exactly `decimals` decimals, using DecimalSeparator().
std::string FormatFixed(double value, int decimals);

}  // namespace support
