// Several threads initialising, using and releasing cameras at once, and
// pushing and popping one error history concurrently.
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "MorvexSdk.h"
#include "camera/morvex.h"

namespace morvex {
namespace {

constexpr int kThreads = 4;
#ifdef MORVEX_WIN32
// Under an emulated Wine every thread start costs milliseconds.
constexpr int kRounds = 30;
#else
constexpr int kRounds = 200;
#endif

TEST(ConcurrentHandles, ThreadsInitialiseUseAndReleaseTheirOwnCameras) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < kRounds; ++i) {
        const int h = Morvex_Initialize(nullptr);
        if (h == 0) {
          ++failures;
          continue;
        }
        const int wait = t * 1000 + i;
        if (Morvex_SetWaitTime(h, wait) != 1 || Morvex_GetWaitTime(h) != wait) ++failures;
        Morvex_SendText(h, "x");
        if (Morvex_GetLastError(h) != MORVEX_ERR_UNSUPPORTED || Morvex_GetLastError(h) != 0) ++failures;
        if (Morvex_Release(h) != 1) ++failures;
        if (Morvex_GetWaitTime(h) != -1) ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST(ConcurrentHandles, ReleaseWhileOtherThreadsCallTheSameCamera) {
  for (int round = 0; round < 20; ++round) {
    const int shared = Morvex_Initialize(nullptr);
    ASSERT_NE(shared, 0);
    std::atomic<bool> go{false};
    std::atomic<int> bad_answers{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads - 1; ++t) {
      callers.emplace_back([&] {
        while (!go.load()) std::this_thread::yield();
        for (int i = 0; i < 300; ++i) {
          // Either the live camera's answer or the unregistered one.
          const int wait = Morvex_GetWaitTime(shared);
          if (wait != 10 && wait != -1) ++bad_answers;
          const int width = Morvex_Width(shared);
          if (width != 640 && width != 0) ++bad_answers;
          Morvex_SendText(shared, "x");
          Morvex_GetLastError(shared);
          // Other cameras come and go meanwhile. Once the shared camera is
          // released its handle may be drawn again for one of them (Windows'
          // rand() starts every thread with the same sequence), so that one
          // is released like any other.
          const int own = Morvex_Initialize(nullptr);
          if (own == 0 || Morvex_Release(own) != 1) ++bad_answers;
        }
      });
    }
    go.store(true);
    std::this_thread::yield();
    EXPECT_EQ(Morvex_Release(shared), 1);
    for (std::thread& caller : callers) caller.join();
    EXPECT_EQ(bad_answers.load(), 0);
    EXPECT_EQ(Morvex_GetWaitTime(shared), -1);
    EXPECT_EQ(Morvex_Release(shared), 0);
  }
}

TEST(ConcurrentErrorHistory, NoCodeIsLostOrDuplicated) {
  for (int round = 0; round < kRounds; ++round) {
    CMorvex camera{platform::SystemClock()};
    // 20 distinct codes pushed from four threads fill the history exactly.
    std::vector<std::thread> pushers;
    for (int t = 0; t < kThreads; ++t) {
      pushers.emplace_back([&camera, t] {
        for (int i = 0; i < 5; ++i) camera.RecordError(1 + t * 5 + i);
      });
    }
    for (std::thread& pusher : pushers) pusher.join();

    std::vector<int> popped[kThreads];
    std::vector<std::thread> poppers;
    for (int t = 0; t < kThreads; ++t) {
      poppers.emplace_back([&camera, &popped, t] {
        for (int i = 0; i < 5; ++i) popped[t].push_back(camera.PopError());
      });
    }
    for (std::thread& popper : poppers) popper.join();

    std::vector<int> all;
    for (const auto& codes : popped) all.insert(all.end(), codes.begin(), codes.end());
    std::sort(all.begin(), all.end());
    std::vector<int> expected(20);
    for (int i = 0; i < 20; ++i) expected[i] = i + 1;
    ASSERT_EQ(all, expected) << "round " << round;
    EXPECT_EQ(camera.PopError(), 0);
  }
}

TEST(ConcurrentErrorHistory, PushAndPopAtTheSameTime) {
  for (int round = 0; round < kRounds; ++round) {
    CMorvex camera{platform::SystemClock()};
    std::vector<int> popped[2];
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
      threads.emplace_back([&camera, t] {
        for (int i = 0; i < 10; ++i) camera.RecordError(1 + t * 10 + i);
      });
      threads.emplace_back([&camera, &popped, t] {
        for (int i = 0; i < 8; ++i) {
          const int code = camera.PopError();
          if (code != 0) popped[t].push_back(code);
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    std::vector<int> all;
    for (const auto& codes : popped) all.insert(all.end(), codes.begin(), codes.end());
    for (int code; (code = camera.PopError()) != 0;) all.push_back(code);
    std::sort(all.begin(), all.end());
    std::vector<int> expected(20);
    for (int i = 0; i < 20; ++i) expected[i] = i + 1;
    ASSERT_EQ(all, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace morvex
