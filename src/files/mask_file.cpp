#include "files/mask_file.h"

#include <cstring>
#include <vector>

#include "imaging/defect_mask.h"
#include "platform/file.h"
#include "platform/sync.h"

namespace morvex::files {

namespace {

using imaging::MaskKind;

struct Block {
  int32_t depth;
  MaskKind kind;
};
constexpr Block kBlocks[4] = {
    {8, MaskKind::kDark}, {8, MaskKind::kWhite}, {16, MaskKind::kDark}, {16, MaskKind::kWhite}};
constexpr uint32_t kBlockSizes[4] = {0x50000, 0x50000, 0xA0000, 0xA0000};

bool HeaderAccepted(const MaskFileHeader& header) {
  if (std::memcmp(header.magic, kMaskMagic, sizeof(kMaskMagic)) != 0) return false;
  if (header.width != static_cast<uint32_t>(imaging::kMaskWidth) ||
      header.height != static_cast<uint32_t>(imaging::kMaskHeight))
    return false;
  for (int i = 0; i < 4; ++i)
    if (header.block_size[i] != kBlockSizes[i]) return false;
  return true;
}

}  // namespace

bool LoadMaskFile(const std::string& path, imaging::MaskData& mask) {
  if (!mask.valid()) return false;
  platform::File file;
  if (!file.OpenForRead(path)) return false;
  MaskFileHeader header{};
  if (!file.Read(&header, sizeof(header)) || !HeaderAccepted(header)) return false;
  std::vector<uint8_t> staged[4];
  for (int i = 0; i < 4; ++i) {
    staged[i].resize(kBlockSizes[i]);
    if (!file.Read(staged[i].data(), kBlockSizes[i])) return false;
  }
  file.Close();

  platform::ScopedLock hold(mask.lock());
  for (int i = 0; i < 4; ++i) {
    imaging::CDibImage& target = mask.reference(kBlocks[i].depth, kBlocks[i].kind);
    if (target.size_bytes() != staged[i].size()) return false;
  }
  for (int i = 0; i < 4; ++i)
    std::memcpy(mask.reference(kBlocks[i].depth, kBlocks[i].kind).pixels(), staged[i].data(),
                staged[i].size());
  mask.RebuildAllMaps();
  return true;
}

bool SaveMaskFile(const std::string& path, imaging::MaskData& mask) {
  platform::ScopedLock hold(mask.lock());
  if (!mask.valid()) return false;
  platform::File file;
  if (!file.CreateForWrite(path)) return false;
  const imaging::CDibImage& dark8 = mask.reference(8, MaskKind::kDark);
  MaskFileHeader header{};
  std::memcpy(header.magic, kMaskMagic, sizeof(kMaskMagic));
  header.width = static_cast<uint32_t>(dark8.width());
  header.height = static_cast<uint32_t>(dark8.height());
  for (int i = 0; i < 4; ++i)
    header.block_size[i] =
        static_cast<uint32_t>(mask.reference(kBlocks[i].depth, kBlocks[i].kind).size_bytes());
  bool ok = file.Write(&header, sizeof(header));
  for (const Block& block : kBlocks) {
    const imaging::CDibImage& image = mask.reference(block.depth, block.kind);
    ok = ok && file.Write(image.pixels(), static_cast<uint32_t>(image.size_bytes()));
  }
  file.Close();
  if (!ok) platform::DeleteFileAt(path);
  return ok;
}

}  // namespace morvex::files
