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

// Roughly normal with unit variance: the sum of three 10-bit uniforms taken
// from one hash.
float Gaussian(uint32_t h) {
  const uint32_t sum = (h & 0x3FF) + ((h >> 10) & 0x3FF) + ((h >> 20) & 0x3FF);
  return (static_cast<float>(static_cast<int32_t>(sum)) * (1.0f / 1024.0f) - 1.5f) * 2.0f;
}

// A warm scene: a cool sky gradient, two bright bodies and a lit strip,
// drifting slowly as if the camera were hand-held.
struct Body {
  float u, v, spread, brightness;
};
constexpr Body kBodies[3] = {
    {0.30f, 0.40f, 0.012f, 0.55f}, {0.70f, 0.60f, 0.030f, 0.35f}, {0.55f, 0.25f, 0.004f, 0.60f}};

// What stays the same for every pixel of a frame, worked out once per frame:
// rendering is done on the camera's timing thread, at up to some 260 frames
// a second.
struct SceneFrame {
  SceneFrame(const SensorModel& model, const ExposureState& s)
      : state(s),
        inverse_width(1.0f / static_cast<float>(model.max_width)),
        inverse_height(1.0f / static_cast<float>(model.max_height)),
        du(static_cast<float>(0.02 * std::sin(0.31 * s.time_s))),
        dv(static_cast<float>(0.015 * std::cos(0.23 * s.time_s))),
        gain(static_cast<float>(std::pow(10.0, s.gain_code * 0.1 / 20.0))),
        // Dark signal doubles every 7 degrees (DN per second).
        dark(static_cast<float>(150.0 * std::pow(2.0, (s.temperature_c - 25.0) / 7.0) * s.exposure_ms /
                                1000.0)),
        light(static_cast<float>(300.0 * s.exposure_ms)),
        black_level(static_cast<float>(s.black_level)),
        fixed_seed(Mix(s.seed ^ 0x51EDu)),
        noise_seed(Mix(s.seed ^ s.frame_index * 0x2545F491u)) {
    if (s.scene == Scene::kNatural) FillRadianceGrid(model);
  }

  // The radiance is smooth: it is worked out on a grid of 64 x 64 cells over
  // the sensor once per frame and interpolated in between.
  static constexpr int kCells = 64;
  static constexpr int kPoints = kCells + 1;
  static constexpr int kMaxRow = 4096;  // the widest sensor row

  float ExactRadiance(int x, int y) const {
    const float u = static_cast<float>(x) * inverse_width, v = static_cast<float>(y) * inverse_height;
    float r = 0.18f + 0.30f * v;
    for (const Body& b : kBodies) {
      const float a = u - b.u - du, c = v - b.v - dv;
      r += b.brightness / (1.0f + (a * a + c * c) / b.spread);
    }
    if (v > 0.78f && v < 0.82f) r += 0.15f * (0.5f + 0.5f * std::sin(60.0f * (u + du)));
    return r;
  }

  void FillRadianceGrid(const SensorModel& model) {
    cells_per_column = static_cast<float>(kCells) / static_cast<float>(model.max_width);
    cells_per_row = static_cast<float>(kCells) / static_cast<float>(model.max_height);
    for (int row = 0; row < kPoints; ++row) {
      const int y = row * model.max_height / kCells;
      for (int column = 0; column < kPoints; ++column)
        radiance[row][column] = ExactRadiance(column * model.max_width / kCells, y);
    }
  }

  // The grid interpolated to row y, at the 65 grid columns.
  void RadianceAcross(int y, float* points) const {
    const float cy = static_cast<float>(y) * cells_per_row;
    const int row = std::min(static_cast<int>(cy), kCells - 1);
    const float fy = cy - static_cast<float>(row);
    for (int column = 0; column < kPoints; ++column)
      points[column] = radiance[row][column] + (radiance[row + 1][column] - radiance[row][column]) * fy;
  }

  float RadianceAt(const float* points, int x) const {
    const float cx = static_cast<float>(x) * cells_per_column;
    const int column = std::min(static_cast<int>(cx), kCells - 1);
    const float fx = cx - static_cast<float>(column);
    return points[column] + (points[column + 1] - points[column]) * fx;
  }

  // One sample of the natural scene from its radiance: fixed pattern,
  // defects, dark signal, gain and noise. Straight-line code, so that the
  // row loop below vectorises.
  uint16_t NaturalSample(uint32_t site, float radiance_here) const {
    const uint32_t fixed = Mix(fixed_seed + site * 0x9E3779B1u);
    // A few pixels leak far more dark signal; some give nothing at all.
    const uint32_t defect = fixed & 0xFFF;
    const int32_t hot = static_cast<int32_t>(defect == 7) | static_cast<int32_t>(defect == 1999);
    const float dark_signal = dark * (1.0f + 1999.0f * static_cast<float>(hot));
    const float lit =
        light * static_cast<float>(static_cast<int32_t>(defect != 3000));  // a dead pixel sees no light
    // Photo-response and dark-signal non-uniformity, 12 bits of one hash each.
    const uint32_t pattern = Mix(fixed);
    const float response =
        1.0f + 0.04f * (static_cast<float>(static_cast<int32_t>(pattern & 0xFFF)) * (1.0f / 4096.0f) - 0.5f);
    const float offset =
        6.0f * (static_cast<float>(static_cast<int32_t>(pattern >> 20)) * (1.0f / 4096.0f) - 0.5f);
    const float signal = (radiance_here * lit * response + dark_signal) * gain;
    const float noise_sigma = std::sqrt(4.0f + 0.25f * signal);
    const float noise = noise_sigma * Gaussian(Mix(noise_seed + site * 0x85EBCA77u));
    const float value = black_level + offset + signal + noise;
    const float clamped = value < 0.0f ? 0.0f : (value > 4095.0f ? 4095.0f : value);
    return static_cast<uint16_t>(static_cast<int32_t>(clamped));
  }

