#include "imaging/defect_mask.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_images.h"

namespace morvex::imaging {
namespace {

class Mask : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(mask_.valid()); }
  std::vector<uint8_t> Snapshot() const {
    std::vector<uint8_t> all;
    for (int32_t depth : {8, 16})
      for (MaskKind kind : {MaskKind::kDark, MaskKind::kWhite})
        for (const CDibImage* im : {&mask_.reference(depth, kind), &mask_.defect_map(depth, kind)})
          all.insert(all.end(), im->pixels(), im->pixels() + im->size_bytes());
    return all;
  }

  MaskData mask_;
};

TEST_F(Mask, InitialReferencesAndMaps) {
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

TEST_F(Mask, DefectMapThresholdsAndBorder) {
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

TEST_F(Mask, UpdateFromFullFramesOnly) {
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
