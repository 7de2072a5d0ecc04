#include "sensors/sensor_imx99x.h"

#include <algorithm>

namespace morvex {

namespace {

template <typename T>
void Store(T* out, T value) {
  if (out != nullptr) *out = value;
}

constexpr uint8_t Byte(uint32_t value, int shift) { return static_cast<uint8_t>((value >> shift) & 0xFFu); }

}  // namespace

CSensorIMX99x::CSensorIMX99x(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock,
                             const ChipParameters& chip)
    : CSensorBase(controller, bus_address, clock),
      uncooled_code_(chip.uncooled_code),
      cooled_code_(chip.cooled_code),
      raw_write_delay_ms_(chip.raw_write_delay_ms),
      verify_guarded_writes_(chip.verify_guarded_writes),
      gain_needs_both_writes_(chip.gain_needs_both_writes),
      cooler_read_modify_write_(chip.cooler_read_modify_write),
      temperature_copy_min_version_(chip.temperature_copy_min_version) {
  SensorDescriptor& d = descriptor_;
  d.max_width = chip.max_width;
  d.max_height = chip.max_height;
  d.default_left = 0;
  d.default_top = 0;
  d.default_width = chip.max_width;
  d.default_height = chip.max_height;
  d.class_word_a = 0;
  d.class_word_b = 1;
  d.line_length = chip.line_length;
  d.frame_length = chip.frame_length;
  d.readout_mode = 0;
  d.device_layout_flag = chip.device_layout_flag;
  d.gain_min = 0;
  d.gain_max = kGainMax;
  d.gain = 0;
  d.gain_default = 0;
  d.gain_supported = 1;
  d.exposure_lines_min = chip.exposure_lines_min;
  d.exposure_lines_max = chip.exposure_lines_max;
  d.exposure_lines = chip.exposure_lines_default;
  d.exposure_lines_default = chip.exposure_lines_default;
  d.exposure_lines_supported = 1;
  d.exposure_time_min = 1;
  d.exposure_time_max = 20000;
  d.exposure_time = chip.exposure_time_default;
  d.exposure_time_default = chip.exposure_time_default;
  d.real_exposure_min = chip.real_exposure_min;
  d.real_exposure_max = 2.0;
  d.real_exposure = chip.real_exposure_default;
  d.real_exposure_default = chip.real_exposure_default;
  d.real_exposure_supported = 1;
  d.mirror_v = 0;
  d.mirror_v_default = 0;
  d.mirror_v_supported = 1;
  d.mirror_h = 0;
  d.mirror_h_default = 0;
  d.mirror_h_supported = 1;
  d.data_width = chip.data_width;
  d.sensor_clock = 54545;
  d.orientation = 4;
}

int32_t CSensorIMX99x::SetModelCode(int32_t code) {
  if (code == uncooled_code_) {
    descriptor_.orientation = 4;
  } else if (code == cooled_code_) {
    descriptor_.orientation = 1;
  } else {
    return 1;  // not one of ours: left as it was
  }
  model_code_ = code;
  return 0;
}

int32_t CSensorIMX99x::GetWindow(int32_t* left, int32_t* width, int32_t* top, int32_t* height,
                                 int32_t* mode) {
  Store(left, descriptor_.window_left);
  Store(width, descriptor_.window_width);
  Store(top, descriptor_.window_top);
  Store(height, descriptor_.window_height);
  Store(mode, descriptor_.readout_mode);
  return 1;
}

int32_t CSensorIMX99x::GetTriggerMode(int32_t* mode) {
  Store(mode, trigger_state_);
  return 1;
}

int32_t CSensorIMX99x::GetExposureLines(int32_t* lines) {
  Store(lines, descriptor_.exposure_lines);
  return 1;
}

int32_t CSensorIMX99x::SetGain(int32_t gain) {
  // Codes outside 0..420 are clamped rather than sent with stray bits.
  const int32_t code = std::clamp(gain, 0, kGainMax);
  const int32_t low_ok = WriteRegister(imx99x_reg::kGain, Byte(code, 0));
  const int32_t high_ok = WriteRegister(imx99x_reg::kGain + 1, static_cast<uint8_t>((code >> 8) & 1));
  if (!low_ok || (gain_needs_both_writes_ && !high_ok)) return 0;
  descriptor_.gain = code;
  return 1;
}

int32_t CSensorIMX99x::GetGain(int32_t* gain) {
  Store(gain, descriptor_.gain);
  return 1;
}

int32_t CSensorIMX99x::GetExposureLinesMin(int32_t* value) {
  Store(value, descriptor_.exposure_lines_min);
  return 1;
}

int32_t CSensorIMX99x::GetExposureLinesMax(int32_t* value) {
  Store(value, descriptor_.exposure_lines_max);
  return 1;
}

int32_t CSensorIMX99x::GetExposureLinesDefault(int32_t* value) {
  Store(value, descriptor_.exposure_lines_default);
  return 1;
}

int32_t CSensorIMX99x::GetGainMin(int32_t* value) {
  Store(value, descriptor_.gain_min);
  return 1;
}

int32_t CSensorIMX99x::GetGainMax(int32_t* value) {
  Store(value, descriptor_.gain_max);
  return 1;
}

int32_t CSensorIMX99x::GetGainDefault(int32_t* value) {
  Store(value, descriptor_.gain_default);
  return 1;
}

int32_t CSensorIMX99x::GetColorGainMin(int32_t* value) {
  Store(value, descriptor_.color_gain_ranges[0]);
  return 1;
}

int32_t CSensorIMX99x::GetColorGainMax(int32_t* value) {
  Store(value, descriptor_.color_gain_ranges[1]);
  return 1;
}

int32_t CSensorIMX99x::GetColorGainDefault(int32_t* value) {
  Store(value, descriptor_.color_gain_ranges[2]);
  return 1;
}

int32_t CSensorIMX99x::GetExposureTime(int32_t* value) {
  Store(value, descriptor_.exposure_time);
  return 1;
}

int32_t CSensorIMX99x::GetExposureTimeMin(int32_t* value) {
  Store(value, descriptor_.exposure_time_min);
  return 1;
}

int32_t CSensorIMX99x::GetExposureTimeMax(int32_t* value) {
  Store(value, descriptor_.exposure_time_max);
  return 1;
}

int32_t CSensorIMX99x::GetExposureTimeDefault(int32_t* value) {
  Store(value, descriptor_.exposure_time_default);
  return 1;
}

int32_t CSensorIMX99x::SetMirrorV(int32_t on) {
  const uint8_t value = static_cast<uint8_t>((on ? 1 : 0) + (descriptor_.mirror_h ? 2 : 0));
  if (!WriteRegister(imx99x_reg::kMirror, value)) return 0;
  descriptor_.mirror_v = on ? 1 : 0;
  return 1;
}

int32_t CSensorIMX99x::GetMirrorV(int32_t* on) {
  Store(on, descriptor_.mirror_v);
  return 1;
}

int32_t CSensorIMX99x::SetMirrorH(int32_t on) {
  const uint8_t value = static_cast<uint8_t>((on ? 2 : 0) + (descriptor_.mirror_v ? 1 : 0));
  if (!WriteRegister(imx99x_reg::kMirror, value)) return 0;
  descriptor_.mirror_h = on ? 1 : 0;
  if (controller_ != nullptr) {
    // The FPGA crops the first columns; where they start moves with the mirror.
    const uint32_t offset = static_cast<uint32_t>(HorizontalOffset(on));
    controller_->WriteFpgaRegister(imx99x_fpga::kHorizontalOffsetLow, offset & 0xFFu);
    controller_->WriteFpgaRegister(imx99x_fpga::kHorizontalOffsetHigh, (offset >> 8) & 0xFFu);
  }
  return 1;
}

int32_t CSensorIMX99x::GetMirrorH(int32_t* on) {
  Store(on, descriptor_.mirror_h);
  return 1;
}

int32_t CSensorIMX99x::WriteRegisterRaw(uint16_t address, uint8_t value) {
  if (controller_ == nullptr) return 0;
  platform::ScopedLock lock(bus_lock_);
  if (raw_write_delay_ms_ > 0) platform::PreciseSleep(clock_, raw_write_delay_ms_);
  const uint8_t payload[3] = {Byte(address, 8), Byte(address, 0), value};
  return controller_->WriteCommand(bus_address_, payload, 3, kBusTimeoutMs) ? 1 : 0;
}

int32_t CSensorIMX99x::ReadRegisterRaw(uint16_t address, uint8_t* value) {
  if (controller_ == nullptr) return 0;
  platform::ScopedLock lock(bus_lock_);
  const uint8_t payload[2] = {Byte(address, 8), Byte(address, 0)};
  if (!controller_->WriteCommand(bus_address_, payload, 2, kBusTimeoutMs)) return 0;
  uint8_t byte = 0;
  if (!controller_->ReadCommand(bus_address_, &byte, 1, kBusTimeoutMs)) return 0;
  Store(value, byte);
  return 1;
}

int32_t CSensorIMX99x::WriteRegister(uint16_t address, uint8_t value) {
  if (controller_ == nullptr) return 0;
  controller_->WriteFpgaRegister(imx99x_fpga::kBusSelect, 1);
  int32_t result = 0;
  for (int attempt = 0; attempt < kGuardedTries; ++attempt) {
    uint8_t busy = 0xFF;
    if (controller_->ReadFpgaRegister(imx99x_fpga::kBusBusy, &busy) && busy == 0 &&
        WriteRegisterRaw(address, value)) {
      if (!verify_guarded_writes_) {
        result = 1;
        break;
      }
      uint8_t read_back = 0;
      if (ReadRegisterRaw(address, &read_back) && read_back == value) {
        result = 1;
        break;
      }
    }
    platform::PreciseSleep(clock_, kGuardedRetryMs);
  }
  controller_->WriteFpgaRegister(imx99x_fpga::kBusSelect, 0);
  return result;
}

int32_t CSensorIMX99x::ReadRegister(uint16_t address, uint8_t* value) {
  if (controller_ == nullptr) return 0;
  controller_->WriteFpgaRegister(imx99x_fpga::kBusSelect, 1);
  int32_t result = 0;
  for (int attempt = 0; attempt < kGuardedTries; ++attempt) {
    uint8_t busy = 0xFF;
    if (controller_->ReadFpgaRegister(imx99x_fpga::kBusBusy, &busy) && busy == 0 &&
        ReadRegisterRaw(address, value)) {
      result = 1;
      break;
    }
    platform::PreciseSleep(clock_, kGuardedRetryMs);
  }
  controller_->WriteFpgaRegister(imx99x_fpga::kBusSelect, 0);
  return result;
}

int32_t CSensorIMX99x::GetBytesPerPixel() { return descriptor_.data_width == 16 ? 2 : 1; }

void CSensorIMX99x::WriteChain::Write(uint16_t address, uint8_t value) {
  if (!ok_) return;
  if (writes_++ > 0) sensor_.WaitBetweenExposureWrites();
  ok_ = sensor_.WriteRegister(address, value) != 0;
}

void CSensorIMX99x::WriteFrameLengthOrdered(WriteChain& chain, uint32_t value, uint32_t reference) {
  if (value < 0x10000u && Byte(value, 8) < Byte(reference, 8)) {
    chain.Write(imx99x_reg::kFrameLength + 1, Byte(value, 8));
    chain.Write(imx99x_reg::kFrameLength + 2, 0);
    chain.Write(imx99x_reg::kFrameLength, Byte(value, 0));
    return;
  }
  WriteFrameLengthHighFirst(chain, value);
}

void CSensorIMX99x::WriteFrameLengthHighFirst(WriteChain& chain, uint32_t value) {
  chain.Write(imx99x_reg::kFrameLength + 2, Byte(value, 16));
  chain.Write(imx99x_reg::kFrameLength + 1, Byte(value, 8));
  chain.Write(imx99x_reg::kFrameLength, Byte(value, 0));
}

void CSensorIMX99x::WaitBetweenExposureWrites() {
  // One millisecond over the whole exposure range; the caller holds 1 ms
  // timer resolution.
  const uint32_t exposure = static_cast<uint32_t>(std::max(descriptor_.exposure_time, 0));
  clock_.Sleep(std::max<uint32_t>(1, exposure / 1000000u));
}

void CSensorIMX99x::Wait(uint32_t ms) {
  if (ms < 20) {
    platform::PreciseSleep(clock_, ms);
  } else {
    clock_.Sleep(ms);
  }
}

}  // namespace morvex

