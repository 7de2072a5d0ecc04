// SSE2 variant of the 16-bit → 48/64-bit interior, 8 pixels per step, for
// processors without AVX2. The same paired-sample multiply-adds as the AVX2
// kernel; SSE2 has no unsigned 32 → 16 pack, so results are moved down by
// 32768 before the signed pack and back after it. Bit-exact with the scalar
// formulas.
#include <emmintrin.h>

#include "imaging/demosaic.h"
#include "imaging/demosaic_rows.h"

namespace morvex::imaging {
namespace {

// S × w must stay below 2^31 for the signed arithmetic below: w < 2048.
constexpr int32_t kMaxWeight = 2047;

inline __m128i Load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

inline __m128i WordPair(int32_t low, int32_t high) {
  return _mm_set1_epi32(
      static_cast<int32_t>((static_cast<uint32_t>(high) << 16) | static_cast<uint32_t>(low)));
}

inline __m128i SignFlip() { return _mm_set1_epi16(static_cast<short>(0x8000)); }

// Weights folded into the multipliers (see the AVX2 kernel). The constant
// returns the sample bias, 16 · 32768 · w, and takes 32768 · 2048 off so that
// the shifted result lands in the signed pack's range.
struct Weights {
  explicit Weights(int32_t w)
      : near_93(WordPair(9 * w, 3 * w)),
        near_39(WordPair(3 * w, 9 * w)),
        far_31(WordPair(3 * w, w)),
        far_13(WordPair(w, 3 * w)),
        bias(_mm_set1_epi32(524288 * w - 32768 * 2048)) {}
  __m128i near_93, near_39, far_31, far_13, bias;
};

// Word 2k = row[left + 2k], word 2k + 1 = row[left + 2k + 2], biased.
inline __m128i Pairs(const uint16_t* row, int32_t left) {
  const __m128i low_words = _mm_set1_epi32(0xFFFF);
  const __m128i pairs = _mm_or_si128(_mm_and_si128(low_words, Load(row + left)),
                                     _mm_andnot_si128(low_words, Load(row + left + 1)));
  return _mm_xor_si128(pairs, SignFlip());
}

// (S × w >> 11) − 32768; exact because S × w − 2^26 fits a signed dword.
inline __m128i Sum(__m128i near_pairs, __m128i near_weights, __m128i far_pairs, __m128i far_weights,
                   __m128i bias) {
  const __m128i s =
      _mm_add_epi32(_mm_madd_epi16(near_pairs, near_weights), _mm_madd_epi16(far_pairs, far_weights));
  return _mm_srai_epi32(_mm_add_epi32(s, bias), 11);
}

inline void EvenSites(const uint16_t* near, const uint16_t* far, int32_t x, const Weights& w, __m128i& even,
                      __m128i& odd) {
  even = Sum(Pairs(near, x - 2), w.near_39, Pairs(far, x - 2), w.far_13, w.bias);
  odd = Sum(Pairs(near, x), w.near_93, Pairs(far, x), w.far_31, w.bias);
}

inline void OddSites(const uint16_t* near, const uint16_t* far, int32_t x, const Weights& w, __m128i& even,
                     __m128i& odd) {
  const __m128i n = Pairs(near, x - 1), f = Pairs(far, x - 1);
  even = Sum(n, w.near_93, f, w.far_31, w.bias);
  odd = Sum(n, w.near_39, f, w.far_13, w.bias);
}

// Signed pack with saturation, then back up by 32768: min(v, 65535).
inline __m128i Pack(__m128i a, __m128i b) { return _mm_xor_si128(_mm_packs_epi32(a, b), SignFlip()); }

// 8 pixels of 48 bits: dwords (B, G) (R, B') (G', R') of each pair, laid
// side by side.
struct Store48 {
  void operator()(uint16_t* out, __m128i be, __m128i bo, __m128i ge, __m128i go, __m128i re,
                  __m128i ro) const {
    const __m128i x = Pack(be, re), y = Pack(ge, bo), z = Pack(go, ro);
    const __m128i d0 = _mm_unpacklo_epi16(x, y);
    const __m128i d1 = _mm_unpackhi_epi16(x, y);
    const __m128i d2 = _mm_unpacklo_epi16(z, _mm_unpackhi_epi64(z, z));
    // o0 = d0[0] d1[0] d2[0] d0[1], o1 = d1[1] d2[1] d0[2] d1[2],
    // o2 = d2[2] d0[3] d1[3] d2[3].
    const __m128i t = _mm_unpacklo_epi32(d0, d1);
    const __m128i u = _mm_unpacklo_epi32(d2, _mm_srli_si128(d0, 4));
    const __m128i v = _mm_unpacklo_epi32(_mm_srli_si128(d1, 4), _mm_srli_si128(d2, 4));
    const __m128i w = _mm_unpackhi_epi32(d0, d1);
    const __m128i o0 = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(t), _mm_castsi128_ps(u), 0x44));
    const __m128i o1 = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(v), _mm_castsi128_ps(w), 0x44));
    const __m128i q = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(d2), _mm_castsi128_ps(w), 0xEE));
    const __m128i o2 = _mm_shuffle_epi32(q, 0x78);  // d2[2] d2[3] d0[3] d1[3] → d2[2] d0[3] d1[3] d2[3]
    auto* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o, o0);
    _mm_storeu_si128(o + 1, o1);
    _mm_storeu_si128(o + 2, o2);
  }
  static constexpr int32_t kStep = 3;
};

