#pragma once

#include <cstdint>
#include <string>

namespace net {

/// Socket error numbers. They keep the numbering of the Windows socket library on
/// every platform, because owners and logs compare and show these numbers.
inline constexpr int kWsaInterrupted = 10004;
inline constexpr int kWsaAccessDenied = 10013;
inline constexpr int kWsaFault = 10014;
inline constexpr int kWsaInvalidArgument = 10022;
inline constexpr int kWsaTooManyOpenFiles = 10024;
inline constexpr int kWsaWouldBlock = 10035;
inline constexpr int kWsaInProgress = 10036;
inline constexpr int kWsaAlready = 10037;
inline constexpr int kWsaNotSocket = 10038;
inline constexpr int kWsaMessageSize = 10040;
inline constexpr int kWsaAddressFamily = 10047;
inline constexpr int kWsaAddressInUse = 10048;
inline constexpr int kWsaAddressNotAvailable = 10049;
inline constexpr int kWsaNetworkDown = 10050;
inline constexpr int kWsaNetworkUnreachable = 10051;
inline constexpr int kWsaConnectionAborted = 10053;
inline constexpr int kWsaConnectionReset = 10054;
inline constexpr int kWsaNoBufferSpace = 10055;
inline constexpr int kWsaNotConnected = 10057;
inline constexpr int kWsaShutdown = 10058;
inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaConnectionRefused = 10061;
inline constexpr int kWsaHostUnreachable = 10065;
inline constexpr int kWsaNotInitialised = 10093;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;
inline constexpr int kWsaNoData = 11004;

/// Run-time error numbers raised by the socket object.
inline constexpr std::int32_t kErrOutOfMemory = 7;
inline constexpr std::int32_t kErrOverflow = 6;
inline constexpr std::int32_t kErrWrongState = 40006;
inline constexpr std::int32_t kErrBadArgument = 40014;
inline constexpr std::int32_t kErrUnsupportedType = 40018;
inline constexpr std::int32_t kErrInvalidState = 40020;

/// The English text of a socket error number; "Unknown error." for numbers outside
/// the table.
std::string GetErrorDescription(int number);

/// The socket error number for a POSIX errno value (EAGAIN -> 10035, ECONNREFUSED ->
/// 10061, ...). Values without a counterpart map to 10022 "Invalid argument.".
int SocketErrorFromErrno(int errno_value);

/// The socket error number for a getaddrinfo result (EAI_NONAME -> 11001, ...);
/// `errno_value` is used for EAI_SYSTEM.
int SocketErrorFromLookup(int gai_result, int errno_value);

/// A port as the 16-bit word the socket calls take: 0..65535 keep their bits (as a
/// signed word, so 65535 reads -1); anything else throws support::Error 6 "Overflow".
std::int16_t ToPortWord(std::int32_t port);
/// A 16-bit port word back to 0..65535 (a negative word reads as word + 65536).
std::int32_t FromPortWord(std::int16_t word);

}  // namespace net
