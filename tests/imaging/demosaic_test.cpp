#include "imaging/demosaic.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/cpu_info.h"
#include "test_images.h"

namespace morvex::imaging {
namespace {

using test::Channel;

// The colour of raw site (x, y) for a bayer mode, read from the pattern
// table of the top-left cell: 'R', 'G' or 'B'.
char SiteColour(int32_t mode, int32_t x, int32_t y) {
  static const char* const kPattern[4][2] = {{"GB", "RG"}, {"RG", "GB"}, {"BG", "GR"}, {"GR", "BG"}};
  return kPattern[mode][((y % 2) + 2) % 2][((x % 2) + 2) % 2];
}

// Straight from the formulas: block, 9:3:3:1 weights, gains, saturation,
// and neighbours outside the image taken four sites further in.
struct Expected {
  uint32_t blue, green, red;
};
Expected Reference(const CDibImage& raw, int32_t mode, int32_t x, int32_t y, int32_t gain_r, int32_t gain_b) {
  const bool wide = raw.bits_per_pixel() == 16;
  auto sample = [&](int32_t cx, int32_t cy) -> uint32_t {
    if (cx < 0) cx += 4;
    if (cx >= raw.width()) cx -= 4;
    if (cy < 0) cy += 4;
    if (cy >= raw.height()) cy -= 4;
    return wide ? test::At16(raw, cx, cy) : test::At8(raw, cx, cy);
  };
  const int32_t bx[4] = {x - 1, x, x - 1, x};
  const int32_t by[4] = {y - 1, y - 1, y, y};
  uint32_t green = 0;
  uint32_t s[2] = {};
  for (int i = 0; i < 4; ++i) {
    const char c = SiteColour(mode, bx[i], by[i]);
    if (c == 'G') {
      green += sample(bx[i], by[i]);
      continue;
    }
    const int32_t far_x = bx[i] == x - 1 ? bx[i] + 2 : bx[i] - 2;
    const int32_t far_y = by[i] == y - 1 ? by[i] + 2 : by[i] - 2;
    s[c == 'R'] =
        9 * sample(bx[i], by[i]) + 3 * sample(far_x, by[i]) + 3 * sample(bx[i], far_y) + sample(far_x, far_y);
  }
  const uint32_t wr = static_cast<uint32_t>(gain_r * 128 / 100);  // int(g × 1.28) for whole gains
  const uint32_t wb = static_cast<uint32_t>(gain_b * 128 / 100);
  const uint32_t limit = wide ? 0x8000000 : 0x80000;
  const uint32_t top = wide ? 65535 : 255;
  auto scale = [&](uint32_t sum, uint32_t w) { return sum * w >= limit ? top : (sum * w) >> 11; };
  return {scale(s[0], wb), green >> 1, scale(s[1], wr)};
}

void ExpectMatchesReference(const CDibImage& out, const CDibImage& raw, int32_t mode, int32_t gain_r,
                            int32_t gain_b) {
  for (int32_t y = 0; y < raw.height(); ++y) {
    for (int32_t x = 0; x < raw.width(); ++x) {
      const Expected e = Reference(raw, mode, x, y, gain_r, gain_b);
      ASSERT_EQ(Channel(out, x, y, 0), e.blue) << "mode " << mode << " at " << x << "," << y;
      ASSERT_EQ(Channel(out, x, y, 1), e.green) << "mode " << mode << " at " << x << "," << y;
      ASSERT_EQ(Channel(out, x, y, 2), e.red) << "mode " << mode << " at " << x << "," << y;
    }
  }
}

class ScalarOnly : public ::testing::Test {
 protected:
  void SetUp() override { SetSimdEnabled(false); }
  void TearDown() override { SetSimdEnabled(true); }
};

TEST(DemosaicWeights, GainHundredIsWeight128) {
  EXPECT_EQ(BayerWeight(100), 128);
  EXPECT_EQ(BayerWeight(0), 0);
  EXPECT_EQ(BayerWeight(400), 512);
  for (int32_t g = 0; g <= 400; ++g) ASSERT_EQ(BayerWeight(g), g * 128 / 100) << g;
}

TEST_F(ScalarOnly, HandWorkedInteriorPixel) {
  // Raw value 10 y + x, mode 0 (G B / R G). Output (2, 2): block (1,1) G,
  // (2,1) R, (1,2) B, (2,2) G. Green (11 + 22) >> 1 = 16. Red at (2,1):
  // 9·12 + 3·10 + 3·32 + 30 = 264, × 128 >> 11 = 16. Blue at (1,2):
  // 9·21 + 3·23 + 3·1 + 3 = 264 → 16. With red gain 300 (weight 384):
  // 264 · 384 >> 11 = 49.
  CDibImage raw, out;
  ASSERT_TRUE(raw.Create(6, 6, 8));
  ASSERT_TRUE(out.Create(6, 6, 24));
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x) test::At8(raw, x, y) = static_cast<uint8_t>(10 * y + x);
  ASSERT_TRUE(Demosaic(out, raw, 0, BayerGains{300, 100, 100}));
  EXPECT_EQ(Channel(out, 2, 2, 0), 16u);
  EXPECT_EQ(Channel(out, 2, 2, 1), 16u);
  EXPECT_EQ(Channel(out, 2, 2, 2), 49u);
}

TEST_F(ScalarOnly, EveryBayerModeWithBordersMatchesTheFormulas) {
  for (int32_t mode = 0; mode < 4; ++mode) {
    for (auto [w, h] : {std::pair{6, 6}, std::pair{8, 7}, std::pair{10, 9}, std::pair{12, 5}}) {
      CDibImage raw, out24, out32;
      ASSERT_TRUE(raw.Create(w, h, 8));
      ASSERT_TRUE(out24.Create(w, h, 24));
      ASSERT_TRUE(out32.Create(w, h, 32));
      test::FillRandom(raw, 100 + mode * 7 + w);
      const BayerGains gains{137, 100, 81};
      ASSERT_TRUE(Demosaic(out24, raw, mode, gains));
      ExpectMatchesReference(out24, raw, mode, 137, 81);
      ASSERT_TRUE(Demosaic(out32, raw, mode, gains));
      ExpectMatchesReference(out32, raw, mode, 137, 81);
    }
  }
}

TEST(Demosaic16, EveryBayerModeWithBordersMatchesTheFormulas) {
  for (int32_t mode = 0; mode < 4; ++mode) {
    for (auto [w, h] : {std::pair{6, 6}, std::pair{8, 7}, std::pair{14, 11}}) {
      CDibImage raw, out48, out64;
      ASSERT_TRUE(raw.Create(w, h, 16));
      ASSERT_TRUE(out48.Create(w, h, 48));
      ASSERT_TRUE(out64.Create(w, h, 64));
      test::FillRandom(raw, 300 + mode + w, 65535);
      const BayerGains gains{100, 100, 250};
      ASSERT_TRUE(Demosaic(out48, raw, mode, gains));
      ExpectMatchesReference(out48, raw, mode, 100, 250);
      ASSERT_TRUE(Demosaic(out64, raw, mode, gains));
      ExpectMatchesReference(out64, raw, mode, 100, 250);
    }
  }
}

TEST(Demosaic, UniformFramesStayUniformBordersIncluded) {
  for (uint16_t bits : {8, 16}) {
    for (uint16_t out_bits : {24, 32, 48, 64}) {
      if ((bits == 8) != (out_bits <= 32)) continue;
      for (int32_t mode = 0; mode < 4; ++mode) {
        for (uint16_t v : {0, 1, 77, 255, 4095, 65535}) {
          if (bits == 8 && v > 255) continue;
          CDibImage raw, out;
          ASSERT_TRUE(raw.Create(20, 11, bits));
          ASSERT_TRUE(out.Create(20, 11, out_bits));
          test::Fill(raw, v);
          ASSERT_TRUE(Demosaic(out, raw, mode, BayerGains{}));
          for (int32_t y = 0; y < 11; ++y)
            for (int32_t x = 0; x < 20; ++x)
              for (int c = 0; c < 3; ++c)
                ASSERT_EQ(Channel(out, x, y, c), v)
                    << bits << "→" << out_bits << " mode " << mode << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(Demosaic, Gain400SaturatesInsteadOfWrapping) {
  CDibImage raw8, out24, raw16, out48;
  ASSERT_TRUE(raw8.Create(10, 10, 8));
  ASSERT_TRUE(out24.Create(10, 10, 24));
  ASSERT_TRUE(raw16.Create(10, 10, 16));
  ASSERT_TRUE(out48.Create(10, 10, 48));
  test::Fill(raw8, 200);  // 16 · 200 · 512 ≥ 0x80000
  test::Fill(raw16, 60000);
  const BayerGains gains{400, 100, 400};
  ASSERT_TRUE(Demosaic(out24, raw8, 0, gains));
  ASSERT_TRUE(Demosaic(out48, raw16, 0, gains));
  for (int32_t y = 0; y < 10; ++y) {
    for (int32_t x = 0; x < 10; ++x) {
      EXPECT_EQ(Channel(out24, x, y, 0), 255u);
      EXPECT_EQ(Channel(out24, x, y, 1), 200u);
      EXPECT_EQ(Channel(out24, x, y, 2), 255u);
      EXPECT_EQ(Channel(out48, x, y, 0), 65535u);
      EXPECT_EQ(Channel(out48, x, y, 1), 60000u);  // green is the plain mean, no false saturation
      EXPECT_EQ(Channel(out48, x, y, 2), 65535u);
    }
  }
  // Just below the limit: 16 · 63 · 512 = 516096 < 0x80000 → 251.
  test::Fill(raw8, 63);
  ASSERT_TRUE(Demosaic(out24, raw8, 0, gains));
  EXPECT_EQ(Channel(out24, 4, 4, 2), 16u * 63 * 512 >> 11);
}

TEST(Demosaic, FourthByteAndWordAreNeverWritten) {
  CDibImage raw8, out32, raw16, out64;
  ASSERT_TRUE(raw8.Create(9, 7, 8));
  ASSERT_TRUE(out32.Create(9, 7, 32));
  ASSERT_TRUE(raw16.Create(9, 7, 16));
  ASSERT_TRUE(out64.Create(9, 7, 64));
  test::FillRandom(raw8, 5);
  test::FillRandom(raw16, 6);
  for (int32_t y = 0; y < 7; ++y) {
    for (int32_t x = 0; x < 9; ++x) {
      out32.row(y)[4 * x + 3] = static_cast<uint8_t>(x + y);
      out64.row(y)[8 * x + 6] = 0xAB;
      out64.row(y)[8 * x + 7] = static_cast<uint8_t>(x);
    }
  }
  ASSERT_TRUE(Demosaic(out32, raw8, 2, BayerGains{}));
  ASSERT_TRUE(Demosaic(out64, raw16, 2, BayerGains{}));
  for (int32_t y = 0; y < 7; ++y) {
    for (int32_t x = 0; x < 9; ++x) {
      EXPECT_EQ(out32.row(y)[4 * x + 3], x + y);
      EXPECT_EQ(out64.row(y)[8 * x + 6], 0xAB);
      EXPECT_EQ(out64.row(y)[8 * x + 7], x);
    }
  }
  CDibImage fresh;
  ASSERT_TRUE(fresh.Create(9, 7, 32));
  ASSERT_TRUE(Demosaic(fresh, raw8, 1, BayerGains{}));
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 9; ++x) EXPECT_EQ(fresh.row(y)[4 * x + 3], 0);
}

TEST(Demosaic, MirrorAdjustmentOfTheBayerMode) {
  EXPECT_EQ(MirrorAdjustedBayerMode(0, false, true), 1);
  EXPECT_EQ(MirrorAdjustedBayerMode(1, false, true), 0);
  EXPECT_EQ(MirrorAdjustedBayerMode(2, false, true), 3);
  EXPECT_EQ(MirrorAdjustedBayerMode(3, false, true), 2);
  EXPECT_EQ(MirrorAdjustedBayerMode(0, true, false), 2);
  EXPECT_EQ(MirrorAdjustedBayerMode(1, true, false), 3);
  EXPECT_EQ(MirrorAdjustedBayerMode(0, true, true), 3);  // 0 → 1 → 3
  EXPECT_EQ(MirrorAdjustedBayerMode(2, true, true), 1);  // 2 → 3 → 1
  EXPECT_EQ(MirrorAdjustedBayerMode(3, false, false), 3);
  // The pattern of a vertically mirrored mode-0 mosaic is that of mode 1.
  for (int32_t x = 0; x < 4; ++x)
    for (int32_t y = 0; y < 4; ++y) EXPECT_EQ(SiteColour(0, x, 3 - y), SiteColour(1, x, y));
}

TEST(Demosaic, TinyImagesStayInside) {
  // Under the address sanitizer any read or write outside the image fails.
  for (uint16_t bits : {8, 16}) {
    for (int32_t w = 1; w <= 5; ++w) {
      for (int32_t h = 1; h <= 5; ++h) {
        CDibImage raw, out;
        ASSERT_TRUE(raw.Create(w, h, bits));
        ASSERT_TRUE(out.Create(w, h, bits == 8 ? 24 : 48));
        test::FillRandom(raw, static_cast<uint32_t>(w * 10 + h), 4095);
        for (int32_t mode = 0; mode < 4; ++mode) ASSERT_TRUE(Demosaic(out, raw, mode, BayerGains{}));
        if (w >= 4 && h >= 4) {
          SetSimdEnabled(false);
          ASSERT_TRUE(Demosaic(out, raw, 3, BayerGains{}));
          SetSimdEnabled(true);
          ExpectMatchesReference(out, raw, 3, 100, 100);
        }
      }
    }
  }
}

TEST(Demosaic, RefusesMismatchedImages) {
  CDibImage raw8, raw16, out24, out48, small;
  ASSERT_TRUE(raw8.Create(8, 8, 8));
  ASSERT_TRUE(raw16.Create(8, 8, 16));
  ASSERT_TRUE(out24.Create(8, 8, 24));
  ASSERT_TRUE(out48.Create(8, 8, 48));
  ASSERT_TRUE(small.Create(6, 8, 24));
  EXPECT_FALSE(Demosaic(out48, raw8, 0, BayerGains{}));
  EXPECT_FALSE(Demosaic(out24, raw16, 0, BayerGains{}));
  EXPECT_FALSE(Demosaic(small, raw8, 0, BayerGains{}));
}

TEST(DemosaicChoice, ScalarForThirtyTwoBitsOrGainsAbove200) {
  EXPECT_EQ(ChooseDemosaic8(32, BayerGains{}), &Demosaic8Scalar);
  EXPECT_EQ(ChooseDemosaic8(24, BayerGains{201, 100, 100}), &Demosaic8Scalar);
  EXPECT_EQ(ChooseDemosaic8(24, BayerGains{100, 201, 100}), &Demosaic8Scalar);
  EXPECT_EQ(ChooseDemosaic8(24, BayerGains{100, 100, 201}), &Demosaic8Scalar);
  SetSimdEnabled(false);
  EXPECT_EQ(ChooseDemosaic8(24, BayerGains{}), &Demosaic8Scalar);
  SetSimdEnabled(true);
  if (GetCpuInfo().usable & kCpuSse2) {
    EXPECT_NE(ChooseDemosaic8(24, BayerGains{200, 200, 200}), &Demosaic8Scalar);
  }
}

TEST(CpuInfoTest, ReportsTheProcessor) {
  const CpuInfo& info = GetCpuInfo();
  EXPECT_EQ(info.checked, 63);
  EXPECT_EQ(info.usable & ~info.reported, 0u);
#if defined(__x86_64__) || defined(MORVEX_WIN32)
  EXPECT_NE(info.usable & kCpuSse2, 0u);  // every processor these builds run on
  EXPECT_EQ(std::strlen(info.vendor), 12u);
#endif
}

// Every vector routine against the scalar one on random frames.
TEST(DemosaicSimd, BitExactWithScalarOnManySizes) {
  struct Kernel {
    const char* name;
    ImageOperation op;
    uint32_t feature;
  } kernels[] = {{"sse2", Demosaic8Sse2Routine(), kCpuSse2},
                 {"ssse3", Demosaic8Ssse3Routine(), kCpuSsse3},
                 {"avx2", Demosaic8Avx2Routine(), kCpuAvx2}};
  const uint32_t usable = GetCpuInfo().usable;
  int ran = 0;
  std::mt19937 rng(1234);
  for (const Kernel& k : kernels) {
    if (k.op == nullptr || (usable & k.feature) == 0) continue;
    ++ran;
    for (int32_t w : {5, 6, 7, 17, 18, 19, 20, 21, 33, 34, 35, 36, 37, 50, 66, 67, 99, 130, 258, 640}) {
      for (int32_t h : {5, 6, 9, 16}) {
        CDibImage raw, fast, slow;
        ASSERT_TRUE(raw.Create(w, h, 8));
        ASSERT_TRUE(fast.Create(w, h, 24));
        ASSERT_TRUE(slow.Create(w, h, 24));
        test::FillRandom(raw, rng());
        for (int32_t mode = 0; mode < 4; ++mode) {
          BayerGains gains{static_cast<int32_t>(rng() % 201), 100, static_cast<int32_t>(rng() % 201)};
          if (mode == 0) gains = BayerGains{200, 200, 200};
          std::memset(fast.pixels(), 0x5A, fast.size_bytes());
          std::memset(slow.pixels(), 0x5A, slow.size_bytes());
          fast.Apply(k.op, raw, nullptr, 0, 0, mode, &gains);
          slow.Apply(&Demosaic8Scalar, raw, nullptr, 0, 0, mode, &gains);
          ASSERT_TRUE(test::SamePixels(fast, slow)) << k.name << " " << w << "x" << h << " mode " << mode;
        }
      }
    }
  }
  EXPECT_GT(ran, 0);
}

// The 16-bit vector routines this processor runs, with the largest gain
// whose weight each one's products hold (the next gain goes to the scalar
// code).
struct Kernel16 {
  const char* name;
  ImageOperation op;
  int32_t largest_gain;
};
std::vector<Kernel16> Vector16() {
  const uint32_t usable = GetCpuInfo().usable;
  std::vector<Kernel16> kernels;
  if (Demosaic16Avx2Routine() != nullptr && (usable & kCpuAvx2) != 0)
    kernels.push_back({"avx2", Demosaic16Avx2Routine(), 2844});  // weight 3640: 9w fits a signed word
  if (Demosaic16Sse2Routine() != nullptr && (usable & kCpuSse2) != 0)
    kernels.push_back({"sse2", Demosaic16Sse2Routine(), 1599});  // weight 2046: S × w < 2^31
  return kernels;
}

TEST(DemosaicSimd, SixteenBitVectorRoutinesBitExactWithScalar) {
  const auto kernels = Vector16();
  if (kernels.empty()) {
    // Without an instruction set the routine choice must stay scalar.
    EXPECT_EQ(ChooseDemosaic16(48, BayerGains{}), &Demosaic16);
    return;
  }
  EXPECT_EQ(ChooseDemosaic16(48, BayerGains{}), kernels.front().op);  // the widest one
  EXPECT_EQ(ChooseDemosaic16(64, BayerGains{400, 100, 400}), kernels.front().op);
  EXPECT_EQ(ChooseDemosaic16(48, BayerGains{401, 100, 100}), &Demosaic16);
  SetSimdEnabled(false);  // the safety switch forces the scalar routine
  EXPECT_EQ(ChooseDemosaic16(48, BayerGains{}), &Demosaic16);
  SetSimdEnabled(true);
  std::mt19937 rng(4321);
  for (const Kernel16& k : kernels) {
    for (uint16_t out_bits : {48, 64}) {
      for (int32_t w : {5,  6,  7,  9,  10, 11, 12, 13, 17, 18,  19,  20, 21,
                        22, 23, 35, 36, 37, 38, 50, 66, 67, 130, 257, 640}) {
        for (int32_t h : {5, 6, 7, 12}) {
          CDibImage raw, fast, slow;
          ASSERT_TRUE(raw.Create(w, h, 16));
          ASSERT_TRUE(fast.Create(w, h, out_bits));
          ASSERT_TRUE(slow.Create(w, h, out_bits));
          test::FillRandom(raw, rng(), rng() % 2 ? 65535 : 4095);
          for (int32_t mode = 0; mode < 4; ++mode) {
            BayerGains gains{static_cast<int32_t>(rng() % 401), 100, static_cast<int32_t>(rng() % 401)};
            if (mode == 0) gains = BayerGains{400, 100, 400};
            if (mode == 1 && w % 2 == 0) gains = BayerGains{0, 0, 0};
            // Untouched bytes (the fourth word of 64-bit pixels) keep the fill.
            std::memset(fast.pixels(), 0x5A, fast.size_bytes());
            std::memset(slow.pixels(), 0x5A, slow.size_bytes());
            fast.Apply(k.op, raw, nullptr, 0, 0, mode, &gains);
            slow.Apply(&Demosaic16, raw, nullptr, 0, 0, mode, &gains);
            ASSERT_TRUE(test::SamePixels(fast, slow))
                << k.name << " " << out_bits << " bits " << w << "x" << h << " mode " << mode;
            if (w < 8 || h < 7) continue;
            // A source rectangle starting on an odd column, placed off the origin.
            const Rect part{1, 1, w - 2, h - 1};
            fast.Apply(k.op, raw, &part, 2, 1, mode, &gains);
            slow.Apply(&Demosaic16, raw, &part, 2, 1, mode, &gains);
            ASSERT_TRUE(test::SamePixels(fast, slow))
                << k.name << " part of " << w << "x" << h << " mode " << mode;
          }
        }
      }
    }
  }
}

TEST(DemosaicSimd, SixteenBitSaturationEdgeAndLargestWeight) {
  for (const Kernel16& k : Vector16()) {
    CDibImage raw, out;
    ASSERT_TRUE(raw.Create(40, 8, 16));
    ASSERT_TRUE(out.Create(40, 8, 48));
    // Gain 400 is weight 512 and S = 16 v: S × w reaches 0x8000000 at v = 16384.
    BayerGains gains{400, 100, 400};
    for (auto [v, expected] : {std::pair<uint16_t, uint32_t>{16383, 16383u * 16 * 512 >> 11},
                               {16384, 65535u},
                               {65535, 65535u},
                               {0, 0u}}) {
      test::Fill(raw, v);
      out.Apply(k.op, raw, nullptr, 0, 0, 2, &gains);
      for (int32_t y = 2; y < 6; ++y) {
        for (int32_t x = 2; x < 38; ++x) {
          ASSERT_EQ(Channel(out, x, y, 0), expected) << k.name << " " << v << " at " << x << "," << y;
          ASSERT_EQ(Channel(out, x, y, 1), v) << k.name << " " << v << " at " << x << "," << y;
          ASSERT_EQ(Channel(out, x, y, 2), expected) << k.name << " " << v << " at " << x << "," << y;
        }
      }
    }
    // The largest weight the vector products hold and the first one past
    // it, against the formulas: on samples below 2048, which stay below
    // saturation there, and on full-range ones.
    CDibImage big, wide;
    ASSERT_TRUE(big.Create(70, 9, 16));
    ASSERT_TRUE(wide.Create(70, 9, 48));
    for (uint32_t maximum : {2047u, 65535u}) {
      test::FillRandom(big, 99, maximum);
      for (int32_t gain : {k.largest_gain, k.largest_gain + 1}) {
        BayerGains large{gain, 100, gain - 1};
        wide.Apply(k.op, big, nullptr, 0, 0, 1, &large);
        wide.Apply(&Demosaic16Border, big, nullptr, 0, 0, 1, &large);
        SCOPED_TRACE(k.name);
        ExpectMatchesReference(wide, big, 1, large.red, large.blue);
      }
    }
  }
}

// The whole demosaic with the vector routines as the pipeline picks them,
// borders and odd sizes included, against the formulas.
TEST(Demosaic16, VectorPathMatchesTheFormulas) {
  std::mt19937 rng(77);
  for (int32_t mode = 0; mode < 4; ++mode) {
    for (auto [w, h] : {std::pair{20, 5}, std::pair{37, 8}, std::pair{64, 9}, std::pair{130, 6}}) {
      for (uint16_t out_bits : {48, 64}) {
        CDibImage raw, out;
        ASSERT_TRUE(raw.Create(w, h, 16));
        ASSERT_TRUE(out.Create(w, h, out_bits));
        test::FillRandom(raw, rng(), 65535);
        const BayerGains gains{static_cast<int32_t>(rng() % 401), 100, static_cast<int32_t>(rng() % 401)};
        ASSERT_TRUE(Demosaic(out, raw, mode, gains));
        ExpectMatchesReference(out, raw, mode, gains.red, gains.blue);
      }
    }
  }
}

TEST(DemosaicSimd, SaturatedFramesAgree) {
  const uint32_t usable = GetCpuInfo().usable;
  const std::pair<ImageOperation, uint32_t> kernels[] = {{Demosaic8Sse2Routine(), kCpuSse2},
                                                         {Demosaic8Ssse3Routine(), kCpuSsse3}};
  for (auto [op, feature] : kernels) {
    if (op == nullptr || (usable & feature) == 0) continue;
    CDibImage raw, fast, slow;
    ASSERT_TRUE(raw.Create(64, 8, 8));
    ASSERT_TRUE(fast.Create(64, 8, 24));
    ASSERT_TRUE(slow.Create(64, 8, 24));
    test::Fill(raw, 255);
    BayerGains gains{200, 100, 200};
    fast.Apply(op, raw, nullptr, 0, 0, 1, &gains);
    slow.Apply(&Demosaic8Scalar, raw, nullptr, 0, 0, 1, &gains);
    EXPECT_TRUE(test::SamePixels(fast, slow));
    EXPECT_EQ(Channel(fast, 10, 4, 2), 255u);
  }
}

}  // namespace
}  // namespace morvex::imaging
