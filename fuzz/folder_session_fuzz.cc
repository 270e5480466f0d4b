// Drives one whole client session (session::FolderSession) through a script.
// The input is a list of steps: what the server sends (arbitrary bytes, or
// well-formed frames built from input fields, or a fitting answer to the
// oldest request still waiting), cut into deliveries at points the input
// chooses, interleaved with what the user does (connect, select and open
// rows, go up, refresh, folder commands, download to a save path under a
// scratch folder, upload a scratch file, cancel a transfer, answers to the
// dialogs, deliveries or a cut connection while a dialog is open) and with
// time passing. A user step runs only when the window would take it (window
// enabled, control enabled); Cancel only while the progress window shows.
//
// The server end is a plain loopback socket of this driver (TCP_NODELAY, and
// every read acknowledged at once, so no delivery or request waits for a
// delayed acknowledgement); the session's sockets run on the real
// PollEventLoop, its timers on a clock that only the script moves.
//
// After every step, once nothing more is moving, it checks:
//  - the selected row is -1 or a row, and every row, size and stamp reads;
//  - the download button is on only for a selected file row;
//  - a closed connection leaves the window enabled with no transfer; the
//    progress window shows only during a transfer;
//  - the window is enabled whenever no request waits for its answer and no
//    transfer runs: the driver reads every request the client sends and sees
//    (through the debug log) every reply the session dispatches;
//  - an upload that waits for UPLOADOK sent exactly the bytes it announced,
//    and a finished download has exactly the listed size;
//  - nothing appears or changes in the scratch folder outside its download
//    target folder.
// A broken invariant prints one line on stderr and aborts.
// FOLDER_SESSION_FUZZ_TRACE=1 prints what a run does (to read a finding).
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/dispatch.h"
#include "net/poll_event_loop.h"
#include "session/folder_session.h"
#include "session/protocol.h"
#include "support/codepage.h"
#include "support/stamp.h"
#include "support/text.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using session::ExistsAnswer;
using session::MessageAnswer;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "folder_session_fuzz: %s\n", what);
  std::abort();
}

/// FOLDER_SESSION_FUZZ_TRACE=1 prints the steps, the requests and the
/// dispatched replies of a run (to read a finding).
bool Tracing() {
  static const bool on = std::getenv("FOLDER_SESSION_FUZZ_TRACE") != nullptr;
  return on;
}
#define TRACE(...)                                    \
  do {                                                \
    if (Tracing()) std::fprintf(stderr, __VA_ARGS__); \
  } while (0)

constexpr int kMaxSteps = 48;
constexpr int kMaxTurns = 256;
constexpr int kDialogTurns = 16;
constexpr int kMaxTicks = 64;
constexpr std::size_t kMaxData = 1 << 16;

// ---- The input ----

class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t Word() { return Byte() | (static_cast<std::uint32_t>(Byte()) << 8); }
  std::string Bytes(std::size_t n) {
    n = std::min(n, size_ - at_);
    std::string out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }
  template <typename T, std::size_t N>
  const T& Pick(const T (&table)[N]) {
    return table[Byte() % N];
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// ---- The scratch folder: downloads land in target/, uploads come from upload/ ----

struct UploadFile {
  const char* name;
  std::size_t size;
};
// Upload contents are all 'z': no digit and no keep-alive token, so the driver
// tells file data from frames in what the client sends.
constexpr UploadFile kUploadFiles[] = {
    {"a.bin", 10},    {"big.bin", 1000}, {"αρχείο.txt", 7}, {"empty.txt", 0},
    {"setup.EXE", 5}, {"b.txt", 3},      {"what?.txt", 4},  {"CON.txt", 2},
};

struct Scratch {
  Scratch() {
    base =
        fs::temp_directory_path() / ("vaultline-folder-session-fuzz-" + std::to_string(::getpid()));
    fs::remove_all(base);
    target = base / "target";
    upload = base / "upload";
    fs::create_directories(target);
    fs::create_directories(upload);
    for (const UploadFile& f : kUploadFiles) {
      std::ofstream(upload / f.name, std::ios::binary) << std::string(f.size, 'z');
    }
    expected = Listing();
  }
  ~Scratch() { fs::remove_all(base); }

  // What changes when an entry appears, goes or is written outside target/:
  // the scratch folder, the upload folder and each upload file, by their
  // stat fields (a folder's modification time moves with its entries).
  std::vector<std::int64_t> Listing() const {
    std::vector<std::int64_t> out;
    const auto add = [&out](const fs::path& p) {
      struct stat st {};
      if (::stat(p.c_str(), &st) != 0) {
        out.push_back(-1);
        return;
      }
      out.insert(out.end(),
                 {static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_nlink),
                  static_cast<std::int64_t>(st.st_mtim.tv_sec),
                  static_cast<std::int64_t>(st.st_mtim.tv_nsec)});
    };
    add(base);
    add(upload);
    for (const UploadFile& f : kUploadFiles) add(upload / f.name);
    return out;
  }
  void ClearTarget() const {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(target, ec)) fs::remove_all(e.path(), ec);
  }

  fs::path base, target, upload;
  std::vector<std::int64_t> expected;
};

// ---- The server end: a listening loopback socket and the accepted connection ----

