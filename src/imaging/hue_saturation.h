// Hue rotation and saturation of colour images (24, 32, 48, 64 bits) in
// fixed point on 24-bit words.
#pragma once

#include <cstdint>

#include "imaging/image_operation.h"

namespace morvex::imaging {

// The saturation table of one saturation argument, kept by whoever runs the
// step so that it is rebuilt only when the argument changes.
class SaturationTable {
 public:
  const int32_t* For(int32_t saturation);
  uint32_t builds() const { return builds_; }

 private:
  int32_t table_[256] = {};
  int32_t key_ = INT32_MIN;
  uint32_t builds_ = 0;
};

struct HueSaturationArgs {
  int32_t hue = 0;                   // −360 … 360
  int32_t saturation = 0;            // −255 … 255
  SaturationTable* table = nullptr;  // null: built on the stack for this call
};

// In place on 3, 4, 6 or 8 bytes per pixel; extra = HueSaturationArgs*.
// 16-bit channels are processed at 8-bit precision; the fourth byte or
// sample is set to 0.
int HueSaturation(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
                  int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                  void* extra);

// One pixel (blue, green, red bytes) through the step: the 24-bit word
// red << 16 | green << 8 | blue.
uint32_t HueSaturationPixel(uint8_t blue, uint8_t green, uint8_t red, int32_t hue_position,
                            const int32_t* saturation);
// The hue position A (0 … 1529) of a hue in degrees.
int32_t HuePosition(int32_t hue);

}  // namespace morvex::imaging
