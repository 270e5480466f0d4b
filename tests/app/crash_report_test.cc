#include "app/crash_report.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/log_file.h"

namespace app {
namespace {

// ---------------------------------------------------------------------------
// The crashing side. The crash cases run in a fresh copy of this binary
// (fork + execve of /proc/self/exe) so that the environment can set up a
// sanitizer before it starts: AddressSanitizer reads its options at start and
// would otherwise take the fatal signals itself. The copy is told what to do
// by VAULTLINE_CRASH_CHILD and crashes before the test framework's main runs.

constexpr int kChildDidNotCrash = 3;

// The crashing functions: small, kept apart, and unchecked by the sanitizers
// (which would report the fault themselves).
#if defined(__clang__)
#define VAULTLINE_UNCHECKED __attribute__((noinline, no_sanitize("address", "undefined")))
#else
#define VAULTLINE_UNCHECKED __attribute__((noinline, noclone, no_sanitize("address", "undefined")))
#endif

int* volatile g_null_pointer = nullptr;
volatile int g_zero = 0;
volatile int g_never = -1;

VAULTLINE_UNCHECKED int ReadThroughNull() { return *g_null_pointer; }

VAULTLINE_UNCHECKED void WriteThroughNull() { *g_null_pointer = 1; }

VAULTLINE_UNCHECKED int DivideByZero() { return 1000 / g_zero; }

VAULTLINE_UNCHECKED int Recurse(int depth) {
  if (depth == g_never) return 0;
  volatile char frame[1024];
  frame[depth % sizeof frame] = static_cast<char>(depth);
  // Used after the call, so the recursion is no tail call.
  return Recurse(depth + 1) + frame[(depth + 1) % sizeof frame];
}

VAULTLINE_UNCHECKED int ReadCutMapping(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0 || ::ftruncate(fd, 4096) != 0) return -1;
  auto* mapped = static_cast<volatile int*>(::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
  if (mapped == MAP_FAILED || ::ftruncate(fd, 0) != 0) return -1;
  return mapped[0];
}

void ThrowEscaping() { throw std::runtime_error("nobody catches this"); }

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

/// Runs one crash case: installs the report (reporter from the environment,
/// log in the case folder unless VAULTLINE_CRASH_NO_LOG), notes the address of
/// the crashing function, and crashes. Never returns.
[[noreturn]] void RunCrashChild(const std::string& kind) {
  const char* folder = std::getenv("VAULTLINE_CRASH_DIR");
  const std::string dir = folder != nullptr ? folder : "/tmp";
  InstallCrashReport();
  if (std::getenv("VAULTLINE_CRASH_NO_LOG") == nullptr) SetCrashLogPath(dir + "/program.log");
  const auto note_function = [&dir](const void* function) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIxPTR, reinterpret_cast<std::uintptr_t>(function));
    WriteTextFile(dir + "/function", text);
  };
  if (kind == "read-null") {
    note_function(reinterpret_cast<const void*>(&ReadThroughNull));
    ReadThroughNull();
  } else if (kind == "write-null") {
    note_function(reinterpret_cast<const void*>(&WriteThroughNull));
    WriteThroughNull();
  } else if (kind == "divide") {
    DivideByZero();
  } else if (kind == "stack") {
    Recurse(0);
  } else if (kind == "bus") {
    ReadCutMapping(dir + "/mapped");
  } else if (kind == "illegal") {
    __builtin_trap();
  } else if (kind == "breakpoint") {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("int3");
#endif
  } else if (kind == "throw") {
    ThrowEscaping();
  } else if (kind == "abort") {
    std::abort();
  }
  ::_exit(kChildDidNotCrash);
}

[[maybe_unused]] const bool kCrashChild = [] {
  if (const char* kind = std::getenv("VAULTLINE_CRASH_CHILD")) RunCrashChild(kind);
  return false;
}();

// ---------------------------------------------------------------------------
// Naming and messages.

struct NamedCode {
  std::uint32_t code;
  const char* name;
};

