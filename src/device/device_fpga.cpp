// FPGA registers the device layer drives itself: the window and start-offset
// registers, the busy wait, internal correction, bus words, the EEPROM byte
// at 0x1080, the trigger switch, the clock-mode bus-speed rule and the
// exposure rules that stretch the frame time-out.
#include <algorithm>
#include <cmath>

#include "device/morvex_z3u2_base.h"

namespace morvex {
namespace {

constexpr uint16_t kSromByte1080 = 0x1080;
constexpr uint32_t kBusWordIdleWaitMs = 3000;
constexpr uint32_t kBusSpeedSuperSpeed = 4;
constexpr uint16_t kTriggerFrameVersion = 0x110;

struct StartOffsets {
  int32_t vertical;
  int32_t horizontal;
};

}  // namespace

void CMorvexZ3U2Base::WriteWindowRegisters(int32_t width_samples, int32_t height,
                                           const int32_t* window_mode) {
  CQorCy3Cam& c = *controller_;
  c.WriteFpgaRegister(fpga_reg::kWindowWidthLow, static_cast<uint32_t>(width_samples) & 0xFF);
  c.WriteFpgaRegister(fpga_reg::kWindowWidthHigh, (static_cast<uint32_t>(width_samples) >> 8) & 0xFF);
  c.WriteFpgaRegister(fpga_reg::kWindowHeightLow, static_cast<uint32_t>(height) & 0xFF);
  c.WriteFpgaRegister(fpga_reg::kWindowHeightHigh, (static_cast<uint32_t>(height) >> 8) & 0xFF);

  const SensorFamily family = Family();
  if (family == SensorFamily::kOther) return;
  SensorDescriptor d{};
  sensor_->CopyDescriptor(&d);
  const int32_t mode = window_mode ? *window_mode : d.readout_mode;
  int32_t mirror = 0;
  sensor_->GetMirrorH(&mirror);
  const bool mirrored = mirror != 0;
  const bool full_height = height == d.max_height;

  StartOffsets o{21, mirrored ? 104 : 8};
  if (family == SensorFamily::kImx990Pair) {
    // Bit 14 of the FPGA version (fast line timing) moves the horizontal cut.
    const bool fast_timing = sensor_->SupportsColorSetting1() == 0;
    if (mode == 0)
      o = {full_height ? 25 : 21, mirrored ? (fast_timing ? 100 : 104) : (fast_timing ? 4 : 8)};
    else if (mode == 1)
      o = {23, mirrored ? (fast_timing ? 48 : 52) : (fast_timing ? 0 : 4)};
  } else if (family == SensorFamily::kImx992) {
    if (mode == 0)
      o = {full_height ? 33 : 25, mirrored ? 16 : 112};
    else
      o = {mode == 1 ? 31 : 17, mirrored ? 8 : 52};
  } else {
    if (mode == 0)
      o = {25, mirrored ? 16 : 112};
    else
      o = {mode == 1 ? 31 : 17, mirrored ? 8 : 52};
  }
  c.WriteFpgaRegister(fpga_reg::kVerticalOffsetLow, static_cast<uint32_t>(o.vertical) & 0xFF);
  c.WriteFpgaRegister(fpga_reg::kVerticalOffsetHigh, (static_cast<uint32_t>(o.vertical) >> 8) & 0xFF);
  c.WriteFpgaRegister(fpga_reg::kHorizontalOffsetLow, static_cast<uint32_t>(o.horizontal) & 0xFF);
  c.WriteFpgaRegister(fpga_reg::kHorizontalOffsetHigh, (static_cast<uint32_t>(o.horizontal) >> 8) & 0xFF);
}

int32_t CMorvexZ3U2Base::WaitFpgaIdle(uint32_t milliseconds) {
  if (milliseconds == 0 || !controller_) return 0;
  const uint32_t start = clock_.TickCount();
  for (;;) {
    uint8_t status = 0;
    if (!controller_->ReadFpgaRegister(fpga_reg::kStatus, &status)) return 0;
    if ((status & 0x02) == 0) return 1;
    if (clock_.TickCount() - start >= milliseconds) return 0;
    platform::PreciseSleep(clock_, 1);
  }
}

int32_t CMorvexZ3U2Base::WriteFpgaRegister(uint8_t reg, uint32_t value) {
  if (!controller_ || product_id_ == product::kSecondaryEndpoint) return 0;
  return controller_->WriteFpgaRegister(reg, value);
}

int32_t CMorvexZ3U2Base::ReadFpgaRegister(uint8_t reg, int32_t* ok) {
  if (ok) *ok = 0;
  if (!controller_ || product_id_ == product::kSecondaryEndpoint) return 0;
  uint8_t value = 0;
  const int32_t read = controller_->ReadFpgaRegister(reg, &value);
  if (ok) *ok = read;
  return read ? value : 0;
}

int32_t CMorvexZ3U2Base::WriteBusWords(uint8_t address, uint16_t first, uint16_t second) {
  if (!controller_) return 0;
  WaitFpgaIdle(kBusWordIdleWaitMs);
  const uint8_t data[4] = {static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first),
                           static_cast<uint8_t>(second >> 8), static_cast<uint8_t>(second)};
  return controller_->WriteCommand(static_cast<uint8_t>(2 * address), data, 4, kBusWordIdleWaitMs);
}

