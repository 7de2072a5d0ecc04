#include "camera/morvex.h"
#include "camera/morvex_internal.h"

namespace morvex {

using camera_internal::kBitsPerColorMode;
using camera_internal::SetFlag;

// --- Capture geometry and video format ------------------------------------------------------

bool CMorvex::CaptureWindowValid() const {
  if (capture_width_ < 0 || capture_height_ < 0 || capture_x_ < 0 || capture_y_ < 0) return false;
  if (capture_width_ > kSensorWidth || capture_height_ > kSensorHeight) return false;
  if (capture_x_ > kSensorWidth || capture_y_ > kSensorHeight) return false;
  if (capture_x_ + capture_width_ > kSensorWidth || capture_y_ + capture_height_ > kSensorHeight)
    return false;
  switch (subsample_) {
    case 2:
    case 3:
    case 17:
    case 18:
    case 19:
      return false;
    default:
      return true;
  }
}

int32_t CMorvex::SetCaptureWindow(int32_t width, int32_t height) {
  (void)width;
  (void)height;
  if (!RequireDevice()) return 0;
  return 0;  // presets come from the settings store
}

int32_t CMorvex::SetCaptureWindowEx(int32_t total_h, int32_t x, int32_t width, int32_t total_v, int32_t y,
                                    int32_t height) {
  (void)total_h, (void)x, (void)width, (void)total_v, (void)y, (void)height;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::GetCaptureWindowEx(int32_t* total_h, int32_t* x, int32_t* width, int32_t* total_v,
                                    int32_t* y, int32_t* height) const {
  SetFlag(total_h, total_h_);
  SetFlag(x, capture_x_);
  SetFlag(width, capture_width_);
  SetFlag(total_v, total_v_);
  SetFlag(y, capture_y_);
  SetFlag(height, capture_height_);
  return 1;
}

int32_t CMorvex::SetSubSample(int32_t mode) {
  if (mode != 0 && mode != 1) return 0;  // refused without an error
  subsample_ = mode;
  return 1;
}

int32_t CMorvex::SetColorMode(int32_t bits_per_pixel) {
  // The device's output capabilities are checked first once it exists.
  for (int32_t index = 0; index < 6; ++index) {
    if (kBitsPerColorMode[index] == bits_per_pixel) {
      color_mode_ = index;
      return 1;
    }
  }
  RecordError(kErrArgument);
  return 0;
}

int32_t CMorvex::GetColorMode() const {
  if (color_mode_ < 0 || color_mode_ > 5) return -1;
  return kBitsPerColorMode[color_mode_];
}

int32_t CMorvex::SetSamplingRate(int32_t rate) {
  (void)rate;
  return 0;  // without a device object: 0 and no error
}

int32_t CMorvex::GetSamplingRate(int32_t* rate) const {
  SetFlag(rate, 0);
  return 0;
}

int32_t CMorvex::SetWaitTime(int32_t milliseconds) {
  if (milliseconds < 0) return 0;  // refused without an error
  wait_time_ms_ = milliseconds;
  return 1;
}

}  // namespace morvex
