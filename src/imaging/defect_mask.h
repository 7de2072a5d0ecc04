// Dark and white references of the full sensor in 8 and 16 bits and the
// defect maps derived from them. The mask file lives in the files layer.
#pragma once

#include <cstdint>

#include "imaging/dib_image.h"
#include "platform/sync.h"

namespace morvex::imaging {

constexpr int32_t kMaskWidth = 640;
constexpr int32_t kMaskHeight = 512;

enum class MaskKind { kDark = 0, kWhite = 1 };

enum class MaskUpdate {
  kDone,         // reference replaced, map rebuilt
  kWrongFrame,   // not a full 640 × 512 frame of 8 or 16 bits: nothing changed
  kBadSelector,  // neither dark nor white: nothing changed
};

class MaskData {
 public:
  MaskData();
  MaskData(const MaskData&) = delete;
  MaskData& operator=(const MaskData&) = delete;

  // All eight images exist.
  bool valid() const { return valid_; }
  // The camera instance's mask lock, recursive: the rebuilds and Update
  // take it themselves; whoever reads or fills the images holds it.
  platform::CriticalSection& lock() { return lock_; }

  CDibImage& reference(int32_t depth, MaskKind kind);
  CDibImage& defect_map(int32_t depth, MaskKind kind);
  const CDibImage& reference(int32_t depth, MaskKind kind) const;
  const CDibImage& defect_map(int32_t depth, MaskKind kind) const;

  // 1 where the reference is defective (dark > 192 / 3072, white < 64 /
  // 1024), inside the two-pixel frame; the frame stays 0.
  void RebuildDefectMap(int32_t depth, MaskKind kind);
  void RebuildAllMaps();

  // Replaces one reference from a full-sensor raw frame (`which` 0 dark, 1
  // white) and rebuilds its map.
  MaskUpdate Update(const CDibImage& raw, int32_t which);

 private:
  mutable platform::CriticalSection lock_;
  CDibImage dark8_, white8_, dark16_, white16_;
  CDibImage dark_map8_, white_map8_, dark_map16_, white_map16_;
  bool valid_ = false;
};

}  // namespace morvex::imaging
