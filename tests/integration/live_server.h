#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/process.h"
#include "net/poll_event_loop.h"
#include "net/socket_master.h"
#include "server/server.h"
#include "server/server_context.h"
#include "session/folder_session.h"
#include "session/session_test_support.h"

namespace integration {

using namespace std::chrono_literals;

/// A plain protocol client on the test's loop, for what the session under test
/// cannot do itself yet (holding a file open in an upload).
class RawClient {
 public:
  explicit RawClient(int port);
  bool Connected() const { return socket_.State() == net::SocketState::kConnected; }
  /// Sends wire bytes as they are.
  void Send(std::string_view wire) { socket_.SendData(wire); }
  /// Sends a UTF-8 payload framed in wire bytes.
  void SendFrame(std::string_view payload_utf8);
  std::string received;

 private:
  net::SocketMaster socket_;
};

/// The reference server and a folder session on one poll loop. The server
/// reads a config file written by the test over a temporary data folder:
///
///   anna     password "secret1", quota 10000, no dealers access; her folder
///            holds Docs\inner.txt (3 bytes), README (6) and report.pdf (2048)
///   dealer   password "pw", dealers access, an empty folder
///   blocked  password "pw", refused with NOPERMISSION
///   ghost    password "pw"; a plain file stands where his folder should be
///   link     "Manuals" -> links\manuals: guide.pdf (10), Chapters\one.txt (1)
///   dealers  shared.txt (5), Old\notes.txt (4)
class LiveServerTest : public ::testing::Test {
 protected:
  LiveServerTest();
  ~LiveServerTest() override;

  void SetUp() override;
  void TearDown() override;

  /// (Re)starts the server with the given answer of the parameters endpoint.
  void StartServer(server::PfAnswer pf = {});
  /// A session configuration that goes straight to the folder server.
  session::SessionConfig DirectConfig() const;
  /// Replaces the session (its doubles are kept) and types the credentials.
  void Configure(session::SessionConfig config, std::string id = "anna",
                 std::string password = "secret1");

  bool Until(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
    return loop_.RunUntil(done, timeout);
  }
  /// Lets the loop run briefly so that nothing unexpected goes unnoticed.
  void Settle() {
    loop_.RunUntil([] { return false; }, 60ms);
  }

  /// Clicks Connect and waits for the whole log-in chain (PCINFO on the server).
  void LogIn();
  /// Waits until the window is enabled again after a request.
  void WaitIdle();

  /// The requests the server has served, as "REQUEST -> REPLY" (connection and
  /// close lines and the HTTP lines left out), in order.
  std::vector<std::string> Requests() const;
  /// Server log lines containing `needle`.
  int ServerLines(std::string_view needle) const;
  bool WaitServerLines(std::string_view needle, int count = 1);

  int RowNamed(std::string_view name) const;
  void Select(std::string_view name);
  const session::MainViewState& View() const { return session_->View(); }

  std::filesystem::path Personal(const std::string& user = "anna") const {
    return context_.users_root / user;
  }
  static void WriteFile(const std::filesystem::path& path, std::string_view bytes);

  net::PollEventLoop loop_;
  session::testing::LoopScope scope_;
  test_common::TempDir dir_;
  server::ServerContext context_;
  std::unique_ptr<server::Server> server_;
  std::vector<std::string> server_log_;
  session::testing::RecordingUi ui_;
  session::testing::RecordingLog log_;
  session::testing::FixedFacts facts_;
  std::unique_ptr<session::FolderSession> session_;
};

}  // namespace integration
