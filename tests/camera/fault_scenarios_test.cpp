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
#include <string>
#include <thread>
#include <vector>

#include "MorvexSdk.h"
#include "avi_probe.h"
#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "platform/clock.h"
#include "platform/process_census.h"
#include "platform/window_messages.h"
#include "names.h"
#include "paths.h"

#ifdef MORVEX_WIN32
#include <windows.h>

#include "screen_capture_win32.h"
#endif

namespace morvex {
namespace {

using Clock = std::chrono::steady_clock;

// --- What the process holds ---------------------------------------------------------------------

struct Census {
  int threads = 0;
  // Open descriptors natively. Wine answers no handle count (-1), and the
  // handle table it keeps grows with objects Wine makes lazily: there the
  // threads show what the library leaves running.
  int handles = 0;
  bool operator==(const Census& o) const { return threads == o.threads && handles == o.handles; }
};

std::ostream& operator<<(std::ostream& out, const Census& c) {
  return out << c.threads << " threads, " << c.handles << " handles";
}

Census Count() {
  const platform::ProcessCensus census = platform::TakeProcessCensus();
  return {census.threads, census.handles};
}

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
    platform::SetPostedMessageSink(
        [this](platform::WindowHandle window, uint32_t message, uintptr_t w, intptr_t l) {
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
    WarmUp();
    before_ = Count();
    handle_ = Morvex_Initialize(Messages::kApplication);
    ASSERT_NE(0, handle_);
    ASSERT_EQ(1, Morvex_SetWaitTime(handle_, 0));
    idle_ = Count();
  }
  // What starts once per process on first use is there before anything is
  // counted: the test framework's watcher of this thread's traces (on
  // Windows a thread), the system's lazily made objects.
  static void WarmUp() {
    static bool done = false;
    if (done) return;
    done = true;
    SCOPED_TRACE("warming up");
    const int h = Morvex_Initialize(nullptr);
    std::vector<uint8_t> buffer(640 * 512 * 3);
    Morvex_SnapShot(h, buffer.data(), static_cast<int>(buffer.size()), 1);
    Morvex_Preview(h);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Morvex_Release(h);
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
    return Morvex_CallBackPreview(handle_, Messages::kCallback, frame_.data(),
                                  static_cast<int>(frame_.size()), 1);
  }
  std::string AviPath() {
    files_.push_back(test::TempPath("fault") + ".avi");
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
    // The first frame is the ramp: bottom row first, grey as blue, green and
    // red, the top 8 of its 12 bits.
    ASSERT_GT(file.size(), 232u + 640 * 512 * 3);
    for (const auto& [x, y] : {std::pair{0, 0}, {639, 0}, {7, 3}, {320, 256}, {639, 511}}) {
      const uint8_t* p = file.data() + 232 + (static_cast<size_t>(511 - y) * 640 + x) * 3;
      const int expected = ((x + 4 * y) % 4096) >> 4;
      EXPECT_EQ(expected, p[0]) << x << ", " << y;
      EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << ", " << y;
    }
  }

  platform::SimulatedClock simulated_;
  test::PrivateSettings private_;
  std::string mapping_ = test::UniqueName("faults");
  emulator::EmulatorPort port_;
  emulator::EmulatedCamera* camera_ = nullptr;
  int handle_ = 0;
  Census before_, idle_;
  std::vector<uint8_t> frame_ = std::vector<uint8_t>(640 * 512 * 3);
  std::vector<std::string> files_;
};

// --- Unplugging --------------------------------------------------------------------------------

TEST_F(Faults, UnplugAndReplugInEveryMode) {
  emulator::EmulatedCameraOptions options;
  options.trigger_interval_ms = 100;
  Open(options);
  enum class Kind { kPreview, kRecording, kTrigger, kCapture };
  struct Case {
    const char* name;
    Kind kind;
    // The end of the stream as posted to the callback window (while
    // recording to the application window) and as recorded.
    std::vector<int> posted, recorded;
  } cases[] = {
      {"callback preview", Kind::kPreview, {MORVEX_ERR_STREAM_STOPPED}, {MORVEX_ERR_STREAM_STOPPED}},
      {"recording", Kind::kRecording, {MORVEX_ERR_STREAM_STOPPED}, {MORVEX_ERR_STREAM_STOPPED}},
      {"trigger", Kind::kTrigger, {MORVEX_ERR_STREAM_STOPPED}, {MORVEX_ERR_STREAM_STOPPED}},
      {"capture", Kind::kCapture, {}, {MORVEX_ERR_ACQUISITION}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Messages messages;
    const std::string path = c.kind == Kind::kRecording ? AviPath() : "";
    std::vector<uint8_t> buffer(640 * 512 * 3);
    const auto snapshot = [&] {
      return Morvex_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()), 1);
    };
    switch (c.kind) {
      case Kind::kPreview:
        ASSERT_EQ(1, CallBackPreview());
        ASSERT_TRUE(messages.FramesFlow());
        break;
      case Kind::kRecording:
        ASSERT_EQ(1, Morvex_Record(handle_, path.c_str(), 600000, 0));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        break;
      case Kind::kTrigger:
        ASSERT_EQ(1, Morvex_Trigger(handle_, Messages::kCallback, nullptr, 0, 0));
        ASSERT_TRUE(messages.FramesFlow());
        break;
      case Kind::kCapture:
        ASSERT_EQ(1, Morvex_Capture(handle_));
        ASSERT_EQ(1, snapshot());
        break;
    }
    camera_->SetPresent(false);
    if (c.kind == Kind::kCapture) {
      EXPECT_EQ(0, snapshot());
    }
    const auto posted = [&] {
      return c.kind == Kind::kRecording ? messages.application() : messages.callback();
    };
    if (!c.posted.empty()) {
      ASSERT_TRUE(Eventually([&] { return !posted().empty(); }));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int frames = messages.frames();
    EXPECT_EQ(c.posted, posted());
    EXPECT_EQ(c.recorded, Codes());
    if (!path.empty()) ExpectIntactAvi(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(frames, messages.frames()) << "no frame after the failure";
    EXPECT_EQ(c.posted, posted()) << "posted once";
    EXPECT_EQ(1, Morvex_StopPreview(handle_));
    ExpectSettled(idle_);

    // Plugged in again, the same handle takes frames again.
    camera_->SetPresent(true);
    ASSERT_EQ(1, CallBackPreview());
    EXPECT_TRUE(messages.FramesFlow());
    EXPECT_EQ(1, Morvex_StopPreview(handle_));
    EXPECT_EQ(c.posted, posted()) << "nothing new";
    Codes();
  }
  Release();
  ExpectSettled(before_);
}

// --- Failed reads ------------------------------------------------------------------------------

// The frame thread gives up at the fifth failed read of one frame; a header
// read fails only after 15 transfers, so 75 header faults are five failures.
TEST_F(Faults, FailedReadsEndTheStreamAtTheFifthFailureOfAFrame) {
  Open();
  using Arm = void (emulator::EmulatedCamera::*)(uint32_t);
  struct Case {
    const char* name;
    Arm arm;
    uint32_t count;
    bool ends;
  } cases[] = {
      {"four data reads", &emulator::EmulatedCamera::SetFailDataReads, 4, false},
      {"five data reads", &emulator::EmulatedCamera::SetFailDataReads, 5, true},
      {"five header reads", &emulator::EmulatedCamera::SetFailHeaderReads, 75, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Messages messages;
    ASSERT_EQ(1, CallBackPreview());
    ASSERT_TRUE(messages.FramesFlow());
    (camera_->*c.arm)(c.count);
    ASSERT_TRUE(Eventually(
        [&] { return camera_->pending_data_faults() == 0 && camera_->pending_header_faults() == 0; }, 60));
    if (c.ends) {
      ASSERT_TRUE(Eventually([&] { return !messages.callback().empty(); }));
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      EXPECT_EQ(std::vector<int>{MORVEX_ERR_STREAM_STOPPED}, messages.callback());
      EXPECT_EQ(std::vector<int>{MORVEX_ERR_STREAM_STOPPED}, Codes());
    } else {
      EXPECT_TRUE(messages.FramesFlow());
      EXPECT_TRUE(messages.callback().empty());
      EXPECT_TRUE(Codes().empty());
    }
    EXPECT_EQ(1, Morvex_StopPreview(handle_));
    ExpectSettled(idle_);
  }
}

// --- A camera that never becomes ready -------------------------------------------------------------

TEST_F(Faults, ACameraThatNeverBecomesReadyIsNotOpened) {
  emulator::EmulatedCameraOptions options;
  options.ready_after_polls = 0xFFFFFFFFu;
  Open(options, simulated_);  // the 400 polls half a second apart pass at once
  EXPECT_EQ(400u, camera_->ready_polls());
  EXPECT_EQ(std::vector<int>{MORVEX_ERR_NO_DEVICE}, Codes());
  EXPECT_EQ(0, CallBackPreview());
  EXPECT_EQ((std::vector<int>{MORVEX_ERR_ACQUISITION, MORVEX_ERR_NO_DEVICE}), Codes());
  std::vector<uint8_t> buffer(640 * 512);
  EXPECT_EQ(0, Morvex_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()), 1));
  EXPECT_EQ(std::vector<int>{MORVEX_ERR_NO_DEVICE}, Codes());
  ExpectSettled(idle_);
  Release();
  ExpectSettled(before_);
}

// --- Frames that stop coming -----------------------------------------------------------------------

// The stop must not wait out the 5 s data waits (25 s until the frame thread
// gives up), the header read's attempts nor the 60 s wait for a trigger. It
// takes a few hundred milliseconds; the bound is far above that.
TEST_F(Faults, StopReturnsWhenFramesStopComing) {
  emulator::EmulatedCameraOptions options;
  options.trigger_interval_ms = 100;
  Open(options);
  struct Case {
    const char* name;
    bool trigger;
    bool pulses_at_first;
    int triggers;
  } cases[] = {{"preview, data never comes", false, false, 0},
               {"trigger, pulses stop", true, true, 1},
               // The switch to trigger mode awaits a settle frame that never comes.
               {"trigger, no pulse ever comes", true, false, 1},
               // The second call finds the frame thread inside a header read.
               {"trigger twice, no pulse ever comes", true, false, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Messages messages;
    if (c.trigger) {
      if (!c.pulses_at_first) camera_->SetTriggerInterval(0);
      for (int i = 0; i < c.triggers; ++i)
        ASSERT_EQ(1, Morvex_Trigger(handle_, Messages::kCallback, nullptr, 0, 0));
      if (c.pulses_at_first) {
        ASSERT_TRUE(messages.FramesFlow());
      }
      camera_->SetTriggerInterval(0);
    } else {
      ASSERT_EQ(1, CallBackPreview());
      ASSERT_TRUE(messages.FramesFlow());
      camera_->SetFailDataReads(1000);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
      EXPECT_EQ(1, Morvex_StopPreview(handle_));
      stopped = true;
    });
    EXPECT_TRUE(Eventually([&] { return stopped.load(); }, 2)) << "the stop waits out a transfer";
    stopper.join();
    camera_->SetFailDataReads(0);
    camera_->SetTriggerInterval(100);
    EXPECT_TRUE(messages.callback().empty());
    ExpectSettled(idle_);
    Codes();
  }
}

// --- Close and Release from other threads ----------------------------------------------------------

// The application runs a mode on its thread; another thread closes or
// releases the camera while a third keeps calling in.
TEST_F(Faults, CloseAndReleaseFromOtherThreadsInEveryMode) {
  emulator::EmulatedCameraOptions options;
  options.trigger_interval_ms = 100;
  enum class Kind { kPreview, kCapture, kTrigger, kRecording };
  struct Case {
    const char* name;
    Kind kind;
  } modes[] = {{"preview", Kind::kPreview},
               {"capture", Kind::kCapture},
               {"trigger", Kind::kTrigger},
               {"recording", Kind::kRecording}};
  for (const bool release : {false, true}) {
    for (const Case& m : modes) {
      SCOPED_TRACE(std::string(m.name) + (release ? ", released" : ", closed"));
      if (handle_ == 0) Open(options);
      Messages messages;
      const std::string path = m.kind == Kind::kRecording ? AviPath() : "";
      switch (m.kind) {
        case Kind::kPreview:
          ASSERT_EQ(1, CallBackPreview());
          break;
        case Kind::kCapture:
          ASSERT_EQ(1, Morvex_Capture(handle_));
          break;
        case Kind::kTrigger:
          ASSERT_EQ(1, Morvex_Trigger(handle_, Messages::kCallback, frame_.data(),
                                      static_cast<int>(frame_.size()), 1));
          break;
        case Kind::kRecording:
          ASSERT_EQ(1, Morvex_Record(handle_, path.c_str(), 600000, 0));
          break;
      }
      const int h = handle_;
      std::atomic<bool> done{false};
      std::atomic<int> snapshots{0};
      // The application's own calls go on until the handle is gone or the test ends.
      std::thread caller([&, h] {
        std::vector<uint8_t> copy(640 * 512 * 3);
        while (!done) {
          if (m.kind == Kind::kCapture)
            snapshots += Morvex_SnapShot(h, copy.data(), static_cast<int>(copy.size()), 1);
          Morvex_GetImage(h, copy.data(), static_cast<int>(copy.size()), 0);
          int flag = 0;
          Morvex_GetFilterValue(h, 18, &flag);
        }
      });
      if (m.kind == Kind::kCapture)
        EXPECT_TRUE(Eventually([&] { return snapshots.load() >= 2; }));
      else if (m.kind != Kind::kRecording)
        EXPECT_TRUE(messages.FramesFlow());
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
      std::thread closer([&, h] { EXPECT_EQ(1, release ? Morvex_Release(h) : Morvex_Close(h)); });
      closer.join();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      done = true;
      caller.join();
      if (!path.empty()) ExpectIntactAvi(path);
      for (int code : messages.application())
        EXPECT_NE(MORVEX_ERR_STREAM_STOPPED, code) << "a stop is no stream failure";
      if (release) {
        handle_ = 0;
        EXPECT_EQ(-1, Morvex_GetWaitTime(h));
        ExpectSettled(before_);
      } else {
        const int frames = messages.frames();
        ExpectSettled(idle_);
        EXPECT_EQ(frames, messages.frames()) << "no frame after Close";
        EXPECT_EQ(1, Morvex_StopPreview(handle_));
        Codes();
      }
    }
  }
}

#ifdef MORVEX_WIN32
// --- Windows ------------------------------------------------------------------------------------

// Counts this thread's frame messages to `window` while pumping.
int PumpFrames(HWND window, int ms) {
  int frames = 0;
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    MSG msg;
    while (PeekMessageA(&msg, window, MORVEX_WM_FRAME, MORVEX_WM_FRAME, PM_REMOVE)) frames += msg.wParam != 0;
    Sleep(5);
  }
  return frames;
}

TEST_F(Faults, CallbackWindowDestroyedWhileFramesArePosted) {
  Open();
  HWND window =
      CreateWindowExA(0, "STATIC", "callback", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  ASSERT_EQ(1, Morvex_CallBackPreview(handle_, window, frame_.data(), static_cast<int>(frame_.size()), 1));
  EXPECT_GT(PumpFrames(window, 1000), 0);
  DestroyWindow(window);
  // The worker goes on posting into nothing; the buffer still fills.
  frame_.assign(frame_.size(), 0xEE);
  EXPECT_TRUE(Eventually([&] { return frame_[0] != 0xEE; }));
  EXPECT_EQ(1, Morvex_StopPreview(handle_));
  EXPECT_TRUE(Codes().empty());
  ExpectSettled(idle_);
}

// The camera unplugged while a dialog is open over a running preview: the
// analogue dialog keeps the worker running, which posts the failure; the
// camera dialog has stopped it and cannot start it again.
TEST_F(Faults, UnplugWhileADialogIsOpen) {
  Open();
  struct Case {
    const char* name;
    int (*dialog)(int, MORVEX_HWND);
    int button;
    std::vector<int> posted;
    int answer, newest_code;
  } cases[] = {
      {"analog", Morvex_SetAnalogDlg, IDCANCEL, {MORVEX_ERR_STREAM_STOPPED}, 1, MORVEX_ERR_STREAM_STOPPED},
      // Its preview cannot start again.
      {"camera", Morvex_SetCameraDlg, IDOK, {}, 0, MORVEX_ERR_ACQUISITION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Messages messages;
    ASSERT_EQ(1, CallBackPreview());
    ASSERT_TRUE(messages.FramesFlow());
    const DWORD me = GetCurrentThreadId();
    std::thread driver([&] {
      HWND dialog = test::FindDialog(me);
      if (dialog == nullptr) {
        ADD_FAILURE() << "no dialog appeared";
        return;
      }
      camera_->SetPresent(false);
      if (!c.posted.empty()) {
        EXPECT_TRUE(Eventually([&] { return !messages.callback().empty(); }));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      test::WritePng(test::CaptureClient(dialog), std::string("fault_unplugged_") + c.name + "_dialog");
      PostMessageA(dialog, WM_COMMAND, c.button, 0);
    });
    EXPECT_EQ(c.answer, c.dialog(handle_, nullptr));
    driver.join();
    EXPECT_EQ(c.posted, messages.callback());
    EXPECT_EQ(c.newest_code, Morvex_GetLastError(handle_));
    EXPECT_EQ(1, Morvex_StopPreview(handle_));
    ExpectSettled(idle_);
    camera_->SetPresent(true);
    Codes();
  }
}
#endif

}  // namespace
}  // namespace morvex
