#include "sensors/sensor_imx992.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvex {

namespace {

constexpr int32_t kDataWidthUnseen = -1;
constexpr uint8_t kReadoutNormal = 36;
constexpr uint8_t kReadoutReduced = 172;
// The readout-timing field of register 0x0430/0x0431 set by SetWindow.
constexpr uint32_t kReadoutTimingField = 10;

constexpr uint8_t Low(int32_t value) { return static_cast<uint8_t>(value & 0xFF); }
constexpr uint8_t Mid(int32_t value) { return static_cast<uint8_t>((value >> 8) & 0xFF); }
constexpr uint8_t HighByte(int32_t value) { return static_cast<uint8_t>((value >> 16) & 0xFF); }

std::atomic<int32_t> g_imx992_data_width{kDataWidthUnseen};
std::atomic<int32_t> g_imx993_data_width{kDataWidthUnseen};

}  // namespace

CSensorIMX992Pair::CSensorIMX992Pair(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock,
                                     const ChipParameters& chip, const PairParameters& pair)
    : CSensorIMX99x(controller, bus_address, clock, chip),
      pair_(pair),
      current_frame_length_(pair.full_frame_length) {}

double CSensorIMX992Pair::LinePeriodUs() const {
  if (descriptor_.sensor_clock == 0) return 0.0;
  return static_cast<double>(current_line_length_) / kLineLength8Bit * kLineTimeFactor /
         descriptor_.sensor_clock;
}

int32_t CSensorIMX992Pair::Initialize() {
  if (controller_ == nullptr) return 0;
  WriteRegister(imx99x_reg::kInit0702, 0);
  InitializeChipSpecific();
  SetGain(descriptor_.gain_default);
  SetRealExposureTime(descriptor_.real_exposure_default);
  SetMirrorH(descriptor_.mirror_h_default);
  SetMirrorV(descriptor_.mirror_v_default);
  SetWindow(descriptor_.default_left, descriptor_.default_width, descriptor_.default_top,
            descriptor_.default_height, 0);
  return 1;
}

void CSensorIMX992Pair::EnterStandby() {
  WriteRegister(imx99x_reg::kStandby, 1);
  Wait(kStandbyWaitMs);
  WriteRegister(imx99x_reg::kStandby2, 1);
  Wait(kStandbyWaitMs);
}

void CSensorIMX992Pair::LeaveStandby() {
  WriteRegister(imx99x_reg::kStandby, 0);
  Wait(kStandbyWaitMs);
  WriteRegister(imx99x_reg::kStandby2, 0);
  Wait(kStandbyWaitMs);
}

void CSensorIMX992Pair::UpdateLineLength(int32_t line_length) {
  if (line_length == current_line_length_) return;
  EnterStandby();
  const bool ok = WriteRegister(imx99x_reg::kLineLength, Low(line_length)) &&
                  WriteRegister(imx99x_reg::kLineLength + 1, Mid(line_length));
  LeaveStandby();
  if (ok) {
    current_line_length_ = line_length;
    descriptor_.line_length = line_length;
  }
}

