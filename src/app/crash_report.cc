#include "app/crash_report.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <exception>

namespace app {
namespace {

/// Text built into a caller's buffer, cut short (and still NUL-terminated)
/// when the buffer is full. Allocates nothing, so the handlers may use it.
class FixedText {
 public:
  FixedText(char* out, std::size_t capacity) : out_(out), capacity_(capacity) {
    if (capacity_ > 0) out_[0] = '\0';
  }

  void Put(char c) {
    if (size_ + 1 >= capacity_) return;
    out_[size_++] = c;
    out_[size_] = '\0';
  }
  void Append(std::string_view text) {
    for (const char c : text) Put(c);
  }
  /// Upper-case hexadecimal, at least `min_digits` digits.
  void Hex(std::uint64_t value, int min_digits) { Digits(value, 16, min_digits); }
  void Decimal(std::uint64_t value, int min_digits) { Digits(value, 10, min_digits); }

  std::size_t size() const { return size_; }

 private:
  void Digits(std::uint64_t value, unsigned base, int min_digits) {
    char reversed[24];
    int count = 0;
    do {
      reversed[count++] = "0123456789ABCDEF"[value % base];
      value /= base;
    } while (value != 0 && count < 24);
    while (count < min_digits && count < 24) reversed[count++] = '0';
    while (count > 0) Put(reversed[--count]);
  }

  char* out_;
  std::size_t capacity_;
  std::size_t size_ = 0;
};

struct ExceptionEntry {
  std::uint32_t code;
  const char* name;
};

constexpr ExceptionEntry kExceptionNames[] = {
    {0x80000001, "Guard Page Violation"},
    {0x80000002, "Data Type Misalignment"},
    {0x80000003, "Breakpoint"},
    {0x80000004, "Single Step"},
    {0xC0000005, "Access Violation"},
    {0xC0000006, "In Page Error"},
    {0xC0000008, "Invalid Handle"},
    {0xC000001D, "Illegal Instruction"},
    {0xC0000025, "Non Continuable Exception"},
    {0xC0000026, "Invalid Disposition"},
    {0xC000008C, "Array Bounds Exceeded"},
    {0xC000008D, "Float Denormal Operand"},
    {0xC000008E, "Divide By Zero"},
    {0xC000008F, "Floating Point Inexact Result"},
    {0xC0000090, "Invalid Operation"},
    {0xC0000091, "Float Overflow"},
    {0xC0000092, "Float Stack Check"},
    {0xC0000093, "Float Underflow"},
    {0xC0000094, "Integer Divide By Zero"},
    {0xC0000095, "Integer Overflow"},
    {0xC0000096, "Privileged Instruction"},
    {0xC00000FD, "Stack Overflow"},
    {0xC000013A, "Control-C Exit"},
};

void AppendExceptionName(FixedText& text, std::uint32_t code) {
  for (const ExceptionEntry& entry : kExceptionNames) {
    if (entry.code == code) {
      text.Append(entry.name);
      return;
    }
  }
  text.Append("Unknown (&H");
  text.Hex(code, 8);
  text.Append(")");
}

std::uint32_t FloatingPointCode(int si_code) {
  switch (si_code) {
    case FPE_INTDIV:
      return kIntegerDivideByZero;
    case FPE_INTOVF:
      return kIntegerOverflow;
    case FPE_FLTDIV:
      return kFloatDivideByZero;
    case FPE_FLTOVF:
      return kFloatOverflow;
    case FPE_FLTUND:
      return kFloatUnderflow;
    case FPE_FLTRES:
      return kFloatInexactResult;
    case FPE_FLTSUB:
      return kArrayBoundsExceeded;
    case FPE_FLTINV:
    default:
      return kFloatInvalidOperation;
  }
}

// The state the handlers use. Everything they touch is set up at install
// time (or, for the log, by SetCrashLogPath) in static storage, so that a
// crash with the heap in any state still gets its report.
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

char g_reporter_path[PATH_MAX];
char g_message[512];
char g_log_line[640];
char* g_reporter_argv[3];
std::atomic<int> g_log_fd{-1};
std::atomic<std::int32_t> g_utc_offset{0};
/// Set by the first report: a second crash (another thread, or the handler
/// itself faulting) ends the process without a second box.
std::atomic<bool> g_reporting{false};
StackGuard g_stack_guard;
/// Large enough for the handler under AddressSanitizer and for the widest
/// register state a processor saves on it.
alignas(64) char g_alternate_stack[128 * 1024];

std::int32_t LocalUtcOffset() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  if (::localtime_r(&now, &local) == nullptr) return 0;
  return static_cast<std::int32_t>(local.tm_gmtoff);
}

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

/// Appends the message to the log. The text is ASCII, whose bytes are the
/// same in the log's Windows-1253 code page.
void LogMessage() {
  const int fd = g_log_fd.load();
  if (fd < 0) return;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const LocalTime time = LocalTimeAt(now.tv_sec, g_utc_offset.load());
  const std::size_t size = FormatCrashLogLine(time, g_message, g_log_line, sizeof g_log_line);
  WriteAll(fd, g_log_line, size);
}

/// A child process without the parent's fork handlers: they take locks
/// (malloc's among them) that the crashed thread may hold.
pid_t ForkWithoutHandlers() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  return ::_Fork();
#else
  return ::fork();
#endif
}

