#include <algorithm>

#include "session/browse_rules.h"
#include "session/dialog_requests.h"
#include "session/file_name_rules.h"
#include "session/file_times.h"
#include "session/folder_session.h"
#include "session/protocol.h"
#include "support/file_stamp.h"
#include "support/text.h"

namespace session {
void FolderSession::dcbBrowse_Click() {
  if (in_dealers_folder_) return;
  log_.WriteLog("FileOpenDialog()", "dcbBrowse_Click", 2);
  const auto alive = alive_;
  const std::uint64_t resets = resets_;
  const auto dialog = DialogOpen();
  const auto path = ui_.AskOpenFile(OpenFileRequest());
  if (!*alive || !path || !AnswerApplies(resets)) return;
  view_.txtUpload.text = *path;
  Changed();
}

void FolderSession::dcbUpload_Click() {
  if (support::TrimBlanks(view_.txtUpload.text).empty()) {
    dcbBrowse_Click();
    if (view_.txtUpload.text.empty()) return;
  }
  UploadFile(std::string(support::TrimBlanks(view_.txtUpload.text)));
}

void FolderSession::UploadFile(const std::string& local_path) {
  // One transfer at a time: the transfer state is a single slot.
  if (TransferActive()) return;
  if (!IsExistingFile(local_path)) {
    ShowCentered("Το αρχείο \"" + local_path + "\" δεν υπάρχει.", MessageIcon::kCritical);
    return;
  }
  // The remote name is the local one as it goes on the wire: a name the code
  // page would alter, or that the server's file system cannot hold, would
  // store (or resume onto) another file than the one chosen.
  const std::string name = LocalFileName(local_path);
  if (const auto problem = WindowsNameProblem(name)) {
    ui_.ShowBalloonTip(EditBox::kUpload, problem->text, problem->title, BalloonIcon::kError);
    return;
  }
  bool window_disabled = false;
  const auto alive = alive_;
  const std::uint64_t resets = resets_;
  try {
    transfer_file_.OpenFile(local_path, support::File::kGenericRead, support::File::kDenyNone,
                            false);
    file_size_ = transfer_file_.Size();
    transfer_file_.CloseFile();
    if (file_size_ == 0) {
      ShowCentered("Δε μπορείτε να ανεβάσετε αρχεία μηδενικού μεγέθους.",
                   MessageIcon::kExclamation);
      return;
    }

    // The same name in another letter case is the same remote file. Only file
    // rows count: a folder of that name is not a copy of the file.
    upload_row_index_ = 0;
    std::int64_t existing = 0;
    next_byte_ = 0;
    for (std::size_t i = 0; i < view_.rows.size(); ++i) {
      if (view_.rows.IsFolder(i) || !support::EqualsIgnoreCase(view_.rows.Name(i), name)) continue;
      const std::int64_t row_size = view_.rows.ByteSize(i);
      const ExistsAnswer answer = AskReplaceOrResume(local_path, name, file_size_, row_size, true);
      if (!*alive || !AnswerApplies(resets)) return;
      switch (answer) {
        case ExistsAnswer::kCancel:
          file_size_ = 0;
          return;
        case ExistsAnswer::kReplace:
          next_byte_ = 0;
          break;
        case ExistsAnswer::kContinue:
          next_byte_ = row_size;
          break;
      }
      existing = row_size;
      upload_row_index_ = static_cast<int>(i) + 1;
      break;
    }

    if (file_size_ + used_bytes_ - existing > quota_bytes_) {
      ShowCentered(file_size_ > quota_bytes_
                       ? "Το αρχείο είναι πολύ μεγάλο για τον προσωπικό χώρο. Δεν είναι δυνατή "
                         "η αποστολή του."
                       : "Ο ελεύθερος χώρος δεν επαρκεί για να ανεβάσετε το επιλεγμένο "
                         "αρχείο.\r\nΔιαγράψτε μερικά αρχεία και ξαναπροσπαθήστε.",
                   MessageIcon::kExclamation);
      file_size_ = 0;
      next_byte_ = 0;
      upload_row_index_ = 0;
      return;
    }
    if (!CheckConnected()) return;

    view_.window_enabled = false;
    window_disabled = true;
    log_.WriteLog("PrepareProgressForm()", "UploadFile", 2);
    local_file_ = local_path;
    upload_stamp_ = support::LastWriteStamp(local_path).value_or("");
    if (upload_stamp_.empty()) throw support::Error(53, "UploadFile", "File not found");
    PrepareProgressForm(true, local_path, location_.current_path + name);
    phase_ = TransferPhase::kUploadRequested;
    SendFrame(
        EncodeUpload({next_byte_ + 1, file_size_, location_.current_path + name, upload_stamp_}));
  } catch (const support::Error& e) {
    if (!*alive) return;
    if (e.Number() == support::File::ErrorBase + 32) {
      ShowCentered(
          "Απαγορεύεται η πρόσβαση.\r\nΒεβαιωθείτε ότι το αρχείο δε χρησιμοποιείται αυτή τη "
          "στιγμή και ότι έχετε δικαίωμα ανάγνωσης στον επιλεγμένο φάκελο.",
          MessageIcon::kCritical, MessageButtons::kOk, "Αποστολή αρχείου");
    } else {
      log_.ShowError(e.Description(), "UploadFile");
    }
    // Nothing is under way: give the window back instead of leaving it disabled.
    if (window_disabled) RestoreAfterFailedStart();
    transfer_file_.CloseFile();
  }
}

void FolderSession::OnDoUpload() {
  if (phase_ != TransferPhase::kUploadRequested) return;  // not asked for: ignore
  log_.WriteLog("Αποστολή αρχείου");
  aborting_ = false;
  phase_ = TransferPhase::kUploadSending;
  log_.WriteLog("Open \"" + local_file_ + "\"", "smClient_DataArrival", 2);
  transfer_file_.OpenFile(local_file_, support::File::kGenericRead, support::File::kDenyWrite,
                          false);
  transfer_file_.Position(next_byte_ + 1);
  SendNextChunk();
}

void FolderSession::SendNextChunk() {
  try {
    const std::int64_t n = std::min<std::int64_t>(config_.chunk_size, file_size_ - next_byte_);
    if (static_cast<std::int64_t>(transfer_buffer_.size()) != n) {
      transfer_buffer_.resize(static_cast<std::size_t>(n));
    }
    transfer_file_.ReadDataBin(transfer_buffer_);
    if (static_cast<std::int64_t>(transfer_buffer_.size()) != n) {
      // The file shrank while it was being sent: the server would wait for
      // bytes that never come. What it got so far stays there for a resume.
      transfer_buffer_.resize(static_cast<std::size_t>(n));
      throw support::Error(62, "SendNextChunk",
                           "Input past end of file: the file changed while it was being sent");
    }
    next_byte_ += n;
    smClient_.SendData(transfer_buffer_);
  } catch (const support::Error& e) {
    log_.ShowError(e.Description(), "SendNextChunk");
    ResetToDisconnected();
  }
}

void FolderSession::smClient_SendComplete() {
  wire_activity_ = true;
  if (Uploading()) OnChunkSent();
}

void FolderSession::tmrSend_Timer() {
  tmrSend_.SetEnabled(false);
  if (Uploading() && !aborting_ && next_byte_ != file_size_) SendNextChunk();
}

void FolderSession::OnChunkSent() {
  if (next_byte_ != file_size_ && !aborting_) {
    ++send_depth_;
    if (send_depth_ >= 200) {
      tmrSend_.SetEnabled(true);  // unwind the nesting; the timer sends the next chunk
    } else {
      SendNextChunk();
    }
    --send_depth_;
    return;
  }
  if (next_byte_ != file_size_ && aborting_) {
    next_byte_ = 0;
    transfer_buffer_.clear();
    transfer_file_.CloseFile();
    if (Uploading()) log_.WriteLog("Ακυρώθηκε.");
    phase_ = TransferPhase::kIdle;
    tmrSend_.SetEnabled(false);
    try {
      DropConnectionAndReconnect();
    } catch (const support::Error& e) {
      log_.ShowError(e.Description(), "OnChunkSent");
      ResetToDisconnected();
    }
    return;
  }
  // Everything is sent. A cancel that came too late does not stop the upload,
  // and must not leave the session deaf to the UPLOADOK that follows.
  aborting_ = false;
  next_byte_ = 0;
  send_depth_ = 0;
  transfer_buffer_.clear();
  transfer_file_.CloseFile();
  phase_ = TransferPhase::kUploadAwaitingOk;
  tmrSend_.SetEnabled(false);
  UnloadProgress(false);
  // Until UPLOADOK: the request is still pending (a cancel of the last chunk
  // included, which unloads the progress window after this).
  view_.window_enabled = false;
  view_.cursor = Cursor::kHourglass;
  Changed();
}

void FolderSession::OnUploadOk() {
  if (phase_ != TransferPhase::kUploadAwaitingOk) return;
  phase_ = TransferPhase::kIdle;
  UnloadProgress(false);
  ui_.PlayCompletionSound();
  used_bytes_ += file_size_;
  const std::string name = LocalFileName(local_file_);
  const std::string size_text =
      speed_calc_.FormatSizeUnit(static_cast<double>(file_size_), 1, false);
  const auto index = static_cast<std::size_t>(upload_row_index_ - 1);
  if (upload_row_index_ == 0 || index >= view_.rows.size()) {
    const int at = static_cast<int>(view_.rows.size());
    RowsAboutToChange(RowsChange::Kind::kInserted, at, 1);
    view_.rows.push_back(
        MakeListItem(name, size_text, FormatListDate(upload_stamp_), FileExtension(name), false),
        file_size_, upload_stamp_);
    RowsChanged(RowsChange::Kind::kInserted, at, 1);
  } else {
    used_bytes_ -= view_.rows.ByteSize(index);
    const int at = static_cast<int>(index);
    RowsAboutToChange(RowsChange::Kind::kChanged, at, 1);
    view_.rows.SetSizeAndDate(index, size_text,
                              FormatListDate(upload_stamp_, /*with_seconds=*/true), file_size_,
                              upload_stamp_);
    RowsChanged(RowsChange::Kind::kChanged, at, 1);
  }
  UpdateUsageDisplay();
  file_size_ = 0;
  upload_row_index_ = 0;
  view_.window_enabled = true;
  view_.cursor = Cursor::kNormal;
  log_.WriteLog("Ολοκληρώθηκε..");
  Changed();
}

}  // namespace session
