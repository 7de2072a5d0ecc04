#include "platform/clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvex::platform {
namespace {

// Records the order of calls a short wait makes.
class RecordingClock : public SimulatedClock {
 public:
  void Sleep(uint32_t ms) override {
    calls.push_back("Sleep " + std::to_string(ms));
    SimulatedClock::Sleep(ms);
  }
  void BeginTimerPeriod(uint32_t ms) override {
    calls.push_back("Begin " + std::to_string(ms));
    SimulatedClock::BeginTimerPeriod(ms);
  }
  void EndTimerPeriod(uint32_t ms) override {
    calls.push_back("End " + std::to_string(ms));
    SimulatedClock::EndTimerPeriod(ms);
  }
  std::vector<std::string> calls;
};

TEST(SimulatedClock, SleepMovesBothTimesAtOnceAndIsCounted) {
  SimulatedClock clock(5000);
  EXPECT_EQ(clock.TickCount(), 5000u);
  EXPECT_EQ(clock.MultimediaTime(), 5000u);
  clock.Sleep(3000);
  clock.Sleep(10);
  EXPECT_EQ(clock.TickCount(), 8010u);
  EXPECT_EQ(clock.MultimediaTime(), 8010u);
  EXPECT_EQ(clock.TotalSlept(), 3010u);
  EXPECT_EQ(clock.SleepCount(), 2u);
  clock.Advance(90);
  EXPECT_EQ(clock.TickCount(), 8100u);
  EXPECT_EQ(clock.TotalSlept(), 3010u) << "Advance is not a sleep";
}

TEST(SimulatedClock, TickCountWrapsAt32Bits) {
  SimulatedClock clock(0xFFFFFFF0u);
  clock.Sleep(0x20);
  EXPECT_EQ(clock.TickCount(), 0x10u);
}

TEST(TimerResolution, PreciseSleepRaisesTheResolutionAroundTheSleepOnly) {
  RecordingClock clock;
  PreciseSleep(clock, 7);
  const std::vector<std::string> expected = {"Begin 1", "Sleep 7", "End 1"};
  EXPECT_EQ(clock.calls, expected);
  EXPECT_EQ(clock.OpenTimerPeriods(), 0);
}

TEST(TimerResolution, NestedScopesPairUp) {
  RecordingClock clock;
  {
    ScopedTimerResolution outer(clock);
    {
      ScopedTimerResolution inner(clock, 5);
      EXPECT_EQ(clock.OpenTimerPeriods(), 2);
    }
    EXPECT_EQ(clock.OpenTimerPeriods(), 1);
  }
  EXPECT_EQ(clock.OpenTimerPeriods(), 0);
  const std::vector<std::string> expected = {"Begin 1", "Begin 5", "End 5", "End 1"};
  EXPECT_EQ(clock.calls, expected);
}

TEST(SystemClock, TimesMoveForwardAcrossASleep) {
  Clock& clock = SystemClock();
  ScopedTimerResolution resolution(clock);
  const uint32_t tick_before = clock.TickCount();
  const uint32_t mm_before = clock.MultimediaTime();
  clock.Sleep(60);
  const uint32_t mm_elapsed = clock.MultimediaTime() - mm_before;
  const uint32_t tick_elapsed = clock.TickCount() - tick_before;
  // The multimedia time has 1 ms resolution here; the tick count may step
  // in 16 ms units on Windows.
  EXPECT_GE(mm_elapsed, 59u);
  EXPECT_GE(tick_elapsed, 60u - 16u);
  EXPECT_LT(mm_elapsed, 10000u);
  EXPECT_LT(tick_elapsed, 10000u);
}

TEST(SystemClock, TickCountNeverGoesBackwards) {
  Clock& clock = SystemClock();
  uint32_t previous = clock.TickCount();
  for (int i = 0; i < 10000; ++i) {
    const uint32_t now = clock.TickCount();
    ASSERT_LT(now - previous, 0x80000000u) << "went back from " << previous << " to " << now;
    previous = now;
  }
}

}  // namespace
}  // namespace morvex::platform
