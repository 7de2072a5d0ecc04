// Register traffic of the IMX992 and IMX993 classes.
#include <gtest/gtest.h>

#include "recording_controller.h"
#include "sensors/sensor_imx992.h"

namespace morvex {
namespace {

using test::FpgaWrite;
using test::RecordingController;
using test::SensorWrite;
using Writes = std::vector<SensorWrite>;
using FpgaWrites = std::vector<FpgaWrite>;

class Imx992Test : public ::testing::Test {
 protected:
  void SetUp() override {
    CSensorIMX992::ForgetRememberedDataWidth();
    CSensorIMX993::ForgetRememberedDataWidth();
    sensor_.SetModelCode(CSensorIMX992::kCooledModelCode);
  }
  // Full frame at 8 bits per pixel; events cleared afterwards.
  void FullFrame() {
    ASSERT_EQ(sensor_.SetDataWidth(0), 1);
    ASSERT_EQ(sensor_.SetWindow(0, 2560, 0, 2048, 0), 1);
    controller_.ClearEvents();
  }

  platform::SimulatedClock clock_;
  RecordingController controller_{clock_};
  CSensorIMX992 sensor_{&controller_, 0x48, clock_};
};

TEST_F(Imx992Test, ShortExposureRoundsToEvenLines) {
  FullFrame();
  ASSERT_EQ(sensor_.SetExposureLines(101), 1);
  // V = 2140 = 0x85C, S = 2040 = 0x7F8, effective 100 lines.
  EXPECT_EQ(
      controller_.SensorWrites(),
      (Writes{{0x02D6, 0}, {0x02D5, 0x08}, {0x02D4, 0x5C}, {0x0440, 0xF8}, {0x0441, 0x07}, {0x0442, 0}}));
  int32_t lines = 0;
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 100);
  // The trigger engine always follows the exposure (8-bit line timing).
  EXPECT_EQ(controller_.FpgaWrites(),
            (FpgaWrites{{133, 100}, {134, 0}, {155, 0}, {84, 0x64}, {85, 1}, {80, 43}, {81, 8}, {82, 0}}));
  // 2140 lines of 6.52 us.
  EXPECT_EQ(sensor_.frame_period_ms(), 13);
  // One millisecond between successive sensor writes.
  const std::vector<uint32_t> times = controller_.SensorWriteTimes();
  for (size_t i = 1; i < times.size(); ++i) EXPECT_EQ(times[i] - times[i - 1], 1u);
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);
}

TEST_F(Imx992Test, LongExposureAndTheFrameLengthWriteOrder) {
  FullFrame();
  ASSERT_EQ(sensor_.SetExposureLines(3000), 1);
  // V = 3053 with bit 0 cleared = 3052 = 0xBEC; shutter start 52.
  EXPECT_EQ(controller_.SensorWrites(),
            (Writes{{0x02D6, 0}, {0x02D5, 0x0B}, {0x02D4, 0xEC}, {0x0440, 52}, {0x0441, 0}, {0x0442, 0}}));
  int32_t lines = 0;
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 3000);
  EXPECT_EQ(sensor_.current_frame_length(), 3052);
  EXPECT_EQ(sensor_.frame_period_ms(), 19);  // 3052 x 6.52 us

  // Shrinking below the last written middle byte: middle byte first.
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetExposureLines(2500), 1);  // V = 2552 = 0x9F8
  EXPECT_EQ(controller_.SensorWrites(),
            (Writes{{0x02D5, 0x09}, {0x02D6, 0}, {0x02D4, 0xF8}, {0x0440, 52}, {0x0441, 0}, {0x0442, 0}}));
  // Growing again: high byte first.
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetExposureLines(70000), 1);  // V = 70052 = 0x111A4
  EXPECT_EQ(controller_.SensorWrites()[0], (SensorWrite{0x02D6, 0x01}));
  EXPECT_EQ(controller_.SensorWrites()[1], (SensorWrite{0x02D5, 0x11}));
  EXPECT_EQ(controller_.SensorWrites()[2], (SensorWrite{0x02D4, 0xA4}));
  EXPECT_EQ(controller_.FpgaWrites()[0], (FpgaWrite{133, 0x70}));  // 70000 = 0x11170
  EXPECT_EQ(controller_.FpgaWrites()[1], (FpgaWrite{134, 0x11}));
  EXPECT_EQ(controller_.FpgaWrites()[2], (FpgaWrite{155, 0x01}));
}

