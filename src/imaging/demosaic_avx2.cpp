// AVX2 variants: the 8-bit → 24-bit interior 32 pixels per step, and the
// 16-bit → 48-bit interior 16 pixels per step. Arithmetic runs on 256-bit
// vectors; each 128-bit half is interleaved into B G R runs with byte
// shuffles. Bit-exact with the scalar formulas.
#include <immintrin.h>

#include <cstring>

#include "imaging/demosaic.h"
#include "imaging/demosaic_rows.h"

namespace morvex::imaging {
namespace {

inline __m256i Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
inline __m256i Select(__m256i mask, __m256i when_set, __m256i otherwise) {
  return _mm256_blendv_epi8(otherwise, when_set, mask);
}

// Interleaves B, G, R vectors of `sample`-byte samples (32 or 16 pixels)
// into 96 bytes. Output vector 0 draws only on the low 128-bit halves of the
// channels, vector 2 only on the high halves and vector 1 on each half in
// place, so after one lane permute per case every byte shuffle stays within
// its lane.
class Interleaver {
 public:
  explicit Interleaver(int sample) {
    const int per_lane = 16 / sample;  // pixels in one 128-bit half
    for (int v = 0; v < 3; ++v) {
      for (int channel = 0; channel < 3; ++channel) {
        alignas(32) int8_t c[32];
        for (int j = 0; j < 32; ++j) {
          const int k = 32 * v + j;  // output byte
          const int pixel = k / (3 * sample);
          const bool mine = (k / sample) % 3 == channel;
          c[j] = mine ? static_cast<int8_t>((pixel % per_lane) * sample + k % sample)
                      : static_cast<int8_t>(-128);
        }
        control_[v][channel] = _mm256_load_si256(reinterpret_cast<const __m256i*>(c));
      }
    }
  }
  void Store256(uint8_t* out, __m256i b, __m256i g, __m256i r) const {
    const __m256i channels[3] = {b, g, r};
    for (int v = 0; v < 3; ++v) {
      __m256i acc = _mm256_setzero_si256();
      for (int ch = 0; ch < 3; ++ch) {
        __m256i source = channels[ch];
        if (v == 0) source = _mm256_permute2x128_si256(source, source, 0x00);
        if (v == 2) source = _mm256_permute2x128_si256(source, source, 0x11);
        acc = _mm256_or_si256(acc, _mm256_shuffle_epi8(source, control_[v][ch]));
      }
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * v), acc);
    }
  }

 private:
  __m256i control_[3][3];
};

// ---- 8 bits ----------------------------------------------------------------

inline __m256i FloorAverage8(__m256i a, __m256i b) {
  return _mm256_sub_epi8(_mm256_avg_epu8(a, b),
                         _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1)));
}

// min(255, (S × w) >> 11) with S = 9 a + 3 b + 3 c + d on 16-bit lanes.
inline __m256i Weighted8(__m256i a8, __m256i b8, __m256i c8, __m256i d8, __m256i weight2) {
  const __m256i zero = _mm256_setzero_si256();
  auto half = [&](bool high) {
    auto widen = [&](__m256i x) {
      return high ? _mm256_unpackhi_epi8(x, zero) : _mm256_unpacklo_epi8(x, zero);
    };
    const __m256i a = widen(a8), b = widen(b8), c = widen(c8), d = widen(d8);
    const __m256i t = _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(a, a), a), _mm256_add_epi16(b, c));
    const __m256i s = _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(t, t), t), d);
    return _mm256_mulhi_epu16(_mm256_slli_epi16(s, 4), weight2);
  };
  return _mm256_packus_epi16(half(false), half(true));  // unpack and pack pair up within each 128-bit lane
}

