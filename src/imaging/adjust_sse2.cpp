// SSE2 row kernels of the grey adjustments; bit-exact with the scalar ones.
#include <emmintrin.h>

#include <algorithm>

#include "imaging/adjust_kernels.h"

namespace morvex::imaging::detail {
namespace {

inline __m128i SignExtendLow16(__m128i x) { return _mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16); }
inline __m128i SignExtendHigh16(__m128i x) { return _mm_srai_epi32(_mm_unpackhi_epi16(x, x), 16); }

// Four quotients trunc(n × 256 / span); spans of 0 divide by 1 (masked later).
inline __m128i Quotients(__m128i n32, __m128i span32) {
  const __m128i zero_span = _mm_cmpeq_epi32(span32, _mm_setzero_si128());
  const __m128i divisor =
      _mm_or_si128(_mm_andnot_si128(zero_span, span32), _mm_and_si128(zero_span, _mm_set1_epi32(1)));
  const __m128 q = _mm_div_ps(_mm_cvtepi32_ps(_mm_slli_epi32(n32, 8)), _mm_cvtepi32_ps(divisor));
  return _mm_cvttps_epi32(q);
}

}  // namespace

void MaskRow8Sse2(uint8_t* v, const uint8_t* d, const uint8_t* w, int32_t n) {
  const __m128i zero = _mm_setzero_si128();
  int32_t c = 0;
  for (; c + 16 <= n; c += 16) {
    const __m128i vv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + c));
    const __m128i dd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + c));
    const __m128i ww = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + c));
    __m128i halves[2];
    for (int h = 0; h < 2; ++h) {
      const __m128i v16 = h ? _mm_unpackhi_epi8(vv, zero) : _mm_unpacklo_epi8(vv, zero);
      const __m128i d16 = h ? _mm_unpackhi_epi8(dd, zero) : _mm_unpacklo_epi8(dd, zero);
      const __m128i w16 = h ? _mm_unpackhi_epi8(ww, zero) : _mm_unpacklo_epi8(ww, zero);
      const __m128i n16 = _mm_sub_epi16(v16, d16);
      const __m128i s16 = _mm_sub_epi16(w16, d16);
      const __m128i q_lo = Quotients(SignExtendLow16(n16), SignExtendLow16(s16));
      const __m128i q_hi = Quotients(SignExtendHigh16(n16), SignExtendHigh16(s16));
      halves[h] = _mm_packs_epi32(q_lo, q_hi);  // |q| ≤ 65280 saturates to ±32767, still outside 0 … 255
    }
    const __m128i result = _mm_packus_epi16(halves[0], halves[1]);  // clamps to 0 … 255
    const __m128i keep = _mm_cmpeq_epi8(ww, dd);
    const __m128i out = _mm_or_si128(_mm_and_si128(keep, vv), _mm_andnot_si128(keep, result));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(v + c), out);
  }
  MaskRow8Scalar(v + c, d + c, w + c, n - c);
}

void SharpenRow8Sse2(const uint16_t* col, const uint8_t* src, uint8_t* dst, int32_t x0, int32_t x1,
                     int32_t strength) {
  // 16-bit lanes hold strength × (v − blur) only while |strength| ≤ 128.
  if (strength < -128 || strength > 128) {
    SharpenRow8Scalar(col, src, dst, x0, x1, strength);
    return;
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i k = _mm_set1_epi16(static_cast<short>(strength));
  const __m128i magic = _mm_set1_epi16(26215);  // ⌈2^18 / 10⌉: n / 10 = (n · magic) >> 18, + 1 below zero
  auto load = [](const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  int32_t x = x0;
  for (; x + 8 <= x1; x += 8) {
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(load(col + x - 2), load(col + x - 1)),
                                      _mm_add_epi16(load(col + x), load(col + x + 1)));
    const __m128i blur = _mm_srli_epi16(sum, 4);
    const __m128i v = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + x)), zero);
    const __m128i product = _mm_mullo_epi16(_mm_sub_epi16(v, blur), k);
    const __m128i q =
        _mm_sub_epi16(_mm_srai_epi16(_mm_mulhi_epi16(product, magic), 2), _mm_srai_epi16(product, 15));
    const __m128i out = _mm_add_epi16(v, q);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x), _mm_packus_epi16(out, out));
  }
  SharpenRow8Scalar(col, src, dst, x, x1, strength);
}

namespace {
// Signed 32-bit lanes, clamped to 0 … 65535, packed to unsigned 16 bits.
inline __m128i PackClamped16(__m128i lo, __m128i hi) {
  const __m128i bias = _mm_set1_epi32(32768);
  const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(lo, bias), _mm_sub_epi32(hi, bias));
  return _mm_xor_si128(packed, _mm_set1_epi16(static_cast<short>(0x8000)));
}
}  // namespace