int32_t CSensorIMX992Pair::SetWindow(int32_t left, int32_t width, int32_t top, int32_t height, int32_t mode) {
  if (controller_ == nullptr) return 0;
  const int32_t max_width = descriptor_.max_width;
  const int32_t max_height = descriptor_.max_height;
  switch (mode) {
    case 0:
      // Negative edges pass the alignment checks but wrap in the registers.
      if (left < 0 || top < 0) return 0;
      if (left % 8 != 0 || width % 8 != 0 || top % 4 != 0 || height % 4 != 0) return 0;
      if (width < 8 || width > pair_.window_width_limit || height < 4 || height > pair_.window_height_limit) {
        return 0;
      }
      break;
    case 1:
      if (left > 0 || top > 0) return 0;
      break;
    case 17:
      if (left < 0 || top < 0) return 0;
      if (left % 32 != 0 || top % 32 != 0 || width % 32 != 0 || height % 32 != 0) return 0;
      break;
    default:
      return 0;
  }
  if (static_cast<int64_t>(left) + width > max_width || static_cast<int64_t>(top) + height > max_height) {
    return 0;
  }

  // A sensor turned by 180 degrees counts both edges from the far side.
  const bool flipped = IsFlippedOrientation();
  int32_t x = flipped ? max_width - left - width : left;
  int32_t y = flipped ? max_height - top - height : top;
  int32_t w = width;
  int32_t h = height;
  int32_t frame_length = pair_.full_frame_length;
  int32_t line_length = kLineLength8Bit;
  uint8_t fpga_mode = 0;
  uint8_t binning_select = 0;
  uint8_t readout = kReadoutNormal;
  uint8_t crop_select = 0;
  if (mode == 0) {
    line_length = descriptor_.data_width == 8 ? kLineLength8Bit : kLineLength16Bit;
    if (height != max_height) frame_length = height + 84;
    crop_select = static_cast<uint8_t>((width != max_width ? 1 : 0) + (height != max_height ? 2 : 0));
  } else {
    w = max_width;
    h = max_height;
    x = 0;
    y = 4;
    if (mode == 1) {
      frame_length = pair_.binning_frame_length;
      fpga_mode = 1;
      binning_select = 0x11;
    } else {
      fpga_mode = 2;
      readout = kReadoutReduced;
    }
  }

  // A change of data width or readout mode needs the sensor in standby.
  std::atomic<int32_t>& remembered = RememberedDataWidth();
  int32_t expected = kDataWidthUnseen;
  remembered.compare_exchange_strong(expected, descriptor_.data_width);
  bool standby = mode != descriptor_.readout_mode;
  if (remembered.exchange(descriptor_.data_width) != descriptor_.data_width) standby = true;

  if (standby) EnterStandby();
  WriteRegister(imx99x_reg::kBinning, binning_select);
  WriteRegister(imx99x_reg::kCrop, crop_select);
  WriteRegister(imx99x_reg::kReadout, readout);
  if (pair_.rewrite_trigger_setting) {
    uint8_t setting = 0;
    if (!ReadRegister(imx99x_reg::kTriggerSetting, &setting)) setting = 0;
    WriteRegister(imx99x_reg::kTriggerSetting,
                  static_cast<uint8_t>((setting & 0x03) | ((kReadoutTimingField << 2) & 0xFC)));
    WriteRegister(imx99x_reg::kTriggerSetting2, static_cast<uint8_t>((kReadoutTimingField >> 6) & 0x03));
  }
  if (standby) LeaveStandby();
  FpgaWriteVerified(imx99x_fpga::kReadoutMode, fpga_mode);
  WriteRegister(imx99x_reg::kWindowLeft, Low(x));
  WriteRegister(imx99x_reg::kWindowLeft + 1, Mid(x));
  WriteRegister(imx99x_reg::kWindowTop, Low(y));
  WriteRegister(imx99x_reg::kWindowTop + 1, Mid(y));
  WriteRegister(imx99x_reg::kWindowWidth, Low(w));
  WriteRegister(imx99x_reg::kWindowWidth + 1, Mid(w));
  WriteRegister(imx99x_reg::kWindowHeight, Low(h));
  WriteRegister(imx99x_reg::kWindowHeight + 1, Mid(h));

  // Binned and reduced readouts deliver half the sensor in each direction.
  const int32_t stored_width = mode == 0 ? w : w / 2;
  const int32_t stored_height = mode == 0 ? h : h / 2;
  SensorDescriptor& d = descriptor_;
  const int32_t stored_left = mode == 0 ? left : 0;
  if (stored_left != d.window_left || top != d.window_top || stored_width != d.window_width ||
      stored_height != d.window_height || mode != d.readout_mode) {
    reconfigure_ = true;
  }
  d.window_left = stored_left;
  d.window_top = top;
  d.window_width = stored_width;
  d.window_height = stored_height;
  d.readout_mode = mode;

  const bool length_ok = WriteRegister(imx99x_reg::kFrameLength, Low(frame_length)) &&
                         WriteRegister(imx99x_reg::kFrameLength + 1, Mid(frame_length)) &&
                         WriteRegister(imx99x_reg::kFrameLength + 2, HighByte(frame_length));
  if (length_ok) {
    d.frame_length = frame_length;
    current_frame_length_ = frame_length;
  }
  UpdateLineLength(line_length);
  return 1;
}

int32_t CSensorIMX992Pair::SetDataWidth(int32_t wide) {
  if (controller_ == nullptr) return 0;
  const int32_t line_length = wide ? kLineLength16Bit : kLineLength8Bit;
  UpdateLineLength(line_length);
  descriptor_.data_width = wide ? 16 : 8;
  // Two lines of the new timing are the shortest exposure.
  descriptor_.real_exposure_min = static_cast<double>(line_length) / kLineLength8Bit * kLineTimeFactor /
                                  descriptor_.sensor_clock * 2 / 1000000.0;
  SetWindow(descriptor_.window_left, descriptor_.window_width, descriptor_.window_top,
            descriptor_.window_height, descriptor_.readout_mode);
  return 1;
}

