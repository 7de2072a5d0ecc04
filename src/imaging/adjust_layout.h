// Sample access and layout families shared by the adjustment steps
// (internal to the layer).
#pragma once

#include <cstdint>
#include <cstring>

namespace morvex::imaging::detail {

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// Channels and sample size of a layout family.
struct Layout {
  int32_t channels;
  int32_t sample_bytes;
};
inline bool LayoutOf(int32_t bpp, Layout* out) {
  switch (bpp) {
    case 1:
      *out = {1, 1};
      return true;
    case 3:
    case 4:
      *out = {3, 1};
      return true;
    case 2:
      *out = {1, 2};
      return true;
    case 6:
    case 8:
      *out = {3, 2};
      return true;
    default:
      return false;
  }
}

}  // namespace morvex::imaging::detail
