#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace morvex::platform {
namespace {
class StubClock : public Clock {
 public:
  uint32_t TickCount() override {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
  uint32_t MultimediaTime() override { return TickCount(); }
  void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  void BeginTimerPeriod(uint32_t) override {}
  void EndTimerPeriod(uint32_t) override {}
};
}  // namespace
Clock& SystemClock() {
  static StubClock clock;
  return clock;
}
}  // namespace morvex::platform
