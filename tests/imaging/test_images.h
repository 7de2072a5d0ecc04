// Helpers shared by the imaging tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>

#include "imaging/dib_image.h"

namespace morvex::imaging::test {

inline uint8_t& At8(CDibImage& image, int32_t x, int32_t y) { return image.row(y)[x]; }
inline uint8_t At8(const CDibImage& image, int32_t x, int32_t y) { return image.row(y)[x]; }
inline uint16_t At16(const CDibImage& image, int32_t x, int32_t y) {
  uint16_t v;
  std::memcpy(&v, image.row(y) + 2 * x, 2);
  return v;
}
inline void Set16(CDibImage& image, int32_t x, int32_t y, uint16_t v) {
  std::memcpy(image.row(y) + 2 * x, &v, 2);
}
// Channel c (0 blue, 1 green, 2 red, 3 fourth) of a colour pixel.
inline uint32_t Channel(const CDibImage& image, int32_t x, int32_t y, int32_t c) {
  const int32_t bpp = image.bytes_per_pixel();
  const uint8_t* p = image.row(y) + x * bpp;
  if (bpp >= 6) {
    uint16_t v;
    std::memcpy(&v, p + 2 * c, 2);
    return v;
  }
  return p[c];
}

inline void FillRandom(CDibImage& image, uint32_t seed, uint32_t maximum = 0xFFFF) {
  std::mt19937 rng(seed);
  const int32_t bpp = image.bytes_per_pixel();
  for (int32_t y = 0; y < image.height(); ++y) {
    for (int32_t x = 0; x < image.width() * bpp; x += (bpp % 2 == 0 ? 2 : 1)) {
      if (bpp % 2 == 0) {
        const auto v = static_cast<uint16_t>(rng() % (maximum + 1));
        std::memcpy(image.row(y) + x, &v, 2);
      } else {
        image.row(y)[x] = static_cast<uint8_t>(rng() % (std::min<uint32_t>(maximum, 255) + 1));
      }
    }
  }
}

inline void Fill(CDibImage& image, uint16_t value) {
  for (int32_t y = 0; y < image.height(); ++y) {
    for (int32_t x = 0; x < image.width(); ++x) {
      if (image.bits_per_pixel() == 16) {
        Set16(image, x, y, value);
      } else {
        image.row(y)[x] = static_cast<uint8_t>(value);
      }
    }
  }
}

inline bool SamePixels(const CDibImage& a, const CDibImage& b) {
  return a.size_bytes() == b.size_bytes() && std::memcmp(a.pixels(), b.pixels(), a.size_bytes()) == 0;
}

}  // namespace morvex::imaging::test
