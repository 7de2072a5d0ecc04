// What the sensor looks at, and how its samples become frame bytes.
#pragma once

#include <cstdint>

#include "emulator/emulator.h"
#include "emulator/geometry.h"
#include "emulator/sensor_model.h"

namespace morvex::emulator {

// Everything a frame's pixels depend on, captured when the frame is taken.
struct ExposureState {
  Scene scene = Scene::kNatural;
  double time_s = 0;       // camera time at the frame
  double exposure_ms = 0;  // exposure lines x line period
  uint32_t gain_code = 0;  // 0.1 dB per step
  uint32_t black_level = 60;
  double temperature_c = 25;
  uint32_t frame_index = 0;  // drives the temporal noise
  uint32_t seed = 0;         // per camera: fixed pattern and defects
};

// Fills `out` (g.byte_count() bytes) with the frame the sensor reads out:
// the 12-bit sample at upright column x, row y of the sensor is (x + 4y) mod
// 4096 for the ramp; 16-bit samples right-aligned and little-endian, 8-bit
// samples as the upper 8 of the 12 bits; dummy samples 0.
void RenderFrame(const SensorModel& model, const FrameGeometry& g, const ExposureState& state, uint8_t* out);

}  // namespace morvex::emulator