void MaskRow16Sse2(uint16_t* v, const uint16_t* d, const uint16_t* w, int32_t n) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi32(1);
  const __m128i top = _mm_set1_epi32(4095);
  int32_t c = 0;
  for (; c + 8 <= n; c += 8) {
    const __m128i vv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + c));
    const __m128i dd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + c));
    const __m128i ww = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + c));
    __m128i q[2];
    for (int h = 0; h < 2; ++h) {
      const __m128i v32 = h ? _mm_unpackhi_epi16(vv, zero) : _mm_unpacklo_epi16(vv, zero);
      const __m128i d32 = h ? _mm_unpackhi_epi16(dd, zero) : _mm_unpacklo_epi16(dd, zero);
      const __m128i w32 = h ? _mm_unpackhi_epi16(ww, zero) : _mm_unpacklo_epi16(ww, zero);
      const __m128i num = _mm_sub_epi32(v32, d32);
      const __m128i span = _mm_sub_epi32(w32, d32);
      const __m128i low = _mm_cmplt_epi32(num, one);                        // v ≤ D: 0
      const __m128i high = _mm_cmpgt_epi32(_mm_add_epi32(num, one), span);  // v − D ≥ span: 4095
      const __m128i bad = _mm_cmplt_epi32(span, one);
      const __m128i divisor = _mm_or_si128(_mm_andnot_si128(bad, span), _mm_and_si128(bad, one));
      const __m128i numerator = _mm_slli_epi32(_mm_andnot_si128(low, num), 12);
      // Exact: the numerator is below 2^28 and the divisor below 2^16.
      const __m128i q01 = _mm_cvttpd_epi32(_mm_div_pd(_mm_cvtepi32_pd(numerator), _mm_cvtepi32_pd(divisor)));
      const __m128i q23 = _mm_cvttpd_epi32(_mm_div_pd(_mm_cvtepi32_pd(_mm_srli_si128(numerator, 8)),
                                                      _mm_cvtepi32_pd(_mm_srli_si128(divisor, 8))));
      __m128i quotient = _mm_unpacklo_epi64(q01, q23);
      quotient = _mm_andnot_si128(low, quotient);
      quotient = _mm_or_si128(_mm_andnot_si128(high, quotient), _mm_and_si128(high, top));
      q[h] = quotient;
    }
    const __m128i result = _mm_slli_epi16(_mm_packs_epi32(q[0], q[1]), 4);
    // White at or below dark: the sample stays.
    const __m128i keep = _mm_cmpeq_epi16(_mm_subs_epu16(ww, dd), zero);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(v + c),
                     _mm_or_si128(_mm_and_si128(keep, vv), _mm_andnot_si128(keep, result)));
  }
  MaskRow16Scalar(v + c, d + c, w + c, n - c);
}

void SharpenRow16Sse2(const uint32_t* col, const uint16_t* src, uint16_t* dst, int32_t x0, int32_t x1,
                      int32_t strength) {
  // strength × (v − blur) stays below 2^21 and its tenth never lies within
  // single-precision rounding of an integer it does not equal.
  if (strength < -30 || strength > 30) {
    SharpenRow16Scalar(col, src, dst, x0, x1, strength);
    return;
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128 k = _mm_set1_ps(static_cast<float>(strength));
  const __m128 ten = _mm_set1_ps(10.0f);
  auto load = [](const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  auto four = [&](int32_t x, __m128i v) {
    const __m128i sum = _mm_add_epi32(_mm_add_epi32(load(col + x - 2), load(col + x - 1)),
                                      _mm_add_epi32(load(col + x), load(col + x + 1)));
    const __m128i diff = _mm_sub_epi32(v, _mm_srli_epi32(sum, 4));
    const __m128i q = _mm_cvttps_epi32(_mm_div_ps(_mm_mul_ps(_mm_cvtepi32_ps(diff), k), ten));
    return _mm_add_epi32(v, q);
  };
  int32_t x = x0;
  for (; x + 8 <= x1; x += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
    const __m128i lo = four(x, _mm_unpacklo_epi16(v, zero));
    const __m128i hi = four(x + 4, _mm_unpackhi_epi16(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), PackClamped16(lo, hi));
  }
  SharpenRow16Scalar(col, src, dst, x, x1, strength);
}

void GreyGainsRow16Sse2(const uint16_t* src, uint16_t* dst, int32_t n, int32_t gain_even, int32_t offset_even,
                        int32_t gain_odd, int32_t offset_odd, int32_t maximum) {
  const __m128i gains = _mm_set_epi16(static_cast<short>(gain_odd), static_cast<short>(gain_even),
                                      static_cast<short>(gain_odd), static_cast<short>(gain_even),
                                      static_cast<short>(gain_odd), static_cast<short>(gain_even),
                                      static_cast<short>(gain_odd), static_cast<short>(gain_even));
  const __m128i offsets = _mm_set_epi32(offset_odd, offset_even, offset_odd, offset_even);
  const __m128i top = _mm_set1_epi16(static_cast<short>(maximum - 32768));
  const __m128i bias = _mm_set1_epi32(32768);
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
    // Full 32-bit products of the 16-bit samples and gains.
    const __m128i lo16 = _mm_mullo_epi16(v, gains);
    const __m128i hi16 = _mm_mulhi_epu16(v, gains);
    const __m128i p_lo = _mm_srli_epi32(_mm_unpacklo_epi16(lo16, hi16), 7);
    const __m128i p_hi = _mm_srli_epi32(_mm_unpackhi_epi16(lo16, hi16), 7);
    const __m128i a = _mm_sub_epi32(_mm_add_epi32(p_lo, offsets), bias);
    const __m128i b = _mm_sub_epi32(_mm_add_epi32(p_hi, offsets), bias);
    // Saturating to −32768 … 32767 is clamping to 0 … 65535 before the bias
    // is taken back; the maximum is applied in the same biased form.
    const __m128i packed = _mm_min_epi16(_mm_packs_epi32(a, b), top);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k),
                     _mm_xor_si128(packed, _mm_set1_epi16(static_cast<short>(0x8000))));
  }
  if (k < n) {
    GreyGainsRow16Scalar(src + k, dst + k, n - k, gain_even, offset_even, gain_odd, offset_odd, maximum);
  }
}

}  // namespace morvex::imaging::detail
