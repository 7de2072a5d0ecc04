// AVX2 variants: the 8-bit → 24-bit interior 32 pixels per step, and the
// 16-bit → 48/64-bit interior 16 pixels per step. Bit-exact with the scalar
// formulas.
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

// Red and blue of 16 pixels (8 column pairs) with the weight folded into the
// multiplier: every sum is two vpmaddwd on horizontally paired samples,
// (9w, 3w)·near pair + (3w, w)·far pair = S × w. vpmaddwd multiplies signed
// words, so samples are biased by −32768 first; the bias of all sixteen
// sample weights returns as one constant, 16 · 32768 · w. The products stay
// within 32 bits while 9w fits a signed word.
constexpr int32_t kMaxWeight16 = 3640;

inline __m256i WordPair(int32_t low, int32_t high) {
  return _mm256_set1_epi32(
      static_cast<int32_t>((static_cast<uint32_t>(high) << 16) | static_cast<uint32_t>(low)));
}

struct Weights16 {
  explicit Weights16(int32_t w)
      : near_93(WordPair(9 * w, 3 * w)),
        near_39(WordPair(3 * w, 9 * w)),
        far_31(WordPair(3 * w, w)),
        far_13(WordPair(w, 3 * w)),
        bias(_mm256_set1_epi32(static_cast<int32_t>(524288u * static_cast<uint32_t>(w)))) {}
  __m256i near_93, near_39, far_31, far_13, bias;
};

// Word 2k = row[left + 2k], word 2k + 1 = row[left + 2k + 2], biased.
inline __m256i Pairs(const uint16_t* row, int32_t left) {
  const __m256i pairs = _mm256_blend_epi16(Load(row + left), Load(row + left + 1), 0xAA);
  return _mm256_xor_si256(pairs, _mm256_set1_epi16(static_cast<short>(0x8000)));
}

inline __m256i Sum(__m256i near_pairs, __m256i near_weights, __m256i far_pairs, __m256i far_weights,
                   __m256i bias) {
  const __m256i s = _mm256_add_epi32(_mm256_madd_epi16(near_pairs, near_weights),
                                     _mm256_madd_epi16(far_pairs, far_weights));
  return _mm256_srli_epi32(_mm256_add_epi32(s, bias), 11);  // S × w < 2^32, so the shift is unsigned
}

// Colour on the even columns of pair k (x = 2k): the even pixel's far
// column is x − 2, the odd pixel's x + 2.
inline void EvenSites(const uint16_t* near, const uint16_t* far, int32_t x, const Weights16& w, __m256i& even,
                      __m256i& odd) {
  even = Sum(Pairs(near, x - 2), w.near_39, Pairs(far, x - 2), w.far_13, w.bias);
  odd = Sum(Pairs(near, x), w.near_93, Pairs(far, x), w.far_31, w.bias);
}

// Colour on the odd columns: both pixels of the pair weigh columns x − 1
// and x + 1, the even pixel with x − 1 near, the odd one with x + 1 near.
inline void OddSites(const uint16_t* near, const uint16_t* far, int32_t x, const Weights16& w, __m256i& even,
                     __m256i& odd) {
  const __m256i n = Pairs(near, x - 1), f = Pairs(far, x - 1);
  even = Sum(n, w.near_93, f, w.far_31, w.bias);
  odd = Sum(n, w.near_39, f, w.far_13, w.bias);
}

// 16 pixels of 48 bits from even/odd-pixel channel vectors (32-bit lanes,
// pair k in lane k). Words are packed into the dwords (B, G) (R, B') (G', R')
// of each pair, and one dword permute per vector plus blends lay the three
// side by side.
struct Store48 {
  void operator()(uint16_t* out, __m256i be, __m256i bo, __m256i ge, __m256i go, __m256i re,
                  __m256i ro) const {
    const __m256i x = _mm256_packus_epi32(be, re);  // per lane: B0..3 R0..3 (saturating)
    const __m256i y = _mm256_packus_epi32(ge, bo);
    const __m256i z = _mm256_packus_epi32(go, ro);
    const __m256i d0 = _mm256_unpacklo_epi16(x, y);
    const __m256i d1 = _mm256_unpackhi_epi16(x, y);
    const __m256i d2 =
        _mm256_shuffle_epi8(z, _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15, 0, 1, 8,
                                                9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15));
    // Dword k of d_i goes to output dword 3k + i.
    const __m256i p0 = _mm256_permutevar8x32_epi32(d0, _mm256_setr_epi32(0, 3, 6, 1, 4, 7, 2, 5));
    const __m256i p1 = _mm256_permutevar8x32_epi32(d1, _mm256_setr_epi32(5, 0, 3, 6, 1, 4, 7, 2));
    const __m256i p2 = _mm256_permutevar8x32_epi32(d2, _mm256_setr_epi32(2, 5, 0, 3, 6, 1, 4, 7));
    auto* o = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(o, _mm256_blend_epi32(_mm256_blend_epi32(p0, p1, 0x92), p2, 0x24));
    _mm256_storeu_si256(o + 1, _mm256_blend_epi32(_mm256_blend_epi32(p0, p1, 0x24), p2, 0x49));
    _mm256_storeu_si256(o + 2, _mm256_blend_epi32(_mm256_blend_epi32(p0, p1, 0x49), p2, 0x92));
  }
  static constexpr int32_t kStep = 3;
};

