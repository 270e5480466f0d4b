#include "cli/cli_client.h"

#include <cstdio>
#include <filesystem>

#include "net/dispatch.h"
#include "support/error.h"
#include "support/text.h"

#ifndef VAULTLINE_PARAMETERS_HOST
#define VAULTLINE_PARAMETERS_HOST "params.vaultline.invalid"
#endif

namespace cli {
namespace {

using namespace std::chrono_literals;

constexpr const char* kDisconnectCaption = "Αποσύνδεση";
constexpr const char* kUpRow = "..";
/// A transfer whose progress has not moved for this long is given up.
constexpr auto kStallTimeout = 120s;

/// Sets the socket layer's loop for the life of the client.
class LoopScope {
 public:
  explicit LoopScope(net::EventLoop& loop) { net::SetEventLoop(&loop); }
  ~LoopScope() { net::SetEventLoop(nullptr); }
};

}  // namespace

const char* CliClient::ParametersHost() { return VAULTLINE_PARAMETERS_HOST; }

CliClient::CliClient(CliOptions options, std::string password, std::ostream& out, std::ostream& err,
                     bool terminal)
    : options_(std::move(options)),
      password_(std::move(password)),
      out_(out),
      err_(err),
      log_(logger_, err),
      ui_(err, options_.existing, terminal) {
  logger_.SetDebugLevel(options_.debug);
  logger_.SetErrorBox([this](const std::string& text) { ui_.ShowErrorBox(text); });
}

CliClient::~CliClient() = default;

session::SessionConfig CliClient::MakeConfig() const {
  session::SessionConfig config;
  config.parameters_host = ParametersHost();
  if (options_.server) {
    config.server_name = options_.server->host;
    config.server_port = options_.server->port;
  } else if (options_.proxy) {
    config.proxy_type = 1;
    config.proxy_server = options_.proxy->host;
    config.proxy_port = options_.proxy->port;
  }
  config.client_version = "0.01.0";
  return config;
}

ExitCode CliClient::Run() {
  LoopScope scope(loop_);
  ExitCode code = ExitCode::kConnection;
  try {
    session_ = std::make_unique<session::FolderSession>(loop_, ui_, log_, facts_, MakeConfig());
    code = LogIn();
    if (code == ExitCode::kOk && options_.dealers) code = SwitchToDealers();
    if (code == ExitCode::kOk) code = RunCommand();
    ui_.EndProgress();
    if (Connected() && !session_->TransferActive()) session_->dcbConnect_Click();  // log out
    loop_.RunUntil([] { return false; }, 10ms);  // let the close go out
  } catch (const support::Error& e) {
    ui_.Note("[" + e.Source() + "] " + e.Description());
    code = ExitCode::kRefused;
  } catch (const std::exception& e) {
    ui_.Note(e.what());
    code = ExitCode::kRefused;
  }
  session_.reset();
  return code;
}

// ---- Waiting ----

bool CliClient::Connected() const {
  return session_->ClientState() == net::SocketState::kConnected &&
         session_->View().dcbConnect.caption == kDisconnectCaption;
}

bool CliClient::Idle() const {
  return session_->View().window_enabled && !session_->TransferActive() &&
         !session_->Progress().visible;
}

bool CliClient::Wait(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto now = Clock::now();
    if (now >= deadline) return done();
    const auto slice = std::min<std::chrono::milliseconds>(
        250ms, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
    if (loop_.RunUntil([&] { return done() || !Connected() || ui_.CloseRequested(); }, slice))
      return true;
    ui_.DrawProgress(session_->Progress());
  }
}

ExitCode CliClient::Outcome() const {
  if (ui_.ConnectionFailures() > 0) return ExitCode::kConnection;
  if (ui_.Refusals() > 0 || ui_.ExistsRefused() || ui_.CloseRequested()) return ExitCode::kRefused;
  if (ui_.NameRefused()) return ExitCode::kUsage;
  if (!Connected()) return ExitCode::kConnection;
  return ExitCode::kOk;
}

ExitCode CliClient::WaitIdle() {
  if (!Wait([this] { return Idle(); }, reply_timeout_)) {
    ui_.Note("no answer from the server");
    return ExitCode::kConnection;
  }
  const ExitCode code = Outcome();
  if (code == ExitCode::kConnection && ui_.ConnectionFailures() == 0)
    ui_.Note("the server closed the connection");
  return code;
}

ExitCode CliClient::WaitTransfer() {
  std::string last_progress;
  auto last_move = Clock::now();
  for (;;) {
    if (Wait([this] { return Idle(); }, 1s)) break;
    const auto& progress = session_->Progress();
    const std::string now_progress =
        progress.progress_text + "|" + std::to_string(progress.percent);
    if (now_progress != last_progress) {
      last_progress = now_progress;
      last_move = Clock::now();
    } else if (Clock::now() - last_move > kStallTimeout) {
      ui_.EndProgress();
      ui_.Note("the transfer stalled");
      return ExitCode::kConnection;
    }
  }
  ui_.EndProgress();
  const ExitCode code = Outcome();
  if (code != ExitCode::kOk) {
    if (code == ExitCode::kConnection && ui_.ConnectionFailures() == 0)
      ui_.Note("the connection was lost during the transfer");
    return code;
  }
  if (ui_.Completions() == 0 && !ui_.AlreadyComplete()) {
    ui_.Note("the transfer did not complete");
    return ExitCode::kRefused;
  }
  return ExitCode::kOk;
}

// ---- Log-in and navigation ----

ExitCode CliClient::LogIn() {
  session_->SetIdText(options_.user);
  session_->SetPasswordText(password_);
  session_->dcbConnect_Click();
  // Commands wait for the end of the log-in chain: its replies send requests
  // of their own, which must not fall into the middle of a command's exchange.
  const bool in = loop_.RunUntil(
      [this] {
        return ui_.CloseRequested() || (Connected() && session_->LoggedIn()) ||
               (session_->View().dcbConnect.caption != "Άκυρο" && !Connected());
      },
      reply_timeout_);
  if (!in) {
    ui_.Note("no answer from the server");
    return ExitCode::kConnection;
  }
  if (!Connected() || ui_.CloseRequested()) {
    const ExitCode code = Outcome();
    // Closed without a message of the session's: say what happened.
    if (code == ExitCode::kOk || (code == ExitCode::kConnection && ui_.ConnectionFailures() == 0)) {
      ui_.Note("the connection ended during the log-in");
      return ExitCode::kConnection;
    }
    return code;
  }
  folder_.clear();
  return WaitIdle();
}

ExitCode CliClient::SwitchToDealers() {
  if (!session_->View().lnkDF.visible) {
    ui_.Note("this account has no access to the dealers folder");
    return ExitCode::kRefused;
  }
  session_->lnkDF_Click();
  if (!Wait([this] { return session_->InDealersFolder() && Idle(); }, reply_timeout_)) {
    ui_.Note("no answer from the server");
    return ExitCode::kConnection;
  }
  return Outcome();
}

std::string CliClient::CurrentFolder() const { return JoinRemotePath(folder_); }

int CliClient::FindRow(const std::string& name) const {
  if (name == kUpRow) return -1;
  const auto& rows = session_->View().rows;
  int other_case = -1;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string row_name = rows.Name(i);
    if (row_name == name) return static_cast<int>(i);
    if (other_case < 0 && row_name != kUpRow && support::EqualsIgnoreCase(row_name, name))
      other_case = static_cast<int>(i);
  }
  return other_case;
}

