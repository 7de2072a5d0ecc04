// DIB section selected into a memory device context, so that the preview
// can BitBlt/StretchBlt it. GDI refuses 48 and 64 bits per pixel; those
// images fall back to plain zeroed memory without a context.
#include <windows.h>
// vfw.h needs the types of windows.h first.
#include <vfw.h>

#include <cstdlib>

#include "imaging/dib_image.h"

namespace morvex::imaging {

struct CDibImage::Surface {
  HDC dc = nullptr;
  HBITMAP section = nullptr;
  HBITMAP auxiliary[3] = {nullptr, nullptr, nullptr};
  HGDIOBJ previous[4] = {nullptr, nullptr, nullptr, nullptr};
  HDRAWDIB drawdib = nullptr;
  void* plain = nullptr;
};

CDibImage::CDibImage() { info_.header.size = sizeof(DibHeader); }

CDibImage::~CDibImage() { ReleasePixels(); }

bool CDibImage::CreatePixels(const CDibImage* reference) {
  auto surface = std::make_unique<Surface>();
  HDC reference_dc = reference && reference->surface_ ? reference->surface_->dc : nullptr;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(reference_dc, reinterpret_cast<const BITMAPINFO*>(&info_),
                                     DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section != nullptr && bits != nullptr) {
    HDC dc = CreateCompatibleDC(reference_dc);
    if (dc != nullptr) {
      surface->dc = dc;
      surface->section = section;
      surface->previous[0] = SelectObject(dc, section);
      pixels_ = static_cast<uint8_t*>(bits);
      surface_ = std::move(surface);
      return true;
    }
  }
  if (section != nullptr) DeleteObject(section);
  void* memory = std::calloc(size_bytes(), 1);
  if (memory == nullptr) return false;
  surface->plain = memory;
  pixels_ = static_cast<uint8_t*>(memory);
  surface_ = std::move(surface);
  return true;
}

void CDibImage::ReleasePixels() {
  if (surface_) {
    Surface& s = *surface_;
    if (s.dc != nullptr) {
      for (int i = 3; i >= 1; --i) {
        if (s.auxiliary[i - 1] != nullptr) {
          if (s.previous[i] != nullptr) SelectObject(s.dc, s.previous[i]);
          DeleteObject(s.auxiliary[i - 1]);
        }
      }
      if (s.previous[0] != nullptr) SelectObject(s.dc, s.previous[0]);
      if (s.section != nullptr) DeleteObject(s.section);
      DeleteDC(s.dc);
    } else if (s.section != nullptr) {
      DeleteObject(s.section);
    }
    if (s.drawdib != nullptr) DrawDibClose(s.drawdib);
    std::free(s.plain);
  }
  surface_.reset();
  pixels_ = nullptr;
}

void CDibImage::UploadColourTable(uint32_t first, uint32_t count) {
  if (surface_ && surface_->dc != nullptr && bits_ == 8) {
    SetDIBColorTable(surface_->dc, first, count, reinterpret_cast<const RGBQUAD*>(&info_.colours[first]));
  }
}

bool CDibImage::BlitNative(const CDibImage& source, int32_t x, int32_t y, const Rect& rect) {
  if (!surface_ || !source.surface_ || surface_->dc == nullptr || source.surface_->dc == nullptr) {
    return false;
  }
  GdiFlush();
  const BOOL ok = BitBlt(surface_->dc, x, y, rect.width(), rect.height(), source.surface_->dc, rect.left,
                         rect.top, SRCCOPY);
  GdiFlush();
  return ok != FALSE;
}

void* CDibImage::device_context() const { return surface_ ? surface_->dc : nullptr; }

}  // namespace morvex::imaging
