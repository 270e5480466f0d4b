#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/crypto.h"
#include "common/process.h"
#include "session/folder_session.h"
#include "session/protocol.h"
#include "session_test_support.h"
#include "support/text.h"

namespace session {

using namespace std::chrono_literals;
using testing::Framed;
using testing::Wire;

inline constexpr const char* kLoginOk = "LOGINOK|100|1000|False|False";
inline constexpr const char* kPcInfo =
    "PCINFO|Debian GNU/Linux 12 (bookworm)|Test CPU @ 2.00GHz|8192|1536|1.00.0";
inline constexpr const char* kLost = "Χάθηκε η σύνδεση με τον προσωπικό χώρο.";
inline constexpr const char* kNoConnection = "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.";
inline constexpr const char* kInUse = "Αυτή τη στιγμή το αρχείο χρησιμοποιείται.";

/// A session against a scripted peer on loopback that plays the server, with a
/// scratch folder for local files.
class SessionTest : public testing::SessionHarness {
 protected:
  void SetUp() override {
    support::SetDecimalSeparator('.');
    peer_ = std::make_unique<testing::ScriptedPeer>();
    SessionConfig config;
    config.parameters_host = "127.0.0.1";
    config.server_name = "127.0.0.1";
    config.server_port = peer_->Port();
    config.client_version = "1.00.0";
    Configure(config);
  }
  void TearDown() override {
    session_.reset();
    peer_.reset();
  }
  /// The session's configuration with the folder server unknown: Connect
  /// fetches the parameters file from `parameters_port`.
  SessionConfig FetchConfig(int parameters_port) const {
    SessionConfig config = session_->Config();
    config.server_name.clear();
    config.server_port = 0;
    config.parameters_port = parameters_port;
    return config;
  }

  /// Waits for exactly these wire bytes from the client and consumes them.
  void Expect(const std::string& wire) {
    ASSERT_TRUE(Until([&] { return peer_->received.size() >= wire.size(); }))
        << "waiting for " << wire << ", got " << peer_->received;
    EXPECT_EQ(peer_->received.substr(0, wire.size()), wire);
    peer_->received.erase(0, wire.size());
  }
  void ExpectFrame(std::string_view payload_utf8) { Expect(Framed(payload_utf8)); }
  /// Expects one request and answers it.
  void Exchange(std::string_view request, std::string_view reply) {
    ExpectFrame(request);
    peer_->SendFrame(reply);
  }
  /// Lets the loop run and expects that the client sent nothing.
  void ExpectNothingSent() {
    Settle();
    EXPECT_EQ(peer_->received, "");
  }

  void LogInUntilList(std::string_view login_ok = kLoginOk) {
    session_->dcbConnect_Click();
    ASSERT_TRUE(Until([&] { return peer_->Connected(); }));
    Expect(FrameMessage("LOGIN|5|demo|" + app::ScrambledPasswordField("demo")));
    peer_->SendFrame(login_ok);
  }
  /// The rest of the log-in chain after the listing; `time_request` is what a
  /// fresh connection asks for its log-in time.
  void FinishChain(std::string_view time_request = "MYLOGINTIME") {
    Exchange(time_request, "LOGINTIME|20261206101500");
    Exchange("SCHCLEANUPINFO", "SCHCLEANUPINFO|0|7");
    ExpectFrame(kPcInfo);
  }
  /// The whole log-in chain with a root listing of `rows`.
  void LogIn(std::string_view rows = "Docs|0||\r\nreport.pdf|2048|20260306090559",
             std::string_view login_ok = kLoginOk) {
    LogInUntilList(login_ok);
    Exchange("LIST|\\|False", "LIST|" + std::string(rows));
    FinishChain();
    ASSERT_TRUE(View().window_enabled);
  }
  /// Runs `action`, expects the request it sends and answers it with `reply`.
  void Command(const std::function<void()>& action, std::string_view request,
               std::string_view reply) {
    action();
    ExpectFrame(request);
    Reply(reply);
  }
  /// Sends a reply and waits until the window is enabled again.
  void Reply(std::string_view payload) {
    peer_->SendFrame(payload);
    ASSERT_TRUE(WaitEnabled());
  }
  /// The last message box shows `text`.
  void ExpectMessage(std::string_view text) {
    ASSERT_FALSE(ui_.messages.empty()) << "no message box";
    EXPECT_EQ(ui_.messages.back().text, text);
  }
  /// Writes `bytes` into the scratch file `name`; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) {
    test_common::WriteFile(dir_ / name, bytes);
    return (dir_ / name).string();
  }

  std::unique_ptr<testing::ScriptedPeer> peer_;
  test_common::TempDir temp_;
  const std::filesystem::path dir_ = temp_.Path();
};

}  // namespace session
