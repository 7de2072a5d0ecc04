#include "imaging/defect_mask.h"

#include <cstring>

namespace morvex::imaging {

MaskData::MaskData() {
  valid_ = dark8_.Create(kMaskWidth, kMaskHeight, 8) && white8_.Create(kMaskWidth, kMaskHeight, 8) &&
           dark16_.Create(kMaskWidth, kMaskHeight, 16) && white16_.Create(kMaskWidth, kMaskHeight, 16) &&
           dark_map8_.Create(kMaskWidth, kMaskHeight, 8) && white_map8_.Create(kMaskWidth, kMaskHeight, 8) &&
           dark_map16_.Create(kMaskWidth, kMaskHeight, 16) &&
           white_map16_.Create(kMaskWidth, kMaskHeight, 16);
  if (!valid_) return;
  // Dark starts at 0 (fresh images are zeroed), white at full scale.
  std::memset(white8_.pixels(), 0xFF, white8_.size_bytes());
  auto* w16 = reinterpret_cast<uint16_t*>(white16_.pixels());
  for (size_t i = 0; i < white16_.size_bytes() / 2; ++i) w16[i] = 0x0FFF;
}

CDibImage& MaskData::reference(int32_t depth, MaskKind kind) {
  if (depth == 16) return kind == MaskKind::kDark ? dark16_ : white16_;
  return kind == MaskKind::kDark ? dark8_ : white8_;
}
CDibImage& MaskData::defect_map(int32_t depth, MaskKind kind) {
  if (depth == 16) return kind == MaskKind::kDark ? dark_map16_ : white_map16_;
  return kind == MaskKind::kDark ? dark_map8_ : white_map8_;
}
const CDibImage& MaskData::reference(int32_t depth, MaskKind kind) const {
  return const_cast<MaskData*>(this)->reference(depth, kind);
}
const CDibImage& MaskData::defect_map(int32_t depth, MaskKind kind) const {
  return const_cast<MaskData*>(this)->defect_map(depth, kind);
}

void MaskData::RebuildDefectMap(int32_t depth, MaskKind kind) {
  platform::ScopedLock hold(lock_);
  if (!valid_) return;
  const CDibImage& ref = reference(depth, kind);
  CDibImage& map = defect_map(depth, kind);
  const bool dark = kind == MaskKind::kDark;
  for (int32_t y = 2; y < map.height() - 2; ++y) {
    if (depth == 16) {
      const auto* s = reinterpret_cast<const uint16_t*>(ref.row(y));
      auto* d = reinterpret_cast<uint16_t*>(map.row(y));
      for (int32_t x = 2; x < map.width() - 2; ++x) d[x] = dark ? (s[x] > 3072) : (s[x] < 1024);
    } else {
      const uint8_t* s = ref.row(y);
      uint8_t* d = map.row(y);
      for (int32_t x = 2; x < map.width() - 2; ++x) d[x] = dark ? (s[x] > 192) : (s[x] < 64);
    }
  }
}

void MaskData::RebuildAllMaps() {
  RebuildDefectMap(8, MaskKind::kDark);
  RebuildDefectMap(8, MaskKind::kWhite);
  RebuildDefectMap(16, MaskKind::kDark);
  RebuildDefectMap(16, MaskKind::kWhite);
}

MaskUpdate MaskData::Update(const CDibImage& raw, int32_t which) {
  platform::ScopedLock hold(lock_);
  const int32_t depth = raw.bits_per_pixel();
  if (!valid_ || raw.empty() || raw.width() != kMaskWidth || raw.height() != kMaskHeight ||
      (depth != 8 && depth != 16)) {
    return MaskUpdate::kWrongFrame;
  }
  if (which != 0 && which != 1) return MaskUpdate::kBadSelector;
  const MaskKind kind = which == 0 ? MaskKind::kDark : MaskKind::kWhite;
  CDibImage& target = reference(depth, kind);
  std::memcpy(target.pixels(), raw.pixels(), target.size_bytes());
  RebuildDefectMap(depth, kind);
  return MaskUpdate::kDone;
}

}  // namespace morvex::imaging
