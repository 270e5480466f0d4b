#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "support/stamp.h"

namespace support {

/// The local date and time of a moment of the system clock.
Stamp LocalStamp(std::time_t when);

/// The last-write time of a file as a 14-digit local-time stamp, or nothing
/// when the file cannot be examined or its year lies outside 1..9999.
std::optional<std::string> LastWriteStamp(const std::string& path);

/// Sets the last-write time of a file from a local-time stamp; the last-access
/// time is left alone. Fields out of range carry over into the next larger one
/// (day 32 of January is 1 February), as when the date is built as 1 January
/// plus months plus days. Answers false when the time cannot be set.
bool SetLastWriteStamp(const std::string& path, const Stamp& stamp);

}  // namespace support
