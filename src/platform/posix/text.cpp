#include "platform/text.h"

namespace morvex::platform {
bool WideToNarrow(const wchar_t*, char* out, size_t out_size) {
  if (out && out_size) out[0] = '\0';
  return false;
}
bool NarrowToWide(const char*, wchar_t* out, size_t out_chars) {
  if (out && out_chars) out[0] = L'\0';
  return false;
}
size_t WideLengthOf(const char*) { return 0; }
void DebugOutput(const char*) {}
}  // namespace morvex::platform
