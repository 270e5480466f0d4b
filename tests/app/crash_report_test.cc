// The program log and the crash report: the log's lines, files and time stamps, the names and
// messages of crashes, and real crashes in a fresh copy of this binary that log and report.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>

#include "app/crash_report.h"
#include "app/log_file.h"
#include "app/logger.h"
#include "app/scoped_env.h"
#include "common/expect_error.h"
#include "common/process.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using test_common::ReadFile;

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
    test_common::WriteFile(dir + "/function", text);
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

TEST(CrashMessageTest, NamesTheCodeAndForAnAccessViolationTheAccess) {
  const struct {
    CrashFacts facts;
    const char* message;
  } cases[] = {
      {{kAccessViolation, 0x401A2F, 0x0, AccessKind::kRead},
       "Access Violation: The instruction at 0x401A2F attempted to read data at address 0x0"},
      {{kAccessViolation, 0x7FFFDEADBEEF, 0x10, AccessKind::kWrite},
       "Access Violation: The instruction at 0x7FFFDEADBEEF attempted to write data at address "
       "0x10"},
      {{kAccessViolation, 0x0, 0xFFFFFFFFFFFFF000, AccessKind::kRead},
       "Access Violation: The instruction at 0x0 attempted to read data at address "
       "0xFFFFFFFFFFFFF000"},
      // The addresses count for access violations only.
      {{kStackOverflow, 0x401A2F, 0x7FFC0000, AccessKind::kWrite}, "Stack Overflow"},
      {{kInPageError, 0, 0x7F0000001000, AccessKind::kRead}, "In Page Error"},
      // Codes outside the table: eight hexadecimal digits.
      {{kCppException, 0, 0, AccessKind::kRead}, "Unknown (&HE06D7363)"},
      {{0x0, 0, 0, AccessKind::kRead}, "Unknown (&H00000000)"},
      {{0xC0000007, 0, 0, AccessKind::kRead}, "Unknown (&HC0000007)"},  // between two known codes
      {{0xFFFFFFFF, 0, 0, AccessKind::kRead}, "Unknown (&HFFFFFFFF)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CrashMessage(c.facts), c.message);
    if (c.facts.code != kAccessViolation) {
      EXPECT_EQ(ExceptionName(c.facts.code), c.message);
    }
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
  EXPECT_EQ(std::string(buffer, 2), std::string("\0#", 2));
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(FormatExceptionName(0xE06D7363, buffer, 0), 0u);
  EXPECT_EQ(buffer[0], '#');
}

// ---------------------------------------------------------------------------
// Signals onto codes.

TEST(CrashFactsOfSignalTest, MapsEachSignalAndCause) {
  const StackGuard guard{0x7FFF00000000, 0x7FFF00200000};
  const struct {
    int signal;
    std::vector<int> codes;
    std::uintptr_t address;
    std::uint32_t expected;
  } cases[] = {
      {SIGSEGV, {SEGV_MAPERR, SEGV_ACCERR}, 0x0, kAccessViolation},
      {SIGSEGV, {SEGV_MAPERR, SEGV_ACCERR}, guard.low, kStackOverflow},
      {SIGSEGV, {SEGV_MAPERR}, guard.high - 1, kStackOverflow},
      {SIGSEGV, {SEGV_MAPERR}, guard.low - 1, kAccessViolation},
      {SIGSEGV, {SEGV_MAPERR}, guard.high, kAccessViolation},
      {SIGBUS, {BUS_ADRALN}, 0x1001, kDatatypeMisalignment},
      {SIGBUS, {BUS_ADRERR, BUS_OBJERR, SI_USER}, 0x7F0000000000, kInPageError},
      {SIGILL, {ILL_ILLOPC, ILL_ILLOPN, ILL_ILLTRP}, 0, kIllegalInstruction},
      {SIGILL, {ILL_PRVOPC, ILL_PRVREG}, 0, kPrivilegedInstruction},
      {SIGFPE, {FPE_INTDIV}, 0, kIntegerDivideByZero},
      {SIGFPE, {FPE_INTOVF}, 0, kIntegerOverflow},
      {SIGFPE, {FPE_FLTDIV}, 0, kFloatDivideByZero},
      {SIGFPE, {FPE_FLTOVF}, 0, kFloatOverflow},
      {SIGFPE, {FPE_FLTUND}, 0, kFloatUnderflow},
      {SIGFPE, {FPE_FLTRES}, 0, kFloatInexactResult},
      {SIGFPE, {FPE_FLTINV, SI_TKILL}, 0, kFloatInvalidOperation},
      {SIGFPE, {FPE_FLTSUB}, 0, kArrayBoundsExceeded},
      {SIGTRAP, {TRAP_BRKPT, SI_KERNEL}, 0, kBreakpoint},  // SI_KERNEL: int3
      {SIGTRAP, {TRAP_TRACE}, 0, kSingleStep},
      {SIGABRT, {SI_TKILL}, 0, kFatalAppExit},
      {SIGUSR1, {SI_USER}, 0, 0},
  };
  for (const auto& c : cases) {
    for (const int code : c.codes) {
      const SignalFacts signal{c.signal, code, c.address, 0x401000, AccessKind::kRead};
      EXPECT_EQ(CrashFactsOfSignal(signal, guard).code, c.expected)
          << "signal " << c.signal << " code " << code << " address " << std::hex << c.address;
    }
  }
  // An access violation keeps what the fault said; an empty guard never means
  // a stack overflow.
  EXPECT_EQ(
      CrashMessage(
          CrashFactsOfSignal({SIGSEGV, SEGV_MAPERR, 0x18, 0x5555ABCD, AccessKind::kWrite}, {})),
      "Access Violation: The instruction at 0x5555ABCD attempted to write data at address 0x18");
  EXPECT_EQ(CrashMessage(CrashFactsOfSignal({SIGSEGV, SEGV_ACCERR, 0, 0x1, AccessKind::kRead}, {})),
            "Access Violation: The instruction at 0x1 attempted to read data at address 0x0");
}

TEST(SignalFactsOfTest, ReadsTheSignalInfoAndOnX86TheProgramCounterAndPageFaultWriteBit) {
  siginfo_t info{};
  info.si_signo = SIGBUS;
  info.si_code = BUS_ADRERR;
  info.si_addr = reinterpret_cast<void*>(0x7F0000001000);
  const SignalFacts bare = SignalFactsOf(info, nullptr);
  EXPECT_EQ(std::tuple(bare.signal, bare.code, bare.address, bare.instruction_address),
            std::tuple(SIGBUS, BUS_ADRERR, std::uintptr_t{0x7F0000001000}, std::uintptr_t{0}));
  EXPECT_EQ(bare.access, AccessKind::kRead);
#if defined(__x86_64__)
  const struct {
    int signal;
    greg_t trap;
    greg_t error;
    AccessKind expected;
  } cases[] = {
      {SIGSEGV, 14, 0x6, AccessKind::kWrite},  // user-mode write, page not present
      {SIGSEGV, 14, 0x7, AccessKind::kWrite},  // write to a read-only page
      {SIGSEGV, 14, 0x4, AccessKind::kRead},
      {SIGSEGV, 14, 0x15, AccessKind::kRead},  // instruction fetch
      {SIGSEGV, 13, 0x2, AccessKind::kRead},   // general protection: no page-fault code
      {SIGBUS, 14, 0x6, AccessKind::kRead},
  };
  for (const auto& c : cases) {
    info.si_signo = c.signal;
    ucontext_t context{};
    context.uc_mcontext.gregs[REG_RIP] = 0x5555DEAD0010;
    context.uc_mcontext.gregs[REG_TRAPNO] = c.trap;
    context.uc_mcontext.gregs[REG_ERR] = c.error;
    const SignalFacts facts = SignalFactsOf(info, &context);
    EXPECT_EQ(facts.address, 0x7F0000001000u);
    EXPECT_EQ(facts.instruction_address, 0x5555DEAD0010u);
    EXPECT_EQ(facts.access, c.expected) << "trap " << c.trap << " error " << c.error;
  }
#endif
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
  const struct {
    std::int64_t unix_seconds;
    std::int32_t offset;
    const char* stamp;
  } cases[] = {
      {1709640429, 7200, "5/3/2024 14:07:09"},  // Athens in winter
      {1709251199, 1, "1/3/2024 0:00:00"},      // the second after a leap day
      // Outside the span the next test walks: a century that does not leap.
      {4107538800, 3600, "1/3/2100 0:00:00"},
      {-2203891200, -1, "28/2/1900 23:59:59"},
      {-1, 0, "31/12/1969 23:59:59"},
  };
  for (const auto& c : cases) {
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
      struct tm e {};
      ASSERT_NE(::gmtime_r(&shifted, &e), nullptr);
      const LocalTime got = LocalTimeAt(t, offset);
      ASSERT_EQ(
          std::vector({got.year, got.month, got.day, got.hour, got.minute, got.second}),
          std::vector({e.tm_year + 1900, e.tm_mon + 1, e.tm_mday, e.tm_hour, e.tm_min, e.tm_sec}))
          << t << " at " << offset;
    }
  }
}

TEST(FormatCrashLogLineTest, WritesTheLogsOwnLineFormatAndStopsAtTheCapacity) {
  char buffer[64];
  const auto line = [&](const LocalTime& time, std::size_t capacity) {
    return std::string(buffer, FormatCrashLogLine(time, "Stack Overflow", buffer, capacity));
  };
  EXPECT_EQ(line({2024, 3, 5, 14, 7, 9, 0}, 64), "[5/3/2024 14:07:09]  Stack Overflow\r\n");
  EXPECT_EQ(line({999, 12, 31, 0, 0, 0, 0}, 64), "[31/12/0999 0:00:00]  Stack Overflow\r\n");
  EXPECT_EQ(line({2024, 3, 5, 14, 7, 9, 0}, 8), "[5/3/20");
}

TEST(CrashReporterPathTest, TheEnvironmentOrElseNextToTheProgram) {
  ScopedEnv reporter("VAULTLINE_CRASH_REPORTER", "/opt/record/report.sh");
  EXPECT_EQ(CrashReporterPath(), "/opt/record/report.sh");
  const std::string beside =
      (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "vaultline-crash-report")
          .string();
  reporter.Set("");
  EXPECT_EQ(CrashReporterPath(), beside);
  reporter.Set(nullptr);
  EXPECT_EQ(CrashReporterPath(), beside);
}

// ---------------------------------------------------------------------------
// Real crashes.

/// One crash case: a folder of its own, with the program's log already open
/// (as LogFile leaves it) and a reporter that records how it was called.
class CrashCase {
 public:
  CrashCase() {
    test_common::WriteFile(Path("program.log"), "");
    test_common::WriteProgram(Path("report.sh"),
                              "#!/bin/sh\n{ printf '%s' \"$#\"; for a in \"$@\"; do printf ' <%s>' "
                              "\"$a\"; done; printf '\\n'; } >> \"$0.calls\"\n");
  }
  std::string Path(const std::string& name) const { return (dir_.Path() / name).string(); }

  /// Runs `kind` in a fresh copy of this binary, with `env` over the case's
  /// own settings; the signal that ended it (0 for none).
  int Run(const std::string& kind, std::map<std::string, std::string> env = {}) {
    // Under the sanitizers the fatal signals must reach the program's handler.
    const std::string sanitizer =
        "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0:"
        "allow_user_segv_handler=1:detect_stack_use_after_return=0";
    // A fixed zone, so that the time stamp's offset is known: 5:30 east.
    env.insert({{"VAULTLINE_CRASH_CHILD", kind},
                {"VAULTLINE_CRASH_DIR", dir_.Path().string()},
                {"VAULTLINE_CRASH_REPORTER", Path("report.sh")},
                {"TZ", "VLT-5:30"},
                {"ASAN_OPTIONS", sanitizer},
                {"UBSAN_OPTIONS", sanitizer}});
    started_ = Now();
    // No core files; the shell tells how the copy ended. RunProcess returns
    // once every holder of its output is gone, the reporter included.
    const auto r = test_common::RunProcess(
        "/bin/sh",
        {"-c", "ulimit -c 0; \"$0\"; echo $?", std::filesystem::read_symlink("/proc/self/exe")},
        env);
    ended_ = Now();
    const int status = std::atoi(r.out.c_str());
    return status > 128 ? status - 128 : 0;
  }

  /// How the reporter was called ("" when it was not).
  std::string ReporterCalls() const { return test_common::ReadFile(Path("report.sh.calls")); }
  std::string Log() const { return test_common::ReadFile(Path("program.log")); }

  /// The log holds one line, with `message` and a time stamp of some second
  /// of the last run in the zone it ran in.
  ::testing::AssertionResult LoggedOnce(const std::string& message) const {
    const std::string log = Log();
    std::string tried;
    for (time_t t = started_; t <= ended_; ++t) {
      const std::string line =
          "[" + FormatLogTime("d/m/yyyy h:nn:ss", LocalTimeAt(t, 5 * 3600 + 30 * 60)) + "]  " +
          message;
      if (log == line + "\r\n") return ::testing::AssertionSuccess();
      tried += line + "\n";
    }
    return ::testing::AssertionFailure() << "the log holds\n"
                                         << log << "expected one of\n"
                                         << tried;
  }

 private:
  /// The seconds of the clock the child's time stamp reads (time() may lag it).
  static time_t Now() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
  }

  test_common::TempDir dir_;
  time_t started_ = 0;
  time_t ended_ = 0;
};

