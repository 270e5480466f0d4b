#include "session/folder_session.h"

#include <algorithm>
#include <utility>

#include "session/browse_rules.h"
#include "session/protocol.h"
#include "session/window_texts.h"
#include "support/error.h"
#include "support/text.h"

namespace session {
namespace {

constexpr std::chrono::milliseconds kKeepAliveInterval{60000};
constexpr std::chrono::milliseconds kAutoConnectInterval{1};
// The chunk chain of an upload is unwound every 200 nested sends by a timer
// tick from a fresh event. The loop runs a 0 ms timer on its next turn, which
// unwinds the nesting just as well without idling a millisecond each time.
constexpr std::chrono::milliseconds kSendInterval{0};
constexpr std::chrono::milliseconds kSpeedInterval{975};
constexpr std::chrono::milliseconds kAnimationInterval{500};
constexpr int kSpeedSamples = 20;
// The silence bound is counted in this many ticks.
constexpr int kSilenceTicks = 10;

}  // namespace

FolderSession::FolderSession(net::EventLoop& loop, SessionUi& ui, SessionLog& log,
                             ComputerFacts& facts, SessionConfig config)
    : loop_(loop),
      ui_(ui),
      log_(log),
      facts_(facts),
      config_(std::move(config)),
      tmrKeepAlive_(loop, kKeepAliveInterval, [this] { tmrKeepAlive_Timer(); }),
      tmrAdminAutoConnect_(loop, kAutoConnectInterval, [this] { tmrAdminAutoConnect_Timer(); }),
      reader_(FrameReader::Tokens::kFramesOnly),
      tmrSend_(loop, kSendInterval, [this] { tmrSend_Timer(); }),
      tmrProgress_(loop,
                   std::chrono::milliseconds(
                       config_.progress_refresh_rate > 0 ? config_.progress_refresh_rate : 400),
                   [this] { UpdateProgress(); }),
      tmrSpeed_(loop, kSpeedInterval, [this] { tmrSpeed_Timer(); }),
      tmrAnimation_(loop, kAnimationInterval, [this] { tmrAnimation_Timer(); }),
      tmrSilence_(loop,
                  std::chrono::milliseconds(std::max(config_.silence_bound / kSilenceTicks, 1)),
                  [this] { tmrSilence_Timer(); }),
      dialogs_open_(std::make_shared<int>(0)),
      alive_(std::make_shared<bool>(true)) {
  if (config_.chunk_size < 1) config_.chunk_size = 6144;
  speed_calc_.SetSamples(kSpeedSamples);

  smClient_.OnConnect = [this] { smClient_Connect(); };
  smClient_.OnDataArrival = [this](std::int64_t total) { smClient_DataArrival(total); };
  smClient_.OnCloseSck = [this] { smClient_CloseSck(); };
  smClient_.OnError = [this](net::SocketErrorEvent& e) { smClient_Error(e); };
  smClient_.OnSendComplete = [this] { smClient_SendComplete(); };
  smRedir_.OnConnect = [this] { smRedir_Connect(); };
  smRedir_.OnDataArrival = [this](std::int64_t total) { smRedir_DataArrival(total); };
  smRedir_.OnCloseSck = [this] { smRedir_CloseSck(); };
  smRedir_.OnError = [this](net::SocketErrorEvent& e) { smRedir_Error(e); };

  // Texts the window is created with.
  view_.window_caption = texts::kWindowCaption;
  view_.dcbProxy.tooltip = texts::kDcbProxyTooltip;
  view_.lnkDF.caption = texts::kLnkDFCaption;
  view_.lnkDF.icon_key = "imgGoToDF";
  view_.dcbUp.tooltip = texts::kDcbUpTooltip;
  view_.dcbRefresh.tooltip = texts::kDcbRefreshTooltip;
  view_.dcbNewFolder.tooltip = texts::kDcbNewFolderTooltip;
  view_.dcbRename.tooltip = texts::kDcbRenameTooltip;
  view_.dcbDelete.tooltip = texts::kDcbDeleteTooltip;
  view_.dcbDownload.caption = texts::kDcbDownloadCaption;
  view_.dcbDownload.tooltip = texts::kDcbDownloadTooltip;
  view_.lblUploadPrompt.caption = texts::kLblUploadPrompt;
  view_.dcbBrowse.caption = texts::kDcbBrowseCaption;
  view_.dcbBrowse.tooltip = texts::kDcbBrowseTooltip;
  view_.dcbUpload.caption = texts::kDcbUploadCaption;
  view_.dcbUpload.tooltip = texts::kDcbUploadTooltip;
  view_.lblCleanupWarning.visible = false;
  if (config_.auto_connect) {
    view_.chkSaveLogin_enabled = false;
    for (EditView* box : {&view_.txtID, &view_.txtPassword}) {
      box->locked = true;
      box->background = BoxBackground::kButtonFace;
    }
  }
  ResetToDisconnected();
  view_.focus_id_requested = false;
}

FolderSession::~FolderSession() {
  *alive_ = false;
  // Events of a socket being torn down must not reach a half-destroyed session.
  for (net::SocketMaster* s : {&smClient_, &smRedir_}) {
    s->OnConnect = nullptr;
    s->OnDataArrival = nullptr;
    s->OnCloseSck = nullptr;
    s->OnError = nullptr;
    s->OnSendComplete = nullptr;
    s->OnSendProgress = nullptr;
    s->CloseSck();
  }
}

void FolderSession::Changed() {
  if (observer_) observer_();
}

void FolderSession::RowsAboutToChange(RowsChange::Kind kind, int first, int count) {
  if (rows_observer_) rows_observer_->RowsAboutToChange({kind, first, count});
}

void FolderSession::RowsChanged(RowsChange::Kind kind, int first, int count) {
  if (kind == RowsChange::Kind::kReset) ++view_.rows_generation;
  if (rows_observer_) rows_observer_->RowsChanged({kind, first, count});
}

void FolderSession::SetProxy(std::int32_t type, std::string server, std::int32_t port) {
  config_.proxy_type = type;
  config_.proxy_server = std::move(server);
  config_.proxy_port = port;
}

void FolderSession::SetIdText(std::string text) {
  view_.txtID.text = std::move(text);
  Changed();
}

void FolderSession::SetPasswordText(std::string text) {
  // A pasted password may carry line breaks; they are never part of it.
  std::string::size_type at;
  while ((at = text.find("\r\n")) != std::string::npos) text.erase(at, 2);
  view_.txtPassword.text = std::move(text);
  Changed();
}

void FolderSession::SetUploadText(std::string text) {
  view_.txtUpload.text = std::move(text);
  Changed();
}

void FolderSession::SetBusy(bool busy) {
  view_.window_enabled = !busy;
  view_.cursor = busy ? Cursor::kHourglass : Cursor::kNormal;
  Changed();
}

void FolderSession::SendFrame(const std::string& frame) { smClient_.SendData(frame); }

void FolderSession::ShowCentered(const std::string& text, MessageIcon icon, MessageButtons buttons,
                                 const std::string& title) {
  const auto dialog = DialogOpen();
  ui_.ShowMessage(text, icon, buttons, title);
}

void FolderSession::ShowProtocolVersion() {
  ShowCentered(
      std::string(texts::kProtocolVersionCaption) + ": " + std::to_string(kProtocolVersion),
      MessageIcon::kInformation);
}

void FolderSession::ShowConnectionLost(bool dealers) {
  ShowCentered(std::string("Χάθηκε η σύνδεση με ") +
                   (dealers ? "το χώρο συνεργατών" : "τον προσωπικό χώρο") + ".",
               MessageIcon::kCritical);
}

bool FolderSession::AnswerApplies(std::uint64_t resets_before) {
  if (resets_ == resets_before) return true;
  if (smClient_.State() != net::SocketState::kConnected) ShowConnectionLost(in_dealers_folder_);
  return false;
}

bool FolderSession::CheckConnected() {
  if (smClient_.State() == net::SocketState::kConnected) return true;
  ShowConnectionLost(in_dealers_folder_);
  ResetToDisconnected();
  return false;
}

void FolderSession::ResetToDisconnected() {
  ++resets_;
  smClient_.CloseSck();
  smRedir_.CloseSck();
  tmrSend_.SetEnabled(false);
  tmrKeepAlive_.SetEnabled(false);
  tmrSilence_.SetEnabled(false);
  ui_.CloseDialogs();
  UnloadProgress(false);
  ResetTransfers();

  view_.dcbConnect.caption = texts::kDcbConnectCaption;
  view_.dcbConnect.tooltip = texts::kDcbConnectTooltip;
  view_.dcbConnect.is_default = true;
  view_.dcbConnect.image_key = "disconnected";
  view_.window_caption = texts::kWindowCaption;

  for (ButtonView* b : {&view_.dcbUp, &view_.dcbNewFolder, &view_.dcbRename, &view_.dcbDelete,
                        &view_.dcbDownload, &view_.dcbRefresh}) {
    b->enabled = false;
  }
  SetUploadControls(false);

  reader_.Reset();
  aborting_ = false;
  in_dealers_folder_ = false;
  reconnect_pending_ = false;
  login_chain_pending_ = false;
  login_time_.clear();
  over_quota_warning_ = false;
  cleanup_notice_shown_ = false;
  location_.links.Clear();
  location_.link_target.clear();
  location_.link_display_prefix.clear();
  used_bytes_ = 0;
  quota_bytes_ = 0;

  view_.lvFiles_enabled = false;
  RowsAboutToChange(RowsChange::Kind::kReset, 0, 0);
  view_.rows.clear();
  view_.selected_row = -1;
  RowsChanged(RowsChange::Kind::kReset, 0, 0);
  view_.lblPath.caption.clear();

  if (!config_.auto_connect) {
    for (EditView* box : {&view_.txtID, &view_.txtPassword}) {
      box->locked = false;
      box->background = BoxBackground::kWindow;
    }
  }
  view_.dcbProxy.enabled = true;
  ShowUsagePie(false);
  view_.lblCleanupWarning.visible = false;
  view_.lnkDF.visible = false;

  view_.window_enabled = true;
  Layout();
  view_.cursor = Cursor::kNormal;
  view_.focus_id_requested = true;
  ++view_.focus_id_generation;
  Changed();
}

std::vector<std::string> FolderSession::PcInfoFields(ComputerFacts& facts,
                                                     const std::string& client_version) {
  constexpr double kMegabyte = 1024.0 * 1024.0;
  const auto megabytes = [&](std::int64_t bytes) {
    return std::to_string(
        static_cast<std::int64_t>(support::RoundHalfEven(static_cast<double>(bytes) / kMegabyte)));
  };
  return {facts.OsText(), facts.CpuName(), megabytes(facts.TotalRamBytes()),
          megabytes(facts.FreeDiskBytes()), client_version};
}

void FolderSession::StartSilenceWatch() {
  wire_activity_ = false;
  silent_ticks_ = 0;
  tmrSilence_.SetEnabled(config_.silence_bound > 0);
}

void FolderSession::tmrSilence_Timer() {
  if (view_.window_enabled || *dialogs_open_ > 0 || wire_activity_) {
    wire_activity_ = false;
    silent_ticks_ = 0;
    return;
  }
  if (++silent_ticks_ < kSilenceTicks) return;
  log_.WriteLog("Ο διακομιστής δεν αποκρίνεται. Κλείσιμο σύνδεσης.");
  const bool dealers = in_dealers_folder_;
  ResetToDisconnected();
  ShowConnectionLost(dealers);
}

std::shared_ptr<void> FolderSession::DialogOpen() {
  ++*dialogs_open_;
  std::shared_ptr<int> count = dialogs_open_;
  return std::shared_ptr<void>(nullptr, [count](void*) { --*count; });
}

}  // namespace session
