// Small helpers shared by the camera instance's source files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvex::camera_internal {

inline constexpr int32_t kBitsPerColorMode[] = {8, 16, 24, 32, 48, 64};
// Wide-text conversions go through buffers of this many characters.
inline constexpr size_t kTextBufferSize = 1024;

inline void SetFlag(int32_t* flag, int32_t value) {
  if (flag != nullptr) *flag = value;
}

}  // namespace morvex::camera_internal
