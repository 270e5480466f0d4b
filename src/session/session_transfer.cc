#include "session/browse_rules.h"
#include "session/dialog_requests.h"
#include "session/file_times.h"
#include "session/folder_session.h"
#include "session/protocol.h"
#include "support/text.h"

namespace session {

bool FolderSession::TransferActive() const { return phase_ != TransferPhase::kIdle; }

void FolderSession::ResetTransfers() {
  phase_ = TransferPhase::kIdle;
  next_byte_ = 0;
  file_size_ = 0;
  transfer_file_.CloseFile();
  transfer_buffer_.clear();
  transfer_buffer_.shrink_to_fit();
  upload_row_index_ = 0;
  send_depth_ = 0;
  tmrSend_.SetEnabled(false);
  aborting_ = false;
  reconnect_pending_ = false;
}

ExistsAnswer FolderSession::AskReplaceOrResume(const std::string& file_name,
                                               const std::string& name, std::int64_t source_size,
                                               std::int64_t destination_size, bool upload) {
  const ExistsRequest request =
      BuildExistsRequest(file_name, name, source_size, destination_size, upload);
  const auto dialog = DialogOpen();
  const ExistsAnswer answer = ui_.AskReplaceOrResume(request);
  if (answer == ExistsAnswer::kContinue && !request.allow_continue) return ExistsAnswer::kCancel;
  return answer;
}

void FolderSession::CloseTransferFile(bool delete_empty_download) {
  transfer_file_.CloseFile();
  if (delete_empty_download && next_byte_ == 0 && !local_file_.empty()) {
    DeleteFileQuietly(local_file_);
  }
}

void FolderSession::RestoreAfterFailedStart() {
  CloseTransferFile(false);
  phase_ = TransferPhase::kIdle;
  next_byte_ = 0;
  file_size_ = 0;
  UnloadProgress(false);
  view_.window_enabled = true;
  view_.cursor = Cursor::kNormal;
  Changed();
}

void FolderSession::DropConnectionAndReconnect() {
  aborting_ = true;
  reconnect_pending_ = true;
  smClient_.CloseSck();
  reader_.Reset();
  // The socket forgets the host name once connected; the session knows it.
  smClient_.Connect(config_.server_name, config_.server_port);
}

void FolderSession::AbortTransfer() {
  if (!CheckConnected()) return;
  switch (phase_) {
    case TransferPhase::kIdle:
    case TransferPhase::kUploadAwaitingOk:
      return;
    case TransferPhase::kUploadSending:
      aborting_ = true;
      OnChunkSent();  // cancels while bytes remain, completes when all were sent
      return;
    case TransferPhase::kDownloadStreaming:
      next_byte_ = 0;
      file_size_ = 0;
      transfer_file_.CloseFile();  // the partial file stays for a later resume
      phase_ = TransferPhase::kIdle;
      DropConnectionAndReconnect();
      log_.WriteLog("Ακυρώθηκε.");
      return;
    case TransferPhase::kUploadRequested:
    case TransferPhase::kDownloadRequested: {
      // The request is out but the go-ahead has not come: the server would
      // answer it later, so the connection is dropped and opened again.
      const bool download = phase_ == TransferPhase::kDownloadRequested;
      CloseTransferFile(download);
      next_byte_ = 0;
      file_size_ = 0;
      phase_ = TransferPhase::kIdle;
      DropConnectionAndReconnect();
      log_.WriteLog("Ακυρώθηκε.");
      return;
    }
  }
}

void FolderSession::EndTransferOnErrorReply(std::string_view kw) {
  if (phase_ == TransferPhase::kIdle) return;
  // INUSE, FILENOTFOUND, FILEEXISTS and DIREXISTS end a transfer that has
  // not started streaming: close the window and the file (a download that
  // wrote nothing removes the file it created).
  if (kw == keyword::kInUse || kw == keyword::kFileNotFound || kw == keyword::kFileExists ||
      kw == keyword::kDirExists) {
    const bool download =
        phase_ == TransferPhase::kDownloadRequested || phase_ == TransferPhase::kDownloadStreaming;
    CloseTransferFile(download);
    phase_ = TransferPhase::kIdle;
    next_byte_ = 0;
    file_size_ = 0;
    UnloadProgress(false);
  }
}

void FolderSession::cmdCancel_Click() { UnloadProgress(true); }

}  // namespace session
