#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/dispatch.h"
#include "net/poll_event_loop.h"
#include "net/socket_master.h"
#include "session/session_services.h"
#include "session/session_ui.h"

namespace session::testing {

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
    if (!answers.empty()) {
      const auto a = answers.front();
      answers.pop_front();
      return a;
    }
    return buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
  }
  std::optional<std::string> AskName(const NameDialogRequest& request,
                                     NameValidator validate) override {
    name_requests.push_back(request);
    if (during_dialog) during_dialog();
    while (!names.empty()) {
      auto n = names.front();
      names.pop_front();
      if (!n) return std::nullopt;
      if (auto problem = validate(*n)) {
        name_problems.push_back(*problem);
        continue;  // the dialog stays open: take the next scripted entry
      }
      return n;
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
    exists_questions.emplace_back(request.text, request.allow_continue);
    exists_requests.push_back(request);
    if (during_dialog) during_dialog();
    if (exists_answers.empty()) return ExistsAnswer::kCancel;
    const auto a = exists_answers.front();
    exists_answers.pop_front();
    return a;
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
    taskbar.push_back(percent);
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
  std::deque<std::optional<std::string>> names;
  std::deque<ExistsAnswer> exists_answers;
  std::optional<std::string> open_file;
  std::optional<std::string> save_file;

  std::vector<Message> messages;
  std::vector<NameDialogRequest> name_requests;
  std::vector<NameProblem> name_problems;
  std::vector<Balloon> balloons;
  std::vector<std::string> urls;
  std::vector<std::pair<std::string, bool>> exists_questions;
  std::vector<ExistsRequest> exists_requests;
  std::vector<FileDialogRequest> file_requests;
  /// The order of the calls that close windows.
  std::vector<std::string> calls;
  std::vector<int> taskbar;
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
    for (const auto& l : lines) {
      if (l == line) return true;
    }
    return false;
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
  std::int64_t FreeDiskBytes() override { return std::int64_t{1536} * 1024 * 1024; }
};

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
  void SendFrame(std::string_view payload_utf8);
  void Close() {
    if (conn_) conn_->CloseSck();
  }
  /// Takes what arrived so far.
  std::string Take() {
    std::string out;
    out.swap(received);
    return out;
  }

  std::string received;
  bool peer_closed = false;
  int connections = 0;

 private:
  net::SocketMaster listener_;
  std::unique_ptr<net::SocketMaster> conn_;
};

/// The wire bytes (Windows-1253) of a UTF-8 text.
std::string Wire(std::string_view utf8);
/// A framed message from a UTF-8 payload, in wire bytes.
std::string Framed(std::string_view payload_utf8);

/// Sets the socket layer's loop for the life of a test.
class LoopScope {
 public:
  explicit LoopScope(net::PollEventLoop& loop) { net::SetEventLoop(&loop); }
  ~LoopScope() { net::SetEventLoop(nullptr); }
};

}  // namespace session::testing