int Demosaic8Avx2(uint8_t* dst, const uint8_t* src, const Rect& rect, int32_t dst_x, int32_t dst_y,
                  int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t mode,
                  void* extra) {
  const BayerGains gains = extra ? *static_cast<const BayerGains*>(extra) : BayerGains{};
  const int32_t wr = BayerWeight(gains.red), wb = BayerWeight(gains.blue);
  if (src_bpp != 1 || dst_bpp != 3 || wr < 0 || wb < 0 || wr > 16383 || wb > 16383) {
    return Demosaic8Scalar(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, mode,
                           extra);
  }
  const int32_t w = rect.width(), h = rect.height();
  if (w < 5 || h < 5) return 1;
  const Interleaver interleave(1);
  const __m256i odd_lanes = _mm256_set1_epi16(static_cast<short>(0xFF00));
  const __m256i even_lanes = _mm256_xor_si256(odd_lanes, _mm256_set1_epi8(-1));
  const __m256i wr2 = _mm256_set1_epi16(static_cast<short>(wr * 2));
  const __m256i wb2 = _mm256_set1_epi16(static_cast<short>(wb * 2));
  const uint8_t* base = src + static_cast<int64_t>(rect.top) * src_stride + rect.left;
  for (int32_t y = 2; y < h - 2; ++y) {
    const auto r = detail::InteriorRows(base, src_stride, y, mode & 3);
    uint8_t* out = dst + static_cast<int64_t>(dst_y + y) * dst_stride + dst_x * 3;
    const __m256i red_mask = r.red_parity ? odd_lanes : even_lanes;
    const __m256i green_mask = r.green_parity ? odd_lanes : even_lanes;
    auto chunk = [&](int32_t x) {
      const __m256i red = Weighted8(Select(red_mask, Load(r.red_near + x), Load(r.red_near + x - 1)),
                                    Select(red_mask, Load(r.red_near + x - 2), Load(r.red_near + x + 1)),
                                    Select(red_mask, Load(r.red_far + x), Load(r.red_far + x - 1)),
                                    Select(red_mask, Load(r.red_far + x - 2), Load(r.red_far + x + 1)), wr2);
      const __m256i blue =
          Weighted8(Select(red_mask, Load(r.blue_near + x - 1), Load(r.blue_near + x)),
                    Select(red_mask, Load(r.blue_near + x + 1), Load(r.blue_near + x - 2)),
                    Select(red_mask, Load(r.blue_far + x - 1), Load(r.blue_far + x)),
                    Select(red_mask, Load(r.blue_far + x + 1), Load(r.blue_far + x - 2)), wb2);
      const __m256i green =
          Select(green_mask, FloorAverage8(Load(r.green_top + x - 1), Load(r.green_bottom + x)),
                 FloorAverage8(Load(r.green_top + x), Load(r.green_bottom + x - 1)));
      interleave.Store256(out + x * 3, blue, green, red);
    };
    int32_t x = 2;
    for (; x + 32 <= w - 2; x += 32) chunk(x);
    // One more step moved back (to an even column) over pixels already done:
    // they get the same values again, and the scalar tail shrinks to at most
    // one pixel.
    if (x < w - 2 && x > 2) {
      const int32_t back = (w - 2 - 32) & ~1;
      chunk(back);
      x = back + 32;
    }
    detail::Demosaic8Span(r, x, w - 2, out + x * 3, 3, wr, wb);
  }
  return 1;
}

// ---- 16 bits ---------------------------------------------------------------

inline __m256i FloorAverage16(__m256i a, __m256i b) {
  return _mm256_sub_epi16(_mm256_avg_epu16(a, b),
                          _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi16(1)));
}

// min(65535, (S × w) >> 11), S = 9 a + 3 b + 3 c + d on 32-bit lanes
// (S < 2^20, w < 2^11, so the product stays below 2^31).
inline __m256i Weighted16(__m256i a16, __m256i b16, __m256i c16, __m256i d16, __m256i weight) {
  const __m256i zero = _mm256_setzero_si256();
  auto half = [&](bool high) {
    auto widen = [&](__m256i x) {
      return high ? _mm256_unpackhi_epi16(x, zero) : _mm256_unpacklo_epi16(x, zero);
    };
    const __m256i a = widen(a16), b = widen(b16), c = widen(c16), d = widen(d16);
    const __m256i t = _mm256_add_epi32(_mm256_add_epi32(_mm256_add_epi32(a, a), a), _mm256_add_epi32(b, c));
    const __m256i s = _mm256_add_epi32(_mm256_add_epi32(_mm256_add_epi32(t, t), t), d);
    return _mm256_srli_epi32(_mm256_mullo_epi32(s, weight), 11);
  };
  return _mm256_packus_epi32(half(false), half(true));  // saturates exactly where S × w ≥ 0x8000000
}

