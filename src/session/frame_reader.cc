#include "session/frame_reader.h"

#include <algorithm>

namespace session {

namespace {

constexpr std::string_view kPingToken = "PING";
constexpr std::string_view kPongToken = "PONG";
// Frames from this size are held in room made for them at once, and handed
// over with the buffer instead of copied.
constexpr std::size_t kLargeFrame = 64 * 1024;

std::size_t DigitsOf(std::int64_t value) {
  std::size_t digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

}  // namespace

FrameReader::FrameReader(Tokens tokens, std::int64_t max_payload)
    : tokens_(tokens),
      max_payload_(std::max<std::int64_t>(max_payload, 0)),
      max_digits_(DigitsOf(max_payload_)) {}

void FrameReader::Feed(std::string_view bytes) {
  if (failed_ != nullptr || bytes.empty()) return;
  Compact();
  buffer_.append(bytes);
}

std::string FrameReader::TakePayload(std::string_view payload) {
  if (payload.size() < kLargeFrame || payload.data() != buffer_.data()) {
    return std::string(payload);
  }
  std::string rest(Buffered());
  std::string taken = std::move(buffer_);
  taken.resize(payload.size());
  buffer_ = std::move(rest);
  start_ = 0;
  return taken;
}

std::string_view FrameReader::Buffered() const { return std::string_view(buffer_).substr(start_); }

void FrameReader::Discard(std::size_t count) {
  start_ += std::min(count, buffer_.size() - start_);
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
}

void FrameReader::Reset() {
  buffer_.clear();
  start_ = 0;
  announced_ = -1;
  failed_ = nullptr;
}

FrameReader::Result FrameReader::Fail(const char* why) {
  failed_ = why;
  announced_ = -1;
  buffer_.clear();
  start_ = 0;
  return Result{Status::kMalformed, {}, why};
}

void FrameReader::Compact() {
  // Keeps the buffer from growing by the bytes already handed out; a frame
  // view given by Next is invalidated by Feed anyway.
  if (start_ == 0) return;
  if (start_ == buffer_.size()) {
    buffer_.clear();
  } else {
    buffer_.erase(0, start_);
  }
  start_ = 0;
}

FrameReader::Result FrameReader::Next() {
  if (failed_ != nullptr) return Result{Status::kMalformed, {}, failed_};
  std::string_view rest = Buffered();

  if (announced_ < 0) {
    if (rest.empty()) return {};
    if (tokens_ == Tokens::kKeepAlive && rest.front() == 'P') {
      const std::string_view head = rest.substr(0, 4);
      for (const auto token : {kPingToken, kPongToken}) {
        if (token.substr(0, head.size()) != head) continue;
        if (head.size() < token.size()) return {};
        Discard(token.size());
        return Result{token == kPingToken ? Status::kPing : Status::kPong, {}, {}};
      }
      return Fail("unknown unframed token");
    }
    std::size_t digits = 0;
    std::int64_t length = 0;
    while (digits < rest.size() && rest[digits] != '|') {
      const char c = rest[digits];
      if (c < '0' || c > '9') return Fail("length prefix is not a number");
      if (digits == max_digits_) return Fail("length prefix too long");
      length = length * 10 + (c - '0');
      ++digits;
    }
    if (digits == rest.size()) return {};  // the "|" has not arrived yet
    if (digits == 0) return Fail("empty length prefix");
    if (digits > 1 && rest.front() == '0') return Fail("length prefix has a leading zero");
    if (length > max_payload_) return Fail("announced length above the limit");
    announced_ = length;
    Discard(digits + 1);
    rest = Buffered();
  }

  const auto need = static_cast<std::size_t>(announced_);
  if (rest.size() < need) {
    // The whole frame will be held here: room for it at once instead of the
    // doublings of the appends (the announced length is within the limit).
    if (need >= kLargeFrame) buffer_.reserve(start_ + need);
    return {};
  }
  const std::string_view payload = rest.substr(0, need);
  announced_ = -1;
  start_ += need;  // the view stays valid: the bytes are only dropped by the next Feed
  return Result{Status::kFrame, payload, {}};
}

}  // namespace session
