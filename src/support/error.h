#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace support {

/// Run-time error numbers shared by several classes.
inline constexpr std::int32_t kErrInvalidArgument = 5;  ///< "Invalid procedure call or argument"
inline constexpr std::int32_t kErrInvalidPropertyValue = 380;  ///< "Invalid property value"

/// A numbered run-time error: the number callers test, the source that names the
/// class and member that raised it ("File:OpenFile", "SocketMaster.Connect"), and a
/// human-readable description. Classes throw it where they "raise" an error; event
/// handlers catch it at their boundary and report it.
class Error : public std::runtime_error {
 public:
  Error(std::int32_t number, std::string source, std::string description);

  std::int32_t Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }

 private:
  std::int32_t number_;
  std::string source_;
  std::string description_;
};

/// Error 5 with the standard description, for the given source.
Error InvalidArgument(std::string source);
/// Error 380 with the standard description, for the given source.
Error InvalidPropertyValue(std::string source);

}  // namespace support
