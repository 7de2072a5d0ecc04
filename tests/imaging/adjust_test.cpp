#include "imaging/adjust.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "test_images.h"

namespace morvex::imaging {
namespace {

using test::At16;
using test::At8;

// ---- Tone tables ---------------------------------------------------------------

TEST(Gamma, NeutralZeroAndGoldenValues) {
  uint8_t t8[256];
  std::vector<uint16_t> t16(65536);
  BuildGammaTable8(100, t8);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(t8[i], i);
  BuildGammaTable8(0, t8);
  for (int i = 0; i < 255; ++i) ASSERT_EQ(t8[i], 0) << i;
  EXPECT_EQ(t8[255], 255);
  BuildGammaTable16(0, t16.data());
  EXPECT_EQ(t16[65534], 0);
  EXPECT_EQ(t16[65535], 65535);
  // Exponent 1 / 2: trunc(sqrt(64 / 255) · 255) = 127; exponent 2:
  // trunc((128 / 255)² · 255) = 64.
  BuildGammaTable8(200, t8);
  EXPECT_EQ(t8[64], 127);
  EXPECT_EQ(t8[0], 0);
  EXPECT_EQ(t8[255], 255);
  BuildGammaTable8(50, t8);
  EXPECT_EQ(t8[128], 64);
  BuildGammaTable16(200, t16.data());
  EXPECT_EQ(t16[16384], 32767);
  BuildGammaTable16(100, t16.data());
  for (int i = 0; i < 65536; i += 97) ASSERT_EQ(t16[i], i);
}

TEST(Contrast, EdgesAndGoldenValues) {
  uint8_t t8[256];
  BuildContrastTable8(127, t8);
  for (int i = 0; i <= 127; ++i) ASSERT_EQ(t8[i], 0) << i;
  EXPECT_EQ(t8[128], 128);
  for (int i = 129; i <= 255; ++i) ASSERT_EQ(t8[i], 255) << i;
  BuildContrastTable8(-127, t8);
  EXPECT_EQ(t8[0], 63);
  EXPECT_EQ(t8[255], 191);
  BuildContrastTable8(0, t8);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(t8[i], i);
  BuildContrastTable8(50, t8);
  EXPECT_EQ(t8[100], 82);  // trunc(256 / 156 · 50)
  EXPECT_EQ(t8[49], 0);
  EXPECT_EQ(t8[206], 255);
  std::vector<uint16_t> t16(65536);
  BuildContrastTable16(50, t16.data());
  EXPECT_EQ(t16[30000], 28225);  // K = 12800: trunc(65536 / 39936 · 17200)
  EXPECT_EQ(t16[12799], 0);
  EXPECT_EQ(t16[65535 - 12800 + 1], 65535);
  BuildContrastTable16(127, t16.data());
  EXPECT_EQ(t16[32768], 32768);
}

TEST(Brightness, BlackSaturationAndSinglePrecision) {
  uint8_t t8[256];
  BuildBrightnessTable8(-255, t8);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(t8[i], 0);
  BuildBrightnessTable8(255, t8);  // factor 11
  EXPECT_EQ(t8[23], 253);
  EXPECT_EQ(t8[24], 255);
  EXPECT_EQ(t8[255], 255);
  BuildBrightnessTable8(0, t8);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(t8[i], i);
  // F = 1 + 1000 / 255 in single precision = 4.9215689.
  BuildBrightnessTable8(100, t8);
  EXPECT_EQ(t8[50], 246);
  EXPECT_EQ(t8[51], 251);
  EXPECT_EQ(t8[52], 255);
  std::vector<uint16_t> t16(65536);
  BuildBrightnessTable16(-100, t16.data());  // F = 0.60784316
  EXPECT_EQ(t16[50], 30);
  EXPECT_EQ(t16[1000], 607);
  EXPECT_EQ(t16[65535], 39835);
  BuildBrightnessTable16(255, t16.data());
  EXPECT_EQ(t16[5957], 65527);
  EXPECT_EQ(t16[5958], 65535);
}

TEST(Sharpness, TableTruncatesTowardZero) {
  std::vector<int32_t> t(511);
  BuildSharpnessTable(7, 255, t.data());
  EXPECT_EQ(t[255 + 13], 9);
  EXPECT_EQ(t[255 - 13], -9);
  EXPECT_EQ(t[255 - 255], -178);
  EXPECT_EQ(t[255], 0);
}

TEST(ToneTables, CachedByArgument) {
  ToneTables tables;
  const uint8_t* a = tables.Gamma8(150);
  const uint32_t after_first = tables.builds();
  EXPECT_EQ(tables.Gamma8(150), a);
  EXPECT_EQ(tables.builds(), after_first);
  uint8_t fresh[256];
  BuildGammaTable8(150, fresh);
  EXPECT_EQ(std::memcmp(a, fresh, 256), 0);
  tables.Gamma8(151);
  EXPECT_EQ(tables.builds(), after_first + 1);
  BuildGammaTable8(151, fresh);
  EXPECT_EQ(std::memcmp(tables.Gamma8(151), fresh, 256), 0);
  tables.Sharpness16(3);
  tables.Sharpness16(3);
  EXPECT_EQ(tables.builds(), after_first + 2);
}

TEST(ToneTables, ApplyReplacesChannelsButNotTheFourthByte) {
  uint8_t invert[256];
  for (int i = 0; i < 256; ++i) invert[i] = static_cast<uint8_t>(255 - i);
  CDibImage image;
  ASSERT_TRUE(image.Create(3, 2, 32));
  for (size_t i = 0; i < image.size_bytes(); ++i) image.pixels()[i] = static_cast<uint8_t>(i);
  ASSERT_EQ(image.Apply(&ApplyToneTable, image, nullptr, 0, 0, 0, invert), 1);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 3; ++x) {
      const size_t base = static_cast<size_t>(y) * image.stride() + 4 * x;
      for (int c = 0; c < 3; ++c) EXPECT_EQ(image.pixels()[base + c], 255 - (base + c));
      EXPECT_EQ(image.pixels()[base + 3], base + 3);
    }
  }
  std::vector<uint16_t> half(65536);
  for (int i = 0; i < 65536; ++i) half[i] = static_cast<uint16_t>(i / 2);
  CDibImage wide;
  ASSERT_TRUE(wide.Create(2, 2, 64));
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t k = 0; k < 8; ++k) test::Set16(wide, k, y, static_cast<uint16_t>(1000 * k + 2));
  ASSERT_EQ(wide.Apply(&ApplyToneTable, wide, nullptr, 0, 0, 0, half.data()), 1);
  for (int32_t k = 0; k < 8; ++k)
    EXPECT_EQ(At16(wide, k, 1), (k % 4 == 3) ? 1000 * k + 2 : (1000 * k + 2) / 2);
}

