// Automatic exposure: the five-region measurement and the next gain and
// exposure it asks for.
#include "imaging/adjust.h"

#include <algorithm>
#include <cstdint>

#include "imaging/adjust_layout.h"

namespace morvex::imaging {

namespace {

using detail::Load16;

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

}  // namespace morvex::imaging
