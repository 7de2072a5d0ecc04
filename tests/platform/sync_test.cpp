#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "names.h"

namespace morvex::platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Polls `condition` for up to five seconds.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto deadline = steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
  CriticalSection cs;
  cs.Enter();
  ASSERT_TRUE(cs.TryEnter()) << "the owner enters again";
  bool other_got_it = true;
  std::thread([&] { other_got_it = cs.TryEnter(); }).join();
  EXPECT_FALSE(other_got_it);
  cs.Leave();
  std::thread([&] { other_got_it = cs.TryEnter(); }).join();
  EXPECT_FALSE(other_got_it) << "still held once";
  cs.Leave();
  std::thread([&] {
    other_got_it = cs.TryEnter();
    if (other_got_it) cs.Leave();
  }).join();
  EXPECT_TRUE(other_got_it);
}

TEST(CriticalSection, ScopedLockKeepsCountsExact) {
  CriticalSection cs;
  long counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      ScopedLock lock(cs);
      ++counter;
    }
  };
  std::thread a(work), b(work), c(work);
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(counter, 60000);
}

TEST(Event, AutoResetPassesOneWaitThenTimesOut) {
  Event event(false, false);
  ASSERT_TRUE(event.valid());
  EXPECT_EQ(event.Wait(0), WaitResult::kTimeout);
  event.Set();
  EXPECT_EQ(event.Wait(0), WaitResult::kSignaled);
  EXPECT_EQ(event.Wait(0), WaitResult::kTimeout) << "a successful wait resets it";
  event.Set();
  event.Set();
  EXPECT_EQ(event.Wait(0), WaitResult::kSignaled);
  EXPECT_EQ(event.Wait(0), WaitResult::kTimeout) << "two sets do not count twice";
}

TEST(Event, ManualResetStaysSetUntilReset) {
  Event event(true, true);
  EXPECT_EQ(event.Wait(0), WaitResult::kSignaled);
  EXPECT_EQ(event.Wait(0), WaitResult::kSignaled);
  event.Reset();
  EXPECT_EQ(event.Wait(0), WaitResult::kTimeout);
  event.Set();
  EXPECT_EQ(event.Wait(kInfinite), WaitResult::kSignaled);
}

TEST(Event, InitiallySetAutoResetPassesOnce) {
  Event event(false, true);
  EXPECT_EQ(event.Wait(0), WaitResult::kSignaled);
  EXPECT_EQ(event.Wait(0), WaitResult::kTimeout);
}

TEST(Event, TimedWaitLastsAtLeastTheTimeout) {
  Event event(false, false);
  ScopedTimerResolution resolution(SystemClock());
  const auto start = steady_clock::now();
  EXPECT_EQ(event.Wait(50), WaitResult::kTimeout);
  EXPECT_GE(steady_clock::now() - start, milliseconds(45));
}

TEST(Event, SetFromAnotherThreadWakesAWaiter) {
  Event event(false, false);
  std::thread setter([&] {
    std::this_thread::sleep_for(milliseconds(20));
    event.Set();
  });
  EXPECT_EQ(event.Wait(kInfinite), WaitResult::kSignaled);
  setter.join();
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
  Event event(false, false);
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (event.Wait(10000) == WaitResult::kSignaled) ++woken;
  };
  std::thread a(waiter), b(waiter);
  std::this_thread::sleep_for(milliseconds(30));
  event.Set();
  ASSERT_TRUE(Eventually([&] { return woken == 1; }));
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(woken, 1) << "one set released two waiters";
  event.Set();
  a.join();
  b.join();
  EXPECT_EQ(woken, 2);
}

TEST(Event, ManualResetReleasesEveryWaiter) {
  Event event(true, false);
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (event.Wait(10000) == WaitResult::kSignaled) ++woken;
  };
  std::thread a(waiter), b(waiter), c(waiter);
  std::this_thread::sleep_for(milliseconds(20));
  event.Set();
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(woken, 3);
}

TEST(Event, SameNameIsOneEvent) {
  const std::string name = test::UniqueName("thread end");
  Event first(false, false, name.c_str());
  Event second(false, false, name.c_str());
  first.Set();
  EXPECT_EQ(second.Wait(0), WaitResult::kSignaled);
  EXPECT_EQ(first.Wait(0), WaitResult::kTimeout) << "the wait through the other object consumed it";

  Event other(false, false, test::UniqueName("other").c_str());
  first.Set();
  EXPECT_EQ(other.Wait(0), WaitResult::kTimeout);
  EXPECT_EQ(first.Wait(0), WaitResult::kSignaled);
}

