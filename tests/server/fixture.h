#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/process.h"
#include "server/server_context.h"
#include "session/protocol.h"

namespace server::testing {

/// How a test reaches the server: sessions driven in memory through a fake
/// transport, or the real server on an event loop over loopback TCP.
enum class Mode { kMemory, kLoopback };
inline void PrintTo(Mode mode, std::ostream* out) {
  *out << (mode == Mode::kMemory ? "memory" : "loopback");
}

/// One client connection speaking raw bytes.
class TestClient {
 public:
  virtual ~TestClient() = default;
  virtual void Send(std::string_view bytes) = 0;
  /// Up to `count` bytes: fewer only when none came within the time limit or
  /// the connection closed.
  virtual std::string ReadBytes(std::size_t count) = 0;
  /// True once the server has closed the connection (waits a bounded time).
  virtual bool WaitClosed() = 0;
  /// Closes the client's end.
  virtual void Disconnect() = 0;

  /// The next frame's payload, or "<none>" when no complete frame came.
  std::string ReadFrame();
};

/// A running server over one data folder and one context.
class TestServer {
 public:
  virtual ~TestServer() = default;
  virtual std::unique_ptr<TestClient> Connect() = 0;
  /// Makes every session look idle for `seconds` longer (memory mode); over
  /// loopback the real clock runs and the client's read waits for it.
  virtual void LetTimePass(std::chrono::seconds seconds) = 0;
  /// Runs `fn` on the server's thread, between events.
  virtual void Inspect(const std::function<void(ServerContext&)>& fn) = 0;
  /// The listening port on 127.0.0.1 (loopback mode), else -1.
  virtual int Port() const { return -1; }
};

/// A raw TCP client of 127.0.0.1:`port`.
std::unique_ptr<TestClient> ConnectTcp(int port);

/// The scrambled log-in field of a password, as the client makes it.
std::string Scrambled(std::string_view password);
/// FrameMessage of a UTF-8 payload after conversion to Windows-1253.
std::string Framed(std::string_view utf8_payload);

using test_common::ReadFile;

/// A data folder with four users, a link and a little content, and a server
/// over it started on first use. Parameterised by how the server is reached.
class ServerFixture : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override;
  void TearDown() override { server_.reset(); }

  TestServer& Server();
  std::unique_ptr<TestClient> Connect() { return Server().Connect(); }
  /// Connects and logs in; the LOGINOK payload is checked to start right.
  std::unique_ptr<TestClient> Login(std::string_view user = "anna",
                                    std::string_view password = "secret1");
  static std::string LoginFrame(std::string_view user, std::string_view password,
                                std::string_view version = "5");

  /// Sends a UTF-8 payload framed and returns the reply payload as UTF-8.
  static std::string Ask(TestClient& client, std::string_view utf8_payload);
  /// Asks each request in turn on one connection and expects its reply.
  static void ExpectReplies(TestClient& client,
                            std::initializer_list<std::pair<std::string, std::string>> exchanges);

  std::filesystem::path Personal(std::string_view user = "anna") const {
    return context_.users_root / std::filesystem::path(std::string(user));
  }
  /// Writes a file, making its folders first.
  static void WriteFile(const std::filesystem::path& path, const std::string& bytes);
  /// Waits (bounded) until `done` holds; for effects of a closed connection.
  static bool Eventually(const std::function<bool()>& done);

  test_common::TempDir dir_;
  ServerContext context_;
  std::unique_ptr<TestServer> server_;
  std::mutex log_mutex_;
  std::vector<std::string> log_;
};

/// Names the mode in test listings.
std::string ModeName(const ::testing::TestParamInfo<Mode>& info);
/// The exchange tests run in both modes.
inline const auto kBothModes = ::testing::Values(Mode::kMemory, Mode::kLoopback);

}  // namespace server::testing
