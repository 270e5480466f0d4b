#include "session/transfer_speed_calc.h"

#include <gtest/gtest.h>

#include "support/error.h"
#include "support/text.h"

namespace session {
namespace {

class SizeFormatting : public ::testing::Test {
 protected:
  void SetUp() override { support::SetDecimalSeparator('.'); }
  void TearDown() override { support::SetDecimalSeparator('.'); }
  TransferSpeedCalc calc_;
};

TEST_F(SizeFormatting, BytesBelowOneKilobyte) {
  EXPECT_EQ(calc_.FormatSizeUnit(1023, 1, true), "1023.0 bytes");
  EXPECT_EQ(calc_.FormatSizeUnit(1023, 1, false), "1023 bytes");
  EXPECT_EQ(calc_.FormatSizeUnit(0, 1, false), "0 bytes");
}

TEST_F(SizeFormatting, UnitChangesAtExactly1024) {
  EXPECT_EQ(calc_.FormatSizeUnit(1024, 1, true), "1.0 KB");
  EXPECT_EQ(calc_.FormatSizeUnit(1024, 1, false), "1 KB");
  EXPECT_EQ(calc_.FormatSizeUnit(1536, 1, false), "1.5 KB");
  EXPECT_EQ(calc_.FormatSizeUnit(5.0 * 1024 * 1024 * 1024, 1, false), "5 GB");
}

TEST_F(SizeFormatting, UnitIsChosenBeforeRounding) {
  // One byte short of 1 MiB is 1023.999 KB, which rounds up within the KB unit.
  EXPECT_EQ(calc_.FormatSizeUnit(1024.0 * 1024 - 1, 1, true), "1024.0 KB");
  EXPECT_EQ(calc_.FormatSizeUnit(1024.0 * 1024 - 1, 1, false), "1024 KB");
}

TEST_F(SizeFormatting, RoundsHalvesToEven) {
  // 1.25 KB and 1.75 KB are exact in binary, so the half is real.
  EXPECT_EQ(calc_.FormatSizeUnit(1.25 * 1024, 1, false), "1.2 KB");
  EXPECT_EQ(calc_.FormatSizeUnit(1.75 * 1024, 1, false), "1.8 KB");
  EXPECT_EQ(calc_.FormatSizeUnit(2.5, 0, false), "2 bytes");
  EXPECT_EQ(calc_.FormatSizeUnit(3.5, 0, true), "4 bytes");  // no decimals: plain form
}

TEST_F(SizeFormatting, UsesTheConfiguredDecimalSeparator) {
  support::SetDecimalSeparator(',');
  EXPECT_EQ(calc_.FormatSizeUnit(1536, 1, false), "1,5 KB");
  EXPECT_EQ(calc_.FormatSizeUnit(1024, 1, true), "1,0 KB");
}

TEST_F(SizeFormatting, HugeValuesStayInTheLargestUnit) {
  const double yotta = 1024.0 * 1024 * 1024 * 1024 * 1024 * 1024 * 1024 * 1024;
  EXPECT_EQ(calc_.FormatSizeUnit(yotta, 1, false), "1 YB");
  EXPECT_EQ(calc_.FormatSizeUnit(yotta * 2048, 0, false), "2048 YB");
}

TEST_F(SizeFormatting, NegativeInputsRaiseError5) {
  try {
    calc_.FormatSizeUnit(-1, 1, false);
    FAIL() << "no error raised";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 5);
  }
  EXPECT_THROW(calc_.FormatSizeUnit(1, -1, false), support::Error);
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

TEST(SpeedRing, TwoSlotsKeepOnlyTheLastTick) {
  TransferSpeedCalc calc;
  calc.SetSamples(2);
  calc.Clear();
  calc.AddSample(100);
  calc.AddSample(350);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 250.0);
  calc.AddSample(360);
  EXPECT_DOUBLE_EQ(calc.AverageSpeed(), 10.0);
}

TEST(SpeedRing, OneSlotNeverOverrunsAndAveragesNothing) {
  TransferSpeedCalc calc;
  calc.SetSamples(1);
  calc.Clear();
  for (int i = 1; i <= 5; ++i) calc.AddSample(i * 100);
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

TEST(SpeedRing, SamplesBelowOneRaise380) {
  TransferSpeedCalc calc;
  try {
    calc.SetSamples(0);
    FAIL() << "no error raised";
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), 380);
  }
  EXPECT_EQ(calc.Samples(), 10);
}

TEST(Estimate, SecondsLeftRoundHalfToEven) {
  TransferSpeedCalc calc;
  EXPECT_EQ(calc.CalcEstimatedSeconds(1000, 500, 100), 5);
  EXPECT_EQ(calc.CalcEstimatedSeconds(1000, 750, 100), 2);  // 2.5 -> 2
  EXPECT_EQ(calc.CalcEstimatedSeconds(1000, 650, 100), 4);  // 3.5 -> 4
  EXPECT_EQ(calc.CalcEstimatedSeconds(1000, 1000, 100), 0);
}

TEST(Estimate, ZeroSpeedIsUnknown) {
  TransferSpeedCalc calc;
  EXPECT_EQ(calc.CalcEstimatedSeconds(1000, 1, 0), -1);
}

TEST(Estimate, InvalidArgumentsRaiseError5) {
  TransferSpeedCalc calc;
  EXPECT_THROW(calc.CalcEstimatedSeconds(1000, 0, 10), support::Error);
  EXPECT_THROW(calc.CalcEstimatedSeconds(-1, 1, 10), support::Error);
  EXPECT_THROW(calc.CalcEstimatedSeconds(1000, 1, -0.5), support::Error);
}

TEST(Estimate, HugeEstimatesAreCapped) {
  TransferSpeedCalc calc;
  EXPECT_EQ(calc.CalcEstimatedSeconds(std::int64_t{1} << 62, 1, 0.001), 2147483647);
}

}  // namespace
}  // namespace session
