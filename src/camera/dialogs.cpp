#include "camera/morvex.h"

namespace morvex {

int32_t CMorvex::CameraDialog(platform::WindowHandle owner) {
  (void)owner;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::AnalogDialog(platform::WindowHandle owner) {
  (void)owner;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::ImageDialog(platform::WindowHandle owner) {
  (void)owner;
  if (!RequireDevice()) return 0;
  return 0;
}

}  // namespace morvex
