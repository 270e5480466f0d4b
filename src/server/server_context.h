#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "server/config.h"
#include "server/folder_store.h"

namespace server {

/// What every session of one server shares: the configuration, the folders on
/// disk, the running transfers, the number of sessions per user and the log.
/// Lives on the loop thread; no locking.
struct ServerContext {
  ServerConfig config;
  std::filesystem::path users_root;    ///< DIR/users: one personal folder per user ID
  std::filesystem::path dealers_root;  ///< DIR/dealers: the shared, read-only dealers folder
  std::filesystem::path links_root;    ///< DIR/links: one folder per link target
  TransferRegistry transfers;
  std::map<std::string, int> sessions_per_user;
  /// Bytes read from a file for each send of a download. Memory per download
  /// stays near this (plus what the socket holds), whatever the file size.
  std::size_t block_size = 256 * 1024;
  /// Longest request payload accepted. Requests are short (the longest is a
  /// log-in or a rename with two paths), so a client announcing more is
  /// refused at once instead of being buffered up to the codec's 64 MiB.
  std::int64_t max_request = 64 * 1024;
  /// Seconds a connection may stay without logging in before it is closed.
  int login_timeout = 120;
  /// Receives one line per request and per notable event (no newline).
  std::function<void(const std::string& line)> log;

  /// Sets the three roots below a data folder.
  void SetDataRoot(const std::filesystem::path& data);
  void Log(const std::string& line) const {
    if (log) log(line);
  }
};

/// What a session needs of its connection. The server implements it over a
/// socket; tests may implement it in memory.
class Transport {
 public:
  virtual ~Transport() = default;
  /// Queues bytes for sending, in order.
  virtual void Send(std::string_view bytes) = 0;
  /// Closes the connection once everything queued so far has been sent.
  virtual void CloseAfterSend() = 0;
  /// Drops the connection at once (a peer that broke the protocol).
  virtual void Close() = 0;
};

}  // namespace server
