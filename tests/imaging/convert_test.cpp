#include "imaging/convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "test_images.h"

namespace morvex::imaging {
namespace {

using test::At16;
using test::At8;
using test::Channel;

TEST(Respace, PackedRowsMoveToTheStride) {
  for (uint16_t bits : {8, 16}) {
    CDibImage image;
    ASSERT_TRUE(image.Create(5, 4, bits));  // 5 or 10 packed bytes, stride 8 or 12
    const int32_t bpp = bits / 8;
    const int32_t packed = 5 * bpp;
    for (int32_t i = 0; i < packed * 4; ++i) image.pixels()[i] = static_cast<uint8_t>(i + 1);
    ASSERT_TRUE(RespaceFrame(image));
    for (int32_t r = 0; r < 4; ++r)
      for (int32_t k = 0; k < packed; ++k)
        ASSERT_EQ(image.row(r)[k], r * packed + k + 1) << bits << " row " << r << " byte " << k;
  }
}

TEST(Respace, AlignedFramesAreNotMoved) {
  CDibImage image;
  ASSERT_TRUE(image.Create(8, 3, 8));
  for (size_t i = 0; i < image.size_bytes(); ++i) image.pixels()[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(RespaceFrame(image));
  for (size_t i = 0; i < image.size_bytes(); ++i) ASSERT_EQ(image.pixels()[i], i);
  CDibImage none;
  EXPECT_FALSE(RespaceFrame(none));
}

TEST(Convert, ColourToGreyUsesIntegerWeights) {
  CDibImage colour, grey;
  ASSERT_TRUE(colour.Create(3, 1, 24));
  ASSERT_TRUE(grey.Create(3, 1, 8));
  const uint8_t px[3][3] = {{255, 255, 255}, {10, 200, 50}, {1, 1, 2}};  // B G R
  for (int x = 0; x < 3; ++x)
    for (int c = 0; c < 3; ++c) colour.row(0)[3 * x + c] = px[x][c];
  ASSERT_EQ(grey.Apply(&ColourToGrey, colour, nullptr, 0, 0, 0, nullptr), 1);
  EXPECT_EQ(At8(grey, 0, 0), 255);                                   // 25500 / 100
  EXPECT_EQ(At8(grey, 1, 0), (59 * 200 + 30 * 50 + 11 * 10) / 100);  // 134
  EXPECT_EQ(At8(grey, 2, 0), (59 * 1 + 30 * 2 + 11 * 1) / 100);      // 1
}

class FlippedCopies : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(src16.Create(3, 4, 16));
    ASSERT_TRUE(src48.Create(3, 4, 48));
    ASSERT_TRUE(src32.Create(3, 4, 32));
    ASSERT_TRUE(src8.Create(3, 4, 8));
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t x = 0; x < 3; ++x) {
        test::Set16(src16, x, y, static_cast<uint16_t>(0x1234 + 0x101 * (10 * y + x)));
        At8(src8, x, y) = static_cast<uint8_t>(10 * y + x);
        for (int c = 0; c < 4; ++c) {
          const auto v = static_cast<uint16_t>(0x0ABC + 0x100 * c + 16 * (10 * y + x));
          std::memcpy(src48.row(y) + 6 * x + 2 * c, &v, c < 3 ? 2 : 0);
          src32.row(y)[4 * x + c] = static_cast<uint8_t>(40 * c + 10 * y + x);
        }
      }
    }
  }
  CDibImage src8, src16, src32, src48;
};

TEST_F(FlippedCopies, RowsAreReversedAndSamplesReduced) {
  CDibImage dst8, dst24;
  ASSERT_TRUE(dst8.Create(3, 4, 8));
  ASSERT_TRUE(dst24.Create(3, 4, 24));
  ASSERT_EQ(dst8.Apply(&High16To8Flipped, src16, nullptr, 0, 0, 0, nullptr), 1);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(At8(dst8, x, y), At16(src16, x, 3 - y) >> 8);

  ASSERT_EQ(dst8.Apply(&Bits2To9Flipped, src16, nullptr, 0, 0, 0, nullptr), 1);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(At8(dst8, x, y), (At16(src16, x, 3 - y) >> 2) & 0xFF);

  ASSERT_EQ(dst8.Apply(&Copy8Flipped, src8, nullptr, 0, 0, 0, nullptr), 1);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(At8(dst8, x, y), At8(src8, x, 3 - y));

  ASSERT_EQ(dst24.Apply(&HighBytes48To24Flipped, src48, nullptr, 0, 0, 0, nullptr), 1);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(Channel(dst24, x, y, c), Channel(src48, x, 3 - y, c) >> 8);

  ASSERT_EQ(dst24.Apply(&Copy24Flipped, src32, nullptr, 0, 0, 0, nullptr), 1);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(Channel(dst24, x, y, c), Channel(src32, x, 3 - y, c));
}

