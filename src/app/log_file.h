#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "support/file.h"

namespace app {

/// A moment in local time, to the millisecond.
struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

/// Now, in local time.
LocalTime LocalNow();

/// A time in a date-time format: d/dd day, m/mm month, yy/yyyy year, h/hh
/// hour (0-23), n/nn minute, s/ss second; the doubled forms have two digits
/// (four for yyyy). Every other character stands for itself, "/" and ":"
/// included: the date and time separators of the Greek settings the program
/// is made for.
std::string FormatLogTime(std::string_view format, const LocalTime& time);

/// The program's log: plain lines in the Windows-1253 code page, each ended by
/// CR LF, written through a support::File opened for writing with other
/// writers denied.
///
/// With the defaults a line reads "[" + d/m/yyyy h:nn:ss + "]" + two spaces +
/// text. File errors (8500 + code) reach the caller of OpenLogFile and AppendLog.
class LogFile {
 public:
  using Clock = std::function<LocalTime()>;

  LogFile();
  /// Takes the time stamps from `clock` (tests pin the time with it).
  explicit LogFile(Clock clock);
  /// Closes the file.
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  /// Appends `text` + CR LF, after the time stamp when `add_time_stamp`:
  /// StringBeforeDateTime + the local time in DateTimeFormat (+ "." and three
  /// digits of milliseconds when ShowMilliseconds) + StringAfterDateTime +
  /// SpacesAfterDateTime spaces. Nothing before OpenLogFile.
  void AppendLog(std::string_view text, bool add_time_stamp = true);
  void CloseLogFile();
  /// Path of the open file ("" before OpenLogFile).
  const std::string& CurrentFile() const { return current_file_; }
  const std::string& DateTimeFormat() const { return date_time_format_; }
  void SetDateTimeFormat(std::string format) { date_time_format_ = std::move(format); }
  /// True when the file is empty.
  bool NewFile() const { return Size() == 0; }
  /// Opens (creating it when missing) for writing, emptied when `overwrite`,
  /// else positioned at its end. An open log is left as it is.
  void OpenLogFile(std::string_view path, bool overwrite);
  bool ShowMilliseconds() const { return show_milliseconds_; }
  void SetShowMilliseconds(bool on) { show_milliseconds_ = on; }
  /// The file's size in bytes (0 when not open).
  std::int64_t Size() const;
  std::int16_t SpacesAfterDateTime() const { return spaces_after_date_time_; }
  void SetSpacesAfterDateTime(std::int16_t count) { spaces_after_date_time_ = count; }
  const std::string& StringAfterDateTime() const { return string_after_date_time_; }
  void SetStringAfterDateTime(std::string text) { string_after_date_time_ = std::move(text); }
  const std::string& StringBeforeDateTime() const { return string_before_date_time_; }
  void SetStringBeforeDateTime(std::string text) { string_before_date_time_ = std::move(text); }

  bool IsOpen() const { return open_; }

 private:
  Clock clock_;
  support::File file_;
  std::string current_file_;
  bool open_ = false;
  std::string date_time_format_ = "d/m/yyyy h:nn:ss";
  bool show_milliseconds_ = false;
  std::string string_before_date_time_ = "[";
  std::string string_after_date_time_ = "]";
  std::int16_t spaces_after_date_time_ = 2;
};

}  // namespace app