TEST(Event, NamedEventWakesAWaiterOnTheOtherObject) {
  const std::string name = test::UniqueName("wake");
  Event waiter_side(false, false, name.c_str());
  Event setter_side(false, false, name.c_str());
  std::thread setter([&] {
    std::this_thread::sleep_for(milliseconds(20));
    setter_side.Set();
  });
  EXPECT_EQ(waiter_side.Wait(10000), WaitResult::kSignaled);
  setter.join();
}

TEST(Event, UnnamedEventsAreDistinct) {
  Event a(true, false), b(true, false, nullptr), c(true, false, "");
  a.Set();
  EXPECT_EQ(b.Wait(0), WaitResult::kTimeout);
  EXPECT_EQ(c.Wait(0), WaitResult::kTimeout);
}

TEST(Event, NamedEventEndsWithItsLastObject) {
  const std::string name = test::UniqueName("gone");
  {
    Event event(true, true, name.c_str());
    EXPECT_EQ(event.Wait(0), WaitResult::kSignaled);
  }
  Event again(true, false, name.c_str());
  EXPECT_EQ(again.Wait(0), WaitResult::kTimeout) << "a new event, not the old signalled one";
}

TEST(NamedMutex, ExcludesAnotherThreadUntilUnlocked) {
  const std::string name = test::UniqueName("mutex");
  NamedMutex mine(name.c_str());
  ASSERT_TRUE(mine.valid());
  ASSERT_TRUE(mine.Lock());
  bool other_locked = true;
  std::thread([&] {
    NamedMutex theirs(name.c_str());
    other_locked = theirs.Lock(0) || theirs.Lock(30);
  }).join();
  EXPECT_FALSE(other_locked);
  mine.Unlock();
  std::thread([&] {
    NamedMutex theirs(name.c_str());
    other_locked = theirs.Lock(0);
    if (other_locked) theirs.Unlock();
  }).join();
  EXPECT_TRUE(other_locked);
}

TEST(NamedMutex, OneObjectSharedByThreadsStillExcludes) {
  NamedMutex mutex(test::UniqueName("shared-object").c_str());
  ASSERT_TRUE(mutex.Lock(0));
  bool other_locked = true;
  std::thread([&] { other_locked = mutex.Lock(20); }).join();
  EXPECT_FALSE(other_locked);
  mutex.Unlock();
}

TEST(NamedMutex, OwnerMayLockAgainAndMustUnlockAsOften) {
  const std::string name = test::UniqueName("recursive");
  NamedMutex mutex(name.c_str());
  ASSERT_TRUE(mutex.Lock(0));
  ASSERT_TRUE(mutex.Lock(0));
  mutex.Unlock();
  bool other_locked = true;
  std::thread([&] {
    NamedMutex theirs(name.c_str());
    other_locked = theirs.Lock(0);
  }).join();
  EXPECT_FALSE(other_locked) << "released after one of two locks";
  mutex.Unlock();
  std::thread([&] {
    NamedMutex theirs(name.c_str());
    other_locked = theirs.Lock(0);
    if (other_locked) theirs.Unlock();
  }).join();
  EXPECT_TRUE(other_locked);
}

TEST(NamedMutex, ReadModifyWriteStaysExactUnderContention) {
  const std::string name = test::UniqueName("counter");
  long counter = 0;
  auto work = [&] {
    NamedMutex mutex(name.c_str());
    for (int i = 0; i < 300; ++i) {
      ScopedNamedLock lock(mutex);
      ASSERT_TRUE(lock.held());
      const long seen = counter;
      std::this_thread::yield();
      counter = seen + 1;
    }
  };
  std::thread a(work), b(work), c(work);
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(counter, 900);
}

TEST(NamedMutex, WaiterGetsItWhenTheOwnerReleases) {
  const std::string name = test::UniqueName("handover");
  NamedMutex mine(name.c_str());
  ASSERT_TRUE(mine.Lock());
  std::atomic<bool> got{false};
  std::thread waiter([&] {
    NamedMutex theirs(name.c_str());
    if (theirs.Lock(10000)) {
      got = true;
      theirs.Unlock();
    }
  });
  std::this_thread::sleep_for(milliseconds(30));
  EXPECT_FALSE(got);
  mine.Unlock();
  waiter.join();
  EXPECT_TRUE(got);
}

}  // namespace
}  // namespace morvex::platform
