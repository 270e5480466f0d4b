#include "support/stamp.h"

#include <cstdio>

#include "support/text.h"

namespace support {

std::optional<Stamp> ParseStamp(std::string_view text) {
  if (text.size() != 14 || !IsAllDigits(text)) return std::nullopt;
  auto field = [&](std::size_t at, std::size_t len) {
    int value = 0;
    for (std::size_t i = at; i < at + len; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  Stamp s;
  s.year = field(0, 4);
  s.month = field(4, 2);
  s.day = field(6, 2);
  s.hour = field(8, 2);
  s.minute = field(10, 2);
  s.second = field(12, 2);
  return s;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

bool IsValidStamp(const Stamp& s) {
  return s.year >= 1 && s.year <= 9999 && s.month >= 1 && s.month <= 12 && s.day >= 1 &&
         s.day <= DaysInMonth(s.year, s.month) && s.hour >= 0 && s.hour <= 23 && s.minute >= 0 &&
         s.minute <= 59 && s.second >= 0 && s.second <= 59;
}

std::string FormatStamp(const Stamp& s) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", s.year % 10000, s.month % 100,
                s.day % 100, s.hour % 100, s.minute % 100, s.second % 100);
  return buf;
}

}  // namespace support
