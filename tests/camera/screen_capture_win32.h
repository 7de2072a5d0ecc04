// What the preview and dialog tests need from the desktop: message pumping,
// reading a window's client area back from the screen, PNG screenshots,
// finding the dialog a thread shows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace morvex::test {

// Dispatches this thread's messages for about `ms` milliseconds.
void Pump(int ms = 100);

// A client area as blue, green, red bytes, first screen row first.
struct Capture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bgr;
  const uint8_t* at(int32_t x, int32_t y) const { return &bgr[(static_cast<size_t>(y) * width + x) * 3]; }
};
Capture CaptureClient(HWND window);

// Writes build-tree/screenshots/<name>.png; a failure is a test failure.
void WritePng(const Capture& capture, const std::string& name);

// The preview window whose class carries `owner`'s address, or null.
HWND FindPreviewWindow(const void* owner);

// The visible dialog `thread` shows, waited for up to 10 s; null if none came.
HWND FindDialog(DWORD thread);

}  // namespace morvex::test
