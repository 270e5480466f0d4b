#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace session {

/// "1023 bytes", "1.0 KB", "2.5 MB": the unit is chosen first (divide by 1024
/// while the value is at least 1024, up to "YB"), then the value is rounded to
/// `decimals` places, halves to even. With `fixed_decimals` and decimals != 0 the
/// number always shows one decimal; otherwise it shows no trailing zeros. The
/// separator is support::DecimalSeparator(). Raises error 5 for a negative value
/// or negative decimals.
std::string FormatSizeUnit(double value, int decimals, bool fixed_decimals);

/// Turns a growing byte position, sampled once per speed tick, into an average
/// speed and an estimate of the time left, and formats byte counts with binary
/// units ("bytes", "KB", ... "YB").
///
/// The ring holds the byte deltas of the last ticks; a negative slot is empty.
/// Only the slots 0 .. Samples() - 2 are written and averaged, so with 20 slots
/// the average covers the last 19 ticks; the last slot keeps the empty mark that
/// Clear() sets.
class TransferSpeedCalc {
 public:
  TransferSpeedCalc();

  /// Records the delta from the previous position and advances the ring.
  void AddSample(std::int64_t position);
  /// Mean of the slots from 0 up to the first empty one, in bytes per tick; 0
  /// when there is none.
  double AverageSpeed() const;
  /// Empties the ring and forgets the last position.
  void Clear();
  /// Seconds left for `total` bytes at `speed` bytes per second from `position`,
  /// rounded half to even; -1 when the speed is 0. Raises error 5 when total < 0,
  /// position <= 0 or speed < 0. A result beyond the 32-bit range is capped.
  std::int32_t CalcEstimatedSeconds(std::int64_t total, std::int64_t position, double speed) const;
  /// FormatSizeUnit below.
  std::string FormatSizeUnit(double value, int decimals, bool fixed_decimals) const {
    return session::FormatSizeUnit(value, decimals, fixed_decimals);
  }
  /// Sets the position the next delta is measured from.
  void InitialSample(std::int64_t position);

  int Samples() const { return static_cast<int>(ring_.size()); }
  /// Resizes the ring: kept slots keep their values, new slots start at 0, and a
  /// write index that no longer fits the written range starts over at 0. Raises
  /// error 380 when n < 1.
  void SetSamples(int n);

 private:
  std::vector<std::int64_t> ring_;
  std::int64_t last_position_ = 0;
  int write_index_ = 0;
};

}  // namespace session
