#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "server/server_context.h"
#include "server/transfer_files.h"
#include "session/frame_reader.h"
#include "session/remote_path.h"

namespace server {

/// The server side of one client connection: reads the client's messages,
/// answers each request with its reply or error reply, and streams file data
/// for uploads and downloads. Before LOGINOK nothing but LOGIN and PING is
/// served. A client that breaks the framing, sends an unknown request, a
/// request out of turn, or a path that tries to leave its folder has its
/// connection closed; other sessions never notice.
///
/// Events come from the owner (OnData, OnSendComplete) on the loop thread.
/// The session never destroys itself: it asks the transport to close and the
/// owner destroys it afterwards.
class ClientSession {
 public:
  using Clock = std::chrono::steady_clock;

  ClientSession(ServerContext& context, Transport& transport, std::uint64_t id, std::string peer);
  /// Ends a running transfer (a partial upload stays on disk) and frees the
  /// user's session slot.
  ~ClientSession();
  ClientSession(const ClientSession&) = delete;
  ClientSession& operator=(const ClientSession&) = delete;

  /// The connection is gone: ends a running transfer (a partial upload stays
  /// on disk) and frees the user's session slot at once, so a client that
  /// reconnects right away is not refused for its own old session. Nothing
  /// is sent afterwards. Safe to call more than once.
  void Detach();

  /// Bytes arrived from the client. All of them are consumed.
  void OnData(std::string_view bytes);
  /// Everything queued so far has been taken by the system; a download sends
  /// its next block from here.
  void OnSendComplete();

  /// Housekeeping tick: sends the server's PING to a session idle for
  /// `ping_every` seconds (0: never), and closes a connection that has not
  /// logged in within the login time-out.
  void Tick(Clock::time_point now);

 private:
  enum class Phase {
    kLogin,        ///< waiting for LOGIN
    kReady,        ///< logged in, waiting for a request
    kUploading,    ///< raw upload bytes expected
    kOffered,      ///< DO DOWNLOAD sent, waiting for the client's DO DOWNLOAD
    kDownloading,  ///< sending raw download bytes
    kClosing,      ///< the connection is being closed
  };
  enum class Root { kPersonal, kDealers, kLink };

  void ProcessInput();
  void HandleFrame(std::string_view payload);
  void Dispatch(std::string_view keyword, std::string_view arguments, bool has_arguments);
  void Reply(std::string_view frame, std::string_view note);
  /// A reply that is its keyword alone (error replies and the plain OKs).
  void ReplyKeyword(std::string_view keyword);
  void RefuseAndClose(std::string_view keyword);
  void Violation(std::string_view why);

  // Requests (client_session.cc and client_session_commands.cc).
  void HandleLogin(std::string_view arguments);
  void HandleList(std::string_view arguments);
  void HandleNewDir(std::string_view arguments);
  void HandleRename(std::string_view arguments);
  void HandleDelete(std::string_view arguments);
  void HandlePcInfo(std::string_view arguments);
  void HandleLoginTime(std::string_view arguments);
  void HandleFolderSwitch(bool dealers);

  // Transfers (client_session_transfers.cc).
  void HandleUpload(std::string_view arguments);
  void ConsumeUpload(std::string_view& bytes);
  void FinishUpload();
  void EndUpload();
  void HandleDownload(std::string_view arguments);
  void HandleDoDownload(std::string_view arguments);
  void SendNextBlock();
  void EndDownload();

  /// A wire path parsed; a path that could escape closes the connection and
  /// answers nothing.
  std::optional<session::RemotePath> ParsePath(std::string_view wire);
  /// The folder a path is resolved in, and the path inside it: a linked path
  /// starts with a link target, which picks the link's folder.
  std::optional<std::filesystem::path> Resolve(const session::RemotePath& path, bool linked);
  /// True (after replying) when writes are refused here: the dealers folder.
  bool RefuseWriteInDealers();
  bool IsLinkName(std::string_view name) const;

  ServerContext& context_;
  Transport& transport_;
  std::uint64_t id_;
  std::string peer_;
  session::FrameReader reader_;
  Phase phase_ = Phase::kLogin;
  Clock::time_point created_;
  Clock::time_point last_activity_;

  const UserConfig* user_ = nullptr;
  std::filesystem::path personal_root_;
  bool in_dealers_ = false;
  std::string login_time_;
  std::string request_note_;  ///< what the request being handled was, for its log line
  std::string reply_note_;    ///< what it was answered

  struct Upload {
    std::filesystem::path path;
    std::string stamp;
    std::int64_t remaining = 0;
    FileSink sink;
  } upload_;
  struct Download {
    std::filesystem::path path;
    std::int64_t start = 0;  ///< 1-based
    std::int64_t remaining = 0;
    std::string block;
    FileSource source;
    bool registered = false;
  } download_;
  bool upload_registered_ = false;
  bool in_input_ = false;
  bool slot_held_ = false;  ///< counted in context_.sessions_per_user
};

}  // namespace server
