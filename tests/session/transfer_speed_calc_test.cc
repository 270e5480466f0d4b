#include "session/transfer_speed_calc.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "support/text.h"

namespace session {
namespace {

using test_common::ExpectError;

TEST(SizeFormatting, UnitsRoundingAndTheDecimalSeparator) {
  const double yotta = 1024.0 * 1024 * 1024 * 1024 * 1024 * 1024 * 1024 * 1024;
  struct Case {
    double value;
    int decimals;
    bool keep_zero_decimals;
    char separator;
    const char* text;
  };
  for (const Case& c : {
           Case{1023, 1, true, '.', "1023.0 bytes"},
           Case{1023, 1, false, '.', "1023 bytes"},
           Case{0, 1, false, '.', "0 bytes"},
           // The unit changes at exactly 1024.
           Case{1024, 1, true, '.', "1.0 KB"},
           Case{1024, 1, false, '.', "1 KB"},
           Case{1536, 1, false, '.', "1.5 KB"},
           Case{5.0 * 1024 * 1024 * 1024, 1, false, '.', "5 GB"},
           // The unit is chosen before rounding: 1023.999 KB rounds up within KB.
           Case{1024.0 * 1024 - 1, 1, true, '.', "1024.0 KB"},
           Case{1024.0 * 1024 - 1, 1, false, '.', "1024 KB"},
           // Halves round to even (1.25 KB and 1.75 KB are exact in binary).
           Case{1.25 * 1024, 1, false, '.', "1.2 KB"},
           Case{1.75 * 1024, 1, false, '.', "1.8 KB"},
           Case{2.5, 0, false, '.', "2 bytes"},
           Case{3.5, 0, true, '.', "4 bytes"},  // no decimals: plain form
           Case{1536, 1, false, ',', "1,5 KB"},
           Case{1024, 1, true, ',', "1,0 KB"},
           // Huge values stay in the largest unit.
           Case{yotta, 1, false, '.', "1 YB"},
           Case{yotta * 2048, 0, false, '.', "2048 YB"},
       }) {
    SCOPED_TRACE(c.text);
    support::SetDecimalSeparator(c.separator);
    EXPECT_EQ(TransferSpeedCalc().FormatSizeUnit(c.value, c.decimals, c.keep_zero_decimals),
              c.text);
  }
  support::SetDecimalSeparator('.');
}

TEST(SizeFormatting, NegativeInputsRaiseError5) {
  TransferSpeedCalc calc;
  ExpectError(5, [&] { calc.FormatSizeUnit(-1, 1, false); });
  ExpectError(5, [&] { calc.FormatSizeUnit(1, -1, false); });
}

TEST(SpeedRing, AverageIsZeroBeforeAnySample) {
  TransferSpeedCalc calc;
  calc.Clear();
  EXPECT_EQ(calc.AverageSpeed(), 0.0);
}

TEST(SpeedRing, AveragesDeltasFromTheInitialSample) {
  TransferSpeedCalc calc;
  calc.Clear();
  calc.InitialSample(1000);  // bytes already at the destination do not count
  calc.AddSample(1100);
  calc.AddSample(1400);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 200.0);
}

TEST(SpeedRing, TenSlotsAverageTheLastNineTicks) {
  TransferSpeedCalc calc;
  ASSERT_EQ(calc.Samples(), 10);
  calc.Clear();
  std::int64_t pos = 0;
  // Ticks 1..9 move 100 bytes each; tick 10 moves 1000 and overwrites slot 0.
  for (int tick = 1; tick <= 9; ++tick) calc.AddSample(pos += 100);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 100.0);
  calc.AddSample(pos += 1000);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), (8 * 100.0 + 1000.0) / 9);
  calc.AddSample(pos += 1000);  // tick 11 overwrites tick 2
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), (7 * 100.0 + 2000.0) / 9);
}

TEST(SpeedRing, TwoSlotsKeepOnlyTheLastTickAndOneSlotAveragesNothing) {
  TransferSpeedCalc calc;
  calc.SetSamples(2);
  calc.Clear();
  calc.AddSample(100);
  calc.AddSample(350);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 250.0);
  calc.AddSample(360);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 10.0);

  calc.SetSamples(1);
  calc.Clear();
  for (int i = 1; i <= 5; ++i) calc.AddSample(i * 100);  // never overruns
  EXPECT_EQ(calc.AverageSpeed(), 0.0);
}

TEST(SpeedRing, GrowingKeepsSlotsAndNewSlotsStartAtZero) {
  TransferSpeedCalc calc;
  calc.Clear();
  calc.AddSample(100);
  calc.AddSample(300);
  calc.SetSamples(20);
  EXPECT_EQ(calc.Samples(), 20);
  // Slots 0 and 1 kept; slots 2..9 still empty, so the walk stops at slot 2.
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 150.0);
  calc.Clear();
  for (int i = 1; i <= 30; ++i) calc.AddSample(i * 10);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 10.0);
}

TEST(SpeedRing, ShrinkingBelowTheWriteIndexRestartsAtSlotZero) {
  TransferSpeedCalc calc;
  calc.Clear();
  for (int i = 1; i <= 6; ++i) calc.AddSample(i * 10);  // write index now 6
  calc.SetSamples(4);
  calc.AddSample(1060);  // lands in slot 0
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), (1000.0 + 10 + 10) / 3);
}

TEST(SpeedRing, SamplesBelowOneRaise380AndKeepTheRing) {
  TransferSpeedCalc calc;
  ExpectError(380, [&] { calc.SetSamples(0); });
  EXPECT_EQ(calc.Samples(), 10);
}

TEST(Estimate, SecondsLeftRoundHalfToEvenUnknownAtZeroSpeedAndCapped) {
  struct Case {
    std::int64_t total;
    std::int64_t done;
    double speed;
    int seconds;
  };
  for (const Case& c : {
           Case{1000, 500, 100, 5},
           Case{1000, 750, 100, 2},  // 2.5 -> 2
           Case{1000, 650, 100, 4},  // 3.5 -> 4
           Case{1000, 1000, 100, 0},
           Case{1000, 1, 0, -1},  // unknown
           Case{std::int64_t{1} << 62, 1, 0.001, 2147483647},
       }) {
    SCOPED_TRACE(c.done);
    EXPECT_EQ(TransferSpeedCalc().CalcEstimatedSeconds(c.total, c.done, c.speed), c.seconds);
  }
}

TEST(Estimate, InvalidArgumentsRaiseError5) {
  TransferSpeedCalc calc;
  ExpectError(5, [&] { calc.CalcEstimatedSeconds(1000, 0, 10); });
  ExpectError(5, [&] { calc.CalcEstimatedSeconds(-1, 1, 10); });
  ExpectError(5, [&] { calc.CalcEstimatedSeconds(1000, 1, -0.5); });
}

}  // namespace
}  // namespace session
