// Time: tick counts, multimedia time, sleeps and timer resolution.
//
// Every wait in the library goes through a Clock so that tests can run
// seconds-long sequences (readiness waits, trigger switches, retries) on
// simulated time. Objects take a Clock& at construction; production code
// passes SystemClock().
#pragma once

#include <atomic>
#include <cstdint>

namespace morvex::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since system start, wrapping at 2^32 (GetTickCount).
  virtual uint32_t TickCount() = 0;
  // Multimedia time in milliseconds (timeGetTime).
  virtual uint32_t MultimediaTime() = 0;
  // Blocks the calling thread for at least `ms` milliseconds.
  virtual void Sleep(uint32_t ms) = 0;
  // timeBeginPeriod / timeEndPeriod; calls must pair.
  virtual void BeginTimerPeriod(uint32_t ms) = 0;
  virtual void EndTimerPeriod(uint32_t ms) = 0;
};

// The real clock of the machine.
Clock& SystemClock();

// Raises the timer resolution to 1 ms around short sleeps and restores it.
class ScopedTimerResolution {
 public:
  explicit ScopedTimerResolution(Clock& clock, uint32_t ms = 1) : clock_(clock), ms_(ms) {
    clock_.BeginTimerPeriod(ms_);
  }
  ~ScopedTimerResolution() { clock_.EndTimerPeriod(ms_); }
  ScopedTimerResolution(const ScopedTimerResolution&) = delete;
  ScopedTimerResolution& operator=(const ScopedTimerResolution&) = delete;

 private:
  Clock& clock_;
  uint32_t ms_;
};

// Sleep(ms) with the timer resolution raised to 1 ms, as every short wait does.
inline void PreciseSleep(Clock& clock, uint32_t ms) {
  ScopedTimerResolution resolution(clock);
  clock.Sleep(ms);
}

// A clock for tests: Sleep advances simulated time at once instead of blocking.
// Thread-safe; time only moves through Sleep and Advance.
class SimulatedClock : public Clock {
 public:
  explicit SimulatedClock(uint32_t start_ms = 1000) : now_(start_ms) {}
  uint32_t TickCount() override { return now_.load(); }
  uint32_t MultimediaTime() override { return now_.load(); }
  void Sleep(uint32_t ms) override {
    now_.fetch_add(ms);
    slept_.fetch_add(ms);
    sleeps_.fetch_add(1);
  }
  void BeginTimerPeriod(uint32_t) override { periods_.fetch_add(1); }
  void EndTimerPeriod(uint32_t) override { periods_.fetch_sub(1); }
  void Advance(uint32_t ms) { now_.fetch_add(ms); }
  uint64_t TotalSlept() const { return slept_.load(); }
  uint64_t SleepCount() const { return sleeps_.load(); }
  int OpenTimerPeriods() const { return periods_.load(); }

 private:
  std::atomic<uint32_t> now_;
  std::atomic<uint64_t> slept_{0};
  std::atomic<uint64_t> sleeps_{0};
  std::atomic<int> periods_{0};
};

}  // namespace morvex::platform
