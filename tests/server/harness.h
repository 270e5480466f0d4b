#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "server/server_context.h"

namespace server::testing {

/// How a test reaches the server: sessions driven in memory through a fake
/// transport, or the real server on an event loop over loopback TCP.
enum class Mode { kMemory, kLoopback };
/// Names the mode in test listings.
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
  /// Makes every session look idle for longer than the ping interval (memory
  /// mode); over loopback the real clock runs, so this only waits a little.
  virtual void LetTimePass(std::chrono::seconds seconds) = 0;
  /// Runs `fn` on the server's thread, between events.
  virtual void Inspect(const std::function<void(ServerContext&)>& fn) = 0;
  /// The listening port on 127.0.0.1 (loopback mode), else -1.
  virtual int Port() const { return -1; }
};

std::unique_ptr<TestServer> StartTestServer(Mode mode, ServerContext& context);
/// A raw TCP client of 127.0.0.1:`port`.
std::unique_ptr<TestClient> ConnectTcp(int port);

/// The scrambled log-in field of a password, as the client makes it.
std::string Scrambled(std::string_view password);
/// FrameMessage of a UTF-8 payload after conversion to Windows-1253.
std::string Framed(std::string_view utf8_payload);

/// A fresh temporary folder, removed by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace server::testing
