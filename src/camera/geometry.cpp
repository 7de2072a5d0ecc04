#include <vector>

#include "camera/morvex.h"
#include "camera/morvex_internal.h"
#include "device/morvex_z3u2_base.h"

namespace morvex {

using camera_internal::kBitsPerColorMode;
using camera_internal::SetFlag;

// --- Capture geometry and video format ------------------------------------------------------

int32_t CMorvex::SetCaptureWindow(int32_t width, int32_t height) {
  if (!RequireDevice()) return 0;
  std::vector<settings::SizeEntry> presets;
  if (!stored_.store.ReadSizePresets(&presets)) {
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
    own = stored_.store.ReadCameraSizes(device_->GetTableIndex(), &format);
    preset = matching(own);
  }
  if (preset == nullptr) {
    RecordError(kErrWindow);
    return 0;
  }
  format_.set_size(*preset);
  if (!format_.WindowValid()) {
    RecordError(kErrCaptureWindow);
    format_.ResetWindow();
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
  format_.total_h = total_h, format_.x = x, format_.width = width;
  format_.total_v = total_v, format_.y = y, format_.height = height;
  if (!format_.WindowValid()) {
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
    format_.window_pending = true;
    return;
  }
  device_->SetWindow(format_.x, format_.y, format_.width, format_.height, format_.subsample);
}

int32_t CMorvex::GetCaptureWindowEx(int32_t* total_h, int32_t* x, int32_t* width, int32_t* total_v,
                                    int32_t* y, int32_t* height) const {
  SetFlag(total_h, format_.total_h);
  SetFlag(x, format_.x);
  SetFlag(width, format_.width);
  SetFlag(total_v, format_.total_v);
  SetFlag(y, format_.y);
  SetFlag(height, format_.height);
  return 1;
}

int32_t CMorvex::SetSubSample(int32_t mode) {
  if (mode != 0 && mode != 1) return 0;  // refused without an error
  format_.subsample = mode;
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
      format_.color_mode = index;
      return 1;
    }
  }
  RecordError(kErrArgument);
  return 0;
}

int32_t CMorvex::GetColorMode() const {
  if (format_.color_mode < 0 || format_.color_mode > 5) return -1;
  return kBitsPerColorMode[format_.color_mode];
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
  format_.wait_time_ms = milliseconds;
  return 1;
}

}  // namespace morvex
