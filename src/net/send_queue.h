#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace net {

/// The bytes a socket has accepted for sending and the system has not taken yet, kept
/// as a list of buffers: a buffer handed over by the caller joins the list without
/// being copied, small appends are gathered into the last buffer, and dropping sent
/// bytes from the front never moves the rest.
class SendQueue {
 public:
  std::size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  /// The first contiguous piece of the queue (empty when the queue is); valid until
  /// the next change.
  std::string_view Front() const;

  /// Copies `bytes` to the end.
  void Append(std::string_view bytes);
  /// Takes `buffer` over, without its first `skip` bytes (which were sent already).
  void Append(std::string&& buffer, std::size_t skip);
  /// Drops `n` bytes (at most `Size()`) from the front.
  void Consume(std::size_t n);
  void Clear();

 private:
  std::deque<std::string> buffers_;
  std::size_t head_ = 0;  ///< bytes of buffers_.front() already sent
  std::size_t size_ = 0;
  /// The storage of the last buffer sent, kept for the next copied append so that a
  /// stream of large sends does not allocate (and fault in) fresh memory every time.
  std::string spare_;
};

}  // namespace net