TEST(CrashInChildTest, NullReadAndWriteAreAccessViolationsAtTheFaultingInstruction) {
  for (const std::string access : {"read", "write"}) {
    SCOPED_TRACE(access);
    CrashCase crash;
    EXPECT_EQ(crash.Run(access + "-null"), SIGSEGV);
    const std::regex call("1 <(Access Violation: The instruction at 0x([0-9A-F]+) attempted to " +
                          access + " data at address 0x0)>\n");
    std::smatch match;
    const std::string calls = crash.ReporterCalls();
    ASSERT_TRUE(std::regex_match(calls, match, call)) << calls;
    EXPECT_TRUE(crash.LoggedOnce(match[1].str()));
    // The instruction lies inside the small function that made the access.
    const auto instruction = std::stoull(match[2].str(), nullptr, 16);
    const auto function = std::stoull(test_common::ReadFile(crash.Path("function")), nullptr, 16);
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
    CrashCase crash;
    EXPECT_EQ(crash.Run(c.kind), c.signal);
    EXPECT_TRUE(crash.LoggedOnce(c.message));
    EXPECT_EQ(crash.ReporterCalls(), "1 <" + std::string(c.message) + ">\n");
  }
}

TEST(CrashInChildTest, WithoutALogOrWithoutAReporterTheOtherStillTellsAndTheSignalEnds) {
  CrashCase no_log;
  EXPECT_EQ(no_log.Run("abort", {{"VAULTLINE_CRASH_NO_LOG", "1"}}), SIGABRT);
  EXPECT_EQ(no_log.ReporterCalls(), "1 <Unknown (&HC0000409)>\n");
  EXPECT_EQ(no_log.Log(), "");
  CrashCase no_reporter;
  EXPECT_EQ(no_reporter.Run("write-null", {{"VAULTLINE_CRASH_REPORTER", no_reporter.Path("none")}}),
            SIGSEGV);
  EXPECT_TRUE(no_reporter.Log().ends_with(" attempted to write data at address 0x0\r\n"))
      << no_reporter.Log();
  EXPECT_EQ(no_reporter.ReporterCalls(), "");
}

