// The vector row kernels of the grey steps against their scalar references.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imaging/adjust_kernels.h"
#include "imaging/cpu_info.h"

namespace morvex::imaging::detail {
namespace {

bool HaveSse2() { return (GetCpuInfo().usable & kCpuSse2) != 0; }

TEST(GreyKernels, MaskRow8MatchesScalarOnEveryCombination) {
  ASSERT_TRUE(HaveSse2()) << "both builds require SSE2";
  // Every (v, d, w) on a grid that covers equal, crossed and extreme references.
  std::vector<uint8_t> v, d, w;
  for (int a = 0; a < 256; a += 3)
    for (int b = 0; b < 256; b += 5)
      for (int c = 0; c < 256; c += 7)
        v.push_back(static_cast<uint8_t>(a)), d.push_back(static_cast<uint8_t>(b)),
            w.push_back(static_cast<uint8_t>(c));
  std::vector<uint8_t> fast = v, slow = v;
  const auto n = static_cast<int32_t>(v.size());
  MaskRow8Sse2(fast.data(), d.data(), w.data(), n);
  MaskRow8Scalar(slow.data(), d.data(), w.data(), n);
  ASSERT_EQ(fast, slow);
  for (int32_t i = 0; i < n; ++i) {
    const int span = w[i] - d[i];
    const int expected = span == 0 ? v[i] : std::clamp(((v[i] - d[i]) * 256) / span, 0, 255);
    ASSERT_EQ(slow[i], expected) << int(v[i]) << " " << int(d[i]) << " " << int(w[i]);
  }
}

TEST(GreyKernels, MaskRow16MatchesTheIntegerFormula) {
  ASSERT_TRUE(HaveSse2()) << "both builds require SSE2";
  std::mt19937 rng(8);
  for (int32_t n : {1, 7, 8, 9, 31, 640}) {
    std::vector<uint16_t> v(n), d(n), w(n);
    for (int32_t i = 0; i < n; ++i) {
      v[i] = static_cast<uint16_t>(rng()), d[i] = static_cast<uint16_t>(rng()),
      w[i] = static_cast<uint16_t>(rng());
      if (i % 5 == 0) w[i] = d[i];
    }
    std::vector<uint16_t> fast = v, slow = v;
    MaskRow16Sse2(fast.data(), d.data(), w.data(), n);
    MaskRow16Scalar(slow.data(), d.data(), w.data(), n);
    ASSERT_EQ(fast, slow) << n;
    for (int32_t i = 0; i < n; ++i) {
      int64_t expected = v[i];
      if (w[i] > d[i])
        expected = std::clamp<int64_t>((int64_t{v[i]} - d[i]) * 4096 / (w[i] - d[i]), 0, 4095) * 16;
      ASSERT_EQ(slow[i], expected);
    }
  }
}

TEST(GreyKernels, SharpenRowsMatchScalar) {
  ASSERT_TRUE(HaveSse2()) << "both builds require SSE2";
  std::mt19937 rng(9);
  for (int32_t width : {5, 12, 13, 40, 641}) {
    for (int32_t strength : {0, 1, 7, 30}) {
      std::vector<uint8_t> src8(width);
      std::vector<uint16_t> col8(width), src16(width);
      std::vector<uint32_t> col16(width);
      for (int32_t x = 0; x < width; ++x) {
        // Sums of four rows of extreme samples.
        src8[x] = static_cast<uint8_t>(rng() % 2 ? 255 : rng());
        col8[x] = static_cast<uint16_t>(rng() % 1021);
        src16[x] = static_cast<uint16_t>(rng() % 2 ? 65535 : rng());
        col16[x] = rng() % 262141;
      }
      std::vector<uint8_t> fast8(width, 0), slow8(width, 0);
      std::vector<uint16_t> fast16(width, 0), slow16(width, 0);
      SharpenRow8Sse2(col8.data(), src8.data(), fast8.data(), 2, width - 2, strength);
      SharpenRow8Scalar(col8.data(), src8.data(), slow8.data(), 2, width - 2, strength);
      SharpenRow16Sse2(col16.data(), src16.data(), fast16.data(), 2, width - 2, strength);
      SharpenRow16Scalar(col16.data(), src16.data(), slow16.data(), 2, width - 2, strength);
      ASSERT_EQ(fast8, slow8) << width << " " << strength;
      ASSERT_EQ(fast16, slow16) << width << " " << strength;
    }
  }
  // Every 16-bit lane product: all differences at the largest strength.
  std::vector<uint8_t> src(260), fast(260), slow(260);
  std::vector<uint16_t> col(260);
  for (int32_t i = 0; i < 260; ++i)
    src[i] = static_cast<uint8_t>(i), col[i] = static_cast<uint16_t>((259 - i) * 4);
  SharpenRow8Sse2(col.data(), src.data(), fast.data(), 2, 258, 30);
  SharpenRow8Scalar(col.data(), src.data(), slow.data(), 2, 258, 30);
  EXPECT_EQ(fast, slow);
}

TEST(GreyKernels, GreyGainsRow16MatchesScalar) {
  ASSERT_TRUE(HaveSse2()) << "both builds require SSE2";
  std::mt19937 rng(10);
  for (int32_t n : {1, 8, 15, 640}) {
    std::vector<uint16_t> src(n);
    for (auto& s : src) s = static_cast<uint16_t>(rng());
    for (int32_t maximum : {1023, 4095, 65535}) {
      std::vector<uint16_t> fast(n), slow(n);
      const int32_t g0 = static_cast<int32_t>(rng() % 32768), g1 = static_cast<int32_t>(rng() % 256);
      const int32_t o0 = static_cast<int32_t>(rng() % 511) - 255, o1 = -255;
      GreyGainsRow16Sse2(src.data(), fast.data(), n, g0, o0, g1, o1, maximum);
      GreyGainsRow16Scalar(src.data(), slow.data(), n, g0, o0, g1, o1, maximum);
      ASSERT_EQ(fast, slow) << n << " " << maximum;
    }
  }
}

}  // namespace
}  // namespace morvex::imaging::detail