// The 8-bit views take the top 8 of the significant bits, for 12-bit raw
// data and for left-aligned 16-bit data, in both row orders.
TEST_F(FlippedCopies, ViewsTakeTheTopOfTheSignificantBits) {
  for (int32_t bits : {12, 16}) {
    CDibImage up8, down8, up24, down24;
    ASSERT_TRUE(up8.Create(3, 4, 8) && down8.Create(3, 4, 8) && up24.Create(3, 4, 24) &&
                down24.Create(3, 4, 24));
    ASSERT_EQ(up8.Apply(&View16To8, src16, nullptr, 0, 0, bits, nullptr), 1);
    ASSERT_EQ(down8.Apply(&View16To8Flipped, src16, nullptr, 0, 0, bits, nullptr), 1);
    ASSERT_EQ(up24.Apply(&View48To24, src48, nullptr, 0, 0, bits, nullptr), 1);
    ASSERT_EQ(down24.Apply(&View48To24Flipped, src48, nullptr, 0, 0, bits, nullptr), 1);
    auto view = [bits](uint32_t sample) { return std::min<uint32_t>(255, sample >> (bits - 8)); };
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t x = 0; x < 3; ++x) {
        EXPECT_EQ(At8(up8, x, y), view(At16(src16, x, y))) << bits << " bits at " << x << "," << y;
        EXPECT_EQ(At8(down8, x, y), view(At16(src16, x, 3 - y)));
        for (int c = 0; c < 3; ++c) {
          EXPECT_EQ(Channel(up24, x, y, c), view(Channel(src48, x, y, c)));
          EXPECT_EQ(Channel(down24, x, y, c), view(Channel(src48, x, 3 - y, c)));
        }
      }
    }
  }
}

TEST_F(FlippedCopies, DisplayConversionsKeepRowOrder) {
  CDibImage dst8, dst24;
  ASSERT_TRUE(dst8.Create(3, 4, 8));
  ASSERT_TRUE(dst24.Create(3, 4, 24));
  ASSERT_EQ(dst8.Apply(&Display16To8, src16, nullptr, 0, 0, 0, nullptr), 1);
  ASSERT_EQ(dst24.Apply(&Display48To24, src48, nullptr, 0, 0, 0, nullptr), 1);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 3; ++x) {
      EXPECT_EQ(At8(dst8, x, y), At16(src16, x, y) >> 8);
      for (int c = 0; c < 3; ++c) EXPECT_EQ(Channel(dst24, x, y, c), (Channel(src48, x, y, c) >> 4) & 0xFF);
    }
  }
  ASSERT_EQ(dst24.Apply(&Display32To24, src32, nullptr, 0, 0, 0, nullptr), 1);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(Channel(dst24, x, y, c), Channel(src32, x, y, c));
}

TEST(ScaledDisplay, NearestSampleWithFlippedRows) {
  CDibImage src, dst;
  ASSERT_TRUE(src.Create(4, 4, 8));
  ASSERT_TRUE(dst.Create(8, 2, 8));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) At8(src, x, y) = static_cast<uint8_t>(10 * y + x);
  ASSERT_EQ(dst.ApplyScaled(&ScaledDisplay8, src, nullptr, nullptr, 0, nullptr), 1);
  // Column j ← trunc(j × 0.5); row i ← 3 − trunc(i × 2).
  for (int32_t i = 0; i < 2; ++i)
    for (int32_t j = 0; j < 8; ++j) EXPECT_EQ(At8(dst, j, i), 10 * (3 - 2 * i) + j / 2) << i << "," << j;

  CDibImage src24, dst24;
  ASSERT_TRUE(src24.Create(3, 3, 24));
  ASSERT_TRUE(dst24.Create(2, 2, 24));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 9; ++x) src24.row(y)[x] = static_cast<uint8_t>(30 * y + x);
  ASSERT_EQ(dst24.ApplyScaled(&ScaledDisplay24, src24, nullptr, nullptr, 0, nullptr), 1);
  // Ratio 1.5 in single precision: columns 0 and 1, rows 2 and 1.
  const int32_t cols[2] = {0, 1}, rows[2] = {2, 1};
  for (int32_t i = 0; i < 2; ++i)
    for (int32_t j = 0; j < 2; ++j)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(Channel(dst24, j, i, c), 30u * rows[i] + 3 * cols[j] + c);
}

TEST(Mirror, SoftwareMirrorOnlyWhereTheDeviceDoesNot) {
  for (uint16_t bits : {8, 16}) {
    CDibImage raw, original, temp;
    ASSERT_TRUE(raw.Create(5, 3, bits));
    ASSERT_TRUE(original.Create(5, 3, bits));
    test::FillRandom(raw, 7);
    std::memcpy(original.pixels(), raw.pixels(), raw.size_bytes());
    auto sample = [&](const CDibImage& im, int32_t x, int32_t y) {
      return bits == 8 ? At8(im, x, y) : At16(im, x, y);
    };

    ASSERT_TRUE(MirrorRaw(raw, temp, true, false, false, false));
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x) ASSERT_EQ(sample(raw, x, y), sample(original, 4 - x, y));
    void* reused = temp.pixels();

    std::memcpy(raw.pixels(), original.pixels(), raw.size_bytes());
    ASSERT_TRUE(MirrorRaw(raw, temp, true, true, false, false));
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x) ASSERT_EQ(sample(raw, x, y), sample(original, 4 - x, 2 - y));
    EXPECT_EQ(temp.pixels(), reused);  // no new temporary per frame

    // The device already reversed the rows: only the columns remain.
    std::memcpy(raw.pixels(), original.pixels(), raw.size_bytes());
    ASSERT_TRUE(MirrorRaw(raw, temp, true, true, false, true));
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x) ASSERT_EQ(sample(raw, x, y), sample(original, 4 - x, y)) << bits;

    std::memcpy(raw.pixels(), original.pixels(), raw.size_bytes());
    ASSERT_TRUE(MirrorRaw(raw, temp, false, true, false, false));
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x) ASSERT_EQ(sample(raw, x, y), sample(original, x, 2 - y));

    std::memcpy(raw.pixels(), original.pixels(), raw.size_bytes());
    ASSERT_TRUE(MirrorRaw(raw, temp, true, true, true, true));
    EXPECT_TRUE(test::SamePixels(raw, original));
  }
}

}  // namespace
}  // namespace morvex::imaging
