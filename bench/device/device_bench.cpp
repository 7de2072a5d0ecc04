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
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"

namespace {

std::atomic<uint64_t> g_allocations{0};
std::atomic<uint64_t> g_thread_allocations{0};
std::atomic<long> g_watched_tid{0};

long CurrentTid() { return static_cast<long>(syscall(SYS_gettid)); }

}  // namespace

void* operator new(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  const long watched = g_watched_tid.load(std::memory_order_relaxed);
  if (watched != 0 && CurrentTid() == watched) g_thread_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

// User plus system time of one thread in seconds.
double ThreadCpuSeconds(long tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Notes the frame thread's id as it enters the stream loop.
class WatchedDevice : public morvex::CMorvexUSB3T2SimpleSdk {
 public:
  using CMorvexUSB3T2SimpleSdk::CMorvexUSB3T2SimpleSdk;
  int32_t StreamLoop() override {
    frame_tid.store(CurrentTid());
    return CMorvexUSB3T2SimpleSdk::StreamLoop();
  }
  std::atomic<long> frame_tid{0};
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
    const long frame_tid = device.frame_tid.load();
    g_watched_tid.store(frame_tid);
    // Reading /proc allocates: done outside the counted stretch.
    const double cpu_start = frame_tid ? ThreadCpuSeconds(frame_tid) : 0;
    const uint64_t produced_start = device.frames_produced();
    const uint64_t allocations_start = g_allocations.load();
    const uint64_t thread_allocations_start = g_thread_allocations.load();
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
    allocations += g_allocations.load() - allocations_start;
    thread_allocations += g_thread_allocations.load() - thread_allocations_start;
    thread_cpu += frame_tid ? ThreadCpuSeconds(frame_tid) - cpu_start : 0;
    g_watched_tid.store(0);
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