TEST(ExceptionNameTest, NamesEveryCodeOfTheTable) {
  const NamedCode cases[] = {
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
  for (const NamedCode& c : cases) {
    EXPECT_EQ(ExceptionName(c.code), c.name) << std::hex << c.code;
  }
}

TEST(ExceptionNameTest, OtherCodesAreUnknownWithEightHexDigits) {
  const NamedCode cases[] = {
      {0xE06D7363, "Unknown (&HE06D7363)"},  // a C++ exception
      {0x00000001, "Unknown (&H00000001)"}, {0x00000000, "Unknown (&H00000000)"},
      {0x0000ABCD, "Unknown (&H0000ABCD)"}, {0xC0000409, "Unknown (&HC0000409)"},  // the abort code
      {0xC0000007, "Unknown (&HC0000007)"},  // between two known codes
      {0x80000005, "Unknown (&H80000005)"}, {0xFFFFFFFF, "Unknown (&HFFFFFFFF)"},
  };
  for (const NamedCode& c : cases) {
    EXPECT_EQ(ExceptionName(c.code), c.name) << std::hex << c.code;
  }
}

TEST(CrashMessageTest, AccessViolationNamesInstructionAccessAndAddress) {
  struct Case {
    CrashFacts facts;
    const char* message;
  };
  const Case cases[] = {
      {{kAccessViolation, 0x401A2F, 0x0, AccessKind::kRead},
       "Access Violation: The instruction at 0x401A2F attempted to read data at address 0x0"},
      {{kAccessViolation, 0x7FFFDEADBEEF, 0x10, AccessKind::kWrite},
       "Access Violation: The instruction at 0x7FFFDEADBEEF attempted to write data at address "
       "0x10"},
      {{kAccessViolation, 0x0, 0xFFFFFFFFFFFFF000, AccessKind::kRead},
       "Access Violation: The instruction at 0x0 attempted to read data at address "
       "0xFFFFFFFFFFFFF000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CrashMessage(c.facts), c.message);
  }
}

TEST(CrashMessageTest, OtherCodesGiveTheNameAlone) {
  struct Case {
    CrashFacts facts;
    const char* message;
  };
  // The addresses count for access violations only.
  const Case cases[] = {
      {{kStackOverflow, 0x401A2F, 0x7FFC0000, AccessKind::kWrite}, "Stack Overflow"},
      {{kIntegerDivideByZero, 0x401A2F, 0, AccessKind::kRead}, "Integer Divide By Zero"},
      {{kInPageError, 0, 0x7F0000001000, AccessKind::kRead}, "In Page Error"},
      {{kCppException, 0, 0, AccessKind::kRead}, "Unknown (&HE06D7363)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CrashMessage(c.facts), c.message);
  }
}

TEST(CrashMessageTest, FullBufferCutsTheTextAndKeepsItTerminated) {
  const CrashFacts facts{kAccessViolation, 0x1234, 0x0, AccessKind::kWrite};
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(FormatCrashMessage(facts, buffer, 8), 7u);
  EXPECT_STREQ(buffer, "Access ");
  EXPECT_EQ(buffer[8], '#');  // nothing past the capacity

  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(FormatExceptionName(0xE06D7363, buffer, 1), 0u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], '#');

  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(FormatExceptionName(0xE06D7363, buffer, 0), 0u);
  EXPECT_EQ(buffer[0], '#');
}

// ---------------------------------------------------------------------------
// Signals onto codes.

TEST(CrashFactsOfSignalTest, MapsEachSignalAndCause) {
  const StackGuard guard{0x7FFF00000000, 0x7FFF00200000};
  struct Case {
    int signal;
    int code;
    std::uintptr_t address;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {SIGSEGV, SEGV_MAPERR, 0x0, kAccessViolation},
      {SIGSEGV, SEGV_ACCERR, 0x400000, kAccessViolation},
      {SIGSEGV, SEGV_MAPERR, guard.low, kStackOverflow},
      {SIGSEGV, SEGV_MAPERR, guard.high - 1, kStackOverflow},
      {SIGSEGV, SEGV_ACCERR, guard.low + 0x1000, kStackOverflow},
      {SIGSEGV, SEGV_MAPERR, guard.low - 1, kAccessViolation},
      {SIGSEGV, SEGV_MAPERR, guard.high, kAccessViolation},
      {SIGBUS, BUS_ADRALN, 0x1001, 0x80000002},
      {SIGBUS, BUS_ADRERR, 0x7F0000000000, 0xC0000006},
      {SIGBUS, BUS_OBJERR, 0x7F0000000000, 0xC0000006},
      {SIGBUS, SI_USER, 0, 0xC0000006},
      {SIGILL, ILL_ILLOPC, 0, 0xC000001D},
      {SIGILL, ILL_ILLOPN, 0, 0xC000001D},
      {SIGILL, ILL_ILLTRP, 0, 0xC000001D},
      {SIGILL, ILL_PRVOPC, 0, 0xC0000096},
      {SIGILL, ILL_PRVREG, 0, 0xC0000096},
      {SIGFPE, FPE_INTDIV, 0, 0xC0000094},
      {SIGFPE, FPE_INTOVF, 0, 0xC0000095},
      {SIGFPE, FPE_FLTDIV, 0, 0xC000008E},
      {SIGFPE, FPE_FLTOVF, 0, 0xC0000091},
      {SIGFPE, FPE_FLTUND, 0, 0xC0000093},
      {SIGFPE, FPE_FLTRES, 0, 0xC000008F},
      {SIGFPE, FPE_FLTINV, 0, 0xC0000090},
      {SIGFPE, FPE_FLTSUB, 0, 0xC000008C},
      {SIGFPE, SI_TKILL, 0, 0xC0000090},
      {SIGTRAP, TRAP_BRKPT, 0, 0x80000003},
      {SIGTRAP, SI_KERNEL, 0, 0x80000003},  // int3
      {SIGTRAP, TRAP_TRACE, 0, 0x80000004},
      {SIGABRT, SI_TKILL, 0, 0xC0000409},
      {SIGUSR1, SI_USER, 0, 0},
  };
  for (const Case& c : cases) {
    const SignalFacts signal{c.signal, c.code, c.address, 0x401000, AccessKind::kRead};
    EXPECT_EQ(CrashFactsOfSignal(signal, guard).code, c.expected)
        << "signal " << c.signal << " code " << c.code << " address " << std::hex << c.address;
  }
}

TEST(CrashFactsOfSignalTest, AccessViolationKeepsWhatTheFaultSaid) {
  for (const AccessKind access : {AccessKind::kRead, AccessKind::kWrite}) {
    const SignalFacts signal{SIGSEGV, SEGV_MAPERR, 0x18, 0x55550000ABCD, access};
    const CrashFacts facts = CrashFactsOfSignal(signal, StackGuard{});
    EXPECT_EQ(facts.code, kAccessViolation);
    EXPECT_EQ(facts.instruction_address, 0x55550000ABCDu);
    EXPECT_EQ(facts.data_address, 0x18u);
    EXPECT_EQ(facts.access, access);
  }
}

TEST(CrashFactsOfSignalTest, EmptyGuardNeverMeansStackOverflow) {
  const SignalFacts signal{SIGSEGV, SEGV_MAPERR, 0x0, 0x401000, AccessKind::kRead};
  EXPECT_EQ(CrashFactsOfSignal(signal, StackGuard{}).code, kAccessViolation);
}

#if defined(__x86_64__)
TEST(SignalFactsOfTest, ReadsProgramCounterAndPageFaultWriteBit) {
  struct Case {
    int signal;
    greg_t trap;
    greg_t error;
    AccessKind expected;
  };
  const Case cases[] = {
      {SIGSEGV, 14, 0x6, AccessKind::kWrite},  // user-mode write, page not present
      {SIGSEGV, 14, 0x7, AccessKind::kWrite},  // write to a read-only page
      {SIGSEGV, 14, 0x4, AccessKind::kRead},
      {SIGSEGV, 14, 0x15, AccessKind::kRead},  // instruction fetch
      {SIGSEGV, 13, 0x2, AccessKind::kRead},   // general protection: no page-fault code
      {SIGBUS, 14, 0x6, AccessKind::kRead},
  };
  for (const Case& c : cases) {
    siginfo_t info{};
    info.si_signo = c.signal;
    info.si_code = SEGV_MAPERR;
    info.si_addr = reinterpret_cast<void*>(0x28);
    ucontext_t context{};
    context.uc_mcontext.gregs[REG_RIP] = 0x5555DEAD0010;
    context.uc_mcontext.gregs[REG_TRAPNO] = c.trap;
    context.uc_mcontext.gregs[REG_ERR] = c.error;
    const SignalFacts facts = SignalFactsOf(info, &context);
    EXPECT_EQ(facts.signal, c.signal);
    EXPECT_EQ(facts.code, SEGV_MAPERR);
    EXPECT_EQ(facts.address, 0x28u);
    EXPECT_EQ(facts.instruction_address, 0x5555DEAD0010u);
    EXPECT_EQ(facts.access, c.expected) << "trap " << c.trap << " error " << c.error;
  }
}
#endif

TEST(SignalFactsOfTest, WithoutContextOnlyTheSignalInfoCounts) {
  siginfo_t info{};
  info.si_signo = SIGBUS;
  info.si_code = BUS_ADRERR;
  info.si_addr = reinterpret_cast<void*>(0x7F0000001000);
  const SignalFacts facts = SignalFactsOf(info, nullptr);
  EXPECT_EQ(facts.signal, SIGBUS);
  EXPECT_EQ(facts.code, BUS_ADRERR);
  EXPECT_EQ(facts.address, 0x7F0000001000u);
  EXPECT_EQ(facts.instruction_address, 0u);
  EXPECT_EQ(facts.access, AccessKind::kRead);
}

TEST(MainThreadStackGuardTest, KnownOnTheMainThreadOnly) {
  const StackGuard guard = MainThreadStackGuard();
  ASSERT_LT(guard.low, guard.high);
  // The stack in use lies above the guard, which is where it runs out.
  volatile char here = 0;
  EXPECT_GT(reinterpret_cast<std::uintptr_t>(&here), guard.high);

  StackGuard other_thread{1, 2};
  std::thread([&other_thread] { other_thread = MainThreadStackGuard(); }).join();
  EXPECT_EQ(other_thread.low, 0u);
  EXPECT_EQ(other_thread.high, 0u);
}

// ---------------------------------------------------------------------------
// Time stamps.

TEST(LocalTimeAtTest, KnownInstants) {
  struct Case {
    std::int64_t unix_seconds;
    std::int32_t offset;
    const char* stamp;
  };
  const Case cases[] = {
      {0, 0, "1/1/1970 0:00:00"},
      {1709640429, 7200, "5/3/2024 14:07:09"},   // Athens in winter
      {1721012645, 20700, "15/7/2024 8:49:05"},  // an offset of 5:45
      {1709251199, 0, "29/2/2024 23:59:59"},     // a leap day
      {1709251199, 1, "1/3/2024 0:00:00"},
      {951825600, 0, "29/2/2000 12:00:00"},    // a century that leaps
      {4107538800, 3600, "1/3/2100 0:00:00"},  // and one that does not
      {-2203891200, -1, "28/2/1900 23:59:59"},
      {1704070800, -7200, "31/12/2023 23:00:00"},  // back over the new year
      {1704061800, 10800, "1/1/2024 1:30:00"},     // forward over it
      {-1, 0, "31/12/1969 23:59:59"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatLogTime("d/m/yyyy h:nn:ss", LocalTimeAt(c.unix_seconds, c.offset)), c.stamp)
        << c.unix_seconds << " at " << c.offset;
  }
}

TEST(LocalTimeAtTest, AgreesWithTheSystemCalendarOverTwoCenturies) {
  // A step of 37 days and a few hours walks through every month, weekday and
  // hour between 1901 and 2099.
  constexpr std::int64_t kStep = 37 * 86400 + 3 * 3600 + 17 * 60 + 11;
  for (std::int64_t t = -2145916800; t < 4102444800; t += kStep) {
    for (const std::int32_t offset : {0, 7200, -36000, 45 * 60}) {
      const time_t shifted = static_cast<time_t>(t + offset);
      struct tm expected {};
      ASSERT_NE(::gmtime_r(&shifted, &expected), nullptr);
      const LocalTime got = LocalTimeAt(t, offset);
      ASSERT_EQ(got.year, expected.tm_year + 1900) << t;
      ASSERT_EQ(got.month, expected.tm_mon + 1) << t;
      ASSERT_EQ(got.day, expected.tm_mday) << t;
      ASSERT_EQ(got.hour, expected.tm_hour) << t;
      ASSERT_EQ(got.minute, expected.tm_min) << t;
      ASSERT_EQ(got.second, expected.tm_sec) << t;
    }
  }
}

TEST(FormatCrashLogLineTest, WritesTheLogsOwnLineFormat) {
  const LocalTime times[] = {
      {2024, 3, 5, 14, 7, 9, 0},
      {2024, 12, 31, 0, 0, 0, 0},
      {999, 1, 1, 9, 59, 59, 0},
  };
  const std::string text = "Access Violation: The instruction at 0x1 attempted to read data";
  for (const LocalTime& time : times) {
    char buffer[256];
    const std::size_t size = FormatCrashLogLine(time, text, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, size),
              "[" + FormatLogTime("d/m/yyyy h:nn:ss", time) + "]  " + text + "\r\n");
  }
  char buffer[64];
  const std::size_t size =
      FormatCrashLogLine({2024, 3, 5, 14, 7, 9, 0}, "Stack Overflow", buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, size), "[5/3/2024 14:07:09]  Stack Overflow\r\n");
}

