#include "sensors/sensor_imx990.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvex {

namespace {

constexpr uint16_t kFastTiming = 0x4000;
constexpr uint16_t kInternalCorrection = 0x8000;
constexpr int32_t kFastLineLength = 516;
constexpr int32_t kLineLength = 972;
// The sensor runs on a slightly different clock than the frame-length
// registers assume; frame lengths are stretched by this ratio.
constexpr double kClockNumerator = 0.0000130925;
constexpr double kClockDenominator = 0.0000129599;

constexpr uint8_t Low(int32_t value) { return static_cast<uint8_t>(value & 0xFF); }
constexpr uint8_t High11(int32_t value) { return static_cast<uint8_t>((value >> 8) & 0x07); }

}  // namespace

CSensorIMX990Pair::CSensorIMX990Pair(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock,
                                     const ChipParameters& chip)
    : CSensorIMX99x(controller, bus_address, clock, chip) {}

int32_t CSensorIMX990Pair::Initialize() {
  if (controller_ == nullptr) return 0;
  WriteRegister(imx99x_reg::kInit0702, 0);
  const bool fast = FpgaVersionHas(kFastTiming);
  WriteRegister(imx99x_reg::kBlackLevel, fast ? 15 : 60);
  WriteRegister(imx99x_reg::kBlackLevel + 1, 0);
  SetGain(descriptor_.gain_default);
  SetMirrorH(descriptor_.mirror_h_default);
  SetMirrorV(descriptor_.mirror_v_default);
  SetWindow(descriptor_.default_left, descriptor_.default_width, descriptor_.default_top,
            descriptor_.default_height, 0);
  SetExposureLines(descriptor_.exposure_lines_default);
  descriptor_.real_exposure_min = fast ? 0.000014252 : 0.000020333;
  return 1;
}

int32_t CSensorIMX990Pair::SetWindow(int32_t left, int32_t width, int32_t top, int32_t height, int32_t mode) {
  if (controller_ == nullptr) return 0;
  const int32_t max_width = descriptor_.max_width;
  const int32_t max_height = descriptor_.max_height;
  // Negative or oversized edges would wrap in the 11-bit registers.
  if (left < 0 || top < 0 || width <= 0 || height <= 0 || left > max_width || top > max_height ||
      width > max_width * 2 || height > max_height * 2) {
    return 0;
  }

  const int32_t line_length = FpgaVersionHas(kFastTiming) ? kFastLineLength : kLineLength;
  const bool binning = mode == 1;
  const bool cropped_height = mode == 0 && height != descriptor_.default_height;
  const int32_t divisor = binning ? 2 : 1;
  const uint8_t binning_select = binning ? 0x11 : 0;
  const uint8_t crop_select = cropped_height ? 2 : 0;
  const int32_t base_frame_length = cropped_height ? height + 36 : BaseFrameLength(binning);
  const int32_t frame_length = static_cast<int32_t>(base_frame_length * kClockNumerator / kClockDenominator);

  int32_t x = (left + 7) & ~7;
  const int32_t w = (width / divisor) & ~3;
  // A window narrower than 4 or lower than 8 lines rounds to nothing.
  if (w == 0 || x + w > max_width) return 0;
  const int32_t h = (height / divisor) & ~7;
  int32_t y = (top + 7) & ~7;
  if (h == 0 || y + h > max_height) return 0;
  // A sensor turned by 180 degrees counts both edges from the far side.
  if (IsFlippedOrientation()) {
    x = max_width - w - x;
    y = max_height - h - y;
  }
  if (cropped_height) y += 4;

  WriteRegister(imx99x_reg::kBinning, binning_select);
  WriteRegister(imx99x_reg::kCrop, crop_select);
  WriteRegister(imx99x_reg::kWindowLeft, Low(x));
  WriteRegister(imx99x_reg::kWindowLeft + 1, High11(x));
  WriteRegister(imx99x_reg::kWindowTop, Low(y));
  WriteRegister(imx99x_reg::kWindowTop + 1, High11(y));
  WriteRegister(imx99x_reg::kWindowWidth, Low(w));
  WriteRegister(imx99x_reg::kWindowWidth + 1, High11(w));
  WriteRegister(imx99x_reg::kWindowHeight, Low(h));
  WriteRegister(imx99x_reg::kWindowHeight + 1, High11(h));
  WriteRegister(imx99x_reg::kFrameLength, Low(frame_length));
  WriteRegister(imx99x_reg::kFrameLength + 1, static_cast<uint8_t>((frame_length >> 8) & 0xFF));
  WriteRegister(imx99x_reg::kLineLength, Low(line_length));
  WriteRegister(imx99x_reg::kLineLength + 1, static_cast<uint8_t>((line_length >> 8) & 0xFF));

  SensorDescriptor& d = descriptor_;
  d.line_length = line_length;
  d.frame_length = frame_length;
  if (x != d.window_left || y != d.window_top || w != d.window_width || h != d.window_height ||
      mode != d.readout_mode) {
    reconfigure_ = true;
  }
  d.window_left = x;
  d.window_top = y;
  d.window_width = w;
  d.window_height = h;
  d.readout_mode = mode;
  requested_ = RequestedWindow{left, width, top, height, mode};
  return 1;
}

