#include "server/client_session.h"

#include <ctime>
#include <system_error>

#include "server/paths.h"
#include "session/protocol.h"
#include "support/codepage.h"
#include "support/file_stamp.h"
#include "support/stamp.h"
#include "support/text.h"

namespace server {

namespace fs = std::filesystem;
namespace kw = session::keyword;

namespace {

/// The scrambling key of the log-in field.
constexpr std::string_view kScrambleKey = "Tz(8!/k~q&";

/// The log-in field the client builds from a password: its Windows-1253
/// bytes, each shifted by the key byte at the same position, wrapping at 256.
std::string ScrambledField(std::string_view password) {
  std::string bytes = support::Utf8ToCp1253(password);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned sum = static_cast<unsigned char>(bytes[i]) +
                         static_cast<unsigned char>(kScrambleKey[i % kScrambleKey.size()]);
    bytes[i] = static_cast<char>(sum & 0xFF);
  }
  return bytes;
}

/// Compares without an early exit, so the time taken says nothing about
/// where a guessed password first differs.
bool SameBytes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

std::string NowStamp() { return support::FormatStamp(support::LocalStamp(std::time(nullptr))); }

}  // namespace

void ServerContext::SetDataRoot(const fs::path& data) {
  users_root = data / "users";
  dealers_root = data / "dealers";
  links_root = data / "links";
}

ClientSession::ClientSession(ServerContext& context, Transport& transport, std::uint64_t id,
                             std::string peer)
    : context_(context),
      transport_(transport),
      id_(id),
      peer_(std::move(peer)),
      reader_(session::FrameReader::Tokens::kKeepAlive, context.max_request),
      created_(Clock::now()),
      last_activity_(created_) {}

ClientSession::~ClientSession() { Detach(); }

void ClientSession::Detach() {
  phase_ = Phase::kClosing;
  if (upload_registered_) {
    context_.Log("#" + std::to_string(id_) + " upload interrupted, " +
                 std::to_string(upload_.remaining) + " bytes missing; the part stays on disk");
    EndUpload();
  }
  if (download_.registered) EndDownload();
  if (slot_held_) {
    slot_held_ = false;
    auto it = context_.sessions_per_user.find(user_->id);
    if (it != context_.sessions_per_user.end() && --it->second <= 0)
      context_.sessions_per_user.erase(it);
  }
}

void ClientSession::OnData(std::string_view bytes) {
  if (phase_ == Phase::kClosing) return;
  last_activity_ = Clock::now();
  if (phase_ == Phase::kUploading) ConsumeUpload(bytes);
  if (phase_ == Phase::kClosing || bytes.empty()) return;
  reader_.Feed(bytes);
  // Nothing but the next request is expected while a download streams; a
  // client that keeps sending meanwhile is not a client of this protocol.
  if (phase_ == Phase::kDownloading &&
      static_cast<std::int64_t>(reader_.Buffered().size()) > context_.max_request)
    return Violation("data sent during a download");
  ProcessInput();
}

void ClientSession::ProcessInput() {
  // A download that ends inside a send made from here resumes the input; the
  // loop below picks it up, so it must not run twice at once.
  if (in_input_) return;
  in_input_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{in_input_};
  while (phase_ == Phase::kLogin || phase_ == Phase::kReady || phase_ == Phase::kOffered) {
    const auto item = reader_.Next();
    switch (item.status) {
      case session::FrameReader::Status::kNeedMore:
        return;
      case session::FrameReader::Status::kMalformed:
        return Violation(item.error);
      case session::FrameReader::Status::kPing:
        context_.Log("#" + std::to_string(id_) + " " + peer_ + ": PING -> PONG");
        transport_.Send(session::kPong);
        break;
      case session::FrameReader::Status::kPong:
        break;
      case session::FrameReader::Status::kFrame:
        HandleFrame(item.payload);
        break;
    }
    if (phase_ == Phase::kUploading) {
      // The bytes after DO UPLOAD's request are the start of the file.
      std::string_view rest = reader_.Buffered();
      const std::size_t before = rest.size();
      ConsumeUpload(rest);
      reader_.Discard(before - rest.size());
    }
  }
}

