#include "sensors/sensor_base.h"

#include <cstring>

namespace morvex {

namespace {

// Writes `value` through `out` when the caller passed somewhere to put it.
template <typename T>
void Store(T* out, T value) {
  if (out != nullptr) *out = value;
}

constexpr uint8_t kFpgaTemperatureLow = 229;
constexpr uint8_t kFpgaTemperatureHigh = 230;
constexpr int kFpgaTemperatureTries = 5;
constexpr uint16_t kSensorTemperatureEnable = 0x0788;
constexpr uint16_t kSensorTemperatureLow = 0x0690;
constexpr uint16_t kSensorTemperatureHigh = 0x0691;

}  // namespace

CSensorBase::CSensorBase(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock)
    : controller_(controller), bus_address_(bus_address), clock_(clock) {}

CSensorBase::~CSensorBase() = default;

int32_t CSensorBase::SetModelCode(int32_t code) {
  model_code_ = code;
  return 1;
}

int32_t CSensorBase::SetTriggerState(int32_t state) {
  trigger_state_ = state;
  return 1;
}

int32_t CSensorBase::GetTriggerState() { return trigger_state_; }

int32_t CSensorBase::HasBlackLevel() { return descriptor_.black_level_supported; }

int32_t CSensorBase::GetBlackLevel(int32_t* value) {
  Store(value, descriptor_.black_level);
  return descriptor_.black_level_supported;
}

int32_t CSensorBase::GetBlackLevelMin(int32_t* value) {
  Store(value, descriptor_.black_level_min);
  return descriptor_.black_level_supported;
}

int32_t CSensorBase::GetBlackLevelMax(int32_t* value) {
  Store(value, descriptor_.black_level_max);
  return descriptor_.black_level_supported;
}

int32_t CSensorBase::GetBlackLevelDefault(int32_t* value) {
  Store(value, descriptor_.black_level_default);
  return descriptor_.black_level_supported;
}

int32_t CSensorBase::HasGainMode() { return descriptor_.gain_mode_supported; }

int32_t CSensorBase::GetGainMode(int32_t* mode) {
  Store(mode, descriptor_.gain_mode);
  return descriptor_.gain_mode_supported;
}

int32_t CSensorBase::HasAuxiliary() { return descriptor_.aux_supported; }

int32_t CSensorBase::GetAuxiliaryMin(int32_t* value) {
  Store(value, descriptor_.aux_min);
  return descriptor_.aux_supported;
}

int32_t CSensorBase::GetAuxiliaryMax(int32_t* value) {
  Store(value, descriptor_.aux_max);
  return descriptor_.aux_supported;
}

int32_t CSensorBase::GetAuxiliaryDefault(int32_t* value) {
  Store(value, descriptor_.aux_default);
  return descriptor_.aux_supported;
}

int32_t CSensorBase::GetAuxiliary(int32_t* value) {
  Store(value, descriptor_.aux);
  return descriptor_.aux_supported;
}

int32_t CSensorBase::GetMirrorVDefault() { return descriptor_.mirror_v_default; }
int32_t CSensorBase::GetMirrorHDefault() { return descriptor_.mirror_h_default; }
int32_t CSensorBase::HasMirrorV() { return descriptor_.mirror_v_supported; }
int32_t CSensorBase::HasMirrorH() { return descriptor_.mirror_h_supported; }

int32_t CSensorBase::CopyDescriptor(SensorDescriptor* destination) {
  if (destination == nullptr) return 0;
  std::memcpy(destination, &descriptor_, sizeof(SensorDescriptor));
  return 1;
}

int32_t CSensorBase::HasRealExposureTime() { return descriptor_.real_exposure_supported; }

int32_t CSensorBase::GetRealExposureTimeMin(double* seconds) {
  Store(seconds, descriptor_.real_exposure_min);
  return descriptor_.real_exposure_supported;
}

int32_t CSensorBase::GetRealExposureTimeMax(double* seconds) {
  Store(seconds, descriptor_.real_exposure_max);
  return descriptor_.real_exposure_supported;
}

int32_t CSensorBase::GetRealExposureTimeDefault(double* seconds) {
  Store(seconds, descriptor_.real_exposure_default);
  return descriptor_.real_exposure_supported;
}

int32_t CSensorBase::GetRealExposureTime(double* seconds) {
  Store(seconds, descriptor_.real_exposure);
  return descriptor_.real_exposure_supported;
}

int32_t CSensorBase::ReadFpgaVersion(uint16_t* version) {
  if (fpga_version_ != 0) {
    Store(version, fpga_version_);
    return 1;
  }
  if (controller_ == nullptr) return 0;
  for (int attempt = 0; attempt < kFpgaVersionTries; ++attempt) {
    if (attempt > 0) clock_.Sleep(kFpgaVersionRetryMs);
    uint16_t word = 0;
    if (controller_->ReadFpgaVersionWord(&word)) {
      fpga_version_ = word;
      Store(version, word);
      return 1;
    }
  }
  return 0;
}

bool CSensorBase::FpgaVersionHas(uint16_t mask) {
  uint16_t version = 0;
  return ReadFpgaVersion(&version) && (version & mask) == mask;
}

int32_t CSensorBase::FpgaWriteVerified(uint8_t reg, uint32_t value) {
  if (controller_ == nullptr) return 0;
  for (int attempt = 0; attempt < kVerifiedWriteTries; ++attempt) {
    if (!controller_->WriteFpgaRegister(reg, value)) continue;
    clock_.Sleep(kVerifiedWriteWaitMs);
    uint8_t read_back = 0;
    if (controller_->ReadFpgaRegister(reg, &read_back) && read_back == (value & 0xFFu)) return 1;
    clock_.Sleep(kVerifiedWriteWaitMs);
  }
  return 0;
}

int32_t CSensorBase::FpgaWriteVerifiedTimed(uint8_t reg, uint32_t value) {
  platform::ScopedTimerResolution resolution(clock_);
  return FpgaWriteVerified(reg, value);
}

int32_t CSensorBase::PulseRestart() {
  if (restart_pulse_ == 0) return 1;
  if (controller_ == nullptr) return 0;
  // Two sensor types of other cameras have their restart line elsewhere.
  const uint8_t reg =
      (model_code_ == 103 || model_code_ == 115) ? kFpgaRestartRegisterAlt : kFpgaRestartRegister;
  platform::ScopedTimerResolution resolution(clock_);
  controller_->WriteFpgaRegister(reg, 1);
  clock_.Sleep(1);
  controller_->WriteFpgaRegister(reg, 0);
  clock_.Sleep(1);
  return 1;
}

uint8_t CSensorBase::FpgaOptionByte() {
  if (!fpga_option_byte_read_ && controller_ != nullptr) {
    uint8_t value = 0;
    if (controller_->ReadFpgaRegister(kFpgaOptionRegister, &value)) {
      fpga_option_byte_ = value;
      fpga_option_byte_read_ = true;
    }
  }
  return fpga_option_byte_;
}

double CSensorBase::ConvertRawTemperature(uint16_t raw) {
  // Sign-extend the 12-bit value; one unit is 1/8 degree.
  int32_t value = raw & 0x0FFF;
  if (value & 0x0800) value -= 0x1000;
  return value / 8.0;
}

uint16_t CSensorBase::ReadRawTemperature(uint16_t fpga_copy_min_version) {
  uint16_t version = 0;
  uint8_t low = 0;
  uint8_t high = 0;
  if (ReadFpgaVersion(&version) && version >= fpga_copy_min_version) {
    // The FPGA mirror reads 0/0 until its first sample; try a few times.
    for (int attempt = 0; attempt < kFpgaTemperatureTries && controller_ != nullptr; ++attempt) {
      const bool low_ok = controller_->ReadFpgaRegister(kFpgaTemperatureLow, &low) != 0;
      const bool high_ok = controller_->ReadFpgaRegister(kFpgaTemperatureHigh, &high) != 0;
      if (low_ok && high_ok && (low != 0 || high != 0)) break;
    }
  } else {
    // Older FPGA firmware: enable the sensor's own readout around the read.
    uint8_t enable = 0;
    ReadRegisterRaw(kSensorTemperatureEnable, &enable);
    WriteRegisterRaw(kSensorTemperatureEnable, static_cast<uint8_t>(enable | 0x01));
    ReadRegisterRaw(kSensorTemperatureLow, &low);
    ReadRegisterRaw(kSensorTemperatureHigh, &high);
    WriteRegisterRaw(kSensorTemperatureEnable, static_cast<uint8_t>(enable & ~0x01));
  }
  return static_cast<uint16_t>(((high & 0x0F) << 8) | low);
}

}  // namespace morvex
