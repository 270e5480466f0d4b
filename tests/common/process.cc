#include "common/process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace test_common {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> out;
  for (auto& w : words) out.push_back(w.data());
  out.push_back(nullptr);
  return out;
}

/// Waits for `pid` until `deadline`; kills it after that. Answers its exit code, or -1.
int Reap(int pid, Clock::time_point deadline) {
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    ::usleep(2000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ProcessResult RunProcess(const std::string& binary, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         std::chrono::milliseconds timeout) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return {};
  std::vector<std::string> argv_words = {binary};
  argv_words.insert(argv_words.end(), args.begin(), args.end());
  const int pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    auto argv = Pointers(argv_words);
    ::execv(binary.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  ProcessResult result;
  const auto deadline = Clock::now() + timeout;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open_pipes = 2;
  while (open_pipes > 0 && Clock::now() < deadline) {
    if (::poll(fds, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_pipes;
        continue;
      }
      (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
    }
  }
  for (auto& f : fds) {
    if (f.fd >= 0) ::close(f.fd);
  }
  result.exit_code = Reap(pid, deadline);
  return result;
}

DemoServer::DemoServer() {
  char pattern[] = "/tmp/vaultline-server-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  if (made == nullptr) throw std::runtime_error("cannot make a temporary folder in /tmp");
  root_ = made;
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  std::vector<std::string> argv_words = {
      VAULTLINE_SERVER_BINARY, "--data", (root_ / "data").string(), "--demo", "--port", "0",
      "--http-port",           "0"};
  pid_ = ::fork();
  if (pid_ == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(out[1], 1);
    ::dup2(null, 2);
    auto argv = Pointers(argv_words);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  const std::regex port_line("(^|\\n)port=(\\d+)\\n");
  const std::regex http_line("http_port=(\\d+)\\n");
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  std::smatch m;
  while (Clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[512];
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (std::regex_search(text, m, http_line)) {
      http_port_ = std::stoi(m[1]);
      if (std::regex_search(text, m, port_line)) port_ = std::stoi(m[2]);
      break;
    }
  }
  ::close(out[0]);
}

DemoServer::~DemoServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    if (Reap(pid_, Clock::now() + std::chrono::seconds(5)) < 0) {
      // Reap has killed it already.
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

TempDir::TempDir() {
  char pattern[] = "/tmp/vaultline-test-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  // A test must not go on to write into the working folder.
  if (made == nullptr) throw std::runtime_error("cannot make a temporary folder in /tmp");
  path_ = made;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

RefusingPort::RefusingPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port_ = ntohs(address.sin_port);
  }
}

RefusingPort::~RefusingPort() {
  if (fd_ >= 0) ::close(fd_);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

void WriteProgram(const std::filesystem::path& path, const std::string& script) {
  WriteFile(path, script);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out(size, '\0');
  for (auto& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

}  // namespace test_common