TEST(Sharpness, InteriorFromTheBlurBordersKept) {
  CDibImage src, dst;
  ASSERT_TRUE(src.Create(7, 6, 8));
  ASSERT_TRUE(dst.Create(7, 6, 8));
  test::FillRandom(src, 99);
  std::memcpy(dst.pixels(), src.pixels(), src.size_bytes());
  std::vector<int32_t> table(511);
  BuildSharpnessTable(30, 255, table.data());
  std::vector<uint32_t> scratch;
  SharpenArgs args{table.data(), &scratch};
  ASSERT_EQ(dst.Apply(&Sharpen, src, nullptr, 0, 0, 0, &args), 1);
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 7; ++x) {
      const int32_t v = At8(src, x, y);
      if (x < 2 || x >= 5 || y < 2 || y >= 4) {
        EXPECT_EQ(At8(dst, x, y), v);
        continue;
      }
      int32_t sum = 0;
      for (int32_t j = y - 2; j <= y + 1; ++j)
        for (int32_t i = x - 2; i <= x + 1; ++i) sum += At8(src, i, j);
      const int32_t d = v - (sum >> 4);
      EXPECT_EQ(At8(dst, x, y), std::clamp(v + (30 * d) / 10, 0, 255)) << x << "," << y;
    }
  }
}

