// Where each delivered sample comes from: the sensor's readout (window,
// binning, mirrors, its leading dummy lines and columns) as the FPGA cuts it
// with its window size and start offsets.
//
// The sensor sends, per line, `margin_columns` dummy samples and then the
// window's samples (reversed under a horizontal mirror), and per frame
// `margin_lines` dummy lines and then the window's lines (reversed under a
// vertical mirror). The FPGA starts its cut at its start offsets, so only the
// offsets that match the readout mode and mirror state deliver the window
// itself; any other offset shifts the delivered window.
#pragma once

#include <cstdint>

#include "emulator/registers.h"
#include "emulator/sensor_model.h"

namespace morvex::emulator {

enum class ReadoutMode { kWindow, kBinning, kReduced };

struct FrameGeometry {
  ReadoutMode mode = ReadoutMode::kWindow;
  // The sensor window in sensor coordinates (binned modes: the full sensor).
  int first_column = 0;
  int first_line = 0;
  int window_width = 0;   // samples the sensor delivers per window line
  int window_height = 0;  // window lines the sensor delivers
  int margin_columns = 0;
  int margin_lines = 0;
  bool mirror_h = false;
  bool mirror_v = false;
  // The FPGA's cut.
  int lines = 0;
  int line_bytes = 0;
  int bytes_per_sample = 1;
  int samples_per_line = 0;
  int vertical_offset = 0;
  int horizontal_offset = 0;

  uint32_t byte_count() const { return static_cast<uint32_t>(lines) * static_cast<uint32_t>(line_bytes); }
};

// The FPGA's window counters are 12 (lines) and 13 (bytes per line) bits wide.
constexpr int kMaxFpgaLines = 0xFFF;
constexpr int kMaxFpgaLineBytes = 0x1FFF;

FrameGeometry ComputeGeometry(const SensorModel& model, const SensorRegisters& sensor,
                              const FpgaRegisters& fpga, uint16_t fpga_version);

// Maps a delivered sample (column i, line j of the frame) to the readout:
// false for a dummy sample; otherwise the window position (wx, wy), counted
// in delivered (binned) samples before mirroring is undone.
bool WindowPosition(const FrameGeometry& g, int i, int j, int* wx, int* wy);
// The two halves of WindowPosition: the column of a delivered sample, and the
// line of a delivered line.
bool WindowColumn(const FrameGeometry& g, int i, int* wx);
bool WindowLine(const FrameGeometry& g, int j, int* wy);

}  // namespace morvex::emulator