ExitCode CliClient::OpenFolders(const std::vector<std::string>& names) {
  for (const auto& name : names) {
    const int row = FindRow(name);
    if (row < 0 || !session_->View().rows.IsFolder(static_cast<std::size_t>(row))) {
      ui_.Note("no folder named " + name + " in " + CurrentFolder());
      return ExitCode::kRefused;
    }
    const std::string real_name = session_->View().rows.Name(static_cast<std::size_t>(row));
    session_->lvFiles_SelectRow(row);
    session_->lvFiles_KeyDown(session::ListKey::kEnter);
    const ExitCode code = WaitIdle();
    if (code != ExitCode::kOk) return code;
    folder_.push_back(real_name);
  }
  return ExitCode::kOk;
}

ExitCode CliClient::SelectTarget(int& row) {
  const std::vector<std::string> parent(options_.remote.begin(), options_.remote.end() - 1);
  if (const ExitCode code = OpenFolders(parent); code != ExitCode::kOk) return code;
  row = FindRow(options_.remote.back());
  if (row < 0) {
    ui_.Note("nothing named " + options_.remote.back() + " in " + CurrentFolder());
    return ExitCode::kRefused;
  }
  session_->lvFiles_SelectRow(row);
  return ExitCode::kOk;
}

// ---- Commands ----

ExitCode CliClient::RunCommand() {
  ui_.ResetOutcome();
  switch (options_.command) {
    case Command::kLs:
      return List();
    case Command::kGet:
      return Get();
    case Command::kPut:
      return Put();
    case Command::kMkdir:
      return MakeFolder();
    case Command::kMv:
      return Rename();
    case Command::kRm:
      return Delete();
    case Command::kUsage:
      return Usage();
  }
  return ExitCode::kUsage;
}

