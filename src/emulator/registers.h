// The FPGA's byte registers and the sensor's 16-bit-addressed byte registers,
// with the addresses the emulated hardware gives meaning to.
#pragma once

#include <array>
#include <cstdint>

#include "emulator/sensor_model.h"

namespace morvex::emulator {

namespace fpga {
constexpr uint8_t kStatus = 2;  // bit 1: sensor bus busy
constexpr uint8_t kIoPort = 7;
constexpr uint8_t kFrameCounter = 8;
constexpr uint8_t kVersionLow = 0x10;
constexpr uint8_t kVersionHigh = 0x11;
constexpr uint8_t kOptions = 23;
constexpr uint8_t kMode24 = 24;
constexpr uint8_t kWindowLines = 0x40;       // 0x40/0x41
constexpr uint8_t kLineBytes = 0x44;         // 0x44/0x45
constexpr uint8_t kVerticalOffset = 0x48;    // 0x48/0x49
constexpr uint8_t kHorizontalOffset = 0x4C;  // 0x4C/0x4D
constexpr uint8_t kTriggerFrameTiming = 80;  // 80..82
constexpr uint8_t kTriggerLineTiming = 84;   // 84/85
constexpr uint8_t kTriggerEngine = 88;       // 2: triggered
constexpr uint8_t kTriggerOutput = 89;
constexpr uint8_t kReadoutMode = 90;
constexpr uint8_t kRestart = 0x6C;
constexpr uint8_t kReadyPulse = 130;
constexpr uint8_t kTriggerExposureLow = 133;
constexpr uint8_t kTriggerExposureMid = 134;
constexpr uint8_t kTriggerExposureHigh = 155;
constexpr uint8_t kCooler = 151;
constexpr uint8_t kBusSelect = 159;
constexpr uint8_t kCorrectionLevelLow = 208;
constexpr uint8_t kCorrection = 209;
constexpr uint8_t kCorrectionLevelHigh = 210;
constexpr uint8_t kTemperatureLow = 229;
constexpr uint8_t kTemperatureHigh = 230;
constexpr uint8_t kTriggerEngineOn = 2;
}  // namespace fpga

namespace sensor {
constexpr uint16_t kStandby = 0x0200;
constexpr uint16_t kStandby2 = 0x020C;
constexpr uint16_t kBinning = 0x023C;      // 0x11: 2 x 2 binning
constexpr uint16_t kFrameLength = 0x02D4;  // 24 bits
constexpr uint16_t kLineLength = 0x02D8;   // 16 bits
constexpr uint16_t kCrop = 0x0304;         // bit 0 horizontal, bit 1 vertical
constexpr uint16_t kWindowLeft = 0x0320;
constexpr uint16_t kWindowTop = 0x0322;
constexpr uint16_t kWindowWidth = 0x0324;
constexpr uint16_t kWindowHeight = 0x0326;
constexpr uint16_t kReadoutSetting = 0x0400;  // 172: the reduced readout of IMX992/IMX993
constexpr uint16_t kMirror = 0x0404;          // bit 0 vertical, bit 1 horizontal
constexpr uint16_t kTriggerSetting = 0x0430;  // bit 1: triggered readout
constexpr uint16_t kShutterStart = 0x0440;    // 24 bits
constexpr uint16_t kTriggerEnable = 0x0600;
constexpr uint16_t kTemperatureLow = 0x0690;
constexpr uint16_t kTemperatureHigh = 0x0691;
constexpr uint16_t kGain = 0x0714;  // 9 bits, 0.1 dB per step
constexpr uint16_t kTemperatureEnable = 0x0788;
constexpr uint16_t kBlackLevel = 0x07C0;  // 12 bits
constexpr uint8_t kBinningOn = 0x11;
constexpr uint8_t kReducedReadout = 172;
}  // namespace sensor

class FpgaRegisters {
 public:
  void PowerOn(const SensorModel& model);
  uint8_t Get(uint8_t reg) const { return regs_[reg]; }
  void Set(uint8_t reg, uint8_t value) { regs_[reg] = value; }
  uint32_t Get16(uint8_t reg) const { return regs_[reg] | (regs_[static_cast<uint8_t>(reg + 1)] << 8); }
  uint32_t Get24(uint8_t low, uint8_t mid, uint8_t high) const {
    return regs_[low] | (regs_[mid] << 8) | (static_cast<uint32_t>(regs_[high]) << 16);
  }
  void Set16(uint8_t reg, uint32_t value) {
    regs_[reg] = static_cast<uint8_t>(value);
    regs_[static_cast<uint8_t>(reg + 1)] = static_cast<uint8_t>(value >> 8);
  }

 private:
  std::array<uint8_t, 256> regs_{};
};

class SensorRegisters {
 public:
  void PowerOn(const SensorModel& model);
  uint8_t Get(uint16_t address) const { return regs_[address]; }
  void Set(uint16_t address, uint8_t value) { regs_[address] = value; }
  uint32_t Get16(uint16_t address) const {
    return regs_[address] | (regs_[static_cast<uint16_t>(address + 1)] << 8);
  }
  uint32_t Get24(uint16_t address) const {
    return Get16(address) | (static_cast<uint32_t>(regs_[static_cast<uint16_t>(address + 2)]) << 16);
  }
  // Window registers hold 11-bit values.
  uint32_t Get11(uint16_t address) const { return Get16(address) & 0x7FF; }
  void Set16(uint16_t address, uint32_t value) {
    regs_[address] = static_cast<uint8_t>(value);
    regs_[static_cast<uint16_t>(address + 1)] = static_cast<uint8_t>(value >> 8);
  }
  void Set24(uint16_t address, uint32_t value) {
    Set16(address, value);
    regs_[static_cast<uint16_t>(address + 2)] = static_cast<uint8_t>(value >> 16);
  }

  bool standby() const { return (Get(sensor::kStandby) & 1) || (Get(sensor::kStandby2) & 1); }
  uint32_t frame_length() const { return Get24(sensor::kFrameLength); }
  uint32_t line_length() const { return Get16(sensor::kLineLength); }
  uint32_t exposure_lines() const {
    uint32_t length = frame_length(), shutter = Get24(sensor::kShutterStart);
    return length > shutter ? length - shutter : 1;
  }
  uint32_t gain_code() const { return Get16(sensor::kGain) & 0x1FF; }
  uint32_t black_level() const { return Get16(sensor::kBlackLevel) & 0xFFF; }

 private:
  std::array<uint8_t, 0x10000> regs_{};
};

}  // namespace morvex::emulator
