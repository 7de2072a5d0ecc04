// The 8-bit → 24-bit interior demosaic on 128-bit vectors, 16 pixels per
// step. Included by one translation unit per instruction set; everything
// here has internal linkage so the per-file compiler flags never mix.
#pragma once

#include <emmintrin.h>

#include <cstring>

#include "imaging/demosaic.h"
#include "imaging/demosaic_rows.h"

namespace morvex::imaging {
namespace {

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

inline __m128i Select(__m128i mask, __m128i when_set, __m128i otherwise) {
  return _mm_or_si128(_mm_and_si128(mask, when_set), _mm_andnot_si128(mask, otherwise));
}

// (a + b) >> 1 per byte: the rounding average minus the carried-in half.
inline __m128i FloorAverage(__m128i a, __m128i b) {
  return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

// S = 9 near + 3 near' + 3 far + far' on 16-bit lanes, then
// min(255, (S × w) >> 11): (S << 4) × (w << 1) >> 16 is the same product
// shifted by 11, and packing saturates exactly where S × w ≥ 0x80000.
inline __m128i WeightedChannel(__m128i near_a, __m128i near_b, __m128i far_a, __m128i far_b,
                               __m128i weight2) {
  const __m128i zero = _mm_setzero_si128();
  auto half = [&](auto unpack) {
    const __m128i a = unpack(near_a, zero), b = unpack(near_b, zero);
    const __m128i c = unpack(far_a, zero), d = unpack(far_b, zero);
    const __m128i t = _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(a, a), a), _mm_add_epi16(b, c));
    const __m128i s = _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(t, t), t), d);
    return _mm_mulhi_epu16(_mm_slli_epi16(s, 4), weight2);
  };
  const __m128i lo = half([](__m128i x, __m128i z) { return _mm_unpacklo_epi8(x, z); });
  const __m128i hi = half([](__m128i x, __m128i z) { return _mm_unpackhi_epi8(x, z); });
  return _mm_packus_epi16(lo, hi);
}

// Computes 16 pixels starting at even x; Store writes them as BGR triples.
template <typename Store>
void DemosaicRow16(const detail::DemosaicRows<uint8_t>& r, int32_t x_end, uint8_t* out_row, int32_t wr,
                   int32_t wb, const Store& store) {
  // Lane i is column x + i with x even, so lane parity is i & 1.
  const __m128i odd_lanes = _mm_set1_epi16(static_cast<short>(0xFF00));
  const __m128i red_mask = r.red_parity ? odd_lanes : _mm_xor_si128(odd_lanes, _mm_set1_epi8(-1));
  const __m128i green_mask = r.green_parity ? odd_lanes : _mm_xor_si128(odd_lanes, _mm_set1_epi8(-1));
  const __m128i wr2 = _mm_set1_epi16(static_cast<short>(wr * 2));
  const __m128i wb2 = _mm_set1_epi16(static_cast<short>(wb * 2));
  auto chunk = [&](int32_t x) {
    // Red: near column is x where red sits at x, else x − 1; far column
    // x − 2 or x + 1 respectively. Blue is the mirror image of that.
    const __m128i rn0 = Load(r.red_near + x), rn1 = Load(r.red_near + x - 1);
    const __m128i rn2 = Load(r.red_near + x - 2), rn3 = Load(r.red_near + x + 1);
    const __m128i rf0 = Load(r.red_far + x), rf1 = Load(r.red_far + x - 1);
    const __m128i rf2 = Load(r.red_far + x - 2), rf3 = Load(r.red_far + x + 1);
    const __m128i red = WeightedChannel(Select(red_mask, rn0, rn1), Select(red_mask, rn2, rn3),
                                        Select(red_mask, rf0, rf1), Select(red_mask, rf2, rf3), wr2);
    const __m128i bn0 = Load(r.blue_near + x), bn1 = Load(r.blue_near + x - 1);
    const __m128i bn2 = Load(r.blue_near + x - 2), bn3 = Load(r.blue_near + x + 1);
    const __m128i bf0 = Load(r.blue_far + x), bf1 = Load(r.blue_far + x - 1);
    const __m128i bf2 = Load(r.blue_far + x - 2), bf3 = Load(r.blue_far + x + 1);
    const __m128i blue = WeightedChannel(Select(red_mask, bn1, bn0), Select(red_mask, bn3, bn2),
                                         Select(red_mask, bf1, bf0), Select(red_mask, bf3, bf2), wb2);
    const __m128i gt0 = Load(r.green_top + x), gt1 = Load(r.green_top + x - 1);
    const __m128i gb0 = Load(r.green_bottom + x), gb1 = Load(r.green_bottom + x - 1);
    const __m128i green = Select(green_mask, FloorAverage(gt1, gb0), FloorAverage(gt0, gb1));
    store(out_row + x * 3, blue, green, red);
  };
  const int32_t x = detail::ChunkedColumns<16>(x_end, chunk);
  detail::Demosaic8Span(r, x, x_end, out_row + x * 3, 3, wr, wb);
}

template <typename Store>
int DemosaicInterior(uint8_t* dst, const uint8_t* src, const Rect& rect, int32_t dst_x, int32_t dst_y,
                     int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t mode,
                     void* extra, const Store& store) {
  if (src_bpp != 1 || dst_bpp != 3)
    return Demosaic8Scalar(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, mode,
                           extra);
  const BayerGains gains = extra ? *static_cast<const BayerGains*>(extra) : BayerGains{};
  const int32_t w = rect.width();
  const int32_t h = rect.height();
  // The vector path holds weights in 16-bit lanes; larger gains never get
  // here (the routine choice sends them to the scalar code).
  const int32_t wr = BayerWeight(gains.red), wb = BayerWeight(gains.blue);
  if (w < 5 || h < 5) return 1;
  if (wr < 0 || wb < 0 || wr > 16383 || wb > 16383) {
    return Demosaic8Scalar(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, mode,
                           extra);
  }
  const uint8_t* base = src + static_cast<int64_t>(rect.top) * src_stride + rect.left;
  for (int32_t y = 2; y < h - 2; ++y) {
    const auto rows = detail::InteriorRows(base, src_stride, y, mode & 3);
    uint8_t* out_row = dst + static_cast<int64_t>(dst_y + y) * dst_stride + dst_x * 3;
    DemosaicRow16(rows, w - 2, out_row, wr, wb, store);
  }
  return 1;
}

}  // namespace
}  // namespace morvex::imaging