void CSensorIMX992Pair::WriteTriggerTiming() {
  const bool wide = descriptor_.data_width == 16;
  FpgaWrite24Verified(imx99x_fpga::kTriggerExposure0, imx99x_fpga::kTriggerExposure1,
                      imx99x_fpga::kTriggerExposure2, static_cast<uint32_t>(descriptor_.exposure_lines),
                      false);
  FpgaWriteVerified(imx99x_fpga::kTriggerLineLow, wide ? 712 : 356);
  FpgaWriteVerified(imx99x_fpga::kTriggerLineHigh, wide ? 2 : 1);
  FpgaWriteVerified(imx99x_fpga::kTriggerFrame0, pair_.trigger_frame_low);
  FpgaWriteVerified(imx99x_fpga::kTriggerFrame1, pair_.trigger_frame_mid);
  FpgaWriteVerified(imx99x_fpga::kTriggerFrame2, 0);
}

void CSensorIMX992Pair::LoadTriggerTiming(bool stop) {
  if (stop) FpgaWriteVerified(imx99x_fpga::kTriggerEngine, 0);
  WriteTriggerTiming();
  if (stop) FpgaWriteVerified(imx99x_fpga::kTriggerEngine, 2);
}

int32_t CSensorIMX992Pair::SetExposureLines(int32_t lines) {
  if (controller_ == nullptr) return 0;
  platform::ScopedTimerResolution resolution(clock_);
  const int64_t exposure = std::clamp(lines, descriptor_.exposure_lines_min, descriptor_.exposure_lines_max);
  const int64_t frame_length = descriptor_.frame_length;
  WriteChain chain(*this);
  int64_t frame_lines;
  int64_t effective;
  if (exposure > frame_length - kShutterMinimum) {
    // Long exposure: the frame grows (in even lines) around the exposure.
    frame_lines = (exposure + kShutterMinimum + 1) & ~int64_t{1};
    effective = frame_lines - kShutterMinimum;
    WriteFrameLengthOrdered(chain, static_cast<uint32_t>(frame_lines),
                            static_cast<uint32_t>(current_frame_length_));
    if (chain.ok()) current_frame_length_ = static_cast<int32_t>(frame_lines);
    chain.Write(imx99x_reg::kShutterStart, kShutterMinimum);
    chain.Write(imx99x_reg::kShutterStart + 1, 0);
    chain.Write(imx99x_reg::kShutterStart + 2, 0);
  } else {
    frame_lines = (frame_length + 1) & ~int64_t{1};
    const int64_t shutter_start = (frame_lines - exposure + 1) & ~int64_t{1};
    effective = frame_lines - shutter_start;
    WriteFrameLengthHighFirst(chain, static_cast<uint32_t>(frame_lines));
    if (chain.ok()) current_frame_length_ = static_cast<int32_t>(frame_lines);
    chain.Write(imx99x_reg::kShutterStart, Low(static_cast<int32_t>(shutter_start)));
    chain.Write(imx99x_reg::kShutterStart + 1, Mid(static_cast<int32_t>(shutter_start)));
    chain.Write(imx99x_reg::kShutterStart + 2, HighByte(static_cast<int32_t>(shutter_start)));
  }
  if (chain.ok()) descriptor_.exposure_lines = static_cast<int32_t>(effective);
  WriteTriggerTiming();
  frame_period_ms_ = static_cast<int32_t>(LinePeriodUs() * static_cast<double>(frame_lines) / 1000);
  return chain.ok() ? 1 : 0;
}

int32_t CSensorIMX992Pair::ApplyExposureUs(int64_t microseconds) {
  const double line_period = LinePeriodUs();
  if (line_period <= 0) return 0;
  int64_t lines = static_cast<int64_t>(static_cast<double>(microseconds) / line_period);
  if (lines <= 0) lines = 1;
  lines = std::min<int64_t>(lines, std::numeric_limits<int32_t>::max());
  return SetExposureLines(static_cast<int32_t>(lines));
}

int32_t CSensorIMX992Pair::SetExposureTime(int32_t tenth_ms) {
  const int32_t clamped = std::clamp(tenth_ms, descriptor_.exposure_time_min, descriptor_.exposure_time_max);
  if (!ApplyExposureUs(static_cast<int64_t>(clamped) * 100)) return 0;
  descriptor_.exposure_time = clamped;
  descriptor_.real_exposure = clamped / 10000.0;
  return 1;
}

int32_t CSensorIMX992Pair::SetRealExposureTime(double seconds) {
  if (std::isnan(seconds)) return 0;
  const double clamped = std::clamp(seconds, descriptor_.real_exposure_min, descriptor_.real_exposure_max);
  if (!ApplyExposureUs(static_cast<int64_t>(clamped * 1e6))) return 0;
  descriptor_.real_exposure = clamped;
  descriptor_.exposure_time = static_cast<int32_t>(clamped * 10000);
  return 1;
}

int32_t CSensorIMX992Pair::ReadGainLevelRegister(uint8_t* value) {
  return pair_.gain_level_guarded ? ReadRegister(imx99x_reg::kGainLevel, value)
                                  : ReadRegisterRaw(imx99x_reg::kGainLevel, value);
}

