#include "imaging/demosaic.h"

#include <algorithm>
#include <atomic>
#include <type_traits>

#include "imaging/cpu_info.h"
#include "imaging/demosaic_rows.h"

namespace morvex::imaging {

using detail::ColumnPhase0;
using detail::DemosaicRows;
using detail::RowPhase0;

namespace {

// Per-depth saturation: 8-bit results saturate at S × w ≥ 0x80000, 16-bit
// ones at 0x8000000; both are exactly the values whose shift exceeds the
// sample range.
template <typename T>
struct DepthTraits;
template <>
struct DepthTraits<uint8_t> {
  static constexpr uint32_t kLimit = 0x80000;
  static constexpr uint32_t kMax = 255;
};
template <>
struct DepthTraits<uint16_t> {
  static constexpr uint32_t kLimit = 0x8000000;
  static constexpr uint32_t kMax = 65535;
};

template <typename T>
inline T Scale(uint32_t sum, uint32_t weight) {
  const uint32_t v = sum * weight;
  return static_cast<T>(v >= DepthTraits<T>::kLimit ? DepthTraits<T>::kMax : v >> 11);
}

// Weights are clamped so that S × w cannot overflow 32 bits.
uint32_t ClampedWeight(int32_t gain) { return static_cast<uint32_t>(std::clamp(BayerWeight(gain), 0, 4095)); }

template <typename T>
inline void StorePixel(T* out, T blue, T green, T red) {
  out[0] = blue;
  out[1] = green;
  out[2] = red;
}

template <typename T>
void DemosaicSpan(const DemosaicRows<T>& r, int32_t x0, int32_t x1, T* out, int32_t step, uint32_t wr,
                  uint32_t wb) {
  for (int32_t x = x0; x < x1; ++x, out += step) {
    int32_t rn, rf, bn, bf;
    if ((x & 1) == r.red_parity) {
      rn = x, rf = x - 2, bn = x - 1, bf = x + 1;
    } else {
      rn = x - 1, rf = x + 1, bn = x, bf = x - 2;
    }
    const uint32_t sr = 9u * r.red_near[rn] + 3u * r.red_near[rf] + 3u * r.red_far[rn] + r.red_far[rf];
    const uint32_t sb = 9u * r.blue_near[bn] + 3u * r.blue_near[bf] + 3u * r.blue_far[bn] + r.blue_far[bf];
    const uint32_t g = ((x & 1) == r.green_parity) ? r.green_top[x - 1] + r.green_bottom[x]
                                                   : r.green_top[x] + r.green_bottom[x - 1];
    StorePixel<T>(out, Scale<T>(sb, wb), static_cast<T>(g >> 1), Scale<T>(sr, wr));
  }
}

// A neighbour outside the image is taken four rows or columns further in,
// which keeps its colour. On images too small for that, the nearest
// in-range site of the same parity stands in (never outside the image).
inline int32_t Reflect(int32_t c, int32_t n) {
  if (c < 0) {
    c += 4;
  } else if (c >= n) {
    c -= 4;
  }
  if (c >= 0 && c < n) return c;
  const int32_t parity = c & 1;
  c = std::clamp(c, 0, n - 1);
  if ((c & 1) != parity) c += (c + 1 < n) ? 1 : -1;
  return std::clamp(c, 0, n - 1);
}

// Reflected columns of one pixel of a left or right strip. They depend on
// the column alone (the red parity is the same on every row), so they are
// resolved once per image, not per row.
struct SideColumns {
  int32_t x, red_near, red_far, blue_near, blue_far, left;
};

SideColumns ResolveSide(int32_t x, int32_t w, int32_t red_parity) {
  SideColumns c{x, 0, 0, 0, 0, Reflect(x - 1, w)};
  if ((x & 1) == red_parity) {
    c.red_near = x, c.red_far = x - 2, c.blue_near = x - 1, c.blue_far = x + 1;
  } else {
    c.red_near = x - 1, c.red_far = x + 1, c.blue_near = x, c.blue_far = x - 2;
  }
  c.red_near = Reflect(c.red_near, w), c.red_far = Reflect(c.red_far, w);
  c.blue_near = Reflect(c.blue_near, w), c.blue_far = Reflect(c.blue_far, w);
  return c;
}

template <typename T>
void SideColumnPixel(const DemosaicRows<T>& r, const SideColumns& c, uint32_t wr, uint32_t wb, T* out) {
  const uint32_t sr = 9u * r.red_near[c.red_near] + 3u * r.red_near[c.red_far] + 3u * r.red_far[c.red_near] +
                      r.red_far[c.red_far];
  const uint32_t sb = 9u * r.blue_near[c.blue_near] + 3u * r.blue_near[c.blue_far] +
                      3u * r.blue_far[c.blue_near] + r.blue_far[c.blue_far];
  const uint32_t g = ((c.x & 1) == r.green_parity) ? r.green_top[c.left] + r.green_bottom[c.x]
                                                   : r.green_top[c.x] + r.green_bottom[c.left];
  StorePixel<T>(out, Scale<T>(sb, wb), static_cast<T>(g >> 1), Scale<T>(sr, wr));
}

template <typename T>
void BorderPixel(const uint8_t* src, int32_t src_stride, int32_t w, int32_t h, int32_t x, int32_t y,
                 int32_t rp0, int32_t cp0, uint32_t wr, uint32_t wb, T* out) {
  auto at = [&](int32_t cx, int32_t cy) -> uint32_t {
    const T* row = reinterpret_cast<const T*>(src + static_cast<int64_t>(Reflect(cy, h)) * src_stride);
    return row[Reflect(cx, w)];
  };
  const bool red_left = ((x - 1 + cp0) & 1) == 0;
  const bool red_top = ((y - 1 + rp0) & 1) == 1;
  const int32_t xr = red_left ? x - 1 : x, xr2 = red_left ? x + 1 : x - 2;
  const int32_t yr = red_top ? y - 1 : y, yr2 = red_top ? y + 1 : y - 2;
  const int32_t xb = red_left ? x : x - 1, xb2 = red_left ? x - 2 : x + 1;
  const int32_t yb = red_top ? y : y - 1, yb2 = red_top ? y - 2 : y + 1;
  const uint32_t sr = 9u * at(xr, yr) + 3u * at(xr2, yr) + 3u * at(xr, yr2) + at(xr2, yr2);
  const uint32_t sb = 9u * at(xb, yb) + 3u * at(xb2, yb) + 3u * at(xb, yb2) + at(xb2, yb2);
  const bool green_here = ((x + cp0) & 1) == ((y + rp0) & 1);
  const uint32_t g = green_here ? at(x - 1, y - 1) + at(x, y) : at(x, y - 1) + at(x - 1, y);
  StorePixel<T>(out, Scale<T>(sb, wb), static_cast<T>(g >> 1), Scale<T>(sr, wr));
}

template <typename T>
int InteriorImpl(uint8_t* dst, const uint8_t* src, const Rect& rect, int32_t dst_x, int32_t dst_y,
                 int32_t dst_bpp, int32_t src_stride, int32_t dst_stride, int32_t mode,
                 const BayerGains& gains) {
  const int32_t w = rect.width();
  const int32_t h = rect.height();
  if (w < 5 || h < 5) return 1;
  const uint32_t wr = ClampedWeight(gains.red);
  const uint32_t wb = ClampedWeight(gains.blue);
  const T* base = reinterpret_cast<const T*>(src + static_cast<int64_t>(rect.top) * src_stride) + rect.left;
  const int64_t stride = src_stride / static_cast<int32_t>(sizeof(T));
  const int32_t step = dst_bpp / static_cast<int32_t>(sizeof(T));
  for (int32_t y = 2; y < h - 2; ++y) {
    const auto rows = detail::InteriorRows(base, stride, y, mode);
    T* out = reinterpret_cast<T*>(dst + static_cast<int64_t>(dst_y + y) * dst_stride + (dst_x + 2) * dst_bpp);
    DemosaicSpan<T>(rows, 2, w - 2, out, step, wr, wb);
  }
  return 1;
}

}  // namespace

int detail::Demosaic16Interior(Demosaic16RowFn row, int32_t max_weight, uint8_t* dst, const uint8_t* src,
                               const Rect& rect, int32_t dst_x, int32_t dst_y, int32_t dst_bpp,
                               int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t mode,
                               void* extra) {
  const BayerGains gains = extra ? *static_cast<const BayerGains*>(extra) : BayerGains{};
  const int32_t wr = BayerWeight(gains.red), wb = BayerWeight(gains.blue);
  if (src_bpp != 2 || (dst_bpp != 6 && dst_bpp != 8) || wr < 0 || wb < 0 || wr > max_weight ||
      wb > max_weight) {
    return Demosaic16(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, mode, extra);
  }
  const int32_t w = rect.width(), h = rect.height();
  if (w < 5 || h < 5) return 1;
  const auto* base =
      reinterpret_cast<const uint16_t*>(src + static_cast<int64_t>(rect.top) * src_stride) + rect.left;
  const int64_t stride = src_stride / 2;
  for (int32_t y = 2; y < h - 2; ++y) {
    const auto rows = InteriorRows(base, stride, y, mode & 3);
    auto* out =
        reinterpret_cast<uint16_t*>(dst + static_cast<int64_t>(dst_y + y) * dst_stride + dst_x * dst_bpp);
    row(rows, w - 2, out, dst_bpp / 2, wr, wb);
  }
  return 1;
}

namespace {

// The vector row kernel for the inner columns of the 16-bit top and bottom
// rows, when the processor has one; null otherwise.
detail::Demosaic16RowFn Row16Kernel() {
  if (!SimdEnabled()) return nullptr;
  static const detail::Demosaic16RowFn kernel = [] {
    const uint32_t usable = GetCpuInfo().usable;
    if ((usable & kCpuAvx2) != 0) return detail::Demosaic16RowAvx2Kernel();
    if ((usable & kCpuSse2) != 0) return detail::Demosaic16RowSse2Kernel();
    return detail::Demosaic16RowFn{nullptr};
  }();
  return kernel;
}

template <typename T>
void InnerSpan(const DemosaicRows<T>& rows, int32_t w, T* row_out, int32_t step, uint32_t wr, uint32_t wb) {
  if constexpr (std::is_same_v<T, uint16_t>) {
    if (const detail::Demosaic16RowFn kernel = Row16Kernel()) {
      kernel(rows, w - 2, row_out, step, static_cast<int32_t>(wr), static_cast<int32_t>(wb));
      return;
    }
  }
  DemosaicSpan<T>(rows, 2, w - 2, row_out + 2 * step, step, wr, wb);
}

template <typename T>
int BorderImpl(uint8_t* dst, const uint8_t* src, const Rect& rect, int32_t dst_x, int32_t dst_y,
               int32_t dst_bpp, int32_t src_stride, int32_t dst_stride, int32_t mode,
               const BayerGains& gains) {
  const int32_t w = rect.width();
  const int32_t h = rect.height();
  if (w <= 0 || h <= 0) return 0;
  const uint32_t wr = ClampedWeight(gains.red);
  const uint32_t wb = ClampedWeight(gains.blue);
  const uint8_t* origin =
      src + static_cast<int64_t>(rect.top) * src_stride + rect.left * static_cast<int32_t>(sizeof(T));
  const int32_t rp0 = RowPhase0(mode);
  const int32_t cp0 = ColumnPhase0(mode);
  // Phases follow the true position of every pixel, so odd heights and
  // widths keep the right colours in the bottom and right strips.
  auto put = [&](int32_t x, int32_t y) {
    T* out = reinterpret_cast<T*>(dst + static_cast<int64_t>(dst_y + y) * dst_stride + (dst_x + x) * dst_bpp);
    BorderPixel<T>(origin, src_stride, w, h, x, y, rp0, cp0, wr, wb, out);
  };
  const int32_t step = dst_bpp / static_cast<int32_t>(sizeof(T));
  SideColumns sides[4];
  int32_t side_count = 0;
  for (int32_t x = 0; x < std::min(2, w); ++x) sides[side_count++] = ResolveSide(x, w, cp0 & 1);
  for (int32_t x = std::max(2, w - 2); x < w; ++x) sides[side_count++] = ResolveSide(x, w, cp0 & 1);
  for (int32_t y = 0; y < h; ++y) {
    if (y < 2 || y >= h - 2) {
      if (w >= 5) {
        // Inner columns of a top or bottom row: reflected rows, direct columns.
        const auto rows =
            detail::RowsAt(reinterpret_cast<const T*>(origin), src_stride / static_cast<int32_t>(sizeof(T)),
                           y, mode, [h](int32_t i) { return Reflect(i, h); });
        for (int32_t x = 0; x < 2; ++x) put(x, y);
        T* out = reinterpret_cast<T*>(dst + static_cast<int64_t>(dst_y + y) * dst_stride + dst_x * dst_bpp);
        InnerSpan<T>(rows, w, out, step, wr, wb);
        for (int32_t x = w - 2; x < w; ++x) put(x, y);
      } else {
        for (int32_t x = 0; x < w; ++x) put(x, y);
      }
    } else {
      const auto rows = detail::InteriorRows(reinterpret_cast<const T*>(origin),
                                             src_stride / static_cast<int32_t>(sizeof(T)), y, mode);
      T* row_out = reinterpret_cast<T*>(dst + static_cast<int64_t>(dst_y + y) * dst_stride + dst_x * dst_bpp);
      for (int32_t i = 0; i < side_count; ++i)
        SideColumnPixel<T>(rows, sides[i], wr, wb, row_out + sides[i].x * step);
    }
  }
  return 1;
}

const BayerGains& GainsOf(void* extra) {
  static const BayerGains kNeutral{};
  return extra ? *static_cast<const BayerGains*>(extra) : kNeutral;
}

}  // namespace

namespace detail {
void Demosaic8Span(const DemosaicRows<uint8_t>& rows, int32_t x0, int32_t x1, uint8_t* out, int32_t step,
                   int32_t weight_red, int32_t weight_blue) {
  DemosaicSpan<uint8_t>(rows, x0, x1, out, step, static_cast<uint32_t>(weight_red),
                        static_cast<uint32_t>(weight_blue));
}
void Demosaic16Span(const DemosaicRows<uint16_t>& rows, int32_t x0, int32_t x1, uint16_t* out, int32_t step,
                    int32_t weight_red, int32_t weight_blue) {
  DemosaicSpan<uint16_t>(rows, x0, x1, out, step, static_cast<uint32_t>(weight_red),
                         static_cast<uint32_t>(weight_blue));
}
}  // namespace detail

int32_t MirrorAdjustedBayerMode(int32_t mode, bool mirror_h, bool mirror_v) {
  if (mirror_v) mode ^= 1;  // 0↔1, 2↔3
  if (mirror_h) mode ^= 2;  // 0↔2, 1↔3
  return mode & 3;
}

int Demosaic8Scalar(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
                    int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                    void* extra) {
  if (src_bpp != 1 || dst_bpp < 3) return 0;
  return InteriorImpl<uint8_t>(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_stride, dst_stride, param & 3,
                               GainsOf(extra));
}

int Demosaic8Border(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
                    int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                    void* extra) {
  if (src_bpp != 1 || dst_bpp < 3) return 0;
  return BorderImpl<uint8_t>(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_stride, dst_stride, param & 3,
                             GainsOf(extra));
}

int Demosaic16(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
               int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
               void* extra) {
  if (src_bpp != 2 || dst_bpp < 6) return 0;
  return InteriorImpl<uint16_t>(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_stride, dst_stride, param & 3,
                                GainsOf(extra));
}

int Demosaic16Border(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
                     int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                     void* extra) {
  if (src_bpp != 2 || dst_bpp < 6) return 0;
  return BorderImpl<uint16_t>(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_stride, dst_stride, param & 3,
                              GainsOf(extra));
}

ImageOperation ChooseDemosaic8(uint16_t dst_bits, const BayerGains& gains) {
  if (dst_bits != 24 || gains.red > 200 || gains.green > 200 || gains.blue > 200 || !SimdEnabled()) {
    return &Demosaic8Scalar;
  }
  // Chosen once per process: the processor does not change.
  static const ImageOperation best = [] {
    const uint32_t usable = GetCpuInfo().usable;
    ImageOperation op = nullptr;
    if ((usable & kCpuAvx2) != 0) op = Demosaic8Avx2Routine();
    if (op == nullptr && (usable & kCpuSsse3) != 0) op = Demosaic8Ssse3Routine();
    if (op == nullptr && (usable & kCpuSse2) != 0) op = Demosaic8Sse2Routine();
    return op != nullptr ? op : &Demosaic8Scalar;
  }();
  return best;
}

ImageOperation ChooseDemosaic16(uint16_t dst_bits, const BayerGains& gains) {
  if ((dst_bits != 48 && dst_bits != 64) || gains.red > 400 || gains.blue > 400 || gains.red < 0 ||
      gains.blue < 0 || !SimdEnabled()) {
    return &Demosaic16;
  }
  static const ImageOperation best = [] {
    const uint32_t usable = GetCpuInfo().usable;
    ImageOperation op = (usable & kCpuAvx2) != 0 ? Demosaic16Avx2Routine() : nullptr;
    if (op == nullptr && (usable & kCpuSse2) != 0) op = Demosaic16Sse2Routine();
    return op != nullptr ? op : &Demosaic16;
  }();
  return best;
}

bool Demosaic(CDibImage& dst, const CDibImage& raw, int32_t bayer_mode, const BayerGains& gains) {
  if (raw.empty() || dst.empty() || raw.width() != dst.width() || raw.height() != dst.height()) return false;
  auto* extra = const_cast<BayerGains*>(&gains);
  if (raw.bits_per_pixel() == 8 && (dst.bits_per_pixel() == 24 || dst.bits_per_pixel() == 32)) {
    dst.Apply(ChooseDemosaic8(dst.bits_per_pixel(), gains), raw, nullptr, 0, 0, bayer_mode, extra);
    dst.Apply(&Demosaic8Border, raw, nullptr, 0, 0, bayer_mode, extra);
    return true;
  }
  if (raw.bits_per_pixel() == 16 && (dst.bits_per_pixel() == 48 || dst.bits_per_pixel() == 64)) {
    dst.Apply(ChooseDemosaic16(dst.bits_per_pixel(), gains), raw, nullptr, 0, 0, bayer_mode, extra);
    dst.Apply(&Demosaic16Border, raw, nullptr, 0, 0, bayer_mode, extra);
    return true;
  }
  return false;
}

}  // namespace morvex::imaging
