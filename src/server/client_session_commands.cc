// Listing and the folder commands NEWDIR, RENAME and DELETE.
#include <algorithm>
#include <system_error>

#include "server/client_session.h"
#include "server/paths.h"
#include "session/protocol.h"
#include "support/codepage.h"
#include "support/text.h"

namespace server {

namespace fs = std::filesystem;
namespace kw = session::keyword;

namespace {

fs::file_type TypeOf(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type();
}

/// The path of an item's parent folder: every name but the last.
session::RemotePath ParentOf(const session::RemotePath& path) {
  session::RemotePath parent = path;
  parent.names.pop_back();
  parent.trailing_backslash = true;
  return parent;
}

}  // namespace

void ClientSession::HandleList(std::string_view arguments) {
  const auto request = session::ParseList(arguments);
  if (!request) return Violation("malformed LIST");
  const auto path = ParsePath(request->path);
  if (!path) return;
  const auto folder = Resolve(*path, request->linked);
  if (!folder || TypeOf(*folder) != fs::file_type::directory)
    return ReplyKeyword(kw::kFileNotFound);

  auto rows = ListFolder(*folder);
  const bool personal_root = !request->linked && !in_dealers_ && path->names.empty();
  if (personal_root && !context_.config.links.empty()) {
    // Linked folders appear at the top of every personal folder and hide a
    // real entry of the same name, which the client could not tell apart.
    std::erase_if(rows, [&](const session::ListRow& row) { return IsLinkName(row.name); });
    std::vector<session::ListRow> links;
    for (const auto& link : context_.config.links)
      links.push_back(session::ListRow{link.name, 0, {}, link.WirePath()});
    rows.insert(rows.begin(), links.begin(), links.end());
  }
  Reply(session::EncodeListReply(rows), "LIST (" + std::to_string(rows.size()) + " rows)");
}

void ClientSession::HandleNewDir(std::string_view arguments) {
  const auto request = session::ParsePathRequest(arguments);
  if (!request) return Violation("malformed NEWDIR");
  const auto path = ParsePath(request->path);
  if (!path) return;
  if (RefuseWriteInDealers()) return;
  if (path->names.empty()) return ReplyKeyword(kw::kDirExists);
  const auto parent = Resolve(ParentOf(*path), false);
  if (!parent || TypeOf(*parent) != fs::file_type::directory)
    return ReplyKeyword(kw::kFileNotFound);
  if (path->names.size() == 1 && IsLinkName(path->names.back()))
    return ReplyKeyword(kw::kDirExists);
  if (!IsCreatableName(path->names.back())) return ReplyKeyword(kw::kUnexpected);
  const auto target = Resolve(*path, false);
  if (!target) return ReplyKeyword(kw::kFileNotFound);
  switch (TypeOf(*target)) {
    case fs::file_type::not_found:
      break;
    case fs::file_type::directory:
      return ReplyKeyword(kw::kDirExists);
    default:
      return ReplyKeyword(kw::kFileExists);
  }
  std::error_code ec;
  if (!fs::create_directory(*target, ec) || ec) return ReplyKeyword(kw::kUnexpected);
  ReplyKeyword(kw::kNewDirOk);
}

void ClientSession::HandleRename(std::string_view arguments) {
  const auto request = session::ParseRename(arguments);
  if (!request) return Violation("malformed RENAME");
  const auto from = ParsePath(request->from);
  if (!from) return;
  const auto to = ParsePath(request->to);
  if (!to) return;
  if (RefuseWriteInDealers()) return;
  if (from->names.empty()) return ReplyKeyword(kw::kFileNotFound);
  if (to->names.empty()) return ReplyKeyword(kw::kFileExists);
  const auto source = Resolve(*from, false);
  if (!source || TypeOf(*source) == fs::file_type::not_found)
    return ReplyKeyword(kw::kFileNotFound);
  if (context_.transfers.BusyAtOrBelow(*source)) return ReplyKeyword(kw::kInUse);
  const auto parent = Resolve(ParentOf(*to), false);
  if (!parent || TypeOf(*parent) != fs::file_type::directory)
    return ReplyKeyword(kw::kFileNotFound);
  if (to->names.size() == 1 && IsLinkName(to->names.back())) return ReplyKeyword(kw::kFileExists);
  if (!IsCreatableName(to->names.back())) return ReplyKeyword(kw::kUnexpected);
  const auto existing = Resolve(*to, false);
  if (!existing) return ReplyKeyword(kw::kFileNotFound);
  // The new name as typed: a change of letter case only finds the item itself.
  const fs::path target = *parent / fs::path(to->names.back());
  if (TypeOf(*existing) != fs::file_type::not_found && *existing != *source)
    return ReplyKeyword(kw::kFileExists);
  std::error_code ec;
  fs::rename(*source, target, ec);
  if (ec) return ReplyKeyword(kw::kUnexpected);
  ReplyKeyword(kw::kRenameOk);
}

void ClientSession::HandleDelete(std::string_view arguments) {
  const auto request = session::ParsePathRequest(arguments);
  if (!request) return Violation("malformed DELETE");
  const auto path = ParsePath(request->path);
  if (!path) return;
  if (RefuseWriteInDealers()) return;
  if (path->names.empty()) return ReplyKeyword(kw::kFileNotFound);
  const auto target = Resolve(*path, false);
  if (!target || TypeOf(*target) == fs::file_type::not_found)
    return ReplyKeyword(kw::kFileNotFound);
  if (context_.transfers.BusyAtOrBelow(*target)) return ReplyKeyword(kw::kInUse);
  std::error_code ec;
  fs::remove_all(*target, ec);
  if (ec) return ReplyKeyword(kw::kUnexpected);
  ReplyKeyword(kw::kDeleteOk);
}

}  // namespace server
