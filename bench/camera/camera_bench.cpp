// CallBackPreview on an emulated IMX991 with the fast line timing (FPGA
// bit 14) and the shortest exposure, ramp scene. Arguments: bits 8 or 16,
// full 0 (default processing) or 1 (mask, dot filter, grey gains, gamma,
// contrast, sharpness, brightness), wait the wait time in ms. Reports:
//   fps              MORVEX_WM_FRAME notifications per second
//   delivered        notifications / frames the emulated sensor finished
//   delivered_ring   notifications / frames that entered the device ring
//   latency_med_us   frame in the ring → notification posted, median
//   latency_p99_us   the same, 99th percentile
//   cpu_us           CPU time of frame thread + worker per notification
//   worker_allocs    heap allocations on the worker per notification
// The emulator renders on its own timing thread, which is not counted.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "allocation_count.h"
#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "platform/process_census.h"
#include "platform/settings_store.h"
#include "platform/window_messages.h"

namespace {

using namespace morvex;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Notes the frame thread and, at each copy, when the frame it takes
// entered the ring.
class WatchedDevice : public CMorvexUSB3T2SimpleSdk {
 public:
  using CMorvexUSB3T2SimpleSdk::CMorvexUSB3T2SimpleSdk;
  int32_t StreamLoop() override {
    frame_tid.store(platform::CurrentSystemThreadId());
    return CMorvexUSB3T2SimpleSdk::StreamLoop();
  }
  int32_t CopyFrame(uint8_t* destination, uint32_t capacity, int32_t* counter, uint32_t* w28, uint32_t* w32,
                    uint32_t* w40, uint32_t* w44, int32_t choice, int32_t vertical) override {
    taken_delivered_ns.store(newest_delivered_ns());
    return CMorvexUSB3T2SimpleSdk::CopyFrame(destination, capacity, counter, w28, w32, w40, w44, choice,
                                             vertical);
  }
  std::atomic<uint64_t> frame_tid{0};
  std::atomic<int64_t> taken_delivered_ns{0};
};

struct Observer {
  static constexpr size_t kMaxSamples = 1 << 16;
  std::vector<int64_t> latency_ns = std::vector<int64_t>(kMaxSamples);
  std::atomic<size_t> samples{0};
  std::atomic<uint64_t> frames{0};
  std::atomic<uint64_t> errors{0};
  std::atomic<uint64_t> worker_tid{0};
  std::atomic<bool> measuring{false};
};

void BM_CallBackPreview(benchmark::State& state) {
  const int32_t bits = static_cast<int32_t>(state.range(0));
  const bool full = state.range(1) != 0;
  const int32_t wait = static_cast<int32_t>(state.range(2));

  const std::string store = "/tmp/morvex-camera-bench-" + std::to_string(getpid()) + ".reg";
  platform::SetSettingsStoreFile(store);
  emulator::EmulatorPort port;
  emulator::EmulatedCameraOptions options;
  options.product_id = 0x3290;
  options.fpga_version = 0xC125;  // bit 14: the fast line timing
  options.scene = emulator::Scene::kRamp;
  emulator::EmulatedCamera& emulated = port.AddCamera(options);
  WatchedDevice* device = nullptr;
  CMorvex::Environment environment;
  environment.make_device = [&]() -> std::unique_ptr<CMorvexZ3U2Base> {
    auto made = std::make_unique<WatchedDevice>(port, platform::SystemClock(), "MorvexCameraBench");
    device = made.get();
    return made;
  };
  environment.register_notices = [](platform::WindowHandle, const platform::Guid&) { return true; };
  environment.settings_key = "Software\\Quisto\\MorvexCameraBench";
  auto camera = std::make_unique<CMorvex>(platform::SystemClock(), environment);
  if (camera->Initialize(nullptr) != 1 || camera->selected_device() != 0) {
    state.SkipWithError("cannot open the emulated camera");
    return;
  }
  CameraInfoRecord info{};
  info.size = sizeof info;
  camera->GetCameraInfo(&info);
  // The shortest exposure, so the frame length and not the exposure sets the period.
  camera->SetFilterValue(18, info.min_exposure);
  camera->SetExposureTimeEx(info.min_exposure_time);
  state.counters["min_exposure"] = info.min_exposure;
  camera->SetColorMode(bits);
  camera->SetWaitTime(wait);
  if (full) {
    const int32_t values[][2] = {{103, 1},  {102, 1}, {19, 1}, {20, 140}, {21, 140}, {22, 140},
                                 {23, 140}, {11, 80}, {2, 20}, {5, 10},   {1, 20}};
    for (const auto& v : values) camera->SetFilterValue(v[0], v[1]);
  }

  Observer observer;
  const auto window = reinterpret_cast<platform::WindowHandle>(0xB0B0);
  platform::SetPostedMessageSink([&](platform::WindowHandle to, uint32_t message, uintptr_t w, intptr_t) {
    if (to != window || message != kWmFrame) return;
    if (w == 0) {
      observer.errors.fetch_add(1);
      return;
    }
    const int64_t now = NowNs();
    if (observer.worker_tid.load() == 0) observer.worker_tid.store(platform::CurrentSystemThreadId());
    if (!observer.measuring.load()) return;
    observer.frames.fetch_add(1);
    const size_t at = observer.samples.fetch_add(1);
    if (at < Observer::kMaxSamples) observer.latency_ns[at] = now - device->taken_delivered_ns.load();
  });
  std::vector<uint8_t> buffer(static_cast<size_t>(640) * 512 * (bits / 8));

  double seconds = 0, cpu = 0;
  uint64_t produced = 0, ring = 0, allocations = 0;
  for (auto _ : state) {
    if (camera->CallBackPreview(window, buffer.data(), static_cast<int32_t>(buffer.size()), 1) != 1) {
      state.SkipWithError("CallBackPreview failed");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // warm-up
    const uint64_t frame_tid = device->frame_tid.load(), worker_tid = observer.worker_tid.load();
    const double cpu_start = platform::ThreadCpuSeconds(frame_tid) + platform::ThreadCpuSeconds(worker_tid);
    const uint64_t emulated_start = emulated.frame_counter(), ring_start = device->frames_produced();
    const uint64_t allocations_start = bench::WatchedThreadAllocations();
    bench::WatchThread(worker_tid);
    const auto start = std::chrono::steady_clock::now();
    observer.measuring.store(true);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    observer.measuring.store(false);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    bench::WatchThread(0);
    allocations += bench::WatchedThreadAllocations() - allocations_start;
    produced += emulated.frame_counter() - emulated_start;
    ring += device->frames_produced() - ring_start;
    cpu += platform::ThreadCpuSeconds(frame_tid) + platform::ThreadCpuSeconds(worker_tid) - cpu_start;
    camera->StopPreview();
  }
  platform::SetPostedMessageSink({});
  camera.reset();
  platform::SettingsKey::DeleteTree(environment.settings_key);
  platform::SetSettingsStoreFile("");
  std::remove(store.c_str());
  std::remove((store + ".lock").c_str());

  const uint64_t frames = observer.frames.load();
  const double per_frame = frames ? 1.0 / static_cast<double>(frames) : 0;
  std::vector<int64_t> latency(
      observer.latency_ns.begin(),
      observer.latency_ns.begin() +
          static_cast<std::ptrdiff_t>(std::min(observer.samples.load(), Observer::kMaxSamples)));
  std::sort(latency.begin(), latency.end());
  auto percentile = [&](double p) {
    return latency.empty()
               ? 0.0
               : static_cast<double>(latency[static_cast<size_t>(p * (latency.size() - 1))]) / 1000.0;
  };
  state.counters["fps"] = seconds > 0 ? static_cast<double>(frames) / seconds : 0;
  state.counters["period_ms"] = emulated.frame_period_ms();
  state.counters["delivered"] = produced ? static_cast<double>(frames) / static_cast<double>(produced) : 0;
  state.counters["delivered_ring"] = ring ? static_cast<double>(frames) / static_cast<double>(ring) : 0;
  state.counters["latency_med_us"] = percentile(0.5);
  state.counters["latency_p99_us"] = percentile(0.99);
  state.counters["cpu_us"] = cpu * 1e6 * per_frame;
  state.counters["worker_allocs"] = static_cast<double>(allocations) * per_frame;
  state.counters["errors"] = static_cast<double>(observer.errors.load());
}
BENCHMARK(BM_CallBackPreview)
    ->ArgNames({"bits", "full", "wait"})
    ->ArgsProduct({{8, 16}, {0, 1}, {0, 10}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
