// Text natively: UTF-8 is the active code page; wchar_t holds code points.
#include "platform/text.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/trace.h"

namespace morvex::platform {

namespace {

bool IsScalarValue(uint32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Decodes one UTF-8 sequence at `p`; returns its length, 0 when malformed
// (overlong forms, surrogates and values above U+10FFFF included).
size_t DecodeUtf8(const unsigned char* p, uint32_t* code) {
  const unsigned char lead = p[0];
  size_t length;
  uint32_t c;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    c = lead & 0x07;
  } else {
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;  // also stops at the terminator
    c = (c << 6) | (p[i] & 0x3F);
  }
  static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || !IsScalarValue(c)) return 0;
  *code = c;
  return length;
}

size_t EncodeUtf8(uint32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

}  // namespace

bool WideToNarrow(const wchar_t* text, char* out, size_t out_size) {
  if (!out || out_size == 0) return false;
  out[0] = '\0';
  if (!text) return false;
  size_t used = 0;
  for (const wchar_t* p = text; *p; ++p) {
    const uint32_t c = static_cast<uint32_t>(*p);
    if (!IsScalarValue(c)) {
      out[0] = '\0';
      return false;
    }
    char bytes[4];
    const size_t n = EncodeUtf8(c, bytes);
    if (used + n + 1 > out_size) {  // a cut path must never be used
      out[0] = '\0';
      return false;
    }
    for (size_t i = 0; i < n; ++i) out[used++] = bytes[i];
  }
  out[used] = '\0';
  return true;
}

bool NarrowToWide(const char* text, wchar_t* out, size_t out_chars) {
  if (!out || out_chars == 0) return false;
  out[0] = L'\0';
  if (!text) return false;
  size_t used = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    uint32_t c = 0;
    const size_t n = DecodeUtf8(p, &c);
    if (n == 0 || used + 2 > out_chars) {
      out[0] = L'\0';
      return false;
    }
    out[used++] = static_cast<wchar_t>(c);
    p += n;
  }
  out[used] = L'\0';
  return true;
}

size_t WideLengthOf(const char* text) {
  if (!text) return 0;
  size_t count = 1;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    uint32_t c = 0;
    const size_t n = DecodeUtf8(p, &c);
    if (n == 0) return 0;
    p += n;
    ++count;
  }
  return count;
}

void DebugOutput(const char* text) {
  // Natively there is no debugger output: standard error, once tracing is on.
  if (text && g_trace_categories.load(std::memory_order_relaxed) != 0) std::fputs(text, stderr);
}

}  // namespace morvex::platform
