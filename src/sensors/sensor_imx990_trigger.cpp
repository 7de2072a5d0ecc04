// Trigger mode of the IMX990 and IMX991: the FPGA trigger engine's timing
// and the slow sensor sequence that switches the readout.
#include "sensors/sensor_imx990.h"

namespace morvex {

namespace {

constexpr uint16_t kFastTiming = 0x4000;
// FPGA firmware up to this level has no trigger output and restarts by itself.
constexpr uint16_t kOldTriggerFirmware = 0x110;
constexpr uint32_t kSequenceWaitMs = 100;
constexpr uint8_t kTriggered = 0x13;
constexpr uint8_t kFreeRunning = 0x11;

}  // namespace

void CSensorIMX990Pair::LoadTriggerTiming(bool timed, bool write_engine) {
  auto write = [this, timed](uint8_t reg, uint32_t value) {
    if (timed) {
      FpgaWriteVerifiedTimed(reg, value);
    } else {
      FpgaWriteVerified(reg, value);
    }
  };
  const uint32_t lines = static_cast<uint32_t>(descriptor_.exposure_lines);
  if (write_engine) write(imx99x_fpga::kTriggerEngine, 0);
  FpgaWrite24Verified(imx99x_fpga::kTriggerExposure0, imx99x_fpga::kTriggerExposure1,
                      imx99x_fpga::kTriggerExposure2, lines, timed);
  write(imx99x_fpga::kTriggerLineLow, 195);
  write(imx99x_fpga::kTriggerLineHigh, 2);
  FpgaWrite24Verified(imx99x_fpga::kTriggerFrame0, imx99x_fpga::kTriggerFrame1, imx99x_fpga::kTriggerFrame2,
                      lines + static_cast<uint32_t>(descriptor_.window_height) + 9, timed);
  if (write_engine) write(imx99x_fpga::kTriggerEngine, 2);
}

void CSensorIMX990Pair::WriteTriggerSetting(uint8_t setting, uint8_t enable) {
  WriteRegister(imx99x_reg::kStandby, 1);
  Wait(kSequenceWaitMs);
  WriteRegister(imx99x_reg::kTriggerSetting, setting);
  Wait(kSequenceWaitMs);
  WriteRegister(imx99x_reg::kTriggerEnable, enable);
  Wait(kSequenceWaitMs);
  WriteRegister(imx99x_reg::kStandby, 0);
}

void CSensorIMX990::ReloadTriggerTiming() { LoadTriggerTiming(false, true); }

void CSensorIMX991::ReloadTriggerTiming() {
  // Firmware that keeps the engine running on its own must not be stopped.
  const bool keep_engine =
      trigger_state_ != 0 && ((FpgaOptionByte() & 0x01) != 0 || FpgaVersionHas(kFastTiming));
  LoadTriggerTiming(true, !keep_engine);
}

int32_t CSensorIMX990::SetTriggerMode(int32_t mode) {
  int32_t result = 0;
  if (TriggerModeDecided(mode, &result)) return result;
  const uint32_t settle_ms = static_cast<uint32_t>(frame_period_ms_ > 0 ? frame_period_ms_ : 0) + 10;
  if (mode == 1) {
    ReloadTriggerTiming();
    WriteTriggerSetting(kTriggered, 1);
    if (!FpgaVersionAtMost(kOldTriggerFirmware)) {
      ApplyTriggerOutput();
      controller_->WriteFpgaRegister(imx99x_fpga::kTriggerOutput, trigger_output_ == 1 ? 4 : 0);
      PulseRestart();
      Wait(settle_ms);
    }
    trigger_state_ = 1;
    return 1;
  }
  FpgaWriteVerified(imx99x_fpga::kTriggerEngine, 0);
  if (!FpgaVersionAtMost(kOldTriggerFirmware)) {
    controller_->WriteFpgaRegister(imx99x_fpga::kTriggerOutput, 0);
  }
  WriteTriggerSetting(kFreeRunning, 0);
  ApplyTriggerOutput();
  PulseRestart();
  Wait(settle_ms);
  trigger_state_ = mode;
  return 1;
}

int32_t CSensorIMX991::SetTriggerMode(int32_t mode) {
  int32_t result = 0;
  if (TriggerModeDecided(mode, &result)) return result;
  if (mode == 1) {
    ReloadTriggerTiming();
    WriteTriggerSetting(kTriggered, 1);
    if (!FpgaVersionAtMost(kOldTriggerFirmware)) {
      ApplyTriggerOutput();
      controller_->WriteFpgaRegister(imx99x_fpga::kTriggerOutput, 0);
      PulseRestart();
      Wait(static_cast<uint32_t>(frame_period_ms_ > 0 ? frame_period_ms_ : 0) + 10);
    }
    trigger_state_ = 1;
    return 1;
  }
  FpgaWriteVerifiedTimed(imx99x_fpga::kTriggerEngine, 0);
  if (!FpgaVersionAtMost(kOldTriggerFirmware)) {
    controller_->WriteFpgaRegister(imx99x_fpga::kTriggerOutput, 0);
  }
  WriteTriggerSetting(kFreeRunning, 0);
  trigger_state_ = mode;
  return 1;
}

}  // namespace morvex
