#include "camera/morvex.h"

namespace morvex {

// --- Acquisition and preview window -----------------------------------------------------------

int32_t CMorvex::Preview() { return CallBackPreview(nullptr, nullptr, 0, 0); }

int32_t CMorvex::CallBackPreview(platform::WindowHandle window, void* buffer, int32_t size,
                                 int32_t row_order) {
  (void)buffer, (void)size, (void)row_order;
  {
    std::lock_guard<std::mutex> lock(error_lock_);
    callback_window_ = window;
  }
  if (!StartPreview()) {
    Close();
    RecordError(kErrAcquisition);
    return 0;
  }
  return 1;
}

int32_t CMorvex::Capture() {
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::SnapShot(void* buffer, int32_t size, int32_t row_order) {
  (void)buffer, (void)size, (void)row_order;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::Trigger(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order) {
  (void)window, (void)buffer, (void)size, (void)row_order;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::StartPreview() {
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::StopPreview() {
  if (!RequireDevice()) return 0;
  return 1;
}

int32_t CMorvex::GetImage(void* buffer, int32_t size, int32_t row_order) {
  (void)buffer, (void)size, (void)row_order;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  RecordError(kErrBuffer);  // no image is held yet
  return 0;
}

int32_t CMorvex::SetPreviewWindow(platform::WindowHandle parent, int32_t x, int32_t y, int32_t width,
                                  int32_t height) {
  (void)parent, (void)x, (void)y, (void)width, (void)height;
  if (!RequireDevice()) return 0;
  return 0;
}

}  // namespace morvex
