// Row kernels of the grey adjustments: the scalar reference and the vector
// variant, chosen per call by ChooseGreyKernels() (internal to the layer).
#pragma once

#include <cstdint>

namespace morvex::imaging::detail {

// In place: v = clamp(((v − d) × 256) / (w − d), 0, 255), truncated toward
// zero; samples with w = d are left alone.
using MaskRow8Fn = void (*)(uint8_t* v, const uint8_t* d, const uint8_t* w, int32_t n);
// Output columns [x0, x1) of one row: v + (strength × (v − blur)) / 10,
// blur = (col[x − 2] + col[x − 1] + col[x] + col[x + 1]) >> 4, clamped.
using SharpenRow8Fn = void (*)(const uint16_t* col, const uint8_t* src, uint8_t* dst, int32_t x0, int32_t x1,
                               int32_t strength);

// 16-bit: v = clamp(((v − d) × 4096) / (w − d), 0, 4095) × 16 where w > d.
using MaskRow16Fn = void (*)(uint16_t* v, const uint16_t* d, const uint16_t* w, int32_t n);
using SharpenRow16Fn = void (*)(const uint32_t* col, const uint16_t* src, uint16_t* dst, int32_t x0,
                                int32_t x1, int32_t strength);
// v = clamp(o + ((g × v) >> 7), 0, maximum) with (g, o) alternating per
// column, starting with `even` at element 0; 0 ≤ g < 2^15.
using GreyGainsRow16Fn = void (*)(const uint16_t* src, uint16_t* dst, int32_t n, int32_t gain_even,
                                  int32_t offset_even, int32_t gain_odd, int32_t offset_odd, int32_t maximum);

struct GreyKernels {
  MaskRow8Fn mask_row8;
  SharpenRow8Fn sharpen_row8;
  MaskRow16Fn mask_row16;
  SharpenRow16Fn sharpen_row16;
  GreyGainsRow16Fn grey_gains_row16;
};

void MaskRow16Scalar(uint16_t* v, const uint16_t* d, const uint16_t* w, int32_t n);
void SharpenRow16Scalar(const uint32_t* col, const uint16_t* src, uint16_t* dst, int32_t x0, int32_t x1,
                        int32_t strength);
void GreyGainsRow16Scalar(const uint16_t* src, uint16_t* dst, int32_t n, int32_t gain_even,
                          int32_t offset_even, int32_t gain_odd, int32_t offset_odd, int32_t maximum);
void MaskRow16Sse2(uint16_t* v, const uint16_t* d, const uint16_t* w, int32_t n);
void SharpenRow16Sse2(const uint32_t* col, const uint16_t* src, uint16_t* dst, int32_t x0, int32_t x1,
                      int32_t strength);
void GreyGainsRow16Sse2(const uint16_t* src, uint16_t* dst, int32_t n, int32_t gain_even, int32_t offset_even,
                        int32_t gain_odd, int32_t offset_odd, int32_t maximum);

void MaskRow8Scalar(uint8_t* v, const uint8_t* d, const uint8_t* w, int32_t n);
void SharpenRow8Scalar(const uint16_t* col, const uint8_t* src, uint8_t* dst, int32_t x0, int32_t x1,
                       int32_t strength);
void MaskRow8Sse2(uint8_t* v, const uint8_t* d, const uint8_t* w, int32_t n);
void SharpenRow8Sse2(const uint16_t* col, const uint8_t* src, uint8_t* dst, int32_t x0, int32_t x1,
                     int32_t strength);

// Scalar when vector kernels are switched off or the processor lacks SSE2.
GreyKernels ChooseGreyKernels();
GreyKernels ScalarGreyKernels();

}  // namespace morvex::imaging::detail