inline __m256i Load16(const uint16_t* p) { return Load(p); }

int Demosaic16Avx2(uint8_t* dst, const uint8_t* src, const Rect& rect, int32_t dst_x, int32_t dst_y,
                   int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t mode,
                   void* extra) {
  const BayerGains gains = extra ? *static_cast<const BayerGains*>(extra) : BayerGains{};
  const int32_t wr = BayerWeight(gains.red), wb = BayerWeight(gains.blue);
  if (src_bpp != 2 || dst_bpp != 6 || wr < 0 || wb < 0 || wr > 2047 || wb > 2047) {
    return Demosaic16(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, mode, extra);
  }
  const int32_t w = rect.width(), h = rect.height();
  if (w < 5 || h < 5) return 1;
  const Interleaver interleave(2);
  const __m256i odd_lanes = _mm256_set1_epi32(static_cast<int>(0xFFFF0000u));
  const __m256i even_lanes = _mm256_xor_si256(odd_lanes, _mm256_set1_epi8(-1));
  const __m256i wr32 = _mm256_set1_epi32(wr);
  const __m256i wb32 = _mm256_set1_epi32(wb);
  const auto* base =
      reinterpret_cast<const uint16_t*>(src + static_cast<int64_t>(rect.top) * src_stride) + rect.left;
  const int64_t stride = src_stride / 2;
  for (int32_t y = 2; y < h - 2; ++y) {
    const auto r = detail::InteriorRows(base, stride, y, mode & 3);
    uint8_t* out = dst + static_cast<int64_t>(dst_y + y) * dst_stride + dst_x * 6;
    const __m256i red_mask = r.red_parity ? odd_lanes : even_lanes;
    const __m256i green_mask = r.green_parity ? odd_lanes : even_lanes;
    auto chunk = [&](int32_t x) {
      const __m256i red =
          Weighted16(Select(red_mask, Load16(r.red_near + x), Load16(r.red_near + x - 1)),
                     Select(red_mask, Load16(r.red_near + x - 2), Load16(r.red_near + x + 1)),
                     Select(red_mask, Load16(r.red_far + x), Load16(r.red_far + x - 1)),
                     Select(red_mask, Load16(r.red_far + x - 2), Load16(r.red_far + x + 1)), wr32);
      const __m256i blue =
          Weighted16(Select(red_mask, Load16(r.blue_near + x - 1), Load16(r.blue_near + x)),
                     Select(red_mask, Load16(r.blue_near + x + 1), Load16(r.blue_near + x - 2)),
                     Select(red_mask, Load16(r.blue_far + x - 1), Load16(r.blue_far + x)),
                     Select(red_mask, Load16(r.blue_far + x + 1), Load16(r.blue_far + x - 2)), wb32);
      const __m256i green =
          Select(green_mask, FloorAverage16(Load16(r.green_top + x - 1), Load16(r.green_bottom + x)),
                 FloorAverage16(Load16(r.green_top + x), Load16(r.green_bottom + x - 1)));
      interleave.Store256(out + x * 6, blue, green, red);
    };
    int32_t x = 2;
    for (; x + 16 <= w - 2; x += 16) chunk(x);
    if (x < w - 2 && x > 2) {  // see the 8-bit routine
      const int32_t back = (w - 2 - 16) & ~1;
      chunk(back);
      x = back + 16;
    }
    detail::Demosaic16Span(r, x, w - 2, reinterpret_cast<uint16_t*>(out + x * 6), 3, wr, wb);
  }
  return 1;
}

}  // namespace

ImageOperation Demosaic8Avx2Routine() { return &Demosaic8Avx2; }
ImageOperation Demosaic16Avx2Routine() { return &Demosaic16Avx2; }

}  // namespace morvex::imaging