class Peer {
 public:
  Peer() {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listen_fd_, 16) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      Fail("cannot listen on loopback");
    }
    port_ = ntohs(a.sin_port);
  }
  ~Peer() {
    Drop();
    ::close(listen_fd_);
  }
  int Port() const { return port_; }
  bool Connected() const { return fd_ >= 0; }

  /// Reads what the client sent and takes a new connection; answers whether
  /// anything happened.
  bool Poll() {
    bool any = Drain();
    for (;;) {
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) break;
      any = true;
      Close();
      fd_ = fd;
      // The server end sends each delivery at once: with Nagle's delay a small
      // delivery would wait for the client's delayed acknowledgement of the
      // one before, so the client would see it only after its next request.
      const int one = 1;
      ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      if (on_connection) on_connection();
      Drain();
    }
    return any;
  }
  bool Drain() {
    if (fd_ < 0) return false;
    bool any = false;
    char buffer[8192];
    for (;;) {
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) {
        any = true;
        // Acknowledge at once: a delayed acknowledgement holds the client's
        // next small request back (Nagle) until the server sends something.
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
        TRACE("  client sent %zd bytes: %.*s\n", n, static_cast<int>(std::min<ssize_t>(n, 40)),
              buffer);
        if (on_bytes) on_bytes(std::string_view(buffer, static_cast<std::size_t>(n)));
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        Close();
        any = true;
      }
      break;
    }
    return any;
  }
  /// Sends what the socket takes now; the rest is lost (a client that stopped
  /// reading).
  void Send(std::string_view bytes) {
    if (fd_ < 0) return;
    TRACE("  server sends %zu bytes: %.*s\n", bytes.size(),
          static_cast<int>(std::min<std::size_t>(bytes.size(), 40)), bytes.data());
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  /// 0 close, 1 half-close (no more bytes from the server), 2 reset.
  void Cut(int how) {
    if (fd_ < 0) return;
    if (how == 1) {
      ::shutdown(fd_, SHUT_WR);
      return;
    }
    if (how == 2) {
      linger l{1, 0};
      ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    Close();
  }
  /// End of an input: resets the connection and every one still waiting.
  /// A reset leaves no TIME_WAIT behind on either end; closing gracefully
  /// here would use up the loopback ports in a minute of fuzzing.
  void Drop() {
    Cut(2);
    for (;;) {
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) break;
      linger l{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
      ::close(fd);
    }
  }

  std::function<void()> on_connection;
  std::function<void(std::string_view)> on_bytes;

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int listen_fd_ = -1;
  int fd_ = -1;
  int port_ = 0;
};

// ---- What the client asked and what the session has taken as answered ----

struct Request {
  std::string keyword;
  std::vector<std::string> fields;
  bool go_ahead_sent = false;  ///< UPLOAD: DO UPLOAD was sent by the driver
};

class Requests {
 public:
  void Reset() {
    in_.clear();
    pending.clear();
    valid = true;
    upload_bytes = 0;
    upload_expected = -1;
    login_ok = false;
    login_time = false;
    first_list = false;
    chain_started = false;
    chain_due = false;
  }
  void Feed(std::string_view bytes) {
    in_.append(bytes);
    Parse();
  }
  /// The session dispatched a reply with this keyword.
  void Dispatched(std::string_view kw) {
    TRACE("  reply %.*s dispatched\n", static_cast<int>(kw.size()), kw.data());
    // The first listing after LOGINOK starts the log-in time chain, unless it
    // runs already on this connection or a log-in time came: its follow-up is
    // MYLOGINTIME (LOGINTIME after a re-opened connection), whatever the user
    // did meanwhile.
    if (kw == "LOGINOK") login_ok = true;
    if (kw == "LOGINTIME") login_time = true;
    if (kw == "LIST" && login_ok && !first_list) {
      first_list = true;
      chain_due = !login_time && !chain_started;
    }
    if (kw == "LOGINOK" || kw == "NOLOGIN" || kw == "LOGIN2" || kw == "NOMORE" ||
        kw == "DIRERROR" || kw == "NOPERMISSION" || kw == "PROTOCOL" || kw == "UNEXPECTED") {
      Answer({"LOGIN"});
    } else if (kw == "LIST") {
      Answer({"LIST"});
    } else if (kw == "LOGINTIME") {
      Answer({"MYLOGINTIME", "LOGINTIME"});
    } else if (kw == "SCHCLEANUPINFO") {
      Answer({"SCHCLEANUPINFO"});
    } else if (kw == "TOTALSIZE") {
      Answer({"TOTALSIZE"});
    } else if (kw == "NEWDIROK") {
      Answer({"NEWDIR"});
    } else if (kw == "RENAMEOK") {
      Answer({"RENAME"});
    } else if (kw == "DELETEOK") {
      Answer({"DELETE"});
    } else if (kw == "DEALEROK") {
      Answer({"DEALERS FOLDER", "PERSONAL FOLDER"});
    } else if (kw == "DO DOWNLOAD") {
      Answer({"DOWNLOAD"});
    } else if (kw == "UPLOADOK") {
      Answer({"UPLOAD"});
    } else if (kw == "INUSE" || kw == "FILENOTFOUND" || kw == "DIREXISTS" || kw == "FILEEXISTS") {
      Answer({"NEWDIR", "RENAME", "DELETE", "DOWNLOAD", "UPLOAD", "LIST", "DEALERS FOLDER",
              "PERSONAL FOLDER"});
    }
  }
  /// Whether a request other than TOTALSIZE (which never holds the window)
  /// waits for its answer.
  bool AnyBlocking() const {
    for (const Request& r : pending) {
      if (r.keyword != "TOTALSIZE") return true;
    }
    return false;
  }

  std::deque<Request> pending;
  bool valid = true;
  /// File bytes sent since the last UPLOAD, and how many it announced (-1: none).
  std::int64_t upload_bytes = 0;
  std::int64_t upload_expected = -1;

 private:
  bool login_ok = false;       ///< LOGINOK was dispatched on this connection
  bool login_time = false;     ///< a LOGINTIME reply was dispatched on it
  bool first_list = false;     ///< the first LIST reply after LOGINOK was dispatched
  bool chain_started = false;  ///< MYLOGINTIME or LOGINTIME was sent on it
  bool chain_due = false;      ///< the next request must start the log-in chain

  void Answer(std::initializer_list<std::string_view> kinds) {
    for (auto it = pending.begin(); it != pending.end(); ++it) {
      for (std::string_view k : kinds) {
        if (it->keyword == k) {
          pending.erase(it);
          return;
        }
      }
    }
  }
  void Parse() {
    while (valid && !in_.empty()) {
      if (in_[0] == 'z') {  // upload data
        const std::size_t n = std::min(in_.find_first_not_of('z'), in_.size());
        upload_bytes += static_cast<std::int64_t>(n);
        in_.erase(0, n);
        continue;
      }
      if (in_[0] == 'P') {
        if (in_.size() < 4) return;
        if (in_.compare(0, 4, "PONG") == 0 || in_.compare(0, 4, "PING") == 0) {
          TRACE("  keep-alive %.4s\n", in_.c_str());
          in_.erase(0, 4);
          continue;
        }
      }
      std::size_t length = 0;
      std::size_t at = 0;
      while (at < in_.size() && at < 10 && in_[at] >= '0' && in_[at] <= '9') {
        length = length * 10 + static_cast<std::size_t>(in_[at] - '0');
        ++at;
      }
      if (at == in_.size()) return;
      if (at == 0 || in_[at] != '|') {
        valid = false;
        return;
      }
      if (in_.size() < at + 1 + length) return;
      OnRequest(std::string_view(in_).substr(at + 1, length));
      in_.erase(0, at + 1 + length);
    }
  }
  void OnRequest(std::string_view payload) {
    const session::Payload p = session::SplitPayload(payload);
    static const char* const kAnswered[] = {
        "LOGIN",           "LIST",     "MYLOGINTIME", "LOGINTIME", "SCHCLEANUPINFO",
        "TOTALSIZE",       "NEWDIR",   "RENAME",      "DELETE",    "DEALERS FOLDER",
        "PERSONAL FOLDER", "DOWNLOAD", "UPLOAD"};
    TRACE("  request %.*s\n", static_cast<int>(std::min<std::size_t>(payload.size(), 60)),
          payload.data());
    if (p.keyword == "MYLOGINTIME" || p.keyword == "LOGINTIME") chain_started = true;
    if (chain_due) {
      chain_due = false;
      if (p.keyword != "MYLOGINTIME" && p.keyword != "LOGINTIME") {
        Fail("the first listing of a connection did not start the log-in chain");
      }
    }
    if (p.keyword == "PCINFO" || p.keyword == "DO DOWNLOAD") return;
    for (const char* k : kAnswered) {
      if (p.keyword != k) continue;
      Request r;
      r.keyword = std::string(p.keyword);
      if (p.has_arguments) {
        for (std::string_view f : session::SplitFields(p.arguments)) r.fields.emplace_back(f);
      }
      if (r.keyword == "UPLOAD" && r.fields.size() >= 2) {
        // The bytes from the 1-based start to the end of the file follow DO UPLOAD.
        upload_bytes = 0;
        upload_expected = std::atoll(r.fields[1].c_str()) - std::atoll(r.fields[0].c_str()) + 1;
      }
      pending.push_back(std::move(r));
      return;
    }
    valid = false;  // not a request of this protocol
  }

  std::string in_;
};

// ---- Fakes of the session's services ----

class ScriptUi : public session::SessionUi {
 public:
  MessageAnswer ShowMessage(const std::string&, session::MessageIcon,
                            session::MessageButtons buttons, const std::string&) override {
    DuringDialog();
    if (!answers.empty()) {
      const MessageAnswer a = answers.front();
      answers.pop_front();
      return a;
    }
    return buttons == session::MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
  }
  std::optional<std::string> AskName(const session::NameDialogRequest&,
                                     NameValidator validate) override {
    DuringDialog();
    while (!names.empty()) {
      auto n = names.front();
      names.pop_front();
      if (!n) return std::nullopt;
      if (validate(*n)) continue;  // refused: the dialog stays open
      return n;
    }
    return std::nullopt;
  }
  void ShowBalloonTip(session::EditBox, const std::string&, const std::string&,
                      session::BalloonIcon) override {}
  void OpenUrl(const std::string&) override {}
  void PlayCompletionSound() override { ++completions; }
  ExistsAnswer AskReplaceOrResume(const session::ExistsRequest&) override {
    DuringDialog();
    if (exists_answers.empty()) return ExistsAnswer::kCancel;
    const ExistsAnswer a = exists_answers.front();
    exists_answers.pop_front();
    return a;
  }
  std::optional<std::string> AskOpenFile(const session::FileDialogRequest&) override {
    DuringDialog();
    return open_file;
  }
  std::optional<std::string> AskSaveFile(const session::FileDialogRequest&) override {
    DuringDialog();
    return save_file;
  }
  void SetTaskbarProgress(int percent) override {
    if (percent < -1 || percent > 100) Fail("taskbar progress out of range");
  }
  void CloseMainWindow() override { main_window_closed = true; }

  /// Runs once, in the next dialog (the nested loop of a modal window).
  std::function<void()> during_dialog;
  std::deque<MessageAnswer> answers;
  std::deque<std::optional<std::string>> names;
  std::deque<ExistsAnswer> exists_answers;
  std::optional<std::string> open_file;
  std::optional<std::string> save_file;
  bool main_window_closed = false;
  int completions = 0;

 private:
  void DuringDialog() {
    if (!during_dialog) return;
    auto action = std::move(during_dialog);
    during_dialog = nullptr;
    action();
  }
};

/// Reports every reply keyword the session dispatches (its level-1 line).
class ScriptLog : public session::SessionLog {
 public:
  void WriteLog(const std::string& text, const std::string& procedure, int level) override {
    if (level == 1 && procedure == "smClient_DataArrival" && on_dispatch) on_dispatch(text);
  }
  void ShowError(const std::string&, const std::string&) override {}
  int DebugLevel() const override { return 1; }
  std::function<void(const std::string&)> on_dispatch;
};

class Facts : public session::ComputerFacts {
 public:
  std::string OsText() override { return "Debian GNU/Linux 12 (bookworm)"; }
  std::string CpuName() override { return "Test CPU @ 2.00GHz"; }
  std::int64_t TotalRamBytes() override { return std::int64_t{8} << 30; }
  std::int64_t FreeDiskBytes() override { return std::int64_t{1536} << 20; }
};

// ---- The loop: sockets on the real poll loop, timers on a clock of the script ----

/// Socket watches and posted calls go to a PollEventLoop; timers run on a
/// virtual clock that moves only when a step lets time pass, so the timers of
/// the session (keep-alive, progress, speed, the send unwinding) fire the same
/// way on every run. A 0 ms timer fires on every turn, as on the real loop.
class ScriptLoop : public net::EventLoop {
 public:
  net::WatchId Watch(int fd, net::Readiness interest, ReadyCallback callback) override {
    return inner_.Watch(fd, interest, std::move(callback));
  }
  void SetInterest(net::WatchId id, net::Readiness interest) override {
    inner_.SetInterest(id, interest);
  }
  void Unwatch(net::WatchId id) override { inner_.Unwatch(id); }
  net::TimerId StartTimer(std::chrono::milliseconds interval, net::TimerKind kind,
                          std::function<void()> callback) override {
    const net::TimerId id = next_id_++;
    timers_[id] = {interval, kind, now_ + interval,
                   std::make_shared<std::function<void()>>(std::move(callback))};
    return id;
  }
  void StopTimer(net::TimerId id) override { timers_.erase(id); }
  void Post(std::function<void()> fn) override { inner_.Post(std::move(fn)); }
  void Run() override { inner_.Run(); }
  void Quit() override { inner_.Quit(); }

  /// One turn: ready sockets and posted calls, then the timers due now.
  bool RunOnce(std::chrono::milliseconds max_wait) {
    bool any = inner_.RunOnce(max_wait);
    return FireDue() || any;
  }
  /// The earliest due time of a timer, if any is due by `limit`.
  std::optional<std::chrono::milliseconds> NextDue(std::chrono::milliseconds limit) const {
    std::optional<std::chrono::milliseconds> next;
    for (const auto& [id, t] : timers_) {
      if (t.due <= limit && (!next || t.due < *next)) next = t.due;
    }
    return next;
  }
  std::chrono::milliseconds Now() const { return now_; }
  void SetNow(std::chrono::milliseconds now) { now_ = std::max(now_, now); }
  std::size_t TimerCount() const { return timers_.size(); }

 private:
  struct Timer {
    std::chrono::milliseconds interval;
    net::TimerKind kind;
    std::chrono::milliseconds due;
    std::shared_ptr<std::function<void()>> callback;
  };
  bool FireDue() {
    std::vector<std::pair<std::chrono::milliseconds, net::TimerId>> due;
    for (const auto& [id, t] : timers_) {
      if (t.due <= now_) due.emplace_back(t.due, id);
    }
    std::sort(due.begin(), due.end());
    for (const auto& [when, id] : due) {
      const auto it = timers_.find(id);
      if (it == timers_.end()) continue;  // stopped by an earlier tick
      const auto callback = it->second.callback;
      if (it->second.kind == net::TimerKind::kOneShot) {
        timers_.erase(it);
      } else {
        it->second.due = now_ + it->second.interval;
      }
      (*callback)();
    }
    return !due.empty();
  }

  net::PollEventLoop inner_;
  std::map<net::TimerId, Timer> timers_;
  net::TimerId next_id_ = 1;
  std::chrono::milliseconds now_{0};
};

// ---- What lives across inputs ----

struct World {
  World() {
    support::SetDecimalSeparator('.');
    net::SetEventLoop(&loop);
  }
  ScriptLoop loop;
  Scratch scratch;
  Peer peer;
};

World& TheWorld() {
  static World world;
  return world;
}

// ---- Tables the steps pick from ----

const char* const kRowNames[] = {"a.bin", "b.txt",   "Docs",      "αρχείο.txt", "big.bin",
                                 "..",    "Manuals", "setup.EXE", "report.pdf", "empty.txt"};
const char* const kLinkTargets[] = {"\\manuals\\", "\\x\\y\\", "", "manuals"};
const char* const kStamps[] = {"20260306090559", "20261306090559", "00000000000000", "2026"};
const char* const kNumbers[] = {
    "0", "1", "9", "10", "1000", "999999999999999999", "1000000000000000000", "-1", "", "07"};
const char* const kBools[] = {"True", "False", "true", ""};
const char* const kFolderNames[] = {"New",  "Νέος", "a/b", ".x",  "report.pdf",
                                    "Docs", "CON",  "",    "end."};
const char* const kSaveNames[] = {"a.bin", "b.txt", "αρχείο.txt", "new.bin", "sub/missing/f.bin",
                                  ""};
const char* const kReplyKeywords[] = {
    "LOGINOK",      "LIST",         "TOTALSIZE",  "LOGINTIME",   "SCHCLEANUPINFO",
    "DEALEROK",     "NEWDIROK",     "RENAMEOK",   "DELETEOK",    "DO UPLOAD",
    "UPLOADOK",     "DO DOWNLOAD",  "NOLOGIN",    "LOGIN2",      "NOMORE",
    "DIRERROR",     "NOPERMISSION", "PROTOCOL",   "UNEXPECTED",  "INUSE",
    "FILENOTFOUND", "DIREXISTS",    "FILEEXISTS", "MYLOGINTIME", "PCINFO"};
const char* const kErrorReplies[] = {"INUSE",      "FILENOTFOUND", "DIREXISTS", "FILEEXISTS",
                                     "UNEXPECTED", "NOPERMISSION", "PROTOCOL",  "NOLOGIN",
                                     "LOGIN2",     "NOMORE"};
const MessageAnswer kAnswers[] = {MessageAnswer::kYes, MessageAnswer::kNo, MessageAnswer::kOk,
                                  MessageAnswer::kCancel};
const ExistsAnswer kExistsAnswers[] = {ExistsAnswer::kReplace, ExistsAnswer::kContinue,
                                       ExistsAnswer::kCancel};

std::string Wire(std::string_view utf8) { return support::Utf8ToCp1253(utf8); }

// ---- One run of one input ----

class Run {
 public:
  Run(World& world, const std::uint8_t* data, std::size_t size) : w_(world), in_(data, size) {
    w_.peer.on_connection = [this] { requests_.Reset(); };
    w_.peer.on_bytes = [this](std::string_view b) { requests_.Feed(b); };
    log_.on_dispatch = [this](const std::string& kw) {
      w_.peer.Drain();  // the requests sent before this reply came
      requests_.Dispatched(kw);
    };
    const std::uint8_t flags = in_.Byte();
    session::SessionConfig config;
    config.parameters_host = "127.0.0.1";
    config.server_name = "127.0.0.1";
    config.server_port = w_.peer.Port();
    config.client_version = "1.00.0";
    config.chunk_size = (flags & 1) ? 16 : 6144;
    session_ = std::make_unique<session::FolderSession>(w_.loop, ui_, log_, facts_, config);
    session_->SetIdText("demo");
    session_->SetPasswordText("demo");
  }
  ~Run() {
    ui_.during_dialog = nullptr;
    // The server's end goes first, so the client's socket is closed after a
    // reset rather than first (which would leave it in TIME_WAIT).
    w_.peer.Drop();
    session_.reset();
    w_.peer.on_connection = nullptr;
    w_.peer.on_bytes = nullptr;
    // Let the loop forget what the closed sockets left behind.
    for (int i = 0; i < 4 && w_.loop.RunOnce(0ms); ++i) {
    }
    w_.scratch.ClearTarget();
  }

  void Go() {
    for (int step = 0; step < kMaxSteps && !in_.Done() && !ui_.main_window_closed; ++step) {
      // Files are written by transfers only: the folder is read when one ran.
      bool files = session_->TransferActive();
      const bool downloading = files && !download_path_.empty();
      const int completions = ui_.completions;
      Step();
      const bool settled = Settle(kMaxTurns);
      files = files || session_->TransferActive();
      TRACE("step %d: %s, client %d, window %s, transfer %d, rows %zu, pending %zu%s\n", step,
            last_op_, static_cast<int>(session_->ClientState()),
            V().window_enabled ? "enabled" : "disabled", session_->TransferActive(),
            V().rows.size(), requests_.pending.size(), settled ? "" : " (still moving)");
      if (settled) Check();
      if (files) CheckFiles();
      if (downloading && ui_.completions != completions && !session_->TransferActive()) {
        CheckDownloadedFile();
      }
      if (!session_->TransferActive()) download_path_.clear();
    }
    CheckFiles();
  }

 private:
  const session::MainViewState& V() const { return session_->View(); }
  bool Usable() const { return V().window_enabled && !session_->Progress().visible; }

  /// Runs the loop and the server end until nothing moves; answers whether it
  /// got there within `turns`.
  bool Settle(int turns) {
    int idle = 0;
    for (int turn = 0; turn < turns; ++turn) {
      const auto state = session_->ClientState();
      const bool waiting =
          state == net::SocketState::kConnecting || state == net::SocketState::kResolvingHost;
      bool any = w_.loop.RunOnce(waiting && idle > 0 ? 1ms : 0ms);
      any = w_.peer.Poll() || any;
      if (any) {
        idle = 0;
      } else if (++idle >= 2 && !waiting) {
        return true;
      }
    }
    return false;
  }

  /// Moves the clock on by `span`, stopping at every timer due on the way
  /// (at most kMaxTicks of them) and letting the loop settle after each.
  void LetTimePass(std::chrono::milliseconds span) {
    const auto end = w_.loop.Now() + span;
    for (int tick = 0; tick < kMaxTicks; ++tick) {
      const auto next = w_.loop.NextDue(end);
      if (!next) break;
      TRACE("  tick at %lld ms\n", static_cast<long long>(next->count()));
      w_.loop.SetNow(*next);
      Settle(kDialogTurns);
    }
    w_.loop.SetNow(end);
  }

  void Flush() {
    w_.peer.Send(outbox_);
    outbox_.clear();
  }
  void Queue(std::string bytes, bool flush) {
    outbox_ += bytes;
    if (outbox_.size() > kMaxData) outbox_.resize(kMaxData);
    if (flush) Flush();
  }

  std::string Field() {
    switch (in_.Byte() % 5) {
      case 0:
        return std::to_string(in_.Word());
      case 1:
        return in_.Pick(kNumbers);
      case 2:
        return in_.Pick(kBools);
      case 3:
        return in_.Pick(kStamps);
      default:
        return in_.Bytes(in_.Byte() % 12);
    }
  }
  std::string RowName() {
    const std::uint8_t b = in_.Byte();
    if (b % 11 == 10) return in_.Bytes(b / 11 % 8);
    return Wire(kRowNames[b % 11 % 10]);
  }
  std::string ListRows() {
    std::string rows;
    const int n = in_.Byte() % 8;
    for (int i = 0; i < n; ++i) {
      if (i) rows += "\r\n";
      const std::string name = RowName();
      const std::uint8_t kind = in_.Byte();
      const std::string size = (kind & 4) ? std::to_string(in_.Word()) : in_.Pick(kNumbers);
      if (kind & 1) {
        rows += name + "|0|";
        if (kind & 2) rows += std::string("|") + Wire(in_.Pick(kLinkTargets));
      } else {
        rows += name + "|" + (kind & 8 ? size : std::to_string(kind >> 4)) + "|" +
                kStamps[(kind >> 5) % 4];
      }
    }
    return rows;
  }

  std::string Frame(std::string_view payload) { return session::FrameMessage(payload); }

  void AutoReply() {
    const std::uint8_t mode = in_.Byte();
    if (requests_.pending.empty()) return;
    Request& r = requests_.pending.front();
    if (mode % 8 == 7) {
      Queue(Frame(in_.Pick(kErrorReplies)), true);
      return;
    }
    std::string reply;
    const std::string& k = r.keyword;
    if (k == "LOGIN") {
      const std::uint8_t b = in_.Byte();
      reply = "LOGINOK|" + std::to_string(in_.Word()) + "|" +
              (b & 1 ? std::to_string(in_.Word()) : std::string("1000000")) + "|" +
              (b & 2 ? "True" : "False") + "|" + (b & 4 ? "True" : "False");
    } else if (k == "LIST") {
      reply = "LIST|" + ListRows();
    } else if (k == "MYLOGINTIME" || k == "LOGINTIME") {
      reply = "LOGINTIME|20261206101500";
    } else if (k == "SCHCLEANUPINFO") {
      reply = std::string("SCHCLEANUPINFO|") + (mode & 8 ? "30" : "0") + "|7";
    } else if (k == "TOTALSIZE") {
      reply = "TOTALSIZE|" + std::to_string(in_.Word());
    } else if (k == "NEWDIR") {
      reply = "NEWDIROK";
    } else if (k == "RENAME") {
      reply = "RENAMEOK";
    } else if (k == "DELETE") {
      reply = "DELETEOK";
    } else if (k == "DEALERS FOLDER" || k == "PERSONAL FOLDER") {
      reply = "DEALEROK";
    } else if (k == "UPLOAD") {
      reply = r.go_ahead_sent ? "UPLOADOK" : "DO UPLOAD";
      r.go_ahead_sent = true;
    } else if (k == "DOWNLOAD") {
      std::string bytes = Frame("DO DOWNLOAD");
      const std::int64_t start =
          r.fields.empty() ? 1 : std::max<std::int64_t>(1, std::atoll(r.fields[0].c_str()));
      std::int64_t rest = std::max<std::int64_t>(0, download_size_ - (start - 1));
      rest = std::min<std::int64_t>(rest, kMaxData);
      switch ((mode >> 3) % 4) {
        case 0:
          bytes += std::string(static_cast<std::size_t>(rest), 'd');
          break;
        case 1:
          bytes += std::string(static_cast<std::size_t>(rest > 0 ? rest - 1 : 0), 'd');
          break;
        case 2:
          bytes += std::string(static_cast<std::size_t>(rest), 'd') + Frame("TOTALSIZE|5");
          break;
        default:
          break;  // the go-ahead alone
      }
      Queue(std::move(bytes), true);
      return;
    }
    Queue(Frame(reply), true);
  }

  void ArmDialog() {
    const std::uint8_t kind = in_.Byte() % 3;
    const int how = in_.Byte() % 3;
    ui_.during_dialog = [this, kind, how] {
      if (kind == 0) Flush();
      if (kind == 1) w_.peer.Cut(how);
      Settle(kDialogTurns);
    };
  }

  void Step() {
    const std::uint8_t op = in_.Byte() % 26;
    static const char* const kOps[] = {
        "connect",    "frame",  "list",          "raw",        "piece",  "auto-reply", "cut",
        "ping",       "press",  "dblclick",      "key",        "up",     "refresh",    "new-folder",
        "rename",     "delete", "switch",        "download",   "upload", "cancel",     "time",
        "local-file", "answer", "exists-answer", "arm-dialog", "data"};
    last_op_ = kOps[op];
    switch (op) {
      case 0:  // the connect / disconnect button
        if (Usable() && V().dcbConnect.enabled) session_->dcbConnect_Click();
        break;
      case 1: {  // a frame with a reply keyword and fields from the input
        std::string payload = Wire(in_.Pick(kReplyKeywords));
        const std::uint8_t n = in_.Byte();
        for (int i = 0; i < n % 6; ++i) payload += "|" + Field();
        Queue(Frame(payload), !(n & 0x80));
        break;
      }
      case 2: {  // a LIST reply
        const std::uint8_t hold = in_.Byte();
        Queue(Frame("LIST|" + ListRows()), !(hold & 1));
        break;
      }
      case 3: {  // raw bytes
        const std::uint8_t n = in_.Byte();
        Queue(in_.Bytes(n % 64), !(n & 0x80));
        break;
      }
      case 4: {  // a piece of what waits to be sent
        const std::size_t n = std::min<std::size_t>(in_.Byte() % 32 + 1, outbox_.size());
        w_.peer.Send(std::string_view(outbox_).substr(0, n));
        outbox_.erase(0, n);
        break;
      }
      case 5:
        AutoReply();
        break;
      case 6:
        w_.peer.Cut(in_.Byte() % 3);
        break;
      case 7:  // a keep-alive token, alone in its delivery
        Flush();
        Settle(kDialogTurns);
        w_.peer.Send(session::kPing);
        break;
      case 8: {  // a press on a row (or beside the rows)
        const std::uint8_t b = in_.Byte();
        const int row = static_cast<int>(in_.Byte() % (V().rows.size() + 2)) - 1;
        if (!Usable() || !V().lvFiles_enabled) break;
        if (b & 4) {
          session_->lvFiles_SelectRow(row);
        } else {
          session_->lvFiles_MouseDown(static_cast<session::MouseButton>(b % 3), row);
        }
        break;
      }
      case 9:
        if (Usable() && V().lvFiles_enabled) session_->lvFiles_DblClick();
        break;
      case 10: {
        const auto key = static_cast<session::ListKey>(in_.Byte() % 6);
        if (Usable() && V().lvFiles_enabled) session_->lvFiles_KeyDown(key);
        break;
      }
      case 11:
        if (Usable() && V().dcbUp.enabled) session_->dcbUp_Click();
        break;
      case 12:
        if (Usable() && V().dcbRefresh.enabled) session_->dcbRefresh_Click();
        break;
      case 13:
      case 14: {  // new folder, rename: names for the dialog
        ui_.names.clear();
        const std::uint8_t b = in_.Byte();
        for (int i = 0; i <= b % 3; ++i) {
          const std::uint8_t c = in_.Byte();
          ui_.names.push_back(c == 0xff ? std::nullopt
                                        : std::optional<std::string>(in_.Pick(kFolderNames)));
        }
        if (op == 13 && Usable() && V().dcbNewFolder.enabled) session_->dcbNewFolder_Click();
        if (op == 14 && Usable() && V().dcbRename.enabled) session_->dcbRename_Click();
        break;
      }
      case 15:
        ui_.answers.push_back(in_.Byte() & 1 ? MessageAnswer::kYes : MessageAnswer::kNo);
        if (Usable() && V().dcbDelete.enabled) session_->dcbDelete_Click();
        break;
      case 16:
        if (Usable() && V().lnkDF.visible) session_->lnkDF_Click();
        break;
      case 17: {  // download the selected row
        const std::uint8_t b = in_.Byte();
        ui_.save_file =
            b % 7 == 6
                ? std::nullopt
                : std::optional<std::string>((w_.scratch.target / kSaveNames[b % 7]).string());
        ui_.exists_answers.push_back(in_.Pick(kExistsAnswers));
        if (!Usable() || !V().dcbDownload.enabled) break;
        const int row = V().selected_row;
        if (row >= 0 && row < static_cast<int>(V().rows.size())) {
          download_size_ = V().rows.ByteSize(static_cast<std::size_t>(row));
        }
        const bool was_active = session_->TransferActive();
        session_->dcbDownload_Click();
        if (!was_active && session_->TransferActive() && ui_.save_file) {
          download_path_ = *ui_.save_file;
          download_expected_ = download_size_;
        }
        break;
      }
      case 18: {  // upload a scratch file (an empty box asks the open dialog)
        const std::uint8_t b = in_.Byte();
        const std::string path = (w_.scratch.upload / kUploadFiles[b % 8].name).string();
        ui_.open_file = b & 0x10 ? std::nullopt : std::optional<std::string>(path);
        ui_.exists_answers.push_back(in_.Pick(kExistsAnswers));
        if (!Usable() || !V().dcbUpload.enabled) break;
        if (!V().txtUpload.locked) session_->SetUploadText(b & 8 ? std::string() : path);
        session_->dcbUpload_Click();
        break;
      }
      case 19:
        if (session_->Progress().visible) session_->cmdCancel_Click();
        break;
      case 20:  // time passes: up to about five minutes
        LetTimePass(std::chrono::milliseconds(in_.Word()) * (in_.Byte() % 8 + 1));
        break;
      case 21: {  // a local file where a download goes
        const std::uint8_t b = in_.Byte();
        if (session_->TransferActive()) break;  // not the file being written
        std::ofstream(w_.scratch.target / kSaveNames[b % 4], std::ios::binary)
            << std::string(in_.Byte() % 32, 'L');
        break;
      }
      case 22:
        ui_.answers.push_back(in_.Pick(kAnswers));
        break;
      case 23:
        ui_.exists_answers.push_back(in_.Pick(kExistsAnswers));
        break;
      case 24:
        ArmDialog();
        break;
      default: {  // a run of download data
        const std::size_t n = static_cast<std::size_t>(in_.Byte()) * 16;
        Queue(std::string(n, 'd'), true);
        break;
      }
    }
  }

  void Check() {
    const session::MainViewState& v = V();
    const std::size_t rows = v.rows.size();
    if (v.selected_row < -1 || v.selected_row >= static_cast<int>(rows)) {
      Fail("selected row out of range");
    }
    if (session_->RowSizes().size() != rows || session_->RowStamps().size() != rows) {
      Fail("row slots differ from the rows");
    }
    for (std::size_t i = 0; i < rows; ++i) {
      const session::ListItemView item = v.rows[i];
      if (item.name != v.rows.Name(i) || item.is_folder != v.rows.IsFolder(i)) {
        Fail("a row reads differently field by field");
      }
      if (v.rows.ByteSize(i) < 0) Fail("a row has a negative size");
      const std::string stamp = v.rows.Stamp(i);
      // Out-of-range fields carry over (see ChangeFileDateTime): 14 digits is usable.
      if (!stamp.empty() && !support::ParseStamp(stamp)) Fail("a row keeps an unusable stamp");
    }
    if (v.dcbDownload.enabled) {
      if (v.selected_row < 0 || v.rows.IsFolder(static_cast<std::size_t>(v.selected_row))) {
        Fail("download enabled without a selected file row");
      }
    }
    const bool transfer = session_->TransferActive();
    if (session_->Progress().visible && !transfer) Fail("progress window without a transfer");
    const auto client = session_->ClientState();
    if (client == net::SocketState::kClosed &&
        session_->RedirState() == net::SocketState::kClosed) {
      if (transfer) Fail("transfer active without a connection");
      if (!v.window_enabled) Fail("window disabled without a connection");
    }
    if (client == net::SocketState::kConnected && w_.peer.Connected() && requests_.valid &&
        !transfer && !v.window_enabled && !requests_.AnyBlocking()) {
      Fail("window disabled with no request outstanding and no transfer");
    }
    // Only an upload whose every byte went out waits, hidden, for UPLOADOK.
    if (transfer && !session_->Progress().visible && client == net::SocketState::kConnected &&
        w_.peer.Connected() && requests_.valid && requests_.upload_expected >= 0 &&
        requests_.upload_bytes != requests_.upload_expected) {
      Fail("an upload sent another number of bytes than it announced");
    }
  }
  /// A finished download holds exactly the listed size.
  void CheckDownloadedFile() const {
    std::error_code ec;
    const auto size = fs::file_size(download_path_, ec);
    if (ec || static_cast<std::int64_t>(size) != download_expected_) {
      Fail("a finished download does not have the listed size");
    }
  }
  void CheckFiles() const {
    if (w_.scratch.Listing() != w_.scratch.expected) {
      Fail("a file was written outside the download folder");
    }
  }

  World& w_;
  Script in_;
  ScriptUi ui_;
  ScriptLog log_;
  Facts facts_;
  Requests requests_;
  std::string outbox_;
  std::int64_t download_size_ = 0;
  std::string download_path_;  ///< the save path of the running download
  std::int64_t download_expected_ = 0;
  const char* last_op_ = "";
  std::unique_ptr<session::FolderSession> session_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  World& world = TheWorld();
  Run run(world, data, size);
  run.Go();
  return 0;
}
