// Register traffic of the IMX990 and IMX991 classes.
#include <gtest/gtest.h>

#include <cmath>

#include "recording_controller.h"
#include "sensors/sensor_imx990.h"

namespace morvex {
namespace {

using test::FpgaWrite;
using test::RecordingController;
using test::SensorWrite;
using Writes = std::vector<SensorWrite>;
using FpgaWrites = std::vector<FpgaWrite>;

class Imx990Test : public ::testing::Test {
 protected:
  void SetUp() override {
    sensor_.SetModelCode(CSensorIMX990::kCooledModelCode);
    ASSERT_EQ(sensor_.SetWindow(0, 1280, 0, 1024, 0), 1);
    controller_.ClearEvents();
  }

  platform::SimulatedClock clock_;
  RecordingController controller_{clock_};
  CSensorIMX990 sensor_{&controller_, 0x48, clock_};
};

TEST_F(Imx990Test, DefaultWindowProgramsFullFrame) {
  // 1068 lines stretched by the clock ratio: 1078.
  EXPECT_EQ(sensor_.descriptor().frame_length, 1078);
  EXPECT_EQ(sensor_.descriptor().line_length, 972);
  EXPECT_EQ(sensor_.descriptor().window_width, 1280);
  EXPECT_EQ(sensor_.descriptor().window_height, 1024);
  EXPECT_TRUE(sensor_.reconfiguration_pending());
}

TEST_F(Imx990Test, LongExposureStretchesTheFrame) {
  ASSERT_EQ(sensor_.SetExposureLines(2000), 1);
  EXPECT_EQ(controller_.SensorWrites(),
            (Writes{{0x02D6, 0x00}, {0x02D5, 0x07}, {0x02D4, 0xDF}, {0x0440, 15}, {0x0441, 0}, {0x0442, 0}}));
  int32_t lines = 0;
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 2000);
  EXPECT_EQ(sensor_.frame_period_ms(), 26);  // 2015 lines
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);
}

TEST_F(Imx990Test, ShortExposureMovesTheShutterStart) {
  ASSERT_EQ(sensor_.SetExposureLines(100), 1);
  // Frame length 1078 = 0x436, shutter start 978 = 0x3D2.
  EXPECT_EQ(
      controller_.SensorWrites(),
      (Writes{{0x02D6, 0x00}, {0x02D5, 0x04}, {0x02D4, 0x36}, {0x0440, 0xD2}, {0x0441, 0x03}, {0x0442, 0}}));
  EXPECT_EQ(sensor_.frame_period_ms(), 13);
  EXPECT_TRUE(controller_.FpgaWrites().empty());  // not in trigger mode
}

TEST_F(Imx990Test, FailedWriteEndsTheChainAndKeepsTheExposure) {
  controller_.failing_sensor_writes.insert(0x02D5);
  EXPECT_EQ(sensor_.SetExposureLines(2000), 0);
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x02D6, 0x00}}));
  int32_t lines = 0;
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 1064);
  EXPECT_EQ(sensor_.frame_period_ms(), 26);  // recomputed all the same
  EXPECT_EQ(controller_.fpga[159], 0);
}

TEST_F(Imx990Test, ExposureInTriggerModeReloadsTheTriggerEngine) {
  sensor_.SetTriggerState(1);
  ASSERT_EQ(sensor_.SetExposureLines(100), 1);
  // Frame timing = exposure + window height + 9 = 1133 = 0x46D.
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{88, 0},
                                                  {133, 100},
                                                  {134, 0},
                                                  {155, 0},
                                                  {84, 195},
                                                  {85, 2},
                                                  {80, 0x6D},
                                                  {81, 0x04},
                                                  {82, 0},
                                                  {88, 2}}));
}

