// Text on Windows: the thread's active code page.
#include "platform/text.h"

#include <windows.h>

#include <climits>

namespace morvex::platform {

bool WideToNarrow(const wchar_t* text, char* out, size_t out_size) {
  if (!out || out_size == 0) return false;
  out[0] = '\0';
  if (!text) return false;
  const int capacity = out_size > INT_MAX ? INT_MAX : static_cast<int>(out_size);
  // A character the code page lacks would come out as '?': refuse rather
  // than name another file.
  BOOL used_default = FALSE;
  int written = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out, capacity, nullptr,
                                    &used_default);
  if (written == 0 && (GetLastError() == ERROR_INVALID_PARAMETER || GetLastError() == ERROR_INVALID_FLAGS)) {
    // UTF-8 as the code page takes no default-character report.
    used_default = FALSE;
    written =
        WideCharToMultiByte(CP_THREAD_ACP, WC_ERR_INVALID_CHARS, text, -1, out, capacity, nullptr, nullptr);
  }
  if (written == 0 || used_default) {
    out[0] = '\0';
    return false;
  }
  return true;
}

bool NarrowToWide(const char* text, wchar_t* out, size_t out_chars) {
  if (!out || out_chars == 0) return false;
  out[0] = L'\0';
  if (!text) return false;
  const int capacity = out_chars > INT_MAX ? INT_MAX : static_cast<int>(out_chars);
  if (MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text, -1, out, capacity) == 0) {
    out[0] = L'\0';
    return false;
  }
  return true;
}

size_t WideLengthOf(const char* text) {
  if (!text) return 0;
  const int length = MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  return length > 0 ? static_cast<size_t>(length) : 0;
}

void DebugOutput(const char* text) {
  if (text) OutputDebugStringA(text);
}

}  // namespace morvex::platform
