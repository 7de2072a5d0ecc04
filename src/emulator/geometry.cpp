#include "emulator/geometry.h"

#include <algorithm>

namespace morvex::emulator {
namespace {

// Leading dummy columns of one readout line. A mirrored line is read from the
// far end, which puts a different number of dummies in front of it.
int MarginColumns(const SensorModel& model, ReadoutMode mode, bool mirror_h, bool fast_lines) {
  if (model.small_pair()) {
    if (mode == ReadoutMode::kBinning) return fast_lines ? (mirror_h ? 48 : 0) : (mirror_h ? 52 : 4);
    return fast_lines ? (mirror_h ? 100 : 4) : (mirror_h ? 104 : 8);
  }
  if (mode == ReadoutMode::kWindow) return mirror_h ? 16 : 112;
  return mirror_h ? 8 : 52;
}

// Leading dummy lines of one frame.
int MarginLines(const SensorModel& model, ReadoutMode mode, bool vertical_crop) {
  if (model.small_pair()) {
    if (mode == ReadoutMode::kBinning) return 23;
    // A cropped readout starts four lines above the programmed top (they are
    // part of the window register's count), behind 21 dummy lines.
    return vertical_crop ? 21 : 25;
  }
  if (mode == ReadoutMode::kBinning) return 31;
  if (mode == ReadoutMode::kReduced) return 17;
  if (model.chip == Chip::kImx992) return vertical_crop ? 25 : 33;
  return 25;
}

// The window registers are 11 bits wide on the small pair; the large pair's
// windows reach 2688 columns and need 12.
int WindowRegister(const SensorModel& model, const SensorRegisters& sensor, uint16_t address) {
  return static_cast<int>(model.small_pair() ? sensor.Get11(address) : sensor.Get16(address) & 0xFFF);
}

}  // namespace

FrameGeometry ComputeGeometry(const SensorModel& model, const SensorRegisters& sensor,
                              const FpgaRegisters& fpga, uint16_t fpga_version) {
  FrameGeometry g;
  const bool fast_lines = model.small_pair() && (fpga_version & 0x4000) != 0;
  if (sensor.Get(sensor::kBinning) == sensor::kBinningOn) {
    g.mode = ReadoutMode::kBinning;
  } else if (!model.small_pair() && sensor.Get(sensor::kReadoutSetting) == sensor::kReducedReadout) {
    g.mode = ReadoutMode::kReduced;
  }
  const uint8_t mirror = sensor.Get(sensor::kMirror);
  g.mirror_v = (mirror & 1) != 0;
  g.mirror_h = (mirror & 2) != 0;
  const uint8_t crop = sensor.Get(sensor::kCrop);
  const bool vertical_crop = (crop & 2) != 0;
  // The small pair always honours the horizontal window; the large pair only
  // with its horizontal crop bit.
  const bool horizontal_crop = model.small_pair() || (crop & 1) != 0;

  if (g.mode == ReadoutMode::kWindow) {
    if (horizontal_crop) {
      g.first_column = WindowRegister(model, sensor, sensor::kWindowLeft);
      g.window_width = WindowRegister(model, sensor, sensor::kWindowWidth);
    } else {
      g.window_width = model.max_width;
    }
    if (vertical_crop) {
      g.first_line = WindowRegister(model, sensor, sensor::kWindowTop) - (model.small_pair() ? 4 : 0);
      g.window_height = WindowRegister(model, sensor, sensor::kWindowHeight);
    } else {
      g.window_height = model.max_height;
    }
  } else {
    g.window_width = model.max_width / 2;
    g.window_height = model.max_height / 2;
  }
  g.margin_columns = MarginColumns(model, g.mode, g.mirror_h, fast_lines);
  g.margin_lines = MarginLines(model, g.mode, vertical_crop);

  g.lines = std::min<int>(static_cast<int>(fpga.Get16(fpga::kWindowLines)), kMaxFpgaLines);
  g.line_bytes = std::min<int>(static_cast<int>(fpga.Get16(fpga::kLineBytes)), kMaxFpgaLineBytes);
  g.vertical_offset = static_cast<int>(fpga.Get16(fpga::kVerticalOffset));
  g.horizontal_offset = static_cast<int>(fpga.Get16(fpga::kHorizontalOffset));
  // A line twice as wide as the sensor's window carries 16-bit samples.
  g.bytes_per_sample = (g.window_width > 0 && g.line_bytes == 2 * g.window_width) ? 2 : 1;
  g.samples_per_line = g.line_bytes / g.bytes_per_sample;
  return g;
}

bool WindowColumn(const FrameGeometry& g, int i, int* wx) {
  int x = g.horizontal_offset + i - g.margin_columns;
  if (x < 0 || x >= g.window_width) return false;
  if (g.mirror_h) x = g.window_width - 1 - x;
  *wx = x;
  return true;
}

bool WindowLine(const FrameGeometry& g, int j, int* wy) {
  int y = g.vertical_offset + j - g.margin_lines;
  if (y < 0 || y >= g.window_height) return false;
  if (g.mirror_v) y = g.window_height - 1 - y;
  *wy = y;
  return true;
}

bool WindowPosition(const FrameGeometry& g, int i, int j, int* wx, int* wy) {
  int x, y;
  if (!WindowColumn(g, i, &x) || !WindowLine(g, j, &y)) return false;
  *wx = x;
  *wy = y;
  return true;
}

}  // namespace morvex::emulator