// 8 pixels of 64 bits; the fourth word of every pixel is read back and kept.
struct Store64 {
  void operator()(uint16_t* out, __m128i be, __m128i bo, __m128i ge, __m128i go, __m128i re,
                  __m128i ro) const {
    const __m128i b = Pack(be, bo), g = Pack(ge, go), r = Pack(re, ro);
    const __m128i bg_even = _mm_unpacklo_epi16(b, g), bg_odd = _mm_unpackhi_epi16(b, g);
    const __m128i r_even = _mm_unpacklo_epi16(r, r), r_odd = _mm_unpackhi_epi16(r, r);
    const __m128i even01 = _mm_unpacklo_epi32(bg_even, r_even), even23 = _mm_unpackhi_epi32(bg_even, r_even);
    const __m128i odd01 = _mm_unpacklo_epi32(bg_odd, r_odd), odd23 = _mm_unpackhi_epi32(bg_odd, r_odd);
    const __m128i v[4] = {_mm_unpacklo_epi64(even01, odd01), _mm_unpackhi_epi64(even01, odd01),
                          _mm_unpacklo_epi64(even23, odd23), _mm_unpackhi_epi64(even23, odd23)};
    const __m128i fourth = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    auto* o = reinterpret_cast<__m128i*>(out);
    for (int i = 0; i < 4; ++i) {
      const __m128i kept = _mm_and_si128(fourth, _mm_loadu_si128(o + i));
      _mm_storeu_si128(o + i, _mm_or_si128(kept, _mm_andnot_si128(fourth, v[i])));
    }
  }
  static constexpr int32_t kStep = 4;
};

// Columns 2 … x_end − 1 of one output row; reads columns 0 … x_end.
template <int32_t kRedParity, typename Store>
void Row(const detail::DemosaicRows<uint16_t>& r, int32_t x_end, uint16_t* out_row, const Weights& wr,
         const Weights& wb, int32_t weight_red, int32_t weight_blue) {
  const __m128i low_words = _mm_set1_epi32(0xFFFF);
  const __m128i minus_two_halves = _mm_set1_epi32(-65536);
  // Green of the even pixel: u[x − 1] + v[x]; of the odd one: u[x + 1] + v[x].
  const uint16_t* u = r.green_parity == 0 ? r.green_top : r.green_bottom;
  const uint16_t* v = r.green_parity == 0 ? r.green_bottom : r.green_top;
  const Store store;
  auto chunk = [&](int32_t x) {
    __m128i be, bo, re, ro;
    if (kRedParity == 0) {
      EvenSites(r.red_near, r.red_far, x, wr, re, ro);
      OddSites(r.blue_near, r.blue_far, x, wb, be, bo);
    } else {
      OddSites(r.red_near, r.red_far, x, wr, re, ro);
      EvenSites(r.blue_near, r.blue_far, x, wb, be, bo);
    }
    // (sum − 65536) >> 1 = (sum >> 1) − 32768, in the signed pack's range.
    const __m128i v0 = _mm_add_epi32(_mm_and_si128(Load(v + x), low_words), minus_two_halves);
    const __m128i ge = _mm_srai_epi32(_mm_add_epi32(_mm_and_si128(Load(u + x - 1), low_words), v0), 1);
    const __m128i go = _mm_srai_epi32(_mm_add_epi32(_mm_srli_epi32(Load(u + x), 16), v0), 1);
    store(out_row + x * Store::kStep, be, bo, ge, go, re, ro);
  };
  const int32_t x = detail::ChunkedColumns<8>(x_end, chunk);
  detail::Demosaic16Span(r, x, x_end, out_row + x * Store::kStep, Store::kStep, weight_red, weight_blue);
}

template <typename Store>
void RowOf(const detail::DemosaicRows<uint16_t>& r, int32_t x_end, uint16_t* out_row, int32_t weight_red,
           int32_t weight_blue) {
  const Weights wr(weight_red), wb(weight_blue);
  if (r.red_parity == 0) {
    Row<0, Store>(r, x_end, out_row, wr, wb, weight_red, weight_blue);
  } else {
    Row<1, Store>(r, x_end, out_row, wr, wb, weight_red, weight_blue);
  }
}

void Demosaic16RowSse2(const detail::DemosaicRows<uint16_t>& r, int32_t x_end, uint16_t* out_row,
                       int32_t step, int32_t weight_red, int32_t weight_blue) {
  if (weight_red < 0 || weight_blue < 0 || weight_red > kMaxWeight || weight_blue > kMaxWeight ||
      (step != 3 && step != 4)) {
    detail::Demosaic16Span(r, 2, x_end, out_row + 2 * step, step, weight_red, weight_blue);
  } else if (step == 3) {
    RowOf<Store48>(r, x_end, out_row, weight_red, weight_blue);
  } else {
    RowOf<Store64>(r, x_end, out_row, weight_red, weight_blue);
  }
}

int Demosaic16Sse2(uint8_t* dst, const uint8_t* src, const Rect& rect, int32_t dst_x, int32_t dst_y,
                   int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t mode,
                   void* extra) {
  return detail::Demosaic16Interior(&Demosaic16RowSse2, kMaxWeight, dst, src, rect, dst_x, dst_y, dst_bpp,
                                    src_bpp, dst_stride, src_stride, mode, extra);
}

}  // namespace

ImageOperation Demosaic16Sse2Routine() { return &Demosaic16Sse2; }
detail::Demosaic16RowFn detail::Demosaic16RowSse2Kernel() { return &Demosaic16RowSse2; }

}  // namespace morvex::imaging
