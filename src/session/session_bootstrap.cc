#include "session/folder_session.h"

#include "session/parameters_file.h"
#include "support/codepage.h"
#include "support/text.h"

namespace session {

void FolderSession::WriteDisconnectLine() {
  log_.WriteLog(in_dealers_folder_ ? "Αποσύνδεση από το χώρο συνεργατών"
                                   : "Αποσύνδεση από τον προσωπικό χώρο");
}

void FolderSession::dcbConnect_Click() {
  try {
    if (smClient_.State() != net::SocketState::kClosed ||
        smRedir_.State() != net::SocketState::kClosed) {
      WriteDisconnectLine();
      ResetToDisconnected();
      return;
    }
    view_.txtID.text = std::string(support::Trim(view_.txtID.text));
    if (view_.txtID.text.empty()) {
      Changed();
      ui_.ShowBalloonTip(EditBox::kId, "Δεν έχει οριστεί ID χρήστη", "Ελλιπή στοιχεία",
                         BalloonIcon::kWarning);
      return;
    }
    if (view_.txtPassword.text.empty()) {
      Changed();
      ui_.ShowBalloonTip(EditBox::kPassword, "Δεν έχει οριστεί κωδικός πρόσβασης",
                         "Ελλιπή στοιχεία", BalloonIcon::kWarning);
      return;
    }

    location_.current_path = "\\";
    in_dealers_folder_ = false;
    view_.dcbConnect.caption = "Άκυρο";
    view_.dcbConnect.tooltip = "Ακύρωση της διαδικασίας σύνδεσης";
    view_.dcbConnect.is_default = false;
    view_.dcbConnect.image_key = "connected";
    view_.cursor = Cursor::kWorkingInBackground;
    for (EditView* box : {&view_.txtID, &view_.txtPassword}) {
      box->locked = true;
      box->background = BoxBackground::kButtonFace;
    }
    view_.dcbProxy.enabled = false;
    Changed();
    StartSilenceWatch();

    if (!config_.server_name.empty() && config_.server_port != 0) {
      log_.WriteLog("Σύνδεση με το διακομιστή προσωπικού χώρου");
      smClient_.Connect(config_.server_name, config_.server_port);
      return;
    }
    const std::string address =
        log_.DebugLevel() >= 1 ? "[http://" + config_.parameters_host + "/webftp/pf.txt]" : "";
    switch (config_.proxy_type) {
      case 0:
        log_.WriteLog("Ανάκτηση παραμέτρων σύνδεσης " + address);
        smRedir_.Connect(config_.parameters_host, config_.parameters_port);
        break;
      case 1:
        log_.WriteLog("Ανάκτηση παραμέτρων σύνδεσης μέσω proxy " + address);
        smRedir_.Connect(config_.proxy_server, config_.proxy_port);
        break;
      default:
        log_.ShowError("Μη έγκυρος τύπος διακομιστή μεσολάβησης.", "dcbConnect_Click");
        ui_.CloseMainWindow();
        break;
    }
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "dcbConnect_Click");
    // Neither socket is open now: leave the window idle rather than showing
    // a connection attempt that is not happening.
    ResetToDisconnected();
  }
}

void FolderSession::smRedir_Connect() {
  wire_activity_ = true;
  try {
    smRedir_.SendData(BuildParametersRequest(config_.parameters_host, config_.proxy_type == 1));
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "smRedir_Connect");
    ResetToDisconnected();
    ShowConnectFailure({});
  }
}

void FolderSession::smRedir_DataArrival(std::int64_t /*bytes_total*/) {
  wire_activity_ = true;
  std::string buffer;
  try {
    const ParametersResult peeked = ParseParametersResponse(smRedir_.ReceivedView());
    if (peeked.kind == ParametersResult::Kind::kIncomplete) return;
    smRedir_.GetData(buffer);
    smRedir_.CloseSck();
    const std::string buffer_text = support::Cp1253ToUtf8(buffer);
    log_.WriteLog(buffer_text, "smRedir_DataArrival", 2);

    const ParametersResult result = ParseParametersResponse(buffer);
    if (result.kind == ParametersResult::Kind::kNotFound) {
      log_.WriteLog("Το αρχείο παραμέτρων σύνδεσης δεν υπάρχει.");
      ResetToDisconnected();
      ShowConnectFailure({});
      return;
    }
    if (log_.DebugLevel() >= 1) log_.WriteLog("strTarget = \"" + result.body + "\"");
    if (result.kind == ParametersResult::Kind::kEmptyBody) {
      log_.WriteLog(
          "Προσοχή: Οι παράμετροι σύνδεσης έχουν φιλτραριστεί. Θα γίνει απόπειρα σύνδεσης με τις "
          "προεπιλεγμένες παραμέτρους.");
      config_.server_name = config_.parameters_host;
      config_.server_port = 443;
    } else if (result.kind == ParametersResult::Kind::kEndpoint) {
      config_.server_name = result.server;
      config_.server_port = result.port;
      log_.WriteLog("Σύνδεση με το διακομιστή προσωπικού χώρου (" + result.server + ":" +
                    std::to_string(result.port) + ")");
    } else {
      log_.ShowError(result.error, "smRedir_DataArrival:" + std::to_string(result.statement));
      log_.WriteLog("strBuffer = \"" + buffer_text + "\"");
      ResetToDisconnected();
      ShowConnectFailure({});
      return;
    }
    smClient_.Connect(config_.server_name, config_.server_port);
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "smRedir_DataArrival:9");
    log_.WriteLog("strBuffer = \"" + support::Cp1253ToUtf8(buffer) + "\"");
    ResetToDisconnected();
    ShowConnectFailure({});
  }
}

void FolderSession::smRedir_Error(net::SocketErrorEvent& event) {
  log_.WriteLog("[smRedir] Σφάλμα: " + event.description);
  ResetToDisconnected();
  ShowConnectFailure({});
  event.cancel_display = true;
}

void FolderSession::smRedir_CloseSck() { smRedir_.CloseSck(); }

void FolderSession::ShowConnectFailure(const std::string& reason) {
  std::string text = "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.";
  if (!reason.empty()) text += "\r\n" + reason;
  ShowCentered(text, MessageIcon::kCritical);
}

}  // namespace session