TEST_F(Imx992Test, ExposureIsClampedToTheRange) {
  FullFrame();
  ASSERT_EQ(sensor_.SetExposureLines(-5), 1);
  int32_t lines = 0;
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 2);  // minimum; shutter start (2140 - 2 + 1) & ~1 = 2138
  EXPECT_EQ(controller_.SensorWrites()[3], (SensorWrite{0x0440, 0x5A}));
  EXPECT_EQ(controller_.SensorWrites()[4], (SensorWrite{0x0441, 0x08}));
}

TEST_F(Imx992Test, FailedWriteStillUpdatesTheTriggerEngine) {
  FullFrame();
  controller_.failing_sensor_writes.insert(0x0440);
  EXPECT_EQ(sensor_.SetExposureLines(500), 0);
  int32_t lines = 0;
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 2102);  // unchanged
  EXPECT_EQ(controller_.FpgaWrites().front(), (FpgaWrite{133, 2102 & 0xFF}));
}

TEST_F(Imx992Test, ExposureTimeUsesTheLineLength) {
  FullFrame();
  // 13.7 ms / 6.5212 us = 2100 lines (a long exposure of 2152 lines).
  ASSERT_EQ(sensor_.SetExposureTime(137), 1);
  int32_t lines = 0;
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 2100);
  double seconds = 0;
  sensor_.GetRealExposureTime(&seconds);
  EXPECT_DOUBLE_EQ(seconds, 0.0137);
  // 1 s: 153345 lines.
  ASSERT_EQ(sensor_.SetRealExposureTime(1.0), 1);
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 153346);  // (153345 + 53) & ~1 - 52
  int32_t tenths = 0;
  sensor_.GetExposureTime(&tenths);
  EXPECT_EQ(tenths, 10000);
}

TEST_F(Imx992Test, WindowValidationRefusesBeforeAnyWrite) {
  FullFrame();
  EXPECT_EQ(sensor_.SetWindow(0, 2690, 0, 2048, 0), 0);  // wider than 2688
  EXPECT_EQ(sensor_.SetWindow(4, 1024, 0, 1024, 0), 0);  // left not a multiple of 8
  EXPECT_EQ(sensor_.SetWindow(0, 1020, 0, 1024, 0), 0);  // width not a multiple of 8
  EXPECT_EQ(sensor_.SetWindow(0, 1024, 2, 1024, 0), 0);  // top not a multiple of 4
  EXPECT_EQ(sensor_.SetWindow(0, 0, 0, 1024, 0), 0);
  EXPECT_EQ(sensor_.SetWindow(1600, 1024, 0, 1024, 0), 0);  // beyond the right edge
  EXPECT_EQ(sensor_.SetWindow(0, 1024, 1200, 1024, 0), 0);  // beyond the bottom
  EXPECT_EQ(sensor_.SetWindow(-8, 1024, 0, 1024, 0), 0);
  EXPECT_EQ(sensor_.SetWindow(8, 2560, 0, 2048, 1), 0);  // binning starts at 0
  EXPECT_EQ(sensor_.SetWindow(0, 100, 0, 2048, 17), 0);
  EXPECT_EQ(sensor_.SetWindow(0, 2560, 0, 2048, 2), 0);
  EXPECT_TRUE(controller_.Events().empty());
  EXPECT_EQ(sensor_.descriptor().window_width, 2560);
}

TEST_F(Imx992Test, CroppedWindowProgram) {
  ASSERT_EQ(sensor_.SetDataWidth(0), 1);
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetWindow(8, 1024, 4, 1000, 0), 1);
  // Frame length 1000 + 84 = 0x43C; crop 1 + 2.
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x023C, 0},
                                                {0x0304, 3},
                                                {0x0400, 36},
                                                {0x0320, 8},
                                                {0x0321, 0},
                                                {0x0322, 4},
                                                {0x0323, 0},
                                                {0x0324, 0},
                                                {0x0325, 4},
                                                {0x0326, 0xE8},
                                                {0x0327, 3},
                                                {0x02D4, 0x3C},
                                                {0x02D5, 4},
                                                {0x02D6, 0}}));
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{90, 0}}));
  EXPECT_EQ(sensor_.descriptor().frame_length, 1084);
  EXPECT_TRUE(sensor_.reconfiguration_pending());
}

