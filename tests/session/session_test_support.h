#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/dispatch.h"
#include "net/poll_event_loop.h"
#include "net/socket_master.h"
#include "session/folder_session.h"
#include "session/protocol.h"
#include "session/session_services.h"
#include "session/session_ui.h"
#include "support/codepage.h"

namespace session::testing {

/// Takes the front of a scripted queue, or `fallback` when it is empty.
template <typename T>
T Pop(std::deque<T>& queue, T fallback) {
  if (queue.empty()) return fallback;
  T front = std::move(queue.front());
  queue.pop_front();
  return front;
}

/// Records every call and answers from scripted queues (OK / No / cancel when empty).
class RecordingUi : public SessionUi {
 public:
  struct Message {
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
    std::string title;
  };
  struct Balloon {
    EditBox box;
    std::string text;
    std::string title;
    BalloonIcon icon;
  };

  MessageAnswer ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons,
                            const std::string& title) override {
    messages.push_back({text, icon, buttons, title});
    return Pop(answers,
               buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk);
  }
  std::optional<std::string> AskName(const NameDialogRequest& request,
                                     NameValidator validate) override {
    name_requests.push_back(request);
    if (during_dialog) during_dialog();
    while (auto n = Pop(names, std::optional<std::string>())) {
      auto problem = validate(*n);
      if (!problem) return n;
      name_problems.push_back(*problem);  // the dialog stays open: take the next entry
    }
    return std::nullopt;
  }
  void ShowBalloonTip(EditBox box, const std::string& text, const std::string& title,
                      BalloonIcon icon) override {
    balloons.push_back({box, text, title, icon});
  }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  void PlayCompletionSound() override { ++sounds; }
  ExistsAnswer AskReplaceOrResume(const ExistsRequest& request) override {
    exists_requests.push_back(request);
    if (during_dialog) during_dialog();
    return Pop(exists_answers, ExistsAnswer::kCancel);
  }
  std::optional<std::string> AskOpenFile(const FileDialogRequest& request) override {
    file_requests.push_back(request);
    return open_file;
  }
  std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override {
    file_requests.push_back(request);
    return save_file;
  }
  void SetTaskbarProgress(int percent) override {
    calls.push_back("SetTaskbarProgress(" + std::to_string(percent) + ")");
  }
  void CloseDialogs() override {
    ++dialogs_closed;
    calls.push_back("CloseDialogs");
  }
  void CloseMainWindow() override { ++main_window_closed; }

  /// Runs while a dialog is open (a nested loop in the real window).
  std::function<void()> during_dialog;
  std::deque<MessageAnswer> answers;
  std::deque<std::optional<std::string>> names;  ///< nullopt: the dialog is cancelled
  std::deque<ExistsAnswer> exists_answers;
  std::optional<std::string> open_file;
  std::optional<std::string> save_file;

  std::vector<Message> messages;
  std::vector<NameDialogRequest> name_requests;
  std::vector<NameProblem> name_problems;
  std::vector<Balloon> balloons;
  std::vector<std::string> urls;
  std::vector<ExistsRequest> exists_requests;
  std::vector<FileDialogRequest> file_requests;
  std::vector<std::string> calls;  ///< the order of the calls that close windows
  int sounds = 0;
  int dialogs_closed = 0;
  int main_window_closed = 0;
};

/// Keeps the log lines as the log would write them (plain, or "DEBUG: proc->text"
/// when the debug level reaches the line's level).
class RecordingLog : public SessionLog {
 public:
  void WriteLog(const std::string& text, const std::string& procedure, int level) override {
    if (procedure.empty()) {
      lines.push_back(text);
    } else if (debug >= level) {
      lines.push_back("DEBUG: " + procedure + "->" + text);
    }
  }
  void ShowError(const std::string& description, const std::string& source) override {
    errors.push_back("[" + source + "] Σφάλμα: " + description);
    lines.push_back(errors.back());
  }
  int DebugLevel() const override { return debug; }

