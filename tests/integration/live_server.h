#pragma once

#include <gtest/gtest.h>

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

/// A plain protocol client on the test's loop, for what the session under test
/// cannot do itself yet (holding a file open in an upload).
class RawClient {
 public:
  explicit RawClient(int port);
  bool Connected() const { return socket_.State() == net::SocketState::kConnected; }
  /// Sends wire bytes as they are.
  void Send(std::string_view wire) { socket_.SendData(wire); }
  /// Sends a UTF-8 payload framed in wire bytes.
  void SendFrame(std::string_view payload_utf8) { Send(session::testing::Framed(payload_utf8)); }
  std::string received;

 private:
  net::SocketMaster socket_;
};

/// The reference server and a folder session on one poll loop, over a
/// temporary data folder:
///
///   anna     password "secret1", quota 10000, no dealers access; her folder
///            holds Docs\inner.txt (3 bytes), README (6) and report.pdf (2048)
///   dealer   password "pw", dealers access, an empty folder
///   link     "Manuals" -> links\manuals, empty
///   dealers  Old\notes.txt (4)
class LiveServerTest : public session::testing::SessionHarness {
 protected:
  void SetUp() override;
  void TearDown() override;

  /// (Re)starts the server with the given answer of the parameters endpoint.
  void StartServer(server::PfAnswer pf = {});
  /// A session configuration that goes straight to the folder server.
  session::SessionConfig DirectConfig() const;
  /// The configuration with nothing known about the folder server: the
  /// parameters file is fetched first.
  session::SessionConfig FetchConfig() const;
  void Configure(session::SessionConfig config, std::string id = "anna",
                 std::string password = "secret1") {
    SessionHarness::Configure(std::move(config), std::move(id), std::move(password));
  }

  /// Clicks Connect and waits for the whole log-in chain (PCINFO on the server).
  void LogIn();
  /// Runs `action` and waits for the reply to the request it sends.
  void AndWait(const std::function<void()>& action) {
    action();
    ASSERT_TRUE(WaitEnabled()) << "no reply";
  }

  /// The requests the server has served, as "REQUEST -> REPLY" (connection and
  /// close lines and the HTTP lines left out), in order.
  std::vector<std::string> Requests() const;
  /// Server log lines containing `needle`.
  int ServerLines(std::string_view needle) const;
  bool WaitServerLines(std::string_view needle, int count = 1) {
    return Until([&] { return ServerLines(needle) >= count; });
  }
  /// A second client of anna's, logged in.
  std::unique_ptr<RawClient> SecondClient();

  std::filesystem::path Personal(const std::string& user = "anna") const {
    return context_.users_root / user;
  }
  static void WriteFile(const std::filesystem::path& path, std::string_view bytes);

  test_common::TempDir dir_;
  server::ServerContext context_;
  std::unique_ptr<server::Server> server_;
  std::vector<std::string> server_log_;
};

}  // namespace integration
