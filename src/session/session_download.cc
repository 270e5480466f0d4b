#include "session/dialog_requests.h"
#include "session/file_times.h"
#include "session/folder_session.h"
#include "session/protocol.h"

namespace session {

void FolderSession::RunDownloadCommand() { dcbDownload_Click(); }

void FolderSession::dcbDownload_Click() {
  const auto item = SelectedItem();
  if (!item || item->is_folder) return;
  log_.WriteLog("FileSaveDialog()", "dcbDownload_Click", 2);
  const auto alive = alive_;
  const std::uint64_t resets = resets_;
  const auto dialog = DialogOpen();
  const auto path = ui_.AskSaveFile(SaveFileRequest(item->name));
  if (!*alive || !path || !AnswerApplies(resets)) return;
  log_.WriteLog("DownloadFile()", "dcbDownload_Click", 2);
  DownloadFile(*path);
}

void FolderSession::DownloadFile(const std::string& local_path) {
  // One transfer at a time: the transfer state is a single slot.
  if (TransferActive()) return;
  const auto item = SelectedItem();
  if (!item || item->is_folder) return;
  const auto row = static_cast<std::size_t>(view_.selected_row);
  const std::string name = item->name;
  bool window_disabled = false;
  const auto alive = alive_;
  const std::uint64_t resets = resets_;
  try {
    file_size_ = view_.rows.ByteSize(row);
    std::int64_t start = 0;
    if (IsExistingFile(local_path)) {
      transfer_file_.OpenFile(local_path, support::File::kGenericRead, support::File::kDenyNone,
                              false);
      const std::int64_t local_size = transfer_file_.Size();
      transfer_file_.CloseFile();
      const ExistsAnswer answer =
          AskReplaceOrResume(location_.current_path + name, name, file_size_, local_size, false);
      if (!*alive || !AnswerApplies(resets)) return;
      switch (answer) {
        case ExistsAnswer::kCancel:
          file_size_ = 0;
          return;
        case ExistsAnswer::kReplace:
          start = 0;
          break;
        case ExistsAnswer::kContinue:
          start = local_size;
          break;
      }
    }
    if (!CheckConnected()) return;

    log_.WriteLog("Open \"" + local_path + "\"", "DownloadFile", 2);
    transfer_file_.OpenFile(local_path, support::File::kGenericWrite, support::File::kDenyWrite,
                            true);
    log_.WriteLog("Seek to " + std::to_string(start + 1), "DownloadFile", 2);
    if (start == 0) {
      transfer_file_.Position(1);
      transfer_file_.ResizeToPosition();
    } else {
      transfer_file_.Position(start + 1);
    }
    log_.WriteLog("Me.Enabled=False", "DownloadFile", 2);
    view_.window_enabled = false;
    window_disabled = true;
    next_byte_ = start;
    download_start_ = start;
    local_file_ = local_path;
    download_stamp_ = row < view_.rows.size() ? view_.rows.Stamp(row) : std::string();
    log_.WriteLog("PrepareProgressForm()", "DownloadFile", 2);
    PrepareProgressForm(false, location_.link_display_prefix + location_.current_path + name,
                        local_path);
    phase_ = TransferPhase::kDownloadRequested;
    SendFrame(EncodeDownload(
        {start + 1, location_.link_target + location_.current_path + name, location_.InLink()}));
  } catch (const support::Error& e) {
    if (!*alive) return;
    if (e.Number() == support::File::ErrorBase + 5 || e.Number() == support::File::ErrorBase + 32) {
      ShowCentered(
          "Απαγορεύεται η πρόσβαση.\r\nΒεβαιωθείτε ότι το αρχείο δε χρησιμοποιείται αυτή τη "
          "στιγμή και ότι έχετε δικαίωμα εγγραφής στο φάκελο αποθήκευσης.",
          MessageIcon::kCritical, MessageButtons::kOk, "Λήψη αρχείου");
    } else {
      log_.ShowError(e.Description(), "DownloadFile");
    }
    if (window_disabled) {
      RestoreAfterFailedStart();
    } else {
      transfer_file_.CloseFile();
      file_size_ = 0;
    }
  }
}

void FolderSession::OnDoDownload() {
  if (phase_ != TransferPhase::kDownloadRequested) return;  // not asked for: ignore
  log_.WriteLog("Λήψη αρχείου");
  phase_ = TransferPhase::kDownloadStreaming;
  SendFrame(EncodeDoDownload(next_byte_ + 1));
  // Bytes that came with the go-ahead already belong to the file.
  const std::string_view early = reader_.Buffered();
  if (!early.empty()) {
    const std::int64_t take =
        std::min<std::int64_t>(static_cast<std::int64_t>(early.size()), file_size_ - next_byte_);
    if (take > 0) {
      transfer_file_.WriteDataBin(early.substr(0, static_cast<std::size_t>(take)));
      next_byte_ += take;
      reader_.Discard(static_cast<std::size_t>(take));
    }
  }
  // An empty file (or one already complete) gets no data: it is done now.
  if (next_byte_ >= file_size_) FinishDownload();
}

bool FolderSession::ReceiveRawDownload() {
  const std::string_view waiting = smClient_.ReceivedView();
  // Only the file's own bytes are written: anything past its end is not file
  // data and is left for the message reader.
  const std::int64_t take =
      std::min<std::int64_t>(static_cast<std::int64_t>(waiting.size()), file_size_ - next_byte_);
  if (take > 0) {
    transfer_file_.WriteDataBin(waiting.substr(0, static_cast<std::size_t>(take)));
    smClient_.Discard(take);
    next_byte_ += take;
  }
  if (next_byte_ < file_size_) return false;
  FinishDownload();
  return smClient_.State() == net::SocketState::kConnected && smClient_.BytesReceived() > 0;
}

void FolderSession::FinishDownload() {
  if (next_byte_ != file_size_) {
    log_.WriteLog(
        "NextByte=" + std::to_string(next_byte_) + ", FileSize=" + std::to_string(file_size_),
        "FinishDownload", 2);
  }
  next_byte_ = 0;
  file_size_ = 0;
  transfer_file_.CloseFile();
  phase_ = TransferPhase::kIdle;
  UnloadProgress(false);
  ui_.PlayCompletionSound();
  log_.WriteLog("ChangeFileDateTime()", "FinishDownload", 2);
  ChangeFileDateTime(local_file_, {}, download_stamp_);
  transfer_buffer_.clear();
  log_.WriteLog("Ολοκληρώθηκε.");
  Changed();
}

}  // namespace session
