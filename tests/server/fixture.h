#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "harness.h"
#include "server/server_context.h"
#include "session/protocol.h"

namespace server::testing {

/// A data folder with three users, a link and a little content, and a server
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

  std::filesystem::path Personal(std::string_view user = "anna") const {
    return context_.users_root / std::filesystem::path(std::string(user));
  }
  static void WriteFile(const std::filesystem::path& path, std::string_view bytes);
  static std::string ReadFile(const std::filesystem::path& path);
  /// Waits (bounded) until `done` holds; for effects of a closed connection.
  static bool Eventually(const std::function<bool()>& done);

  TempDir dir_;
  ServerContext context_;
  std::unique_ptr<TestServer> server_;
  std::mutex log_mutex_;
  std::vector<std::string> log_;
};

std::string ModeName(const ::testing::TestParamInfo<Mode>& info);

}  // namespace server::testing
