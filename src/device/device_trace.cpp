#include "device/device_trace.h"

#include <mutex>

#include "platform/trace.h"

namespace morvex::device_trace {
namespace {

std::mutex g_observer_lock;
Observer g_observer = nullptr;
void* g_context = nullptr;

}  // namespace

void Emit(const CQorCy3Cam* /*controller*/, const char* line) {
  {
    std::lock_guard<std::mutex> lock(g_observer_lock);
    if (g_observer) g_observer(line, g_context);
  }
  MORVEX_TRACE(platform::kTraceDevice, "%s", line);
}

void SetObserver(Observer observer, void* context) {
  std::lock_guard<std::mutex> lock(g_observer_lock);
  g_observer = observer;
  g_context = context;
}

}  // namespace morvex::device_trace
