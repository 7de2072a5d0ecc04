// Dark and white references of the full sensor in 8 and 16 bits, the defect
// maps derived from them, and the mask file that stores the references.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/dib_image.h"
#include "platform/sync.h"

namespace morvex::imaging {

constexpr int32_t kMaskWidth = 640;
constexpr int32_t kMaskHeight = 512;

// The 40-byte header of a mask file (little-endian).
struct MaskFileHeader {
  char magic[16];  // "QUISTO MASK1000" and a zero byte
  uint32_t width;
  uint32_t height;
  uint32_t block_size[4];  // dark 8, white 8, dark 16, white 16
};
static_assert(sizeof(MaskFileHeader) == 40, "mask file header is 40 bytes");
static_assert(offsetof(MaskFileHeader, width) == 16 && offsetof(MaskFileHeader, height) == 20);
static_assert(offsetof(MaskFileHeader, block_size) == 24);

inline constexpr char kMaskMagic[16] = "QUISTO MASK1000";

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
  // The camera instance's mask lock; the methods below take it themselves.
  platform::CriticalSection& lock() { return lock_; }

  CDibImage& reference(int32_t depth, MaskKind kind);
  CDibImage& defect_map(int32_t depth, MaskKind kind);
  const CDibImage& reference(int32_t depth, MaskKind kind) const;
  const CDibImage& defect_map(int32_t depth, MaskKind kind) const;

  // 1 where the reference is defective (dark > 192 / 3072, white < 64 /
  // 1024), inside the two-pixel frame; the frame stays 0.
  void RebuildDefectMap(int32_t depth, MaskKind kind);
  void RebuildAllMaps();

  // Loads all four references; refused (references unchanged) when the file
  // cannot be opened, its header differs or any block is short.
  bool Load(const std::string& path);
  // False when the file cannot be created or a write fails.
  bool Save(const std::string& path) const;
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
