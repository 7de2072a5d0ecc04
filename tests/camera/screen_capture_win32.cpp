#include "screen_capture_win32.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>

namespace morvex::test {

void Pump(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (static_cast<int32_t>(GetTickCount() - end) < 0);
}

Capture CaptureClient(HWND window) {
  Capture capture;
  RECT client;
  GetClientRect(window, &client);
  capture.width = client.right;
  capture.height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = capture.width;
  info.bmiHeader.biHeight = -capture.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC window_dc = GetDC(window);
  HDC memory = CreateCompatibleDC(window_dc);
  HBITMAP section = CreateDIBSection(window_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, section);
  BitBlt(memory, 0, 0, capture.width, capture.height, window_dc, 0, 0, SRCCOPY);
  GdiFlush();
  capture.bgr.resize(static_cast<size_t>(capture.width) * capture.height * 3);
  const auto* p = static_cast<const uint8_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(capture.width) * capture.height; ++i) {
    for (int c = 0; c < 3; ++c) capture.bgr[i * 3 + c] = p[i * 4 + c];
  }
  SelectObject(memory, old);
  DeleteObject(section);
  DeleteDC(memory);
  ReleaseDC(window, window_dc);
  return capture;
}

void WritePng(const Capture& capture, const std::string& name) {
  CreateDirectoryA(MORVEX_SCREENSHOT_DIR, nullptr);
  const std::string path = std::string(MORVEX_SCREENSHOT_DIR) + "/" + name + ".png";
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, capture.width, capture.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    for (int32_t y = 0; y < capture.height; ++y) {
      png_write_row(png, const_cast<png_bytep>(capture.at(0, y)));
    }
    png_write_end(png, nullptr);
  } else {
    ADD_FAILURE() << "could not write " << path;
  }
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

namespace {

struct Search {
  std::string prefix;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<Search*>(lparam);
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::strncmp(name, search->prefix.c_str(), search->prefix.size()) == 0) {
    search->found = window;
    return FALSE;
  }
  EnumChildWindows(window, Visit, lparam);
  return search->found == nullptr;
}

}  // namespace

HWND FindPreviewWindow(const void* owner) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "VideoRenderer_%08x_",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(owner)));
  Search search{prefix};
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

namespace {

BOOL CALLBACK VisitDialog(HWND window, LPARAM out) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(out) = window;
  return FALSE;
}

}  // namespace

HWND FindDialog(DWORD thread) {
  HWND found = nullptr;
  for (int i = 0; i < 400 && found == nullptr; ++i) {
    EnumThreadWindows(thread, VisitDialog, reinterpret_cast<LPARAM>(&found));
    if (found == nullptr) Sleep(25);
  }
  return found;
}

}  // namespace morvex::test
