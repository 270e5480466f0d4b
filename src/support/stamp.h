#pragma once

#include <optional>
#include <string>
#include <string_view>

/// The 14-digit time stamp "yyyymmddhhnnss" of the wire protocol, the file list
/// and the log file name: year, month, day, 24-hour hour, minute, second, in
/// local time. Parsed and written field by field, never through a locale.
namespace support {

struct Stamp {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;

  bool operator==(const Stamp&) const = default;
};

/// The fields of exactly 14 ASCII digits, or nothing. The fields are taken as
/// they stand (no calendar check): callers that build a date from them decide
/// how out-of-range fields carry over.
std::optional<Stamp> ParseStamp(std::string_view text);

/// Whether the fields form a real calendar date and time (Gregorian, year
/// 1..9999).
bool IsValidStamp(const Stamp& stamp);

/// The 14-digit form; the year is written with four digits (zero-padded) and each
/// other field with two.
std::string FormatStamp(const Stamp& stamp);

/// Days in a month of the Gregorian calendar.
int DaysInMonth(int year, int month);

}  // namespace support
