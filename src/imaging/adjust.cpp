#include "imaging/adjust.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

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
    case 1: *out = {1, 1}; return true;
    case 3:
    case 4: *out = {3, 1}; return true;
    case 2: *out = {1, 2}; return true;
    case 6:
    case 8: *out = {3, 2}; return true;
    default: return false;
  }
}

struct RegionTotals {
  uint64_t sum = 0;
  uint64_t count = 0;
};

int RegionSum(uint8_t*, const uint8_t* src, const Rect& r, int32_t, int32_t, int32_t, int32_t src_bpp, int32_t,
              int32_t src_stride, int32_t, void* extra) {
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
  if (raw.empty() || out == nullptr || (raw.bits_per_pixel() != 8 && raw.bits_per_pixel() != 16)) return false;
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
    if (image.Apply(&RegionSum, raw, &region, region.left, region.top, 0, &totals) == 0 || totals.count == 0) {
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

namespace {

// floor(n × 256 / d) for n, d in 0 … 255, d > 0: the 8-bit flat field
// without a division per pixel. Built once per process.
const uint16_t* FlatFieldQuotients() {
  static const std::vector<uint16_t> table = [] {
    std::vector<uint16_t> t(256 * 256, 0);
    for (int d = 1; d < 256; ++d)
      for (int n = 0; n < 256; ++n) t[d * 256 + n] = static_cast<uint16_t>((n * 256) / d);
    return t;
  }();
  return table.data();
}

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

bool MaskFilter8(CDibImage& raw, const CDibImage& dark, const CDibImage& white, int32_t x_offset, int32_t y_offset) {
  if (!ReferencesFit(raw, dark, white, 8)) return false;
  int32_t c0, c1, r0, r1;
  if (!OverlapOf(raw, dark, x_offset, y_offset, &c0, &c1, &r0, &r1)) return true;
  const uint16_t* quotients = FlatFieldQuotients();
  for (int32_t r = r0; r < r1; ++r) {
    uint8_t* v = raw.row(r);
    const uint8_t* d = dark.row(y_offset + r) + x_offset;
    const uint8_t* wt = white.row(y_offset + r) + x_offset;
    for (int32_t c = c0; c < c1; ++c) {
      const int32_t span = wt[c] - d[c];
      if (span == 0) continue;
      const int32_t n = v[c] - d[c];
      // ((v − D) × 256) / (Wt − D), truncated toward zero.
      const int32_t q = quotients[std::abs(span) * 256 + std::abs(n)];
      const int32_t value = ((n < 0) != (span < 0)) ? -q : q;
      v[c] = static_cast<uint8_t>(std::clamp(value, 0, 255));
    }
  }
  return true;
}

bool MaskFilter16(CDibImage& raw, const CDibImage& dark, const CDibImage& white, int32_t x_offset,
                  int32_t y_offset) {
  if (!ReferencesFit(raw, dark, white, 16)) return false;
  int32_t c0, c1, r0, r1;
  if (!OverlapOf(raw, dark, x_offset, y_offset, &c0, &c1, &r0, &r1)) return true;
  for (int32_t r = r0; r < r1; ++r) {
    auto* v = reinterpret_cast<uint16_t*>(raw.row(r));
    const auto* d = reinterpret_cast<const uint16_t*>(dark.row(y_offset + r)) + x_offset;
    const auto* wt = reinterpret_cast<const uint16_t*>(white.row(y_offset + r)) + x_offset;
    for (int32_t c = c0; c < c1; ++c) {
      if (wt[c] <= d[c]) continue;
      const int32_t n = v[c] - d[c];
      const int32_t span = wt[c] - d[c];
      int32_t value;
      if (n <= 0) {
        value = 0;
      } else if (n >= span) {
        value = 4095;
      } else {
        // n × 4096 < 2^28 and span < 2^16: the double quotient truncates to
        // exactly the integer quotient, and divides faster.
        value = static_cast<int32_t>(static_cast<double>(n << 12) / static_cast<double>(span));
      }
      v[c] = static_cast<uint16_t>(value * 16);
    }
  }
  return true;
}

// ---- Dot filter -------------------------------------------------------------

namespace {

template <typename T>
bool DotFilterImpl(CDibImage& raw, int32_t threshold, const CDibImage* dark_map, const CDibImage* white_map,
                   std::vector<uint8_t>& flags) {
  const int32_t w = raw.width(), h = raw.height();
  if (w < 9 || h < 9) return true;
  const size_t bpp = sizeof(T);
  flags.assign(static_cast<size_t>(w) * h, 0);
  auto marked = [&](const CDibImage* map, size_t offset) {
    if (map == nullptr || map->empty() || map->bytes_per_pixel() != static_cast<int32_t>(bpp) ||
        offset + bpp > map->size_bytes()) {
      return false;
    }
    T value;
    std::memcpy(&value, map->pixels() + offset, bpp);
    return value != 0;
  };
  auto at = [&](int32_t x, int32_t y) -> int32_t { return reinterpret_cast<const T*>(raw.row(y))[x]; };
  for (int32_t y = 4; y <= h - 5; ++y) {
    const T* up = reinterpret_cast<const T*>(raw.row(y - 1));
    const T* row = reinterpret_cast<const T*>(raw.row(y));
    const T* down = reinterpret_cast<const T*>(raw.row(y + 1));
    uint8_t* flag_row = flags.data() + static_cast<size_t>(y) * w;
    const size_t row_offset = static_cast<size_t>(y) * raw.stride();
    for (int32_t x = 4; x <= w - 5; ++x) {
      const int32_t v = row[x];
      const int32_t around = (up[x] + down[x] + row[x - 1] + row[x + 1]) >> 2;
      const size_t offset = row_offset + x * bpp;
      if (std::abs(v - around) >= threshold || marked(dark_map, offset) || marked(white_map, offset)) {
        flag_row[x] = 1;
      }
    }
  }
  auto flagged = [&](int32_t x, int32_t y) { return flags[static_cast<size_t>(y) * w + x] != 0; };
  for (int32_t y = 4; y <= h - 5; ++y) {
    T* row = reinterpret_cast<T*>(raw.row(y));
    for (int32_t x = 4; x <= w - 5; ++x) {
      if (!flagged(x, y)) continue;
      int32_t sum = 0, found = 0;
      for (int32_t k = x - 1; k >= 0; --k)
        if (!flagged(k, y)) { sum += at(k, y), ++found; break; }
      for (int32_t k = x + 1; k < w; ++k)
        if (!flagged(k, y)) { sum += at(k, y), ++found; break; }
      for (int32_t k = y - 1; k >= 0; --k)
        if (!flagged(x, k)) { sum += at(x, k), ++found; break; }
      for (int32_t k = y + 1; k < h; ++k)
        if (!flagged(x, k)) { sum += at(x, k), ++found; break; }
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
    case 10: return 1023;
    case 12: return 4095;
    case 14: return 16383;
    default: return 65535;
  }
}

namespace {
template <typename T>
int GreyGainsImpl(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y, int32_t dst_stride,
                  int32_t src_stride, int32_t mode, const GreyGainsArgs& args, int32_t maximum) {
  for (int32_t i = 0; i < r.height(); ++i) {
    const int32_t y = r.top + i;
    const T* s = reinterpret_cast<const T*>(src + static_cast<int64_t>(y) * src_stride);
    T* d = reinterpret_cast<T*>(dst + static_cast<int64_t>(dst_y + i) * dst_stride) + dst_x;
    const int64_t g[2] = {args.gains.gain[GreyCellIndex(mode, r.left, y)],
                          args.gains.gain[GreyCellIndex(mode, r.left + 1, y)]};
    const int64_t o[2] = {args.gains.offset[GreyCellIndex(mode, r.left, y)],
                          args.gains.offset[GreyCellIndex(mode, r.left + 1, y)]};
    for (int32_t k = 0; k < r.width(); ++k) {
      const int64_t v = o[k & 1] + (g[k & 1] * s[r.left + k]) / 128;
      d[k] = static_cast<T>(std::clamp<int64_t>(v, 0, maximum));
    }
  }
  return 1;
}
}  // namespace

int GreyGains8(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y, int32_t dst_bpp,
               int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param, void* extra) {
  if (dst_bpp != 1 || src_bpp != 1 || extra == nullptr) return 0;
  return GreyGainsImpl<uint8_t>(dst, src, src_rect, dst_x, dst_y, dst_stride, src_stride, param,
                                *static_cast<const GreyGainsArgs*>(extra), 255);
}

int GreyGains16(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
                int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param, void* extra) {
  if (dst_bpp != 2 || src_bpp != 2 || extra == nullptr) return 0;
  const auto& args = *static_cast<const GreyGainsArgs*>(extra);
  return GreyGainsImpl<uint16_t>(dst, src, src_rect, dst_x, dst_y, dst_stride, src_stride, param, args,
                                 SignificantMaximum(args.significant_bits));
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
void BuildContrastTable8(int32_t contrast, uint8_t table[256]) { ContrastTable<uint8_t>(contrast, 255, table); }
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

int ApplyToneTable(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y, int32_t dst_bpp,
                   int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t, void* extra) {
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
template <typename T>
void SharpenImpl(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y, int32_t dst_bpp,
                 int32_t src_bpp, int32_t dst_stride, int32_t src_stride, const SharpenArgs& args, int32_t channels,
                 int32_t maximum) {
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
          columns[x * channels + c] += static_cast<uint32_t>(added[x * src_step + c]) - gone[x * src_step + c];
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

int Sharpen(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y, int32_t dst_bpp,
            int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t, void* extra) {
  Layout layout;
  const auto* args = static_cast<const SharpenArgs*>(extra);
  if (args == nullptr || args->table == nullptr || args->scratch == nullptr || dst_bpp != src_bpp ||
      !LayoutOf(dst_bpp, &layout)) {
    return 0;
  }
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
const uint16_t* ToneTables::Gamma16(int32_t v) { return Get(gamma16_, gamma16_key_, v, 65536, BuildGammaTable16); }
const uint8_t* ToneTables::Contrast8(int32_t v) { return Get(contrast8_, contrast8_key_, v, 256, BuildContrastTable8); }
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
  return Get(sharp16_, sharp16_key_, v, 131071, [](int32_t s, int32_t* t) { BuildSharpnessTable(s, 65535, t); });
}

}  // namespace morvex::imaging
