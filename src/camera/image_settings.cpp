#include "camera/image_settings.h"

#include <algorithm>
#include <iterator>

#include "camera/property_table.h"

namespace morvex {

CachedFilterResult ImageSettings::Set(int32_t id, int32_t value) {
  const PropertyEntry* entry = FindProperty(id);
  if (entry == nullptr) return CachedFilterResult::kNotCached;
  switch (entry->kind) {
    case PropertyKind::kImageRanged:
    case PropertyKind::kImageWriteOnly:
      if (value < entry->min || value > entry->max) return CachedFilterResult::kOutOfRange;
      entry->image(*this) = value;
      return CachedFilterResult::kDone;
    case PropertyKind::kImageFlag:
      entry->image(*this) = value != 0 ? 1 : 0;
      return CachedFilterResult::kDone;
    case PropertyKind::kImagePacked:
      bayer_gain_red = value & 0xFF;
      bayer_gain_green = (value >> 8) & 0xFF;
      bayer_gain_blue = (value >> 16) & 0xFF;
      return CachedFilterResult::kDone;
    default:
      return CachedFilterResult::kNotCached;
  }
}

CachedFilterResult ImageSettings::Get(int32_t id, int32_t* value) const {
  const PropertyEntry* entry = FindProperty(id);
  if (entry == nullptr) return CachedFilterResult::kNotCached;
  switch (entry->kind) {
    case PropertyKind::kImageRanged:
    case PropertyKind::kImageFlag:
      *value = entry->image(const_cast<ImageSettings&>(*this));
      return CachedFilterResult::kDone;
    case PropertyKind::kImagePacked:  // each gain contributes its low 8 bits
      *value = ((bayer_gain_blue & 0xFF) << 16) | ((bayer_gain_green & 0xFF) << 8) | (bayer_gain_red & 0xFF);
      return CachedFilterResult::kDone;
    default:  // the automatic grey balance is write-only
      return CachedFilterResult::kNotCached;
  }
}

void ImageSettings::ToFrameSettings(imaging::FrameSettings* frame) const {
  frame->brightness = brightness;
  frame->contrast = contrast;
  frame->hue = hue;
  frame->saturation = saturation;
  frame->sharpness = sharpness;
  frame->gamma = gamma;
  frame->bayer_gains = imaging::BayerGains{bayer_gain_red, bayer_gain_green, bayer_gain_blue};
  frame->bayer_auto = bayer_gain_auto != 0;
  frame->bayer_mode = bayer_mode;
  frame->grey_mode = gray_mode;
  std::copy(std::begin(gray_gain), std::end(gray_gain), frame->grey.gain);
  std::copy(std::begin(gray_offset), std::end(gray_offset), frame->grey.offset);
  frame->auto_grey_balance = gray_auto_balance != 0;
  frame->dot_filter = dot_filter != 0;
  frame->mask_filter = mask_filter != 0;
}

void ImageSettings::StoreMeasuredGrey(const imaging::GreyGains& grey) {
  std::copy(std::begin(grey.gain), std::end(grey.gain), gray_gain);
  gray_auto_balance = 0;
}

void ImageSettings::StoreMeasuredBayer(const imaging::BayerGains& gains) {
  bayer_gain_red = gains.red;
  bayer_gain_green = gains.green;
  bayer_gain_blue = gains.blue;
}

}  // namespace morvex
