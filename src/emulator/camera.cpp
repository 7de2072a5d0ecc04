// The emulated camera's state, its registers and the test-side controls.
#include "emulator/camera.h"

#include <cstdio>

namespace morvex::emulator {
namespace {

std::string DevicePath(const EmulatedCameraOptions& options, int number) {
  char instance[32];
  std::snprintf(instance, sizeof instance, "mvxemu&%02d", number);
  char path[300];
  std::snprintf(path, sizeof path, "\\\\?\\usb#vid_%04x&pid_%04x#%s#{328184c5-93e6-49b7-94b8-2ada13aabb39}",
                options.vendor_id, options.product_id,
                options.instance.empty() ? instance : options.instance.c_str());
  return path;
}

}  // namespace

VirtualCamera::VirtualCamera(platform::Clock& clock, const EmulatedCameraOptions& options, int number)
    : clock_(clock),
      number_(number),
      model_(ModelForProduct(options.product_id)),
      path_(DevicePath(options, number)),
      options_(options),
      eeprom_(0x10000, 0xFF),
      seed_(0x9E3779B9u * static_cast<uint32_t>(number + 1)) {
  std::lock_guard<std::mutex> lock(mu_);
  last_tick_ = clock_.MultimediaTime();
  InitEeprom();
  PowerOn(NowMs());
  thread_.Start([this] { Run(); }, platform::ThreadPriority::kHighest);
}

VirtualCamera::~VirtualCamera() {
  Stop();
  std::lock_guard<std::mutex> lock(mu_);
  FailAllReads(platform::kErrorOperationAborted);
}

void VirtualCamera::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.Join();
}

// Camera time in milliseconds, from the injected clock; survives its 2^32 wrap.
double VirtualCamera::NowMs() const {
  const uint32_t tick = clock_.MultimediaTime();
  elapsed_ms_ += static_cast<uint32_t>(tick - last_tick_);
  last_tick_ = tick;
  return elapsed_ms_;
}

void VirtualCamera::PowerOn(double now_ms) {
  fpga_.PowerOn(model_);
  if (model_.small_pair() && (options_.fpga_version & 0x4000)) fpga_.Set16(fpga::kHorizontalOffset, 4);
  sensor_.PowerOn(model_);
  aux_.fill(0);
  registers32_.clear();
  busy_reads_ = 0;
  ready_polls_ = 0;
  frame_counter_ = 0;
  thermal_.SetCooler(false, now_ms / 1000.0);
  power_on_ms_ = now_ms;
  fifo_.clear();
  trigger_mode_ = false;
  standby_ = false;
  trigger_frame_end_ms_ = -1;
  next_pulse_ms_ = -1;
  manual_pulses_ = 0;
  next_frame_end_ms_ = now_ms + FramePeriodMsLocked();
}

double VirtualCamera::FramePeriodMsLocked() const {
  uint32_t lines = sensor_.frame_length();
  if (lines < 16) lines = 16;  // the sensor's shortest frame
  return lines * LinePeriodUs(model_, options_.fpga_version, sensor_.line_length()) / 1000.0;
}

bool VirtualCamera::TriggerModeActive() const {
  return (sensor_.Get(sensor::kTriggerEnable) & 1) && (sensor_.Get(sensor::kTriggerSetting) & 2) &&
         fpga_.Get(fpga::kTriggerEngine) == fpga::kTriggerEngineOn;
}

bool VirtualCamera::TemperatureCopySupported() const {
  return options_.fpga_version >= (model_.small_pair() ? 0x8024 : 0x0105);
}

double VirtualCamera::TemperatureLocked(double now_ms) const { return thermal_.Temperature(now_ms / 1000.0); }

uint8_t VirtualCamera::ReadFpga(uint8_t reg) {
  switch (reg) {
    case fpga::kStatus:
      // Busy for one look after each sensor-bus write.
      if (busy_reads_ > 0) {
        --busy_reads_;
        return 0x02;
      }
      return 0;
    case fpga::kFrameCounter:
      return static_cast<uint8_t>(frame_counter_);
    case fpga::kVersionLow:
      return static_cast<uint8_t>(options_.fpga_version);
    case fpga::kVersionHigh:
      return static_cast<uint8_t>(options_.fpga_version >> 8);
    case fpga::kOptions:
      return options_.fpga_options;
    case fpga::kTemperatureLow:
    case fpga::kTemperatureHigh: {
      if (!TemperatureCopySupported()) return 0;
      const uint16_t raw = TemperatureRaw(TemperatureLocked(NowMs()));
      return reg == fpga::kTemperatureLow ? static_cast<uint8_t>(raw) : static_cast<uint8_t>(raw >> 8);
    }
    default:
      return fpga_.Get(reg);
  }
}

