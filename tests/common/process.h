#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace test_common {

/// What a finished program left behind.
struct ProcessResult {
  int exit_code = -1;  ///< -1 when it did not exit by itself (killed at the time limit)
  std::string out;
  std::string err;
};

/// Runs `binary` with `args` and extra environment variables, stdin from
/// /dev/null, and collects its output. A program still running after
/// `timeout` is killed.
ProcessResult RunProcess(const std::string& binary, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         std::chrono::milliseconds timeout = std::chrono::seconds(60));

/// vaultline-server --demo on a fresh data folder, ports chosen by the system;
/// stopped (SIGTERM, then SIGKILL) by the destructor.
class DemoServer {
 public:
  DemoServer();
  ~DemoServer();
  DemoServer(const DemoServer&) = delete;
  DemoServer& operator=(const DemoServer&) = delete;

  bool Started() const { return port_ > 0 && http_port_ > 0; }
  int Port() const { return port_; }
  int HttpPort() const { return http_port_; }
  const std::filesystem::path& Root() const { return root_; }
  /// The demo user's personal folder on the server's disk.
  std::filesystem::path UserFolder() const { return root_ / "data" / "users" / "demo"; }

 private:
  std::filesystem::path root_;
  int pid_ = -1;
  int port_ = 0;
  int http_port_ = 0;
};

/// A fresh temporary folder, removed by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// A loopback port that refuses connections while the object lives: bound
/// and never listening, so no other socket can take it, not even as the source
/// port of a connect (a port merely released can come back as one, and a
/// socket connected to itself never fails).
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = -1;
};

/// The bytes of a file ("" when it cannot be read).
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
/// Writes `script` to `path` as a program only its owner may run.
void WriteProgram(const std::filesystem::path& path, const std::string& script);
/// `size` pseudo-random bytes from `seed`.
std::string RandomBytes(std::size_t size, unsigned seed);

}  // namespace test_common