/// Starts the reporter with the message and leaves it running: the box
/// stays up after this process is gone.
void StartReporter() {
  if (g_reporter_path[0] == '\0') return;
  const pid_t child = ForkWithoutHandlers();
  if (child != 0) return;
  // The handler's blocked signals would stay blocked across execve.
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  // The reporter needs none of our descriptors; holding them (the single-copy
  // lock among them) would keep a restarted program from running.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  ::close_range(3, ~0U, 0);
#endif
  ::execve(g_reporter_path, g_reporter_argv, environ);
  ::_exit(127);
}

void Report(const CrashFacts& facts) {
  FormatCrashMessage(facts, g_message, sizeof g_message);
  LogMessage();
  StartReporter();
}

/// Puts back the system's action for `signal` and sends it again. The handler
/// has it blocked, so it is delivered (and ends the process, with a core dump
/// where the system makes one) as soon as the handler returns.
void ResendWithDefaultAction(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
  ::raise(signal);
}

void OnFatalSignal(int signal, siginfo_t* info, void* ucontext) {
  const int saved_errno = errno;
  if (!g_reporting.exchange(true)) {
    Report(CrashFactsOfSignal(SignalFactsOf(*info, ucontext), g_stack_guard));
  }
  errno = saved_errno;
  ResendWithDefaultAction(signal);
}

/// std::terminate: an exception nobody caught, or a terminate of the
/// program's own. Reports, then aborts without reporting the abort.
[[noreturn]] void OnTerminate() {
  if (!g_reporting.exchange(true)) {
    CrashFacts facts;
    facts.code = std::current_exception() ? kCppException : kFatalAppExit;
    Report(facts);
  }
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGABRT, &action, nullptr);
  std::abort();
}

void InstallAlternateStack() {
  stack_t current{};
  if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) &&
      current.ss_size >= sizeof g_alternate_stack) {
    return;
  }
  stack_t ours{};
  ours.ss_sp = g_alternate_stack;
  ours.ss_size = sizeof g_alternate_stack;
  ours.ss_flags = 0;
  ::sigaltstack(&ours, nullptr);
}

}  // namespace

std::size_t FormatExceptionName(std::uint32_t code, char* out, std::size_t capacity) {
  FixedText text(out, capacity);
  AppendExceptionName(text, code);
  return text.size();
}