void VirtualCamera::WriteFpga(uint8_t reg, uint8_t value) {
  switch (reg) {
    case fpga::kStatus:
    case fpga::kFrameCounter:
    case fpga::kVersionLow:
    case fpga::kVersionHigh:
    case fpga::kOptions:
    case fpga::kTemperatureLow:
    case fpga::kTemperatureHigh:
      return;  // read-only
    default:
      break;
  }
  const uint8_t old = fpga_.Get(reg);
  fpga_.Set(reg, value);
  const double now = NowMs();
  if (reg == fpga::kRestart && (old & 1) && !(value & 1)) RestartTiming(now);
  // Only the cooled models have a Peltier element behind the bit.
  if (reg == fpga::kCooler && model_.cooled) thermal_.SetCooler((value & 1) != 0, now / 1000.0);
  wake_.notify_all();
}

uint8_t VirtualCamera::ReadSensor(uint16_t address) {
  if (address == sensor::kTemperatureLow || address == sensor::kTemperatureHigh) {
    // The readout is live only while enabled.
    if (!(sensor_.Get(sensor::kTemperatureEnable) & 1)) return 0;
    const uint16_t raw = TemperatureRaw(TemperatureLocked(NowMs()));
    return address == sensor::kTemperatureLow ? static_cast<uint8_t>(raw) : static_cast<uint8_t>(raw >> 8);
  }
  return sensor_.Get(address);
}

void VirtualCamera::WriteSensor(uint16_t address, uint8_t value) {
  if (address == sensor::kTemperatureLow || address == sensor::kTemperatureHigh) return;
  sensor_.Set(address, value);
  wake_.notify_all();
}

EmulatedCameraOptions VirtualCamera::options() const {
  std::lock_guard<std::mutex> lock(mu_);
  return options_;
}

void VirtualCamera::SetPresent(bool present) {
  std::lock_guard<std::mutex> lock(mu_);
  if (present == options_.present) return;
  options_.present = present;
  const double now = NowMs();
  if (!present) {
    ++generation_;
    FailAllReads(platform::kErrorDeviceNotConnected);
    fifo_.clear();
  } else {
    PowerOn(now);
  }
  wake_.notify_all();
}

bool VirtualCamera::present() const {
  std::lock_guard<std::mutex> lock(mu_);
  return options_.present;
}

void VirtualCamera::SetFailHeaderReads(uint32_t count) {
  std::lock_guard<std::mutex> lock(mu_);
  options_.fail_header_reads = count;
}

void VirtualCamera::SetFailDataReads(uint32_t count) {
  std::lock_guard<std::mutex> lock(mu_);
  options_.fail_data_reads = count;
}

uint32_t VirtualCamera::pending_header_faults() const {
  std::lock_guard<std::mutex> lock(mu_);
  return options_.fail_header_reads;
}

uint32_t VirtualCamera::pending_data_faults() const {
  std::lock_guard<std::mutex> lock(mu_);
  return options_.fail_data_reads;
}

void VirtualCamera::SetScene(Scene scene) {
  std::lock_guard<std::mutex> lock(mu_);
  options_.scene = scene;
}

void VirtualCamera::SetTriggerInterval(uint32_t ms) {
  std::lock_guard<std::mutex> lock(mu_);
  options_.trigger_interval_ms = ms;
  next_pulse_ms_ = ms ? NowMs() + ms : -1;
  wake_.notify_all();
}

void VirtualCamera::Trigger() {
  std::lock_guard<std::mutex> lock(mu_);
  ++manual_pulses_;
  wake_.notify_all();
}

uint8_t VirtualCamera::PeekFpgaRegister(uint8_t reg) const {
  std::lock_guard<std::mutex> lock(mu_);
  return fpga_.Get(reg);
}

uint8_t VirtualCamera::PeekSensorRegister(uint16_t address) const {
  std::lock_guard<std::mutex> lock(mu_);
  return sensor_.Get(address);
}

uint8_t VirtualCamera::PeekEeprom(uint16_t address) const {
  std::lock_guard<std::mutex> lock(mu_);
  return eeprom_[address];
}

uint32_t VirtualCamera::frame_counter() const {
  std::lock_guard<std::mutex> lock(mu_);
  return frame_counter_;
}

double VirtualCamera::sensor_temperature() const {
  std::lock_guard<std::mutex> lock(mu_);
  return TemperatureLocked(NowMs());
}

double VirtualCamera::frame_period_ms() const {
  std::lock_guard<std::mutex> lock(mu_);
  return FramePeriodMsLocked();
}

uint32_t VirtualCamera::ready_polls() const {
  std::lock_guard<std::mutex> lock(mu_);
  return ready_polls_;
}

uint32_t VirtualCamera::generation() const {
  std::lock_guard<std::mutex> lock(mu_);
  return generation_;
}

}  // namespace morvex::emulator
