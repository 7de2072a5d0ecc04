// Trigger mode of the IMX992 and IMX993. The standby steps are skipped when
// the requested mode equals the current trigger state.
#include "sensors/sensor_imx992.h"

namespace morvex {

namespace {

constexpr uint8_t kTriggered = 0x2B;
constexpr uint8_t kFreeRunning = 0x29;

}  // namespace

int32_t CSensorIMX992::SetTriggerMode(int32_t mode) {
  int32_t result = 0;
  if (TriggerModeDecided(mode, &result)) return result;
  const bool same = mode == trigger_state_;
  if (mode == 1) {
    LoadTriggerTiming(true);
    if (!same) {
      WriteRegister(imx99x_reg::kStandby, 1);
      Wait(100);
      WriteRegister(imx99x_reg::kStandby2, 0);
      Wait(100);
    }
    WriteRegister(imx99x_reg::kTriggerSetting, kTriggered);
    Wait(100);
    WriteRegister(imx99x_reg::kTriggerEnable2, 1);
    Wait(100);
    WriteRegister(imx99x_reg::kTriggerEnable, 1);
    Wait(100);
    if (!same) WriteRegister(imx99x_reg::kStandby, 0);
    // Run one shortest exposure through the engine while the output pulses,
    // then go back to the exposure asked for.
    const int32_t kept_lines = descriptor_.exposure_lines;
    SetExposureLines(descriptor_.exposure_lines_min);
    controller_->WriteFpgaRegister(imx99x_fpga::kTriggerOutput, 4);
    Wait(1);
    controller_->WriteFpgaRegister(imx99x_fpga::kTriggerOutput, 132);
    Wait(1);
    controller_->WriteFpgaRegister(imx99x_fpga::kTriggerOutput, 4);
    FpgaWriteVerified(imx99x_fpga::kTriggerOutput, 0);
    SetExposureLines(kept_lines);
    PulseRestart();
    Wait(static_cast<uint32_t>(frame_period_ms_ > 0 ? frame_period_ms_ : 0));
    trigger_state_ = 1;
    return 1;
  }
  FpgaWriteVerified(imx99x_fpga::kTriggerEngine, 0);
  FpgaWriteVerified(imx99x_fpga::kTriggerOutput, 0);
  if (!same) {
    WriteRegister(imx99x_reg::kStandby, 1);
    Wait(50);
    WriteRegister(imx99x_reg::kStandby2, 1);
    Wait(10);
  }
  WriteRegister(imx99x_reg::kTriggerSetting, kFreeRunning);
  Wait(50);
  if (!same) {
    WriteRegister(imx99x_reg::kStandby, 0);
    Wait(50);
    WriteRegister(imx99x_reg::kStandby2, 0);
    Wait(50);
  }
  WriteRegister(imx99x_reg::kTriggerEnable, 0);
  Wait(50);
  trigger_state_ = mode;
  return 1;
}

int32_t CSensorIMX993::SetTriggerMode(int32_t mode) {
  int32_t result = 0;
  if (TriggerModeDecided(mode, &result)) return result;
  const bool same = mode == trigger_state_;
  if (mode == 1) {
    LoadTriggerTiming(true);
    if (!same) {
      WriteRegister(imx99x_reg::kStandby, 1);
      Wait(100);
      WriteRegister(imx99x_reg::kStandby2, 0);
      Wait(100);
    }
    WriteRegister(imx99x_reg::kTriggerSetting, kTriggered);
    Wait(100);
    WriteRegister(imx99x_reg::kTriggerEnable2, 1);
    Wait(100);
    WriteRegister(imx99x_reg::kTriggerEnable, 1);
    Wait(100);
    if (!same) WriteRegister(imx99x_reg::kStandby, 0);
    trigger_state_ = 1;
    return 1;
  }
  FpgaWriteVerified(imx99x_fpga::kTriggerEngine, 0);
  if (!same) {
    WriteRegister(imx99x_reg::kStandby, 1);
    Wait(50);
    WriteRegister(imx99x_reg::kStandby2, 0);
    Wait(50);
  }
  WriteRegister(imx99x_reg::kTriggerSetting, kFreeRunning);
  Wait(50);
  WriteRegister(imx99x_reg::kTriggerEnable, 0);
  Wait(50);
  if (!same) {
    WriteRegister(imx99x_reg::kStandby, 0);
    Wait(50);
  }
  trigger_state_ = mode;
  return 1;
}

}  // namespace morvex
