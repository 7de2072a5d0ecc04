#include "camera/morvex.h"

namespace morvex {

int32_t CMorvex::Record(const char* path, int32_t duration_ms, int32_t show_preview) {
  (void)duration_ms, (void)show_preview;
  if (path == nullptr || path[0] == '\0') {
    RecordError(kErrArgument);
    return 0;
  }
  {
    // Frames are not copied to the application while recording.
    std::lock_guard<std::mutex> lock(error_lock_);
    callback_window_ = nullptr;
  }
  if (!StartPreview()) {
    RecordError(kErrFile);
    return 0;
  }
  return 0;
}

// No recorder runs yet: nothing to tell, nothing to stop.
void CMorvex::NotifyRecorderOfFrame() {}
void CMorvex::StopRecorder() {}

}  // namespace morvex
