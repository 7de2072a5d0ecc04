// Gamma, contrast, brightness and sharpness tables, and a table applied
// to an image.
#include "imaging/adjust.h"

#include <algorithm>
#include <cmath>

#include "imaging/adjust_layout.h"

namespace morvex::imaging {

using detail::Layout;
using detail::LayoutOf;

namespace {
template <typename T>
void GammaTable(int32_t gamma, int32_t maximum, T* table) {
  table[0] = 0;
  if (gamma == 0) {
    // The exponent is infinite: everything below the maximum goes to 0.
    for (int32_t i = 1; i < maximum; ++i) table[i] = 0;
    table[maximum] = static_cast<T>(maximum);
    return;
  }
  const double e = 1.0 / (gamma / 100.0);
  for (int32_t i = 1; i <= maximum; ++i) {
    const double v = std::pow(static_cast<double>(i) / maximum, e) * maximum;
    table[i] = static_cast<T>(v >= maximum ? maximum : static_cast<int32_t>(v));
  }
}

template <typename T>
void ContrastTable(int32_t k, int32_t maximum, T* table) {
  const double scale = (maximum + 1.0) / (maximum + 1 - 2 * k);
  for (int32_t i = 0; i <= maximum; ++i) {
    if (i < k) {
      table[i] = 0;
    } else if (i > maximum - k) {
      table[i] = static_cast<T>(maximum);
    } else {
      table[i] = static_cast<T>(std::min(static_cast<int32_t>(scale * (i - k)), maximum));
    }
  }
}

template <typename T>
void BrightnessTable(int32_t beta, int32_t maximum, T* table) {
  float factor = 1.0f;
  if (beta < 0) factor = 1.0f - static_cast<float>(-beta) / 255.0f;
  if (beta > 0) factor = 1.0f + static_cast<float>(beta * 10) / 255.0f;
  for (int32_t i = 0; i <= maximum; ++i) {
    const float v = static_cast<float>(i) * factor;
    const int32_t t = v <= 0.0f ? 0 : (v >= static_cast<float>(maximum) ? maximum : static_cast<int32_t>(v));
    table[i] = static_cast<T>(t);
  }
}
}  // namespace

void BuildGammaTable8(int32_t gamma, uint8_t table[256]) { GammaTable<uint8_t>(gamma, 255, table); }
void BuildGammaTable16(int32_t gamma, uint16_t* table) { GammaTable<uint16_t>(gamma, 65535, table); }
void BuildContrastTable8(int32_t contrast, uint8_t table[256]) {
  ContrastTable<uint8_t>(contrast, 255, table);
}
void BuildContrastTable16(int32_t contrast, uint16_t* table) {
  ContrastTable<uint16_t>(contrast * 256, 65535, table);
}
void BuildBrightnessTable8(int32_t brightness, uint8_t table[256]) {
  BrightnessTable<uint8_t>(brightness, 255, table);
}
void BuildBrightnessTable16(int32_t brightness, uint16_t* table) {
  BrightnessTable<uint16_t>(brightness, 65535, table);
}
void BuildSharpnessTable(int32_t sharpness, int32_t max, int32_t* table) {
  for (int32_t d = -max; d <= max; ++d) table[d + max] = (sharpness * d) / 10;
}

int ApplyToneTable(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                   int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t,
                   void* extra) {
  Layout layout;
  if (extra == nullptr || dst_bpp != src_bpp || !LayoutOf(dst_bpp, &layout)) return 0;
  for (int32_t i = 0; i < r.height(); ++i) {
    const uint8_t* s = src + static_cast<int64_t>(r.top + i) * src_stride + r.left * src_bpp;
    uint8_t* d = dst + static_cast<int64_t>(dst_y + i) * dst_stride + dst_x * dst_bpp;
    if (layout.sample_bytes == 1) {
      const auto* table = static_cast<const uint8_t*>(extra);
      if (dst_bpp == 4) {
        for (int32_t k = 0; k < r.width(); ++k, s += 4, d += 4) {
          d[0] = table[s[0]], d[1] = table[s[1]], d[2] = table[s[2]];
        }
      } else {
        const int32_t n = r.width() * dst_bpp;
        for (int32_t k = 0; k < n; ++k) d[k] = table[s[k]];
      }
    } else {
      const auto* table = static_cast<const uint16_t*>(extra);
      const auto* s16 = reinterpret_cast<const uint16_t*>(s);
      auto* d16 = reinterpret_cast<uint16_t*>(d);
      if (dst_bpp == 8) {
        for (int32_t k = 0; k < r.width(); ++k, s16 += 4, d16 += 4) {
          d16[0] = table[s16[0]], d16[1] = table[s16[1]], d16[2] = table[s16[2]];
        }
      } else {
        const int32_t n = r.width() * layout.channels;
        for (int32_t k = 0; k < n; ++k) d16[k] = table[s16[k]];
      }
    }
  }
  return 1;
}

}  // namespace morvex::imaging
