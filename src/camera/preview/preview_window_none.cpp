// The native build's preview window: no display, so nothing is created and
// nothing is drawn, but the calls arrive in the same order as on Win32.
#include "camera/preview/preview_window.h"

namespace morvex {
namespace {

class NoPreviewWindow final : public PreviewWindow {
 public:
  bool Create(const void*, const PreviewPlacement&, int32_t, int32_t) override { return true; }
  bool exists() const override { return false; }
  void Prepare(int32_t, int32_t) override {}
  void Draw(const imaging::CDibImage&) override {}
  void Destroy() override {}
  platform::WindowHandle handle() const override { return nullptr; }
};

}  // namespace

std::unique_ptr<PreviewWindow> MakePreviewWindow() { return std::make_unique<NoPreviewWindow>(); }

}  // namespace morvex
