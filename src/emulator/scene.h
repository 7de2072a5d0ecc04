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
  double time_s = 0;        // camera time at the frame
  double exposure_ms = 0;   // exposure lines x line period
  uint32_t gain_code = 0;   // 0.1 dB per step
  uint32_t black_level = 60;
  double temperature_c = 25;
  uint32_t frame_index = 0;  // drives the temporal noise
  uint32_t seed = 0;         // per camera: fixed pattern and defects
};

// The 12-bit sample at upright image column x, row y.
uint16_t SceneSample(const SensorModel& model, const ExposureState& state, int x, int y);

// The sample the sensor delivers for a window position (binned modes mean
// or skip samples); 0 outside the sensor.
uint16_t ReadoutSample(const SensorModel& model, const FrameGeometry& g, const ExposureState& state, int wx,
                       int wy);

// Fills `out` (g.byte_count() bytes): 16-bit samples right-aligned and
// little-endian, 8-bit samples as the upper 8 of the 12 bits; dummy samples 0.
void RenderFrame(const SensorModel& model, const FrameGeometry& g, const ExposureState& state, uint8_t* out);

}  // namespace morvex::emulator
