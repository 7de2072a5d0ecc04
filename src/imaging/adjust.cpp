#include "imaging/adjust.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "imaging/adjust_kernels.h"
#include "imaging/cpu_info.h"
#include "imaging/demosaic_rows.h"

namespace morvex::imaging {
namespace {

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// Channels and sample size of a layout family.
struct Layout {
  int32_t channels;
  int32_t sample_bytes;
};
bool LayoutOf(int32_t bpp, Layout* out) {
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

struct RegionTotals {
  uint64_t sum = 0;
  uint64_t count = 0;
};

int RegionSum(uint8_t*, const uint8_t* src, const Rect& r, int32_t, int32_t, int32_t, int32_t src_bpp,
              int32_t, int32_t src_stride, int32_t, void* extra) {
  auto* totals = static_cast<RegionTotals*>(extra);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    const uint8_t* row = src + static_cast<int64_t>(y) * src_stride;
    for (int32_t x = r.left; x < r.right; ++x) {
      totals->sum += src_bpp == 2 ? (Load16(row + 2 * x) >> 4) : row[x];
    }
  }
  totals->count += static_cast<uint64_t>(r.width()) * static_cast<uint64_t>(r.height());
  return 1;
}

}  // namespace

// ---- Automatic exposure ---------------------------------------------------

bool MeasureExposure(const CDibImage& raw, ExposureMeasurement* out) {
  if (raw.empty() || out == nullptr || (raw.bits_per_pixel() != 8 && raw.bits_per_pixel() != 16))
    return false;
  *out = ExposureMeasurement{};
  static const double kRegions[5][4] = {{0.1, 0.1, 0.2, 0.2},
                                        {0.1, 0.8, 0.2, 0.9},
                                        {0.45, 0.45, 0.55, 0.55},
                                        {0.8, 0.1, 0.9, 0.2},
                                        {0.8, 0.8, 0.9, 0.9}};
  const double w = raw.width(), h = raw.height();
  double f = 1.0;
  auto& image = const_cast<CDibImage&>(raw);  // measured in place, nothing written
  for (int i = 0; i < 5; ++i) {
    const Rect region{static_cast<int32_t>(kRegions[i][0] * w), static_cast<int32_t>(kRegions[i][1] * h),
                      static_cast<int32_t>(kRegions[i][2] * w), static_cast<int32_t>(kRegions[i][3] * h)};
    RegionTotals totals;
    // A region with no pixels (tiny images) has no mean and no vote.
    if (image.Apply(&RegionSum, raw, &region, region.left, region.top, 0, &totals) == 0 ||
        totals.count == 0) {
      continue;
    }
    const auto m = static_cast<int32_t>(totals.sum / totals.count);
    out->mean[i] = m;
    out->measured[i] = true;
    if (m > 200) {
      f -= 0.15;
    } else if (m > 160) {
      f -= 0.1;
    } else if (m < 50) {
      f += 0.1;
    } else if (m < 100) {
      f += 0.05;
    }
  }
  out->factor = f;
  out->change = !(f > 0.6 && f < 1.2);
  return true;
}

namespace {
int32_t ClampToRange(int64_t value, int32_t minimum, int32_t maximum) {
  if (value < minimum) return minimum;
  if (value >= maximum) return maximum;
  return static_cast<int32_t>(value);
}
}  // namespace

int32_t NextGlobalGain(int32_t current, double factor, int32_t minimum, int32_t maximum) {
  const double scaled = std::max(current, 4) * factor;
  int64_t value = scaled >= 2147483647.0 ? INT32_MAX : static_cast<int64_t>(std::max(scaled, -2147483648.0));
  if (factor > 1.0) value = std::max<int64_t>(value, 4);
  return ClampToRange(value, minimum, maximum);
}

int32_t NextExposure(int32_t current, double factor, int32_t minimum, int32_t maximum) {
  // Saturates at the 16-bit limit instead of wrapping to a short exposure.
  const double scaled = std::clamp(current * factor, 0.0, 65535.0);
  int64_t value = static_cast<uint16_t>(scaled);
  if (value == 0) value = 1;
  return ClampToRange(value, minimum, maximum);
}

// ---- Mask filter ------------------------------------------------------------

namespace detail {

void MaskRow8Scalar(uint8_t* v, const uint8_t* d, const uint8_t* w, int32_t n) {
  for (int32_t c = 0; c < n; ++c) {
    const int32_t span = w[c] - d[c];
    const int32_t num = v[c] - d[c];
    // ((v − D) × 256) / (Wt − D) truncated toward zero. |num × 256| < 2^16
    // and |span| < 2^8 keep the single-precision quotient off every integer
    // it does not equal, so its truncation is the exact one.
    const float q = static_cast<float>(num * 256) / static_cast<float>(span != 0 ? span : 1);
    if (span != 0) v[c] = static_cast<uint8_t>(std::clamp(static_cast<int32_t>(q), 0, 255));
  }
}

void SharpenRow8Scalar(const uint16_t* col, const uint8_t* src, uint8_t* dst, int32_t x0, int32_t x1,
                       int32_t strength) {
  for (int32_t x = x0; x < x1; ++x) {
    const int32_t v = src[x];
    const int32_t blur = (col[x - 2] + col[x - 1] + col[x] + col[x + 1]) >> 4;
    dst[x] = static_cast<uint8_t>(std::clamp(v + (strength * (v - blur)) / 10, 0, 255));
  }
}

void MaskRow16Scalar(uint16_t* v, const uint16_t* d, const uint16_t* w, int32_t n) {
  for (int32_t c = 0; c < n; ++c) {
    if (w[c] <= d[c]) continue;
    const int32_t num = v[c] - d[c];
    const int32_t span = w[c] - d[c];
    int32_t value;
    if (num <= 0) {
      value = 0;
    } else if (num >= span) {
      value = 4095;
    } else {
      // num × 4096 < 2^28 and span < 2^16: the double quotient truncates to
      // exactly the integer quotient.
      value = static_cast<int32_t>(static_cast<double>(num << 12) / static_cast<double>(span));
    }
    v[c] = static_cast<uint16_t>(value * 16);
  }
}

void SharpenRow16Scalar(const uint32_t* col, const uint16_t* src, uint16_t* dst, int32_t x0, int32_t x1,
                        int32_t strength) {
  for (int32_t x = x0; x < x1; ++x) {
    const int32_t v = src[x];
    const auto blur = static_cast<int32_t>((col[x - 2] + col[x - 1] + col[x] + col[x + 1]) >> 4);
    dst[x] = static_cast<uint16_t>(std::clamp(v + (strength * (v - blur)) / 10, 0, 65535));
  }
}

void GreyGainsRow16Scalar(const uint16_t* src, uint16_t* dst, int32_t n, int32_t gain_even,
                          int32_t offset_even, int32_t gain_odd, int32_t offset_odd, int32_t maximum) {
  for (int32_t k = 0; k < n; ++k) {
    const int32_t g = (k & 1) ? gain_odd : gain_even;
    const int32_t o = (k & 1) ? offset_odd : offset_even;
    dst[k] = static_cast<uint16_t>(std::clamp(o + ((g * static_cast<int32_t>(src[k])) >> 7), 0, maximum));
  }
}

GreyKernels ScalarGreyKernels() {
  return {&MaskRow8Scalar, &SharpenRow8Scalar, &MaskRow16Scalar, &SharpenRow16Scalar, &GreyGainsRow16Scalar};
}

GreyKernels ChooseGreyKernels() {
  if (SimdEnabled() && (GetCpuInfo().usable & kCpuSse2) != 0) {
    return {&MaskRow8Sse2, &SharpenRow8Sse2, &MaskRow16Sse2, &SharpenRow16Sse2, &GreyGainsRow16Sse2};
  }
  return ScalarGreyKernels();
}

}  // namespace detail

namespace {

bool ReferencesFit(const CDibImage& raw, const CDibImage& dark, const CDibImage& white, int32_t bits) {
  return !raw.empty() && !dark.empty() && !white.empty() && raw.bits_per_pixel() == bits &&
         dark.bits_per_pixel() == bits && white.bits_per_pixel() == bits && dark.width() == white.width() &&
         dark.height() == white.height();
}

// Columns [c0, c1) of the raw row whose reference column is inside.
bool OverlapOf(const CDibImage& raw, const CDibImage& ref, int32_t x_offset, int32_t y_offset, int32_t* c0,
               int32_t* c1, int32_t* r0, int32_t* r1) {
  *c0 = std::max(0, -x_offset);
  *c1 = std::min(raw.width(), ref.width() - x_offset);
  *r0 = std::max(0, -y_offset);
  *r1 = std::min(raw.height(), ref.height() - y_offset);
  return *c0 < *c1 && *r0 < *r1;
}

}  // namespace

bool MaskFilter8(CDibImage& raw, const CDibImage& dark, const CDibImage& white, int32_t x_offset,
                 int32_t y_offset) {
  if (!ReferencesFit(raw, dark, white, 8)) return false;
  int32_t c0, c1, r0, r1;
  if (!OverlapOf(raw, dark, x_offset, y_offset, &c0, &c1, &r0, &r1)) return true;
  const detail::MaskRow8Fn row_kernel = detail::ChooseGreyKernels().mask_row8;
  for (int32_t r = r0; r < r1; ++r) {
    row_kernel(raw.row(r) + c0, dark.row(y_offset + r) + x_offset + c0,
               white.row(y_offset + r) + x_offset + c0, c1 - c0);
  }
  return true;
}

bool MaskFilter16(CDibImage& raw, const CDibImage& dark, const CDibImage& white, int32_t x_offset,
                  int32_t y_offset) {
  if (!ReferencesFit(raw, dark, white, 16)) return false;
  int32_t c0, c1, r0, r1;
  if (!OverlapOf(raw, dark, x_offset, y_offset, &c0, &c1, &r0, &r1)) return true;
  const detail::MaskRow16Fn row_kernel = detail::ChooseGreyKernels().mask_row16;
  for (int32_t r = r0; r < r1; ++r) {
    row_kernel(reinterpret_cast<uint16_t*>(raw.row(r)) + c0,
               reinterpret_cast<const uint16_t*>(dark.row(y_offset + r)) + x_offset + c0,
               reinterpret_cast<const uint16_t*>(white.row(y_offset + r)) + x_offset + c0, c1 - c0);
  }
  return true;
}

// ---- Dot filter -------------------------------------------------------------

namespace {

// Row y of a defect map read at the raw image's byte offsets, and how many
// of its samples exist; null when the map cannot be used.
template <typename T>
const T* MapRow(const CDibImage* map, size_t row_offset, int32_t width, int32_t* usable) {
  *usable = 0;
  if (map == nullptr || map->empty() || map->bytes_per_pixel() != static_cast<int32_t>(sizeof(T)) ||
      row_offset >= map->size_bytes()) {
    return nullptr;
  }
  *usable = static_cast<int32_t>(std::min<size_t>(width, (map->size_bytes() - row_offset) / sizeof(T)));
  return reinterpret_cast<const T*>(map->pixels() + row_offset);
}

template <typename T>
bool DotFilterImpl(CDibImage& raw, int32_t threshold, const CDibImage* dark_map, const CDibImage* white_map,
                   std::vector<uint8_t>& flags) {
  const int32_t w = raw.width(), h = raw.height();
  if (w < 9 || h < 9) return true;
  flags.assign(static_cast<size_t>(w) * h, 0);
  const int32_t x_end = w - 4;  // columns 4 … W − 5
  for (int32_t y = 4; y <= h - 5; ++y) {
    const T* up = reinterpret_cast<const T*>(raw.row(y - 1));
    const T* row = reinterpret_cast<const T*>(raw.row(y));
    const T* down = reinterpret_cast<const T*>(raw.row(y + 1));
    uint8_t* f = flags.data() + static_cast<size_t>(y) * w;
    for (int32_t x = 4; x < x_end; ++x) {
      const int32_t v = row[x];
      const int32_t around = (up[x] + down[x] + row[x - 1] + row[x + 1]) >> 2;
      const int32_t d = v - around;
      f[x] = static_cast<uint8_t>((d < 0 ? -d : d) >= threshold);
    }
    const size_t row_offset = static_cast<size_t>(y) * raw.stride();
    for (const CDibImage* map : {dark_map, white_map}) {
      int32_t usable = 0;
      const T* m = MapRow<T>(map, row_offset, x_end, &usable);
      for (int32_t x = 4; x < usable; ++x) f[x] |= static_cast<uint8_t>(m[x] != 0);
    }
  }
  auto flagged = [&](int32_t x, int32_t y) { return flags[static_cast<size_t>(y) * w + x] != 0; };
  for (int32_t y = 4; y <= h - 5; ++y) {
    T* row = reinterpret_cast<T*>(raw.row(y));
    const uint8_t* f = flags.data() + static_cast<size_t>(y) * w;
    const uint8_t* scan = f + 4;
    const uint8_t* end = f + x_end;
    // Defects are rare: jump from one flag to the next.
    while (scan < end &&
           (scan = static_cast<const uint8_t*>(std::memchr(scan, 1, static_cast<size_t>(end - scan))))) {
      const auto x = static_cast<int32_t>(scan - f);
      ++scan;
      int32_t sum = 0, found = 0;
      for (int32_t k = x - 1; k >= 0; --k)
        if (!f[k]) {
          sum += row[k], ++found;
          break;
        }
      for (int32_t k = x + 1; k < w; ++k)
        if (!f[k]) {
          sum += row[k], ++found;
          break;
        }
      for (int32_t k = y - 1; k >= 0; --k)
        if (!flagged(x, k)) {
          sum += reinterpret_cast<const T*>(raw.row(k))[x], ++found;
          break;
        }
      for (int32_t k = y + 1; k < h; ++k)
        if (!flagged(x, k)) {
          sum += reinterpret_cast<const T*>(raw.row(k))[x], ++found;
          break;
        }
      if (found > 0) row[x] = static_cast<T>(sum / found);
    }
  }
  return true;
}

}  // namespace

bool DotFilter(CDibImage& raw, int32_t threshold, const CDibImage* dark_map, const CDibImage* white_map,
               std::vector<uint8_t>& flags) {
  if (raw.empty()) return false;
  if (raw.bits_per_pixel() == 8) return DotFilterImpl<uint8_t>(raw, threshold, dark_map, white_map, flags);
  if (raw.bits_per_pixel() == 16) return DotFilterImpl<uint16_t>(raw, threshold, dark_map, white_map, flags);
  return false;
}

// ---- Grey gains ---------------------------------------------------------------

int32_t GreyCellIndex(int32_t bayer_mode, int32_t x, int32_t y) {
  const int32_t rp = (y + detail::RowPhase0(bayer_mode & 3)) & 1;
  const int32_t cp = (x + detail::ColumnPhase0(bayer_mode & 3)) & 1;
  // R = 0, G1 = 1, G2 = 2, B = 3; mode 0 is G1 R / B G2.
  static const int32_t kCell[2][2] = {{1, 0}, {3, 2}};
  return kCell[rp][cp];
}

int32_t SignificantMaximum(int32_t bits) {
  switch (bits) {
    case 10:
      return 1023;
    case 12:
      return 4095;
    case 14:
      return 16383;
    default:
      return 65535;
  }
}

int GreyGains8(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y, int32_t dst_bpp,
               int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param, void* extra) {
  if (dst_bpp != 1 || src_bpp != 1 || extra == nullptr) return 0;
  const auto& args = *static_cast<const GreyGainsArgs*>(extra);
  // Four 256-entry tables, one per cell position, instead of the
  // arithmetic per pixel.
  uint8_t tables[4][256];
  for (int cell = 0; cell < 4; ++cell) {
    const int32_t g = std::clamp(args.gains.gain[cell], 0, 32767);
    for (int32_t v = 0; v < 256; ++v) {
      tables[cell][v] = static_cast<uint8_t>(std::clamp(args.gains.offset[cell] + ((g * v) >> 7), 0, 255));
    }
  }
  for (int32_t i = 0; i < r.height(); ++i) {
    const int32_t y = r.top + i;
    const uint8_t* s = src + static_cast<int64_t>(y) * src_stride + r.left;
    uint8_t* d = dst + static_cast<int64_t>(dst_y + i) * dst_stride + dst_x;
    const uint8_t* even = tables[GreyCellIndex(param, r.left, y)];
    const uint8_t* odd = tables[GreyCellIndex(param, r.left + 1, y)];
    const int32_t n = r.width();
    int32_t k = 0;
    for (; k + 1 < n; k += 2) {
      d[k] = even[s[k]];
      d[k + 1] = odd[s[k + 1]];
    }
    if (k < n) d[k] = even[s[k]];
  }
  return 1;
}

int GreyGains16(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                void* extra) {
  if (dst_bpp != 2 || src_bpp != 2 || extra == nullptr) return 0;
  const auto& args = *static_cast<const GreyGainsArgs*>(extra);
  const int32_t maximum = SignificantMaximum(args.significant_bits);
  const detail::GreyGainsRow16Fn row_kernel = detail::ChooseGreyKernels().grey_gains_row16;
  for (int32_t i = 0; i < r.height(); ++i) {
    const int32_t y = r.top + i;
    const int32_t even = GreyCellIndex(param, r.left, y), odd = GreyCellIndex(param, r.left + 1, y);
    // Gains and values are never negative, so (g × v) / 128 is a shift;
    // gains are held below 2^15 so the product fits 32 bits.
    row_kernel(reinterpret_cast<const uint16_t*>(src + static_cast<int64_t>(y) * src_stride) + r.left,
               reinterpret_cast<uint16_t*>(dst + static_cast<int64_t>(dst_y + i) * dst_stride) + dst_x,
               r.width(), std::clamp(args.gains.gain[even], 0, 32767), args.gains.offset[even],
               std::clamp(args.gains.gain[odd], 0, 32767), args.gains.offset[odd], maximum);
  }
  return 1;
}

bool AutoGreyBalance(const CDibImage& raw, int32_t bayer_mode, GreyGains& gains) {
  if (raw.empty() || (raw.bits_per_pixel() != 8 && raw.bits_per_pixel() != 16)) return false;
  uint64_t sum[2][2] = {}, count[2][2] = {};
  const int32_t bpp = raw.bytes_per_pixel();
  const int32_t rp0 = detail::RowPhase0(bayer_mode & 3), cp0 = detail::ColumnPhase0(bayer_mode & 3);
  for (int32_t y = 0; y < raw.height(); ++y) {
    const uint8_t* row = raw.row(y);
    const int32_t rp = (y + rp0) & 1;
    for (int32_t x = 0; x < raw.width(); ++x) {
      const uint8_t b = row[x * bpp];  // the low byte of a 16-bit sample
      const int32_t cp = (x + cp0) & 1;
      if (b != 255) sum[rp][cp] += b;
      if (b != 0 && b != 255) ++count[rp][cp];
    }
  }
  auto mean = [&](int rp, int cp, float* m) {
    if (count[rp][cp] == 0) return false;
    *m = static_cast<float>(sum[rp][cp]) / static_cast<float>(count[rp][cp]);
    return *m > 0.0f;
  };
  float m00, m01, m10, m11;
  gains.gain[1] = 128;
  if (!mean(0, 0, &m00)) return true;
  if (mean(0, 1, &m01)) gains.gain[0] = static_cast<int32_t>(m00 / m01 * 128.0f);
  if (mean(1, 1, &m11)) gains.gain[2] = static_cast<int32_t>(m00 / m11 * 128.0f);
  if (mean(1, 0, &m10)) gains.gain[3] = static_cast<int32_t>(m00 / m10 * 128.0f);
  return true;
}

// ---- White balance ----------------------------------------------------------

bool MeasureWhiteBalance(const CDibImage& raw, int32_t bayer_mode, BayerGains& gains) {
  if (raw.empty() || (raw.bits_per_pixel() != 8 && raw.bits_per_pixel() != 16)) return false;
  uint64_t sum_g = 0, sum_a = 0, sum_d = 0, n_g = 0, n_a = 0, n_d = 0;
  const int32_t rp0 = detail::RowPhase0(bayer_mode & 3), cp0 = detail::ColumnPhase0(bayer_mode & 3);
  const bool wide = raw.bits_per_pixel() == 16;
  for (int32_t y = 0; y < raw.height(); ++y) {
    const uint8_t* row = raw.row(y);
    const int32_t rp = (y + rp0) & 1;
    for (int32_t x = 0; x < raw.width(); ++x) {
      const uint32_t v = wide ? Load16(row + 2 * x) : row[x];
      const int32_t cp = (x + cp0) & 1;
      if (rp == cp) {
        sum_g += v, ++n_g;
      } else if (rp == 0) {
        sum_a += v, ++n_a;
      } else {
        sum_d += v, ++n_d;
      }
    }
  }
  if (n_g == 0 || sum_g == 0) return true;  // no green to balance against
  const double g = static_cast<double>(sum_g) / static_cast<double>(n_g);
  const double a = n_a ? static_cast<double>(sum_a) / static_cast<double>(n_a) : 0.0;
  const double d = n_d ? static_cast<double>(sum_d) / static_cast<double>(n_d) : 0.0;
  const double e = g + a + d;
  auto gain = [&](double site) { return std::min((e / site / 3 * 100) / (e / g / 3), 400.0); };
  if (d > 0.0) gains.red = static_cast<int32_t>(gain(d));
  gains.green = 100;
  if (a > 0.0) gains.blue = static_cast<int32_t>(gain(a));
  return true;
}

// ---- Tone tables --------------------------------------------------------------

namespace {
template <typename T>
void GammaTable(int32_t gamma, int32_t maximum, T* table) {
  table[0] = 0;
  if (gamma == 0) {
    // The exponent is infinite: everything below the maximum goes to 0.
    for (int32_t i = 1; i < maximum; ++i) table[i] = 0;
    table[maximum] = static_cast<T>(maximum);
    return;
  }
  const double e = 1.0 / (gamma / 100.0);
  for (int32_t i = 1; i <= maximum; ++i) {
    const double v = std::pow(static_cast<double>(i) / maximum, e) * maximum;
    table[i] = static_cast<T>(v >= maximum ? maximum : static_cast<int32_t>(v));
  }
}

template <typename T>
void ContrastTable(int32_t k, int32_t maximum, T* table) {
  const double scale = (maximum + 1.0) / (maximum + 1 - 2 * k);
  for (int32_t i = 0; i <= maximum; ++i) {
    if (i < k) {
      table[i] = 0;
    } else if (i > maximum - k) {
      table[i] = static_cast<T>(maximum);
    } else {
      table[i] = static_cast<T>(std::min(static_cast<int32_t>(scale * (i - k)), maximum));
    }
  }
}

template <typename T>
void BrightnessTable(int32_t beta, int32_t maximum, T* table) {
  float factor = 1.0f;
  if (beta < 0) factor = 1.0f - static_cast<float>(-beta) / 255.0f;
  if (beta > 0) factor = 1.0f + static_cast<float>(beta * 10) / 255.0f;
  for (int32_t i = 0; i <= maximum; ++i) {
    const float v = static_cast<float>(i) * factor;
    const int32_t t = v <= 0.0f ? 0 : (v >= static_cast<float>(maximum) ? maximum : static_cast<int32_t>(v));
    table[i] = static_cast<T>(t);
  }
}
}  // namespace

void BuildGammaTable8(int32_t gamma, uint8_t table[256]) { GammaTable<uint8_t>(gamma, 255, table); }
void BuildGammaTable16(int32_t gamma, uint16_t* table) { GammaTable<uint16_t>(gamma, 65535, table); }
void BuildContrastTable8(int32_t contrast, uint8_t table[256]) {
  ContrastTable<uint8_t>(contrast, 255, table);
}
void BuildContrastTable16(int32_t contrast, uint16_t* table) {
  ContrastTable<uint16_t>(contrast * 256, 65535, table);
}
void BuildBrightnessTable8(int32_t brightness, uint8_t table[256]) {
  BrightnessTable<uint8_t>(brightness, 255, table);
}
void BuildBrightnessTable16(int32_t brightness, uint16_t* table) {
  BrightnessTable<uint16_t>(brightness, 65535, table);
}
void BuildSharpnessTable(int32_t sharpness, int32_t max, int32_t* table) {
  for (int32_t d = -max; d <= max; ++d) table[d + max] = (sharpness * d) / 10;
}

int ApplyToneTable(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                   int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t,
                   void* extra) {
  Layout layout;
  if (extra == nullptr || dst_bpp != src_bpp || !LayoutOf(dst_bpp, &layout)) return 0;
  for (int32_t i = 0; i < r.height(); ++i) {
    const uint8_t* s = src + static_cast<int64_t>(r.top + i) * src_stride + r.left * src_bpp;
    uint8_t* d = dst + static_cast<int64_t>(dst_y + i) * dst_stride + dst_x * dst_bpp;
    if (layout.sample_bytes == 1) {
      const auto* table = static_cast<const uint8_t*>(extra);
      if (dst_bpp == 4) {
        for (int32_t k = 0; k < r.width(); ++k, s += 4, d += 4) {
          d[0] = table[s[0]], d[1] = table[s[1]], d[2] = table[s[2]];
        }
      } else {
        const int32_t n = r.width() * dst_bpp;
        for (int32_t k = 0; k < n; ++k) d[k] = table[s[k]];
      }
    } else {
      const auto* table = static_cast<const uint16_t*>(extra);
      const auto* s16 = reinterpret_cast<const uint16_t*>(s);
      auto* d16 = reinterpret_cast<uint16_t*>(d);
      if (dst_bpp == 8) {
        for (int32_t k = 0; k < r.width(); ++k, s16 += 4, d16 += 4) {
          d16[0] = table[s16[0]], d16[1] = table[s16[1]], d16[2] = table[s16[2]];
        }
      } else {
        const int32_t n = r.width() * layout.channels;
        for (int32_t k = 0; k < n; ++k) d16[k] = table[s16[k]];
      }
    }
  }
  return 1;
}

namespace {
// The post table on the samples the interior pass did not write: the two
// outer rows and columns, or everything on images too small to sharpen.
template <typename T>
void PostOutsideInterior(uint8_t* dst, const Rect& r, int32_t dst_x, int32_t dst_y, int32_t dst_stride,
                         const void* post_table) {
  if (post_table == nullptr) return;
  const T* post = static_cast<const T*>(post_table);
  const int32_t w = r.width(), h = r.height();
  const bool small = w < 5 || h < 5;
  for (int32_t y = 0; y < h; ++y) {
    T* d = reinterpret_cast<T*>(dst + static_cast<int64_t>(dst_y + y) * dst_stride) + dst_x;
    if (small || y < 2 || y >= h - 2) {
      for (int32_t x = 0; x < w; ++x) d[x] = post[d[x]];
    } else {
      d[0] = post[d[0]], d[1] = post[d[1]], d[w - 2] = post[d[w - 2]], d[w - 1] = post[d[w - 1]];
    }
  }
}

// 8-bit grey: 16-bit column sums and the row kernel.
void SharpenGrey8(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                  int32_t dst_stride, int32_t src_stride, const SharpenArgs& args) {
  const int32_t w = r.width(), h = r.height();
  if (w < 5 || h < 5) return;
  auto src_row = [&](int32_t y) { return src + static_cast<int64_t>(r.top + y) * src_stride + r.left; };
  std::vector<uint16_t> local;
  std::vector<uint16_t>& columns = args.scratch16 ? *args.scratch16 : local;
  columns.assign(static_cast<size_t>(w), 0);
  uint16_t* col = columns.data();
  for (int32_t y = 0; y < 4; ++y) {
    const uint8_t* s = src_row(y);
    for (int32_t x = 0; x < w; ++x) col[x] = static_cast<uint16_t>(col[x] + s[x]);
  }
  const int32_t strength = args.table[255 + 10];  // T[10] = s
  const auto* post = static_cast<const uint8_t*>(args.post_table);
  const detail::SharpenRow8Fn row_kernel = detail::ChooseGreyKernels().sharpen_row8;
  for (int32_t y = 2; y < h - 2; ++y) {
    if (y > 2) {
      const uint8_t* gone = src_row(y - 3);
      const uint8_t* added = src_row(y + 1);
      for (int32_t x = 0; x < w; ++x) col[x] = static_cast<uint16_t>(col[x] + added[x] - gone[x]);
    }
    uint8_t* d = dst + static_cast<int64_t>(dst_y + y) * dst_stride + dst_x;
    row_kernel(col, src_row(y), d, 2, w - 2, strength);
    if (post != nullptr) {
      for (int32_t x = 2; x < w - 2; ++x) d[x] = post[d[x]];
    }
  }
}

// Grey images: column sums and the 4-wide window as plain loops.
template <typename T>
void SharpenGrey(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                 int32_t dst_stride, int32_t src_stride, const SharpenArgs& args, int32_t maximum) {
  const int32_t w = r.width(), h = r.height();
  if (w < 5 || h < 5) return;
  auto src_row = [&](int32_t y) {
    return reinterpret_cast<const T*>(src + static_cast<int64_t>(r.top + y) * src_stride) + r.left;
  };
  std::vector<uint32_t>& columns = *args.scratch;
  columns.assign(static_cast<size_t>(w), 0);
  uint32_t* col = columns.data();
  for (int32_t y = 0; y < 4; ++y) {
    const T* s = src_row(y);
    for (int32_t x = 0; x < w; ++x) col[x] += s[x];
  }
  // T[d] = (s × d) / 10 is evaluated directly (T[10] is s): the same
  // values as the table.
  const int32_t strength = args.table[maximum + 10];
  const T* post = static_cast<const T*>(args.post_table);
  const detail::SharpenRow16Fn row_kernel = detail::ChooseGreyKernels().sharpen_row16;
  for (int32_t y = 2; y < h - 2; ++y) {
    if (y > 2) {
      const T* gone = src_row(y - 3);
      const T* added = src_row(y + 1);
      for (int32_t x = 0; x < w; ++x) col[x] = col[x] + added[x] - gone[x];
    }
    T* d = reinterpret_cast<T*>(dst + static_cast<int64_t>(dst_y + y) * dst_stride) + dst_x;
    row_kernel(col, src_row(y), d, 2, w - 2, strength);
    if (post != nullptr) {
      for (int32_t x = 2; x < w - 2; ++x) d[x] = post[d[x]];
    }
  }
}

template <typename T>
void SharpenImpl(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                 int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride,
                 const SharpenArgs& args, int32_t channels, int32_t maximum) {
  const int32_t w = r.width(), h = r.height();
  if (w < 5 || h < 5) return;
  const int32_t src_step = src_bpp / static_cast<int32_t>(sizeof(T));
  const int32_t dst_step = dst_bpp / static_cast<int32_t>(sizeof(T));
  auto src_row = [&](int32_t y) {
    return reinterpret_cast<const T*>(src + static_cast<int64_t>(r.top + y) * src_stride) + r.left * src_step;
  };
  std::vector<uint32_t>& columns = *args.scratch;
  columns.assign(static_cast<size_t>(w) * channels, 0);
  // Column sums of source rows y − 2 … y + 1, slid down one row at a time.
  for (int32_t y = 0; y < 4; ++y) {
    const T* s = src_row(y);
    for (int32_t x = 0; x < w; ++x)
      for (int32_t c = 0; c < channels; ++c) columns[x * channels + c] += s[x * src_step + c];
  }
  const int32_t* table = args.table + maximum;
  for (int32_t y = 2; y < h - 2; ++y) {
    if (y > 2) {
      const T* gone = src_row(y - 3);
      const T* added = src_row(y + 1);
      for (int32_t x = 0; x < w; ++x)
        for (int32_t c = 0; c < channels; ++c)
          columns[x * channels + c] +=
              static_cast<uint32_t>(added[x * src_step + c]) - gone[x * src_step + c];
    }
    const T* s = src_row(y);
    T* d = reinterpret_cast<T*>(dst + static_cast<int64_t>(dst_y + y) * dst_stride) + dst_x * dst_step;
    for (int32_t c = 0; c < channels; ++c) {
      const uint32_t* col = columns.data() + c;
      uint32_t window = col[0] + col[channels] + col[2 * channels] + col[3 * channels];  // x = 2
      for (int32_t x = 2; x < w - 2; ++x) {
        if (x > 2) window += col[(x + 1) * channels] - col[(x - 3) * channels];
        const int32_t v = s[x * src_step + c];
        const int32_t blur = static_cast<int32_t>(window >> 4);
        d[x * dst_step + c] = static_cast<T>(std::clamp(v + table[v - blur], 0, maximum));
      }
    }
  }
}
}  // namespace

int Sharpen(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
            int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t, void* extra) {
  Layout layout;
  const auto* args = static_cast<const SharpenArgs*>(extra);
  if (args == nullptr || args->table == nullptr || args->scratch == nullptr || dst_bpp != src_bpp ||
      !LayoutOf(dst_bpp, &layout)) {
    return 0;
  }
  if (layout.channels == 1) {
    if (layout.sample_bytes == 1) {
      SharpenGrey8(dst, src, src_rect, dst_x, dst_y, dst_stride, src_stride, *args);
      PostOutsideInterior<uint8_t>(dst, src_rect, dst_x, dst_y, dst_stride, args->post_table);
    } else {
      SharpenGrey<uint16_t>(dst, src, src_rect, dst_x, dst_y, dst_stride, src_stride, *args, 65535);
      PostOutsideInterior<uint16_t>(dst, src_rect, dst_x, dst_y, dst_stride, args->post_table);
    }
    return 1;
  }
  if (args->post_table != nullptr) return 0;  // grey layouts only
  if (src_rect.width() < 5 || src_rect.height() < 5) return 1;
  if (layout.sample_bytes == 1) {
    SharpenImpl<uint8_t>(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, *args,
                         layout.channels, 255);
  } else {
    SharpenImpl<uint16_t>(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, *args,
                          layout.channels, 65535);
  }
  return 1;
}

// ---- Table cache --------------------------------------------------------------

template <typename T, typename Build>
const T* ToneTables::Get(std::vector<T>& table, int32_t& key, int32_t value, size_t size, Build build) {
  if (table.size() != size || key != value) {
    table.resize(size);
    build(value, table.data());
    key = value;
    ++builds_;
  }
  return table.data();
}

const uint8_t* ToneTables::Gamma8(int32_t v) { return Get(gamma8_, gamma8_key_, v, 256, BuildGammaTable8); }
const uint16_t* ToneTables::Gamma16(int32_t v) {
  return Get(gamma16_, gamma16_key_, v, 65536, BuildGammaTable16);
}
const uint8_t* ToneTables::Contrast8(int32_t v) {
  return Get(contrast8_, contrast8_key_, v, 256, BuildContrastTable8);
}
const uint16_t* ToneTables::Contrast16(int32_t v) {
  return Get(contrast16_, contrast16_key_, v, 65536, BuildContrastTable16);
}
const uint8_t* ToneTables::Brightness8(int32_t v) {
  return Get(brightness8_, brightness8_key_, v, 256, BuildBrightnessTable8);
}
const uint16_t* ToneTables::Brightness16(int32_t v) {
  return Get(brightness16_, brightness16_key_, v, 65536, BuildBrightnessTable16);
}
const int32_t* ToneTables::Sharpness8(int32_t v) {
  return Get(sharp8_, sharp8_key_, v, 511, [](int32_t s, int32_t* t) { BuildSharpnessTable(s, 255, t); });
}
const int32_t* ToneTables::Sharpness16(int32_t v) {
  return Get(sharp16_, sharp16_key_, v, 131071,
             [](int32_t s, int32_t* t) { BuildSharpnessTable(s, 65535, t); });
}

namespace {
template <typename T>
void ComposeChain(int32_t maximum, const T* gamma, const T* contrast, const T* brightness, T* out) {
  for (int32_t i = 0; i <= maximum; ++i) {
    T v = static_cast<T>(i);
    if (gamma) v = gamma[v];
    if (contrast) v = contrast[v];
    if (brightness) v = brightness[v];
    out[i] = v;
  }
}
}  // namespace

const uint8_t* ToneTables::Chain8(int32_t gamma, int32_t contrast, int32_t brightness) {
  if (chain8_.size() != 256 || chain8_key_[0] != gamma || chain8_key_[1] != contrast ||
      chain8_key_[2] != brightness) {
    chain8_.resize(256);
    ComposeChain<uint8_t>(255, gamma != 100 ? Gamma8(gamma) : nullptr,
                          contrast != 0 ? Contrast8(contrast) : nullptr,
                          brightness != 0 ? Brightness8(brightness) : nullptr, chain8_.data());
    chain8_key_[0] = gamma, chain8_key_[1] = contrast, chain8_key_[2] = brightness;
    ++builds_;
  }
  return chain8_.data();
}

const uint16_t* ToneTables::Chain16(int32_t gamma, int32_t contrast, int32_t brightness) {
  if (chain16_.size() != 65536 || chain16_key_[0] != gamma || chain16_key_[1] != contrast ||
      chain16_key_[2] != brightness) {
    chain16_.resize(65536);
    ComposeChain<uint16_t>(65535, gamma != 100 ? Gamma16(gamma) : nullptr,
                           contrast != 0 ? Contrast16(contrast) : nullptr,
                           brightness != 0 ? Brightness16(brightness) : nullptr, chain16_.data());
    chain16_key_[0] = gamma, chain16_key_[1] = contrast, chain16_key_[2] = brightness;
    ++builds_;
  }
  return chain16_.data();
}

}  // namespace morvex::imaging
