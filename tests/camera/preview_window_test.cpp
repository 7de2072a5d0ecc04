// The Win32 preview window on a real desktop (Wine with Xvfb): class and
// window fields read back with the window functions, frames of every depth
// read back from the screen, scaling, resizing, repainting and removal,
// also from another thread. Screenshots go to the build tree.
#include "camera/preview/preview_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "imaging/dib_image.h"
#include "screen_capture_win32.h"

namespace morvex {
namespace {

using imaging::CDibImage;
using test::Capture;
using test::CaptureClient;
using test::Pump;
using test::WritePng;

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 512;

// Test frames: values depend on column and row, so a missing flip, swapped
// channels or a wrong scale show. `Expected` gives blue, green, red of the
// source pixel (x, y), y counted from the first sensor row.
uint8_t Ramp(int32_t x, int32_t y) { return static_cast<uint8_t>((x * 2 + y) * 255 / (639 * 2 + 511)); }
struct Colour {
  uint8_t b, g, r;
};
Colour Expected(uint16_t bits, int32_t x, int32_t y) {
  if (bits == 8 || bits == 16) return {Ramp(x, y), Ramp(x, y), Ramp(x, y)};
  return {static_cast<uint8_t>(x * 255 / 639), static_cast<uint8_t>(y * 255 / 511), Ramp(x, y)};
}

// Fills a frame of the given depth. 16-bit samples carry `significant`
// bits, right-aligned; their display takes the top 8 of them.
std::unique_ptr<CDibImage> MakeFrame(uint16_t bits, int32_t significant = 12) {
  auto image = std::make_unique<CDibImage>();
  EXPECT_TRUE(image->Create(kWidth, kHeight, bits));
  image->set_significant_bits(significant);
  const int32_t shift = significant - 8;
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = image->row(y);
    for (int32_t x = 0; x < kWidth; ++x) {
      const Colour c = Expected(bits, x, y);
      const uint8_t channels[4] = {c.b, c.g, c.r, 0x5A};
      switch (bits) {
        case 8:
          row[x] = c.g;
          break;
        case 16: {
          // Low bits below the shown ones must not matter.
          const uint16_t v = static_cast<uint16_t>((c.g << shift) | ((1 << shift) - 1));
          std::memcpy(row + x * 2, &v, 2);
          break;
        }
        case 24:
        case 32:
          std::memcpy(row + x * (bits / 8), channels, bits / 8);
          break;
        default:
          for (int k = 0; k < bits / 16; ++k) {
            const uint16_t v = static_cast<uint16_t>(channels[k] << shift);
            std::memcpy(row + x * (bits / 8) + k * 2, &v, 2);
          }
      }
    }
  }
  return image;
}

// Largest channel difference between the screen and the frame scaled to it
// by nearest sample. With `scaled`, any source pixel within one step of
// the scale ratio (plus one) of the exact position may be the one shown.
int MaxDifference(const Capture& capture, uint16_t bits, bool scaled) {
  const int32_t slack_x = scaled ? kWidth / capture.width + 1 : 0;
  const int32_t slack_y = scaled ? kHeight / capture.height + 1 : 0;
  int worst = 0;
  for (int32_t y = 0; y < capture.height; ++y) {
    for (int32_t x = 0; x < capture.width; ++x) {
      const uint8_t* got = capture.at(x, y);
      int best = 256;
      for (int32_t dy = -slack_y; dy <= slack_y; ++dy) {
        for (int32_t dx = -slack_x; dx <= slack_x; ++dx) {
          const int32_t sx = std::clamp<int32_t>(x * kWidth / capture.width + dx, 0, kWidth - 1);
          const int32_t sy = std::clamp<int32_t>(y * kHeight / capture.height + dy, 0, kHeight - 1);
          const Colour c = Expected(bits, sx, sy);
          const int d = std::max({std::abs(got[0] - c.b), std::abs(got[1] - c.g), std::abs(got[2] - c.r)});
          best = std::min(best, d);
        }
      }
      worst = std::max(worst, best);
    }
  }
  return worst;
}

std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool ClassRegistered(const std::string& name) {
  WNDCLASSA wc;
  return GetClassInfoA(GetModuleHandleA(nullptr), name.c_str(), &wc) != FALSE;
}

class PreviewWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = MakePreviewWindow();
    Pump(10);
  }
  void TearDown() override {
    window_->Destroy();
    if (parent_ != nullptr) DestroyWindow(parent_);
    Pump(10);
  }
  HWND Handle() const { return static_cast<HWND>(window_->handle()); }
  void MakeParent() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "MorvexPreviewTestParent";
    RegisterClassA(&wc);
    parent_ = CreateWindowExA(0, wc.lpszClassName, "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 700,
                              500, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent_, nullptr);
    Pump();
  }

  std::unique_ptr<PreviewWindow> window_;
  HWND parent_ = nullptr;
  int owner_ = 0;
};

