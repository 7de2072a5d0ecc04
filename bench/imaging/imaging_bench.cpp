// Run single-core: taskset -c 0 ./imaging_bench
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "imaging/cpu_info.h"
#include "imaging/demosaic.h"
#include "imaging/frame_pipeline.h"

// Every heap allocation of the process is counted.
namespace {
std::atomic<uint64_t> g_allocations{0};
}
void* operator new(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace morvex::imaging {
namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 512;

// A sensor-like scene: smooth gradients, noise and a few hot pixels.
void FillScene(CDibImage& raw, uint32_t maximum) {
  std::mt19937 rng(7);
  // Temporal noise of about 0.1 % of full scale, as on a cooled sensor.
  std::normal_distribution<double> noise(0.0, maximum / 1000.0);
  for (int32_t y = 0; y < raw.height(); ++y) {
    for (int32_t x = 0; x < raw.width(); ++x) {
      double v = maximum * (0.25 + 0.5 * x / raw.width()) * (0.6 + 0.4 * y / raw.height()) + noise(rng);
      if (rng() % 5000 == 0) v = maximum;
      const auto s = static_cast<uint32_t>(std::clamp(v, 0.0, static_cast<double>(maximum)));
      if (raw.bits_per_pixel() == 16) {
        reinterpret_cast<uint16_t*>(raw.row(y))[x] = static_cast<uint16_t>(s);
      } else {
        raw.row(y)[x] = static_cast<uint8_t>(s);
      }
    }
  }
}

void SetFrameCounters(benchmark::State& state, uint64_t allocations_before) {
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(g_allocations.load() - allocations_before) /
                         static_cast<double>(state.iterations()));
  state.counters["Mpix/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kWidth * kHeight / 1e6, benchmark::Counter::kIsRate);
}

// One demosaic routine over a 640 × 512 scene of 8- or 16-bit raw samples
// (12 bits used); null: not on this processor.
void DemosaicRoutine(benchmark::State& state, ImageOperation op, uint16_t raw_bits, uint16_t out_bits) {
  if (op == nullptr) {
    state.SkipWithError("routine not available on this processor");
    return;
  }
  CDibImage raw, out;
  raw.Create(kWidth, kHeight, raw_bits);
  out.Create(kWidth, kHeight, out_bits);
  FillScene(raw, raw_bits == 8 ? 255 : 4095);
  BayerGains gains{120, 100, 140};
  const uint64_t before = g_allocations.load();
  for (auto _ : state) {
    out.Apply(op, raw, nullptr, 0, 0, 0, &gains);
    benchmark::DoNotOptimize(out.pixels());
  }
  SetFrameCounters(state, before);
}

void Demosaic8Interior(benchmark::State& state, ImageOperation op) { DemosaicRoutine(state, op, 8, 24); }

void BM_Demosaic8_Scalar(benchmark::State& s) { Demosaic8Interior(s, &Demosaic8Scalar); }
void BM_Demosaic8_Sse2(benchmark::State& s) {
  Demosaic8Interior(s, (GetCpuInfo().usable & kCpuSse2) ? Demosaic8Sse2Routine() : nullptr);
}
void BM_Demosaic8_Ssse3(benchmark::State& s) {
  Demosaic8Interior(s, (GetCpuInfo().usable & kCpuSsse3) ? Demosaic8Ssse3Routine() : nullptr);
}
void BM_Demosaic8_Avx2(benchmark::State& s) {
  Demosaic8Interior(s, (GetCpuInfo().usable & kCpuAvx2) ? Demosaic8Avx2Routine() : nullptr);
}
BENCHMARK(BM_Demosaic8_Scalar)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Demosaic8_Sse2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Demosaic8_Ssse3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Demosaic8_Avx2)->Unit(benchmark::kMicrosecond);

// Interior routine chosen as the pipeline does, plus the border.
void BM_Demosaic8_Full(benchmark::State& state) {
  CDibImage raw, out;
  raw.Create(kWidth, kHeight, 8);
  out.Create(kWidth, kHeight, 24);
  FillScene(raw, 255);
  const uint64_t before = g_allocations.load();
  for (auto _ : state) {
    Demosaic(out, raw, 0, BayerGains{120, 100, 140});
    benchmark::DoNotOptimize(out.pixels());
  }
  SetFrameCounters(state, before);
}
BENCHMARK(BM_Demosaic8_Full)->Unit(benchmark::kMicrosecond);

// One 16-bit routine on its own (interior or border) into 48 or 64 bits.
void Demosaic16Routine(benchmark::State& state, ImageOperation op, uint16_t out_bits) {
  DemosaicRoutine(state, op, 16, out_bits);
}

void BM_Demosaic16_Scalar(benchmark::State& s) { Demosaic16Routine(s, &Demosaic16, 48); }
void BM_Demosaic16_Sse2(benchmark::State& s) {
  Demosaic16Routine(s, (GetCpuInfo().usable & kCpuSse2) ? Demosaic16Sse2Routine() : nullptr, 48);
}
void BM_Demosaic16_Avx2(benchmark::State& s) {
  Demosaic16Routine(s, (GetCpuInfo().usable & kCpuAvx2) ? Demosaic16Avx2Routine() : nullptr, 48);
}
void BM_Demosaic16_Border(benchmark::State& s) { Demosaic16Routine(s, &Demosaic16Border, 48); }
BENCHMARK(BM_Demosaic16_Scalar)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Demosaic16_Sse2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Demosaic16_Avx2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Demosaic16_Border)->Unit(benchmark::kMicrosecond);

