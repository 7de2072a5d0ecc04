// The mask file: the four references of a MaskData (dark 8, white 8, dark
// 16, white 16) behind a 40-byte little-endian header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace morvex::imaging {
class MaskData;
}

namespace morvex::files {

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

// All or nothing: the file is read whole before the mask lock is taken and
// the references replaced and their maps rebuilt. False (mask unchanged)
// when the file cannot be opened, its header differs or any block is short.
bool LoadMaskFile(const std::string& path, imaging::MaskData& mask);
// Under the mask lock. False when the file cannot be created or a write
// fails; a failed write leaves no file behind.
bool SaveMaskFile(const std::string& path, imaging::MaskData& mask);

}  // namespace morvex::files