TEST_F(PreviewWindowTest, TopLevelWindowIsCentredWithTheOutputSizeAsClientArea) {
  ASSERT_TRUE(window_->Create(&owner_, PreviewPlacement{}, kWidth, kHeight));
  ASSERT_TRUE(window_->exists());
  const HWND window = Handle();
  ASSERT_TRUE(IsWindow(window));

  char expected_prefix[64];
  std::snprintf(expected_prefix, sizeof expected_prefix, "VideoRenderer_%08x_",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(&owner_)));
  const std::string name = ClassName(window);
  ASSERT_EQ(name.size(), std::strlen(expected_prefix) + 8) << name;
  EXPECT_EQ(name.rfind(expected_prefix, 0), 0u) << name;
  EXPECT_EQ(name.find_first_not_of("0123456789abcdef", std::strlen(expected_prefix)), std::string::npos);

  WNDCLASSA wc{};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), name.c_str(), &wc));
  EXPECT_EQ(wc.style, 0u);
  EXPECT_EQ(wc.cbClsExtra, 0);
  EXPECT_EQ(wc.cbWndExtra, 0);
  EXPECT_EQ(wc.hIcon, nullptr);
  EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(wc.hbrBackground, GetStockObject(BLACK_BRUSH));
  EXPECT_EQ(wc.lpszMenuName, nullptr);

  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), 0x16CF0000u);
  // The system adds the window-edge bit to every captioned window itself.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)) & ~DWORD{WS_EX_WINDOWEDGE}, 0u);
  EXPECT_EQ(GetParent(window), nullptr);
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "Active Window");

  RECT client, outer;
  GetClientRect(window, &client);
  GetWindowRect(window, &outer);
  EXPECT_EQ(client.right, kWidth);
  EXPECT_EQ(client.bottom, kHeight);
  const int32_t outer_w = outer.right - outer.left;
  const int32_t outer_h = outer.bottom - outer.top;
  EXPECT_EQ(outer.left, std::max<int32_t>(0, (GetSystemMetrics(SM_CXSCREEN) - outer_w) / 2));
  EXPECT_EQ(outer.top, std::max<int32_t>(0, (GetSystemMetrics(SM_CYSCREEN) - outer_h) / 2));

  // A second Create keeps the window.
  EXPECT_TRUE(window_->Create(&owner_, PreviewPlacement{}, kWidth, kHeight));
  EXPECT_EQ(Handle(), window);

  window_->Destroy();
  EXPECT_FALSE(window_->exists());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(ClassRegistered(name));
  window_->Destroy();  // twice is harmless
}

TEST_F(PreviewWindowTest, FramesOfEveryDepthAreShownUprightOneToOne) {
  ASSERT_TRUE(window_->Create(&owner_, PreviewPlacement{}, kWidth, kHeight));
  window_->Prepare(kWidth, kHeight);
  Pump();
  for (uint16_t bits : {8, 16, 24, 32, 48, 64}) {
    SCOPED_TRACE(bits);
    auto frame = MakeFrame(bits);
    window_->Draw(*frame);
    Pump(50);
    const Capture capture = CaptureClient(Handle());
    ASSERT_EQ(capture.width, kWidth);
    ASSERT_EQ(capture.height, kHeight);
    EXPECT_EQ(MaxDifference(capture, bits, false), 0);
    if (bits == 8) WritePng(capture, "preview_top_level_8bit");
    if (bits == 24) WritePng(capture, "preview_top_level_24bit");
  }
  // After the mask filter the samples are left-aligned: the high byte shows.
  for (uint16_t bits : {16, 48}) {
    auto frame = MakeFrame(bits, 16);
    window_->Draw(*frame);
    Pump(50);
    EXPECT_EQ(MaxDifference(CaptureClient(Handle()), bits, false), 0) << bits;
  }
}

TEST_F(PreviewWindowTest, ChildWindowSitsAtThePlacementAndFramesAreScaled) {
  MakeParent();
  const PreviewPlacement placement{parent_, 10, 20, 320, 256};
  ASSERT_TRUE(window_->Create(&owner_, placement, kWidth, kHeight));
  const HWND window = Handle();
  EXPECT_EQ(ClassName(window).rfind("VideoRenderer_", 0), 0u);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), 0x52000000u);
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE), 0);
  EXPECT_EQ(GetDlgCtrlID(window), 6540);
  EXPECT_EQ(GetParent(window), parent_);
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "ActiveMovie Window");
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right - rect.left, 320);
  EXPECT_EQ(rect.bottom - rect.top, 256);

  window_->Prepare(kWidth, kHeight);
  for (uint16_t bits : {8, 24, 64}) {
    auto frame = MakeFrame(bits);
    window_->Draw(*frame);
    Pump(50);
    const Capture capture = CaptureClient(window);
    ASSERT_EQ(capture.width, 320);
    EXPECT_EQ(MaxDifference(capture, bits, true), 0) << bits;
    if (bits == 8) WritePng(capture, "preview_child_8bit");
  }
  WritePng(CaptureClient(parent_), "preview_child_in_parent");
}

