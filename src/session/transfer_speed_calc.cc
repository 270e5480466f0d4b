#include "session/transfer_speed_calc.h"

#include <array>
#include <limits>
#include <string_view>

#include "support/error.h"
#include "support/text.h"

namespace session {
namespace {

constexpr std::array<std::string_view, 9> kUnits = {"bytes", "KB", "MB", "GB", "TB",
                                                    "PB",    "EB", "ZB", "YB"};
constexpr int kDefaultSamples = 10;

}  // namespace

TransferSpeedCalc::TransferSpeedCalc() : ring_(kDefaultSamples, 0) {}

void TransferSpeedCalc::Clear() {
  for (auto& slot : ring_) slot = -1;
  write_index_ = 0;
  last_position_ = 0;
}

void TransferSpeedCalc::InitialSample(std::int64_t position) { last_position_ = position; }

void TransferSpeedCalc::AddSample(std::int64_t position) {
  ring_[static_cast<std::size_t>(write_index_)] = position - last_position_;
  ++write_index_;
  last_position_ = position;
  // The written range is 0 .. Samples() - 2. ">=" rather than "==" keeps a ring
  // of one slot (upper index 0) from running past its end.
  if (write_index_ >= Samples() - 1) write_index_ = 0;
}

double TransferSpeedCalc::AverageSpeed() const {
  std::int64_t sum = 0;
  int count = 0;
  for (int i = 0; i + 1 < Samples(); ++i) {
    const std::int64_t slot = ring_[static_cast<std::size_t>(i)];
    if (slot < 0) break;
    sum += slot;
    ++count;
  }
  return count == 0 ? 0.0 : static_cast<double>(sum) / count;
}

std::int32_t TransferSpeedCalc::CalcEstimatedSeconds(std::int64_t total, std::int64_t position,
                                                     double speed) const {
  if (total < 0 || position <= 0 || speed < 0) {
    throw support::InvalidArgument("TransferSpeedCalc.CalcEstimatedSeconds");
  }
  if (speed == 0) return -1;
  const double seconds = support::RoundHalfEven(static_cast<double>(total - position) / speed);
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (seconds > kMax) return std::numeric_limits<std::int32_t>::max();
  if (seconds < kMin) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(seconds);
}

std::string FormatSizeUnit(double value, int decimals, bool fixed_decimals) {
  if (value < 0 || decimals < 0) throw support::InvalidArgument("TransferSpeedCalc.FormatSizeUnit");
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < kUnits.size()) {
    value /= 1024;
    ++unit;
  }
  value = support::RoundHalfEven(value, decimals);
  std::string number = fixed_decimals && decimals != 0 ? support::FormatFixed(value, 1)
                                                       : support::FormatShortest(value, decimals);
  number.push_back(' ');
  number.append(kUnits[unit]);
  return number;
}

void TransferSpeedCalc::SetSamples(int n) {
  if (n < 1) throw support::InvalidPropertyValue("TransferSpeedCalc.Samples");
  ring_.resize(static_cast<std::size_t>(n), 0);
  // The next write must land in the written range 0 .. n - 2 (or slot 0 for n = 1).
  if (write_index_ >= n - 1) write_index_ = 0;
}

}  // namespace session
