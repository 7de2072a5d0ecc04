// Grey gains per Bayer cell and their automatic balance.
#include "imaging/adjust.h"

#include <algorithm>

#include "imaging/adjust_kernels.h"
#include "imaging/demosaic_rows.h"

namespace morvex::imaging {

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
  const auto* tone = static_cast<const uint8_t*>(args.tone);
  for (int cell = 0; cell < 4; ++cell) {
    const int32_t g = std::clamp(args.gains.gain[cell], 0, 32767);
    for (int32_t v = 0; v < 256; ++v) {
      const auto gained = static_cast<uint8_t>(std::clamp(args.gains.offset[cell] + ((g * v) >> 7), 0, 255));
      tables[cell][v] = tone != nullptr ? tone[gained] : gained;
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
  const auto* tone = static_cast<const uint16_t*>(args.tone);
  for (int32_t i = 0; i < r.height(); ++i) {
    const int32_t y = r.top + i;
    const int32_t even = GreyCellIndex(param, r.left, y), odd = GreyCellIndex(param, r.left + 1, y);
    uint16_t* d = reinterpret_cast<uint16_t*>(dst + static_cast<int64_t>(dst_y + i) * dst_stride) + dst_x;
    // Gains and values are never negative, so (g × v) / 128 is a shift;
    // gains are held below 2^15 so the product fits 32 bits.
    row_kernel(reinterpret_cast<const uint16_t*>(src + static_cast<int64_t>(y) * src_stride) + r.left, d,
               r.width(), std::clamp(args.gains.gain[even], 0, 32767), args.gains.offset[even],
               std::clamp(args.gains.gain[odd], 0, 32767), args.gains.offset[odd], maximum);
    // The row is still in the cache.
    if (tone != nullptr)
      for (int32_t k = 0; k < r.width(); ++k) d[k] = tone[d[k]];
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

}  // namespace morvex::imaging
