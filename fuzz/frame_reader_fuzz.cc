// Feeds arbitrary bytes to the frame reader twice, whole and in pieces whose
// sizes come from the input itself, and checks that both readings agree and
// that no frame exceeds the limit nor the frames together the bytes fed.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "session/frame_reader.h"

namespace {

using session::FrameReader;

struct Item {
  FrameReader::Status status;
  std::string payload;
  bool operator==(const Item&) const = default;
};

constexpr std::int64_t kLimit = 4096;

void Drain(FrameReader& reader, std::vector<Item>& items) {
  while (true) {
    const auto result = reader.Next();
    if (result.status == FrameReader::Status::kNeedMore) return;
    if (result.status == FrameReader::Status::kFrame &&
        static_cast<std::int64_t>(result.payload.size()) > kLimit)
      std::abort();
    items.push_back({result.status, std::string(result.payload)});
    if (result.status == FrameReader::Status::kMalformed) return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t step_seed = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const auto tokens =
      (step_seed & 1) ? FrameReader::Tokens::kKeepAlive : FrameReader::Tokens::kFramesOnly;

  FrameReader whole(tokens, kLimit);
  std::vector<Item> once;
  whole.Feed(input);
  Drain(whole, once);

  FrameReader pieces(tokens, kLimit);
  std::vector<Item> split;
  const std::size_t step = 1 + (step_seed >> 1);
  for (std::size_t at = 0; at < input.size(); at += step) {
    pieces.Feed(input.substr(at, step));
    Drain(pieces, split);
    if (pieces.Failed()) break;
  }
  if (once != split) std::abort();
  std::size_t payload_bytes = 0;
  for (const auto& item : once) payload_bytes += item.payload.size();
  if (payload_bytes > input.size()) std::abort();
  return 0;
}