const LocalTime kFiveMarch{2024, 3, 5, 14, 7, 9, 42};

class LogTest : public ::testing::Test {
 protected:
  /// Opens `path` to append to it, or without one the test's log, emptied.
  std::unique_ptr<LogFile> OpenLog(const std::string& path = {}) {
    auto log = std::make_unique<LogFile>([this] { return now_; });
    log->OpenLogFile(path.empty() ? path_ : path, path.empty());
    return log;
  }
  std::string Written() const { return ReadFile(path_); }

  test_common::TempDir dir_;
  const std::string path_ = (dir_.Path() / "test.log").string();
  LocalTime now_ = kFiveMarch;
};

TEST_F(LogTest, DefaultLineHasBracketedStampTwoSpacesAndCrLfInCodePage1253) {
  auto log = OpenLog();
  log->AppendLog("Κλείσιμο εφαρμογής.\r\nΤέλος");  // one stamp for both lines
  log->AppendLog("plain", false);
  EXPECT_EQ(Written(),
            "[5/3/2024 14:07:09]  \xCA\xEB\xE5\xDF\xF3\xE9\xEC\xEF \xE5\xF6\xE1\xF1\xEC\xEF\xE3\xDE"
            "\xF2.\r\n\xD4\xDD\xEB\xEF\xF2\r\nplain\r\n");
}

