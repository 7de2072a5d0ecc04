#include "imaging/dib_image.h"

#include <algorithm>
#include <cstring>

namespace morvex::imaging {
namespace {

bool SupportedDepth(uint16_t bits) {
  return bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 48 || bits == 64;
}

// Software blit: same depth copies, 8-bit palette images expand through
// their colour table into 24 or 32 bits.
int BlitRows(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y, int32_t dst_bpp,
             int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t, void* extra) {
  const auto* table = static_cast<const DibColour*>(extra);
  for (int32_t i = 0; i < r.height(); ++i) {
    const uint8_t* s = src + static_cast<size_t>(r.top + i) * src_stride + r.left * src_bpp;
    uint8_t* d = dst + static_cast<size_t>(dst_y + i) * dst_stride + dst_x * dst_bpp;
    if (dst_bpp == src_bpp) {
      std::memmove(d, s, static_cast<size_t>(r.width()) * src_bpp);
    } else {
      for (int32_t k = 0; k < r.width(); ++k) {
        const DibColour& c = table[s[k]];
        d[k * dst_bpp + 0] = c.blue;
        d[k * dst_bpp + 1] = c.green;
        d[k * dst_bpp + 2] = c.red;
      }
    }
  }
  return 1;
}

}  // namespace

void CDibImage::Release() {
  ReleasePixels();
  info_.header = DibHeader{};
  info_.header.size = sizeof(DibHeader);
  width_ = height_ = stride_ = 0;
  bits_ = 0;
}

bool CDibImage::Create(int32_t width, int32_t height, uint16_t bits_per_pixel) {
  if (width <= 0 || height <= 0 || bits_per_pixel == 0) return false;
  Release();
  // Other depths would give a zero stride; sizes beyond 2 GiB cannot be
  // addressed with the 32-bit strides of the image operations.
  if (!SupportedDepth(bits_per_pixel)) return false;
  const int64_t stride = (static_cast<int64_t>(width) * (bits_per_pixel / 8) + 3) & ~int64_t{3};
  if (stride > INT32_MAX || stride * height > INT32_MAX) return false;

  DibHeader& h = info_.header;
  h.size = sizeof(DibHeader);
  h.width = width;
  h.height = height;
  h.planes = 1;
  h.bit_count = bits_per_pixel;
  h.compression = 0;
  width_ = width;
  height_ = height;
  bits_ = bits_per_pixel;
  stride_ = static_cast<int32_t>(stride);
  if (bits_per_pixel == 8) {
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      info_.colours[i] = DibColour{v, v, v, 0};
    }
  }
  if (!CreatePixels(nullptr)) {
    Release();
    return false;
  }
  return true;
}

bool CDibImage::CopyGeometry(const CDibImage* other) {
  if (other == nullptr || other->width_ <= 0 || other->height_ <= 0 || other->bits_ == 0) return false;
  if (other == this) return true;
  Release();
  info_ = other->info_;
  width_ = other->width_;
  height_ = other->height_;
  stride_ = other->stride_;
  bits_ = other->bits_;
  if (!CreatePixels(other)) {
    Release();
    return false;
  }
  return true;
}

bool CDibImage::SetColourTable(int32_t mode, const DibColour* entries, uint32_t first, uint32_t count) {
  if (mode == static_cast<int32_t>(ColourTableMode::kGreyRamp)) {
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      info_.colours[i] = DibColour{v, v, v, 0};
    }
    UploadColourTable(0, 256);
  } else if (mode == static_cast<int32_t>(ColourTableMode::kEntries) && entries != nullptr && first < 256) {
    count = std::min(count, 256 - first);
    std::memcpy(&info_.colours[first], entries, count * sizeof(DibColour));
    UploadColourTable(first, count);
  }
  return true;
}

int CDibImage::Apply(ImageOperation op, const CDibImage& source, const Rect* rect, int32_t x, int32_t y,
                     int32_t param, void* extra) {
  if (op == nullptr || pixels_ == nullptr || source.pixels_ == nullptr) return 0;
  Rect r = rect ? *rect : Rect{0, 0, source.width_, source.height_};
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, source.width_);
  r.bottom = std::min(r.bottom, source.height_);
  if (x < 0) {
    r.left -= x;
    x = 0;
  }
  if (y < 0) {
    r.top -= y;
    y = 0;
  }
  if (x >= width_ || y >= height_) return 0;
  r.right = std::min(r.right, r.left + (width_ - x));
  r.bottom = std::min(r.bottom, r.top + (height_ - y));
  if (r.width() <= 0 || r.height() <= 0) return 0;

  const Rect memory{r.left, source.height_ - r.bottom, r.right, source.height_ - r.top};
  const int32_t dst_row = height_ - (y + r.height());
  return op(pixels_, source.pixels_, memory, x, dst_row, bytes_per_pixel(), source.bytes_per_pixel(), stride_,
            source.stride_, param, extra);
}

int CDibImage::ApplyScaled(ScaledImageOperation op, const CDibImage& source, const Rect* dst_rect,
                           const Rect* src_rect, int32_t param, void* extra) {
  if (op == nullptr || pixels_ == nullptr || source.pixels_ == nullptr) return 0;
  const Rect d = dst_rect ? *dst_rect : Rect{0, 0, width_, height_};
  const Rect s = src_rect ? *src_rect : Rect{0, 0, source.width_, source.height_};
  return op(pixels_, source.pixels_, d, s, width_, height_, source.width_, source.height_, bytes_per_pixel(),
            source.bytes_per_pixel(), stride_, source.stride_, param, extra);
}

bool CDibImage::Blit(const CDibImage& source, int32_t x, int32_t y, const Rect* rect) {
  if (pixels_ == nullptr || source.pixels_ == nullptr) return false;
  const Rect r = rect ? *rect : Rect{0, 0, source.width_, source.height_};
  if (BlitNative(source, x, y, r)) return true;
  const bool expand = source.bits_ == 8 && (bits_ == 24 || bits_ == 32);
  if (source.bits_ != bits_ && !expand) return false;
  Apply(&BlitRows, source, &r, x, y, 0, const_cast<DibColour*>(source.info_.colours));
  return true;
}

}  // namespace morvex::imaging