namespace morvex {

bool CSensorIMX99x::TriggerModeDecided(int32_t mode, int32_t* result) {
  if (controller_ == nullptr) {
    *result = 0;
    return true;
  }
  if (reconfigure_) {
    // A new window needs the full switch even into the current mode.
    reconfigure_ = false;
  } else {
    uint8_t engine = 0xFF;
    if (controller_->ReadFpgaRegister(imx99x_fpga::kTriggerEngine, &engine) && mode == 0 && engine == 0) {
      restart_pulse_ = 0;  // already free running
      *result = 1;
      return true;
    }
  }
  restart_pulse_ = 1;
  return false;
}

bool CSensorIMX99x::FpgaVersionAtMost(uint16_t version) {
  uint16_t word = 0;
  return ReadFpgaVersion(&word) && word <= version;
}

void CSensorIMX99x::FpgaWrite24Verified(uint8_t low, uint8_t middle, uint8_t high, uint32_t value,
                                        bool timed) {
  if (timed) {
    FpgaWriteVerifiedTimed(low, value & 0xFFu);
    FpgaWriteVerifiedTimed(middle, (value >> 8) & 0xFFu);
    FpgaWriteVerifiedTimed(high, (value >> 16) & 0xFFu);
  } else {
    FpgaWriteVerified(low, value & 0xFFu);
    FpgaWriteVerified(middle, (value >> 8) & 0xFFu);
    FpgaWriteVerified(high, (value >> 16) & 0xFFu);
  }
}

}  // namespace morvex
