// The one calling convention of every conversion and adjustment routine.
#pragma once

#include <cstdint>

namespace morvex::imaging {

// Left, top, right, bottom; right and bottom are exclusive.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t width() const { return right - left; }
  int32_t height() const { return bottom - top; }
};

// operation(destination pixels, source pixels, source rectangle in memory
// rows, destination x, destination memory row, destination bytes per pixel,
// source bytes per pixel, destination stride, source stride, parameter,
// extra). Source and destination may be the same memory (in-place steps).
using ImageOperation = int (*)(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x,
                               int32_t dst_y, int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride,
                               int32_t src_stride, int32_t param, void* extra);

// The scaled form used by the preview: both rectangles are given.
using ScaledImageOperation = int (*)(uint8_t* dst, const uint8_t* src, const Rect& dst_rect,
                                     const Rect& src_rect, int32_t dst_width, int32_t dst_height,
                                     int32_t src_width, int32_t src_height, int32_t dst_bpp, int32_t src_bpp,
                                     int32_t dst_stride, int32_t src_stride, int32_t param, void* extra);

}  // namespace morvex::imaging
