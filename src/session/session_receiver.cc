#include "session/folder_session.h"

#include "session/protocol.h"
#include "support/codepage.h"
#include "support/error.h"

namespace session {
namespace {

struct ErrorReply {
  std::string_view keyword;
  const char* log_line;  // nullptr: none
  const char* message;
  MessageIcon icon;
  bool disconnects;
};

// The error replies, each with its log line, message and whether it ends the session.
constexpr ErrorReply kErrorReplies[] = {
    {keyword::kNoLogin, "Λάθος ID χρήστη ή κωδικός πρόσβασης.",
     "Λάθος ID χρήστη ή κωδικός πρόσβασης.", MessageIcon::kCritical, true},
    {keyword::kLogin2, "Υπέρβαση ορίου ταυτόχρονων συνδέσεων.",
     "Έχετε υπερβεί το όριο ταυτόχρονων συνδέσεων.", MessageIcon::kExclamation, true},
    {keyword::kNoMore, "Ο διακομιστής δεν αποδέχεται νέες συνδέσεις.",
     "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.\r\n"
     "Αυτή τη στιγμή εκτελούνται εργασίες συντήρησης.",
     MessageIcon::kCritical, true},
    {keyword::kDirError, "Αδύνατη η προσπέλαση στο φάκελο του προσωπικού χώρου.",
     "Παρουσιάστηκε σφάλμα κατά το άνοιγμα του ριζικού φακέλου.", MessageIcon::kCritical, true},
    {keyword::kNoPermission, "Απαγορεύεται η πρόσβαση.",
     "Δεν έχετε επαρκή δικαιώματα για πρόσβαση στον προσωπικό χώρο.\r\n"
     "Αν πιστεύετε ότι το μήνυμα είναι εσφαλμένο, επικοινωνήστε με τη Norvane.",
     MessageIcon::kCritical, true},
    {keyword::kUnexpected, nullptr, "Απροσδόκητο σφάλμα", MessageIcon::kCritical, true},
    {keyword::kInUse, nullptr, "Αυτή τη στιγμή το αρχείο χρησιμοποιείται.",
     MessageIcon::kExclamation, false},
    {keyword::kFileNotFound, nullptr, "Το αρχείο δε βρέθηκε.", MessageIcon::kExclamation, false},
    {keyword::kDirExists, nullptr, "Ο φάκελος υπάρχει ήδη.", MessageIcon::kExclamation, false},
    {keyword::kFileExists, nullptr, "Το αρχείο υπάρχει ήδη.", MessageIcon::kExclamation, false},
};

}  // namespace

support::Error MalformedReply(std::string_view keyword) {
  return support::Error(13, "smClient_DataArrival",
                        "Type mismatch: malformed " + std::string(keyword) + " reply");
}

void FolderSession::smClient_DataArrival(std::int64_t /*bytes_total*/) {
  wire_activity_ = true;
  const auto alive = alive_;
  try {
    std::string_view waiting = smClient_.ReceivedView();
    // A keep-alive token travels alone: only a delivery that is exactly the token
    // counts (a token glued to other bytes is not one).
    const std::string_view head = waiting.substr(0, 5);
    if (head == kPing) {
      smClient_.Discard(static_cast<std::int64_t>(waiting.size()));
      smClient_.SendData(kPong);
      return;
    }
    if (head == kPong) {
      smClient_.Discard(static_cast<std::int64_t>(waiting.size()));
      return;
    }
    if (aborting_) return;  // the bytes stay queued until the socket is closed
    if (Downloading()) {
      if (!ReceiveRawDownload()) return;
      waiting = smClient_.ReceivedView();  // bytes after the file's end are messages
    }

    const bool frame_was_open = reader_.InFrame();
    const bool has_bar = waiting.find('|') != std::string_view::npos;
    reader_.Feed(waiting);
    smClient_.Discard(static_cast<std::int64_t>(waiting.size()));
    while (*alive) {
      const FrameReader::Result r = reader_.Next();
      if (r.status == FrameReader::Status::kNeedMore) return;
      if (r.status == FrameReader::Status::kMalformed) {
        // A first chunk without any "|" is dropped silently; a prefix that is not
        // a number (or announces more than the limit) is reported.
        if (!frame_was_open && !has_bar) {
          ResetToDisconnected();
        } else {
          ReportMalformed("Type mismatch: " + std::string(r.error));
        }
        return;
      }
      if (r.status != FrameReader::Status::kFrame) continue;
      DispatchFrame(reader_.TakePayload(r.payload));
      if (!*alive || Downloading()) return;
    }
  } catch (const support::Error& e) {
    if (!*alive) return;
    ReportMalformed(e.Description());
  }
}

void FolderSession::ReportMalformed(const std::string& description) {
  log_.ShowError(description, "smClient_DataArrival");
  ResetToDisconnected();
}

void FolderSession::DispatchFrame(std::string payload) {
  // The whole message is logged at level 2 only; a LIST reply can hold
  // megabytes, so it is not converted for a lower level.
  if (log_.DebugLevel() >= 2)
    log_.WriteLog(support::Cp1253ToUtf8(payload), "smClient_DataArrival", 2);
  const Payload p = SplitPayload(payload);
  const std::string_view kw = p.keyword;
  log_.WriteLog(support::Cp1253ToUtf8(kw), "smClient_DataArrival", 1);
  const std::string_view args = p.arguments;

  if (kw == keyword::kList) {
    // The rows keep the reply's own text: it is handed over, not copied.
    const std::size_t rows_at =
        args.empty() ? payload.size() : static_cast<std::size_t>(args.data() - payload.data());
    OnList(std::move(payload), rows_at);
  } else if (kw == keyword::kTotalSize) {
    OnTotalSize(args);
  } else if (kw == keyword::kLoginTime) {
    OnLoginTime(args);
  } else if (kw == keyword::kSchCleanupInfo) {
    OnSchCleanupInfo(args);
  } else if (kw == keyword::kLoginOk) {
    OnLoginOk(args);
  } else if (kw == keyword::kDealerOk) {
    OnDealerOk();
  } else if (kw == keyword::kNewDirOk) {
    OnNewDirOk();
  } else if (kw == keyword::kDeleteOk) {
    OnDeleteOk();
  } else if (kw == keyword::kRenameOk) {
    OnRenameOk();
  } else if (kw == keyword::kDoUpload) {
    OnDoUpload();
  } else if (kw == keyword::kUploadOk) {
    OnUploadOk();
  } else if (kw == keyword::kDoDownload) {
    OnDoDownload();
  } else {
    HandleErrorReply(kw);  // any other keyword is consumed and ignored
  }
}

bool FolderSession::HandleErrorReply(std::string_view kw) {
  if (kw == keyword::kProtocol) {
    log_.WriteLog("Ασυμφωνία πρωτοκόλλου επικοινωνίας.");
    ResetToDisconnected();
    const auto dialog = DialogOpen();
    const auto answer = ui_.ShowMessage(
        "Δεν είναι δυνατή η σύνδεση με τον προσωπικό χώρο.\r\n"
        "Απαιτείται νεότερη έκδοση του εργαλείου. Θέλετε να την κατεβάσετε τώρα;",
        MessageIcon::kExclamation, MessageButtons::kYesNo, {});
    if (answer == MessageAnswer::kYes) {
      ui_.OpenUrl("http://" + config_.parameters_host + "/downloads/cd/other/tools/" +
                  "Vaultline.exe");
      ui_.CloseMainWindow();
    }
    return true;
  }
  for (const ErrorReply& e : kErrorReplies) {
    if (kw != e.keyword) continue;
    if (e.log_line) log_.WriteLog(e.log_line);
    if (e.disconnects) {
      ResetToDisconnected();
    } else {
      EndTransferOnErrorReply(kw);
      view_.window_enabled = true;
      view_.cursor = Cursor::kNormal;
      Changed();
    }
    ShowCentered(e.message, e.icon);
    return true;
  }
  return false;
}

}  // namespace session
