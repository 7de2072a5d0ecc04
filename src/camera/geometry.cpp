#include <vector>

#include "camera/morvex.h"
#include "camera/morvex_internal.h"
#include "device/morvex_z3u2_base.h"

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
  if (!RequireDevice()) return 0;
  std::vector<settings::SizeEntry> presets;
  if (!store_.ReadSizePresets(&presets)) {
    RecordError(kErrWindow);
    return 0;
  }
  auto matching = [&](const std::vector<settings::SizeEntry>& list) -> const settings::SizeEntry* {
    for (const settings::SizeEntry& entry : list)
      if (entry.eh == width && entry.ev == height) return &entry;
    return nullptr;
  };
  const settings::SizeEntry* preset = matching(presets);
  // Nothing writes presets under the main key itself; the selected camera's
  // own presets (first use and the camera dialog write them) come next.
  std::vector<settings::SizeEntry> own;
  if (preset == nullptr && selection_.opened()) {
    settings::FormatValues format;
    own = store_.ReadCameraSizes(device_->GetTableIndex(), &format);
    preset = matching(own);
  }
  if (preset == nullptr) {
    RecordError(kErrWindow);
    return 0;
  }
  total_h_ = preset->th, total_v_ = preset->tv;
  capture_width_ = preset->eh, capture_height_ = preset->ev;
  capture_x_ = preset->ehs, capture_y_ = preset->evs;
  buffer_count_ = preset->buf;
  if (!CaptureWindowValid()) {
    RecordError(kErrCaptureWindow);
    total_h_ = kSensorWidth, total_v_ = kSensorHeight;
    capture_width_ = kSensorWidth, capture_height_ = kSensorHeight;
    capture_x_ = 0, capture_y_ = 0;
  }
  SendWindowUnlessAcquiring();
  return 1;
}

int32_t CMorvex::SetCaptureWindowEx(int32_t total_h, int32_t x, int32_t width, int32_t total_v, int32_t y,
                                    int32_t height) {
  if (!RequireDevice()) return 0;
  // This camera's sensor has no free windowing: only the full width and height.
  if (width != kSensorWidth || height != kSensorHeight) {
    RecordError(kErrArgument);
    return 0;
  }
  total_h_ = total_h, capture_x_ = x, capture_width_ = width;
  total_v_ = total_v, capture_y_ = y, capture_height_ = height;
  if (!CaptureWindowValid()) {
    RecordError(kErrCaptureWindow);
    return 0;
  }
  SendWindowUnlessAcquiring();
  return 1;
}

// Mid-stream the FPGA framing and the ring are sized for the running
// window; a new one waits for the next prepare.
void CMorvex::SendWindowUnlessAcquiring() {
  if (mode_.load() != kIdle) {
    window_pending_ = true;
    return;
  }
  device_->SetWindow(capture_x_, capture_y_, capture_width_, capture_height_, subsample_);
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
  if (device_ != nullptr) {
    const settings::ColorCapabilities caps = ColorCapabilities();
    if (!caps.setting0 && (bits_per_pixel == 8 || bits_per_pixel == 32)) {
      RecordError(kErrArgument);
      return 0;
    }
    if (!caps.setting2 &&
        (bits_per_pixel == 24 || bits_per_pixel == 32 || bits_per_pixel == 48 || bits_per_pixel == 64)) {
      RecordError(kErrArgument);
      return 0;
    }
  }
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
  if (device_ == nullptr) return 0;  // no error recorded
  return device_->SetSamplingRate(rate, 0);
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
