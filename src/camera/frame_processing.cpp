#include "camera/morvex.h"
#include "imaging/dib_image.h"

namespace morvex {

namespace {
constexpr size_t kRaw8 = 0, kRaw16 = 1;
constexpr size_t kOutputImageOfMode[] = {kRaw8, kRaw16, 2, 3, 4, 5};
}  // namespace

imaging::CDibImage* CMorvex::OutputImage() {
  if (color_mode_ < 0 || color_mode_ > 5) return nullptr;
  return images_[kOutputImageOfMode[color_mode_]].get();
}

// Frames are not processed yet.
bool CMorvex::ProcessFrame() { return false; }

}  // namespace morvex
