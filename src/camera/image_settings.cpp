#include "camera/image_settings.h"

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

}  // namespace morvex
