#include "session/protocol.h"

#include "support/codepage.h"
#include "support/stamp.h"
#include "support/text.h"

namespace session {

namespace {

using support::Cp1253ToUtf8;
using support::Utf8ToCp1253;

/// Builds "KEYWORD|field|field..." from wire-ready fields and frames it.
std::string Frame(std::string_view keyword, std::initializer_list<std::string_view> fields) {
  std::string payload(keyword);
  for (const auto field : fields) {
    payload += '|';
    payload += field;
  }
  return FrameMessage(payload);
}

/// The fields of an argument text when there are exactly `count` of them.
std::optional<std::vector<std::string_view>> Exactly(std::string_view arguments,
                                                     std::size_t count) {
  auto fields = SplitFields(arguments);
  if (fields.size() != count) return std::nullopt;
  return fields;
}

}  // namespace

std::string FrameMessage(std::string_view payload) {
  std::string frame = std::to_string(payload.size());
  frame += '|';
  frame += payload;
  return frame;
}

Payload SplitPayload(std::string_view payload) {
  const auto bar = payload.find('|');
  if (bar == std::string_view::npos) return Payload{payload, {}, false};
  return Payload{payload.substr(0, bar), payload.substr(bar + 1), true};
}

std::vector<std::string_view> SplitFields(std::string_view arguments) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const auto bar = arguments.find('|', start);
    if (bar == std::string_view::npos) {
      fields.push_back(arguments.substr(start));
      return fields;
    }
    fields.push_back(arguments.substr(start, bar - start));
    start = bar + 1;
  }
}

std::string_view FormatBool(bool value) { return value ? "True" : "False"; }

std::optional<bool> ParseBool(std::string_view text) {
  if (text == "True") return true;
  if (text == "False") return false;
  return std::nullopt;
}

std::optional<std::int64_t> ParseCount(std::string_view text) {
  return support::ParseNonNegative(text);
}

std::optional<std::int64_t> ParsePosition(std::string_view text) {
  const auto value = ParseCount(text);
  if (!value || *value < 1) return std::nullopt;
  return value;
}

bool IsWireStamp(std::string_view text) {
  const auto stamp = support::ParseStamp(text);
  return stamp && support::IsValidStamp(*stamp);
}

std::string EncodeKeyword(std::string_view keyword) { return FrameMessage(keyword); }

// ---- Client to server ----

std::string EncodeLogin(const LoginRequest& request) {
  return Frame(keyword::kLogin,
               {request.version, Utf8ToCp1253(request.user_id), request.scrambled_password});
}

std::string EncodeList(const ListRequest& request) {
  return Frame(keyword::kList, {Utf8ToCp1253(request.path), FormatBool(request.linked)});
}

std::string EncodeLoginTime(const LoginTimeRequest& request) {
  return Frame(keyword::kLoginTime, {Utf8ToCp1253(request.time)});
}

std::string EncodePcInfo(const PcInfoRequest& request) {
  return Frame(
      keyword::kPcInfo,
      {Utf8ToCp1253(request.os), Utf8ToCp1253(request.cpu), Utf8ToCp1253(request.memory_mb),
       Utf8ToCp1253(request.free_disk_mb), Utf8ToCp1253(request.client_version)});
}

std::string EncodeNewDir(const PathRequest& request) {
  return Frame(keyword::kNewDir, {Utf8ToCp1253(request.path)});
}

std::string EncodeRename(const RenameRequest& request) {
  return Frame(keyword::kRename, {Utf8ToCp1253(request.from), Utf8ToCp1253(request.to)});
}

std::string EncodeDelete(const PathRequest& request) {
  return Frame(keyword::kDelete, {Utf8ToCp1253(request.path)});
}

std::string EncodeUpload(const UploadRequest& request) {
  return Frame(keyword::kUpload, {std::to_string(request.start), std::to_string(request.size),
                                  Utf8ToCp1253(request.path), request.stamp});
}

std::string EncodeDownload(const DownloadRequest& request) {
  return Frame(keyword::kDownload, {std::to_string(request.start), Utf8ToCp1253(request.path),
                                    FormatBool(request.linked)});
}

std::string EncodeDoDownload(std::int64_t start) {
  return Frame(keyword::kDoDownload, {std::to_string(start)});
}