// ---------------------------------------------------------------------------
// The reporter program.

/// Sets or clears an environment variable for one scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(CrashReporterPathTest, EnvironmentNamesTheReporter) {
  const ScopedEnvironment reporter("VAULTLINE_CRASH_REPORTER", "/opt/record/report.sh");
  EXPECT_EQ(CrashReporterPath(), "/opt/record/report.sh");
}

TEST(CrashReporterPathTest, OtherwiseTheReporterLiesNextToTheProgram) {
  const std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string expected =
      (std::filesystem::path(program).parent_path() / "vaultline-crash-report").string();
  {
    const ScopedEnvironment reporter("VAULTLINE_CRASH_REPORTER", nullptr);
    EXPECT_EQ(CrashReporterPath(), expected);
  }
  {
    const ScopedEnvironment reporter("VAULTLINE_CRASH_REPORTER", "");
    EXPECT_EQ(CrashReporterPath(), expected);
  }
}

// ---------------------------------------------------------------------------
// Real crashes.

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

/// One crash case: a folder of its own, with the program's log already open
/// (as LogFile leaves it) and a reporter that records how it was called.
class CrashCase {
 public:
  CrashCase() {
    char pattern[] = "/tmp/vaultline-crash-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
      ADD_FAILURE() << "no temporary folder: " << std::strerror(errno);
      return;
    }
    dir_ = pattern;
    WriteTextFile(LogPath(), "");
    reporter_ = dir_ + "/record-report.sh";
    WriteTextFile(reporter_,
                  "#!/bin/sh\n"
                  "{ printf '%s' \"$#\"; for a in \"$@\"; do printf ' <%s>' \"$a\"; done;"
                  " printf '\\n'; } >> '" +
                      CallsPath() + "'\necho >> '" + DonePath() + "'\n");
    EXPECT_EQ(::chmod(reporter_.c_str(), 0700), 0);
  }
  ~CrashCase() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  CrashCase(const CrashCase&) = delete;
  CrashCase& operator=(const CrashCase&) = delete;

  const std::string& Dir() const { return dir_; }
  std::string LogPath() const { return dir_ + "/program.log"; }
  std::string CallsPath() const { return dir_ + "/reporter-calls"; }
  std::string DonePath() const { return dir_ + "/reporter-done"; }

  struct Outcome {
    bool exited = false;  ///< ended within the bound
    int status = 0;       ///< its wait status
    time_t started = 0;   ///< bounds of the crash's time, seconds since 1970
    time_t ended = 0;
  };

  /// Runs `kind` in a fresh copy of this binary and waits (bounded) for its
  /// end. `overrides` ("NAME=value") replace the case's own settings.
  Outcome Run(const std::string& kind, const std::vector<std::string>& overrides = {}) const {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) environment.push_back(*entry);
    // Under the sanitizers the fatal signals must reach the program's handler.
    const std::string sanitizer_options =
        "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0:"
        "allow_user_segv_handler=1:detect_stack_use_after_return=0";
    std::vector<std::string> settings = {
        "VAULTLINE_CRASH_CHILD=" + kind, "VAULTLINE_CRASH_DIR=" + dir_,
        "VAULTLINE_CRASH_REPORTER=" + reporter_,
        // A fixed zone, so that the time stamp's offset is known: 5:30 east.
        "TZ=VLT-5:30", "ASAN_OPTIONS=" + sanitizer_options, "UBSAN_OPTIONS=" + sanitizer_options};
    settings.insert(settings.end(), overrides.begin(), overrides.end());
    for (const std::string& setting : settings) {
      const std::string name = setting.substr(0, setting.find('=') + 1);
      std::erase_if(environment,
                    [&name](const std::string& entry) { return entry.rfind(name, 0) == 0; });
      environment.push_back(setting);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    char program[] = "/proc/self/exe";
    char* argv[] = {program, nullptr};

    Outcome outcome;
    outcome.started = Now();
    const pid_t child = ::fork();
    if (child == 0) {
      // No core files from the cases.
      const struct rlimit no_core { 0, 0 };
      ::setrlimit(RLIMIT_CORE, &no_core);
      ::execve(program, argv, envp.data());
      ::_exit(127);
    }
    if (child < 0) return outcome;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      if (::waitpid(child, &outcome.status, WNOHANG) == child) {
        outcome.exited = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!outcome.exited) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &outcome.status, 0);
    }
    outcome.ended = Now();
    return outcome;
  }

  /// What the reporter recorded, once it has finished (bounded wait), or
  /// nothing when it was not started.
  std::optional<std::string> ReporterCalls() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(DonePath())) {
      if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadFile(CallsPath());
  }

  /// The log holds one line, with `message` and a time stamp of some second
  /// of the child's run in the zone it ran in.
  ::testing::AssertionResult LoggedOnce(const Outcome& outcome, const std::string& message) const {
    const std::string log = ReadFile(LogPath());
    std::string tried;
    for (time_t t = outcome.started; t <= outcome.ended; ++t) {
      const time_t shifted = t + 5 * 3600 + 30 * 60;
      struct tm local {};
      ::gmtime_r(&shifted, &local);
      const LocalTime time{local.tm_year + 1900,
                           local.tm_mon + 1,
                           local.tm_mday,
                           local.tm_hour,
                           local.tm_min,
                           local.tm_sec,
                           0};
      const std::string line =
          "[" + FormatLogTime("d/m/yyyy h:nn:ss", time) + "]  " + message + "\r\n";
      if (log == line) return ::testing::AssertionSuccess();
      tried += line;
    }
    return ::testing::AssertionFailure() << "the log holds\n"
                                         << log << "expected one of\n"
                                         << tried;
  }

  /// The address the child noted for its crashing function.
  std::uintptr_t NotedFunction() const {
    return static_cast<std::uintptr_t>(std::stoull(ReadFile(dir_ + "/function"), nullptr, 16));
  }

 private:
  /// The seconds of the clock the child's time stamp reads (time() may lag it).
  static time_t Now() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
  }

  std::string dir_;
  std::string reporter_;
};

