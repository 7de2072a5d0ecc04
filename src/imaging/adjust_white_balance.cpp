// White balance measured over the Bayer sites.
#include "imaging/adjust.h"

#include <algorithm>

#include "imaging/adjust_layout.h"
#include "imaging/demosaic_rows.h"

namespace morvex::imaging {

using detail::Load16;

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

}  // namespace morvex::imaging
