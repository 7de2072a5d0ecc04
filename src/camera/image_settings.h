// The cached image-processing values behind the filter identifiers that need
// no device: they are only stored here and read by the frame pipeline.
#pragma once

#include <cstdint>

namespace morvex {

enum class CachedFilterResult {
  kDone,        // value stored or read
  kOutOfRange,  // refused; the cache is unchanged
  kNotCached,   // the identifier is not one of the cached values
};

struct ImageSettings {
  int32_t brightness = 0;
  int32_t contrast = 0;
  int32_t hue = 0;
  int32_t saturation = 0;
  int32_t sharpness = 0;
  int32_t bayer_gain_red = 0;
  int32_t bayer_gain_green = 0;
  int32_t bayer_gain_blue = 0;
  int32_t gamma = 0;
  int32_t bayer_mode = 0;
  int32_t gray_mode = 0;
  int32_t gray_gain[4] = {0, 0, 0, 0};    // R, G1, G2, B
  int32_t gray_offset[4] = {0, 0, 0, 0};  // R, G1, G2, B
  int32_t gray_auto_balance = 0;
  int32_t bayer_gain_auto = 0;
  int32_t dot_filter = 0;
  int32_t mask_filter = 0;

  // Stores `value` under a cached identifier after its range check.
  CachedFilterResult Set(int32_t id, int32_t value);
  // Reads a cached identifier; the automatic grey balance is write-only.
  CachedFilterResult Get(int32_t id, int32_t* value) const;
};

}  // namespace morvex
