// Faults during acquisition, through the exports against the emulator: the
// camera unplugged and plugged in again in every mode, failed header and
// data reads, a camera that never becomes ready, frames that stop coming,
// a callback window destroyed while frames are posted to it, and Close and
// Release from other threads in every mode. Each ends with its code, leaves
// no thread or handle behind and keeps what was written so far.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "MorvexSdk.h"
#include "avi_probe.h"
#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "platform/clock.h"
#include "platform/window_messages.h"
#include "test_paths.h"

#ifdef MORVEX_WIN32
#include <windows.h>
// After windows.h.
#include <tlhelp32.h>
#else
#include <dirent.h>
#endif

namespace morvex {
namespace {

using Clock = std::chrono::steady_clock;

// --- What the process holds ---------------------------------------------------------------------

struct Census {
  int threads = 0;
  int handles = 0;  // open descriptors natively, kernel handles on Windows
  bool operator==(const Census& o) const { return threads == o.threads && handles == o.handles; }
};

std::ostream& operator<<(std::ostream& out, const Census& c) {
  return out << c.threads << " threads, " << c.handles << " handles";
}

#ifdef MORVEX_WIN32
Census Count() {
  Census c;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    c.threads += entry.th32OwnerProcessID == GetCurrentProcessId();
  CloseHandle(snapshot);
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  c.handles = static_cast<int>(handles);
  return c;
}
#else
int Entries(const char* directory) {
  DIR* dir = opendir(directory);
  if (dir == nullptr) return -1;
  int n = 0;
  while (const dirent* e = readdir(dir)) n += e->d_name[0] != '.';
  closedir(dir);
  return n;
}
Census Count() { return {Entries("/proc/self/task"), Entries("/proc/self/fd") - 1}; }  // less opendir's own
#endif

template <typename F>
bool Eventually(F done, int seconds = 30) {
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  while (Clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// --- What the library posts --------------------------------------------------------------------

class Messages {
 public:
  Messages() {
    platform::SetPostedMessageSink([this](platform::WindowHandle window, uint32_t message, uintptr_t w,
                                          intptr_t l) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (message == MORVEX_WM_ERROR && window == kApplication) {
        application_.push_back(static_cast<int>(l));
      } else if (message == MORVEX_WM_FRAME && window == kCallback) {
        if (w == 0)
          callback_.push_back(static_cast<int>(l));
        else
          ++frames_;
      }
    });
  }
  ~Messages() { platform::SetPostedMessageSink({}); }
  int frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }
  // Codes posted with MORVEX_WM_FRAME to the callback window.
  std::vector<int> callback() {
    std::lock_guard<std::mutex> lock(mutex_);
    return callback_;
  }
  // Codes posted with MORVEX_WM_ERROR to the application window.
  std::vector<int> application() {
    std::lock_guard<std::mutex> lock(mutex_);
    return application_;
  }
  bool FramesFlow(int more = 3) {
    const int start = frames();
    return Eventually([&] { return frames() >= start + more; });
  }

  static inline void* const kApplication = reinterpret_cast<void*>(0xA991);
  static inline void* const kCallback = reinterpret_cast<void*>(0xCA11);

 private:
  std::mutex mutex_;
  int frames_ = 0;
  std::vector<int> callback_, application_;
};

std::string UniqueMapping() {
  static std::mt19937 random(static_cast<uint32_t>(Clock::now().time_since_epoch().count()));
  return "MorvexFaultTest-" + std::to_string(random());
}

// --- The camera --------------------------------------------------------------------------------

class Faults : public ::testing::Test {
 protected:
  void TearDown() override {
    if (handle_ != 0) Morvex_Release(handle_);
    CMorvex::SetDefaultEnvironment({});
    for (const std::string& path : files_) std::remove(path.c_str());
  }