TEST_F(Imx990Test, ExposureTimeUsesTheLinePeriodOfTheTiming) {
  // (100000 - 7372) / 12959.94 ns = 7 lines; shutter start 1078 - 7 = 0x42F.
  ASSERT_EQ(sensor_.SetExposureTime(1), 1);
  int32_t lines = 0;
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 7);
  EXPECT_EQ(controller_.SensorWrites()[3], (SensorWrite{0x0440, 0x2F}));
  EXPECT_EQ(controller_.SensorWrites()[4], (SensorWrite{0x0441, 0x04}));
  int32_t tenths = 0;
  sensor_.GetExposureTime(&tenths);
  EXPECT_EQ(tenths, 1);
  double seconds = 0;
  sensor_.GetRealExposureTime(&seconds);
  EXPECT_DOUBLE_EQ(seconds, 0.0001);

  // 100 ms at full height and with a cropped window differ by a line.
  ASSERT_EQ(sensor_.SetExposureTime(1000), 1);
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 7715);
  ASSERT_EQ(sensor_.SetWindow(0, 1280, 0, 1000, 0), 1);
  ASSERT_EQ(sensor_.SetExposureTime(1000), 1);
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 7714);

  // Out of range values are clamped to 0.1 ms .. 2 s.
  ASSERT_EQ(sensor_.SetExposureTime(0), 1);
  sensor_.GetExposureTime(&tenths);
  EXPECT_EQ(tenths, 1);
}

TEST(Imx990FastTiming, ExposureTimeWithVersionBit14) {
  platform::SimulatedClock clock;
  RecordingController controller(clock);
  controller.version = 0x4200;
  CSensorIMX990 sensor(&controller, 0x48, clock);
  ASSERT_EQ(sensor.SetWindow(0, 1280, 0, 1024, 0), 1);
  EXPECT_EQ(sensor.descriptor().line_length, 516);
  ASSERT_EQ(sensor.SetExposureTime(1), 1);
  int32_t lines = 0;
  sensor.GetExposureLines(&lines);
  EXPECT_EQ(lines, 13);  // (100000 - 7372) / 6880.56 ns
  EXPECT_EQ(sensor.SupportsColorSetting1(), 0);
}

TEST_F(Imx990Test, RealExposureTimeConvertsSeconds) {
  ASSERT_EQ(sensor_.SetRealExposureTime(0.1), 1);
  int32_t lines = 0;
  sensor_.GetExposureLines(&lines);
  EXPECT_EQ(lines, 7715);
  int32_t tenths = 0;
  sensor_.GetExposureTime(&tenths);
  EXPECT_EQ(tenths, 1000);
  // Above the maximum: clamped to 2 s.
  ASSERT_EQ(sensor_.SetRealExposureTime(5.0), 1);
  double seconds = 0;
  sensor_.GetRealExposureTime(&seconds);
  EXPECT_DOUBLE_EQ(seconds, 2.0);
  EXPECT_EQ(sensor_.SetRealExposureTime(std::nan("")), 0);
}

TEST_F(Imx990Test, WindowThatDoesNotFitIsRefusedBeforeAnyWrite) {
  // Left 3 rounds up to 8, width 1277 down to 1276: 8 + 1276 > 1280.
  EXPECT_EQ(sensor_.SetWindow(3, 1277, 0, 1024, 0), 0);
  EXPECT_EQ(sensor_.SetWindow(0, 1280, 8, 1024, 0), 0);
  EXPECT_EQ(sensor_.SetWindow(-8, 640, 0, 512, 0), 0);
  EXPECT_EQ(sensor_.SetWindow(0, 640, -8, 512, 0), 0);
  // Windows that would round to nothing.
  EXPECT_EQ(sensor_.SetWindow(0, 3, 0, 1024, 0), 0);
  EXPECT_EQ(sensor_.SetWindow(0, 1280, 0, 7, 0), 0);
  EXPECT_EQ(sensor_.SetWindow(0, 7, 0, 1024, 1), 0);
  EXPECT_TRUE(controller_.SensorWrites().empty());
  EXPECT_TRUE(controller_.FpgaWrites().empty());
  EXPECT_EQ(sensor_.descriptor().window_width, 1280);
  EXPECT_EQ(sensor_.descriptor().frame_length, 1078);
}

TEST_F(Imx990Test, BinningHalvesTheWindow) {
  ASSERT_EQ(sensor_.SetWindow(0, 1280, 0, 1024, 1), 1);
  // 552 lines stretched: 557 = 0x22D; 640 x 512.
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x023C, 0x11},
                                                {0x0304, 0},
                                                {0x0320, 0},
                                                {0x0321, 0},
                                                {0x0322, 0},
                                                {0x0323, 0},
                                                {0x0324, 0x80},
                                                {0x0325, 2},
                                                {0x0326, 0},
                                                {0x0327, 2},
                                                {0x02D4, 0x2D},
                                                {0x02D5, 2},
                                                {0x02D8, 0xCC},
                                                {0x02D9, 3}}));
  int32_t left, width, top, height, mode;
  sensor_.GetWindow(&left, &width, &top, &height, &mode);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 512);
  EXPECT_EQ(mode, 1);
}

