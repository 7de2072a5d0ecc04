// SSE2 variant: interleaves through 32-bit B G R 0 pixels compacted to 12
// bytes per four pixels.
#include "imaging/demosaic_x86_core.h"

namespace morvex::imaging {
namespace {

inline void Store12(uint8_t* out, __m128i pixels) {
  const __m128i low = _mm_and_si128(pixels, _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF));
  const __m128i high = _mm_srli_epi64(_mm_and_si128(pixels, _mm_set_epi32(0x00FFFFFF, 0, 0x00FFFFFF, 0)), 8);
  const __m128i six = _mm_or_si128(low, high);  // bytes 0..5 and 8..13
  const __m128i packed = _mm_or_si128(_mm_move_epi64(six), _mm_slli_si128(_mm_srli_si128(six, 8), 6));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
  const int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
  std::memcpy(out + 8, &tail, 4);
}

struct StoreSse2 {
  void operator()(uint8_t* out, __m128i b, __m128i g, __m128i r) const {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bg_lo = _mm_unpacklo_epi8(b, g), bg_hi = _mm_unpackhi_epi8(b, g);
    const __m128i r_lo = _mm_unpacklo_epi8(r, zero), r_hi = _mm_unpackhi_epi8(r, zero);
    Store12(out + 0, _mm_unpacklo_epi16(bg_lo, r_lo));
    Store12(out + 12, _mm_unpackhi_epi16(bg_lo, r_lo));
    Store12(out + 24, _mm_unpacklo_epi16(bg_hi, r_hi));
    Store12(out + 36, _mm_unpackhi_epi16(bg_hi, r_hi));
  }
};

int Demosaic8Sse2(uint8_t* dst, const uint8_t* src, const Rect& rect, int32_t dst_x, int32_t dst_y,
                  int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                  void* extra) {
  return DemosaicInterior(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, param,
                          extra, StoreSse2{});
}

}  // namespace

ImageOperation Demosaic8Sse2Routine() { return &Demosaic8Sse2; }

}  // namespace morvex::imaging
