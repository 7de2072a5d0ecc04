// The machine clock on Windows: GetTickCount, the multimedia timer and Sleep.
#include "platform/clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace morvex::platform {
namespace {

class Win32Clock : public Clock {
 public:
  uint32_t TickCount() override { return GetTickCount(); }
  uint32_t MultimediaTime() override { return timeGetTime(); }
  void Sleep(uint32_t ms) override { ::Sleep(ms); }
  void BeginTimerPeriod(uint32_t ms) override { timeBeginPeriod(ms); }
  void EndTimerPeriod(uint32_t ms) override { timeEndPeriod(ms); }
};

}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace morvex::platform