std::optional<LoginRequest> ParseLogin(std::string_view arguments) {
  const auto first = arguments.find('|');
  if (first == std::string_view::npos) return std::nullopt;
  const auto second = arguments.find('|', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  LoginRequest request;
  request.version = std::string(arguments.substr(0, first));
  request.user_id = Cp1253ToUtf8(arguments.substr(first + 1, second - first - 1));
  request.scrambled_password = std::string(arguments.substr(second + 1));
  return request;
}

std::optional<ListRequest> ParseList(std::string_view arguments) {
  const auto fields = Exactly(arguments, 2);
  if (!fields) return std::nullopt;
  const auto linked = ParseBool((*fields)[1]);
  if (!linked) return std::nullopt;
  return ListRequest{Cp1253ToUtf8((*fields)[0]), *linked};
}

std::optional<LoginTimeRequest> ParseLoginTime(std::string_view arguments) {
  const auto fields = Exactly(arguments, 1);
  if (!fields) return std::nullopt;
  return LoginTimeRequest{Cp1253ToUtf8((*fields)[0])};
}

std::optional<PcInfoRequest> ParsePcInfo(std::string_view arguments) {
  const auto fields = Exactly(arguments, 5);
  if (!fields) return std::nullopt;
  const auto& f = *fields;
  return PcInfoRequest{Cp1253ToUtf8(f[0]), Cp1253ToUtf8(f[1]), Cp1253ToUtf8(f[2]),
                       Cp1253ToUtf8(f[3]), Cp1253ToUtf8(f[4])};
}

std::optional<PathRequest> ParsePathRequest(std::string_view arguments) {
  const auto fields = Exactly(arguments, 1);
  if (!fields) return std::nullopt;
  return PathRequest{Cp1253ToUtf8((*fields)[0])};
}

std::optional<RenameRequest> ParseRename(std::string_view arguments) {
  const auto fields = Exactly(arguments, 2);
  if (!fields) return std::nullopt;
  return RenameRequest{Cp1253ToUtf8((*fields)[0]), Cp1253ToUtf8((*fields)[1])};
}

std::optional<UploadRequest> ParseUpload(std::string_view arguments) {
  const auto fields = Exactly(arguments, 4);
  if (!fields) return std::nullopt;
  const auto& f = *fields;
  const auto start = ParsePosition(f[0]);
  const auto size = ParseCount(f[1]);
  if (!start || !size || !IsWireStamp(f[3])) return std::nullopt;
  return UploadRequest{*start, *size, Cp1253ToUtf8(f[2]), std::string(f[3])};
}

std::optional<DownloadRequest> ParseDownload(std::string_view arguments) {
  const auto fields = Exactly(arguments, 3);
  if (!fields) return std::nullopt;
  const auto& f = *fields;
  const auto start = ParsePosition(f[0]);
  const auto linked = ParseBool(f[2]);
  if (!start || !linked) return std::nullopt;
  return DownloadRequest{*start, Cp1253ToUtf8(f[1]), *linked};
}

std::optional<std::int64_t> ParseDoDownload(std::string_view arguments) {
  const auto fields = Exactly(arguments, 1);
  if (!fields) return std::nullopt;
  return ParsePosition((*fields)[0]);
}

// ---- Server to client ----

std::string EncodeLoginOk(const LoginOkReply& reply) {
  return Frame(keyword::kLoginOk,
               {std::to_string(reply.used), std::to_string(reply.quota), FormatBool(reply.dealers),
                FormatBool(reply.over_quota_warning)});
}

std::string EncodeListReply(const std::vector<ListRow>& rows) {
  return Frame(keyword::kList, {FormatListRows(rows)});
}

std::string EncodeTotalSize(std::int64_t used) {
  return Frame(keyword::kTotalSize, {std::to_string(used)});
}

std::string EncodeLoginTimeReply(std::string_view time) {
  return Frame(keyword::kLoginTime, {Utf8ToCp1253(time)});
}

std::string EncodeCleanupInfo(const CleanupInfoReply& reply) {
  return Frame(keyword::kSchCleanupInfo,
               {std::to_string(reply.days), std::to_string(reply.interval)});
}

std::optional<LoginOkReply> ParseLoginOk(std::string_view arguments) {
  const auto fields = Exactly(arguments, 4);
  if (!fields) return std::nullopt;
  const auto& f = *fields;
  const auto used = ParseCount(f[0]);
  const auto quota = ParseCount(f[1]);
  const auto dealers = ParseBool(f[2]);
  const auto warning = ParseBool(f[3]);
  if (!used || !quota || !dealers || !warning) return std::nullopt;
  return LoginOkReply{*used, *quota, *dealers, *warning};
}

std::optional<std::vector<ListRow>> ParseListReply(std::string_view arguments) {
  return ParseListRows(arguments);
}

std::optional<std::int64_t> ParseTotalSize(std::string_view arguments) {
  const auto fields = Exactly(arguments, 1);
  if (!fields) return std::nullopt;
  return ParseCount((*fields)[0]);
}

std::optional<std::string> ParseLoginTimeReply(std::string_view arguments) {
  const auto fields = Exactly(arguments, 1);
  if (!fields) return std::nullopt;
  return Cp1253ToUtf8((*fields)[0]);
}

std::optional<CleanupInfoReply> ParseCleanupInfo(std::string_view arguments) {
  const auto fields = Exactly(arguments, 2);
  if (!fields) return std::nullopt;
  const auto days = ParseCount((*fields)[0]);
  const auto interval = ParseCount((*fields)[1]);
  if (!days || *days > INT32_MAX || !interval || *interval > INT16_MAX) return std::nullopt;
  return CleanupInfoReply{static_cast<std::int32_t>(*days), static_cast<std::int16_t>(*interval)};
}

}  // namespace session
