#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace session {

/// Incremental reader of the framed text messages of the folder protocol: a
/// decimal length (no sign, no leading zeros), "|", then exactly that many
/// payload bytes, with nothing between one frame and the next.
///
/// The reader is pure and total: it is fed bytes as they arrive, in pieces of
/// any size, and hands out complete frames one at a time. It never allocates
/// what the peer merely announces: a payload is only ever as large as the
/// bytes actually fed. A length prefix that is not a number, has a leading
/// zero, or announces more than the limit is malformed; the reader then stays
/// malformed until Reset, and the connection is meant to be closed.
///
/// Optionally the unframed keep-alive tokens "PING" and "PONG" are recognised
/// where a frame would start (a frame always starts with a digit, so the two
/// cannot be confused). Raw transfer data bypasses the reader: whoever
/// switches a connection to a raw stream takes the bytes already buffered
/// beyond the last frame with Buffered/Discard and routes later arrivals
/// straight to the file, so file data is neither scanned nor copied here.
class FrameReader {
 public:
  /// The default payload limit, 64 MiB. The largest message of the protocol
  /// is a LIST reply; a folder of 100,000 entries with names of 255
  /// characters, 19-digit sizes, stamps and 260-character link targets needs
  /// at most about 55 MB, so honest peers stay well below the limit while a
  /// hostile length prefix cannot make either side hold more than this.
  static constexpr std::int64_t kDefaultMaxPayload = std::int64_t{64} * 1024 * 1024;

  enum class Tokens {
    kFramesOnly,  ///< every byte is part of a frame
    kKeepAlive,   ///< "PING" / "PONG" at a frame boundary are tokens
  };

  enum class Status {
    kNeedMore,   ///< no complete item buffered yet
    kFrame,      ///< a complete frame; `payload` holds it
    kPing,       ///< an unframed "PING"
    kPong,       ///< an unframed "PONG"
    kMalformed,  ///< the input broke the framing rules; see `error`
  };

  struct Result {
    Status status = Status::kNeedMore;
    /// The payload of a frame. Valid until the next call of Feed, Next,
    /// Discard or Reset.
    std::string_view payload;
    /// What was wrong, for kMalformed (a short English phrase for logs).
    std::string_view error;
  };

  explicit FrameReader(Tokens tokens = Tokens::kFramesOnly,
                       std::int64_t max_payload = kDefaultMaxPayload);

  /// Appends received bytes.
  void Feed(std::string_view bytes);

  /// Takes the next complete item from the buffered bytes.
  Result Next();

  /// The payload of the frame Next has just answered, as a string of its own.
  /// A large payload at the start of the buffer is handed over with the
  /// buffer instead of copied. Call it before the next Feed, Next, Discard or
  /// Reset; the payload view of the result is invalid afterwards.
  std::string TakePayload(std::string_view payload);

  /// Bytes fed but not yet taken by Next: after the last frame of a message
  /// exchange these are the first bytes of a raw stream. Only meaningful
  /// while no frame is in progress.
  std::string_view Buffered() const;
  /// Drops the first `count` buffered bytes (at most Buffered().size()).
  void Discard(std::size_t count);

  /// True while a length prefix has been read and its payload is incomplete.
  bool InFrame() const { return announced_ >= 0; }
  /// The payload length announced by the frame in progress, or -1.
  std::int64_t Announced() const { return announced_; }
  /// True once malformed input was seen.
  bool Failed() const { return failed_ != nullptr; }

  /// Forgets every buffered byte, the frame in progress and a failure.
  void Reset();

  std::int64_t MaxPayload() const { return max_payload_; }

 private:
  Result Fail(const char* why);
  void Compact();

  Tokens tokens_;
  std::int64_t max_payload_;
  std::size_t max_digits_;
  std::string buffer_;
  std::size_t start_ = 0;         // first unread byte of buffer_
  std::int64_t announced_ = -1;   // payload length of the frame in progress
  const char* failed_ = nullptr;  // why the input was refused
};

}  // namespace session
