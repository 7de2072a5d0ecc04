// The mask filter: raw samples scaled between the dark and white references.
#include "imaging/adjust.h"

#include <algorithm>

#include "imaging/adjust_kernels.h"

namespace morvex::imaging {

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

}  // namespace morvex::imaging
