#pragma once

#include <cstdint>
#include <string>

namespace quarrytab {

/// Windows system error codes the registry layer reports on every platform.
inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorPathNotFound = 3;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorInvalidData = 13;
inline constexpr std::int32_t kErrorWriteProtect = 19;
inline constexpr std::int32_t kErrorBadNetPath = 53;
inline constexpr std::int32_t kErrorInvalidParameter = 87;
inline constexpr std::int32_t kErrorDiskFull = 112;
inline constexpr std::int32_t kErrorMoreData = 234;
inline constexpr std::int32_t kErrorRegistryCorrupt = 1009;
inline constexpr std::int32_t kErrorRegistryIoFailed = 1016;

/// The system's English text for a code, as the Windows message table words it
/// (ending in CR LF), or "" for a code the table lacks. Windows builds look the
/// code up in the system table; other builds use a table of the codes above.
std::string SystemMessageText(std::int32_t code);

/// The Windows code for a POSIX errno value met by a registry backend.
std::int32_t WindowsCodeFromErrno(int err);

}  // namespace quarrytab
