#include "support/error.h"

#include <utility>

namespace support {

Error::Error(std::int32_t number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

Error InvalidArgument(std::string source) {
  return Error(kErrInvalidArgument, std::move(source), "Invalid procedure call or argument");
}

Error InvalidPropertyValue(std::string source) {
  return Error(kErrInvalidPropertyValue, std::move(source), "Invalid property value");
}

}  // namespace support