int32_t CSensorIMX990Pair::ReapplyWindow() {
  return SetWindow(requested_.left, requested_.width, requested_.top, requested_.height, requested_.mode);
}

int32_t CSensorIMX990Pair::SetExposureLines(int32_t lines) {
  if (controller_ == nullptr || lines < 0) return 0;
  platform::ScopedTimerResolution resolution(clock_);
  const int64_t frame_length = descriptor_.frame_length;
  WriteChain chain(*this);
  int64_t frame_lines;
  if (lines > frame_length - kShutterMinimum) {
    // Long exposure: stretch the frame and open the shutter at its start.
    frame_lines = static_cast<int64_t>(lines) + kShutterMinimum;
    WriteFrameLengthOrdered(chain, static_cast<uint32_t>(frame_lines), static_cast<uint32_t>(frame_length));
    chain.Write(imx99x_reg::kShutterStart, kShutterMinimum);
    chain.Write(imx99x_reg::kShutterStart + 1, 0);
    chain.Write(imx99x_reg::kShutterStart + 2, 0);
  } else {
    frame_lines = frame_length;
    WriteFrameLengthHighFirst(chain, static_cast<uint32_t>(frame_length));
    WriteShutterStart(chain, static_cast<uint32_t>(frame_length - lines));
  }
  if (chain.ok()) descriptor_.exposure_lines = lines;
  if (trigger_state_ == 1) ReloadTriggerTiming();
  frame_period_ms_ = static_cast<int32_t>(static_cast<double>(frame_lines) * kFramePeriodMsPerLine);
  return chain.ok() ? 1 : 0;
}

int32_t CSensorIMX990Pair::ApplyExposureNs(int64_t nanoseconds) {
  const double exact = (static_cast<double>(nanoseconds) - kExposureOffsetNs) / LinePeriodNs();
  int64_t lines = exact > 0 ? static_cast<int64_t>(exact) : 0;
  if (lines == 0) lines = 1;
  lines = std::min<int64_t>(lines, std::numeric_limits<int32_t>::max());
  return SetExposureLines(static_cast<int32_t>(lines));
}

int32_t CSensorIMX990Pair::SetExposureTime(int32_t tenth_ms) {
  const int32_t clamped = std::clamp(tenth_ms, descriptor_.exposure_time_min, descriptor_.exposure_time_max);
  if (!ApplyExposureNs(static_cast<int64_t>(clamped) * 100000)) return 0;
  descriptor_.exposure_time = clamped;
  descriptor_.real_exposure = clamped / 10000.0;
  return 1;
}

int32_t CSensorIMX990Pair::SetRealExposureTime(double seconds) {
  if (std::isnan(seconds)) return 0;
  const double clamped = std::clamp(seconds, descriptor_.real_exposure_min, descriptor_.real_exposure_max);
  if (!ApplyExposureNs(static_cast<int64_t>(clamped * 1e9))) return 0;
  descriptor_.real_exposure = clamped;
  descriptor_.exposure_time = static_cast<int32_t>(clamped * 10000);
  return 1;
}

int32_t CSensorIMX990Pair::SetTriggerOutput(int32_t on) {
  trigger_output_ = on;
  return 1;
}

int32_t CSensorIMX990Pair::HasTriggerOutput() {
  uint16_t version = 0;
  return controller_ != nullptr && ReadFpgaVersion(&version) && version >= 5 ? 1 : 0;
}

