// Posting to a window's queue; the library never sends.
#include "platform/system_post.h"

#include <windows.h>

namespace morvex::platform {

bool PostToSystemWindow(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  return PostMessageA(static_cast<HWND>(window), message, wparam, lparam) != FALSE;
}

}  // namespace morvex::platform
