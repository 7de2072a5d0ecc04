#include "camera/morvex.h"

namespace morvex {

int32_t CMorvex::SaveImage(const char* path, int32_t format) {
  (void)path, (void)format;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  RecordError(kErrNotReady);  // no image held yet
  return 0;
}

}  // namespace morvex
