// The machine clock natively: CLOCK_MONOTONIC in milliseconds.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace morvex::platform {
namespace {

uint32_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // Wraps at 2^32 like GetTickCount.
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

class PosixClock : public Clock {
 public:
  uint32_t TickCount() override { return MonotonicMilliseconds(); }
  uint32_t MultimediaTime() override { return MonotonicMilliseconds(); }
  void Sleep(uint32_t ms) override {
    timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    // A signal must not cut a wait short.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }
  // The kernel timer is fine-grained already; nothing to raise.
  void BeginTimerPeriod(uint32_t) override {}
  void EndTimerPeriod(uint32_t) override {}
};

}  // namespace

Clock& SystemClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace morvex::platform
