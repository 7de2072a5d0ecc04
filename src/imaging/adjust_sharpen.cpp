// Sharpening: a 4 x 4 box blur from sliding column sums, the difference
// scaled by the sharpness table.
#include "imaging/adjust.h"

#include <algorithm>
#include <vector>

#include "imaging/adjust_kernels.h"
#include "imaging/adjust_layout.h"

namespace morvex::imaging {

using detail::Layout;
using detail::LayoutOf;

namespace {
// The post table on the samples the interior pass did not write: the two
// outer rows and columns, or everything on images too small to sharpen.
template <typename T>
void PostOutsideInterior(uint8_t* dst, const Rect& r, int32_t dst_x, int32_t dst_y, int32_t dst_stride,
                         const void* post_table) {
  if (post_table == nullptr) return;
  const T* post = static_cast<const T*>(post_table);
  const int32_t w = r.width(), h = r.height();
  const bool small = w < 5 || h < 5;
  for (int32_t y = 0; y < h; ++y) {
    T* d = reinterpret_cast<T*>(dst + static_cast<int64_t>(dst_y + y) * dst_stride) + dst_x;
    if (small || y < 2 || y >= h - 2) {
      for (int32_t x = 0; x < w; ++x) d[x] = post[d[x]];
    } else {
      d[0] = post[d[0]], d[1] = post[d[1]], d[w - 2] = post[d[w - 2]], d[w - 1] = post[d[w - 1]];
    }
  }
}

// 8-bit grey: 16-bit column sums and the row kernel.
void SharpenGrey8(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                  int32_t dst_stride, int32_t src_stride, const SharpenArgs& args) {
  const int32_t w = r.width(), h = r.height();
  if (w < 5 || h < 5) return;
  auto src_row = [&](int32_t y) { return src + static_cast<int64_t>(r.top + y) * src_stride + r.left; };
  std::vector<uint16_t> local;
  std::vector<uint16_t>& columns = args.scratch16 ? *args.scratch16 : local;
  columns.assign(static_cast<size_t>(w), 0);
  uint16_t* col = columns.data();
  for (int32_t y = 0; y < 4; ++y) {
    const uint8_t* s = src_row(y);
    for (int32_t x = 0; x < w; ++x) col[x] = static_cast<uint16_t>(col[x] + s[x]);
  }
  const int32_t strength = args.table[255 + 10];  // T[10] = s
  const auto* post = static_cast<const uint8_t*>(args.post_table);
  const detail::SharpenRow8Fn row_kernel = detail::ChooseGreyKernels().sharpen_row8;
  for (int32_t y = 2; y < h - 2; ++y) {
    if (y > 2) {
      const uint8_t* gone = src_row(y - 3);
      const uint8_t* added = src_row(y + 1);
      for (int32_t x = 0; x < w; ++x) col[x] = static_cast<uint16_t>(col[x] + added[x] - gone[x]);
    }
    uint8_t* d = dst + static_cast<int64_t>(dst_y + y) * dst_stride + dst_x;
    row_kernel(col, src_row(y), d, 2, w - 2, strength);
    if (post != nullptr) {
      for (int32_t x = 2; x < w - 2; ++x) d[x] = post[d[x]];
    }
  }
}

// Grey images: column sums and the 4-wide window as plain loops.
template <typename T>
void SharpenGrey(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                 int32_t dst_stride, int32_t src_stride, const SharpenArgs& args, int32_t maximum) {
  const int32_t w = r.width(), h = r.height();
  if (w < 5 || h < 5) return;
  auto src_row = [&](int32_t y) {
    return reinterpret_cast<const T*>(src + static_cast<int64_t>(r.top + y) * src_stride) + r.left;
  };
  std::vector<uint32_t>& columns = *args.scratch;
  columns.assign(static_cast<size_t>(w), 0);
  uint32_t* col = columns.data();
  for (int32_t y = 0; y < 4; ++y) {
    const T* s = src_row(y);
    for (int32_t x = 0; x < w; ++x) col[x] += s[x];
  }
  // T[d] = (s × d) / 10 is evaluated directly (T[10] is s): the same
  // values as the table.
  const int32_t strength = args.table[maximum + 10];
  const T* post = static_cast<const T*>(args.post_table);
  const detail::SharpenRow16Fn row_kernel = detail::ChooseGreyKernels().sharpen_row16;
  for (int32_t y = 2; y < h - 2; ++y) {
    if (y > 2) {
      const T* gone = src_row(y - 3);
      const T* added = src_row(y + 1);
      for (int32_t x = 0; x < w; ++x) col[x] = col[x] + added[x] - gone[x];
    }
    T* d = reinterpret_cast<T*>(dst + static_cast<int64_t>(dst_y + y) * dst_stride) + dst_x;
    row_kernel(col, src_row(y), d, 2, w - 2, strength);
    if (post != nullptr) {
      for (int32_t x = 2; x < w - 2; ++x) d[x] = post[d[x]];
    }
  }
}

template <typename T>
void SharpenImpl(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                 int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride,
                 const SharpenArgs& args, int32_t channels, int32_t maximum) {
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
          columns[x * channels + c] +=
              static_cast<uint32_t>(added[x * src_step + c]) - gone[x * src_step + c];
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

int Sharpen(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
            int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t, void* extra) {
  Layout layout;
  const auto* args = static_cast<const SharpenArgs*>(extra);
  if (args == nullptr || args->table == nullptr || args->scratch == nullptr || dst_bpp != src_bpp ||
      !LayoutOf(dst_bpp, &layout)) {
    return 0;
  }
  if (layout.channels == 1) {
    if (layout.sample_bytes == 1) {
      SharpenGrey8(dst, src, src_rect, dst_x, dst_y, dst_stride, src_stride, *args);
      PostOutsideInterior<uint8_t>(dst, src_rect, dst_x, dst_y, dst_stride, args->post_table);
    } else {
      SharpenGrey<uint16_t>(dst, src, src_rect, dst_x, dst_y, dst_stride, src_stride, *args, 65535);
      PostOutsideInterior<uint16_t>(dst, src_rect, dst_x, dst_y, dst_stride, args->post_table);
    }
    return 1;
  }
  if (args->post_table != nullptr) return 0;  // grey layouts only
  if (src_rect.width() < 5 || src_rect.height() < 5) return 1;
  if (layout.sample_bytes == 1) {
    SharpenImpl<uint8_t>(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, *args,
                         layout.channels, 255);
  } else {
    SharpenImpl<uint16_t>(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, *args,
                          layout.channels, 65535);
  }
  return 1;
}

}  // namespace morvex::imaging
