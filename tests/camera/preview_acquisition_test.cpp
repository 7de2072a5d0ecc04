// The preview window fed by the acquisition worker from the emulator's ramp
// scene, read back from the screen: the ramp upright in the top-level and
// the scaled child window, subsampled output, the 16-bit mode, resizing,
// the repaint after StopPreview, and preview without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulated_environment.h"
#include "emulator/emulator.h"
#include "platform/window_messages.h"
#include "names.h"
#include "paths.h"
// After the device headers: windows.h defines macros named like their members.
#include "screen_capture_win32.h"

namespace morvex {
namespace {

using test::Capture;
using test::CaptureClient;
using test::FindPreviewWindow;
using test::Pump;
using test::WritePng;

// The emulator's ramp as the 8-bit display shows it: the top 8 of 12 bits.
int Shown(int x, int y) { return ((x + 4 * y) % 4096) >> 4; }
// Subsampled by two: the integer mean of each 2 x 2 block, then the top 8.
int Binned(int x, int y) { return ((2 * x + 8 * y) * 4 + 0 + 1 + 4 + 5) / 4 >> 4; }

// Counts the frames posted to a callback window that exists only here.
struct FrameCounter {
  FrameCounter() {
    platform::SetPostedMessageSink(
        [this](platform::WindowHandle window, uint32_t message, uintptr_t w, intptr_t) {
          if (window == kWindow && message == kWmFrame && w != 0) {
            std::lock_guard<std::mutex> lock(mutex);
            ++frames;
          }
        });
  }
  ~FrameCounter() { platform::SetPostedMessageSink({}); }
  int32_t Frames() {
    std::lock_guard<std::mutex> lock(mutex);
    return frames;
  }
  // Pumps the window's messages until `count` more frames have come.
  bool WaitFrames(int32_t count) {
    const int32_t target = Frames() + count;
    for (int i = 0; i < 1000 && Frames() < target; ++i) Pump(20);
    return Frames() >= target;
  }
  static inline platform::WindowHandle const kWindow = reinterpret_cast<platform::WindowHandle>(0x5A5B);
  std::mutex mutex;
  int32_t frames = 0;
};

// Largest difference between the screen and the expected grey value of the
// source pixel under each screen pixel; with `slack`, neighbours within the
// scale step may be the one shown.
int MaxDifference(const Capture& capture, int source_width, int source_height, int (*expected)(int, int),
                  bool slack) {
  const int sx_slack = slack ? source_width / capture.width + 1 : 0;
  const int sy_slack = slack ? source_height / capture.height + 1 : 0;
  int worst = 0;
  for (int y = 0; y < capture.height; ++y) {
    for (int x = 0; x < capture.width; ++x) {
      const uint8_t* got = capture.at(x, y);
      int best = 256;
      for (int dy = -sy_slack; dy <= sy_slack; ++dy) {
        for (int dx = -sx_slack; dx <= sx_slack; ++dx) {
          const int sx = std::clamp(x * source_width / capture.width + dx, 0, source_width - 1);
          const int sy = std::clamp(y * source_height / capture.height + dy, 0, source_height - 1);
          const int e = expected(sx, sy);
          best = std::min(best, std::max({std::abs(got[0] - e), std::abs(got[1] - e), std::abs(got[2] - e)}));
        }
      }
      worst = std::max(worst, best);
    }
  }
  return worst;
}

class PreviewAcquisition : public ::testing::Test {
 protected:
  void SetUp() override {
    emulator::EmulatedCameraOptions options;
    options.scene = emulator::Scene::kRamp;
    port_.AddCamera(options);
    const CMorvex::Environment environment =
        test::EmulatedEnvironment(port_, mapping_, private_.Path("MorvexVelsaTEC3T2Sdk"));
    camera_ = std::make_unique<CMorvex>(platform::SystemClock(), environment);
    ASSERT_EQ(1, camera_->Initialize(nullptr));
    ASSERT_EQ(1, camera_->SetColorMode(8));
  }
  void TearDown() override {
    camera_.reset();
    if (parent_ != nullptr) DestroyWindow(parent_);
    Pump(10);
  }
  // Starts preview with frames announced to the counter; answers the window.
  HWND Start() {
    EXPECT_EQ(1, camera_->CallBackPreview(FrameCounter::kWindow, nullptr, 0, 0));
    EXPECT_TRUE(frames_.WaitFrames(3));
    return FindPreviewWindow(camera_.get());
  }