int32_t CSensorIMX992Pair::WriteGainLevelRegister(uint8_t value) {
  return pair_.gain_level_guarded ? WriteRegister(imx99x_reg::kGainLevel, value)
                                  : WriteRegisterRaw(imx99x_reg::kGainLevel, value);
}

int32_t CSensorIMX992Pair::GetGainLevel() {
  uint8_t value = 0;
  if (!ReadGainLevelRegister(&value)) return -1;
  return (value & 0x01) ? 0 : 1;  // bit 0 set: high gain
}

int32_t CSensorIMX992Pair::SetGainLevel(int32_t level) {
  uint8_t value = 0;
  if (!ReadGainLevelRegister(&value)) value = 0;
  if (level == 0) {
    value = static_cast<uint8_t>(value | 0x01);
  } else if (level == 1) {
    value = static_cast<uint8_t>(value & ~0x01);
  } else {
    value = 0;
  }
  return WriteGainLevelRegister(value);
}

int32_t CSensorIMX992Pair::HorizontalOffset(int32_t mirror_on) {
  switch (descriptor_.readout_mode) {
    case 0:
      return mirror_on ? 16 : 112;
    case 1:
    case 17:
      return mirror_on ? 8 : 52;
    default:
      return 0;
  }
}

// IMX992

CSensorIMX992::CSensorIMX992(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock)
    : CSensorIMX992Pair(controller, bus_address, clock,
                        ChipParameters{kModelCode, kCooledModelCode, 2560, 2048, 2592, 2140, 2, 16777177,
                                       2102, 137, 0.00001304, 0.01370504, 0, 0, 0, false, true, true, 0x0105},
                        PairParameters{2688, 2056, 2140, 1116, 43, 8, true, false}) {
  trigger_state_ = 0;
}

int32_t CSensorIMX992::HasInternalCorrection() { return FpgaVersionHas(0x8000) ? 1 : 0; }

std::atomic<int32_t>& CSensorIMX992::RememberedDataWidth() { return g_imx992_data_width; }

void CSensorIMX992::ForgetRememberedDataWidth() { g_imx992_data_width = kDataWidthUnseen; }

// IMX993

CSensorIMX993::CSensorIMX993(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock)
    : CSensorIMX992Pair(
          controller, bus_address, clock,
          ChipParameters{kModelCode, kCooledModelCode, 2048, 1536, 2080, 1628, 2, 16777163, 1576, 102,
                         0.000027842, 0.010290322, 0, 0, 0, false, true, true, 0x0105},
          PairParameters{2176, 1544, 1628, 860, 51, 6, false, true}) {
  current_frame_length_ = 1628;
  SensorDescriptor& d = descriptor_;
  d.black_level_min = 0;
  d.black_level_max = 4095;
  d.black_level = 240;
  d.black_level_default = 240;
  d.black_level_supported = 1;
  d.gain_mode_supported = 1;
  d.gain_mode = 0;
}

void CSensorIMX993::InitializeChipSpecific() {
  SetBlackLevel(descriptor_.black_level_default);
  uint8_t mode_a = 0;
  uint8_t mode_b = 0;
  if (ReadRegister(imx99x_reg::kGainModeReadA, &mode_a) &&
      ReadRegister(imx99x_reg::kGainModeReadB, &mode_b)) {
    if (mode_a == 0x50 && mode_b == 1) {
      descriptor_.gain_mode = 1;
    } else if (mode_a == 0x5F && mode_b == 0) {
      descriptor_.gain_mode = 0;
    }
  }
}

int32_t CSensorIMX993::SetBlackLevel(int32_t level) {
  const int32_t clamped = std::clamp(level, 0, 4095);
  const bool ok = WriteRegister(imx99x_reg::kBlackLevel, Low(clamped)) &&
                  WriteRegister(imx99x_reg::kBlackLevel + 1, static_cast<uint8_t>((clamped >> 8) & 0x0F));
  if (!ok) return 0;
  descriptor_.black_level = clamped;
  return 1;
}

int32_t CSensorIMX993::SetGainMode(int32_t mode) {
  const bool a_ok = WriteRegister(imx99x_reg::kGainModeA, mode ? 0x50 : 0x5F) != 0;
  const bool b_ok = WriteRegister(imx99x_reg::kGainModeB, mode ? 1 : 0) != 0;
  if (!a_ok || !b_ok) return 0;
  descriptor_.gain_mode = mode ? 1 : 0;
  return 1;
}

std::atomic<int32_t>& CSensorIMX993::RememberedDataWidth() { return g_imx993_data_width; }

void CSensorIMX993::ForgetRememberedDataWidth() { g_imx993_data_width = kDataWidthUnseen; }

}  // namespace morvex
