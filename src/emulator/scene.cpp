#include "emulator/scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace morvex::emulator {
namespace {

uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

uint32_t PixelHash(uint32_t seed, int x, int y, uint32_t salt) {
  return Mix(seed ^ Mix(static_cast<uint32_t>(x) * 0x9E3779B1u ^ Mix(static_cast<uint32_t>(y) + salt)));
}

double Unit(uint32_t h) { return (h >> 8) * (1.0 / 16777216.0); }

// Roughly normal with unit variance (sum of three uniforms).
double Gaussian(uint32_t h) {
  double s = Unit(h) + Unit(Mix(h + 1)) + Unit(Mix(h + 2));
  return (s - 1.5) * 2.0;
}

// A warm scene: a cool sky gradient, two bright bodies and a lit strip,
// drifting slowly as if the camera were hand-held.
double Radiance(const SensorModel& model, double t, int x, int y) {
  const double u = static_cast<double>(x) / model.max_width;
  const double v = static_cast<double>(y) / model.max_height;
  const double du = 0.02 * std::sin(0.31 * t);
  const double dv = 0.015 * std::cos(0.23 * t);
  double r = 0.18 + 0.30 * v;
  const double bodies[3][4] = {{0.30, 0.40, 0.012, 0.55}, {0.70, 0.60, 0.030, 0.35}, {0.55, 0.25, 0.004, 0.60}};
  for (const auto& b : bodies) {
    const double a = u - b[0] - du, c = v - b[1] - dv;
    r += b[3] / (1.0 + (a * a + c * c) / b[2]);
  }
  if (v > 0.78 && v < 0.82) r += 0.15 * (0.5 + 0.5 * std::sin(60.0 * (u + du)));
  return r;
}

}  // namespace

uint16_t SceneSample(const SensorModel& model, const ExposureState& s, int x, int y) {
  if (s.scene == Scene::kRamp) return static_cast<uint16_t>((x + 4 * y) % 4096);

  const uint32_t fixed = PixelHash(s.seed, x, y, 0x51ED);
  const double gain = std::pow(10.0, s.gain_code * 0.1 / 20.0);
  // Dark signal doubles every 7 degrees; a few pixels leak far more.
  double dark_rate = 150.0 * std::pow(2.0, (s.temperature_c - 25.0) / 7.0);  // DN per second
  const uint32_t defect = fixed % 4096;
  if (defect == 7 || defect == 1999) dark_rate *= 2000.0;  // hot pixel
  const bool dead = defect == 3000;
  const double response = 1.0 + 0.04 * (Unit(Mix(fixed)) - 0.5);  // photo-response non-uniformity
  const double offset = 6.0 * (Unit(Mix(fixed + 7)) - 0.5);        // dark-signal non-uniformity
  double signal = dead ? 0.0 : Radiance(model, s.time_s, x, y) * 300.0 * s.exposure_ms * response;
  signal += dark_rate * s.exposure_ms / 1000.0;
  signal *= gain;
  const double noise_sigma = std::sqrt(2.0 * 2.0 + 0.25 * signal);
  const double noise = noise_sigma * Gaussian(PixelHash(s.seed ^ s.frame_index * 0x2545F491u, x, y, 0xA5A5));
  const double value = s.black_level + offset + signal + noise;
  return static_cast<uint16_t>(std::clamp(value, 0.0, 4095.0));
}

uint16_t ReadoutSample(const SensorModel& model, const FrameGeometry& g, const ExposureState& s, int wx,
                       int wy) {
  auto at = [&](int xs, int ys) -> uint32_t {
    if (xs < 0 || ys < 0 || xs >= model.max_width || ys >= model.max_height) return 0;
    // The uncooled cameras' sensor is turned by 180 degrees.
    if (model.rotated()) {
      xs = model.max_width - 1 - xs;
      ys = model.max_height - 1 - ys;
    }
    return SceneSample(model, s, xs, ys);
  };
  switch (g.mode) {
    case ReadoutMode::kBinning: {
      const int x = 2 * wx, y = 2 * wy;
      return static_cast<uint16_t>((at(x, y) + at(x + 1, y) + at(x, y + 1) + at(x + 1, y + 1)) / 4);
    }
    case ReadoutMode::kReduced:
      return static_cast<uint16_t>(at(2 * wx, 2 * wy));
    case ReadoutMode::kWindow:
    default:
      return static_cast<uint16_t>(at(g.first_column + wx, g.first_line + wy));
  }
}

void RenderFrame(const SensorModel& model, const FrameGeometry& g, const ExposureState& s, uint8_t* out) {
  const size_t line_bytes = static_cast<size_t>(g.line_bytes);
  for (int j = 0; j < g.lines; ++j) {
    uint8_t* line = out + static_cast<size_t>(j) * line_bytes;
    std::memset(line, 0, line_bytes);
    for (int i = 0; i < g.samples_per_line; ++i) {
      int wx, wy;
      if (!WindowPosition(g, i, j, &wx, &wy)) continue;
      const uint16_t v = ReadoutSample(model, g, s, wx, wy);
      if (g.bytes_per_sample == 2) {
        line[2 * i] = static_cast<uint8_t>(v);
        line[2 * i + 1] = static_cast<uint8_t>(v >> 8);
      } else {
        line[i] = static_cast<uint8_t>(v >> 4);
      }
    }
  }
}

}  // namespace morvex::emulator
