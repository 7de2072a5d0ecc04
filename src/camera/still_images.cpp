#include "camera/morvex.h"
#include "files/still_image.h"
#include "imaging/dib_image.h"

namespace morvex {

int32_t CMorvex::SaveImage(const char* path, int32_t format) {
  if (!RequireDevice()) return 0;
  // The last processed image stays saveable after acquisition stops.
  if (image_held_.load() == 0) {
    RecordError(kErrNotReady);
    return 0;
  }
  if (path == nullptr) return 0;
  // The acquisition waits: the image cannot change while it is written.
  std::lock_guard<std::mutex> lock(frame_lock_);
  const imaging::CDibImage* image = OutputImage();
  if (image == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  return files::SaveImageFile(path, *image, format) ? 1 : 0;
}

}  // namespace morvex