TEST_F(Imx992Test, UncooledCameraCountsEdgesFromTheFarSide) {
  sensor_.SetModelCode(CSensorIMX992::kModelCode);
  ASSERT_EQ(sensor_.SetDataWidth(0), 1);
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetWindow(8, 1024, 4, 1000, 0), 1);
  // 2560 - 8 - 1024 = 1528 = 0x5F8 and 2048 - 4 - 1000 = 1044 = 0x414; the
  // stored edges are the ones asked for.
  EXPECT_EQ(controller_.SensorWrites()[3], (SensorWrite{0x0320, 0xF8}));
  EXPECT_EQ(controller_.SensorWrites()[4], (SensorWrite{0x0321, 0x05}));
  EXPECT_EQ(controller_.SensorWrites()[5], (SensorWrite{0x0322, 0x14}));
  EXPECT_EQ(controller_.SensorWrites()[6], (SensorWrite{0x0323, 0x04}));
  EXPECT_EQ(sensor_.descriptor().window_left, 8);
  EXPECT_EQ(sensor_.descriptor().window_top, 4);
}

TEST_F(Imx992Test, ModeChangeGoesThroughStandby) {
  FullFrame();
  ASSERT_EQ(sensor_.SetWindow(0, 2560, 0, 2048, 1), 1);
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0200, 1},
                                                {0x020C, 1},
                                                {0x023C, 0x11},
                                                {0x0304, 0},
                                                {0x0400, 36},
                                                {0x0200, 0},
                                                {0x020C, 0},
                                                {0x0320, 0},
                                                {0x0321, 0},
                                                {0x0322, 4},
                                                {0x0323, 0},
                                                {0x0324, 0},
                                                {0x0325, 0x0A},
                                                {0x0326, 0},
                                                {0x0327, 8},
                                                {0x02D4, 0x5C},
                                                {0x02D5, 4},
                                                {0x02D6, 0}}));
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{90, 1}}));
  const std::vector<uint32_t> times = controller_.SensorWriteTimes();
  EXPECT_GE(times[1] - times[0], 50u);
  EXPECT_GE(times[2] - times[1], 50u);
  EXPECT_GE(times[6] - times[5], 50u);
  int32_t left, width, top, height, mode;
  sensor_.GetWindow(&left, &width, &top, &height, &mode);
  EXPECT_EQ(width, 1280);
  EXPECT_EQ(height, 1024);
  EXPECT_EQ(mode, 1);

  // The reduced readout.
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetWindow(0, 2560, 0, 2048, 17), 1);
  EXPECT_EQ(controller_.SensorWrites()[4], (SensorWrite{0x0400, 172}));
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{90, 2}}));
}

TEST_F(Imx992Test, DataWidthChangesTheLineLengthInStandby) {
  FullFrame();
  EXPECT_EQ(sensor_.GetBytesPerPixel(), 1);
  ASSERT_EQ(sensor_.SetDataWidth(1), 1);
  EXPECT_EQ(sensor_.GetBytesPerPixel(), 2);
  EXPECT_EQ(sensor_.current_line_length(), 978);
  const Writes writes = controller_.SensorWrites();
  // Line length 978 = 0x3D2 inside its own standby wrap, then the window
  // again inside another (the data width changed).
  ASSERT_GE(writes.size(), 8u);
  EXPECT_EQ((Writes{writes.begin(), writes.begin() + 6}),
            (Writes{{0x0200, 1}, {0x020C, 1}, {0x02D8, 0xD2}, {0x02D9, 3}, {0x0200, 0}, {0x020C, 0}}));
  EXPECT_EQ(writes[6], (SensorWrite{0x0200, 1}));
  // Two lines of 13.04 us are the new shortest exposure.
  EXPECT_NEAR(sensor_.descriptor().real_exposure_min, 2.6084884e-05, 1e-12);

  // 16-bit line timing in the trigger engine.
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetExposureLines(101), 1);
  const FpgaWrites fpga = controller_.FpgaWrites();
  EXPECT_EQ(fpga[3], (FpgaWrite{84, 0xC8}));  // 712
  EXPECT_EQ(fpga[4], (FpgaWrite{85, 2}));
  EXPECT_EQ(sensor_.frame_period_ms(), 27);  // 2140 lines of 13.04 us
}

TEST_F(Imx992Test, GainLevelThroughTheGuardedAccess) {
  controller_.sensor[0x0710] = 0x05;
  ASSERT_EQ(sensor_.HasGainLevel(), 1);
  EXPECT_EQ(sensor_.GetGainLevel(), 0);  // bit 0 set: high gain
  EXPECT_EQ(sensor_.SetGainLevel(2), 1);
  EXPECT_EQ(controller_.sensor[0x0710], 0);
  EXPECT_EQ(sensor_.GetGainLevel(), 1);
  EXPECT_EQ(sensor_.SetGainLevel(0), 1);
  EXPECT_EQ(controller_.sensor[0x0710], 1);
  controller_.sensor[0x0710] = 0xF3;
  EXPECT_EQ(sensor_.SetGainLevel(1), 1);
  EXPECT_EQ(controller_.sensor[0x0710], 0xF2);
  EXPECT_GT(controller_.CountFpgaWrites(159), 0u);
  controller_.sensor_bus_fails = true;
  EXPECT_EQ(sensor_.GetGainLevel(), -1);
}

