// The dot filter: flagged defects replaced by their good neighbours.
#include "imaging/adjust.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace morvex::imaging {

namespace {

// Row y of a defect map read at the raw image's byte offsets, and how many
// of its samples exist; null when the map cannot be used.
template <typename T>
const T* MapRow(const CDibImage* map, size_t row_offset, int32_t width, int32_t* usable) {
  *usable = 0;
  if (map == nullptr || map->empty() || map->bytes_per_pixel() != static_cast<int32_t>(sizeof(T)) ||
      row_offset >= map->size_bytes()) {
    return nullptr;
  }
  *usable = static_cast<int32_t>(std::min<size_t>(width, (map->size_bytes() - row_offset) / sizeof(T)));
  return reinterpret_cast<const T*>(map->pixels() + row_offset);
}

template <typename T>
bool DotFilterImpl(CDibImage& raw, int32_t threshold, const CDibImage* dark_map, const CDibImage* white_map,
                   std::vector<uint8_t>& flags) {
  const int32_t w = raw.width(), h = raw.height();
  if (w < 9 || h < 9) return true;
  flags.assign(static_cast<size_t>(w) * h, 0);
  const int32_t x_end = w - 4;  // columns 4 … W − 5
  for (int32_t y = 4; y <= h - 5; ++y) {
    const T* up = reinterpret_cast<const T*>(raw.row(y - 1));
    const T* row = reinterpret_cast<const T*>(raw.row(y));
    const T* down = reinterpret_cast<const T*>(raw.row(y + 1));
    uint8_t* f = flags.data() + static_cast<size_t>(y) * w;
    for (int32_t x = 4; x < x_end; ++x) {
      const int32_t v = row[x];
      const int32_t around = (up[x] + down[x] + row[x - 1] + row[x + 1]) >> 2;
      const int32_t d = v - around;
      f[x] = static_cast<uint8_t>((d < 0 ? -d : d) >= threshold);
    }
    const size_t row_offset = static_cast<size_t>(y) * raw.stride();
    for (const CDibImage* map : {dark_map, white_map}) {
      int32_t usable = 0;
      const T* m = MapRow<T>(map, row_offset, x_end, &usable);
      for (int32_t x = 4; x < usable; ++x) f[x] |= static_cast<uint8_t>(m[x] != 0);
    }
  }
  auto flagged = [&](int32_t x, int32_t y) { return flags[static_cast<size_t>(y) * w + x] != 0; };
  for (int32_t y = 4; y <= h - 5; ++y) {
    T* row = reinterpret_cast<T*>(raw.row(y));
    const uint8_t* f = flags.data() + static_cast<size_t>(y) * w;
    const uint8_t* scan = f + 4;
    const uint8_t* end = f + x_end;
    // Defects are rare: jump from one flag to the next.
    while (scan < end &&
           (scan = static_cast<const uint8_t*>(std::memchr(scan, 1, static_cast<size_t>(end - scan))))) {
      const auto x = static_cast<int32_t>(scan - f);
      ++scan;
      int32_t sum = 0, found = 0;
      for (int32_t k = x - 1; k >= 0; --k)
        if (!f[k]) {
          sum += row[k], ++found;
          break;
        }
      for (int32_t k = x + 1; k < w; ++k)
        if (!f[k]) {
          sum += row[k], ++found;
          break;
        }
      for (int32_t k = y - 1; k >= 0; --k)
        if (!flagged(x, k)) {
          sum += reinterpret_cast<const T*>(raw.row(k))[x], ++found;
          break;
        }
      for (int32_t k = y + 1; k < h; ++k)
        if (!flagged(x, k)) {
          sum += reinterpret_cast<const T*>(raw.row(k))[x], ++found;
          break;
        }
      if (found > 0) row[x] = static_cast<T>(sum / found);
    }
  }
  return true;
}

}  // namespace

bool DotFilter(CDibImage& raw, int32_t threshold, const CDibImage* dark_map, const CDibImage* white_map,
               std::vector<uint8_t>& flags) {
  if (raw.empty()) return false;
  if (raw.bits_per_pixel() == 8) return DotFilterImpl<uint8_t>(raw, threshold, dark_map, white_map, flags);
  if (raw.bits_per_pixel() == 16) return DotFilterImpl<uint16_t>(raw, threshold, dark_map, white_map, flags);
  return false;
}

}  // namespace morvex::imaging
