#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "net/event_loop.h"

namespace app {

/// What the first instance is told when another start of the program finds it.
class IAppInstance {
 public:
  virtual ~IAppInstance() = default;
  /// `activation_token` is the desktop's permission to take the focus that the
  /// second start was given (XDG_ACTIVATION_TOKEN on Wayland, DESKTOP_STARTUP_ID
  /// on X11); empty when it had none.
  virtual void Notify(const std::string& activation_token) = 0;
};

/// One running copy of the program per user session.
///
/// The first `AlreadyRunning` takes an exclusive lock on the file `AppName` +
/// ".lock" in the user's runtime folder ($XDG_RUNTIME_DIR, which exists once
/// per user while they are logged in; /tmp/<name>-<uid> when it is unset) or,
/// with `GlobalCheck`, in /tmp for the whole machine. The lock is the kernel's
/// (flock): it ends with the process however that ends, so a crashed or killed
/// instance never stops the next start, and the lock file itself is never
/// removed (removing it would let two starts lock two different files).
///
/// The first instance `Listen`s on a local (Unix-domain) socket next to the
/// lock file. A later start's `Notify` connects to it and sends one request
/// line, "NOTIFY <message> <param1> <param2> <token>"; the listener answers
/// "1" when the message and both parameters are its own (after calling the
/// callback) and "0" otherwise, then closes the connection.
///
/// Raises support::Error 5 for an `AppName` holding "\\" and for
/// `AlreadyRunning` without a name, 380 for a `NotifyMessage` below 32768.
class AppInstance {
 public:
  AppInstance();
  ~AppInstance();
  AppInstance(const AppInstance&) = delete;
  AppInstance& operator=(const AppInstance&) = delete;

  const std::string& AppName() const { return app_name_; }
  void SetAppName(std::string_view name);
  bool GlobalCheck() const { return global_check_; }
  void SetGlobalCheck(bool global) { global_check_ = global; }
  std::int32_t NotifyMessage() const { return notify_message_; }
  void SetNotifyMessage(std::int32_t message);
  std::int32_t NotifyMessageParam1() const { return param1_; }
  void SetNotifyMessageParam1(std::int32_t value) { param1_ = value; }
  std::int32_t NotifyMessageParam2() const { return param2_; }
  void SetNotifyMessageParam2(std::int32_t value) { param2_ = value; }
  /// The system error (errno) of the last failed lock attempt, 0 if none.
  int LastError() const { return last_error_; }

  /// Whether another instance holds the lock. Answered once; later calls
  /// return the same answer.
  bool AlreadyRunning();

  /// Tells the running instance; when it answers 1 and `bring_to_front`, the
  /// request carries this start's activation token so the first instance may
  /// take the focus. Waits at most `kNotifyTimeout` for the answer. True when
  /// the answer was 1.
  bool Notify(bool bring_to_front);

  /// First instance: accepts notifications on `loop` and calls `callback`
  /// (not owned; it must outlive the listening) for each that matches.
  void Listen(net::EventLoop& loop, IAppInstance* callback);

  /// Where the lock and the socket live (for tests and messages).
  std::string LockPath() const;
  std::string SocketPath() const;

  static constexpr int kNotifyTimeoutMs = 3000;

 private:
  struct Peer;
  std::string Folder() const;
  void Accept();
  void Read(int fd);
  void Drop(int fd);

  std::string app_name_;
  bool global_check_ = false;
  std::int32_t notify_message_ = 32769;
  std::int32_t param1_ = 0;
  std::int32_t param2_ = 0;
  int last_error_ = 0;
  int lock_fd_ = -1;
  bool checked_ = false;
  bool running_ = false;

  net::EventLoop* loop_ = nullptr;
  IAppInstance* callback_ = nullptr;
  int listen_fd_ = -1;
  net::WatchId listen_watch_ = net::kNoWatch;
  std::string listening_path_;
  std::map<int, std::unique_ptr<Peer>> peers_;
};

/// The start-up's single-instance check: owns the `AppInstance` and is its
/// callback.
class AppInstanceListener : public IAppInstance {
 public:
  /// `on_notify` runs in the first instance when a later start finds it.
  AppInstanceListener(net::EventLoop& loop, std::function<void(const std::string&)> on_notify);

  /// With `AppName` := `name`, no global check and message 33312: when another
  /// instance runs, notifies it (bring to front) and answers true; otherwise
  /// listens and answers false.
  bool CheckAlreadyRunning(std::string_view name);

  void Notify(const std::string& activation_token) override;

  AppInstance& Instance() { return instance_; }

 private:
  net::EventLoop& loop_;
  std::function<void(const std::string&)> on_notify_;
  AppInstance instance_;
};

}  // namespace app