// Interior routine chosen as the pipeline does, plus the border.
void Demosaic16Full(benchmark::State& state, uint16_t out_bits) {
  CDibImage raw, out;
  raw.Create(kWidth, kHeight, 16);
  out.Create(kWidth, kHeight, out_bits);
  FillScene(raw, 4095);
  const uint64_t before = g_allocations.load();
  for (auto _ : state) {
    Demosaic(out, raw, 0, BayerGains{120, 100, 140});
    benchmark::DoNotOptimize(out.pixels());
  }
  SetFrameCounters(state, before);
}
void BM_Demosaic16_Full(benchmark::State& s) { Demosaic16Full(s, 48); }
void BM_Demosaic16_Full64(benchmark::State& s) { Demosaic16Full(s, 64); }
BENCHMARK(BM_Demosaic16_Full)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Demosaic16_Full64)->Unit(benchmark::kMicrosecond);

void OpenCvBayer(benchmark::State& state, int depth) {
  cv::setNumThreads(1);
  CDibImage raw;
  raw.Create(kWidth, kHeight, depth == CV_8U ? 8 : 16);
  FillScene(raw, depth == CV_8U ? 255 : 4095);
  cv::Mat src(kHeight, kWidth, depth == CV_8U ? CV_8UC1 : CV_16UC1, raw.pixels(), raw.stride());
  cv::Mat dst(kHeight, kWidth, depth == CV_8U ? CV_8UC3 : CV_16UC3);
  for (auto _ : state) {
    cv::cvtColor(src, dst, cv::COLOR_BayerBG2BGR);
    benchmark::DoNotOptimize(dst.data);
  }
  state.counters["Mpix/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kWidth * kHeight / 1e6, benchmark::Counter::kIsRate);
}
void BM_OpenCv_Bayer8(benchmark::State& s) { OpenCvBayer(s, CV_8U); }
void BM_OpenCv_Bayer16(benchmark::State& s) { OpenCvBayer(s, CV_16U); }
BENCHMARK(BM_OpenCv_Bayer8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenCv_Bayer16)->Unit(benchmark::kMicrosecond);

// The whole grey pipeline with every grey step on.
void GreyPipeline(benchmark::State& state, int32_t colour_mode) {
  const bool wide = colour_mode == 1;
  CDibImage raw, frame, work;
  raw.Create(kWidth, kHeight, wide ? 16 : 8);
  frame.Create(kWidth, kHeight, wide ? 16 : 8);
  FillScene(frame, wide ? 4095 : 255);
  MaskData mask;
  auto& dark = mask.reference(wide ? 16 : 8, MaskKind::kDark);
  auto& white = mask.reference(wide ? 16 : 8, MaskKind::kWhite);
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      if (wide) {
        reinterpret_cast<uint16_t*>(dark.row(y))[x] = static_cast<uint16_t>(90 + (x + y) % 20);
        reinterpret_cast<uint16_t*>(white.row(y))[x] = static_cast<uint16_t>(3900 + (x * y) % 150);
      } else {
        dark.row(y)[x] = static_cast<uint8_t>(6 + (x + y) % 4);
        white.row(y)[x] = static_cast<uint8_t>(240 + (x * y) % 10);
      }
    }
  }
  mask.RebuildAllMaps();
  // The sensor sees the scene through its own dark level and pixel gain,
  // which the references describe.
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      if (wide) {
        auto* p = reinterpret_cast<uint16_t*>(frame.row(y)) + x;
        const int32_t d = reinterpret_cast<uint16_t*>(dark.row(y))[x];
        const int32_t w = reinterpret_cast<uint16_t*>(white.row(y))[x];
        *p = static_cast<uint16_t>(d + *p * (w - d) / 4095);
      } else {
        uint8_t* p = frame.row(y) + x;
        const int32_t d = dark.row(y)[x], w = white.row(y)[x];
        *p = static_cast<uint8_t>(d + *p * (w - d) / 255);
      }
    }
  }
  FrameImages images;
  (wide ? images.raw16 : images.raw8) = &raw;
  images.work = &work;
  FrameSettings settings;
  settings.colour_mode = colour_mode;
  settings.mask_filter = true;
  settings.dot_filter = true;
  settings.grey_mode = 1;
  settings.grey = GreyGains{{120, 128, 130, 140}, {2, 0, 0, -3}};
  settings.gamma = 80;
  settings.contrast = 10;
  settings.sharpness = 5;
  settings.brightness = 20;
  FramePipeline pipeline;
  FrameHost host;
  // One warm-up frame builds the tables and sizes the buffers.
  std::memcpy(raw.pixels(), frame.pixels(), raw.size_bytes());
  pipeline.Run(images, settings, &mask, host);
  const uint64_t before = g_allocations.load();
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(raw.pixels(), frame.pixels(), raw.size_bytes());  // a new frame arrives
    state.ResumeTiming();
    pipeline.Run(images, settings, &mask, host);
    benchmark::DoNotOptimize(raw.pixels());
  }
  SetFrameCounters(state, before);
}
void BM_GreyPipeline8(benchmark::State& s) { GreyPipeline(s, 0); }
void BM_GreyPipeline16(benchmark::State& s) { GreyPipeline(s, 1); }
BENCHMARK(BM_GreyPipeline8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GreyPipeline16)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace morvex::imaging

BENCHMARK_MAIN();
