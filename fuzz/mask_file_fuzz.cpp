// The mask-file loader. The first byte says how the file is made: the rest
// of the input as it is, or a 40-byte header and then the rest of the input
// repeated up to a length the input gives (so small inputs reach whole
// files). A refused file leaves the references as they were; an accepted
// one puts its four blocks into them, and saving writes those bytes back.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "files/mask_file.h"
#include "fuzz_support.h"
#include "imaging/defect_mask.h"

namespace {

using morvex::imaging::MaskKind;

constexpr uint32_t kMaxFile = 2200000;
constexpr size_t kHeader = sizeof(morvex::files::MaskFileHeader);

struct Block {
  int32_t depth;
  MaskKind kind;
};
constexpr Block kBlocks[4] = {
    {8, MaskKind::kDark}, {8, MaskKind::kWhite}, {16, MaskKind::kDark}, {16, MaskKind::kWhite}};

std::vector<uint8_t> References(const morvex::imaging::MaskData& mask) {
  std::vector<uint8_t> bytes;
  for (const Block& block : kBlocks) {
    const auto& image = mask.reference(block.depth, block.kind);
    bytes.insert(bytes.end(), image.pixels(), image.pixels() + image.size_bytes());
  }
  return bytes;
}

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()))
    std::abort();
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  morvex::fuzz::UsePrivateScratch("mask_file");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static morvex::imaging::MaskData mask;
  if (!mask.valid()) std::abort();
  morvex::fuzz::FuzzInput in(data, size);
  std::vector<uint8_t> file;
  if (in.Byte() & 1) {
    const uint32_t length = in.U32() % kMaxFile;
    file = in.Bytes(kHeader);
    const std::vector<uint8_t> body = in.Bytes(in.remaining());
    while (!body.empty() && file.size() < length) file.push_back(body[file.size() % body.size()]);
  } else {
    file = in.Bytes(in.remaining());
  }
  const std::string path = morvex::fuzz::ScratchDir() + "/mask.bin";
  Write(path, file);

  const std::vector<uint8_t> before = References(mask);
  const bool loaded = morvex::files::LoadMaskFile(path, mask);
  const std::vector<uint8_t> after = References(mask);
  if (!loaded) {
    if (after != before) std::abort();  // a refused file changed the mask
  } else {
    // The blocks follow the header in reference order.
    if (file.size() < kHeader + after.size() ||
        std::memcmp(file.data() + kHeader, after.data(), after.size()) != 0)
      std::abort();
    const std::string saved = path + ".saved";
    if (!morvex::files::SaveMaskFile(saved, mask)) std::abort();
    std::ifstream stream(saved, std::ios::binary);
    const std::vector<uint8_t> written((std::istreambuf_iterator<char>(stream)), {});
    if (written.size() != kHeader + after.size() ||
        std::memcmp(written.data(), file.data(), written.size()) != 0)
      std::abort();
    std::remove(saved.c_str());
  }
  std::remove(path.c_str());
  return 0;
}
