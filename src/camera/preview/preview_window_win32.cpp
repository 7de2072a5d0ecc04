// The Win32 preview window: a fresh class per window, a child of the
// application's window or a top-level window, drawn by the acquisition
// worker through a device context held from creation to removal.
//
// Threads. The window belongs to the thread that created it. The worker
// draws through the held context; the window procedure repaints the last
// drawn frame on WM_PAINT without ever waiting for the worker. Both meet
// in a small shared state under its own lock, which lives as long as the
// window or the object needs it. Destroy from another thread stops drawing
// at once and leaves the window and its class to the creating thread, which
// removes them at its next message dispatch.
#include <windows.h>
// mmsystem.h needs the types of windows.h first.
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "camera/preview/preview_window.h"
#include "imaging/convert.h"
#include "imaging/dib_image.h"

namespace morvex {
namespace {

constexpr DWORD kChildStyle = 0x52000000;     // child, visible, clip children
constexpr DWORD kTopLevelStyle = 0x16CF0000;  // overlapped window, visible, clip siblings and children
static_assert(kChildStyle == (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN));
static_assert(kTopLevelStyle == (WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
constexpr int kChildId = 6540;
// Asks the window's own thread to destroy the window and unregister its class.
constexpr UINT kRemoveMessage = WM_APP + 0x3A1;

// A frame as it was put on screen, for repainting: a header whose height
// sign gives the row order, the colour table of 8-bit frames and the pixels.
struct ShownFrame {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  std::vector<uint8_t> pixels;
  bool valid = false;
};
static_assert(sizeof(ShownFrame{}.info) == sizeof(imaging::DibInfo));

struct SharedState {
  std::mutex lock;  // the worker draws under it; WM_PAINT only tries it
  HWND window = nullptr;
  HDC dc = nullptr;
  ShownFrame shown;
  std::string class_name;
  HINSTANCE module = nullptr;
  bool adopted = false;      // the window under creation took its reference
  bool handed_over = false;  // the window's thread removes window and class
};
using StateRef = std::shared_ptr<SharedState>;

void Remove(HWND window, const std::string& class_name, HINSTANCE module) {
  if (window != nullptr) DestroyWindow(window);
  UnregisterClassA(class_name.c_str(), module);
}

LRESULT CALLBACK PreviewProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* ref = reinterpret_cast<StateRef*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      // The window holds its own reference to the state from here on.
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
      auto* own = static_cast<StateRef*>(create->lpCreateParams);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(own));
      if (own != nullptr) (*own)->adopted = true;
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (dc != nullptr && ref != nullptr) {
        SharedState& state = **ref;
        std::unique_lock<std::mutex> lock(state.lock, std::try_to_lock);
        // Busy means the worker is drawing a newer frame right now.
        if (lock.owns_lock() && state.shown.valid) {
          RECT client;
          GetClientRect(window, &client);
          const BITMAPINFOHEADER& h = state.shown.info.header;
          SetStretchBltMode(dc, COLORONCOLOR);
          StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, h.biWidth, std::abs(h.biHeight),
                        state.shown.pixels.data(), reinterpret_cast<const BITMAPINFO*>(&state.shown.info),
                        DIB_RGB_COLORS, SRCCOPY);
        }
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      if (ref != nullptr) {
        // Closed by the user or by removal: no frame may reach it any more.
        SharedState& state = **ref;
        std::lock_guard<std::mutex> lock(state.lock);
        if (state.window == window) {
          if (state.dc != nullptr) ReleaseDC(window, state.dc);
          state.dc = nullptr;
          state.window = nullptr;
        }
      }
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      delete ref;
      break;
    case kRemoveMessage:
      if (ref != nullptr) {
        const std::string class_name = (*ref)->class_name;
        const HINSTANCE module = (*ref)->module;
        Remove(window, class_name, module);  // frees `ref` on the way
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// Copies the shown pixels and their header for repainting.
void Remember(ShownFrame& shown, const imaging::CDibImage& image, bool top_down) {
  std::memcpy(&shown.info, &image.info(), sizeof shown.info);
  shown.info.header.biHeight = top_down ? -image.height() : image.height();
  shown.info.header.biSizeImage = 0;
  shown.pixels.resize(image.size_bytes());
  std::memcpy(shown.pixels.data(), image.pixels(), image.size_bytes());
  shown.valid = true;
}

class Win32PreviewWindow final : public PreviewWindow {
 public:
  Win32PreviewWindow() : state_(std::make_shared<SharedState>()) {}
  ~Win32PreviewWindow() override { Destroy(); }

  bool Create(const void* owner, const PreviewPlacement& placement, int32_t client_width,
              int32_t client_height) override;
  // A window the user closed no longer counts.
  bool exists() const override { return window_ != nullptr && IsWindow(window_); }
  void Prepare(int32_t width, int32_t height) override;
  void Draw(const imaging::CDibImage& image) override;
  void Destroy() override;
  platform::WindowHandle handle() const override { return window_; }

 private:
  const imaging::CDibImage* DisplaySource(const imaging::CDibImage& image);
  bool SizePreviewImage(int32_t width, int32_t height, uint16_t bits);

  StateRef state_;
  HWND window_ = nullptr;
  DWORD window_thread_ = 0;
  // Touched by the worker only, under the state lock.
  imaging::CDibImage display_;  // 8- or 24-bit view of deeper frames
  imaging::CDibImage preview_;  // the frame scaled to the client area
};

bool Win32PreviewWindow::Create(const void* owner, const PreviewPlacement& placement, int32_t client_width,
                                int32_t client_height) {
  if (exists()) return true;
  Destroy();  // what a window closed by the user left: its class
  const bool child = placement.parent != nullptr;
  if (!child && placement.none()) return false;

  char class_name[64];
  std::snprintf(class_name, sizeof class_name, "VideoRenderer_%08x_%08x",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(owner)),
                static_cast<unsigned>(timeGetTime() + static_cast<unsigned>(std::rand())));
  const HINSTANCE module = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.style = 0;
  wc.lpfnWndProc = PreviewProcedure;
  wc.hInstance = module;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = class_name;
  if (RegisterClassA(&wc) == 0) return false;

  int x = placement.x, y = placement.y, width = placement.width, height = placement.height;
  if (!child) {
    RECT rect{0, 0, client_width, client_height};
    if (!AdjustWindowRectEx(&rect, kTopLevelStyle, FALSE, 0)) {
      UnregisterClassA(class_name, module);
      return false;
    }
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
    x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
  }

  // Each window has a state of its own: a previous window whose removal is
  // still pending keeps its own.
  state_ = std::make_shared<SharedState>();
  state_->class_name = class_name;
  state_->module = module;
  // The window's own reference; WM_NCCREATE hands it to the window, whose
  // WM_NCDESTROY frees it.
  auto* ref = new StateRef(state_);
  HWND window = CreateWindowExA(
      0, class_name, child ? "ActiveMovie Window" : "Active Window", child ? kChildStyle : kTopLevelStyle, x,
      y, width, height, static_cast<HWND>(placement.parent),
      child ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(kChildId)) : nullptr, module, ref);
  if (window == nullptr) {
    // A window that failed after WM_NCCREATE has already freed the reference.
    if (!state_->adopted) delete ref;
    UnregisterClassA(class_name, module);
    return false;
  }
  SetFocus(window);
  ShowWindow(window, SW_SHOW);
  HDC dc = UpdateWindow(window) ? GetDC(window) : nullptr;
  if (dc == nullptr) {
    Remove(window, class_name, module);
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(state_->lock);
    state_->window = window;
    state_->dc = dc;
  }
  window_ = window;
  window_thread_ = GetCurrentThreadId();
  return true;
}

void Win32PreviewWindow::Prepare(int32_t width, int32_t height) {
  std::lock_guard<std::mutex> lock(state_->lock);
  HWND window = state_->window;
  RECT client;
  if (window == nullptr || !IsWindowVisible(window) || !GetClientRect(window, &client)) return;
  if (client.right <= 0 || client.bottom <= 0) return;
  if (client.right == width && client.bottom == height) return;  // drawn 1:1, no preview image
  SizePreviewImage(client.right, client.bottom, preview_.empty() ? 24 : preview_.bits_per_pixel());
}

bool Win32PreviewWindow::SizePreviewImage(int32_t width, int32_t height, uint16_t bits) {
  if (preview_.width() == width && preview_.height() == height && preview_.bits_per_pixel() == bits &&
      !preview_.empty()) {
    return true;
  }
  return preview_.Create(width, height, bits);
}

// The 8- or 24-bit image the frame is shown from: 8 and 24 bits as they
// are, 16 bits by the top 8 of their significant bits, 32 bits without the
// fourth byte, 48 and 64 bits by the top 8 significant bits of each colour.
const imaging::CDibImage* Win32PreviewWindow::DisplaySource(const imaging::CDibImage& image) {
  const uint16_t bits = image.bits_per_pixel();
  if (bits == 8 || bits == 24) return &image;
  imaging::ImageOperation op = nullptr;
  uint16_t display_bits = 24;
  if (bits == 16) {
    op = &imaging::View16To8;
    display_bits = 8;
  } else if (bits == 32) {
    op = &imaging::Display32To24;
  } else if (bits == 48 || bits == 64) {
    op = &imaging::View48To24;
  } else {
    return nullptr;
  }
  if (display_.width() != image.width() || display_.height() != image.height() ||
      display_.bits_per_pixel() != display_bits || display_.empty()) {
    if (!display_.Create(image.width(), image.height(), display_bits)) return nullptr;
  }
  display_.Apply(op, image, nullptr, 0, 0, image.significant_bits(), nullptr);
  return &display_;
}

void Win32PreviewWindow::Draw(const imaging::CDibImage& image) {
  if (image.empty() || image.width() <= 0 || image.height() <= 0) return;
  SharedState& state = *state_;
  std::lock_guard<std::mutex> lock(state.lock);
  HWND window = state.window;
  RECT client;
  if (window == nullptr || state.dc == nullptr || !IsWindowVisible(window) ||
      !GetClientRect(window, &client)) {
    return;
  }
  const int32_t width = client.right;
  const int32_t height = client.bottom;
  if (width <= 0 || height <= 0) return;
  const imaging::CDibImage* source = DisplaySource(image);
  if (source == nullptr) return;

  if (width == source->width() && height == source->height()) {
    // Rows are stored first sensor row first: a top-down header shows them
    // that way up without an extra copy.
    Remember(state.shown, *source, true);
    SetDIBitsToDevice(state.dc, 0, 0, width, height, 0, 0, 0, height, source->pixels(),
                      reinterpret_cast<const BITMAPINFO*>(&state.shown.info), DIB_RGB_COLORS);
    return;
  }
  const uint16_t bits = source->bits_per_pixel() == 8 ? 8 : 24;
  if (!SizePreviewImage(width, height, bits)) return;
  // The scaled rows come out last sensor row first, the order of the
  // bottom-up section, so the copy to the window needs no flip.
  preview_.ApplyScaled(bits == 8 ? &imaging::ScaledDisplay8 : &imaging::ScaledDisplay24, *source, nullptr,
                       nullptr, 0, nullptr);
  Remember(state.shown, preview_, false);
  // The preview image is exactly the client size, so nothing lands outside
  // the client area even when the window shrinks meanwhile.
  if (preview_.drawable()) {
    GdiFlush();
    BitBlt(state.dc, 0, 0, width, height, static_cast<HDC>(preview_.device_context()), 0, 0, SRCCOPY);
  } else {
    SetDIBitsToDevice(state.dc, 0, 0, width, height, 0, 0, 0, height, preview_.pixels(),
                      reinterpret_cast<const BITMAPINFO*>(&state.shown.info), DIB_RGB_COLORS);
  }
}

void Win32PreviewWindow::Destroy() {
  HWND window = nullptr;
  HDC dc = nullptr;
  std::string class_name;
  HINSTANCE module = nullptr;
  {
    // Once this lock is held no frame is being drawn, and none will be.
    std::lock_guard<std::mutex> lock(state_->lock);
    if (state_->handed_over) return;
    window = state_->window;
    dc = state_->dc;
    state_->window = nullptr;
    state_->dc = nullptr;
    class_name = state_->class_name;
    module = state_->module;
  }
  const HWND own = window_;
  window_ = nullptr;
  if (class_name.empty()) return;
  if (dc != nullptr && window != nullptr) ReleaseDC(window, dc);
  if (own != nullptr && IsWindow(own) && window_thread_ != GetCurrentThreadId()) {
    // Only the creating thread may destroy the window; it does so at its
    // next message dispatch, and unregisters the class after it.
    std::lock_guard<std::mutex> lock(state_->lock);
    if (PostMessageA(own, kRemoveMessage, 0, 0)) {
      state_->handed_over = true;
      return;
    }
    // Otherwise the creating thread has ended, and its windows with it.
  }
  Remove(own != nullptr && IsWindow(own) && window_thread_ == GetCurrentThreadId() ? own : nullptr,
         class_name, module);
  std::lock_guard<std::mutex> lock(state_->lock);
  state_->class_name.clear();
}

}  // namespace

std::unique_ptr<PreviewWindow> MakePreviewWindow() { return std::make_unique<Win32PreviewWindow>(); }

}  // namespace morvex
