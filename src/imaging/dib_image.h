// CDibImage: the image object of the library. A device-independent bitmap
// with a 256-entry colour table; on Windows the pixels live in a DIB section
// selected into a memory device context so GDI can draw them, elsewhere (and
// for 48/64 bits, which GDI refuses) in plain zeroed memory.
//
// Row 0 in memory is the top row of the picture, although the header
// declares a positive (bottom-up) height.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/image_operation.h"

namespace morvex::imaging {

// BITMAPINFOHEADER.
struct DibHeader {
  uint32_t size;
  int32_t width;
  int32_t height;
  uint16_t planes;
  uint16_t bit_count;
  uint32_t compression;
  uint32_t size_image;
  int32_t x_pels_per_meter;
  int32_t y_pels_per_meter;
  uint32_t clr_used;
  uint32_t clr_important;
};
static_assert(sizeof(DibHeader) == 40, "BITMAPINFOHEADER is 40 bytes");
static_assert(offsetof(DibHeader, width) == 4 && offsetof(DibHeader, height) == 8);
static_assert(offsetof(DibHeader, planes) == 12 && offsetof(DibHeader, bit_count) == 14);
static_assert(offsetof(DibHeader, compression) == 16 && offsetof(DibHeader, size_image) == 20);
static_assert(offsetof(DibHeader, clr_used) == 32 && offsetof(DibHeader, clr_important) == 36);

// RGBQUAD.
struct DibColour {
  uint8_t blue;
  uint8_t green;
  uint8_t red;
  uint8_t reserved;
};
static_assert(sizeof(DibColour) == 4, "RGBQUAD is 4 bytes");

// Header and colour table together form a BITMAPINFO with 256 entries.
struct DibInfo {
  DibHeader header;
  DibColour colours[256];
};
static_assert(sizeof(DibInfo) == 40 + 1024);
static_assert(offsetof(DibInfo, colours) == 40);

enum class ColourTableMode : int32_t { kGreyRamp = 0, kEntries = 2 };

class CDibImage {
 public:
  CDibImage();
  ~CDibImage();
  CDibImage(const CDibImage&) = delete;
  CDibImage& operator=(const CDibImage&) = delete;

  // Bits per pixel 8, 16, 24, 32, 48 or 64; 8-bit images get the grey ramp.
  bool Create(int32_t width, int32_t height, uint16_t bits_per_pixel);
  // Takes the other image's format and size with new, zeroed pixels.
  bool CopyGeometry(const CDibImage* other);
  void Release();
  // Mode 0: grey ramp (entries ignored); mode 2: the given entries.
  bool SetColourTable(int32_t mode, const DibColour* entries, uint32_t first, uint32_t count);
  // Copies the source (or its rectangle, bottom-up coordinates) to (x, y),
  // converting 8-bit palette images to 24/32 bits. False when the formats
  // cannot be converted.
  bool Blit(const CDibImage& source, int32_t x, int32_t y, const Rect* rect = nullptr);

  // Runs `op` on the clipped rectangle; rectangle and y count from the
  // bottom of the image. 0 when nothing remains or op is null.
  int Apply(ImageOperation op, const CDibImage& source, const Rect* rect, int32_t x, int32_t y, int32_t param,
            void* extra);
  int ApplyScaled(ScaledImageOperation op, const CDibImage& source, const Rect* dst_rect,
                  const Rect* src_rect, int32_t param, void* extra);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t stride() const { return stride_; }
  uint16_t bits_per_pixel() const { return bits_; }
  int32_t bytes_per_pixel() const { return bits_ / 8; }
  size_t size_bytes() const { return static_cast<size_t>(stride_) * static_cast<size_t>(height_); }
  bool empty() const { return pixels_ == nullptr; }
  uint8_t* pixels() { return pixels_; }
  const uint8_t* pixels() const { return pixels_; }
  uint8_t* row(int32_t y) { return pixels_ + static_cast<size_t>(y) * static_cast<size_t>(stride_); }
  const uint8_t* row(int32_t y) const {
    return pixels_ + static_cast<size_t>(y) * static_cast<size_t>(stride_);
  }
  const DibHeader& header() const { return info_.header; }
  const DibInfo& info() const { return info_; }
  const DibColour* colour_table() const { return info_.colours; }
  // The memory device context (HDC), null for plain memory.
  void* device_context() const;
  bool drawable() const { return device_context() != nullptr; }

  // How many low bits of each 16-bit sample carry data: 12 for the camera's
  // right-aligned raw data, 16 once the mask filter has left-aligned it. The
  // 8-bit views (display, JPEG, AVI) take the top 8 of these bits.
  int32_t significant_bits() const { return significant_bits_; }
  void set_significant_bits(int32_t bits) { significant_bits_ = bits; }

  // Bytes per row for a width and depth.
  static int32_t StrideFor(int32_t width, uint16_t bits_per_pixel) {
    return (width * (bits_per_pixel / 8) + 3) & ~3;
  }

 private:
  struct Surface;  // platform part: section, context, selected objects
  bool CreatePixels(const CDibImage* reference);
  void ReleasePixels();
  void UploadColourTable(uint32_t first, uint32_t count);
  bool BlitNative(const CDibImage& source, int32_t x, int32_t y, const Rect& rect);

  DibInfo info_{};
  std::unique_ptr<Surface> surface_;
  uint8_t* pixels_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t stride_ = 0;
  uint16_t bits_ = 0;
  int32_t significant_bits_ = 16;
};

}  // namespace morvex::imaging
