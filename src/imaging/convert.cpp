#include "imaging/convert.h"

#include <algorithm>
#include <cstring>

namespace morvex::imaging {
namespace {

inline uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline void Store16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

int RespaceRows(uint8_t* dst, const Rect& r, int32_t bpp, int32_t stride) {
  const int32_t width = r.right;
  const size_t packed = static_cast<size_t>(width) * bpp;
  if (packed == static_cast<size_t>(stride)) return 1;
  // Backwards, so that no packed byte is overwritten before it has moved.
  for (int32_t row = r.bottom - 1; row >= 0; --row) {
    std::memmove(dst + static_cast<size_t>(row) * stride, dst + row * packed, packed);
  }
  return 1;
}

// Per-pixel converters walk rows through a callable.
template <typename PixelFn>
int ForEachPixel(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                 int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, bool flip,
                 PixelFn fn) {
  for (int32_t i = 0; i < r.height(); ++i) {
    const int32_t src_row = flip ? r.bottom - 1 - i : r.top + i;
    const uint8_t* s =
        src + static_cast<size_t>(src_row) * src_stride + static_cast<size_t>(r.left) * src_bpp;
    uint8_t* d = dst + static_cast<size_t>(dst_y + i) * dst_stride + static_cast<size_t>(dst_x) * dst_bpp;
    for (int32_t k = 0; k < r.width(); ++k) fn(d + k * dst_bpp, s + k * src_bpp);
  }
  return 1;
}

}  // namespace

MORVEX_IMAGE_OP(Respace8) {
  (void)src, (void)dst_x, (void)dst_y, (void)src_bpp, (void)src_stride, (void)param, (void)extra;
  return RespaceRows(dst, src_rect, dst_bpp, dst_stride);
}

MORVEX_IMAGE_OP(Respace16) {
  (void)src, (void)dst_x, (void)dst_y, (void)src_bpp, (void)src_stride, (void)param, (void)extra;
  return RespaceRows(dst, src_rect, dst_bpp, dst_stride);
}

bool RespaceFrame(CDibImage& image) {
  if (image.empty()) return false;
  return image.Apply(image.bits_per_pixel() == 16 ? &Respace16 : &Respace8, image, nullptr, 0, 0, 0,
                     nullptr) != 0;
}

MORVEX_IMAGE_OP(ColourToGrey) {
  (void)param, (void)extra;
  return ForEachPixel(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, false,
                      [](uint8_t* d, const uint8_t* s) {
                        d[0] = static_cast<uint8_t>((59 * s[1] + 30 * s[2] + 11 * s[0]) / 100);
                      });
}

MORVEX_IMAGE_OP(Copy8Flipped) {
  (void)src_bpp, (void)param, (void)extra;
  // Whole rows: as many bytes as the shorter of the two rows holds.
  const size_t bytes =
      static_cast<size_t>(std::min(dst_stride - dst_x * dst_bpp, src_stride - src_rect.left));
  for (int32_t i = 0; i < src_rect.height(); ++i) {
    std::memcpy(dst + static_cast<size_t>(dst_y + i) * dst_stride + dst_x * dst_bpp,
                src + static_cast<size_t>(src_rect.bottom - 1 - i) * src_stride + src_rect.left, bytes);
  }
  return 1;
}

MORVEX_IMAGE_OP(High16To8Flipped) {
  (void)param, (void)extra;
  return ForEachPixel(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, true,
                      [](uint8_t* d, const uint8_t* s) { d[0] = s[1]; });
}

MORVEX_IMAGE_OP(Bits2To9Flipped) {
  (void)param, (void)extra;
  return ForEachPixel(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, true,
                      [](uint8_t* d, const uint8_t* s) { d[0] = static_cast<uint8_t>(Load16(s) >> 2); });
}

MORVEX_IMAGE_OP(HighBytes48To24Flipped) {
  (void)param, (void)extra;
  return ForEachPixel(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, true,
                      [](uint8_t* d, const uint8_t* s) {
                        d[0] = s[1];
                        d[1] = s[3];
                        d[2] = s[5];
                      });
}

MORVEX_IMAGE_OP(Copy24Flipped) {
  (void)param, (void)extra;
  return ForEachPixel(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, true,
                      [](uint8_t* d, const uint8_t* s) {
                        d[0] = s[0];
                        d[1] = s[1];
                        d[2] = s[2];
                      });
}

MORVEX_IMAGE_OP(Display16To8) {
  (void)param, (void)extra;
  return ForEachPixel(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, false,
                      [](uint8_t* d, const uint8_t* s) { d[0] = s[1]; });
}

MORVEX_IMAGE_OP(Display32To24) {
  (void)param, (void)extra;
  return ForEachPixel(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, false,
                      [](uint8_t* d, const uint8_t* s) {
                        d[0] = s[0];
                        d[1] = s[1];
                        d[2] = s[2];
                      });
}

MORVEX_IMAGE_OP(Display48To24) {
  (void)param, (void)extra;
  return ForEachPixel(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, false,
                      [](uint8_t* d, const uint8_t* s) {
                        d[0] = static_cast<uint8_t>(Load16(s + 0) >> 4);
                        d[1] = static_cast<uint8_t>(Load16(s + 2) >> 4);
                        d[2] = static_cast<uint8_t>(Load16(s + 4) >> 4);
                      });
}

namespace {

uint8_t ViewSample(uint16_t sample, int32_t shift) {
  const uint32_t value = static_cast<uint32_t>(sample) >> shift;
  return static_cast<uint8_t>(value > 255 ? 255 : value);  // bits above the significant ones saturate
}

int View16(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y, int32_t dst_bpp,
           int32_t src_bpp, int32_t dst_stride, int32_t src_stride, bool flip, int32_t significant_bits) {
  const int32_t shift = ViewShift(significant_bits);
  return ForEachPixel(dst, src, r, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, flip,
                      [shift](uint8_t* d, const uint8_t* s) { d[0] = ViewSample(Load16(s), shift); });
}

int View48(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y, int32_t dst_bpp,
           int32_t src_bpp, int32_t dst_stride, int32_t src_stride, bool flip, int32_t significant_bits) {
  const int32_t shift = ViewShift(significant_bits);
  return ForEachPixel(dst, src, r, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, flip,
                      [shift](uint8_t* d, const uint8_t* s) {
                        d[0] = ViewSample(Load16(s + 0), shift);
                        d[1] = ViewSample(Load16(s + 2), shift);
                        d[2] = ViewSample(Load16(s + 4), shift);
                      });
}

}  // namespace

MORVEX_IMAGE_OP(View16To8) {
  (void)extra;
  return View16(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, false, param);
}

MORVEX_IMAGE_OP(View16To8Flipped) {
  (void)extra;
  return View16(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, true, param);
}

MORVEX_IMAGE_OP(View48To24) {
  (void)extra;
  return View48(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, false, param);
}

MORVEX_IMAGE_OP(View48To24Flipped) {
  (void)extra;
  return View48(dst, src, src_rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, true, param);
}

namespace {

int ScaledNearest(uint8_t* dst, const uint8_t* src, const Rect& dst_rect, const Rect& src_rect,
                  int32_t dst_width, int32_t dst_height, int32_t src_width, int32_t src_height,
                  int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride,
                  int32_t channels) {
  const int32_t d_w = dst_rect.width();
  const int32_t d_h = dst_rect.height();
  if (d_w <= 0 || d_h <= 0 || src_width <= 0 || src_height <= 0) return 0;
  const float x_ratio = static_cast<float>(src_rect.width()) / static_cast<float>(d_w);
  const float y_ratio = static_cast<float>(src_rect.height()) / static_cast<float>(d_h);
  for (int32_t i = 0; i < d_h; ++i) {
    const int32_t y = dst_rect.top + i;
    if (y < 0 || y >= dst_height) continue;
    int32_t sy = src_rect.bottom - 1 - static_cast<int32_t>(static_cast<float>(i) * y_ratio);
    sy = std::clamp(sy, 0, src_height - 1);
    const uint8_t* s = src + static_cast<size_t>(sy) * src_stride;
    uint8_t* d = dst + static_cast<size_t>(y) * dst_stride;
    for (int32_t j = 0; j < d_w; ++j) {
      const int32_t x = dst_rect.left + j;
      if (x < 0 || x >= dst_width) continue;
      int32_t sx = src_rect.left + static_cast<int32_t>(static_cast<float>(j) * x_ratio);
      sx = std::clamp(sx, 0, src_width - 1);
      std::memcpy(d + x * dst_bpp, s + sx * src_bpp, static_cast<size_t>(channels));
    }
  }
  return 1;
}

}  // namespace

MORVEX_SCALED_OP(ScaledDisplay8) {
  (void)param, (void)extra;
  if (dst_bpp < 1 || src_bpp < 1) return 0;
  return ScaledNearest(dst, src, dst_rect, src_rect, dst_width, dst_height, src_width, src_height, dst_bpp,
                       src_bpp, dst_stride, src_stride, 1);
}

MORVEX_SCALED_OP(ScaledDisplay24) {
  (void)param, (void)extra;
  if (dst_bpp < 3 || src_bpp < 3) return 0;
  return ScaledNearest(dst, src, dst_rect, src_rect, dst_width, dst_height, src_width, src_height, dst_bpp,
                       src_bpp, dst_stride, src_stride, 3);
}

bool MirrorRaw(CDibImage& raw, CDibImage& temp, bool mirror_h, bool mirror_v, bool device_mirrors_h,
               bool device_mirrors_v) {
  const bool soft_h = mirror_h && !device_mirrors_h;
  // Rows are reversed only when the device has not already done so; doing
  // it again would undo the hardware mirror.
  const bool soft_v = mirror_v && !device_mirrors_v;
  if ((!soft_h && !soft_v) || raw.empty()) return true;
  if (temp.width() != raw.width() || temp.height() != raw.height() ||
      temp.bits_per_pixel() != raw.bits_per_pixel()) {
    if (!temp.CopyGeometry(&raw)) return false;
  }
  const int32_t w = raw.width();
  const int32_t h = raw.height();
  const int32_t bpp = raw.bytes_per_pixel();
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = raw.row(soft_v ? h - 1 - y : y);
    uint8_t* d = temp.row(y);
    if (soft_h) {
      for (int32_t x = 0; x < w; ++x)
        std::memcpy(d + x * bpp, s + (w - 1 - x) * bpp, static_cast<size_t>(bpp));
    } else {
      std::memcpy(d, s, static_cast<size_t>(w) * bpp);
    }
  }
  std::memcpy(raw.pixels(), temp.pixels(), raw.size_bytes());
  return true;
}

}  // namespace morvex::imaging
