#include "net/host_resolver.h"

#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "net/socket_api.h"
#include "net/socket_errors.h"

namespace net {

/// What the workers share with the resolver: the loop to post to (cleared when the
/// resolver goes away) and the handles that must not deliver.
struct ThreadResolver::Channel {
  std::mutex mutex;
  EventLoop* loop = nullptr;
  std::unordered_set<std::int32_t> running;
};

ThreadResolver::ThreadResolver(EventLoop& loop) : channel_(std::make_shared<Channel>()) {
  channel_->loop = &loop;
}

ThreadResolver::~ThreadResolver() {
  std::lock_guard lock(channel_->mutex);
  channel_->loop = nullptr;
  channel_->running.clear();
}

int ThreadResolver::Start(std::int32_t handle, const std::string& host, Done done) {
  {
    std::lock_guard lock(channel_->mutex);
    channel_->running.insert(handle);
  }
  try {
    std::thread([channel = channel_, handle, host, done = std::move(done)]() mutable {
      LookupResult result;
      result.error = sys::ResolveNow(host, &result.address);
      std::lock_guard lock(channel->mutex);
      if (!channel->loop || channel->running.erase(handle) == 0) return;
      // The loop runs `done` after this thread has let go of the channel.
      channel->loop->Post([channel, result, done = std::move(done)] {
        {
          std::lock_guard relock(channel->mutex);
          if (!channel->loop) return;
        }
        done(result);
      });
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard lock(channel_->mutex);
    channel_->running.erase(handle);
    return kWsaNoBufferSpace;
  }
  return 0;
}

bool ThreadResolver::Cancel(std::int32_t handle) {
  std::lock_guard lock(channel_->mutex);
  // A result already on its way to the loop is dropped by the owner's routing table.
  channel_->running.erase(handle);
  return true;
}

}  // namespace net
