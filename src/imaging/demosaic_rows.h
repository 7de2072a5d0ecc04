// Shared row set of the demosaic kernels (internal to the imaging layer).
#pragma once

#include <cstdint>

#include "imaging/image_operation.h"

namespace morvex::imaging::detail {

// Phases of a bayer mode: mode 0 is G B / R G; 1 starts one row later, 2 one
// column later, 3 both. A site with row phase 1 and column phase 0 is red,
// row phase 0 and column phase 1 blue, the others green.
inline int32_t RowPhase0(int32_t mode) { return (mode == 1 || mode == 3) ? 1 : 0; }
inline int32_t ColumnPhase0(int32_t mode) { return (mode == 2 || mode == 3) ? 1 : 0; }

// The six raw rows one output row reads, and the column parities.
template <typename T>
struct DemosaicRows {
  const T* red_near;  // row of the block's red sample
  const T* red_far;   // the red row two rows away, beyond the block
  const T* blue_near;
  const T* blue_far;
  const T* green_top;  // block rows y − 1 and y
  const T* green_bottom;
  int32_t red_parity;    // x & 1 of the red columns
  int32_t green_parity;  // x & 1 where (x, y) itself is green
};

// Rows of output row y of an image whose row r starts at base + r × stride
// (stride in samples). `row_of` maps a row index into the image (identity
// inside, the four-row reflection at the border).
template <typename T, typename RowOf>
DemosaicRows<T> RowsAt(const T* base, int64_t stride, int32_t y, int32_t mode, RowOf row_of) {
  const int32_t rp0 = RowPhase0(mode);
  const int32_t cp0 = ColumnPhase0(mode);
  DemosaicRows<T> r{};
  auto row = [&](int32_t i) { return base + static_cast<int64_t>(row_of(i)) * stride; };
  const T* top = row(y - 1);
  const T* bottom = row(y);
  const bool red_on_top = ((y - 1 + rp0) & 1) == 1;
  if (red_on_top) {
    r.red_near = top;
    r.red_far = row(y + 1);
    r.blue_near = bottom;
    r.blue_far = row(y - 2);
  } else {
    r.red_near = bottom;
    r.red_far = row(y - 2);
    r.blue_near = top;
    r.blue_far = row(y + 1);
  }
  r.green_top = top;
  r.green_bottom = bottom;
  r.red_parity = cp0 & 1;
  r.green_parity = (y + rp0 + cp0) & 1;
  return r;
}

// Rows of an interior output row: all inside the image.
template <typename T>
DemosaicRows<T> InteriorRows(const T* base, int64_t stride, int32_t y, int32_t mode) {
  return RowsAt(base, stride, y, mode, [](int32_t i) { return i; });
}

// Scalar 8-bit span [x0, x1) into BGR(x) pixels of `step` bytes.
void Demosaic8Span(const DemosaicRows<uint8_t>& rows, int32_t x0, int32_t x1, uint8_t* out, int32_t step,
                   int32_t weight_red, int32_t weight_blue);

// Scalar 16-bit span [x0, x1) into BGR(x) pixels of `step` samples.
void Demosaic16Span(const DemosaicRows<uint16_t>& rows, int32_t x0, int32_t x1, uint16_t* out, int32_t step,
                    int32_t weight_red, int32_t weight_blue);

// Columns 2 … x_end − 1 of one 16-bit output row into `out_row` (column 0,
// pixels of `step` samples: 3 or 4); reads columns 0 … x_end of the rows.
using Demosaic16RowFn = void (*)(const DemosaicRows<uint16_t>& rows, int32_t x_end, uint16_t* out_row,
                                 int32_t step, int32_t weight_red, int32_t weight_blue);
Demosaic16RowFn Demosaic16RowAvx2Kernel();
Demosaic16RowFn Demosaic16RowSse2Kernel();

// The interior rows (2 … height − 3) of a 16-bit demosaic image operation
// through a vector row kernel that takes weights up to `max_weight`; any
// other case goes to the scalar routine whole.
int Demosaic16Interior(Demosaic16RowFn row, int32_t max_weight, uint8_t* dst, const uint8_t* src,
                       const Rect& rect, int32_t dst_x, int32_t dst_y, int32_t dst_bpp, int32_t src_bpp,
                       int32_t dst_stride, int32_t src_stride, int32_t mode, void* extra);

// Runs `chunk(x)`, which fills kLanes columns from the even column x, over
// columns 2 … x_end − 1. A part step left at the end is done by one more step
// moved back to an even column over finished pixels (they get the same
// values again), so at most one pixel is left: returns the column the scalar
// code continues from.
template <int32_t kLanes, typename Chunk>
inline int32_t ChunkedColumns(int32_t x_end, Chunk&& chunk) {
  int32_t x = 2;
  for (; x + kLanes <= x_end; x += kLanes) chunk(x);
  if (x < x_end && x > 2) {
    const int32_t back = (x_end - kLanes) & ~1;
    chunk(back);
    x = back + kLanes;
  }
  return x;
}

}  // namespace morvex::imaging::detail