TEST(Sharpness, SixteenBitColourMatchesTheFormula) {
  CDibImage src, dst;
  ASSERT_TRUE(src.Create(9, 8, 48));
  ASSERT_TRUE(dst.Create(9, 8, 48));
  test::FillRandom(src, 3, 65535);
  std::vector<int32_t> table(131071);
  BuildSharpnessTable(13, 65535, table.data());
  std::vector<uint32_t> scratch;
  SharpenArgs args{table.data(), &scratch};
  ASSERT_EQ(dst.Apply(&Sharpen, src, nullptr, 0, 0, 0, &args), 1);
  for (int32_t y = 2; y < 6; ++y) {
    for (int32_t x = 2; x < 7; ++x) {
      for (int c = 0; c < 3; ++c) {
        int64_t sum = 0;
        for (int32_t j = y - 2; j <= y + 1; ++j)
          for (int32_t i = x - 2; i <= x + 1; ++i) sum += test::Channel(src, i, j, c);
        const int64_t v = test::Channel(src, x, y, c);
        const int64_t d = v - (sum >> 4);
        ASSERT_EQ(test::Channel(dst, x, y, c), std::clamp<int64_t>(v + (13 * d) / 10, 0, 65535));
      }
    }
  }
}

// ---- Grey gains ---------------------------------------------------------------

TEST(GreyGains, PhaseSchemeOfEachBayerMode) {
  // Value 100 everywhere; R ×0.5, G1 ×1, G2 ×1.5, B ×0.25.
  GreyGainsArgs args;
  args.gains.gain[0] = 64, args.gains.gain[1] = 128, args.gains.gain[2] = 192, args.gains.gain[3] = 32;
  const int32_t r = 50, g1 = 100, g2 = 150, b = 25;
  const int32_t expected[4][2][2] = {{{g1, r}, {b, g2}},   // mode 0
                                     {{b, g2}, {g1, r}},   // row phase starts at 1
                                     {{r, g1}, {g2, b}},   // column phase starts at 1
                                     {{g2, b}, {r, g1}}};  // both
  for (int32_t mode = 0; mode < 4; ++mode) {
    CDibImage image;
    ASSERT_TRUE(image.Create(6, 4, 8));
    test::Fill(image, 100);
    ASSERT_EQ(image.Apply(&GreyGains8, image, nullptr, 0, 0, mode, &args), 1);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 6; ++x) ASSERT_EQ(At8(image, x, y), expected[mode][y % 2][x % 2]) << mode;
    EXPECT_EQ(GreyCellIndex(mode, 0, 0), expected[mode][0][0] == r    ? 0
                                         : expected[mode][0][0] == g1 ? 1
                                         : expected[mode][0][0] == g2 ? 2
                                                                      : 3);
  }
}

TEST(GreyGains, OffsetsAndClamps) {
  GreyGainsArgs args;
  for (int i = 0; i < 4; ++i) args.gains.offset[i] = -255;
  CDibImage image8;
  ASSERT_TRUE(image8.Create(4, 2, 8));
  test::Fill(image8, 200);
  ASSERT_EQ(image8.Apply(&GreyGains8, image8, nullptr, 0, 0, 0, &args), 1);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(At8(image8, x, 0), 0);  // negative → 0
  for (int i = 0; i < 4; ++i) args.gains.offset[i] = 17, args.gains.gain[i] = 255;
  test::Fill(image8, 101);
  ASSERT_EQ(image8.Apply(&GreyGains8, image8, nullptr, 0, 0, 0, &args), 1);
  EXPECT_EQ(At8(image8, 0, 0), 218);  // 17 + (255 · 101) / 128 = 17 + 201
  test::Fill(image8, 200);
  ASSERT_EQ(image8.Apply(&GreyGains8, image8, nullptr, 0, 0, 0, &args), 1);
  EXPECT_EQ(At8(image8, 1, 1), 255);

  CDibImage image16;
  ASSERT_TRUE(image16.Create(4, 2, 16));
  test::Fill(image16, 3000);
  ASSERT_EQ(image16.Apply(&GreyGains16, image16, nullptr, 0, 0, 0, &args), 1);
  EXPECT_EQ(At16(image16, 0, 0), 4095);  // 12 significant bits
  args.significant_bits = 16;
  test::Fill(image16, 3000);
  ASSERT_EQ(image16.Apply(&GreyGains16, image16, nullptr, 0, 0, 0, &args), 1);
  EXPECT_EQ(At16(image16, 0, 0), 17 + (255 * 3000) / 128);
  EXPECT_EQ(SignificantMaximum(10), 1023);
  EXPECT_EQ(SignificantMaximum(14), 16383);
}

