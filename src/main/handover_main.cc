// vaultline-handover ID [PASSWORD|-] [-- ARGUMENT...]: starts Vaultline_N1
// logged in as ID. For integrators: it fills the auto-connect hand-over
// record the main window takes at load, starts the program, waits for it and
// removes the record, so no password stays behind in /dev/shm. Without a
// PASSWORD, or with "-", the password is the first line of standard input.
//
// The program is $VAULTLINE_PROGRAM when set, else Vaultline_N1 next to this
// tool. The tool ends with the program's exit code (128 + the signal when a
// signal ended it), 2 for bad usage and 1 when the record cannot be made or
// the program cannot be started. Termination signals the tool receives are
// passed on to the program, and the tool ends only when the program has.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/handover_record.h"
#include "app/shared_memory.h"
#include "support/codepage.h"
#include "support/error.h"

extern char** environ;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kUsage =
    "usage: vaultline-handover ID [PASSWORD|-] [-- ARGUMENT...]\n"
    "  Starts Vaultline_N1 (or $VAULTLINE_PROGRAM) logged in as ID, passing it the\n"
    "  ARGUMENTs. Without PASSWORD, or with \"-\", the password is read from the\n"
    "  first line of standard input.\n";

volatile sig_atomic_t g_child = 0;
volatile sig_atomic_t g_signal = 0;

void PassOn(int signal_number) {
  g_signal = signal_number;
  const pid_t child = g_child;
  if (child > 0) ::kill(child, signal_number);
}

/// Catches the termination signals so that the record is removed however the
/// program is stopped. A signal the caller ignores (nohup) stays ignored, and
/// so the program inherits it ignored.
void PassOnTerminationSignals() {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (::sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = PassOn;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_number, &action, nullptr);
  }
}

std::string ProgramPath() {
  const char* program = std::getenv("VAULTLINE_PROGRAM");
  if (program != nullptr && program[0] != '\0') return program;
  std::string self(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= self.size()) return {};
  self.resize(static_cast<std::size_t>(length));
  return self.substr(0, self.rfind('/') + 1) + "Vaultline_N1";
}

std::string ReadPasswordLine() {
  std::string line;
  std::getline(std::cin, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return line;
}

void WarnIfCut(const std::string& text, std::size_t units, const char* what) {
  if (support::Utf8ToUtf16(text).size() > units) {
    std::fprintf(stderr,
                 "vaultline-handover: warning: the %s is cut to its first %zu UTF-16 units\n", what,
                 units);
  }
}

/// Starts the program and waits for it; its exit code, or -1 when it did not
/// start (the reason is on stderr).
int RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
  // Stopped before there was anything to start.
  if (g_signal != 0) return 128 + g_signal;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  const int rc = ::posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    std::fprintf(stderr, "vaultline-handover: cannot start %s: %s\n", program.c_str(),
                 std::strerror(rc));
    return -1;
  }
  g_child = child;
  // A signal that came while the program was being started is passed on now.
  if (g_signal != 0) ::kill(child, g_signal);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno == EINTR) continue;
    std::fprintf(stderr, "vaultline-handover: cannot wait for %s: %s\n", program.c_str(),
                 std::strerror(errno));
    return kExitFailure;
  }
  g_child = 0;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return kExitFailure;
}

int Run(int argc, char** argv) {
  std::vector<std::string> positional;
  std::vector<std::string> passed;
  bool after_separator = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!after_separator && argument == "--") {
      after_separator = true;
    } else {
      (after_separator ? passed : positional).push_back(argument);
    }
  }
  if (positional.size() == 1 && (positional[0] == "-h" || positional[0] == "--help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (positional.empty() || positional.size() > 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const std::string& user_id = positional[0];
  if (user_id.find_first_not_of(' ') == std::string::npos) {
    // The main window ignores a record whose user ID is blank.
    std::fprintf(stderr, "vaultline-handover: the user ID is empty\n%s", kUsage);
    return kExitUsage;
  }
  const std::string password =
      positional.size() == 2 && positional[1] != "-" ? positional[1] : ReadPasswordLine();
  WarnIfCut(user_id, app::kHandoverUserIdUnits, "user ID");
  WarnIfCut(password, app::kHandoverPasswordUnits, "password");

  const std::string program = ProgramPath();
  if (program.empty()) {
    std::fputs("vaultline-handover: cannot find the folder of this program\n", stderr);
    return kExitFailure;
  }

  PassOnTerminationSignals();
  app::SharedMemory record;
  if (!record.Create(app::kHandoverRecordName, app::kHandoverRecordSize)) {
    std::fprintf(stderr, "vaultline-handover: cannot create the hand-over record /dev/shm%s: %s\n",
                 app::SharedMemory::PosixName(app::kHandoverRecordName, false).c_str(),
                 std::strerror(record.LastError()));
    return kExitFailure;
  }
  const std::string bytes = app::EncodeHandoverRecord(user_id, password);
  record.SetData(bytes.data(), bytes.size(), 0);

  const int code = RunProgram(program, passed);
  record.Destroy();
  return code < 0 ? kExitFailure : code;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const support::Error& error) {
    std::fprintf(stderr, "vaultline-handover: %s (%s, error %d)\n", error.Description().c_str(),
                 error.Source().c_str(), static_cast<int>(error.Number()));
    return kExitFailure;
  }
}
