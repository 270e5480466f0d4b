#include "session/folder_session.h"

namespace session {

// The upload and download engines build on these entry points. Until they are
// in place the session refuses transfer replies it never asked for.

void FolderSession::ResetTransfers() {
  uploading_ = false;
  downloading_ = false;
  downloading_raw_ = false;
}

void FolderSession::OnDoUpload() {}
void FolderSession::OnUploadOk() {}
void FolderSession::OnDoDownload() {}
void FolderSession::ReceiveRawDownload() {}
void FolderSession::EndTransferOnErrorReply(std::string_view /*keyword*/) {}
void FolderSession::RunDownloadCommand() {}
void FolderSession::dcbBrowse_Click() {}
void FolderSession::dcbUpload_Click() {}
void FolderSession::dcbDownload_Click() {}
void FolderSession::UploadFile(const std::string&) {}
void FolderSession::DownloadFile(const std::string&) {}
void FolderSession::cmdCancel_Click() {}
bool FolderSession::TransferActive() const { return false; }

}  // namespace session