class Imx991Test : public ::testing::Test {
 protected:
  platform::SimulatedClock clock_;
  RecordingController controller_{clock_};
  CSensorIMX991 sensor_{&controller_, 0x48, clock_};
};

TEST_F(Imx991Test, CroppedWindowProgram) {
  sensor_.SetModelCode(CSensorIMX991::kCooledModelCode);
  ASSERT_EQ(sensor_.SetWindow(5, 320, 10, 256, 0), 1);
  // Left 5 -> 8, top 10 -> 16, + 4 for a cropped height; 256 + 36 lines
  // stretched: 294 = 0x126.
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x023C, 0},
                                                {0x0304, 2},
                                                {0x0320, 8},
                                                {0x0321, 0},
                                                {0x0322, 20},
                                                {0x0323, 0},
                                                {0x0324, 0x40},
                                                {0x0325, 1},
                                                {0x0326, 0},
                                                {0x0327, 1},
                                                {0x02D4, 0x26},
                                                {0x02D5, 1},
                                                {0x02D8, 0xCC},
                                                {0x02D9, 3}}));
  EXPECT_EQ(sensor_.descriptor().window_top, 20);
  EXPECT_EQ(sensor_.descriptor().frame_length, 294);
}

TEST_F(Imx991Test, UncooledCameraCountsTopsFromTheBottom) {
  sensor_.SetModelCode(CSensorIMX991::kModelCode);
  ASSERT_EQ(sensor_.SetWindow(8, 320, 16, 256, 0), 1);
  // 512 - 256 - 16 = 240, + 4.
  EXPECT_EQ(sensor_.descriptor().window_top, 244);
  EXPECT_EQ(controller_.SensorWrites()[4], (SensorWrite{0x0322, 244}));
}

TEST_F(Imx991Test, DataWidthChangeKeepsTheWindowAsAsked) {
  sensor_.SetModelCode(CSensorIMX991::kModelCode);
  ASSERT_EQ(sensor_.SetWindow(8, 320, 16, 256, 0), 1);
  EXPECT_EQ(sensor_.GetBytesPerPixel(), 1);
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetDataWidth(1), 1);
  EXPECT_EQ(sensor_.descriptor().data_width, 16);
  EXPECT_EQ(sensor_.GetBytesPerPixel(), 2);
  // Same registers again, not a window moved by the stored (flipped) top.
  EXPECT_EQ(sensor_.descriptor().window_top, 244);
  EXPECT_EQ(controller_.SensorWrites()[4], (SensorWrite{0x0322, 244}));
  ASSERT_EQ(sensor_.SetDataWidth(0), 1);
  EXPECT_EQ(sensor_.GetBytesPerPixel(), 1);

  // A binned window survives as well.
  ASSERT_EQ(sensor_.SetWindow(0, 640, 0, 512, 1), 1);
  ASSERT_EQ(sensor_.SetDataWidth(1), 1);
  EXPECT_EQ(sensor_.descriptor().window_width, 320);
  EXPECT_EQ(sensor_.descriptor().window_height, 256);
}

TEST_F(Imx991Test, ShortExposureWritesTwelveBitShutterStart) {
  sensor_.SetModelCode(CSensorIMX991::kCooledModelCode);
  ASSERT_EQ(sensor_.SetWindow(0, 640, 0, 512, 0), 1);
  EXPECT_EQ(sensor_.descriptor().frame_length, 561);
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetExposureLines(100), 1);
  // 561 - 100 = 461 = 0x1CD.
  EXPECT_EQ(
      controller_.SensorWrites(),
      (Writes{{0x02D6, 0}, {0x02D5, 0x02}, {0x02D4, 0x31}, {0x0440, 0xCD}, {0x0441, 0x01}, {0x0442, 0}}));
}