TEST(AutoGreyBalance, RatiosOfTheCellMeans) {
  CDibImage image;
  ASSERT_TRUE(image.Create(8, 6, 8));
  // Mode 0 cells: (0,0) G1 = 100, (0,1) R = 50, (1,0) B = 200, (1,1) G2 = 100.
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x)
      At8(image, x, y) = static_cast<uint8_t>(y % 2 ? (x % 2 ? 100 : 200) : (x % 2 ? 50 : 100));
  // 0 and 255 never count; 255 is not summed either.
  At8(image, 0, 0) = 255;
  At8(image, 1, 0) = 0;
  GreyGains gains;
  gains.gain[1] = 7;
  ASSERT_TRUE(AutoGreyBalance(image, 0, gains));
  EXPECT_EQ(gains.gain[0], 256);  // 100 / 50 · 128
  EXPECT_EQ(gains.gain[1], 128);
  EXPECT_EQ(gains.gain[2], 128);
  EXPECT_EQ(gains.gain[3], 64);
}

TEST(AutoGreyBalance, SixteenBitReadsTheLowByteAndEmptyCellsKeepTheirGain) {
  CDibImage image;
  ASSERT_TRUE(image.Create(4, 4, 16));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) test::Set16(image, x, y, (x % 2 == 1 && y % 2 == 0) ? 0x0100 : 0x0A40);
  GreyGains gains;
  gains.gain[0] = 77;
  ASSERT_TRUE(AutoGreyBalance(image, 0, gains));
  EXPECT_EQ(gains.gain[0], 77);  // R cells' low bytes are all 0: no mean
  EXPECT_EQ(gains.gain[2], 128);
  EXPECT_EQ(gains.gain[3], 128);
}

// ---- White balance ----------------------------------------------------------

TEST(WhiteBalance, EqualMeansGiveHundreds) {
  CDibImage image;
  ASSERT_TRUE(image.Create(10, 8, 8));
  test::Fill(image, 100);
  BayerGains gains{1, 2, 3};
  ASSERT_TRUE(MeasureWhiteBalance(image, 2, gains));
  EXPECT_EQ(gains.red, 100);
  EXPECT_EQ(gains.green, 100);
  EXPECT_EQ(gains.blue, 100);
}

TEST(WhiteBalance, GainsFromTheSiteMeans) {
  // Mode 0: A sites (row phase 0, column phase 1) blue = 50, D sites red = 200.
  CDibImage image;
  ASSERT_TRUE(image.Create(8, 8, 16));
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      test::Set16(image, x, y, (y % 2 == x % 2) ? 100 : (y % 2 == 0 ? 50 : 200));
  BayerGains gains;
  ASSERT_TRUE(MeasureWhiteBalance(image, 0, gains));
  EXPECT_EQ(gains.red, 50);    // (350 / 200 / 3 · 100) / (350 / 100 / 3)
  EXPECT_EQ(gains.blue, 200);  // (350 / 50 / 3 · 100) / (350 / 100 / 3)
  // Mode 3 moves both phases: the same frame reads red and blue swapped.
  ASSERT_TRUE(MeasureWhiteBalance(image, 3, gains));
  EXPECT_EQ(gains.red, 200);
  EXPECT_EQ(gains.blue, 50);
}