int32_t CSensorIMX990Pair::HasInternalCorrection() { return FpgaVersionHas(kInternalCorrection) ? 1 : 0; }

int32_t CSensorIMX990Pair::SupportsColorSetting1() { return FpgaVersionHas(kFastTiming) ? 0 : 1; }

int32_t CSensorIMX990Pair::CanSetFpgaMode24() {
  if (HasInternalCorrection() == 1) return 0;
  if (FpgaOptionByte() & 0x01) return 0;
  uint16_t version = 0;
  return ReadFpgaVersion(&version) && (version & 0x0FFF) > 293 ? 1 : 0;
}

int32_t CSensorIMX990Pair::SetFpgaMode24() {
  if (CanSetFpgaMode24() != 1 || controller_ == nullptr) return 0;
  uint8_t value = 0;
  // Without the current byte, writing would clear the register's other bits.
  if (!controller_->ReadFpgaRegister(imx99x_fpga::kMode24, &value)) return 0;
  return controller_->WriteFpgaRegister(imx99x_fpga::kMode24, value | 0x01u) ? 1 : 0;
}

// IMX990

CSensorIMX990::CSensorIMX990(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock)
    : CSensorIMX990Pair(controller, bus_address, clock,
                        ChipParameters{kModelCode, kCooledModelCode, 1280, 1024, 1376, 1048, 15, 16777214,
                                       1064, 138, 0.000020333, 0.0138, 8, 1, 1, true, false, false, 0x8024}) {
}

int32_t CSensorIMX990::HorizontalOffset(int32_t mirror_on) {
  if (descriptor_.readout_mode == 1) return mirror_on ? 52 : 4;
  return mirror_on ? 104 : 8;
}

double CSensorIMX990::LinePeriodNs() {
  if (FpgaVersionHas(kFastTiming)) return kFastLinePeriodNs;
  return descriptor_.window_height == descriptor_.default_height ? kFullHeightLinePeriodNs : kLinePeriodNs;
}

void CSensorIMX990::WriteShutterStart(WriteChain& chain, uint32_t start) {
  chain.Write(imx99x_reg::kShutterStart, static_cast<uint8_t>(start & 0xFF));
  chain.Write(imx99x_reg::kShutterStart + 1, static_cast<uint8_t>((start >> 8) & 0xFF));
  chain.Write(imx99x_reg::kShutterStart + 2, static_cast<uint8_t>((start >> 16) & 0xFF));
}

int32_t CSensorIMX990::SetDataWidth(int32_t wide) {
  descriptor_.data_width = wide ? 16 : 8;
  const int32_t result = ReapplyWindow();
  SetExposureLines(descriptor_.exposure_lines);
  return result;
}

// IMX991

CSensorIMX991::CSensorIMX991(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock)
    : CSensorIMX990Pair(controller, bus_address, clock,
                        ChipParameters{kModelCode, kCooledModelCode, 640, 512, 736, 536, 15, 16777214, 539,
                                       70, 0.000020333, 0.007, 8, 1, 1, false, false, false, 0x8024}) {}

int32_t CSensorIMX991::HorizontalOffset(int32_t mirror_on) {
  const bool binning = descriptor_.readout_mode == 1;
  if (FpgaVersionHas(kFastTiming)) {
    if (binning) return mirror_on ? 48 : 0;
    return mirror_on ? 100 : 4;
  }
  if (binning) return mirror_on ? 52 : 4;
  return mirror_on ? 104 : 8;
}

double CSensorIMX991::LinePeriodNs() {
  return FpgaVersionHas(kFastTiming) ? kFastLinePeriodNs : kLinePeriodNs;
}

void CSensorIMX991::WriteShutterStart(WriteChain& chain, uint32_t start) {
  chain.Write(imx99x_reg::kShutterStart, static_cast<uint8_t>(start & 0xFF));
  chain.Write(imx99x_reg::kShutterStart + 1, static_cast<uint8_t>((start >> 8) & 0x0F));
  chain.Write(imx99x_reg::kShutterStart + 2, 0);
}

int32_t CSensorIMX991::SetDataWidth(int32_t wide) {
  descriptor_.data_width = wide ? 16 : 8;
  return ReapplyWindow();
}

}  // namespace morvex
