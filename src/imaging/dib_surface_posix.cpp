// Without GDI every image is plain zeroed memory and cannot be drawn.
#include <cstdlib>

#include "imaging/dib_image.h"

namespace morvex::imaging {

struct CDibImage::Surface {
  void* memory = nullptr;
};

CDibImage::CDibImage() { info_.header.size = sizeof(DibHeader); }

CDibImage::~CDibImage() { ReleasePixels(); }

bool CDibImage::CreatePixels(const CDibImage*) {
  void* memory = std::calloc(size_bytes(), 1);
  if (memory == nullptr) return false;
  surface_ = std::make_unique<Surface>();
  surface_->memory = memory;
  pixels_ = static_cast<uint8_t*>(memory);
  return true;
}

void CDibImage::ReleasePixels() {
  if (surface_) std::free(surface_->memory);
  surface_.reset();
  pixels_ = nullptr;
}

void CDibImage::UploadColourTable(uint32_t, uint32_t) {}

bool CDibImage::BlitNative(const CDibImage&, int32_t, int32_t, const Rect&) { return false; }

void* CDibImage::device_context() const { return nullptr; }

}  // namespace morvex::imaging
