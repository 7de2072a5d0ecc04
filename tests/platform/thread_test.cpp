#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "platform/sync.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#endif

namespace morvex::platform {
namespace {

TEST(Thread, RunsTheBodyAndJoins) {
  std::atomic<int> runs{0};
  Thread thread;
  EXPECT_FALSE(thread.running());
  ASSERT_TRUE(thread.Start([&] { ++runs; }));
  EXPECT_TRUE(thread.running());
  EXPECT_TRUE(thread.Join());
  EXPECT_FALSE(thread.running());
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(thread.Join()) << "joining again is harmless";
}

TEST(Thread, JoinWithTimeoutWaitsForTheEnd) {
  Event release(true, false);
  Thread thread;
  ASSERT_TRUE(thread.Start([&] { release.Wait(kInfinite); }));
  EXPECT_FALSE(thread.Join(0));
  EXPECT_FALSE(thread.Join(20));
  EXPECT_TRUE(thread.running());
  release.Set();
  EXPECT_TRUE(thread.Join(10000));
  EXPECT_FALSE(thread.running());
}

TEST(Thread, RefusesASecondStartWhileRunningButRestartsAfterJoin) {
  Event release(true, false);
  std::atomic<int> runs{0};
  Thread thread;
  ASSERT_TRUE(thread.Start([&] {
    release.Wait(kInfinite);
    ++runs;
  }));
  EXPECT_FALSE(thread.Start([&] { runs += 100; }));
  release.Set();
  ASSERT_TRUE(thread.Join());
  ASSERT_TRUE(thread.Start([&] { ++runs; }));
  ASSERT_TRUE(thread.Join());
  EXPECT_EQ(runs, 2);
}

TEST(Thread, DestructionJoins) {
  std::atomic<bool> finished{false};
  {
    Thread thread;
    ASSERT_TRUE(thread.Start([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      finished = true;
    }));
  }
  EXPECT_TRUE(finished);
}

TEST(Thread, ReportsThePriorityInEffect) {
  const ThreadPriority priorities[] = {ThreadPriority::kTimeCritical, ThreadPriority::kHighest,
                                       ThreadPriority::kAboveNormal,  ThreadPriority::kNormal,
                                       ThreadPriority::kBelowNormal,  ThreadPriority::kLowest,
                                       ThreadPriority::kIdle};
  for (ThreadPriority priority : priorities) {
    Event release(true, false);
    Thread thread;
    ASSERT_TRUE(thread.Start([&] { release.Wait(kInfinite); }, priority));
    EXPECT_EQ(thread.priority(), priority) << "asked for " << static_cast<int>(priority);
    release.Set();
    thread.Join();
  }
}

TEST(Thread, TimeCriticalFrameThreadStartsAtItsPriority) {
  // The body runs at the requested priority from its first instruction.
  std::atomic<uint32_t> body_thread{0};
  Thread thread;
  ASSERT_TRUE(thread.Start([&] { body_thread = CurrentThreadId(); }, ThreadPriority::kTimeCritical));
  EXPECT_EQ(thread.priority(), ThreadPriority::kTimeCritical);
  thread.Join();
  EXPECT_NE(body_thread.load(), 0u);
  EXPECT_NE(body_thread.load(), CurrentThreadId());
}

#ifndef _WIN32
// Natively a priority moves the nice value from the inherited one; lowering
// it needs privileges, raising it does not.
TEST(Thread, NativePriorityMovesTheNiceValue) {
  errno = 0;
  const int inherited = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
  ASSERT_EQ(errno, 0);
  bool may_lower = false;
  std::thread probe([&] {
    may_lower = setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), inherited - 1) == 0;
  });
  probe.join();
  const struct {
    ThreadPriority priority;
    int offset;
  } cases[] = {{ThreadPriority::kTimeCritical, -15},
               {ThreadPriority::kHighest, -10},
               {ThreadPriority::kNormal, 0},
               {ThreadPriority::kBelowNormal, 5},
               {ThreadPriority::kIdle, 19}};
  for (const auto& c : cases) {
    std::atomic<int> nice{-100};
    Thread thread;
    ASSERT_TRUE(thread.Start(
        [&] { nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))); }, c.priority));
    thread.Join();
    const int wanted = std::clamp(inherited + c.offset, -20, 19);
    EXPECT_EQ(nice.load(), c.offset < 0 && !may_lower ? inherited : wanted)
        << "priority " << static_cast<int>(c.priority);
  }
}
#endif

TEST(Thread, CurrentThreadIdIsStablePerThreadAndDistinct) {
  const uint32_t mine = CurrentThreadId();
  EXPECT_EQ(CurrentThreadId(), mine);
  std::set<uint32_t> ids{mine};
  for (int i = 0; i < 3; ++i) {
    Event release(true, false);
    std::atomic<uint32_t> id{0};
    Thread thread;
    ASSERT_TRUE(thread.Start([&] {
      id = CurrentThreadId();
      release.Wait(kInfinite);
    }));
    while (id == 0) {
    }
    ids.insert(id);
    release.Set();
    thread.Join();
  }
  EXPECT_GE(ids.size(), 2u);
}

}  // namespace
}  // namespace morvex::platform
