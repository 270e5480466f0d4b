#include "app/log_file.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "support/codepage.h"
#include "support/file_stamp.h"

namespace app {
namespace {

// Appends `value` with at least `digits` digits, zero-padded as "%0*d" pads.
// Lists format a date per row, so this avoids printf and temporaries.
void AppendNumber(std::string& out, int value, int digits) {
  char buf[16];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  const auto length = static_cast<int>(end - buf);
  const char* from = buf;
  if (value < 0) {  // the sign counts towards the width and comes first
    out.push_back('-');
    ++from;
  }
  if (length < digits) out.append(static_cast<std::size_t>(digits - length), '0');
  out.append(from, static_cast<std::size_t>(end - from));
}

std::string Number(int value, int digits) {
  std::string out;
  AppendNumber(out, value, digits);
  return out;
}

}  // namespace

LocalTime LocalNow() {
  const auto now = std::chrono::system_clock::now();
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const support::Stamp s = support::LocalStamp(static_cast<std::time_t>(ms / 1000));
  return LocalTime{s.year, s.month, s.day, s.hour, s.minute, s.second, static_cast<int>(ms % 1000)};
}

std::string FormatLogTime(std::string_view format, const LocalTime& t) {
  std::string out;
  out.reserve(format.size() + 8);
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    std::size_t run = 1;
    while (i + run < format.size() && format[i + run] == c) ++run;
    int value = -1;
    switch (c) {
      case 'd':
        value = t.day;
        break;
      case 'm':
        value = t.month;
        break;
      case 'h':
        value = t.hour;
        break;
      case 'n':
        value = t.minute;
        break;
      case 's':
        value = t.second;
        break;
      default:
        break;
    }
    if (c == 'y' && run >= 4) {
      AppendNumber(out, t.year, 4);
      run = 4;
    } else if (c == 'y') {
      AppendNumber(out, t.year % 100, 2);
      run = std::min<std::size_t>(run, 2);
    } else if (value >= 0) {
      AppendNumber(out, value, run >= 2 ? 2 : 1);
      run = std::min<std::size_t>(run, 2);
    } else {
      out.append(format.substr(i, run));
    }
    i += run;
  }
  return out;
}

LogFile::LogFile() : LogFile(LocalNow) {}

LogFile::LogFile(Clock clock) : clock_(std::move(clock)) {}

LogFile::~LogFile() { CloseLogFile(); }

void LogFile::OpenLogFile(std::string_view path, bool overwrite) {
  if (open_) return;
  file_.OpenFile(path, support::File::kGenericWrite, support::File::kDenyWrite, true);
  try {
    if (overwrite) {
      file_.Position(1);
      file_.ResizeToPosition();
    } else {
      file_.Position(file_.Size() + 1);
    }
  } catch (...) {
    file_.CloseFile();
    throw;
  }
  current_file_ = std::string(path);
  open_ = true;
}

void LogFile::CloseLogFile() {
  file_.CloseFile();
  open_ = false;
}

std::int64_t LogFile::Size() const { return open_ ? file_.Size() : 0; }

void LogFile::AppendLog(std::string_view text, bool add_time_stamp) {
  if (!open_) return;
  std::string line;
  if (add_time_stamp) {
    const LocalTime now = clock_();
    line = string_before_date_time_ + FormatLogTime(date_time_format_, now);
    if (show_milliseconds_) line += "." + Number(now.millisecond, 3);
    line += string_after_date_time_;
    if (spaces_after_date_time_ > 0)
      line.append(static_cast<std::size_t>(spaces_after_date_time_), ' ');
  }
  line.append(text);
  line += "\r\n";
  file_.WriteDataBin(support::Utf8ToCp1253(line));
}

}  // namespace app
