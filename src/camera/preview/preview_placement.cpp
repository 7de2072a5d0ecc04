#include "camera/morvex.h"

namespace morvex {

// Only remembers where the next preview window goes; an existing window is
// neither moved nor resized.
int32_t CMorvex::SetPreviewWindow(platform::WindowHandle parent, int32_t x, int32_t y, int32_t width,
                                  int32_t height) {
  if (!RequireDevice()) return 0;
  preview_placement_.parent = parent;
  preview_placement_.x = x;
  preview_placement_.y = y;
  preview_placement_.width = width;
  preview_placement_.height = height;
  return 1;
}

}  // namespace morvex