std::size_t FormatCrashMessage(const CrashFacts& facts, char* out, std::size_t capacity) {
  FixedText text(out, capacity);
  AppendExceptionName(text, facts.code);
  if (facts.code == kAccessViolation) {
    text.Append(": The instruction at 0x");
    text.Hex(facts.instruction_address, 1);
    text.Append(facts.access == AccessKind::kWrite ? " attempted to write" : " attempted to read");
    text.Append(" data at address 0x");
    text.Hex(facts.data_address, 1);
  }
  return text.size();
}

std::size_t FormatCrashLogLine(const LocalTime& time, std::string_view line_text, char* out,
                               std::size_t capacity) {
  FixedText text(out, capacity);
  const auto number = [&text](int value, int digits) {
    text.Decimal(static_cast<std::uint64_t>(std::max(value, 0)), digits);
  };
  text.Put('[');
  number(time.day, 1);
  text.Put('/');
  number(time.month, 1);
  text.Put('/');
  number(time.year, 4);
  text.Put(' ');
  number(time.hour, 1);
  text.Put(':');
  number(time.minute, 2);
  text.Put(':');
  number(time.second, 2);
  text.Append("]  ");
  text.Append(line_text);
  text.Append("\r\n");
  return text.size();
}

std::string ExceptionName(std::uint32_t code) {
  char buffer[64];
  return std::string(buffer, FormatExceptionName(code, buffer, sizeof buffer));
}

std::string CrashMessage(const CrashFacts& facts) {
  char buffer[256];
  return std::string(buffer, FormatCrashMessage(facts, buffer, sizeof buffer));
}

LocalTime LocalTimeAt(std::int64_t unix_seconds, std::int32_t utc_offset_seconds) {
  constexpr std::int64_t kDay = 86400;
  const std::int64_t local = unix_seconds + utc_offset_seconds;
  std::int64_t days = local / kDay;
  std::int64_t second_of_day = local % kDay;
  if (second_of_day < 0) {
    second_of_day += kDay;
    --days;
  }
  // Days since 1970-01-01 to a proleptic Gregorian date, counted in 400-year
  // eras that start on 1 March, so the leap day ends a year.
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t day_of_era = z - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t month_from_march = (5 * day_of_year + 2) / 153;
  const std::int64_t day = day_of_year - (153 * month_from_march + 2) / 5 + 1;
  const std::int64_t month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
  const std::int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);

  LocalTime time;
  time.year = static_cast<int>(year);
  time.month = static_cast<int>(month);
  time.day = static_cast<int>(day);
  time.hour = static_cast<int>(second_of_day / 3600);
  time.minute = static_cast<int>(second_of_day / 60 % 60);
  time.second = static_cast<int>(second_of_day % 60);
  return time;
}

CrashFacts CrashFactsOfSignal(const SignalFacts& signal, const StackGuard& guard) {
  CrashFacts facts;
  switch (signal.signal) {
    case SIGSEGV:
      if (guard.Contains(signal.address)) {
        facts.code = kStackOverflow;
        break;
      }
      facts.code = kAccessViolation;
      facts.instruction_address = signal.instruction_address;
      facts.data_address = signal.address;
      facts.access = signal.access;
      break;
    case SIGBUS:
      facts.code = signal.code == BUS_ADRALN ? kDatatypeMisalignment : kInPageError;
      break;
    case SIGILL:
      facts.code = signal.code == ILL_PRVOPC || signal.code == ILL_PRVREG ? kPrivilegedInstruction
                                                                          : kIllegalInstruction;
      break;
    case SIGFPE:
      facts.code = FloatingPointCode(signal.code);
      break;
    case SIGTRAP:
      facts.code = signal.code == TRAP_TRACE ? kSingleStep : kBreakpoint;
      break;
    case SIGABRT:
      facts.code = kFatalAppExit;
      break;
    default:
      break;
  }
  return facts;
}

