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

/// A session against a scripted peer on loopback that plays the server.
class SessionTest : public ::testing::Test {
 protected:
  SessionTest() : scope_(loop_) {}

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
  void Configure(SessionConfig config) {
    session_ = std::make_unique<FolderSession>(loop_, ui_, log_, facts_, std::move(config));
    session_->SetIdText("demo");
    session_->SetPasswordText("demo");
  }

  bool Until(const std::function<bool()>& done) { return loop_.RunUntil(done, 5s); }

  /// Waits for exactly these wire bytes from the client and consumes them.
  void Expect(const std::string& wire) {
    ASSERT_TRUE(Until([&] { return peer_->received.size() >= wire.size(); }))
        << "waiting for " << wire << ", got " << peer_->received;
    EXPECT_EQ(peer_->received.substr(0, wire.size()), wire);
    peer_->received.erase(0, wire.size());
  }
  void ExpectFrame(std::string_view payload_utf8) { Expect(Framed(payload_utf8)); }
  /// Lets the loop run a little so that nothing unexpected goes unnoticed.
  void Settle() {
    loop_.RunUntil([] { return false; }, 50ms);
  }

  void LogInUntilList(std::string_view login_ok = "LOGINOK|100|1000|False|False") {
    session_->dcbConnect_Click();
    ASSERT_TRUE(Until([&] { return peer_->Connected(); }));
    Expect(FrameMessage("LOGIN|5|demo|" + app::ScrambledPasswordField("demo")));
    peer_->SendFrame(login_ok);
  }
  /// The whole log-in chain with a root listing of `rows`.
  void LogIn(std::string_view rows = "Docs|0||\r\nreport.pdf|2048|20260306090559",
             std::string_view login_ok = "LOGINOK|100|1000|False|False") {
    LogInUntilList(login_ok);
    ExpectFrame("LIST|\\|False");
    peer_->SendFrame("LIST|" + std::string(rows));
    ExpectFrame("MYLOGINTIME");
    peer_->SendFrame("LOGINTIME|20261206101500");
    ExpectFrame("SCHCLEANUPINFO");
    peer_->SendFrame("SCHCLEANUPINFO|0|7");
    ExpectFrame("PCINFO|Debian GNU/Linux 12 (bookworm)|Test CPU @ 2.00GHz|8192|1536|1.00.0");
    ASSERT_TRUE(View().window_enabled);
  }
  /// Sends a reply and waits until the window is enabled again.
  void Reply(std::string_view payload) {
    peer_->SendFrame(payload);
    ASSERT_TRUE(Until([&] { return View().window_enabled; }));
  }
  int RowNamed(std::string_view name) const {
    for (std::size_t i = 0; i < View().rows.size(); ++i) {
      if (View().rows[i].name == name) return static_cast<int>(i);
    }
    return -1;
  }
  void Select(std::string_view name) {
    session_->lvFiles_MouseDown(MouseButton::kLeft, RowNamed(name));
  }
  const MainViewState& View() const { return session_->View(); }

  net::PollEventLoop loop_;
  testing::LoopScope scope_;
  testing::RecordingUi ui_;
  testing::RecordingLog log_;
  testing::FixedFacts facts_;
  std::unique_ptr<testing::ScriptedPeer> peer_;
  std::unique_ptr<FolderSession> session_;
};

/// A SessionTest with a scratch folder for local files.
class LocalFilesTest : public SessionTest {
 protected:
  /// Writes `bytes` into the scratch file `name`; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = dir_ / name;
    test_common::WriteFile(path, bytes);
    return path.string();
  }
  bool WaitIdle() {
    return Until([&] { return !session_->TransferActive() && View().window_enabled; });
  }
  test_common::TempDir temp_;
  const std::filesystem::path dir_ = temp_.Path();
};

}  // namespace session
