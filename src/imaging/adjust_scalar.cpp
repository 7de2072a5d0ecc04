// The scalar row kernels of the grey adjustments and the choice between
// them and the vector ones.
#include "imaging/adjust.h"

#include <algorithm>

#include "imaging/adjust_kernels.h"
#include "imaging/cpu_info.h"

namespace morvex::imaging {

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

}  // namespace morvex::imaging