SignalFacts SignalFactsOf(const siginfo_t& info, const void* ucontext) {
  SignalFacts facts;
  facts.signal = info.si_signo;
  facts.code = info.si_code;
  facts.address = reinterpret_cast<std::uintptr_t>(info.si_addr);
  const auto* context = static_cast<const ucontext_t*>(ucontext);
  if (context == nullptr) return facts;
#if defined(__x86_64__)
  const greg_t* registers = context->uc_mcontext.gregs;
  facts.instruction_address = static_cast<std::uintptr_t>(registers[REG_RIP]);
  // A page fault (trap 14) saves the processor's error code, whose bit 1 is
  // set for a write. Other faults' error codes mean something else.
  constexpr greg_t kPageFault = 14;
  constexpr greg_t kWriteAccess = 2;
  if (info.si_signo == SIGSEGV && registers[REG_TRAPNO] == kPageFault &&
      (registers[REG_ERR] & kWriteAccess) != 0) {
    facts.access = AccessKind::kWrite;
  }
#elif defined(__i386__)
  facts.instruction_address = static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
  facts.instruction_address = static_cast<std::uintptr_t>(context->uc_mcontext.pc);
#endif
  return facts;
}

StackGuard MainThreadStackGuard() {
  if (::getpid() != ::gettid()) return {};
  pthread_attr_t attributes;
  if (::pthread_getattr_np(::pthread_self(), &attributes) != 0) return {};
  void* lowest = nullptr;
  std::size_t size = 0;
  const int got = ::pthread_attr_getstack(&attributes, &lowest, &size);
  ::pthread_attr_destroy(&attributes);
  if (got != 0 || lowest == nullptr) return {};
  // The main thread's stack grows down to `lowest` (its size limit, or the
  // mapping below it less the gap the kernel keeps free above that mapping).
  // An overflowing access lands just below the limit, by up to a large
  // frame's reach, or within the gap above a mapping that stopped it early.
  constexpr std::uintptr_t kReach = 1024 * 1024;
  const auto low = reinterpret_cast<std::uintptr_t>(lowest);
  return StackGuard{low - std::min(low, kReach), low + kReach};
}

std::string CrashReporterPath() {
  const char* named = std::getenv("VAULTLINE_CRASH_REPORTER");
  if (named != nullptr && named[0] != '\0') return named;
  char program[PATH_MAX];
  const ssize_t size = ::readlink("/proc/self/exe", program, sizeof program - 1);
  if (size <= 0) return {};
  std::string path(program, static_cast<std::size_t>(size));
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  path.resize(slash + 1);
  return path + "vaultline-crash-report";
}

void InstallCrashReport(const std::string& reporter_path) {
  g_reporter_path[0] = '\0';
  if (reporter_path.size() < sizeof g_reporter_path) {
    reporter_path.copy(g_reporter_path, reporter_path.size());
    g_reporter_path[reporter_path.size()] = '\0';
  }
  g_reporter_argv[0] = g_reporter_path;
  g_reporter_argv[1] = g_message;
  g_reporter_argv[2] = nullptr;
  g_stack_guard = MainThreadStackGuard();
  g_utc_offset.store(LocalUtcOffset());

  InstallAlternateStack();
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  // While one report runs the other fatal signals wait; a fault inside the
  // handler then ends the process at once instead of nesting.
  ::sigemptyset(&action.sa_mask);
  for (const int signal : kFatalSignals) ::sigaddset(&action.sa_mask, signal);
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  for (const int signal : kFatalSignals) ::sigaction(signal, &action, nullptr);
  std::set_terminate(OnTerminate);
}

void SetCrashLogPath(const std::string& path) {
  const int fd = path.empty() ? -1 : ::open(path.c_str(), O_APPEND | O_WRONLY | O_CLOEXEC);
  const int previous = g_log_fd.exchange(fd);
  if (previous >= 0) ::close(previous);
  g_utc_offset.store(LocalUtcOffset());
}

}  // namespace app
