#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace net {

/// A FIFO of bytes. Appending is amortised O(1) per byte and taking bytes from the
/// front moves an offset, so a queue that is filled and drained in pieces never copies
/// its remaining bytes on every step. The storage is not zero-filled, so a receive can
/// write straight into the tail.
class ByteQueue {
 public:
  ByteQueue() = default;
  ByteQueue(const ByteQueue&) = delete;
  ByteQueue& operator=(const ByteQueue&) = delete;

  std::size_t Size() const { return end_ - begin_; }
  bool Empty() const { return end_ == begin_; }
  /// The queued bytes; valid until the next change of the queue.
  std::string_view View() const { return {data_.get() + begin_, end_ - begin_}; }

  void Append(std::string_view bytes);
  /// Space for at least `n` more bytes at the tail; write into it, then `Commit`.
  char* PrepareTail(std::size_t n);
  void Commit(std::size_t n) { end_ += n; }

  /// Drops `n` bytes (at most `Size()`) from the front.
  void Consume(std::size_t n);
  /// Removes and answers the first `n` bytes (at most `Size()`).
  std::string Take(std::size_t n);
  /// Empties the queue and releases its storage.
  void Clear();

 private:
  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

}  // namespace net
