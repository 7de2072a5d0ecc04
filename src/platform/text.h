// Conversion between wide text and the thread's active code page
// (CP_THREAD_ACP on Windows; UTF-8 natively), and debug output.
#pragma once

#include <cstddef>
#include <string>

namespace morvex::platform {

// WideCharToMultiByte into `out` of `out_size` bytes, terminator included.
// False when the text (with its terminator) does not fit or cannot convert.
bool WideToNarrow(const wchar_t* text, char* out, size_t out_size);
// MultiByteToWideChar into `out` of `out_chars` characters, terminator
// included. False when it does not fit or cannot convert.
bool NarrowToWide(const char* text, wchar_t* out, size_t out_chars);
// Number of wide characters `text` needs including its terminator; 0 on error.
size_t WideLengthOf(const char* text);

// OutputDebugStringA; natively standard error while any trace is on.
void DebugOutput(const char* text);

}  // namespace morvex::platform