TEST_F(LogTest, MillisecondsAndCustomSurroundings) {
  auto log = OpenLog();
  log->SetShowMilliseconds(true);
  log->SetStringBeforeDateTime("<");
  log->SetStringAfterDateTime(">");
  log->SetSpacesAfterDateTime(1);
  log->SetDateTimeFormat("dd/mm/yy hh:nn:ss");
  now_.hour = 4;
  log->AppendLog("x");
  EXPECT_EQ(Written(), "<05/03/24 04:07:09.042> x\r\n");
  EXPECT_EQ(FormatLogTime("[d] at x", kFiveMarch), "[5] at x") << "other letters are text";
}

TEST_F(LogTest, OverwriteEmptiesAppendKeepsAndNothingIsWrittenBeforeOpening) {
  LogFile closed([this] { return now_; });
  closed.AppendLog("lost");
  EXPECT_EQ(closed.Size(), 0);
  EXPECT_FALSE(fs::exists(path_));
  test_common::WriteFile(path_, "old run\r\n");
  auto log = OpenLog();
  EXPECT_TRUE(log->NewFile());
  log->AppendLog("new", false);
  log->OpenLogFile(path_ + ".other", true);  // already open: nothing changes
  EXPECT_EQ(log->CurrentFile(), path_);
  log->CloseLogFile();
  auto again = OpenLog(path_);
  again->AppendLog("more", false);
  EXPECT_EQ(again->Size(), 11);
  EXPECT_FALSE(again->NewFile());
  EXPECT_EQ(Written(), "new\r\nmore\r\n");
}