ExitCode CliClient::List() {
  std::vector<std::string> folders = options_.remote;
  int only_row = -1;
  if (!folders.empty()) {
    // A path whose last name is a file lists that file alone.
    const std::vector<std::string> parent(folders.begin(), folders.end() - 1);
    if (const ExitCode code = OpenFolders(parent); code != ExitCode::kOk) return code;
    const int row = FindRow(folders.back());
    if (row < 0) {
      ui_.Note("nothing named " + folders.back() + " in " + CurrentFolder());
      return ExitCode::kRefused;
    }
    if (session_->View().rows.IsFolder(static_cast<std::size_t>(row))) {
      if (const ExitCode code = OpenFolders({folders.back()}); code != ExitCode::kOk) return code;
    } else {
      only_row = row;
    }
  }
  const auto& rows = session_->View().rows;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (only_row >= 0 && static_cast<int>(i) != only_row) continue;
    const std::string name = rows.Name(i);
    if (name == kUpRow) continue;
    out_ << (rows.IsFolder(i) ? 'd' : 'f') << '\t' << rows.ByteSize(i) << '\t' << rows.Stamp(i)
         << '\t' << name << '\n';
  }
  out_.flush();
  return ExitCode::kOk;
}

ExitCode CliClient::Get() {
  int row = -1;
  if (const ExitCode code = SelectTarget(row); code != ExitCode::kOk) return code;
  const session::ListItemView item = session_->View().rows[static_cast<std::size_t>(row)];
  if (item.is_folder) {
    ui_.Note(item.name + " is a folder; get downloads files");
    return ExitCode::kRefused;
  }
  if (!session_->View().dcbDownload.enabled) {
    ui_.Note("this file cannot be downloaded here");
    return ExitCode::kRefused;
  }
  std::filesystem::path local = options_.local.empty() ? item.name : options_.local;
  std::error_code ec;
  if (std::filesystem::is_directory(local, ec)) local /= item.name;
  ui_.SetSaveFileAnswer(local.string());
  session_->DownloadFile(local.string());
  return WaitTransfer();
}

ExitCode CliClient::Put() {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(options_.local, ec)) {
    ui_.Note("no file to upload at " + options_.local);
    return ExitCode::kUsage;
  }
  if (const ExitCode code = OpenFolders(options_.remote); code != ExitCode::kOk) return code;
  if (!session_->View().dcbUpload.enabled) {
    ui_.Note("uploads are not possible in " + CurrentFolder());
    return ExitCode::kRefused;
  }
  const std::string local = std::filesystem::absolute(options_.local, ec).string();
  ui_.SetOpenFileAnswer(local);
  session_->UploadFile(local);
  return WaitTransfer();
}

ExitCode CliClient::MakeFolder() {
  const std::vector<std::string> parent(options_.remote.begin(), options_.remote.end() - 1);
  if (const ExitCode code = OpenFolders(parent); code != ExitCode::kOk) return code;
  if (!session_->View().dcbNewFolder.enabled) {
    ui_.Note("folders cannot be created in " + CurrentFolder());
    return ExitCode::kRefused;
  }
  ui_.SetNameAnswer(options_.remote.back());
  session_->dcbNewFolder_Click();
  return WaitIdle();
}

ExitCode CliClient::Rename() {
  int row = -1;
  if (const ExitCode code = SelectTarget(row); code != ExitCode::kOk) return code;
  if (!session_->View().dcbRename.enabled) {
    ui_.Note(options_.remote.back() + " cannot be renamed here");
    return ExitCode::kRefused;
  }
  ui_.SetNameAnswer(options_.new_name);
  session_->dcbRename_Click();
  return WaitIdle();
}

ExitCode CliClient::Delete() {
  int row = -1;
  if (const ExitCode code = SelectTarget(row); code != ExitCode::kOk) return code;
  if (!session_->View().dcbDelete.enabled) {
    ui_.Note(options_.remote.back() + " cannot be deleted here");
    return ExitCode::kRefused;
  }
  session_->dcbDelete_Click();
  return WaitIdle();
}

ExitCode CliClient::Usage() {
  const std::int64_t used = session_->UsedBytes();
  const std::int64_t quota = session_->QuotaBytes();
  double percent = 0;
  if (quota > 0) {
    percent =
        support::RoundHalfEven(static_cast<double>(used) * 100.0 / static_cast<double>(quota), 1);
  } else if (used > 0) {
    percent = 100;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", percent);
  out_ << used << '\t' << quota << '\t' << text << '\n' << std::flush;
  return ExitCode::kOk;
}

}  // namespace cli