TEST_F(Imx992Test, GainNeedsBothWrites) {
  ASSERT_EQ(sensor_.SetGain(500), 1);
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0714, 0xA4}, {0x0715, 1}}));
  controller_.failing_sensor_writes.insert(0x0715);
  EXPECT_EQ(sensor_.SetGain(10), 0);
  int32_t gain = 0;
  sensor_.GetGain(&gain);
  EXPECT_EQ(gain, 420);
}

TEST_F(Imx992Test, MirrorOffsetsFollowTheReadoutMode) {
  FullFrame();
  sensor_.SetMirrorH(1);
  sensor_.SetMirrorH(0);
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{76, 16}, {77, 0}, {76, 112}, {77, 0}}));
  ASSERT_EQ(sensor_.SetWindow(0, 2560, 0, 2048, 1), 1);
  controller_.ClearEvents();
  sensor_.SetMirrorH(1);
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{76, 8}, {77, 0}}));
}

TEST_F(Imx992Test, InitializeProgramsTheDefaults) {
  ASSERT_EQ(sensor_.Initialize(), 1);
  const Writes writes = controller_.SensorWrites();
  EXPECT_EQ(writes[0], (SensorWrite{0x0702, 0}));
  EXPECT_EQ(writes[1], (SensorWrite{0x0714, 0}));
  EXPECT_EQ(writes[2], (SensorWrite{0x0715, 0}));
  EXPECT_EQ(writes[3], (SensorWrite{0x02D6, 0}));  // the default real exposure
  EXPECT_EQ(sensor_.descriptor().window_width, 2560);
  EXPECT_EQ(sensor_.descriptor().window_height, 2048);
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);
}

TEST_F(Imx992Test, TriggerModeSequenceWithWaits) {
  FullFrame();
  ASSERT_EQ(sensor_.SetTriggerMode(1), 1);
  EXPECT_EQ(sensor_.GetTriggerState(), 1);
  const Writes writes = controller_.SensorWrites();
  ASSERT_GE(writes.size(), 5u);
  EXPECT_EQ((Writes{writes.begin(), writes.begin() + 6}),
            (Writes{{0x0200, 1}, {0x020C, 0}, {0x0430, 0x2B}, {0x0432, 1}, {0x0600, 1}, {0x0200, 0}}));
  const std::vector<uint32_t> times = controller_.SensorWriteTimes();
  for (size_t i = 1; i < 6; ++i) EXPECT_GE(times[i] - times[i - 1], 100u);
  // The output pulse, plain writes 4, 132, 4 then a verified 0.
  std::vector<uint8_t> output;
  for (const FpgaWrite& w : controller_.FpgaWrites()) {
    if (w.first == 89) output.push_back(w.second);
  }
  EXPECT_EQ(output, (std::vector<uint8_t>{4, 132, 4, 0}));
  EXPECT_EQ(controller_.FpgaWrites().front(), (FpgaWrite{88, 0}));
  EXPECT_EQ(controller_.CountFpgaWrites(108), 2u);
  int32_t lines = 0;
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 2102);  // restored after the shortest exposure

  // Free running again, with the IMX992's waits.
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetTriggerMode(0), 1);
  EXPECT_EQ(controller_.SensorWrites(),
            (Writes{{0x0200, 1}, {0x020C, 1}, {0x0430, 0x29}, {0x0200, 0}, {0x020C, 0}, {0x0600, 0}}));
  const std::vector<uint32_t> free_times = controller_.SensorWriteTimes();
  const uint32_t expected_gaps[] = {50, 10, 50, 50, 50};
  for (size_t i = 1; i < free_times.size(); ++i) {
    EXPECT_EQ(free_times[i] - free_times[i - 1], expected_gaps[i - 1]) << i;
  }
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{88, 0}, {89, 0}}));
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);
}

class Imx993Test : public ::testing::Test {
 protected:
  void SetUp() override {
    CSensorIMX993::ForgetRememberedDataWidth();
    sensor_.SetModelCode(CSensorIMX993::kCooledModelCode);
  }
  platform::SimulatedClock clock_;
  RecordingController controller_{clock_};
  CSensorIMX993 sensor_{&controller_, 0x48, clock_};
};

