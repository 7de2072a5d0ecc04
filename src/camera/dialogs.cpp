// Without a display no dialog can be shown: each export answers as a
// dialog that could not be made.
#include "camera/morvex.h"

namespace morvex {

int32_t CMorvex::CameraDialog(platform::WindowHandle) {
  if (!RequireDevice()) return 0;
  RecordError(kErrWindow);
  return 0;
}

int32_t CMorvex::AnalogDialog(platform::WindowHandle) {
  if (!RequireDevice()) return 0;
  RecordError(kErrWindow);
  return 0;
}

int32_t CMorvex::ImageDialog(platform::WindowHandle) {
  if (!RequireDevice()) return 0;
  RecordError(kErrWindow);
  return 0;
}

}  // namespace morvex
