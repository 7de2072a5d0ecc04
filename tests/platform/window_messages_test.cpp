#include "platform/window_messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#ifdef MORVEX_WIN32
#include <windows.h>
#endif

namespace morvex::platform {
namespace {

struct Posted {
  WindowHandle window;
  uint32_t message;
  uintptr_t wparam;
  intptr_t lparam;
};

class PostedMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPostedMessageSink([this](WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
      std::lock_guard<std::mutex> lock(mutex_);
      seen_.push_back({window, message, wparam, lparam});
    });
  }
  void TearDown() override { SetPostedMessageSink(nullptr); }
  std::vector<Posted> Seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

 private:
  std::mutex mutex_;
  std::vector<Posted> seen_;
};

TEST_F(PostedMessages, TheSinkGetsEveryFieldInOrder) {
  auto* window = reinterpret_cast<WindowHandle>(0x1234);
  EXPECT_TRUE(PostWindowMessage(window, 0x8003, 0, 7));
  EXPECT_TRUE(PostWindowMessage(window, 0x8002, 0xABCD, -1));
  const auto seen = Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].window, window);
  EXPECT_EQ(seen[0].message, 0x8003u);
  EXPECT_EQ(seen[0].wparam, 0u);
  EXPECT_EQ(seen[0].lparam, 7);
  EXPECT_EQ(seen[1].message, 0x8002u);
  EXPECT_EQ(seen[1].wparam, 0xABCDu);
  EXPECT_EQ(seen[1].lparam, -1);
}

TEST_F(PostedMessages, PostsFromManyThreadsAllArrive) {
  auto poster = [](intptr_t base) {
    for (intptr_t i = 0; i < 500; ++i) PostWindowMessage(nullptr, 0x8002, 0, base + i);
  };
  std::thread a(poster, 0), b(poster, 1000), c(poster, 2000);
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(Seen().size(), 1500u);
}

TEST(PostedMessageSink, NothingReachesARemovedSink) {
  std::atomic<int> calls{0};
  SetPostedMessageSink([&](WindowHandle, uint32_t, uintptr_t, intptr_t) { ++calls; });
  PostWindowMessage(nullptr, 0x8003, 0, 1);
  SetPostedMessageSink(nullptr);
  PostWindowMessage(reinterpret_cast<WindowHandle>(0x10), 0x8003, 0, 2);
  EXPECT_EQ(calls, 1);
}

TEST(PostedMessageSink, RemovalWaitsForAPostInProgress) {
  std::atomic<bool> inside{false};
  std::atomic<bool> finished{false};
  SetPostedMessageSink([&](WindowHandle, uint32_t, uintptr_t, intptr_t) {
    inside = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    finished = true;
  });
  std::thread poster([] { PostWindowMessage(nullptr, 0x8002, 0, 0); });
  while (!inside) std::this_thread::yield();
  SetPostedMessageSink(nullptr);
  EXPECT_TRUE(finished) << "the sink was removed while still running";
  poster.join();
}

#ifdef MORVEX_WIN32
TEST(PostedMessagesToWindows, ArriveInARealWindowsQueue) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "MorvexPlatformTestWindow";
  RegisterClassA(&window_class);
  HWND window = CreateWindowExA(0, window_class.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(PostWindowMessage(window, WM_APP + 3, 0, 9));
  EXPECT_TRUE(PostWindowMessage(window, WM_APP + 2, 0x55, -3));
  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, window, WM_APP, WM_APP + 10, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 3));
  EXPECT_EQ(msg.lParam, 9);
  ASSERT_TRUE(PeekMessageA(&msg, window, WM_APP, WM_APP + 10, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 2));
  EXPECT_EQ(msg.wParam, 0x55u);
  EXPECT_EQ(msg.lParam, -3);
  EXPECT_FALSE(PeekMessageA(&msg, window, WM_APP, WM_APP + 10, PM_REMOVE));
  DestroyWindow(window);
  EXPECT_FALSE(PostWindowMessage(window, WM_APP + 3, 0, 0)) << "a destroyed window takes nothing";
}
#else
TEST(PostedMessageSink, WithoutASinkNothingIsDelivered) {
  SetPostedMessageSink(nullptr);
  EXPECT_FALSE(PostWindowMessage(nullptr, 0x8003, 0, 0));
}
#endif

}  // namespace
}  // namespace morvex::platform
