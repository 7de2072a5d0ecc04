// The reference frames and defect maps: filled from the last raw frame,
// stored in and loaded from mask files.
#include <mutex>

#include "camera/morvex.h"
#include "files/mask_file.h"
#include "imaging/defect_mask.h"

namespace morvex {

int32_t CMorvex::LoadMaskFile(const char* path) {
  if (!RequireDevice() || !RequireBuffers()) return 0;
  if (path == nullptr || !files::LoadMaskFile(path, *images_.mask())) {
    RecordError(kErrMaskFile);
    return 0;
  }
  return 1;
}

int32_t CMorvex::SaveMaskFile(const char* path) {
  if (!RequireDevice() || !RequireBuffers()) return 0;
  if (path == nullptr || !files::SaveMaskFile(path, *images_.mask())) {
    RecordError(kErrMaskFile);
    return 0;
  }
  return 1;
}

int32_t CMorvex::UpdateMaskData(int32_t which) {
  if (!RequireDevice() || !RequireBuffers()) return 0;
  // The raw image is the worker's between frames; the mask lock is taken
  // inside the frame lock, as the pipeline takes it.
  std::lock_guard<std::mutex> frame(frame_lock_);
  const imaging::CDibImage* raw = ImageSet().RawFor(prepared_color_mode_);
  if (raw == nullptr) return 1;
  if (images_.mask()->Update(*raw, which) == imaging::MaskUpdate::kBadSelector) {
    RecordError(kErrFile);
    return 0;
  }
  return 1;
}

}  // namespace morvex