::testing::AssertionResult EndedBy(int status, int signal) {
  if (!WIFSIGNALED(status)) {
    return ::testing::AssertionFailure()
           << "ended without a signal, exit status " << WEXITSTATUS(status);
  }
  if (WTERMSIG(status) != signal) {
    return ::testing::AssertionFailure() << "ended by signal " << WTERMSIG(status);
  }
  return ::testing::AssertionSuccess();
}

TEST(CrashInChildTest, NullReadAndWriteAreAccessViolationsAtTheFaultingInstruction) {
  const struct {
    const char* kind;
    const char* access;
  } cases[] = {{"read-null", "read"}, {"write-null", "write"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    const CrashCase crash;
    const CrashCase::Outcome outcome = crash.Run(c.kind);
    ASSERT_TRUE(outcome.exited);
    EXPECT_TRUE(EndedBy(outcome.status, SIGSEGV));

    const std::optional<std::string> calls = crash.ReporterCalls();
    ASSERT_TRUE(calls.has_value()) << "the reporter was not started";
    const std::regex call("1 <(Access Violation: The instruction at 0x([0-9A-F]+) attempted to " +
                          std::string(c.access) + " data at address 0x0)>\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(*calls, match, call)) << *calls;
    EXPECT_TRUE(crash.LoggedOnce(outcome, match[1].str()));

    // The instruction lies inside the small function that made the access.
    const std::uintptr_t instruction = std::stoull(match[2].str(), nullptr, 16);
    const std::uintptr_t function = crash.NotedFunction();
    EXPECT_GE(instruction, function);
    EXPECT_LT(instruction, function + 64);
  }
}

TEST(CrashInChildTest, EachCrashIsNamedAndEndsByItsSignal) {
  const struct {
    const char* kind;
    int signal;
    const char* message;
  } cases[] = {
#if defined(__x86_64__) || defined(__i386__)
    // Other processors give a value for an integer division by zero, and
    // the breakpoint instruction is this processor's.
    {"divide", SIGFPE, "Integer Divide By Zero"},
    {"breakpoint", SIGTRAP, "Breakpoint"},
#endif
    {"stack", SIGSEGV, "Stack Overflow"},
    {"bus", SIGBUS, "In Page Error"},
    {"illegal", SIGILL, "Illegal Instruction"},
    {"throw", SIGABRT, "Unknown (&HE06D7363)"},
    {"abort", SIGABRT, "Unknown (&HC0000409)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    const CrashCase crash;
    const CrashCase::Outcome outcome = crash.Run(c.kind);
    ASSERT_TRUE(outcome.exited);
    EXPECT_TRUE(EndedBy(outcome.status, c.signal));
    EXPECT_TRUE(crash.LoggedOnce(outcome, c.message));
    EXPECT_EQ(crash.ReporterCalls(), "1 <" + std::string(c.message) + ">\n");
  }
}

TEST(CrashInChildTest, WithoutALogTheReporterStillShowsTheCrash) {
  const CrashCase crash;
  const CrashCase::Outcome outcome = crash.Run("abort", {"VAULTLINE_CRASH_NO_LOG=1"});
  ASSERT_TRUE(outcome.exited);
  EXPECT_TRUE(EndedBy(outcome.status, SIGABRT));
  EXPECT_EQ(crash.ReporterCalls(), "1 <Unknown (&HC0000409)>\n");
  EXPECT_EQ(ReadFile(crash.LogPath()), "");
}

TEST(CrashInChildTest, AMissingReporterStillLeavesTheLogLineAndTheSignal) {
  const CrashCase crash;
  const CrashCase::Outcome outcome =
      crash.Run("write-null", {"VAULTLINE_CRASH_REPORTER=" + crash.Dir() + "/no-such-reporter"});
  ASSERT_TRUE(outcome.exited);
  EXPECT_TRUE(EndedBy(outcome.status, SIGSEGV));
  const std::string log = ReadFile(crash.LogPath());
  EXPECT_TRUE(log.ends_with(" attempted to write data at address 0x0\r\n")) << log;
  EXPECT_FALSE(std::filesystem::exists(crash.CallsPath()));
}

}  // namespace
}  // namespace app
