#include "net/byte_queue.h"

#include <algorithm>
#include <cstring>

namespace net {

char* ByteQueue::PrepareTail(std::size_t n) {
  if (capacity_ - end_ >= n) return data_.get() + end_;
  const std::size_t size = Size();
  if (begin_ > 0 && capacity_ - size >= n && begin_ >= size) {
    // Enough room once the consumed front is reclaimed, and the live part is no larger
    // than what was consumed, so this copy is paid for by the bytes taken before it.
    std::memmove(data_.get(), data_.get() + begin_, size);
  } else {
    const std::size_t grown = std::max({size + n, capacity_ * 2, std::size_t{4096}});
    std::unique_ptr<char[]> fresh(new char[grown]);
    if (size > 0) std::memcpy(fresh.get(), data_.get() + begin_, size);
    data_ = std::move(fresh);
    capacity_ = grown;
  }
  begin_ = 0;
  end_ = size;
  return data_.get() + end_;
}

void ByteQueue::Append(std::string_view bytes) {
  if (bytes.empty()) return;
  std::memcpy(PrepareTail(bytes.size()), bytes.data(), bytes.size());
  end_ += bytes.size();
}

void ByteQueue::Consume(std::size_t n) {
  begin_ += std::min(n, Size());
  if (begin_ == end_) begin_ = end_ = 0;
}

std::string ByteQueue::Take(std::size_t n) {
  n = std::min(n, Size());
  std::string out(data_.get() + begin_, n);
  Consume(n);
  return out;
}

void ByteQueue::Clear() {
  data_.reset();
  capacity_ = begin_ = end_ = 0;
}

}  // namespace net