int32_t CMorvexZ3U2Base::ReadBusWords(uint8_t address, uint16_t* first, uint16_t* second) {
  if (!controller_) return 0;
  WaitFpgaIdle(kBusWordIdleWaitMs);
  uint8_t data[4] = {};
  if (!controller_->ReadCommand(static_cast<uint8_t>(2 * address), data, 4, kBusWordIdleWaitMs)) return 0;
  if (first) *first = static_cast<uint16_t>((data[0] << 8) | data[1]);
  if (second) *second = static_cast<uint16_t>((data[2] << 8) | data[3]);
  return 1;
}

int32_t CMorvexZ3U2Base::WriteSromByte(uint16_t address, uint8_t value) {
  return controller_ ? controller_->WriteSromByte(address, value) : 0;
}

int32_t CMorvexZ3U2Base::ReadSromByte(uint16_t address, uint8_t* value) {
  if (!value) return 0;
  return controller_ ? controller_->ReadSromByte(address, value) : 0;
}

int32_t CMorvexZ3U2Base::WriteSromByte1080(uint8_t value) { return WriteSromByte(kSromByte1080, value); }
int32_t CMorvexZ3U2Base::ReadSromByte1080(uint8_t* value) { return ReadSromByte(kSromByte1080, value); }

int32_t CMorvexZ3U2Base::HasCorrectionControl() {
  if (Family() == SensorFamily::kOther) return 0;
  return HasInternalCorrection() == 1 ? 1 : 0;
}

int32_t CMorvexZ3U2Base::GetInternalCorrection() {
  if (!HasInternalCorrection() || !controller_) return 0;
  uint8_t value = 0;
  if (!controller_->ReadFpgaRegister(fpga_reg::kCorrectionControl, &value)) return 0;
  return value & 1;
}

int32_t CMorvexZ3U2Base::SetInternalCorrection(int32_t on) {
  if (!HasInternalCorrection() || !controller_) return 0;
  const int32_t wanted = on ? 1 : 0;
  if (GetInternalCorrection() == wanted) return 1;
  uint8_t value = 0;
  if (!controller_->ReadFpgaRegister(fpga_reg::kCorrectionControl, &value)) return 0;
  const uint32_t next = wanted ? (value | 1u) : (value & ~1u);
  return controller_->WriteFpgaRegister(fpga_reg::kCorrectionControl, next & 0xFF);
}

int32_t CMorvexZ3U2Base::SetCorrectionLevel(int32_t value) {
  if (!HasCorrectionControl() || !controller_) return 0;
  const uint32_t level = static_cast<uint32_t>(value);
  const int32_t low = controller_->WriteFpgaRegister(fpga_reg::kCorrectionLevelLow, level & 0xFF);
  const int32_t high = controller_->WriteFpgaRegister(fpga_reg::kCorrectionLevelHigh, (level >> 8) & 0xFF);
  return low && high ? 1 : 0;
}

int32_t CMorvexZ3U2Base::GetCorrectionLevel(int32_t* value) {
  if (!HasCorrectionControl() || !controller_) return 0;
  uint8_t low = 0, high = 0;
  if (!controller_->ReadFpgaRegister(fpga_reg::kCorrectionLevelLow, &low)) return 0;
  if (!controller_->ReadFpgaRegister(fpga_reg::kCorrectionLevelHigh, &high)) return 0;
  if (value) *value = high * 256 + low;
  return 1;
}

int32_t CMorvexZ3U2Base::GetCorrectionLevelMin() { return 0; }
int32_t CMorvexZ3U2Base::GetCorrectionLevelMax() { return HasCorrectionControl() ? 0xFFFF : 0; }

int32_t CMorvexZ3U2Base::SetClockMode(int32_t value) {
  if (!sensor_) return 0;
  int32_t passed = value;
  if (value == 2) {
    uint32_t speed = 0;
    // Mode 2 needs a SuperSpeed link; an unreadable speed is given the benefit of the doubt.
    if (controller_ && controller_->GetBusSpeed(&speed)) passed = speed == kBusSpeedSuperSpeed ? 2 : 0;
  }
  return sensor_->SetClockMode(passed);
}