  test::PrivateSettings private_;
  std::string mapping_ = test::UniqueName("preview");
  emulator::EmulatorPort port_;
  std::unique_ptr<CMorvex> camera_;
  FrameCounter frames_;
  HWND parent_ = nullptr;
};

TEST_F(PreviewAcquisition, TopLevelWindowShowsTheRampUprightAtTheOutputSize) {
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), nullptr);
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 512);
  Capture capture = CaptureClient(window);
  EXPECT_EQ(MaxDifference(capture, 640, 512, Shown, false), 0);
  WritePng(capture, "preview_ramp_top_level");

  // The 16-bit mode shows the top 8 of its 12 bits: the same picture.
  ASSERT_EQ(1, camera_->Close());
  ASSERT_EQ(1, camera_->SetColorMode(16));
  window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(MaxDifference(CaptureClient(window), 640, 512, Shown, false), 0);

  // Subsampled by two: a 320 x 256 client area with the binned ramp.
  ASSERT_EQ(1, camera_->Close());
  ASSERT_EQ(1, camera_->SetColorMode(8));
  ASSERT_EQ(1, camera_->SetSubSample(1));
  window = Start();
  ASSERT_NE(window, nullptr);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 256);
  capture = CaptureClient(window);
  EXPECT_EQ(MaxDifference(capture, 320, 256, Binned, false), 0);
  WritePng(capture, "preview_ramp_subsampled");
}

TEST_F(PreviewAcquisition, ChildWindowShowsTheRampScaledToItsPlacement) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "MorvexPreviewAcquisitionParent";
  RegisterClassA(&wc);
  parent_ = CreateWindowExA(0, wc.lpszClassName, "application", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30, 30, 600,
                            400, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(parent_, nullptr);
  ASSERT_EQ(1, camera_->SetPreviewWindow(parent_, 10, 20, 320, 256));
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), parent_);
  EXPECT_EQ(GetDlgCtrlID(window), 6540);
  const Capture capture = CaptureClient(window);
  ASSERT_EQ(capture.width, 320);
  ASSERT_EQ(capture.height, 256);
  EXPECT_EQ(MaxDifference(capture, 640, 512, Shown, true), 0);
  WritePng(CaptureClient(parent_), "preview_ramp_child");
}

TEST_F(PreviewAcquisition, ResizedWindowIsFilledByTheNextFrameAndRepaintedAfterStop) {
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  RECT outer{0, 0, 400, 300};
  AdjustWindowRectEx(&outer, GetWindowLongA(window, GWL_STYLE), FALSE, 0);
  SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER);
  ASSERT_TRUE(frames_.WaitFrames(3));
  Capture capture = CaptureClient(window);
  ASSERT_EQ(capture.width, 400);
  ASSERT_EQ(capture.height, 300);
  EXPECT_EQ(MaxDifference(capture, 640, 512, Shown, true), 0);

  // Stopped: a covered window shows the last frame again when uncovered.
  ASSERT_EQ(1, camera_->StopPreview());
  HDC dc = GetDC(window);
  RECT client{0, 0, 400, 300};
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(window, dc);
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  Pump(50);
  capture = CaptureClient(window);
  EXPECT_EQ(MaxDifference(capture, 640, 512, Shown, true), 0);
  WritePng(capture, "preview_ramp_repainted");

  // Close removes the window and its class.
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  ASSERT_EQ(1, camera_->Close());
  EXPECT_FALSE(IsWindow(window));
  WNDCLASSA wc;
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), name, &wc));
}

TEST_F(PreviewAcquisition, WithoutPlacementFramesFlowAndNoWindowIsMade) {
  ASSERT_EQ(1, camera_->SetPreviewWindow(nullptr, 0, 0, 0, 0));
  ASSERT_EQ(1, camera_->CallBackPreview(FrameCounter::kWindow, nullptr, 0, 0));
  EXPECT_TRUE(frames_.WaitFrames(5));
  EXPECT_EQ(FindPreviewWindow(camera_.get()), nullptr);
  ASSERT_EQ(1, camera_->StopPreview());
}

}  // namespace
}  // namespace morvex
