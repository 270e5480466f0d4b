#pragma once

// The last-chance error report: a crash (a fatal signal, or a C++ exception
// nobody caught) is named as the program's exception table names the Windows
// exception code it stands for, written to the log as a plain line and shown
// by a separate reporter process, and the process then ends by the signal as
// the system would have ended it.

#include <signal.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/log_file.h"

namespace app {

/// Exception codes the signals are mapped onto (the rest of the table is
/// named by ExceptionName only).
inline constexpr std::uint32_t kDatatypeMisalignment = 0x80000002;
inline constexpr std::uint32_t kBreakpoint = 0x80000003;
inline constexpr std::uint32_t kSingleStep = 0x80000004;
inline constexpr std::uint32_t kAccessViolation = 0xC0000005;
inline constexpr std::uint32_t kInPageError = 0xC0000006;
inline constexpr std::uint32_t kIllegalInstruction = 0xC000001D;
inline constexpr std::uint32_t kArrayBoundsExceeded = 0xC000008C;
inline constexpr std::uint32_t kFloatDivideByZero = 0xC000008E;
inline constexpr std::uint32_t kFloatInexactResult = 0xC000008F;
inline constexpr std::uint32_t kFloatInvalidOperation = 0xC0000090;
inline constexpr std::uint32_t kFloatOverflow = 0xC0000091;
inline constexpr std::uint32_t kFloatUnderflow = 0xC0000093;
inline constexpr std::uint32_t kIntegerDivideByZero = 0xC0000094;
inline constexpr std::uint32_t kIntegerOverflow = 0xC0000095;
inline constexpr std::uint32_t kPrivilegedInstruction = 0xC0000096;
inline constexpr std::uint32_t kStackOverflow = 0xC00000FD;
/// What the C++ runtime of the other system raises for a thrown exception.
inline constexpr std::uint32_t kCppException = 0xE06D7363;
/// An abort() of the program's own making (no exception escaping): the code
/// the other system's runtime ends an aborting program with. Not in the
/// table, so it reads "Unknown (&HC0000409)".
inline constexpr std::uint32_t kFatalAppExit = 0xC0000409;

enum class AccessKind { kRead, kWrite };

/// What the report says about one crash. The addresses and the access kind
/// count for access violations only.
struct CrashFacts {
  std::uint32_t code = 0;
  std::uintptr_t instruction_address = 0;
  std::uintptr_t data_address = 0;
  AccessKind access = AccessKind::kRead;
};

/// What the system tells a signal handler about a fatal signal.
struct SignalFacts {
  int signal = 0;
  int code = 0;                ///< si_code
  std::uintptr_t address = 0;  ///< si_addr
  std::uintptr_t instruction_address = 0;
  AccessKind access = AccessKind::kRead;
};

/// The addresses [low, high) a main thread whose stack has run out faults
/// at: around the lowest address the stack may grow to. Empty when unknown.
struct StackGuard {
  std::uintptr_t low = 0;
  std::uintptr_t high = 0;

  bool Contains(std::uintptr_t address) const { return address >= low && address < high; }
};

/// The guard of the calling thread's stack when it is the process's main
/// thread, else an empty one. Allocates: call it at install time.
StackGuard MainThreadStackGuard();

/// The exception code a fatal signal stands for: SIGSEGV an access violation
/// (a stack overflow when the address lies in `guard`), SIGBUS a misalignment
/// (BUS_ADRALN) or an in-page error (anything else: a mapped file cut short),
/// SIGILL an illegal or (ILL_PRVOPC, ILL_PRVREG) privileged instruction,
/// SIGFPE by its si_code (an FPE code of its own making, such as raise(),
/// reads as an invalid operation), SIGTRAP a breakpoint (TRAP_TRACE a single
/// step), SIGABRT kFatalAppExit. Any other signal gives code 0.
/// Async-signal-safe.
CrashFacts CrashFactsOfSignal(const SignalFacts& signal, const StackGuard& guard);

/// Reads a handler's siginfo and ucontext: the instruction address from the
/// saved program counter, and on x86-64 whether a page fault wrote (error
/// code bit 1); elsewhere every access reads as a read. Async-signal-safe.
SignalFacts SignalFactsOf(const siginfo_t& info, const void* ucontext);

/// Writes into `out` at most `capacity` - 1 characters and a terminating
/// NUL, and answers how many characters it wrote (the NUL not counted).
/// All three are async-signal-safe.
///
/// The table's name of an exception code, else "Unknown (&H" + eight
/// upper-case hexadecimal digits + ")".
std::size_t FormatExceptionName(std::uint32_t code, char* out, std::size_t capacity);
/// The name; for an access violation followed by ": The instruction at 0x" +
/// address + " attempted to read|write data at address 0x" + address, both in
/// upper-case hexadecimal without leading zeros.
std::size_t FormatCrashMessage(const CrashFacts& facts, char* out, std::size_t capacity);
/// A log line as LogFile writes it by default: "[" + d/m/yyyy h:nn:ss + "]" +
/// two spaces + `text` + CR LF.
std::size_t FormatCrashLogLine(const LocalTime& time, std::string_view text, char* out,
                               std::size_t capacity);

std::string ExceptionName(std::uint32_t code);
std::string CrashMessage(const CrashFacts& facts);

/// The local time of a moment given in seconds since 1970 (UTC) in a zone
/// `utc_offset_seconds` east of UTC (milliseconds 0). Async-signal-safe.
LocalTime LocalTimeAt(std::int64_t unix_seconds, std::int32_t utc_offset_seconds);

/// The reporter program: $VAULTLINE_CRASH_REPORTER when set and not empty,
/// else vaultline-crash-report in the folder of the running program.
std::string CrashReporterPath();

/// Installs the report: handlers of SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP
/// and SIGABRT running on an alternate signal stack, and a terminate handler
/// that reports an escaping exception as kCppException. Call it once, early,
/// from the main thread (the stack overflow is told apart on that thread
/// only; another thread that overflows its stack dies without a report).
/// The reporter is started as `reporter_path MESSAGE` and not waited for; an
/// empty path starts none.
void InstallCrashReport(const std::string& reporter_path = CrashReporterPath());

/// Where the report is logged: the line is appended to `path` through a
/// descriptor opened now. An empty path (the start, and logging off) logs
/// nothing. Also takes the local time's offset from UTC anew: the report's
/// time stamp uses the offset of the last call (or of the install).
void SetCrashLogPath(const std::string& path);

}  // namespace app
