#include "imaging/hue_saturation.h"

#include <algorithm>
#include <cstring>

namespace morvex::imaging {
namespace {

// Process-wide constant tables, built once on first use (thread-safe).
struct FixedTables {
  uint32_t grey[256];        // i in blue, green and red
  uint32_t reciprocal[256];  // 0xFF0000 / d
  int32_t total[512];        // lightness 0
  int32_t limit[512];
};

const FixedTables& Tables() {
  static const FixedTables tables = [] {
    FixedTables t{};
    for (uint32_t i = 0; i < 256; ++i) t.grey[i] = i * 0x10101u;
    t.reciprocal[0] = 0;
    for (uint32_t d = 1; d < 256; ++d) t.reciprocal[d] = 0xFF0000u / d;
    for (int32_t i = 0; i < 512; ++i) {
      t.total[i] = i;
      t.limit[i] = i < 256 ? i : 511 - i;
    }
    return t;
  }();
  return tables;
}

// Sectors 0 … 5 repeat so that indexes up to 15 are valid.
constexpr uint32_t kSectorMask[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
constexpr int32_t kSectorUnit[6] = {-1, 0x100, -0x10000, 1, -0x100, 0x10000};

void BuildSaturation(int32_t saturation, int32_t* table) {
  const int64_t scale = static_cast<int64_t>(saturation + 256) * 256;
  for (int64_t k = 0; k < 256; ++k) table[k] = static_cast<int32_t>((k * scale + 0x8000) >> 16);
}

}  // namespace

const int32_t* SaturationTable::For(int32_t saturation) {
  if (saturation != key_) {
    BuildSaturation(saturation, table_);
    key_ = saturation;
    ++builds_;
  }
  return table_;
}

int32_t HuePosition(int32_t hue) {
  const int64_t t = ((static_cast<int64_t>(hue) * 65536) / 360) & 0xFFFF;
  const int32_t p = static_cast<int32_t>((t * 6) >> 8);
  int32_t a = p % 512;
  if (a >= 256) a -= 512;
  const int32_t third = ((p + 256) >> 9) % 3;
  int32_t position = a + 510 * third;
  if (position < 0) position += 1530;
  if (position >= 1530) position -= 1530;
  return position;
}

uint32_t HueSaturationPixel(uint8_t b, uint8_t g, uint8_t r, int32_t hue_position,
                            const int32_t* saturation) {
  const FixedTables& t = Tables();
  const int32_t mx = std::max({r, g, b});
  const int32_t mn = std::min({r, g, b});
  const int32_t diff = mx - mn;
  const int32_t total = t.total[mx + mn];
  const int32_t cr = std::min(t.limit[mx + mn], saturation[diff]);
  uint32_t word = t.grey[(total - cr) >> 1];
  if (mx == mn) return word;
  const int32_t span = ((total + cr) >> 1) - ((total - cr) >> 1);
  int32_t x;
  int32_t sector;
  if (r >= g && r >= b) {
    x = g - b, sector = 1;
  } else if (g >= b) {
    x = b - r, sector = 3;
  } else {
    x = r - g, sector = 5;
  }
  if (x < 0) {
    x += diff;
    sector -= 1;
  }
  int32_t i = (hue_position % 255) +
              static_cast<int32_t>((static_cast<int64_t>(x) * t.reciprocal[diff] + 0x8000) >> 16);
  sector += hue_position / 255 + (i > 254 ? 1 : 0);
  if (i >= 255) i -= 255;
  sector %= 6;
  word += (t.grey[span] & kSectorMask[sector]) +
          static_cast<uint32_t>(((span * i + 128) >> 8) * kSectorUnit[sector]);
  return word;
}

int HueSaturation(uint8_t* dst, const uint8_t* src, const Rect& r, int32_t dst_x, int32_t dst_y,
                  int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t,
                  void* extra) {
  const auto* args = static_cast<const HueSaturationArgs*>(extra);
  if (args == nullptr || dst_bpp != src_bpp ||
      (dst_bpp != 3 && dst_bpp != 4 && dst_bpp != 6 && dst_bpp != 8)) {
    return 0;
  }
  int32_t local[256];
  const int32_t* sat = nullptr;
  if (args->table != nullptr) {
    sat = args->table->For(args->saturation);
  } else {
    BuildSaturation(args->saturation, local);
    sat = local;
  }
  const int32_t position = HuePosition(args->hue);
  const bool wide = dst_bpp >= 6;
  for (int32_t row = 0; row < r.height(); ++row) {
    const uint8_t* s = src + static_cast<int64_t>(r.top + row) * src_stride + r.left * src_bpp;
    uint8_t* d = dst + static_cast<int64_t>(dst_y + row) * dst_stride + dst_x * dst_bpp;
    for (int32_t k = 0; k < r.width(); ++k, s += src_bpp, d += dst_bpp) {
      if (wide) {
        uint16_t c[4];
        std::memcpy(c, s, 6);
        const uint32_t word =
            HueSaturationPixel(static_cast<uint8_t>(c[0] >> 8), static_cast<uint8_t>(c[1] >> 8),
                               static_cast<uint8_t>(c[2] >> 8), position, sat);
        c[0] = static_cast<uint16_t>((word & 0xFF) << 8);
        c[1] = static_cast<uint16_t>(((word >> 8) & 0xFF) << 8);
        c[2] = static_cast<uint16_t>(((word >> 16) & 0xFF) << 8);
        c[3] = 0;
        std::memcpy(d, c, static_cast<size_t>(dst_bpp));
      } else {
        const uint32_t word = HueSaturationPixel(s[0], s[1], s[2], position, sat);
        d[0] = static_cast<uint8_t>(word);
        d[1] = static_cast<uint8_t>(word >> 8);
        d[2] = static_cast<uint8_t>(word >> 16);
        if (dst_bpp == 4) d[3] = 0;
      }
    }
  }
  return 1;
}

}  // namespace morvex::imaging