TEST(WhiteBalance, LimitAndEmptyChannels) {
  CDibImage image;
  ASSERT_TRUE(image.Create(8, 8, 8));
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) At8(image, x, y) = (y % 2 == x % 2) ? 250 : (y % 2 == 0 ? 0 : 10);
  BayerGains gains{123, 100, 321};
  ASSERT_TRUE(MeasureWhiteBalance(image, 0, gains));
  EXPECT_EQ(gains.red, 400);   // far above 400 before the limit
  EXPECT_EQ(gains.blue, 321);  // blue mean 0: unchanged, no infinity
  test::Fill(image, 0);
  ASSERT_TRUE(MeasureWhiteBalance(image, 0, gains));
  EXPECT_EQ(gains.red, 400);
  EXPECT_EQ(gains.blue, 321);
}

// ---- Automatic exposure -----------------------------------------------------

TEST(Exposure, FactorFromTheFiveRegions) {
  CDibImage image;
  ASSERT_TRUE(image.Create(100, 100, 8));
  ExposureMeasurement m;
  test::Fill(image, 255);
  ASSERT_TRUE(MeasureExposure(image, &m));
  EXPECT_NEAR(m.factor, 0.25, 1e-9);
  EXPECT_TRUE(m.change);
  test::Fill(image, 120);
  ASSERT_TRUE(MeasureExposure(image, &m));
  EXPECT_DOUBLE_EQ(m.factor, 1.0);
  EXPECT_FALSE(m.change);
  test::Fill(image, 20);
  ASSERT_TRUE(MeasureExposure(image, &m));
  EXPECT_NEAR(m.factor, 1.5, 1e-9);
  EXPECT_TRUE(m.change);
  test::Fill(image, 75);  // 1 + 5 · 0.05 = 1.25
  ASSERT_TRUE(MeasureExposure(image, &m));
  EXPECT_TRUE(m.change);
  test::Fill(image, 180);  // 1 − 5 · 0.1 = 0.5
  ASSERT_TRUE(MeasureExposure(image, &m));
  EXPECT_NEAR(m.factor, 0.5, 1e-9);
}

TEST(Exposure, RegionsCountFromTheBottom) {
  // Region rows 10 … 19 from the bottom are memory rows 80 … 89.
  CDibImage image;
  ASSERT_TRUE(image.Create(100, 100, 16));
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 100; ++x)
      test::Set16(image, x, y, static_cast<uint16_t>((y >= 50 ? 3200 : 1600) + x % 16));
  ExposureMeasurement m;
  ASSERT_TRUE(MeasureExposure(image, &m));
  EXPECT_EQ(m.mean[0], 200);  // (3200 + k) >> 4
  EXPECT_EQ(m.mean[1], 100);
  EXPECT_EQ(m.mean[3], 200);
  EXPECT_EQ(m.mean[4], 100);
  EXPECT_EQ(m.mean[2], 150);  // memory rows 45 … 54: half of each
}

TEST(Exposure, TinyImagesHaveNoRegionsAndNoDivision) {
  CDibImage image;
  ASSERT_TRUE(image.Create(3, 3, 8));
  test::Fill(image, 255);
  ExposureMeasurement m;
  ASSERT_TRUE(MeasureExposure(image, &m));
  for (bool measured : m.measured) EXPECT_FALSE(measured);
  EXPECT_DOUBLE_EQ(m.factor, 1.0);
  EXPECT_FALSE(m.change);
}

TEST(Exposure, NextGainAndExposure) {
  EXPECT_EQ(NextGlobalGain(100, 0.5, 0, 480), 50);
  EXPECT_EQ(NextGlobalGain(0, 1.25, 0, 480), 5);     // max(0, 4) · 1.25
  EXPECT_EQ(NextGlobalGain(2, 1.21, 0, 480), 4);     // trunc(4.84) = 4, at least 4
  EXPECT_EQ(NextGlobalGain(3, 0.5, 0, 480), 2);      // trunc(4 · 0.5)
  EXPECT_EQ(NextGlobalGain(400, 1.5, 0, 480), 480);  // at or above the maximum
  EXPECT_EQ(NextGlobalGain(10, 0.5, 8, 480), 8);
  EXPECT_EQ(NextExposure(1000, 0.5, 1, 20000), 500);
  EXPECT_EQ(NextExposure(1, 0.5, 0, 20000), 1);          // 0 becomes 1
  EXPECT_EQ(NextExposure(60000, 1.5, 1, 65535), 65535);  // saturates, never wraps to 24464
  EXPECT_EQ(NextExposure(100, 1.5, 200, 20000), 200);
}