TEST_F(Imx991Test, MirrorsShareOneRegisterAndMoveTheFpgaOffset) {
  ASSERT_EQ(sensor_.SetMirrorV(1), 1);
  ASSERT_EQ(sensor_.SetMirrorH(1), 1);
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0404, 1}, {0x0404, 3}}));
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{76, 104}, {77, 0}}));
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetMirrorV(0), 1);
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0404, 2}}));
  int32_t on = -1;
  sensor_.GetMirrorH(&on);
  EXPECT_EQ(on, 1);
  sensor_.GetMirrorV(&on);
  EXPECT_EQ(on, 0);
}

TEST(Imx991FastTiming, MirrorOffsetsOfTheFastTiming) {
  platform::SimulatedClock clock;
  RecordingController controller(clock);
  controller.version = 0x4200;
  CSensorIMX991 sensor(&controller, 0x48, clock);
  ASSERT_EQ(sensor.SetWindow(0, 640, 0, 512, 1), 1);
  controller.ClearEvents();
  sensor.SetMirrorH(1);
  sensor.SetMirrorH(0);
  EXPECT_EQ(controller.FpgaWrites(), (FpgaWrites{{76, 48}, {77, 0}, {76, 0}, {77, 0}}));
}

TEST_F(Imx990Test, GainIsClampedTo420) {
  ASSERT_EQ(sensor_.SetGain(500), 1);
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0714, 0xA4}, {0x0715, 1}}));
  int32_t gain = 0;
  sensor_.GetGain(&gain);
  EXPECT_EQ(gain, 420);
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetGain(-3), 1);
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0714, 0}, {0x0715, 0}}));
  // Only the low byte has to land on this pair.
  controller_.failing_sensor_writes.insert(0x0715);
  EXPECT_EQ(sensor_.SetGain(300), 1);
  sensor_.GetGain(&gain);
  EXPECT_EQ(gain, 300);
}

TEST_F(Imx990Test, InitializeProgramsTheDefaults) {
  CSensorIMX990 fresh(&controller_, 0x48, clock_);
  fresh.SetModelCode(CSensorIMX990::kModelCode);
  controller_.ClearEvents();
  ASSERT_EQ(fresh.Initialize(), 1);
  const Writes writes = controller_.SensorWrites();
  ASSERT_GE(writes.size(), 25u);
  EXPECT_EQ(writes[0], (SensorWrite{0x0702, 0}));
  EXPECT_EQ(writes[1], (SensorWrite{0x07C0, 60}));  // no fast timing
  EXPECT_EQ(writes[2], (SensorWrite{0x07C1, 0}));
  EXPECT_EQ(writes[3], (SensorWrite{0x0714, 0}));
  EXPECT_EQ(writes[5], (SensorWrite{0x0404, 0}));  // horizontal, then vertical mirror
  EXPECT_EQ(writes[6], (SensorWrite{0x0404, 0}));
  EXPECT_EQ(writes[7], (SensorWrite{0x023C, 0}));
  EXPECT_EQ(fresh.descriptor().exposure_lines, 1064);
  EXPECT_EQ(fresh.descriptor().frame_length, 1078);
  EXPECT_DOUBLE_EQ(fresh.descriptor().real_exposure_min, 0.000020333);
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);
}

TEST_F(Imx990Test, TriggerModeSwitchSequenceAndWaits) {
  ASSERT_EQ(sensor_.SetExposureLines(100), 1);  // frame period 13 ms
  controller_.ClearEvents();
  const uint32_t start = clock_.TickCount();
  ASSERT_EQ(sensor_.SetTriggerMode(1), 1);
  EXPECT_EQ(sensor_.GetTriggerState(), 1);
  EXPECT_FALSE(sensor_.reconfiguration_pending());
  // The pending window change skips the idle check of register 88.
  EXPECT_EQ(controller_.CountFpgaReads(88), 2u);  // only the read-backs of the verified writes
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{88, 0},
                                                  {133, 100},
                                                  {134, 0},
                                                  {155, 0},
                                                  {84, 195},
                                                  {85, 2},
                                                  {80, 0x6D},
                                                  {81, 0x04},
                                                  {82, 0},
                                                  {88, 2},
                                                  {89, 0},
                                                  {108, 1},
                                                  {108, 0}}));
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0200, 1}, {0x0430, 0x13}, {0x0600, 1}, {0x0200, 0}}));
  const std::vector<uint32_t> times = controller_.SensorWriteTimes();
  for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 100u);
  // After the restart pulse: one frame period + 10 ms.
  EXPECT_GE(clock_.TickCount() - controller_.Events().back().time_ms, 23u + 1u);
  EXPECT_LT(clock_.TickCount() - start, 500u);
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);

  // Back to free running.
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetTriggerMode(0), 1);
  EXPECT_EQ(sensor_.GetTriggerState(), 0);
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{88, 0}, {89, 0}, {108, 1}, {108, 0}}));
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0200, 1}, {0x0430, 0x11}, {0x0600, 0}, {0x0200, 0}}));

  // Already free running with the engine idle: nothing to do, and no
  // restart pulses from now on.
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetTriggerMode(0), 1);
  EXPECT_TRUE(controller_.SensorWrites().empty());
  EXPECT_TRUE(controller_.FpgaWrites().empty());
  EXPECT_EQ(sensor_.restart_pulse_enabled(), 0);
  EXPECT_EQ(sensor_.PulseRestart(), 1);
  EXPECT_EQ(controller_.CountFpgaWrites(108), 0u);
}