TEST_F(PreviewWindowTest, ResizedWindowIsFilledAndRepaintedFromTheLastFrame) {
  ASSERT_TRUE(window_->Create(&owner_, PreviewPlacement{}, kWidth, kHeight));
  const HWND window = Handle();
  auto frame = MakeFrame(24);
  for (const SIZE size : {SIZE{400, 300}, SIZE{700, 560}, SIZE{kWidth, kHeight}, SIZE{123, 77}}) {
    SCOPED_TRACE(size.cx);
    RECT outer{0, 0, size.cx, size.cy};
    AdjustWindowRectEx(&outer, GetWindowLongA(window, GWL_STYLE), FALSE, 0);
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    Pump(50);
    window_->Draw(*frame);
    Pump(50);
    Capture capture = CaptureClient(window);
    ASSERT_EQ(capture.width, size.cx);
    ASSERT_EQ(capture.height, size.cy);
    EXPECT_EQ(MaxDifference(capture, 24, true), 0);

    // Paint over it, then let the window repaint itself without a new frame.
    HDC dc = GetDC(window);
    RECT client{0, 0, size.cx, size.cy};
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(window, dc);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    Pump(50);
    capture = CaptureClient(window);
    EXPECT_EQ(MaxDifference(capture, 24, true), 0);
  }
}

TEST_F(PreviewWindowTest, InvisibleOrEmptyWindowsAndUnusableFramesAreSkipped) {
  ASSERT_TRUE(window_->Create(&owner_, PreviewPlacement{}, kWidth, kHeight));
  const HWND window = Handle();
  CDibImage empty;
  window_->Draw(empty);
  auto frame = MakeFrame(8);
  ShowWindow(window, SW_HIDE);
  window_->Draw(*frame);
  ShowWindow(window, SW_MINIMIZE);
  window_->Draw(*frame);
  ShowWindow(window, SW_RESTORE);
  Pump();
  window_->Draw(*frame);
  Pump(50);
  EXPECT_EQ(MaxDifference(CaptureClient(window), 8, false), 0);
}

TEST_F(PreviewWindowTest, FailedCreationLeavesNothingBehind) {
  PreviewPlacement none{nullptr, 0, 0, 0, 0};
  EXPECT_FALSE(window_->Create(&owner_, none, kWidth, kHeight));
  EXPECT_FALSE(window_->exists());
  // A parent that is no window: the child cannot be made.
  PreviewPlacement bad{reinterpret_cast<platform::WindowHandle>(0x0BADF00D), 0, 0, 320, 256};
  EXPECT_FALSE(window_->Create(&owner_, bad, kWidth, kHeight));
  EXPECT_FALSE(window_->exists());
  EXPECT_EQ(FindWindowExA(nullptr, nullptr, nullptr, "ActiveMovie Window"), nullptr);
  // The object is still usable.
  EXPECT_TRUE(window_->Create(&owner_, PreviewPlacement{}, kWidth, kHeight));
}

TEST_F(PreviewWindowTest, DestroyFromAnotherThreadStopsDrawingAndLeavesRemovalToTheOwner) {
  ASSERT_TRUE(window_->Create(&owner_, PreviewPlacement{}, kWidth, kHeight));
  const HWND window = Handle();
  const std::string name = ClassName(window);
  auto frame = MakeFrame(8);
  // A worker draws while the application thread pumps messages.
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    while (!stop) {
      window_->Draw(*frame);
      Sleep(5);
    }
  });
  for (int i = 0; i < 10; ++i) {
    InvalidateRect(window, nullptr, FALSE);
    Pump(20);
  }
  std::thread other([&] { window_->Destroy(); });
  other.join();
  EXPECT_FALSE(window_->exists());
  Sleep(30);  // the worker keeps calling Draw into the removed window
  stop = true;
  worker.join();
  Pump();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(ClassRegistered(name));
}

TEST_F(PreviewWindowTest, WindowClosedByTheUserIsNoLongerDrawn) {
  ASSERT_TRUE(window_->Create(&owner_, PreviewPlacement{}, kWidth, kHeight));
  const HWND window = Handle();
  const std::string name = ClassName(window);
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(window_->exists());
  auto frame = MakeFrame(24);
  window_->Draw(*frame);
  // The next start makes a new window; the old class is gone.
  ASSERT_TRUE(window_->Create(&owner_, PreviewPlacement{}, kWidth, kHeight));
  EXPECT_FALSE(ClassRegistered(name));
  EXPECT_NE(ClassName(Handle()), name);
}

}  // namespace
}  // namespace morvex
