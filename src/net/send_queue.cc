#include "net/send_queue.h"

#include <algorithm>
#include <utility>

namespace net {
namespace {

/// Appends up to this size are gathered into the last buffer rather than starting one.
constexpr std::size_t kGatherLimit = 64 * 1024;

}  // namespace

std::string_view SendQueue::Front() const {
  if (buffers_.empty()) return {};
  return std::string_view(buffers_.front()).substr(head_);
}

void SendQueue::Append(std::string_view bytes) {
  if (bytes.empty()) return;
  if (!buffers_.empty() && buffers_.back().size() + bytes.size() <= kGatherLimit) {
    buffers_.back().append(bytes);
  } else if (spare_.capacity() >= bytes.size()) {
    spare_.assign(bytes);
    buffers_.push_back(std::move(spare_));
    spare_ = std::string();
  } else {
    buffers_.emplace_back(bytes);
  }
  size_ += bytes.size();
}

void SendQueue::Append(std::string&& buffer, std::size_t skip) {
  skip = std::min(skip, buffer.size());
  if (skip == buffer.size()) return;
  const std::size_t added = buffer.size() - skip;
  if (buffers_.empty()) {
    buffers_.push_back(std::move(buffer));
    head_ = skip;
  } else if (skip == 0) {
    buffers_.push_back(std::move(buffer));
  } else {
    buffers_.emplace_back(buffer, skip);  // only a queue's own head may start late
  }
  size_ += added;
}

void SendQueue::Consume(std::size_t n) {
  n = std::min(n, size_);
  size_ -= n;
  while (n > 0) {
    const std::size_t left = buffers_.front().size() - head_;
    if (n < left) {
      head_ += n;
      return;
    }
    n -= left;
    if (buffers_.front().capacity() > spare_.capacity()) {
      spare_ = std::move(buffers_.front());
      spare_.clear();
    }
    buffers_.pop_front();
    head_ = 0;
  }
}

void SendQueue::Clear() {
  buffers_.clear();
  spare_ = std::string();
  head_ = 0;
  size_ = 0;
}

}  // namespace net
