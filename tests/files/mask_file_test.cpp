// The mask file read back byte by byte, round trips, and files that must be
// refused without touching the mask.
#include "files/mask_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/defect_mask.h"
#include "platform/file.h"
#include "test_images.h"
#include "paths.h"

namespace morvex::files {
namespace {

using imaging::CDibImage;
using imaging::MaskData;
using imaging::MaskKind;
namespace test = imaging::test;

constexpr size_t kFileSize = 40 + 2 * 0x50000 + 2 * 0xA0000;

class MaskFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(mask_.valid()); }
  void TearDown() override {
    for (const std::string& path : made_) platform::DeleteFileAt(path);
  }
  std::string PathOf(const std::string& name) {
    made_.push_back(morvex::test::TempPath("mask-" + name));
    return made_.back();
  }
  static std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  static void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void Randomise(uint32_t seed) {
    test::FillRandom(mask_.reference(8, MaskKind::kDark), seed);
    test::FillRandom(mask_.reference(8, MaskKind::kWhite), seed + 1);
    test::FillRandom(mask_.reference(16, MaskKind::kDark), seed + 2, 4095);
    test::FillRandom(mask_.reference(16, MaskKind::kWhite), seed + 3, 4095);
    mask_.RebuildAllMaps();
  }
  std::vector<uint8_t> Snapshot() const {
    std::vector<uint8_t> all;
    for (int32_t depth : {8, 16})
      for (MaskKind kind : {MaskKind::kDark, MaskKind::kWhite})
        for (const CDibImage* im : {&mask_.reference(depth, kind), &mask_.defect_map(depth, kind)})
          all.insert(all.end(), im->pixels(), im->pixels() + im->size_bytes());
    return all;
  }

  MaskData mask_;
  std::vector<std::string> made_;
};

TEST_F(MaskFile, SavedLayoutAndBitExactRoundTrip) {
  Randomise(17);
  const std::vector<uint8_t> before = Snapshot();
  const std::string path = PathOf("a.msk");
  ASSERT_TRUE(SaveMaskFile(path, mask_));
  const std::vector<uint8_t> file = Bytes(path);
  ASSERT_EQ(file.size(), kFileSize);
  EXPECT_EQ(std::memcmp(file.data(), "QUISTO MASK1000", 16), 0);  // terminator included
  const uint32_t numbers[6] = {640, 512, 0x50000, 0x50000, 0xA0000, 0xA0000};
  for (int i = 0; i < 6; ++i) {
    const uint8_t* p = file.data() + 16 + 4 * i;
    EXPECT_EQ(static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24), numbers[i]) << i;
  }
  // Each block starts with its reference's first sample, 16-bit ones little-endian.
  EXPECT_EQ(file[40], test::At8(mask_.reference(8, MaskKind::kDark), 0, 0));
  EXPECT_EQ(file[40 + 0x50000], test::At8(mask_.reference(8, MaskKind::kWhite), 0, 0));
  const uint16_t first = test::At16(mask_.reference(16, MaskKind::kWhite), 0, 0);
  EXPECT_EQ(file[40 + 2 * 0x50000 + 0xA0000], first & 0xFF);
  EXPECT_EQ(file[40 + 2 * 0x50000 + 0xA0000 + 1], first >> 8);

  Randomise(99);
  ASSERT_TRUE(LoadMaskFile(path, mask_));
  EXPECT_EQ(Snapshot(), before);  // references and rebuilt maps, bit for bit
  // Saving over an existing file replaces it.
  Write(path, std::vector<uint8_t>(kFileSize + 100, 0xEE));
  ASSERT_TRUE(SaveMaskFile(path, mask_));
  EXPECT_EQ(Bytes(path), file);
}

TEST_F(MaskFile, RefusalsLeaveTheMaskUnchanged) {
  Randomise(5);
  const std::string good = PathOf("good.msk");
  ASSERT_TRUE(SaveMaskFile(good, mask_));
  const std::vector<uint8_t> file = Bytes(good);
  Randomise(6);
  const std::vector<uint8_t> current = Snapshot();

  struct Case {
    const char* name;
    size_t at;  // where `patch` goes
    std::vector<uint8_t> patch;
    size_t length;  // bytes kept
  };
  const Case cases[] = {
      {"magic", 7, {'N'}, kFileSize},
      {"unterminated", 15, {'!'}, kFileSize},
      {"width320", 16, {0x40, 0x01}, kFileSize},
      {"height", 20, {0x01, 0x01}, kFileSize},
      {"blocksize", 36, {0x00, 0x0B}, kFileSize},
      {"header-only", 0, {}, 30},
      {"no-blocks", 0, {}, 40},
      {"short-block1", 0, {}, 40 + 0x50000 - 1},
      {"short-block2", 0, {}, 40 + 2 * 0x50000 - 1},
      {"short-block3", 0, {}, 40 + 2 * 0x50000 + 0xA0000 - 1},
      {"short-block4", 0, {}, kFileSize - 1},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(c.length));
    std::copy(c.patch.begin(), c.patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(c.at));
    const std::string path = PathOf(c.name);
    Write(path, bytes);
    EXPECT_FALSE(LoadMaskFile(path, mask_)) << c.name;
  }
  EXPECT_FALSE(LoadMaskFile(PathOf("missing.msk"), mask_));
  EXPECT_EQ(Snapshot(), current);
}

TEST_F(MaskFile, SaveFailsWhenTheFileCannotBeCreated) {
  EXPECT_FALSE(SaveMaskFile(PathOf("no-such-dir") + "/x.msk", mask_));
}

}  // namespace
}  // namespace morvex::files