// ---- Mask filter ------------------------------------------------------------

TEST(MaskFilter, EightBitGoldenValues) {
  CDibImage raw, dark, white;
  ASSERT_TRUE(raw.Create(4, 1, 8));
  ASSERT_TRUE(dark.Create(640, 512, 8));
  ASSERT_TRUE(white.Create(640, 512, 8));
  const uint8_t d[4] = {10, 10, 10, 100}, w[4] = {110, 110, 110, 50}, v[4] = {60, 5, 200, 75};
  // Placed at window offset (30, 7).
  for (int i = 0; i < 4; ++i)
    At8(dark, 30 + i, 7) = d[i], At8(white, 30 + i, 7) = w[i], At8(raw, i, 0) = v[i];
  ASSERT_TRUE(MaskFilter8(raw, dark, white, 30, 7));
  EXPECT_EQ(At8(raw, 0, 0), 128);  // 50 · 256 / 100
  EXPECT_EQ(At8(raw, 1, 0), 0);    // −12 → 0
  EXPECT_EQ(At8(raw, 2, 0), 255);  // 486 → 255
  EXPECT_EQ(At8(raw, 3, 0), 128);  // (−25 · 256) / (−50)
}

TEST(MaskFilter, IdenticalReferencesLeaveEightBitFramesAlone) {
  CDibImage raw, ref, original;
  ASSERT_TRUE(raw.Create(64, 32, 8));
  ASSERT_TRUE(ref.Create(640, 512, 8));
  ASSERT_TRUE(original.Create(64, 32, 8));
  test::FillRandom(raw, 1);
  test::FillRandom(ref, 2);
  std::memcpy(original.pixels(), raw.pixels(), raw.size_bytes());
  ASSERT_TRUE(MaskFilter8(raw, ref, ref, 0, 0));
  EXPECT_TRUE(test::SamePixels(raw, original));
}

TEST(MaskFilter, SixteenBitIsLeftAligned) {
  CDibImage raw, dark, white;
  ASSERT_TRUE(raw.Create(5, 1, 16));
  ASSERT_TRUE(dark.Create(640, 512, 16));
  ASSERT_TRUE(white.Create(640, 512, 16));
  const uint16_t d[5] = {100, 100, 100, 500, 500}, w[5] = {4100, 4100, 4100, 500, 400};
  const uint16_t v[5] = {2100, 50, 4500, 1234, 999};
  for (int i = 0; i < 5; ++i)
    test::Set16(dark, i, 0, d[i]), test::Set16(white, i, 0, w[i]), test::Set16(raw, i, 0, v[i]);
  ASSERT_TRUE(MaskFilter16(raw, dark, white, 0, 0));
  EXPECT_EQ(At16(raw, 0, 0), 2048 * 16);
  EXPECT_EQ(At16(raw, 1, 0), 0);
  EXPECT_EQ(At16(raw, 2, 0), 4095 * 16);
  EXPECT_EQ(At16(raw, 3, 0), 1234);  // white = dark: untouched
  EXPECT_EQ(At16(raw, 4, 0), 999);   // white below dark: untouched
}

TEST(MaskFilter, SixteenBitQuotientsAreExact) {
  CDibImage raw, dark, white;
  ASSERT_TRUE(raw.Create(256, 64, 16));
  ASSERT_TRUE(dark.Create(640, 512, 16));
  ASSERT_TRUE(white.Create(640, 512, 16));
  test::FillRandom(raw, 11, 65535);
  test::FillRandom(dark, 12, 30000);
  test::FillRandom(white, 13, 65535);
  CDibImage expected;
  ASSERT_TRUE(expected.Create(256, 64, 16));
  for (int32_t y = 0; y < 64; ++y) {
    for (int32_t x = 0; x < 256; ++x) {
      const int64_t dv = At16(dark, x, y), wv = At16(white, x, y), v = At16(raw, x, y);
      int64_t out = v;
      if (wv > dv) out = std::clamp<int64_t>(((v - dv) * 4096) / (wv - dv), 0, 4095) * 16;
      test::Set16(expected, x, y, static_cast<uint16_t>(out));
    }
  }
  ASSERT_TRUE(MaskFilter16(raw, dark, white, 0, 0));
  EXPECT_TRUE(test::SamePixels(raw, expected));
}

