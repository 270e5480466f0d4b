#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace quarrytab {

/// A date as the system-information objects report it: days since 1899-12-30
/// 00:00 with the time of day as the fraction, in local time.
using Date = double;

/// The date of a calendar day and time (no time zone involved).
Date DateFromCivil(int year, int month, int day, int hour, int minute, int second);
/// A moment (seconds since 1970-01-01 UTC) in local time; 0 for a moment that
/// cannot be converted.
Date LocalDateFromUnix(std::int64_t unix_seconds);
/// "yyyy-mm-dd hh:nn:ss", for reports.
std::string FormatDate(Date date);

}  // namespace quarrytab