void ClientSession::HandleFrame(std::string_view payload) {
  const auto parts = session::SplitPayload(payload);
  // The log shows the request as it came (cut short), but never a password.
  request_note_ = parts.keyword == kw::kLogin ? std::string(parts.keyword)
                                              : std::string(payload.substr(0, 240));
  reply_note_.clear();
  Dispatch(parts.keyword, parts.arguments, parts.has_arguments);
  if (phase_ == Phase::kClosing && reply_note_.empty()) return;  // Violation logged it
  std::string line = "#" + std::to_string(id_) + " " + peer_;
  if (user_ != nullptr) line += " " + user_->id;
  line += ": " + support::Cp1253ToUtf8(request_note_);
  if (!reply_note_.empty()) line += " -> " + reply_note_;
  context_.Log(line);
}

void ClientSession::Dispatch(std::string_view keyword, std::string_view arguments,
                             bool has_arguments) {
  if (phase_ == Phase::kLogin) {
    if (keyword != kw::kLogin) return Violation("request before log-in");
    return HandleLogin(arguments);
  }
  if (phase_ == Phase::kOffered) {
    if (keyword != kw::kDoDownload) return Violation("expected DO DOWNLOAD");
    return HandleDoDownload(arguments);
  }
  const auto no_fields = [&] { return !has_arguments; };
  if (keyword == kw::kList) return HandleList(arguments);
  if (keyword == kw::kTotalSize && no_fields()) {
    return Reply(session::EncodeTotalSize(UsedBytes(personal_root_)), kw::kTotalSize);
  }
  if (keyword == kw::kMyLoginTime && no_fields()) {
    return Reply(session::EncodeLoginTimeReply(login_time_), kw::kLoginTime);
  }
  if (keyword == kw::kLoginTime) return HandleLoginTime(arguments);
  if (keyword == kw::kSchCleanupInfo && no_fields()) {
    return Reply(session::EncodeCleanupInfo(
                     {context_.config.cleanup_days, context_.config.cleanup_interval}),
                 kw::kSchCleanupInfo);
  }
  if (keyword == kw::kPcInfo) return HandlePcInfo(arguments);
  if (keyword == kw::kNewDir) return HandleNewDir(arguments);
  if (keyword == kw::kRename) return HandleRename(arguments);
  if (keyword == kw::kDelete) return HandleDelete(arguments);
  if (keyword == kw::kDealersFolder && no_fields()) return HandleFolderSwitch(true);
  if (keyword == kw::kPersonalFolder && no_fields()) return HandleFolderSwitch(false);
  if (keyword == kw::kUpload) return HandleUpload(arguments);
  if (keyword == kw::kDownload) return HandleDownload(arguments);
  Violation("unknown request");
}

void ClientSession::Reply(std::string_view frame, std::string_view note) {
  reply_note_ = std::string(note);
  transport_.Send(frame);
}

void ClientSession::ReplyKeyword(std::string_view keyword) {
  Reply(session::EncodeKeyword(keyword), keyword);
}

void ClientSession::RefuseAndClose(std::string_view keyword) {
  ReplyKeyword(keyword);
  phase_ = Phase::kClosing;
  transport_.CloseAfterSend();
}

void ClientSession::Violation(std::string_view why) {
  std::string line = "#" + std::to_string(id_) + " " + peer_ + ": closing: " + std::string(why);
  if (!request_note_.empty()) line += " (" + support::Cp1253ToUtf8(request_note_) + ")";
  context_.Log(line);
  phase_ = Phase::kClosing;
  transport_.Close();
}

void ClientSession::Tick(Clock::time_point now) {
  if (phase_ == Phase::kLogin && now - created_ >= std::chrono::seconds(context_.login_timeout)) {
    request_note_.clear();
    return Violation("no log-in in time");
  }
  const int every = context_.config.ping_every;
  if (every > 0 && phase_ == Phase::kReady && !reader_.InFrame() && reader_.Buffered().empty() &&
      now - last_activity_ >= std::chrono::seconds(every)) {
    last_activity_ = now;
    transport_.Send(session::kPing);
  }
}