TEST_F(Imx993Test, BlackLevelIsClampedTo12Bits) {
  ASSERT_EQ(sensor_.HasBlackLevel(), 1);
  ASSERT_EQ(sensor_.SetBlackLevel(5000), 1);
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x07C0, 0xFF}, {0x07C1, 0x0F}}));
  int32_t level = 0;
  EXPECT_EQ(sensor_.GetBlackLevel(&level), 1);
  EXPECT_EQ(level, 4095);
  controller_.failing_sensor_writes.insert(0x07C1);
  EXPECT_EQ(sensor_.SetBlackLevel(100), 0);
  sensor_.GetBlackLevel(&level);
  EXPECT_EQ(level, 4095);
}

TEST_F(Imx993Test, GainModeWritesBothRegisters) {
  ASSERT_EQ(sensor_.SetGainMode(1), 1);
  ASSERT_EQ(sensor_.SetGainMode(0), 1);
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0020, 0x50}, {0x0040, 1}, {0x0020, 0x5F}, {0x0040, 0}}));
  int32_t mode = -1;
  EXPECT_EQ(sensor_.GetGainMode(&mode), 1);
  EXPECT_EQ(mode, 0);
}

TEST_F(Imx993Test, InitializeReadsTheGainMode) {
  controller_.sensor[0x0720] = 0x50;
  controller_.sensor[0x0740] = 1;
  ASSERT_EQ(sensor_.Initialize(), 1);
  int32_t mode = -1;
  sensor_.GetGainMode(&mode);
  EXPECT_EQ(mode, 1);
  const Writes writes = controller_.SensorWrites();
  EXPECT_EQ(writes[0], (SensorWrite{0x0702, 0}));
  EXPECT_EQ(writes[1], (SensorWrite{0x07C0, 240}));
  EXPECT_EQ(writes[2], (SensorWrite{0x07C1, 0}));
  EXPECT_EQ(writes[3], (SensorWrite{0x0714, 0}));
}

TEST_F(Imx993Test, WindowSetsTheReadoutTimingField) {
  controller_.sensor[0x0430] = 0xFF;
  ASSERT_EQ(sensor_.SetDataWidth(0), 1);
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetWindow(0, 2048, 0, 1536, 0), 1);
  const Writes writes = controller_.SensorWrites();
  ASSERT_GE(writes.size(), 5u);
  EXPECT_EQ(writes[2], (SensorWrite{0x0400, 36}));
  EXPECT_EQ(writes[3], (SensorWrite{0x0430, 0x2B}));  // bits 0..1 kept, 10 in bits 2..7
  EXPECT_EQ(writes[4], (SensorWrite{0x0431, 0}));
  EXPECT_EQ(sensor_.descriptor().frame_length, 1628);
  EXPECT_EQ(sensor_.SetWindow(0, 2184, 0, 1536, 0), 0);  // wider than 2176
}

TEST_F(Imx993Test, GainLevelUsesRawAccess) {
  controller_.sensor[0x0710] = 0x05;
  EXPECT_EQ(sensor_.SetGainLevel(2), 1);
  EXPECT_EQ(controller_.sensor[0x0710], 0);
  EXPECT_EQ(sensor_.GetGainLevel(), 1);
  EXPECT_EQ(controller_.CountFpgaWrites(159), 0u);
}

TEST_F(Imx993Test, SameModeSkipsTheStandbySteps) {
  sensor_.SetTriggerState(1);
  ASSERT_EQ(sensor_.SetTriggerMode(1), 1);
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0430, 0x2B}, {0x0432, 1}, {0x0600, 1}}));
  // The loader halts the engine around the timing.
  const FpgaWrites fpga = controller_.FpgaWrites();
  EXPECT_EQ(fpga.front(), (FpgaWrite{88, 0}));
  EXPECT_EQ(fpga.back(), (FpgaWrite{88, 2}));
  EXPECT_EQ(fpga[6], (FpgaWrite{80, 51}));
  EXPECT_EQ(fpga[7], (FpgaWrite{81, 6}));

  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetTriggerMode(0), 1);
  EXPECT_EQ(controller_.SensorWrites(),
            (Writes{{0x0200, 1}, {0x020C, 0}, {0x0430, 0x29}, {0x0600, 0}, {0x0200, 0}}));
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{88, 0}}));
  EXPECT_EQ(sensor_.GetTriggerState(), 0);
}

}  // namespace
}  // namespace morvex