TEST_F(Imx990Test, TriggerOutputOptionAndOldFirmware) {
  EXPECT_EQ(sensor_.HasTriggerOutput(), 1);
  sensor_.SetTriggerOutput(1);
  ASSERT_EQ(sensor_.SetTriggerMode(1), 1);
  EXPECT_EQ(controller_.fpga[89], 4);

  platform::SimulatedClock clock;
  RecordingController old_controller(clock);
  old_controller.version = 0x0110;
  CSensorIMX990 old_sensor(&old_controller, 0x48, clock);
  ASSERT_EQ(old_sensor.SetTriggerMode(1), 1);
  EXPECT_EQ(old_controller.CountFpgaWrites(89), 0u);
  EXPECT_EQ(old_controller.CountFpgaWrites(108), 0u);
  EXPECT_EQ(old_sensor.GetTriggerState(), 1);
}

TEST_F(Imx991Test, FreeRunningSwitchHasNoRestartPulse) {
  sensor_.SetModelCode(CSensorIMX991::kCooledModelCode);
  ASSERT_EQ(sensor_.SetTriggerMode(1), 1);
  controller_.ClearEvents();
  ASSERT_EQ(sensor_.SetTriggerMode(0), 1);
  EXPECT_EQ(controller_.FpgaWrites(), (FpgaWrites{{88, 0}, {89, 0}}));
  EXPECT_EQ(controller_.SensorWrites(), (Writes{{0x0200, 1}, {0x0430, 0x11}, {0x0600, 0}, {0x0200, 0}}));
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);
}

TEST_F(Imx991Test, TriggerTimingKeepsARunningEngineOnNewerFirmware) {
  controller_.fpga[23] = 0x01;  // option bit 0
  sensor_.SetTriggerState(1);
  ASSERT_EQ(sensor_.SetExposureLines(100), 1);
  EXPECT_EQ(controller_.CountFpgaWrites(88), 0u);
  EXPECT_EQ(controller_.CountFpgaWrites(133), 1u);
}

TEST_F(Imx991Test, FpgaQueries) {
  controller_.version = 0x0126;  // level 294
  EXPECT_EQ(sensor_.HasInternalCorrection(), 0);
  EXPECT_EQ(sensor_.CanSetFpgaMode24(), 1);
  controller_.fpga[24] = 0x40;
  EXPECT_EQ(sensor_.SetFpgaMode24(), 1);
  EXPECT_EQ(controller_.fpga[24], 0x41);

  platform::SimulatedClock clock;
  RecordingController corrected(clock);
  corrected.version = 0x8126;
  CSensorIMX991 other(&corrected, 0x48, clock);
  EXPECT_EQ(other.HasInternalCorrection(), 1);
  EXPECT_EQ(other.CanSetFpgaMode24(), 0);
  EXPECT_EQ(other.SetFpgaMode24(), 0);
  EXPECT_EQ(corrected.CountFpgaWrites(24), 0u);

  RecordingController low(clock);
  low.version = 0x0125;  // level 293
  CSensorIMX991 third(&low, 0x48, clock);
  EXPECT_EQ(third.CanSetFpgaMode24(), 0);
}

}  // namespace
}  // namespace morvex
