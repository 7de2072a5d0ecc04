// Records 640 x 512 frames of the emulated IMX991 (fast line timing,
// shortest exposure) with wait time 0 into a file in /tmp and prints:
//   recorded/processed  frames written / frames the worker processed
//   record fps          frames written per second
//   disk MB/s           the same file system's rate for plain writes of
//                       frame-sized chunks, for comparison
//   cpu/frame           process CPU per recorded frame, and the part above
//                       preview alone at the same frame rate
// Usage: recording_bench [seconds per run, default 4] [colour bits, default 8]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "platform/file.h"

namespace {

using namespace morvex;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double DiskMegabytesPerSecond(const std::string& path, double seconds) {
  std::vector<uint8_t> chunk(983048, 0x5A);
  platform::File file;
  if (!file.CreateForWrite(path)) return 0;
  const double start = Now();
  uint64_t bytes = 0;
  while (Now() - start < seconds && bytes < (uint64_t{1} << 31) - chunk.size()) {
    if (!file.Write(chunk.data(), static_cast<uint32_t>(chunk.size()))) break;
    bytes += chunk.size();
  }
  const double elapsed = Now() - start;
  file.Close();
  platform::DeleteFileAt(path);
  return static_cast<double>(bytes) / 1e6 / elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
  const int32_t bits = argc > 2 ? std::atoi(argv[2]) : 8;
  const std::string path = "/tmp/morvex-recording-bench-" + std::to_string(getpid()) + ".avi";

  emulator::EmulatorPort port;
  emulator::EmulatedCameraOptions options;
  options.product_id = 0x3290;
  options.fpga_version = 0xC125;  // bit 14: the fast line timing
  options.scene = emulator::Scene::kRamp;
  port.AddCamera(options);
  CMorvex::Environment environment;
  environment.make_device = [&port]() -> std::unique_ptr<CMorvexZ3U2Base> {
    return std::make_unique<CMorvexUSB3T2SimpleSdk>(port, platform::SystemClock(), "MorvexRecordingBench");
  };
  environment.register_notices = [](platform::WindowHandle, const platform::Guid&) { return true; };
  environment.settings_key = "Software\\Quisto\\MorvexRecordingBench";
  CMorvex camera(platform::SystemClock(), environment);
  if (camera.Initialize(nullptr) != 1 || camera.SetWaitTime(0) != 1 || camera.SetColorMode(bits) != 1) {
    std::fprintf(stderr, "cannot open the emulated camera\n");
    return 1;
  }
  camera.SetRealExposureTime(1);  // the shortest the sensor takes

  // Preview alone: the CPU the acquisition costs per second.
  if (camera.StartPreview() != 1) return 1;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  double cpu = CpuSeconds(), start = Now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double preview_cpu_per_s = (CpuSeconds() - cpu) / (Now() - start);
  camera.StopPreview();

  if (camera.Record(path.c_str(), static_cast<int32_t>(seconds * 1000), 0) != 1) {
    std::fprintf(stderr, "cannot record to %s\n", path.c_str());
    return 1;
  }
  cpu = CpuSeconds(), start = Now();
  while (camera.recording()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const double elapsed = Now() - start, record_cpu = CpuSeconds() - cpu;
  camera.StopPreview();
  uint32_t recorded = 0, missed = 0;
  camera.recording_counts(&recorded, &missed);
  platform::DeleteFileAt(path);

  const double disk = DiskMegabytesPerSecond(path, seconds);
  const double fps = recorded / elapsed;
  std::printf("bits %d, %.1f s: recorded %u, processed %u, recorded/processed %.4f\n", bits, elapsed,
              recorded, recorded + missed,
              recorded + missed ? static_cast<double>(recorded) / (recorded + missed) : 0.0);
  std::printf("record fps %.1f (%.1f MB/s to the file); disk alone %.1f MB/s\n", fps, fps * 983048 / 1e6,
              disk);
  std::printf("cpu/frame %.3f ms (process), %.3f ms above preview alone\n", 1000 * record_cpu / recorded,
              1000 * (record_cpu - preview_cpu_per_s * elapsed) / recorded);
  return 0;
}
