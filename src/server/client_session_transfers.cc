// UPLOAD and DOWNLOAD: the requests, the raw streams and their ends.
#include <algorithm>
#include <system_error>

#include "server/client_session.h"
#include "server/paths.h"
#include "session/protocol.h"
#include "support/codepage.h"

namespace server {

namespace fs = std::filesystem;
namespace kw = session::keyword;

void ClientSession::HandleUpload(std::string_view arguments) {
  const auto request = session::ParseUpload(arguments);
  if (!request) return Violation("malformed UPLOAD");
  const auto path = ParsePath(request->path);
  if (!path) return;
  if (RefuseWriteInDealers()) return;
  if (path->names.empty() || path->trailing_backslash) return ReplyKeyword(kw::kFileNotFound);
  if (!IsCreatableName(path->names.back())) return ReplyKeyword(kw::kUnexpected);
  session::RemotePath parent_path = *path;
  parent_path.names.pop_back();
  std::error_code ec;
  const auto parent = Resolve(parent_path, false);
  if (!parent || !fs::is_directory(fs::symlink_status(*parent, ec)))
    return ReplyKeyword(kw::kFileNotFound);
  const auto target = Resolve(*path, false);
  if (!target) return ReplyKeyword(kw::kFileNotFound);
  const auto status = fs::symlink_status(*target, ec);
  std::int64_t existing = 0;
  if (fs::is_regular_file(status)) {
    existing = static_cast<std::int64_t>(fs::file_size(*target, ec));
    if (ec) return ReplyKeyword(kw::kUnexpected);
  } else if (status.type() != fs::file_type::not_found) {
    return ReplyKeyword(kw::kFileExists);  // a folder (or something else) has that name
  }

  // The client continues after the bytes the server holds; it cannot leave a
  // gap, nor start beyond the end of the file it announces.
  const std::int64_t offset = request->start - 1;
  if (offset > existing || offset > request->size) return ReplyKeyword(kw::kUnexpected);
  // The copy being replaced or continued is not counted twice.
  const std::int64_t used = UsedBytes(personal_root_);
  if (request->size > user_->quota || used - existing > user_->quota - request->size) {
    reply_note_ = "UNEXPECTED (over quota)";
    return transport_.Send(session::EncodeKeyword(kw::kUnexpected));
  }
  if (!context_.transfers.TryBegin(*target, TransferRegistry::Mode::kWrite))
    return ReplyKeyword(kw::kInUse);
  if (!upload_.sink.Open(*target, offset)) {
    context_.transfers.End(*target, TransferRegistry::Mode::kWrite);
    return ReplyKeyword(kw::kUnexpected);
  }
  upload_registered_ = true;
  upload_.path = *target;
  upload_.stamp = request->stamp;
  upload_.remaining = request->size - offset;
  phase_ = Phase::kUploading;
  Reply(session::EncodeKeyword(kw::kDoUpload), "DO UPLOAD (from byte " +
                                                   std::to_string(request->start) + ", " +
                                                   std::to_string(upload_.remaining) + " bytes)");
  if (upload_.remaining == 0) FinishUpload();
}

void ClientSession::ConsumeUpload(std::string_view& bytes) {
  if (phase_ != Phase::kUploading || bytes.empty()) return;
  const auto take =
      static_cast<std::size_t>(std::min<std::int64_t>(upload_.remaining, bytes.size()));
  if (!upload_.sink.Write(bytes.substr(0, take))) {
    context_.Log("#" + std::to_string(id_) + " upload write failed: " + upload_.path.string());
    EndUpload();
    phase_ = Phase::kClosing;
    transport_.Send(session::EncodeKeyword(kw::kUnexpected));
    transport_.CloseAfterSend();
    return;
  }
  bytes.remove_prefix(take);
  upload_.remaining -= static_cast<std::int64_t>(take);
  if (upload_.remaining == 0) FinishUpload();
}

void ClientSession::FinishUpload() {
  const bool kept = upload_.sink.Close();
  if (kept) SetModificationStamp(upload_.path, upload_.stamp);
  EndUpload();
  phase_ = Phase::kReady;
  const std::string_view reply = kept ? kw::kUploadOk : kw::kUnexpected;
  context_.Log("#" + std::to_string(id_) + " upload of " + upload_.path.string() + " -> " +
               std::string(reply));
  transport_.Send(session::EncodeKeyword(reply));
}

void ClientSession::EndUpload() {
  upload_.sink.Close();
  if (upload_registered_) context_.transfers.End(upload_.path, TransferRegistry::Mode::kWrite);
  upload_registered_ = false;
}

void ClientSession::HandleDownload(std::string_view arguments) {
  const auto request = session::ParseDownload(arguments);
  if (!request) return Violation("malformed DOWNLOAD");
  const auto path = ParsePath(request->path);
  if (!path) return;
  const auto target = Resolve(*path, request->linked);
  std::error_code ec;
  if (!target || !fs::is_regular_file(fs::symlink_status(*target, ec)))
    return ReplyKeyword(kw::kFileNotFound);
  const auto size = static_cast<std::int64_t>(fs::file_size(*target, ec));
  if (ec) return ReplyKeyword(kw::kUnexpected);
  if (request->start - 1 > size) return ReplyKeyword(kw::kUnexpected);
  if (!context_.transfers.TryBegin(*target, TransferRegistry::Mode::kRead))
    return ReplyKeyword(kw::kInUse);
  download_.registered = true;
  download_.path = *target;
  download_.start = request->start;
  download_.remaining = size - (request->start - 1);
  phase_ = Phase::kOffered;
  Reply(session::EncodeKeyword(kw::kDoDownload), kw::kDoDownload);
}

void ClientSession::HandleDoDownload(std::string_view arguments) {
  const auto start = session::ParseDoDownload(arguments);
  if (!start || *start != download_.start) return Violation("DO DOWNLOAD with another start");
  if (!download_.source.Open(download_.path, download_.start - 1)) {
    EndDownload();
    return ReplyKeyword(kw::kUnexpected);
  }
  if (download_.remaining == 0) {
    reply_note_ = "(nothing left to send)";
    return EndDownload();
  }
  phase_ = Phase::kDownloading;
  reply_note_ = "(" + std::to_string(download_.remaining) + " bytes from byte " +
                std::to_string(download_.start) + ")";
  SendNextBlock();
}

void ClientSession::OnSendComplete() {
  if (phase_ == Phase::kDownloading) SendNextBlock();
}

void ClientSession::SendNextBlock() {
  if (download_.remaining == 0) {
    EndDownload();
    ProcessInput();  // a request that came while the file was streaming
    return;
  }
  const auto want = static_cast<std::size_t>(
      std::min<std::int64_t>(download_.remaining, static_cast<std::int64_t>(context_.block_size)));
  if (!download_.source.Read(download_.block, want) || download_.block.empty()) {
    // The file shrank or failed under us; the client counts on the announced
    // size, so the stream cannot be finished honestly.
    context_.Log("#" + std::to_string(id_) + " download read failed: " + download_.path.string());
    EndDownload();
    phase_ = Phase::kClosing;
    transport_.Close();
    return;
  }
  download_.remaining -= static_cast<std::int64_t>(download_.block.size());
  last_activity_ = Clock::now();
  transport_.Send(download_.block);
}

void ClientSession::EndDownload() {
  download_.source.Close();
  if (download_.registered) context_.transfers.End(download_.path, TransferRegistry::Mode::kRead);
  download_.registered = false;
  download_.block = std::string();
  if (phase_ == Phase::kDownloading || phase_ == Phase::kOffered) phase_ = Phase::kReady;
}

}  // namespace server