// 16 pixels of 64 bits; the fourth word of every pixel is read back and
// kept.
struct Store64 {
  void operator()(uint16_t* out, __m256i be, __m256i bo, __m256i ge, __m256i go, __m256i re,
                  __m256i ro) const {
    const __m256i b = _mm256_packus_epi32(be, bo);  // per lane: even pixels' words, then odd ones'
    const __m256i g = _mm256_packus_epi32(ge, go);
    const __m256i r = _mm256_packus_epi32(re, ro);
    const __m256i bg_even = _mm256_unpacklo_epi16(b, g), bg_odd = _mm256_unpackhi_epi16(b, g);
    const __m256i r_even = _mm256_unpacklo_epi16(r, r), r_odd = _mm256_unpackhi_epi16(r, r);
    const __m256i even01 = _mm256_unpacklo_epi32(bg_even, r_even),
                  even23 = _mm256_unpackhi_epi32(bg_even, r_even);
    const __m256i odd01 = _mm256_unpacklo_epi32(bg_odd, r_odd), odd23 = _mm256_unpackhi_epi32(bg_odd, r_odd);
    const __m256i p0 = _mm256_unpacklo_epi64(even01, odd01), p1 = _mm256_unpackhi_epi64(even01, odd01);
    const __m256i p2 = _mm256_unpacklo_epi64(even23, odd23), p3 = _mm256_unpackhi_epi64(even23, odd23);
    const __m256i v[4] = {_mm256_permute2x128_si256(p0, p1, 0x20), _mm256_permute2x128_si256(p2, p3, 0x20),
                          _mm256_permute2x128_si256(p0, p1, 0x31), _mm256_permute2x128_si256(p2, p3, 0x31)};
    auto* o = reinterpret_cast<__m256i*>(out);
    for (int i = 0; i < 4; ++i) {
      _mm256_storeu_si256(o + i, _mm256_blend_epi16(v[i], _mm256_loadu_si256(o + i), 0x88));
    }
  }
  static constexpr int32_t kStep = 4;
};

// Columns 2 … x_end − 1 of one output row; reads columns 0 … x_end.
template <int32_t kRedParity, typename Store>
void Row16(const detail::DemosaicRows<uint16_t>& r, int32_t x_end, uint16_t* out_row, const Weights16& wr,
           const Weights16& wb, int32_t weight_red, int32_t weight_blue) {
  const __m256i low_words = _mm256_set1_epi32(0xFFFF);
  // Green of the even pixel: u[x − 1] + v[x]; of the odd one: u[x + 1] + v[x].
  const uint16_t* u = r.green_parity == 0 ? r.green_top : r.green_bottom;
  const uint16_t* v = r.green_parity == 0 ? r.green_bottom : r.green_top;
  const Store store;
  auto chunk = [&](int32_t x) {
    __m256i be, bo, re, ro;
    if (kRedParity == 0) {
      EvenSites(r.red_near, r.red_far, x, wr, re, ro);
      OddSites(r.blue_near, r.blue_far, x, wb, be, bo);
    } else {
      OddSites(r.red_near, r.red_far, x, wr, re, ro);
      EvenSites(r.blue_near, r.blue_far, x, wb, be, bo);
    }
    const __m256i v0 = _mm256_and_si256(Load(v + x), low_words);
    const __m256i ge =
        _mm256_srli_epi32(_mm256_add_epi32(_mm256_and_si256(Load(u + x - 1), low_words), v0), 1);
    const __m256i go = _mm256_srli_epi32(_mm256_add_epi32(_mm256_srli_epi32(Load(u + x), 16), v0), 1);
    store(out_row + x * Store::kStep, be, bo, ge, go, re, ro);
  };
  const int32_t x = detail::ChunkedColumns<16>(x_end, chunk);
  detail::Demosaic16Span(r, x, x_end, out_row + x * Store::kStep, Store::kStep, weight_red, weight_blue);
}

template <typename Store>
void Row16Of(const detail::DemosaicRows<uint16_t>& r, int32_t x_end, uint16_t* out_row, int32_t weight_red,
             int32_t weight_blue) {
  const Weights16 wr(weight_red), wb(weight_blue);
  if (r.red_parity == 0) {
    Row16<0, Store>(r, x_end, out_row, wr, wb, weight_red, weight_blue);
  } else {
    Row16<1, Store>(r, x_end, out_row, wr, wb, weight_red, weight_blue);
  }
}

void Demosaic16RowAvx2(const detail::DemosaicRows<uint16_t>& r, int32_t x_end, uint16_t* out_row,
                       int32_t step, int32_t weight_red, int32_t weight_blue) {
  if (weight_red < 0 || weight_blue < 0 || weight_red > kMaxWeight16 || weight_blue > kMaxWeight16 ||
      (step != 3 && step != 4)) {
    detail::Demosaic16Span(r, 2, x_end, out_row + 2 * step, step, weight_red, weight_blue);
  } else if (step == 3) {
    Row16Of<Store48>(r, x_end, out_row, weight_red, weight_blue);
  } else {
    Row16Of<Store64>(r, x_end, out_row, weight_red, weight_blue);
  }
}

int Demosaic16Avx2(uint8_t* dst, const uint8_t* src, const Rect& rect, int32_t dst_x, int32_t dst_y,
                   int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t mode,
                   void* extra) {
  return detail::Demosaic16Interior(&Demosaic16RowAvx2, kMaxWeight16, dst, src, rect, dst_x, dst_y, dst_bpp,
                                    src_bpp, dst_stride, src_stride, mode, extra);
}

}  // namespace

ImageOperation Demosaic8Avx2Routine() { return &Demosaic8Avx2; }
ImageOperation Demosaic16Avx2Routine() { return &Demosaic16Avx2; }
detail::Demosaic16RowFn detail::Demosaic16RowAvx2Kernel() { return &Demosaic16RowAvx2; }

}  // namespace morvex::imaging
