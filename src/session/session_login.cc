#include "session/folder_session.h"

#include "app/crypto.h"
#include "session/protocol.h"
#include "session/window_texts.h"
#include "support/codepage.h"

namespace session {

void FolderSession::smClient_Connect() {
  wire_activity_ = true;
  aborting_ = false;
  LoginRequest login;
  login.version = std::to_string(kProtocolVersion);
  login.user_id = view_.txtID.text;
  login.scrambled_password = app::ScrambledPasswordField(view_.txtPassword.text);
  try {
    SendFrame(EncodeLogin(login));
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "smClient_Connect");
    ResetToDisconnected();
  }
}

void FolderSession::smClient_CloseSck() {
  // A transfer cut off by the server is reported once, as a lost connection;
  // otherwise a closing server resets the window silently.
  const bool transfer_was_active = TransferActive();
  const bool dealers = in_dealers_folder_;
  ResetToDisconnected();
  if (transfer_was_active) ShowConnectionLost(dealers);
}

void FolderSession::smClient_Error(net::SocketErrorEvent& event) {
  log_.WriteLog("[smClient] Σφάλμα: " + event.description);
  ResetToDisconnected();
  ShowConnectFailure({});
  event.cancel_display = true;
}

void FolderSession::OnLoginOk(std::string_view arguments) {
  const auto reply = ParseLoginOk(arguments);
  if (!reply) throw MalformedReply(keyword::kLoginOk);

  view_.dcbConnect.caption = "Αποσύνδεση";
  view_.lvFiles_enabled = true;
  view_.dcbRefresh.enabled = true;
  SetUploadControls(true);

  used_bytes_ = reply->used;
  quota_bytes_ = reply->quota;
  over_quota_warning_ = reply->over_quota_warning;
  UpdateUsageDisplay();
  ShowUsagePie(true);
  usage_total_wanted_ = false;

  ShowFolderSide(in_dealers_folder_);
  if (in_dealers_folder_) {
    // The connection was re-opened after an aborted transfer in the dealers
    // folder: switch back to it; DEALEROK sets the flag again and lists.
    SendFrame(EncodeKeyword(keyword::kDealersFolder));
    in_dealers_folder_ = false;
  } else {
    SendList();
  }
  view_.lnkDF.visible = reply->dealers;
  tmrKeepAlive_.SetEnabled(true);
  log_.WriteLog("Έγινε σύνδεση.");
  Changed();
}

void FolderSession::SendListFollowUp() {
  // The log-in time chain goes first: a Refresh or a folder switch made before
  // the first listing came must not put it off (the total then follows a later
  // listing), and a listing while the chain runs does not start it again.
  if (reconnect_pending_) {
    reconnect_pending_ = false;
    login_chain_pending_ = true;
    SendFrame(EncodeLoginTime({login_time_}));
  } else if (login_time_.empty() && !login_chain_pending_) {
    login_chain_pending_ = true;
    SendFrame(EncodeKeyword(keyword::kMyLoginTime));
  } else if (usage_total_wanted_) {
    SendFrame(EncodeKeyword(keyword::kTotalSize));
  }
}

void FolderSession::OnLoginTime(std::string_view arguments) {
  const auto time = ParseLoginTimeReply(arguments);
  if (!time) throw MalformedReply(keyword::kLoginTime);
  login_time_ = *time;
  SendFrame(EncodeKeyword(keyword::kSchCleanupInfo));
}

void FolderSession::OnSchCleanupInfo(std::string_view arguments) {
  const auto info = ParseCleanupInfo(arguments);
  if (!info) throw MalformedReply(keyword::kSchCleanupInfo);
  ShowCleanupNotice(info->days, info->interval);
  const auto fields = PcInfoFields(facts_, config_.client_version);
  SendFrame(EncodePcInfo({fields[0], fields[1], fields[2], fields[3], fields[4]}));
  login_chain_pending_ = false;
  view_.window_enabled = true;
  view_.cursor = Cursor::kNormal;
  Changed();
}

void FolderSession::ShowCleanupNotice(std::int32_t days, std::int32_t interval) {
  cleanup_notice_shown_ = days != 0;
  if (days == 0) return;
  view_.lblCleanupWarning.caption = "Προσοχή: Τα αρχεία των προσωπικών χώρων, παλιότερα των " +
                                    std::to_string(days) + " ημερών, διαγράφονται αυτόματα κάθε " +
                                    std::to_string(interval) + " ημέρες.";
  view_.lblCleanupWarning.visible = true;
  Layout();
  Changed();
}

void FolderSession::lnkDF_Click() {
  try {
    SetBusy(true);
    usage_total_wanted_ = true;
    location_.current_path = "\\";
    SendFrame(
        EncodeKeyword(in_dealers_folder_ ? keyword::kPersonalFolder : keyword::kDealersFolder));
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "lnkDF_Click");
    ResetToDisconnected();
  }
}

void FolderSession::ShowFolderSide(bool dealers) {
  view_.dcbConnect.tooltip =
      dealers ? "Αποσύνδεση από το χώρο συνεργατών" : "Αποσύνδεση από τον προσωπικό χώρο";
  // The link offers the other side.
  view_.lnkDF.caption = dealers ? "Μετάβαση στον προσωπικό χώρο" : texts::kLnkDFCaption;
  view_.lnkDF.icon_key = dealers ? "imgGoToPF" : "imgGoToDF";
}

void FolderSession::OnDealerOk() {
  const bool entering = !in_dealers_folder_;
  log_.WriteLog(entering ? "Μετάβαση στο χώρο συνεργατών" : "Μετάβαση στον προσωπικό χώρο");
  ShowFolderSide(entering);
  view_.window_caption = entering ? "Χώρος συνεργατών" : texts::kWindowCaption;
  in_dealers_folder_ = entering;
  ShowUsagePie(!entering);
  SetUploadControls(!entering);
  location_.link_target.clear();
  location_.link_display_prefix.clear();
  SendFrame(EncodeList({location_.current_path, false}));
  Changed();
}

void FolderSession::tmrKeepAlive_Timer() {
  if (++keep_alive_ticks_ < 5) return;
  keep_alive_ticks_ = 0;
  if (smClient_.State() != net::SocketState::kConnected || TransferActive()) return;
  try {
    smClient_.SendData(kPing);
  } catch (const support::Error& e) {
    log_.WriteLog("Error " + std::to_string(e.Number()) + ": " + e.Description(),
                  "tmrKeepAlive_Timer", 2);
    log_.WriteLog("Ο διακομιστής δεν αποκρίνεται. Κλείσιμο σύνδεσης.");
    ResetToDisconnected();
  }
}

void FolderSession::StartAutoConnect() { tmrAdminAutoConnect_.SetEnabled(true); }

void FolderSession::tmrAdminAutoConnect_Timer() {
  tmrAdminAutoConnect_.SetEnabled(false);
  dcbConnect_Click();
}

}  // namespace session
