// Streams an emulated IMX991 (FPGA with the fast line timing, shortest
// exposure) with a consumer that takes every frame, and reports:
//   fps            frames delivered to the consumer per second
//   delivered      frames taken / frames the frame thread finished
//   thread_us      CPU time of the frame thread per frame (from /proc)
//   allocs         heap allocations per frame, whole process
//   thread_allocs  heap allocations per frame made on the frame thread
// Argument ramp=1 streams the emulator's cheap ramp scene, ramp=0 its
// natural scene (rendered per pixel on the emulator's own timing thread).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "allocation_count.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "platform/process_census.h"

namespace {

// Notes the frame thread's id as it enters the stream loop.
class WatchedDevice : public morvex::CMorvexUSB3T2SimpleSdk {
 public:
  using CMorvexUSB3T2SimpleSdk::CMorvexUSB3T2SimpleSdk;
  int32_t StreamLoop() override {
    frame_tid.store(morvex::platform::CurrentSystemThreadId());
    return CMorvexUSB3T2SimpleSdk::StreamLoop();
  }
  std::atomic<uint64_t> frame_tid{0};
};

void BM_StreamFastestFramePeriod(benchmark::State& state) {
  using namespace morvex;
  emulator::EmulatorPort port;
  emulator::EmulatedCameraOptions options;
  options.product_id = 0x3290;
  options.fpga_version = 0xC125;  // bit 14: the fast line timing
  // The emulator renders frames on its own thread, as the camera's hardware
  // does: the scene's cost stays out of the frame thread's time.
  options.scene = state.range(0) ? emulator::Scene::kRamp : emulator::Scene::kNatural;
  auto& camera = port.AddCamera(options);
  WatchedDevice device(port, platform::SystemClock(), "MorvexDeviceBench");
  device.CreateController();
  device.SetProductId(0x3290);
  if (!device.OpenCamera(0)) {
    state.SkipWithError("cannot open the emulated camera");
    return;
  }
  int32_t shortest = 0;
  device.GetExposureTimeMin(&shortest);
  device.SetExposureTime(shortest);
  std::vector<uint8_t> frame;

  uint64_t taken = 0, produced = 0, allocations = 0, thread_allocations = 0;
  double seconds = 0, thread_cpu = 0;
  for (auto _ : state) {
    device.frame_tid.store(0);
    if (!device.StartStream(0)) {
      state.SkipWithError("cannot start the stream");
      return;
    }
    frame.resize(static_cast<size_t>(device.frame_byte_count()));
    // Warm up, then measure a fixed stretch of streaming.
    for (int i = 0; i < 20; ++i)
      if (device.WaitFrame(3000) == 3) device.GetFrame(frame.data(), 0, 0, 0, 1);
    const uint64_t frame_tid = device.frame_tid.load();
    bench::WatchThread(frame_tid);
    // Reading /proc allocates: done outside the counted stretch.
    const double cpu_start = platform::ThreadCpuSeconds(frame_tid);
    const uint64_t produced_start = device.frames_produced();
    const uint64_t allocations_start = bench::Allocations();
    const uint64_t thread_allocations_start = bench::WatchedThreadAllocations();
    const auto start = std::chrono::steady_clock::now();
    uint64_t run_taken = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
      const int32_t answer = device.WaitFrame(3000);
      if (answer == 1) break;
      if (answer == 3) {
        device.GetFrame(frame.data(), 0, 0, 0, 1);
        ++run_taken;
      }
    }
    const double run_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    allocations += bench::Allocations() - allocations_start;
    thread_allocations += bench::WatchedThreadAllocations() - thread_allocations_start;
    thread_cpu += platform::ThreadCpuSeconds(frame_tid) - cpu_start;
    bench::WatchThread(0);
    produced += device.frames_produced() - produced_start;
    taken += run_taken;
    seconds += run_seconds;
    device.StopStream(1);
  }
  const double frames = static_cast<double>(taken ? taken : 1);
  state.counters["fps"] = static_cast<double>(taken) / seconds;
  state.counters["frame_period_ms"] = camera.frame_period_ms();
  state.counters["delivered"] = produced ? static_cast<double>(taken) / static_cast<double>(produced) : 0;
  state.counters["thread_us"] = thread_cpu * 1e6 / frames;
  state.counters["allocs"] = static_cast<double>(allocations) / frames;
  state.counters["thread_allocs"] = static_cast<double>(thread_allocations) / frames;
}
BENCHMARK(BM_StreamFastestFramePeriod)
    ->ArgName("ramp")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(2)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
