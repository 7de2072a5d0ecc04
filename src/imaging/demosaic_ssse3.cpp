// SSSE3 variant: byte shuffles interleave 16 pixels into three stores.
#include <tmmintrin.h>

#include "imaging/demosaic_x86_core.h"

namespace morvex::imaging {
namespace {

// Shuffle control placing channel `channel` of the 16 pixels into output
// vector `part` of the 48-byte B G R run.
inline __m128i Control(int part, int channel) {
  alignas(16) int8_t c[16];
  for (int j = 0; j < 16; ++j) {
    const int k = 16 * part + j;
    c[j] = (k % 3 == channel) ? static_cast<int8_t>(k / 3) : static_cast<int8_t>(-128);
  }
  return _mm_load_si128(reinterpret_cast<const __m128i*>(c));
}

struct StoreSsse3 {
  __m128i control[3][3];
  StoreSsse3() {
    for (int part = 0; part < 3; ++part)
      for (int channel = 0; channel < 3; ++channel) control[part][channel] = Control(part, channel);
  }
  void operator()(uint8_t* out, __m128i b, __m128i g, __m128i r) const {
    for (int part = 0; part < 3; ++part) {
      const __m128i v = _mm_or_si128(
          _mm_or_si128(_mm_shuffle_epi8(b, control[part][0]), _mm_shuffle_epi8(g, control[part][1])),
          _mm_shuffle_epi8(r, control[part][2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * part), v);
    }
  }
};

int Demosaic8Ssse3(uint8_t* dst, const uint8_t* src, const Rect& rect, int32_t dst_x, int32_t dst_y,
                   int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                   void* extra) {
  const StoreSsse3 store;
  return DemosaicInterior(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, param,
                          extra, store);
}

}  // namespace

ImageOperation Demosaic8Ssse3Routine() { return &Demosaic8Ssse3; }

}  // namespace morvex::imaging