  bool Has(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  int debug = 0;
  std::vector<std::string> lines;
  std::vector<std::string> errors;
};

class FixedFacts : public ComputerFacts {
 public:
  std::string OsText() override { return "Debian GNU/Linux 12 (bookworm)"; }
  std::string CpuName() override { return "Test CPU @ 2.00GHz"; }
  std::int64_t TotalRamBytes() override {
    return std::int64_t{8} * 1024 * 1024 * 1024 + 512 * 1024;
  }
  // 8192.5 and 1535.5 MB: PCINFO shows both rounded half to even (8192, 1536).
  std::int64_t FreeDiskBytes() override { return std::int64_t{1535} * 1024 * 1024 + 512 * 1024; }
};

/// The wire bytes (Windows-1253) of a UTF-8 text.
inline std::string Wire(std::string_view utf8) { return support::Utf8ToCp1253(utf8); }
/// A framed message from a UTF-8 payload, in wire bytes.
inline std::string Framed(std::string_view payload_utf8) {
  return FrameMessage(Wire(payload_utf8));
}

/// A scripted peer on loopback: listens on a free port, accepts one connection
/// at a time, records what arrives and sends what a test tells it to.
class ScriptedPeer {
 public:
  ScriptedPeer() {
    listener_.SetLocalIP("127.0.0.1");
    listener_.Listen();
    listener_.OnConnectionRequest = [this](std::int32_t id) {
      conn_ = std::make_unique<net::SocketMaster>();
      conn_->OnDataArrival = [this](std::int64_t) {
        std::string chunk;
        conn_->GetData(chunk);
        received += chunk;
      };
      conn_->OnCloseSck = [this] { peer_closed = true; };
      conn_->Accept(id);
      ++connections;
    };
  }
  int Port() const { return listener_.LocalPort(); }
  bool Connected() const { return conn_ && conn_->State() == net::SocketState::kConnected; }
  void Send(std::string_view bytes) { conn_->SendData(bytes); }
  /// Sends a framed payload given as UTF-8 (converted to the wire code page).
  void SendFrame(std::string_view payload_utf8) { Send(Framed(payload_utf8)); }
  void Close() {
    if (conn_) conn_->CloseSck();
  }
  /// Takes what arrived so far.
  std::string Take() { return std::exchange(received, {}); }

  std::string received;
  bool peer_closed = false;
  int connections = 0;

 private:
  net::SocketMaster listener_;
  std::unique_ptr<net::SocketMaster> conn_;
};

/// Sets the socket layer's loop for the life of a test.
class LoopScope {
 public:
  explicit LoopScope(net::PollEventLoop& loop) { net::SetEventLoop(&loop); }
  ~LoopScope() { net::SetEventLoop(nullptr); }
};

/// A folder session with recording doubles on its own poll loop; the peer it
/// talks to is the derived fixture's business.
class SessionHarness : public ::testing::Test {
 protected:
  SessionHarness() : scope_(loop_) {}

  /// Replaces the session (the doubles are kept) and types the credentials.
  void Configure(SessionConfig config, std::string id = "demo", std::string password = "demo") {
    session_.reset();
    session_ = std::make_unique<FolderSession>(loop_, ui_, log_, facts_, std::move(config));
    session_->SetIdText(std::move(id));
    session_->SetPasswordText(std::move(password));
  }
  bool Until(const std::function<bool()>& done,
             std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    return loop_.RunUntil(done, timeout);
  }
  /// Lets the loop run a little so that nothing unexpected goes unnoticed.
  void Settle() {
    loop_.RunUntil([] { return false; }, std::chrono::milliseconds(60));
  }
  bool Closed() const { return session_->ClientState() == net::SocketState::kClosed; }
  bool WaitClosed() {
    return Until([&] { return Closed(); });
  }
  /// Waits until the window is enabled again after a request.
  bool WaitEnabled() {
    return Until([&] { return View().window_enabled; });
  }
  bool WaitIdle() {
    return Until([&] { return !session_->TransferActive() && View().window_enabled; });
  }
  int RowNamed(std::string_view name) const {
    for (std::size_t i = 0; i < View().rows.size(); ++i) {
      if (View().rows[i].name == name) return static_cast<int>(i);
    }
    return -1;
  }
  void Select(std::string_view name) {
    ASSERT_GE(RowNamed(name), 0) << "no row " << name;
    session_->lvFiles_MouseDown(MouseButton::kLeft, RowNamed(name));
  }
  std::vector<std::string> RowNames() const {
    std::vector<std::string> names;
    for (const auto& row : View().rows) names.push_back(row.name);
    return names;
  }
  const MainViewState& View() const { return session_->View(); }

  net::PollEventLoop loop_;
  LoopScope scope_;
  RecordingUi ui_;
  RecordingLog log_;
  FixedFacts facts_;
  std::unique_ptr<FolderSession> session_;
};

}  // namespace session::testing