int32_t CMorvexZ3U2Base::SetTriggerMode(int32_t mode, int32_t force) {
  if (!sensor_) return 0;
  if (!force && mode == trigger_mode_.load()) return 1;
  StopStream(0);

  const SensorFamily family = Family();
  if (family == SensorFamily::kImx990Pair) {
    uint16_t version = 0;
    if (sensor_->ReadFpgaVersion(&version)) {
      if (version <= kTriggerFrameVersion) {
        sensor_->SetTriggerMode(mode);
      } else if (mode == 0) {
        sensor_->SetTriggerMode(0);
      } else if (mode == 1) {
        // Newer FPGAs want one frame taken after the switch to settle the counter.
        sensor_->SetTriggerMode(1);
        StartStream(2);
        if (WaitFrame(kTriggerFrameWaitMs) == 3) ReadFrameCounter();
      }
    }
  } else if (family == SensorFamily::kImx992 || family == SensorFamily::kImx993) {
    if (!sensor_->SetTriggerMode(mode)) return 0;
    if (mode >= 1 && mode <= 3) ReadFrameCounter();
  }
  trigger_mode_.store(mode);
  return 1;
}

int32_t CMorvexZ3U2Base::SetExposureTime(int32_t tenth_ms) {
  // A frame may take twice the exposure to arrive; short ones keep 5 s.
  frame_timeout_ms_.store(tenth_ms <= 50000 ? kDefaultFrameTimeoutMs : tenth_ms / 5);
  return sensor_ ? sensor_->SetExposureTime(tenth_ms) : 0;
}

int32_t CMorvexZ3U2Base::SetRealExposureTime(double seconds) {
  // A stored or passed value may be anything: no exposure is NaN or endless,
  // and the frame time-out stays a representable count of milliseconds.
  if (!std::isfinite(seconds)) return 0;
  if (seconds > 2.0)
    frame_timeout_ms_.store(static_cast<int32_t>(std::min((seconds + 1.0) * 1000.0, 2147483647.0)));
  return sensor_ ? sensor_->SetRealExposureTime(seconds) : 0;
}

int32_t CMorvexZ3U2Base::SetDataWidth(int32_t value) {
  settings_dirty_ = 1;
  if (Family() != SensorFamily::kOther) return sensor_ ? sensor_->SetDataWidth(value) : 0;
  data_width_flag_ = value;
  return 1;
}

int32_t CMorvexZ3U2Base::SetWindow(int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode) {
  if (!sensor_) return 0;
  int32_t cx = 0, cy = 0, cw = 0, ch = 0, cm = 0;
  if (sensor_->GetWindow(&cx, &cw, &cy, &ch, &cm) && cx == x && cy == y && cw == width && ch == height &&
      cm == mode)
    return 1;
  const int32_t result = sensor_->SetWindow(x, width, y, height, mode);
  sensor_->GetWindow(&cx, &cw, &cy, &ch, &cm);
  settings_dirty_ = 1;
  return result;
}

int32_t CMorvexZ3U2Base::GetWindow(int32_t* x, int32_t* y, int32_t* width, int32_t* height, int32_t* mode) {
  if (!sensor_) return 0;
  int32_t cx = 0, cy = 0, cw = 0, ch = 0, cm = 0;
  const int32_t result = sensor_->GetWindow(&cx, &cw, &cy, &ch, &cm);
  if (x) *x = cx;
  if (y) *y = cy;
  if (width) *width = cw;
  if (height) *height = ch;
  if (mode) *mode = cm;
  return result;
}

namespace {
int32_t DescriptorWord(CSensorBase* sensor, int index) {
  if (!sensor) return 0;
  SensorDescriptor d{};
  sensor->CopyDescriptor(&d);
  const int32_t words[8] = {d.max_width,     d.max_height,     d.default_left, d.default_top,
                            d.default_width, d.default_height, d.class_word_a, d.class_word_b};
  return words[index];
}
}  // namespace

int32_t CMorvexZ3U2Base::GetMaxWidth() { return DescriptorWord(sensor_.get(), 0); }
int32_t CMorvexZ3U2Base::GetMaxHeight() { return DescriptorWord(sensor_.get(), 1); }
int32_t CMorvexZ3U2Base::GetDefaultLeft() { return DescriptorWord(sensor_.get(), 2); }
int32_t CMorvexZ3U2Base::GetDefaultTop() { return DescriptorWord(sensor_.get(), 3); }
int32_t CMorvexZ3U2Base::GetDefaultWidth() { return DescriptorWord(sensor_.get(), 4); }
int32_t CMorvexZ3U2Base::GetDefaultHeight() { return DescriptorWord(sensor_.get(), 5); }
int32_t CMorvexZ3U2Base::GetSizeWordA() { return DescriptorWord(sensor_.get(), 6); }
int32_t CMorvexZ3U2Base::GetSizeWordB() { return DescriptorWord(sensor_.get(), 7); }

}  // namespace morvex
