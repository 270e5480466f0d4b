#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/event_loop.h"

namespace net {

/// Outcome of one host look-up: a socket error number (0 = found) and, when found,
/// the first IPv4 address in network byte order.
struct LookupResult {
  int error = 0;
  std::uint32_t address = 0;
};

/// Asynchronous host-name look-ups whose results arrive on the loop thread.
class HostResolver {
 public:
  using Done = std::function<void(LookupResult)>;
  virtual ~HostResolver() = default;

  /// Starts looking up `host` (IPv4). `done` runs later on the loop thread, never
  /// inside this call, and never once `Cancel(handle)` has succeeded. Answers 0, or
  /// the socket error number that kept the look-up from starting.
  virtual int Start(std::int32_t handle, const std::string& host, Done done) = 0;
  /// Cancels a look-up that has not delivered yet; answers whether it was cancelled.
  virtual bool Cancel(std::int32_t handle) = 0;
};

/// Runs each look-up with getaddrinfo on its own worker thread and posts the result
/// to the loop. A look-up still running when the resolver goes away finishes on its
/// thread and delivers nothing.
class ThreadResolver : public HostResolver {
 public:
  explicit ThreadResolver(EventLoop& loop);
  ~ThreadResolver() override;

  int Start(std::int32_t handle, const std::string& host, Done done) override;
  bool Cancel(std::int32_t handle) override;

  struct Channel;

 private:
  std::shared_ptr<Channel> channel_;
};

}  // namespace net
