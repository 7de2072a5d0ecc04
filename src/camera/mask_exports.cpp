#include "camera/morvex.h"

namespace morvex {

// --- Mask, files and dialogs ---------------------------------------------------------------------------

int32_t CMorvex::LoadMaskFile(const char* path) {
  (void)path;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::SaveMaskFile(const char* path) {
  (void)path;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::UpdateMaskData(int32_t which) {
  (void)which;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

}  // namespace morvex