  // Samples 0 .. width - 1 of sensor row y.
  void SampleRow(int y, int width, uint16_t* out) const {
    if (state.scene == Scene::kRamp) {
      for (int x = 0; x < width; ++x) out[x] = static_cast<uint16_t>((x + 4 * y) & 4095);
      return;
    }
    float points[kPoints];
    RadianceAcross(y, points);
    float radiance_row[kMaxRow];
    for (int x = 0; x < width; ++x) radiance_row[x] = RadianceAt(points, x);
    const uint32_t row_site = static_cast<uint32_t>(y) * 8192u;
    for (int x = 0; x < width; ++x)
      out[x] = NaturalSample(row_site + static_cast<uint32_t>(x), radiance_row[x]);
  }

  const ExposureState& state;
  float inverse_width, inverse_height, du, dv, gain, dark, light, black_level;
  uint32_t fixed_seed, noise_seed;
  float cells_per_column = 0, cells_per_row = 0;
  float radiance[kPoints][kPoints];
};

}  // namespace

void RenderFrame(const SensorModel& model, const FrameGeometry& g, const ExposureState& s, uint8_t* out) {
  const SceneFrame frame(model, s);
  const int width = std::min(model.max_width, SceneFrame::kMaxRow);
  const int height = model.max_height;
  // Row buffers carry one zero past the sensor's width: dummy samples and
  // columns outside the sensor read it, so the sample loop has no branches.
  static constexpr uint16_t kZeroRow[SceneFrame::kMaxRow + 1] = {};
  uint16_t rows[2][SceneFrame::kMaxRow + 1];
  const uint16_t* row_of[2] = {kZeroRow, kZeroRow};
  const auto load = [&](int slot, int ys) {
    if (ys < 0 || ys >= height) {
      row_of[slot] = kZeroRow;
      return;
    }
    // The uncooled cameras' sensor is turned by 180 degrees.
    frame.SampleRow(model.rotated() ? height - 1 - ys : ys, width, rows[slot]);
    rows[slot][width] = 0;
    row_of[slot] = rows[slot];
  };
  // Which row-buffer entries each delivered sample takes is the same on
  // every line: worked out once per frame.
  const int samples = std::clamp(g.samples_per_line, 0, kMaxFpgaLineBytes);
  uint16_t first[kMaxFpgaLineBytes], second[kMaxFpgaLineBytes];
  const auto entry = [&](int xs) -> uint16_t {
    if (xs < 0 || xs >= width) return static_cast<uint16_t>(width);
    return static_cast<uint16_t>(model.rotated() ? width - 1 - xs : xs);
  };
  for (int i = 0; i < samples; ++i) {
    int wx;
    first[i] = second[i] = static_cast<uint16_t>(width);
    if (!WindowColumn(g, i, &wx)) continue;
    switch (g.mode) {
      case ReadoutMode::kBinning:
        first[i] = entry(2 * wx);
        second[i] = entry(2 * wx + 1);
        break;
      case ReadoutMode::kReduced:
        first[i] = entry(2 * wx);
        break;
      case ReadoutMode::kWindow:
      default:
        first[i] = entry(g.first_column + wx);
        break;
    }
  }
  const size_t line_bytes = static_cast<size_t>(g.line_bytes);
  const size_t sample_bytes = static_cast<size_t>(samples) * (g.bytes_per_sample == 2 ? 2 : 1);
  for (int j = 0; j < g.lines; ++j) {
    uint8_t* line = out + static_cast<size_t>(j) * line_bytes;
    int wy;
    if (!WindowLine(g, j, &wy)) {
      std::memset(line, 0, line_bytes);
      continue;
    }
    if (sample_bytes < line_bytes) std::memset(line + sample_bytes, 0, line_bytes - sample_bytes);
    switch (g.mode) {
      case ReadoutMode::kBinning:
        load(0, 2 * wy);
        load(1, 2 * wy + 1);
        break;
      case ReadoutMode::kReduced:
        load(0, 2 * wy);
        break;
      case ReadoutMode::kWindow:
      default:
        load(0, g.first_line + wy);
        break;
    }
    const uint16_t* r0 = row_of[0];
    const uint16_t* r1 = row_of[1];
    const bool binning = g.mode == ReadoutMode::kBinning;
    if (g.bytes_per_sample == 2) {
      for (int i = 0; i < samples; ++i) {
        const uint32_t v =
            binning ? (r0[first[i]] + r0[second[i]] + r1[first[i]] + r1[second[i]]) / 4u : r0[first[i]];
        line[2 * i] = static_cast<uint8_t>(v);
        line[2 * i + 1] = static_cast<uint8_t>(v >> 8);
      }
    } else if (binning) {
      for (int i = 0; i < samples; ++i)
        line[i] =
            static_cast<uint8_t>(((r0[first[i]] + r0[second[i]] + r1[first[i]] + r1[second[i]]) / 4u) >> 4);
    } else {
      for (int i = 0; i < samples; ++i) line[i] = static_cast<uint8_t>(r0[first[i]] >> 4);
    }
  }
}

}  // namespace morvex::emulator
