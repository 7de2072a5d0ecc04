// The device layer's diagnostic trace: lines go to the run-time trace's
// "device" category and to an observer that tests set.
#pragma once

namespace morvex {
class CQorCy3Cam;

namespace device_trace {

// Hands one line, with the controller it concerns, to the sink.
void Emit(const CQorCy3Cam* controller, const char* line);

// Observes lines for tests; null restores the discarding sink. The observer
// is called on the emitting thread.
using Observer = void (*)(const char* line, void* context);
void SetObserver(Observer observer, void* context);

}  // namespace device_trace
}  // namespace morvex