void ClientSession::HandleLogin(std::string_view arguments) {
  const auto login = session::ParseLogin(arguments);
  if (!login) return Violation("malformed LOGIN");
  request_note_ = "LOGIN|" + login->version + "|" + support::Utf8ToCp1253(login->user_id);
  const ServerConfig& config = context_.config;
  if (config.maintenance) return RefuseAndClose(kw::kNoMore);
  if (login->version != config.protocol) return RefuseAndClose(kw::kProtocol);
  const UserConfig* user = config.FindUser(login->user_id);
  if (user == nullptr || !SameBytes(ScrambledField(user->password), login->scrambled_password))
    return RefuseAndClose(kw::kNoLogin);
  if (!user->allowed) return RefuseAndClose(kw::kNoPermission);
  const auto count = context_.sessions_per_user.find(user->id);
  if (count != context_.sessions_per_user.end() && count->second >= config.max_sessions_per_user)
    return RefuseAndClose(kw::kLogin2);

  const fs::path root = context_.users_root / fs::path(user->id);
  std::error_code ec;
  fs::create_directories(root, ec);
  fs::directory_iterator probe(root, ec);
  if (ec || !fs::is_directory(fs::symlink_status(root, ec))) return RefuseAndClose(kw::kDirError);

  user_ = user;
  ++context_.sessions_per_user[user->id];
  slot_held_ = true;
  personal_root_ = root;
  login_time_ = NowStamp();
  phase_ = Phase::kReady;
  Reply(session::EncodeLoginOk(
            {UsedBytes(root), user->quota, user->dealers, user->over_quota_warning}),
        kw::kLoginOk);
}

void ClientSession::HandleLoginTime(std::string_view arguments) {
  const auto request = session::ParseLoginTime(arguments);
  if (!request) return Violation("malformed LOGINTIME");
  // A connection re-opened after an aborted transfer continues the session
  // that began at the time the client kept.
  if (session::IsWireStamp(support::Utf8ToCp1253(request->time))) login_time_ = request->time;
  Reply(session::EncodeLoginTimeReply(login_time_), kw::kLoginTime);
}

void ClientSession::HandlePcInfo(std::string_view arguments) {
  const auto info = session::ParsePcInfo(arguments);
  if (!info) return Violation("malformed PCINFO");
  request_note_ = "PCINFO os=\"" + support::Utf8ToCp1253(info->os) + "\" cpu=\"" +
                  support::Utf8ToCp1253(info->cpu) + "\" ram=" + info->memory_mb +
                  "MB disk=" + info->free_disk_mb + "MB client=" + info->client_version;
  reply_note_ = "(no reply)";
}

void ClientSession::HandleFolderSwitch(bool dealers) {
  if (dealers && !user_->dealers) return ReplyKeyword(kw::kNoPermission);
  in_dealers_ = dealers;
  ReplyKeyword(kw::kDealerOk);
}

std::optional<session::RemotePath> ClientSession::ParsePath(std::string_view wire) {
  auto path = session::ParseRemotePath(wire);
  if (!path) Violation("path refused");
  return path;
}

std::optional<fs::path> ClientSession::Resolve(const session::RemotePath& path, bool linked) {
  if (linked) {
    if (path.names.empty()) return std::nullopt;
    const LinkConfig* link = context_.config.FindLinkTarget(path.names.front());
    if (link == nullptr) return std::nullopt;
    session::RemotePath inside = path;
    inside.names.erase(inside.names.begin());
    return ResolveIn(context_.links_root / fs::path(link->target), inside);
  }
  return ResolveIn(in_dealers_ ? context_.dealers_root : personal_root_, path);
}

bool ClientSession::RefuseWriteInDealers() {
  if (!in_dealers_) return false;
  ReplyKeyword(kw::kNoPermission);
  return true;
}

bool ClientSession::IsLinkName(std::string_view name) const {
  for (const auto& link : context_.config.links)
    if (support::EqualsIgnoreCase(link.name, name)) return true;
  return false;
}

}  // namespace server
