#include "camera/image_settings.h"

namespace morvex {
namespace {

struct RangedField {
  int32_t id;
  int32_t ImageSettings::*field;
  int32_t min;
  int32_t max;
};

constexpr RangedField kRanged[] = {
    {1, &ImageSettings::brightness, -255, 255},
    {2, &ImageSettings::contrast, -127, 127},
    {3, &ImageSettings::hue, -360, 360},
    {4, &ImageSettings::saturation, -255, 255},
    {5, &ImageSettings::sharpness, 0, 30},
    {7, &ImageSettings::bayer_gain_red, 0, 400},
    {8, &ImageSettings::bayer_gain_green, 0, 400},
    {9, &ImageSettings::bayer_gain_blue, 0, 400},
    {11, &ImageSettings::gamma, 0, 200},
    {12, &ImageSettings::bayer_mode, 0, 3},
    {19, &ImageSettings::gray_mode, 0, 2},
    {28, &ImageSettings::gray_auto_balance, 0, 1},
    {102, &ImageSettings::dot_filter, 0, 1},
    {103, &ImageSettings::mask_filter, 0, 1},
};

const RangedField* FindRanged(int32_t id) {
  for (const RangedField& f : kRanged)
    if (f.id == id) return &f;
  return nullptr;
}

bool InRange(int32_t value, int32_t min, int32_t max) { return value >= min && value <= max; }

}  // namespace

CachedFilterResult ImageSettings::Set(int32_t id, int32_t value) {
  if (const RangedField* f = FindRanged(id)) {
    if (!InRange(value, f->min, f->max)) return CachedFilterResult::kOutOfRange;
    this->*(f->field) = value;
    return CachedFilterResult::kDone;
  }
  if (id >= 20 && id <= 23) {
    if (!InRange(value, 0, 255)) return CachedFilterResult::kOutOfRange;
    gray_gain[id - 20] = value;
    return CachedFilterResult::kDone;
  }
  if (id >= 24 && id <= 27) {
    if (!InRange(value, -255, 255)) return CachedFilterResult::kOutOfRange;
    gray_offset[id - 24] = value;
    return CachedFilterResult::kDone;
  }
  if (id == 6) {  // packed red, green, blue bytes; no range to check
    bayer_gain_red = value & 0xFF;
    bayer_gain_green = (value >> 8) & 0xFF;
    bayer_gain_blue = (value >> 16) & 0xFF;
    return CachedFilterResult::kDone;
  }
  if (id == 10) {
    bayer_gain_auto = value != 0 ? 1 : 0;
    return CachedFilterResult::kDone;
  }
  return CachedFilterResult::kNotCached;
}

CachedFilterResult ImageSettings::Get(int32_t id, int32_t* value) const {
  if (id == 28) return CachedFilterResult::kNotCached;  // write-only
  if (const RangedField* f = FindRanged(id)) {
    *value = this->*(f->field);
    return CachedFilterResult::kDone;
  }
  if (id >= 20 && id <= 23) {
    *value = gray_gain[id - 20];
    return CachedFilterResult::kDone;
  }
  if (id >= 24 && id <= 27) {
    *value = gray_offset[id - 24];
    return CachedFilterResult::kDone;
  }
  if (id == 6) {  // each gain contributes its low 8 bits
    *value = ((bayer_gain_blue & 0xFF) << 16) | ((bayer_gain_green & 0xFF) << 8) | (bayer_gain_red & 0xFF);
    return CachedFilterResult::kDone;
  }
  if (id == 10) {
    *value = bayer_gain_auto;
    return CachedFilterResult::kDone;
  }
  return CachedFilterResult::kNotCached;
}

}  // namespace morvex