TEST_F(LogTest, WriteErrorsReachTheCallerButALoggerLosesOnlyTheLine) {
  test_common::ExpectError(8612, [&] { OpenLog("/dev/full")->AppendLog("x"); });
  Logger logger(OpenLog("/dev/full"));
  bool shown = false;
  logger.SetErrorBox([&](const std::string&) { shown = true; });
  EXPECT_NO_THROW(logger.WriteLog("x"));
  EXPECT_NO_THROW(logger.ShowError("m", "s"));
  EXPECT_TRUE(shown);
}

TEST_F(LogTest, DebugLinesNeedTheirLevel) {
  Logger logger(OpenLog());
  logger.WriteLog("hidden", "frmPF_Load", 2);
  logger.SetDebugLevel(2);
  logger.WriteLog("shown", "frmPF_Load", 2);
  logger.WriteLog("level one", "smClient_DataArrival", 1);
  logger.SetDebugLevel(0);
  logger.WriteLog("plain line");
  EXPECT_EQ(Written(),
            "[5/3/2024 14:07:09]  DEBUG: frmPF_Load->shown\r\n"
            "[5/3/2024 14:07:09]  DEBUG: smClient_DataArrival->level one\r\n"
            "[5/3/2024 14:07:09]  plain line\r\n");
}

TEST_F(LogTest, ShowErrorLogsAndShowsTheSameTextAlsoWithLoggingOff) {
  for (const bool logging : {true, false}) {
    Logger logger = logging ? Logger(OpenLog()) : Logger();
    std::string shown;
    logger.SetErrorBox([&](const std::string& text) { shown = text; });
    logger.ShowError("Access is denied.", "File:OpenFile");
    logger.WriteLog("x");
    EXPECT_EQ(shown, "[File:OpenFile] Σφάλμα: Access is denied.");
  }
  EXPECT_EQ(Written(),
            "[5/3/2024 14:07:09]  [File:OpenFile] \xD3\xF6\xDC\xEB\xEC\xE1: Access is denied.\r\n"
            "[5/3/2024 14:07:09]  x\r\n")
      << "nothing more after logging was turned off";
}

TEST_F(LogTest, ProgramLogIsNamedAfterTheStartInTheProgramFolderOrElseTheStateDirectory) {
  const auto file = [](std::unique_ptr<LogFile> log) {
    return log ? log->CurrentFile() : std::string("no log");
  };
  EXPECT_EQ(file(OpenProgramLog(dir_.Path().string(), kFiveMarch)),
            (dir_.Path() / "20240305140709.log").string());
  EXPECT_TRUE(fs::exists(dir_.Path() / "20240305140709.log"));
  const std::string state = (dir_.Path() / "state").string();
  ScopedEnv state_home("XDG_STATE_HOME", state.c_str());
  const std::string nowhere = (dir_.Path() / "no" / "such" / "folder").string();
  EXPECT_EQ(file(OpenProgramLog(nowhere, kFiveMarch)), state + "/vaultline/20240305140709.log");
  // No place at all: the program runs on without a file.
  fs::remove_all(state);
  test_common::WriteFile(state, "a file, not a directory");
  EXPECT_EQ(file(OpenProgramLog(nowhere, kFiveMarch)), "no log");
  Logger logger(nullptr);
  EXPECT_NO_THROW(logger.WriteLog("x"));
}

}  // namespace
}  // namespace app
