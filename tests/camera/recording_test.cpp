// The record thread beside the preview worker against the emulator: frames
// taken as fast as the worker makes them, and a disk that fills up.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "avi_probe.h"
#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulated_environment.h"
#include "emulator/emulator.h"
#include "platform/window_messages.h"
#include "names.h"
#include "paths.h"

#ifndef MORVEX_WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace morvex {
namespace {

const platform::WindowHandle kWindow = reinterpret_cast<platform::WindowHandle>(0x5A5B);

class RecordThread : public ::testing::Test {
 protected:
  RecordThread() {
    platform::SetPostedMessageSink(
        [this](platform::WindowHandle window, uint32_t message, uintptr_t, intptr_t l) {
          std::lock_guard<std::mutex> lock(mutex_);
          if (window == kWindow && message == kWmError) errors_.push_back(static_cast<int32_t>(l));
        });
    emulator::EmulatedCameraOptions options;
    options.scene = emulator::Scene::kRamp;
    port_.AddCamera(options);
    const CMorvex::Environment environment =
        test::EmulatedEnvironment(port_, mapping_, private_.Path("MorvexVelsaTEC3T2Sdk"));
    camera_ = std::make_unique<CMorvex>(platform::SystemClock(), environment);
  }
  ~RecordThread() override {
    camera_.reset();
    platform::SetPostedMessageSink({});
    std::remove(path_.c_str());
  }
  bool WaitUntilFinalised() {
    for (int i = 0; i < 1200 && camera_->recording(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !camera_->recording();
  }
  std::vector<int32_t> Errors() {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
  }

  test::PrivateSettings private_;
  std::string mapping_ = test::UniqueName("recording");
  emulator::EmulatorPort port_;
  std::unique_ptr<CMorvex> camera_;
  std::string path_ = test::TempPath("record") + ".avi";
  std::mutex mutex_;
  std::vector<int32_t> errors_;
};

TEST_F(RecordThread, RecordsBesideTheWorkerUntilStopped) {
  ASSERT_EQ(1, camera_->Initialize(kWindow));
  ASSERT_EQ(1, camera_->SetWaitTime(0));
  for (int32_t bits : {16, 8}) {
    SCOPED_TRACE(std::to_string(bits) + " bits");
    ASSERT_EQ(1, camera_->SetColorMode(bits));
    ASSERT_EQ(1, camera_->Record(path_.c_str(), 600000, 0));
    EXPECT_TRUE(camera_->recording());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(1, camera_->StopPreview());
    EXPECT_FALSE(camera_->recording());
    const std::vector<uint8_t> file = test::ReadAll(path_);
    const uint32_t frames = test::U32(file, 48);
    EXPECT_GE(frames, 2u);
    EXPECT_EQ("", test::CheckAviLayout(file, 640, 512, frames));
  }
  EXPECT_TRUE(Errors().empty());
}

#ifndef MORVEX_WIN32
// The file size limit of the process stands in for a full disk.
TEST_F(RecordThread, AFullDiskEndsTheRecordingWithAFinalisedFile) {
  ASSERT_EQ(1, camera_->Initialize(kWindow));
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  rlimit limited = saved;
  limited.rlim_cur = 224 + 2 * 983048 + 983048 / 2;  // the third frame breaks off
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
  const int32_t started = camera_->Record(path_.c_str(), 600000, 0);
  const bool ended = WaitUntilFinalised();
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &saved));
  std::signal(SIGXFSZ, SIG_DFL);
  ASSERT_EQ(1, started);
  ASSERT_TRUE(ended);
  EXPECT_EQ("", test::CheckAviLayout(test::ReadAll(path_), 640, 512, 2));
  const test::ProbeResult probe = test::Probe(path_);
  EXPECT_TRUE(probe.ran) << "ffprobe could not be run: install Debian's ffmpeg package (tools/setup.sh does)";
  EXPECT_EQ(2, probe.frames) << probe.output;
  EXPECT_EQ(std::vector<int32_t>{kErrFile}, Errors());
  EXPECT_EQ(kErrFile, camera_->PopError());
  EXPECT_EQ(1, camera_->StopPreview());
}
#endif

}  // namespace
}  // namespace morvex
