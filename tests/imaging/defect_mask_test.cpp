#include "imaging/defect_mask.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "test_images.h"

namespace morvex::imaging {
namespace {

namespace fs = std::filesystem;

class MaskFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("morvex-mask-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir_);
    ASSERT_TRUE(mask_.valid());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string PathOf(const char* name) const { return (dir_ / name).string(); }
  std::vector<uint8_t> Bytes(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  void Write(const std::string& path, const std::vector<uint8_t>& bytes) const {
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

  fs::path dir_;
  MaskData mask_;
};

TEST_F(MaskFile, InitialReferencesAndMaps) {
  EXPECT_EQ(test::At8(mask_.reference(8, MaskKind::kDark), 100, 100), 0);
  EXPECT_EQ(test::At8(mask_.reference(8, MaskKind::kWhite), 639, 511), 255);
  EXPECT_EQ(test::At16(mask_.reference(16, MaskKind::kDark), 0, 0), 0);
  EXPECT_EQ(test::At16(mask_.reference(16, MaskKind::kWhite), 320, 7), 0x0FFF);
  mask_.RebuildAllMaps();
  for (int32_t depth : {8, 16})
    for (MaskKind kind : {MaskKind::kDark, MaskKind::kWhite}) {
      const CDibImage& map = mask_.defect_map(depth, kind);
      for (size_t i = 0; i < map.size_bytes(); ++i) ASSERT_EQ(map.pixels()[i], 0);
    }
}

TEST_F(MaskFile, SavedLayoutAndBitExactRoundTrip) {
  Randomise(17);
  const std::vector<uint8_t> before = Snapshot();
  const std::string path = PathOf("a.msk");
  ASSERT_TRUE(mask_.Save(path));
  const std::vector<uint8_t> file = Bytes(path);
  ASSERT_EQ(file.size(), 40u + 2 * 0x50000 + 2 * 0xA0000);
  EXPECT_EQ(std::memcmp(file.data(), "QUISTO MASK1000", 16), 0);  // terminator included
  const uint32_t numbers[6] = {640, 512, 0x50000, 0x50000, 0xA0000, 0xA0000};
  for (int i = 0; i < 6; ++i) {
    const uint8_t* p = file.data() + 16 + 4 * i;
    EXPECT_EQ(static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24), numbers[i]) << i;
  }
  // Block 3 starts with the first 16-bit dark sample, little-endian.
  const uint16_t first = test::At16(mask_.reference(16, MaskKind::kDark), 0, 0);
  EXPECT_EQ(file[40 + 2 * 0x50000], first & 0xFF);
  EXPECT_EQ(file[40 + 2 * 0x50000 + 1], first >> 8);

  Randomise(99);
  ASSERT_TRUE(mask_.Load(path));
  EXPECT_EQ(Snapshot(), before);  // references and rebuilt maps, bit for bit
  // Saving over an existing file replaces it.
  ASSERT_TRUE(mask_.Save(path));
  EXPECT_EQ(Bytes(path), file);
}

TEST_F(MaskFile, RefusalsLeaveTheReferencesUnchanged) {
  Randomise(5);
  const std::string good = PathOf("good.msk");
  ASSERT_TRUE(mask_.Save(good));
  const std::vector<uint8_t> file = Bytes(good);
  Randomise(6);
  const std::vector<uint8_t> current = Snapshot();

  std::vector<uint8_t> magic = file;
  magic[7] = 'N';
  Write(PathOf("magic.msk"), magic);
  EXPECT_FALSE(mask_.Load(PathOf("magic.msk")));

  std::vector<uint8_t> unterminated = file;
  unterminated[15] = '!';
  Write(PathOf("unterminated.msk"), unterminated);
  EXPECT_FALSE(mask_.Load(PathOf("unterminated.msk")));

  std::vector<uint8_t> narrow = file;
  narrow[16] = 320 & 0xFF;
  narrow[17] = 320 >> 8;
  Write(PathOf("narrow.msk"), narrow);
  EXPECT_FALSE(mask_.Load(PathOf("narrow.msk")));

  std::vector<uint8_t> block = file;
  block[36] = 0;  // white 16 block size 0xA0000 → 0xA0100
  block[37] = 1;
  Write(PathOf("block.msk"), block);
  EXPECT_FALSE(mask_.Load(PathOf("block.msk")));

  // Every block but the last arrives whole; the last one is one byte short.
  std::vector<uint8_t> short_file(file.begin(), file.end() - 1);
  Write(PathOf("short.msk"), short_file);
  EXPECT_FALSE(mask_.Load(PathOf("short.msk")));

  std::vector<uint8_t> header_only(file.begin(), file.begin() + 30);
  Write(PathOf("header.msk"), header_only);
  EXPECT_FALSE(mask_.Load(PathOf("header.msk")));

  EXPECT_FALSE(mask_.Load(PathOf("missing.msk")));
  EXPECT_EQ(Snapshot(), current);
}

TEST_F(MaskFile, SaveFailsWhenTheFileCannotBeCreated) {
  EXPECT_FALSE(mask_.Save((dir_ / "no-such-dir" / "x.msk").string()));
}

TEST_F(MaskFile, DefectMapThresholdsAndBorder) {
  CDibImage& dark8 = mask_.reference(8, MaskKind::kDark);
  CDibImage& white8 = mask_.reference(8, MaskKind::kWhite);
  CDibImage& dark16 = mask_.reference(16, MaskKind::kDark);
  CDibImage& white16 = mask_.reference(16, MaskKind::kWhite);
  test::At8(dark8, 10, 10) = 200;
  test::At8(dark8, 11, 10) = 192;
  test::At8(dark8, 1, 10) = 255;    // border column
  test::At8(dark8, 10, 510) = 255;  // border row
  test::At8(white8, 20, 20) = 63;
  test::At8(white8, 21, 20) = 64;
  test::At8(white8, 638, 20) = 0;
  test::Set16(dark16, 30, 30, 3073);
  test::Set16(dark16, 31, 30, 3072);
  test::Set16(white16, 40, 40, 1023);
  test::Set16(white16, 41, 40, 1024);
  test::Set16(white16, 40, 1, 0);
  mask_.RebuildAllMaps();
  const CDibImage& dm8 = mask_.defect_map(8, MaskKind::kDark);
  const CDibImage& wm8 = mask_.defect_map(8, MaskKind::kWhite);
  const CDibImage& dm16 = mask_.defect_map(16, MaskKind::kDark);
  const CDibImage& wm16 = mask_.defect_map(16, MaskKind::kWhite);
  EXPECT_EQ(test::At8(dm8, 10, 10), 1);
  EXPECT_EQ(test::At8(dm8, 11, 10), 0);
  EXPECT_EQ(test::At8(dm8, 1, 10), 0);
  EXPECT_EQ(test::At8(dm8, 10, 510), 0);
  EXPECT_EQ(test::At8(wm8, 20, 20), 1);
  EXPECT_EQ(test::At8(wm8, 21, 20), 0);
  EXPECT_EQ(test::At8(wm8, 638, 20), 0);
  EXPECT_EQ(test::At16(dm16, 30, 30), 1);
  EXPECT_EQ(test::At16(dm16, 31, 30), 0);
  EXPECT_EQ(test::At16(wm16, 40, 40), 1);
  EXPECT_EQ(test::At16(wm16, 41, 40), 0);
  EXPECT_EQ(test::At16(wm16, 40, 1), 0);
  size_t marked = 0;
  for (size_t i = 0; i < dm8.size_bytes(); ++i) marked += dm8.pixels()[i];
  EXPECT_EQ(marked, 1u);
}

TEST_F(MaskFile, UpdateFromFullFramesOnly) {
  CDibImage frame;
  ASSERT_TRUE(frame.Create(640, 512, 16));
  test::Fill(frame, 4000);
  EXPECT_EQ(mask_.Update(frame, 0), MaskUpdate::kDone);
  EXPECT_EQ(test::At16(mask_.reference(16, MaskKind::kDark), 5, 5), 4000);
  EXPECT_EQ(test::At16(mask_.defect_map(16, MaskKind::kDark), 5, 5), 1);
  EXPECT_EQ(test::At16(mask_.defect_map(16, MaskKind::kDark), 0, 0), 0);
  EXPECT_EQ(test::At8(mask_.reference(8, MaskKind::kDark), 5, 5), 0);  // the other depth is untouched

  test::Fill(frame, 7);
  const std::vector<uint8_t> before = Snapshot();
  EXPECT_EQ(mask_.Update(frame, 2), MaskUpdate::kBadSelector);
  EXPECT_EQ(Snapshot(), before);

  CDibImage half;
  ASSERT_TRUE(half.Create(320, 256, 8));
  EXPECT_EQ(mask_.Update(half, 1), MaskUpdate::kWrongFrame);
  EXPECT_EQ(mask_.Update(half, 5), MaskUpdate::kWrongFrame);
  EXPECT_EQ(Snapshot(), before);

  CDibImage frame8;
  ASSERT_TRUE(frame8.Create(640, 512, 8));
  test::Fill(frame8, 10);
  EXPECT_EQ(mask_.Update(frame8, 1), MaskUpdate::kDone);
  EXPECT_EQ(test::At8(mask_.reference(8, MaskKind::kWhite), 100, 100), 10);
  EXPECT_EQ(test::At8(mask_.defect_map(8, MaskKind::kWhite), 100, 100), 1);
}

}  // namespace
}  // namespace morvex::imaging
