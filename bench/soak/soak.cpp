// Long-run soak through the exports against the emulator: callback preview at
// the fastest frame period, a snapshot copy every second, property changes
// every 5 s, a still image every 10 s and a 3 s AVI recording every minute.
// Every 10 s it samples the process's memory (resident set natively, private
// bytes on Windows), handles (open descriptors natively; -1 where the system
// counts none) and threads into a CSV, and at the end prints the first, last and largest of each.
// Usage: morvex_soak [--minutes N] [--out file.csv]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MorvexSdk.h"
#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "platform/file.h"
#include "platform/process_census.h"
#include "platform/settings_store.h"
#include "platform/window_messages.h"

#ifdef MORVEX_WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

using namespace morvex;
using Clock = std::chrono::steady_clock;

struct Sample {
  double seconds;
  long memory_kb;
  int handles;
  int threads;
  long frames;
};

void Measure(Sample* s) {
  const platform::ProcessCensus census = platform::TakeProcessCensus();
  s->memory_kb = static_cast<long>(census.memory_kb);
  s->handles = census.handles;
  s->threads = census.threads;
}
#ifdef MORVEX_WIN32
std::string TempFile(const char* suffix) {
  char directory[MAX_PATH];
  GetTempPathA(MAX_PATH, directory);
  return std::string(directory) + "morvex-soak-" + std::to_string(GetCurrentProcessId()) + suffix;
}
#else
std::string TempFile(const char* suffix) { return "/tmp/morvex-soak-" + std::to_string(getpid()) + suffix; }
#endif

std::mutex g_lock;
long g_frames = 0, g_errors = 0;
void* const kCallback = reinterpret_cast<void*>(0xCA11);

// Waits until the library has finalised the file (its RIFF size is filled in).
bool Finalised(const std::string& path) {
  for (int i = 0; i < 200; ++i) {
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      uint8_t head[8] = {};
      const size_t got = std::fread(head, 1, sizeof head, f);
      std::fseek(f, 0, SEEK_END);
      const long size = std::ftell(f);
      std::fclose(f);
      const uint32_t riff = static_cast<uint32_t>(head[4] | head[5] << 8 | head[6] << 16 | head[7] << 24);
      if (got == 8 && size > 224 && riff == static_cast<uint32_t>(size - 8)) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  double minutes = 30;
  std::string out = "soak.csv";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--minutes") == 0)
      minutes = std::atof(argv[i + 1]);
    else if (std::strcmp(argv[i], "--out") == 0)
      out = argv[i + 1];
  }
  FILE* csv = std::fopen(out.c_str(), "w");
  if (csv == nullptr) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    return 1;
  }
  std::fprintf(csv, "seconds,memory_kb,handles,threads,frames\n");

  const std::string settings_key = "Software\\Quisto\\MorvexSoak";
  emulator::EmulatorPort port;
  emulator::EmulatedCameraOptions options;
  options.fpga_version = 0xC125;  // bit 14: the fast line timing
  port.AddCamera(options);
  CMorvex::Environment environment;
  environment.make_device = [&port]() -> std::unique_ptr<CMorvexZ3U2Base> {
    return std::make_unique<CMorvexUSB3T2SimpleSdk>(port, platform::SystemClock(), "MorvexSoak");
  };
  environment.register_notices = [](platform::WindowHandle, const platform::Guid&) { return true; };
  environment.settings_key = settings_key;
  CMorvex::SetDefaultEnvironment(environment);
  platform::SetPostedMessageSink([](platform::WindowHandle window, uint32_t message, uintptr_t w, intptr_t) {
    if (window != kCallback || message != MORVEX_WM_FRAME) return;
    std::lock_guard<std::mutex> lock(g_lock);
    ++(w != 0 ? g_frames : g_errors);
  });

  const int camera = Morvex_Initialize(nullptr);
  if (camera == 0 || Morvex_SetWaitTime(camera, 0) != 1) {
    std::fprintf(stderr, "cannot open the emulated camera\n");
    return 1;
  }
  Morvex_SetRealExposureTime(camera, 100);  // the shortest: the frame period alone sets the rate
  std::vector<uint8_t> buffer(640 * 512 * 3), copy(buffer.size());
  const auto preview = [&] {
    return Morvex_CallBackPreview(camera, kCallback, buffer.data(), static_cast<int>(buffer.size()), 1);
  };
  if (preview() != 1) {
    std::fprintf(stderr, "cannot start the preview\n");
    return 1;
  }

  const std::string avi = TempFile(".avi"), still = TempFile(".bmp");
  std::vector<Sample> samples;
  long recordings = 0, failures = 0;
  const auto start = Clock::now();
  const auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  for (long second = 0;; ++second) {
    std::this_thread::sleep_until(start + std::chrono::seconds(second));
    if (second % 10 == 0 || second >= minutes * 60) {
      Sample s{elapsed(), 0, 0, 0, 0};
      Measure(&s);
      {
        std::lock_guard<std::mutex> lock(g_lock);
        s.frames = g_frames;
      }
      samples.push_back(s);
      std::fprintf(csv, "%.1f,%ld,%d,%d,%ld\n", s.seconds, s.memory_kb, s.handles, s.threads, s.frames);
      std::fflush(csv);
    }
    if (second >= minutes * 60) break;
    failures += Morvex_GetImage(camera, copy.data(), static_cast<int>(copy.size()), second & 1) != 1;
    if (second % 5 == 2) {
      Morvex_SetGlobalGain(camera, static_cast<int>(second * 7 % 421));
      Morvex_SetGamma(camera, static_cast<int>(50 + second % 100));
      Morvex_SetBrightness(camera, static_cast<int>(second % 64) - 32);
      Morvex_SetMirrorH(camera, static_cast<int>(second / 5 % 2));
    }
    if (second % 10 == 5) {
      failures += Morvex_SaveImage(camera, still.c_str(), MORVEX_IMAGE_BMP) != 1;
      platform::DeleteFileAt(still);
    }
    if (second % 60 == 30) {
      Morvex_StopPreview(camera);
      const bool recorded = Morvex_Record(camera, avi.c_str(), 3000, 0) == 1 && Finalised(avi);
      recordings += recorded;
      failures += !recorded;
      Morvex_StopPreview(camera);
      platform::DeleteFileAt(avi);
      failures += preview() != 1;
    }
  }
  Morvex_StopPreview(camera);
  Morvex_Release(camera);
  platform::SetPostedMessageSink({});
  CMorvex::SetDefaultEnvironment({});
  platform::SettingsKey::DeleteTree(settings_key);
  std::fclose(csv);

  const Sample& first = samples.front();
  const Sample& last = samples.back();
  Sample most = first;
  for (const Sample& s : samples) {
    if (s.memory_kb > most.memory_kb) most.memory_kb = s.memory_kb;
    if (s.handles > most.handles) most.handles = s.handles;
    if (s.threads > most.threads) most.threads = s.threads;
  }
  std::printf("%.1f min, %zu samples in %s\n", last.seconds / 60, samples.size(), out.c_str());
  std::printf("memory kB   start %ld  end %ld  max %ld\n", first.memory_kb, last.memory_kb, most.memory_kb);
  std::printf("handles     start %d  end %d  max %d\n", first.handles, last.handles, most.handles);
  std::printf("threads     start %d  end %d  max %d\n", first.threads, last.threads, most.threads);
  std::printf("frames %ld (%.1f fps), recordings %ld, failed calls %ld, error posts %ld\n", last.frames,
              last.frames / (last.seconds > 0 ? last.seconds : 1), recordings, failures, g_errors);
  return failures == 0 && g_errors == 0 ? 0 : 1;
}