TEST(MaskFilter, PixelsBeyondTheReferencesAreLeftAlone) {
  CDibImage raw, dark, white;
  ASSERT_TRUE(raw.Create(8, 2, 8));
  ASSERT_TRUE(dark.Create(640, 512, 8));
  ASSERT_TRUE(white.Create(640, 512, 8));
  test::Fill(white, 128);
  test::Fill(raw, 64);
  ASSERT_TRUE(MaskFilter8(raw, dark, white, 636, 511));
  EXPECT_EQ(At8(raw, 3, 0), 128);  // reference (639, 511)
  EXPECT_EQ(At8(raw, 4, 0), 64);   // column 640 does not exist
  EXPECT_EQ(At8(raw, 0, 1), 64);   // row 512 does not exist
}

// ---- Dot filter ---------------------------------------------------------------

TEST(DotFilter, FramesUnderNineByNineAreUntouched) {
  std::vector<uint8_t> flags;
  for (auto [w, h] : {std::pair{8, 20}, std::pair{20, 8}, std::pair{8, 8}}) {
    CDibImage raw, original;
    ASSERT_TRUE(raw.Create(w, h, 8));
    ASSERT_TRUE(original.Create(w, h, 8));
    test::FillRandom(raw, 4);
    std::memcpy(original.pixels(), raw.pixels(), raw.size_bytes());
    ASSERT_TRUE(DotFilter(raw, 30, nullptr, nullptr, flags));
    EXPECT_TRUE(test::SamePixels(raw, original)) << w << "x" << h;
  }
}

TEST(DotFilter, OutlierReplacedByItsNearestUnflaggedNeighbours) {
  CDibImage raw;
  ASSERT_TRUE(raw.Create(9, 9, 8));
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 9; ++x) At8(raw, x, y) = static_cast<uint8_t>(40 + 2 * x + y);
  At8(raw, 4, 4) = 200;
  std::vector<uint8_t> flags;
  ASSERT_TRUE(DotFilter(raw, 30, nullptr, nullptr, flags));
  // Neighbours (3,4) 50, (5,4) 54, (4,3) 51, (4,5) 53: mean 52.
  EXPECT_EQ(At8(raw, 4, 4), 52);
  // A difference just under the threshold is kept.
  At8(raw, 4, 4) = static_cast<uint8_t>(52 + 29);
  ASSERT_TRUE(DotFilter(raw, 30, nullptr, nullptr, flags));
  EXPECT_EQ(At8(raw, 4, 4), 81);
}

TEST(DotFilter, MapMarkedPixelsAndFlaggedRuns) {
  CDibImage raw, dark_map, white_map;
  ASSERT_TRUE(raw.Create(12, 10, 16));
  ASSERT_TRUE(dark_map.Create(640, 512, 16));
  ASSERT_TRUE(white_map.Create(640, 512, 16));
  test::Fill(raw, 1000);
  test::Set16(raw, 5, 5, 1100);  // within the threshold, but marked in the dark map
  test::Set16(raw, 6, 5, 3000);  // an outlier next to it
  // The maps are read at the raw image's byte offsets (stride 24 here).
  const size_t offset = 5 * static_cast<size_t>(raw.stride()) + 5 * 2;
  const uint16_t one = 1;
  std::memcpy(dark_map.pixels() + offset, &one, 2);
  std::vector<uint8_t> flags;
  ASSERT_TRUE(DotFilter(raw, 480, &dark_map, &white_map, flags));
  EXPECT_EQ(At16(raw, 5, 5), 1000);
  EXPECT_EQ(At16(raw, 6, 5), 1000);
  // The pixel right of them differs from its disturbed neighbourhood and is
  // restored from the undisturbed pixels around it.
  EXPECT_EQ(At16(raw, 7, 5), 1000);
}

}  // namespace
}  // namespace morvex::imaging
