#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "session/list_row.h"

/// Messages of the folder protocol, both directions.
///
/// Every builder returns a complete frame (FrameMessage of the payload) in
/// wire bytes, Windows-1253; every parser takes the argument text of a
/// received payload (the bytes after the keyword's "|", see SplitPayload) and
/// returns the typed message or nothing when a field is missing or does not
/// have its format. Texts inside the typed messages are UTF-8, except the
/// scrambled password of the log-in, which is bytes and passes unconverted.
namespace session {

/// The protocol version this program speaks.
inline constexpr int kProtocolVersion = 5;

/// Keywords (client requests and server replies share some of them).
namespace keyword {
inline constexpr std::string_view kLogin = "LOGIN";
inline constexpr std::string_view kLoginOk = "LOGINOK";
inline constexpr std::string_view kList = "LIST";
inline constexpr std::string_view kTotalSize = "TOTALSIZE";
inline constexpr std::string_view kMyLoginTime = "MYLOGINTIME";
inline constexpr std::string_view kLoginTime = "LOGINTIME";
inline constexpr std::string_view kSchCleanupInfo = "SCHCLEANUPINFO";
inline constexpr std::string_view kPcInfo = "PCINFO";
inline constexpr std::string_view kNewDir = "NEWDIR";
inline constexpr std::string_view kNewDirOk = "NEWDIROK";
inline constexpr std::string_view kRename = "RENAME";
inline constexpr std::string_view kRenameOk = "RENAMEOK";
inline constexpr std::string_view kDelete = "DELETE";
inline constexpr std::string_view kDeleteOk = "DELETEOK";
inline constexpr std::string_view kDealersFolder = "DEALERS FOLDER";
inline constexpr std::string_view kPersonalFolder = "PERSONAL FOLDER";
inline constexpr std::string_view kDealerOk = "DEALEROK";
inline constexpr std::string_view kUpload = "UPLOAD";
inline constexpr std::string_view kDoUpload = "DO UPLOAD";
inline constexpr std::string_view kUploadOk = "UPLOADOK";
inline constexpr std::string_view kDownload = "DOWNLOAD";
inline constexpr std::string_view kDoDownload = "DO DOWNLOAD";
// Error replies: the payload is the keyword alone.
inline constexpr std::string_view kNoLogin = "NOLOGIN";
inline constexpr std::string_view kLogin2 = "LOGIN2";
inline constexpr std::string_view kNoMore = "NOMORE";
inline constexpr std::string_view kDirError = "DIRERROR";
inline constexpr std::string_view kNoPermission = "NOPERMISSION";
inline constexpr std::string_view kProtocol = "PROTOCOL";
inline constexpr std::string_view kUnexpected = "UNEXPECTED";
inline constexpr std::string_view kInUse = "INUSE";
inline constexpr std::string_view kFileNotFound = "FILENOTFOUND";
inline constexpr std::string_view kDirExists = "DIREXISTS";
inline constexpr std::string_view kFileExists = "FILEEXISTS";
}  // namespace keyword

/// The unframed keep-alive tokens.
inline constexpr std::string_view kPing = "PING";
inline constexpr std::string_view kPong = "PONG";

/// The frame of a payload: its length in bytes (one byte per character in the
/// wire code page) as decimal digits, "|", then the payload itself.
std::string FrameMessage(std::string_view payload);

/// A payload cut at its first "|": the keyword, and the argument text after
/// that "|". A payload without "|" is all keyword and has no arguments.
struct Payload {
  std::string_view keyword;
  std::string_view arguments;
  bool has_arguments = false;
};
Payload SplitPayload(std::string_view payload);

/// Splits argument text at every "|" (n bars give n + 1 fields).
std::vector<std::string_view> SplitFields(std::string_view arguments);

// Field formats.
/// "True" or "False".
std::string_view FormatBool(bool value);
/// Exactly "True" or "False"; anything else is nothing.
std::optional<bool> ParseBool(std::string_view text);
/// A byte count or position: decimal digits only, at most 18 of them.
std::optional<std::int64_t> ParseCount(std::string_view text);
/// A 1-based file position: ParseCount, and at least 1.
std::optional<std::int64_t> ParsePosition(std::string_view text);
/// True for 14 digits that form a real date and time ("yyyymmddhhnnss").
bool IsWireStamp(std::string_view text);

// ---- Client to server ----

struct LoginRequest {
  std::string version;             ///< "5" for this program
  std::string user_id;             ///< UTF-8
  std::string scrambled_password;  ///< raw bytes, any value
};
struct ListRequest {
  std::string path;  ///< UTF-8 backslash path, ends with a backslash
  bool linked = false;
};
struct LoginTimeRequest {
  std::string time;  ///< the log-in time text as the server gave it
};
struct PcInfoRequest {
  std::string os;
  std::string cpu;
  std::string memory_mb;
  std::string free_disk_mb;
  std::string client_version;
};
struct PathRequest {
  std::string path;  ///< NEWDIR and DELETE
};
struct RenameRequest {
  std::string from;
  std::string to;
};
struct UploadRequest {
  std::int64_t start = 1;  ///< 1-based position of the first byte sent
  std::int64_t size = 0;   ///< whole size of the file
  std::string path;        ///< current path + file name
  std::string stamp;       ///< 14-digit modification time
};
struct DownloadRequest {
  std::int64_t start = 1;  ///< 1-based position of the first byte wanted
  std::string path;        ///< link target + current path + file name
  bool linked = false;
};

/// The frame of a message without fields (TOTALSIZE, MYLOGINTIME,
/// SCHCLEANUPINFO, DEALERS FOLDER, PERSONAL FOLDER, and every reply without
/// fields).
std::string EncodeKeyword(std::string_view keyword);

std::string EncodeLogin(const LoginRequest& request);
std::string EncodeList(const ListRequest& request);
std::string EncodeLoginTime(const LoginTimeRequest& request);
std::string EncodePcInfo(const PcInfoRequest& request);
std::string EncodeNewDir(const PathRequest& request);
std::string EncodeRename(const RenameRequest& request);
std::string EncodeDelete(const PathRequest& request);
std::string EncodeUpload(const UploadRequest& request);
std::string EncodeDownload(const DownloadRequest& request);
/// The client's answer to the server's DO DOWNLOAD: the start position.
std::string EncodeDoDownload(std::int64_t start);

/// LOGIN: version, user ID, then everything after the third "|" is the
/// password, because scrambled bytes may include "|".
std::optional<LoginRequest> ParseLogin(std::string_view arguments);
std::optional<ListRequest> ParseList(std::string_view arguments);
std::optional<LoginTimeRequest> ParseLoginTime(std::string_view arguments);
std::optional<PcInfoRequest> ParsePcInfo(std::string_view arguments);
std::optional<PathRequest> ParsePathRequest(std::string_view arguments);
std::optional<RenameRequest> ParseRename(std::string_view arguments);
std::optional<UploadRequest> ParseUpload(std::string_view arguments);
std::optional<DownloadRequest> ParseDownload(std::string_view arguments);
std::optional<std::int64_t> ParseDoDownload(std::string_view arguments);

// ---- Server to client ----

struct LoginOkReply {
  std::int64_t used = 0;
  std::int64_t quota = 0;
  bool dealers = false;
  bool over_quota_warning = false;
};
struct CleanupInfoReply {
  std::int32_t days = 0;
  std::int16_t interval = 0;
};

std::string EncodeLoginOk(const LoginOkReply& reply);
std::string EncodeListReply(const std::vector<ListRow>& rows);
std::string EncodeTotalSize(std::int64_t used);
std::string EncodeLoginTimeReply(std::string_view time);
std::string EncodeCleanupInfo(const CleanupInfoReply& reply);

std::optional<LoginOkReply> ParseLoginOk(std::string_view arguments);
/// The rows of a LIST reply; an empty argument text is an empty folder.
std::optional<std::vector<ListRow>> ParseListReply(std::string_view arguments);
std::optional<std::int64_t> ParseTotalSize(std::string_view arguments);
std::optional<std::string> ParseLoginTimeReply(std::string_view arguments);
std::optional<CleanupInfoReply> ParseCleanupInfo(std::string_view arguments);

}  // namespace session
