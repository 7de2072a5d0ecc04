#include "camera/capture_format.h"

namespace morvex {

bool CaptureFormat::WindowValid() const {
  if (width < 0 || height < 0 || x < 0 || y < 0) return false;
  if (width > kSensorWidth || height > kSensorHeight) return false;
  if (x > kSensorWidth || y > kSensorHeight) return false;
  if (x + width > kSensorWidth || y + height > kSensorHeight) return false;
  switch (subsample) {
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

void CaptureFormat::set_size(const settings::SizeEntry& size) {
  total_h = size.th, total_v = size.tv;
  width = size.eh, height = size.ev;
  x = size.ehs, y = size.evs;
  buffers = size.buf;
}

void CaptureFormat::ResetWindow() {
  total_h = kSensorWidth, total_v = kSensorHeight;
  width = kSensorWidth, height = kSensorHeight;
  x = 0, y = 0;
}

void CaptureFormat::FrameSize(int32_t* frame_width, int32_t* frame_height) const {
  *frame_width = width, *frame_height = height;
  if (subsample == 1 || subsample == 17) *frame_width /= 2, *frame_height /= 2;
}

}  // namespace morvex
