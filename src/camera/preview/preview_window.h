// The library's own preview window of one camera instance. The acquisition
// worker draws every processed frame through it. The Win32 build makes real
// windows; the native build has a stand-in without a display that answers
// in the same order, so the worker's calls are the same in both builds.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/window_messages.h"

namespace morvex {
namespace imaging {
class CDibImage;
}

// Where Morvex_SetPreviewWindow asked the window to go. All five zero means
// "no preview window": frames flow without one. A new instance opens a
// top-level window.
struct PreviewPlacement {
  platform::WindowHandle parent = nullptr;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 640;
  int32_t height = 512;

  bool none() const { return parent == nullptr && x == 0 && y == 0 && width == 0 && height == 0; }
};

class PreviewWindow {
 public:
  virtual ~PreviewWindow() = default;

  // Makes the window for `owner` (the camera instance, which names its
  // class): a child of the parent at the placement, or a top-level window
  // whose client area is client_width x client_height. False on any failure,
  // with nothing left behind. An existing window is kept.
  virtual bool Create(const void* owner, const PreviewPlacement& placement, int32_t client_width,
                      int32_t client_height) = 0;
  virtual bool exists() const = 0;
  // Sizes the preview image for the output size (at every prepare).
  virtual void Prepare(int32_t width, int32_t height) = 0;
  // Draws one processed frame; the caller holds the frame lock.
  virtual void Draw(const imaging::CDibImage& image) = 0;
  // Releases the device context, destroys the window, unregisters its class.
  virtual void Destroy() = 0;
  virtual platform::WindowHandle handle() const = 0;
};

// The build's preview window: Win32 windows, or the native stand-in.
std::unique_ptr<PreviewWindow> MakePreviewWindow();

}  // namespace morvex