  // Morvex_Initialize on one emulated ramp camera; `device_clock` paces the
  // device object's own waits.
  void Open(emulator::EmulatedCameraOptions options = {},
            platform::Clock& device_clock = platform::SystemClock()) {
    options.scene = emulator::Scene::kRamp;
    if (camera_ == nullptr) camera_ = &port_.AddCamera(options);
    CMorvex::Environment environment;
    environment.make_device = [this, &device_clock]() -> std::unique_ptr<CMorvexZ3U2Base> {
      return std::make_unique<CMorvexUSB3T2SimpleSdk>(port_, device_clock, mapping_.c_str());
    };
    environment.register_notices = [](platform::WindowHandle, const platform::Guid&) { return true; };
    environment.settings_key = private_.Path("MorvexVelsaTEC3T2Sdk");
    CMorvex::SetDefaultEnvironment(environment);
    before_ = Count();
    handle_ = Morvex_Initialize(Messages::kApplication);
    ASSERT_NE(0, handle_);
    ASSERT_EQ(1, Morvex_SetWaitTime(handle_, 0));
    idle_ = Count();
  }
  void Release() {
    EXPECT_EQ(1, Morvex_Release(handle_));
    handle_ = 0;
  }
  std::vector<int> Codes() {
    std::vector<int> codes;
    for (int code; (code = Morvex_GetLastError(handle_)) != 0;) codes.push_back(code);
    return codes;
  }
  int CallBackPreview() {
    return Morvex_CallBackPreview(handle_, Messages::kCallback, frame_.data(), static_cast<int>(frame_.size()),
                                  1);
  }
  std::string AviPath() {
    files_.push_back(platform::test::TempPath("fault") + ".avi");
    return files_.back();
  }
  // Everything the camera started has ended: back to `expected`.
  void ExpectSettled(const Census& expected) {
    Eventually([&] { return Count() == expected; }, 10);
    EXPECT_EQ(expected, Count());
  }
  // The recording at `path` was finalised as a valid AVI of at least one frame.
  static void ExpectIntactAvi(const std::string& path) {
    std::vector<uint8_t> file;
    Eventually([&] {
      file = test::ReadAll(path);
      return file.size() > 224 && test::U32(file, 4) == file.size() - 8;
    });
    ASSERT_GT(file.size(), 224u) << path;
    const uint32_t frames = test::U32(file, 48);
    EXPECT_GE(frames, 1u);
    EXPECT_EQ("", test::CheckAviLayout(file, 640, 512, frames)) << path;
  }

  platform::test::PrivateSettings private_;
  std::string mapping_ = UniqueMapping();
  emulator::EmulatorPort port_;
  emulator::EmulatedCamera* camera_ = nullptr;
  int handle_ = 0;
  Census before_, idle_;
  std::vector<uint8_t> frame_ = std::vector<uint8_t>(640 * 512 * 3);
  std::vector<std::string> files_;
};

bool SnapShotWorks(int handle) {
  std::vector<uint8_t> buffer(640 * 512 * 3);
  return Morvex_SnapShot(handle, buffer.data(), static_cast<int>(buffer.size()), 1) == 1;
}

// --- Unplugging --------------------------------------------------------------------------------

TEST_F(Faults, UnplugAndReplugWhilePreviewingOrRecording) {
  emulator::EmulatedCameraOptions options;
  Open(options);
  struct Case {
    const char* name;
    bool record;
    // Where the stream's end is announced: callback window or application window.
    bool to_callback;
  } cases[] = {{"callback preview", false, true}, {"recording", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Messages messages;
    const std::string path = c.record ? AviPath() : "";
    if (c.record) {
      ASSERT_EQ(1, Morvex_Record(handle_, path.c_str(), 600000, 0));
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    } else {
      ASSERT_EQ(1, CallBackPreview());
      ASSERT_TRUE(messages.FramesFlow());
    }
    camera_->SetPresent(false);
    const auto posted = [&] { return c.to_callback ? messages.callback() : messages.application(); };
    ASSERT_TRUE(Eventually([&] { return !posted().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int frames = messages.frames();
    EXPECT_EQ(std::vector<int>{MORVEX_ERR_STREAM_STOPPED}, posted());
    EXPECT_EQ(std::vector<int>{MORVEX_ERR_STREAM_STOPPED}, Codes());
    if (c.record) ExpectIntactAvi(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(frames, messages.frames()) << "no frame after the failure";
    EXPECT_EQ(1, Morvex_StopPreview(handle_));
    ExpectSettled(idle_);

    // Plugged in again, the same handle takes frames again.
    camera_->SetPresent(true);
    ASSERT_EQ(1, CallBackPreview());
    EXPECT_TRUE(messages.FramesFlow());
    EXPECT_EQ(1, Morvex_StopPreview(handle_));
    EXPECT_EQ(std::vector<int>{MORVEX_ERR_STREAM_STOPPED}, posted()) << "nothing new";
    Codes();
  }
  Release();
  ExpectSettled(before_);
}

}  // namespace
}  // namespace morvex
