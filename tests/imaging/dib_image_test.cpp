#include "imaging/dib_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_images.h"

namespace morvex::imaging {
namespace {

using test::At8;

TEST(DibImage, CreateRefusesEmptyGeometryAndUnknownDepths) {
  CDibImage image;
  EXPECT_FALSE(image.Create(0, 10, 8));
  EXPECT_FALSE(image.Create(10, 0, 8));
  EXPECT_FALSE(image.Create(-4, 10, 24));
  EXPECT_FALSE(image.Create(10, 10, 0));
  EXPECT_FALSE(image.Create(10, 10, 12));
  EXPECT_TRUE(image.empty());
  EXPECT_EQ(image.header().size, 40u);
}

TEST(DibImage, CreateFillsHeaderStrideAndGreyRamp) {
  struct Case {
    int32_t width;
    uint16_t bits;
    int32_t stride;
  } cases[] = {{5, 8, 8},   {4, 8, 4},   {5, 16, 12}, {5, 24, 16},
               {5, 32, 20}, {5, 48, 32}, {3, 64, 24}, {641, 24, 1924}};
  for (const Case& c : cases) {
    CDibImage image;
    ASSERT_TRUE(image.Create(c.width, 7, c.bits)) << c.bits;
    EXPECT_EQ(image.stride(), c.stride) << c.width << "x" << c.bits;
    EXPECT_EQ(image.size_bytes(), static_cast<size_t>(c.stride) * 7);
    EXPECT_EQ(image.header().size, 40u);
    EXPECT_EQ(image.header().width, c.width);
    EXPECT_EQ(image.header().height, 7);  // positive: declared bottom-up
    EXPECT_EQ(image.header().planes, 1);
    EXPECT_EQ(image.header().bit_count, c.bits);
    EXPECT_EQ(image.header().compression, 0u);
    // Fresh pixels are zero, 48- and 64-bit ones included.
    for (size_t i = 0; i < image.size_bytes(); ++i) ASSERT_EQ(image.pixels()[i], 0);
  }
  CDibImage grey;
  ASSERT_TRUE(grey.Create(4, 4, 8));
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(grey.colour_table()[i].red, i);
    EXPECT_EQ(grey.colour_table()[i].green, i);
    EXPECT_EQ(grey.colour_table()[i].blue, i);
    EXPECT_EQ(grey.colour_table()[i].reserved, 0);
  }
}

TEST(DibImage, WideImagesHaveNoDeviceContextButWork) {
  CDibImage wide;
  ASSERT_TRUE(wide.Create(8, 4, 64));
  EXPECT_FALSE(wide.drawable());
  wide.row(3)[63] = 7;
  EXPECT_EQ(wide.row(3)[63], 7);
#ifdef MORVEX_WIN32
  CDibImage narrow;
  ASSERT_TRUE(narrow.Create(8, 4, 24));
  EXPECT_TRUE(narrow.drawable());
#endif
}

TEST(DibImage, ReleaseAndCopyGeometry) {
  CDibImage a, b;
  EXPECT_FALSE(b.CopyGeometry(nullptr));
  EXPECT_FALSE(b.CopyGeometry(&a));  // no geometry yet
  ASSERT_TRUE(a.Create(10, 6, 24));
  a.pixels()[0] = 99;
  ASSERT_TRUE(b.CopyGeometry(&a));
  EXPECT_EQ(b.width(), 10);
  EXPECT_EQ(b.height(), 6);
  EXPECT_EQ(b.stride(), a.stride());
  EXPECT_EQ(b.bits_per_pixel(), 24);
  EXPECT_EQ(b.pixels()[0], 0);  // geometry only
  a.Release();
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(a.width(), 0);
  EXPECT_EQ(a.stride(), 0);
  EXPECT_EQ(a.bits_per_pixel(), 0);
  EXPECT_EQ(a.header().size, 40u);
  EXPECT_EQ(a.header().width, 0);
}

TEST(DibImage, SetColourTableModes) {
  CDibImage image;
  ASSERT_TRUE(image.Create(4, 4, 8));
  DibColour red[2] = {{0, 0, 200, 0}, {1, 2, 3, 0}};
  EXPECT_TRUE(image.SetColourTable(2, red, 10, 2));
  EXPECT_EQ(image.colour_table()[10].red, 200);
  EXPECT_EQ(image.colour_table()[11].blue, 1);
  EXPECT_TRUE(image.SetColourTable(1, red, 0, 2));  // other modes do nothing
  EXPECT_EQ(image.colour_table()[0].red, 0);
  EXPECT_TRUE(image.SetColourTable(0, nullptr, 0, 0));
  EXPECT_EQ(image.colour_table()[10].red, 10);
}

// Records what an operation receives.
struct Call {
  int calls = 0;
  Rect rect;
  int32_t dst_x = -1, dst_y = -1, dst_bpp = 0, src_bpp = 0, dst_stride = 0, src_stride = 0, param = 0;
};
int Record(uint8_t*, const uint8_t*, const Rect& r, int32_t dst_x, int32_t dst_y, int32_t dst_bpp,
           int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param, void* extra) {
  auto* c = static_cast<Call*>(extra);
  ++c->calls;
  c->rect = r;
  c->dst_x = dst_x, c->dst_y = dst_y, c->dst_bpp = dst_bpp, c->src_bpp = src_bpp;
  c->dst_stride = dst_stride, c->src_stride = src_stride, c->param = param;
  return 42;
}

TEST(DibImage, ApplyWholeImageReachesTheOperationUnchanged) {
  CDibImage dst, src;
  ASSERT_TRUE(dst.Create(20, 10, 24));
  ASSERT_TRUE(src.Create(20, 10, 8));
  Call call;
  EXPECT_EQ(dst.Apply(&Record, src, nullptr, 0, 0, 7, &call), 42);
  EXPECT_EQ(call.rect.left, 0);
  EXPECT_EQ(call.rect.top, 0);
  EXPECT_EQ(call.rect.right, 20);
  EXPECT_EQ(call.rect.bottom, 10);
  EXPECT_EQ(call.dst_x, 0);
  EXPECT_EQ(call.dst_y, 0);
  EXPECT_EQ(call.dst_bpp, 3);
  EXPECT_EQ(call.src_bpp, 1);
  EXPECT_EQ(call.dst_stride, 60);
  EXPECT_EQ(call.src_stride, 20);
  EXPECT_EQ(call.param, 7);
}

TEST(DibImage, ApplyTurnsBottomUpRectanglesIntoMemoryRows) {
  CDibImage dst, src;
  ASSERT_TRUE(dst.Create(30, 40, 8));
  ASSERT_TRUE(src.Create(20, 10, 8));
  Call call;
  const Rect r{2, 1, 12, 4};  // rows 1 … 3 counted from the bottom
  ASSERT_EQ(dst.Apply(&Record, src, &r, 5, 6, 0, &call), 42);
  EXPECT_EQ(call.rect.left, 2);
  EXPECT_EQ(call.rect.right, 12);
  EXPECT_EQ(call.rect.top, 10 - 4);     // height − bottom
  EXPECT_EQ(call.rect.bottom, 10 - 1);  // height − top
  EXPECT_EQ(call.dst_x, 5);
  EXPECT_EQ(call.dst_y, 40 - (6 + 3));
}

TEST(DibImage, ApplyClipsAgainstSourceAndDestination) {
  CDibImage dst, src;
  ASSERT_TRUE(dst.Create(10, 10, 8));
  ASSERT_TRUE(src.Create(20, 20, 8));
  Call call;
  const Rect r{-5, -5, 30, 30};
  ASSERT_EQ(dst.Apply(&Record, src, &r, 4, 3, 0, &call), 42);
  // Source clipped to 20 × 20, then to the 6 × 7 that fit at (4, 3).
  EXPECT_EQ(call.rect.width(), 6);
  EXPECT_EQ(call.rect.height(), 7);
  EXPECT_EQ(call.rect.left, 0);
  EXPECT_EQ(call.rect.top, 20 - 7);
  EXPECT_EQ(call.dst_y, 10 - (3 + 7));

  call = Call{};
  EXPECT_EQ(dst.Apply(&Record, src, nullptr, 10, 0, 0, &call), 0);  // placed beyond the right edge
  EXPECT_EQ(dst.Apply(&Record, src, nullptr, 0, 12, 0, &call), 0);
  const Rect empty{5, 5, 5, 9};
  EXPECT_EQ(dst.Apply(&Record, src, &empty, 0, 0, 0, &call), 0);
  EXPECT_EQ(dst.Apply(nullptr, src, nullptr, 0, 0, 0, &call), 0);
  EXPECT_EQ(call.calls, 0);
  CDibImage none;
  EXPECT_EQ(none.Apply(&Record, src, nullptr, 0, 0, 0, &call), 0);
  EXPECT_EQ(dst.Apply(&Record, none, nullptr, 0, 0, 0, &call), 0);
  EXPECT_EQ(call.calls, 0);
}

TEST(DibImage, ApplyNegativePlacementMovesTheRectangle) {
  CDibImage dst, src;
  ASSERT_TRUE(dst.Create(10, 10, 8));
  ASSERT_TRUE(src.Create(10, 10, 8));
  Call call;
  ASSERT_EQ(dst.Apply(&Record, src, nullptr, -3, -2, 0, &call), 42);
  EXPECT_EQ(call.rect.left, 3);
  EXPECT_EQ(call.rect.width(), 7);
  EXPECT_EQ(call.rect.height(), 8);
  EXPECT_EQ(call.rect.top, 0);  // bottom-up rows 2 … 9 are memory rows 0 … 7
  EXPECT_EQ(call.dst_x, 0);
  EXPECT_EQ(call.dst_y, 10 - 8);
}

struct ScaledCall {
  Rect d, s;
  int32_t dw = 0, dh = 0, sw = 0, sh = 0;
};
int RecordScaled(uint8_t*, const uint8_t*, const Rect& d, const Rect& s, int32_t dw, int32_t dh, int32_t sw,
                 int32_t sh, int32_t, int32_t, int32_t, int32_t, int32_t, void* extra) {
  auto* c = static_cast<ScaledCall*>(extra);
  c->d = d, c->s = s, c->dw = dw, c->dh = dh, c->sw = sw, c->sh = sh;
  return 1;
}

TEST(DibImage, ApplyScaledDefaultsToWholeImages) {
  CDibImage dst, src;
  ASSERT_TRUE(dst.Create(30, 20, 24));
  ASSERT_TRUE(src.Create(64, 48, 24));
  ScaledCall call;
  ASSERT_EQ(dst.ApplyScaled(&RecordScaled, src, nullptr, nullptr, 0, &call), 1);
  EXPECT_EQ(call.d.right, 30);
  EXPECT_EQ(call.d.bottom, 20);
  EXPECT_EQ(call.s.right, 64);
  EXPECT_EQ(call.s.bottom, 48);
  EXPECT_EQ(call.sw, 64);
  EXPECT_EQ(call.dh, 20);
}

TEST(DibImage, BlitExpandsGreyThroughTheColourTable) {
  CDibImage grey, colour;
  ASSERT_TRUE(grey.Create(6, 3, 8));
  ASSERT_TRUE(colour.Create(6, 3, 24));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 6; ++x) At8(grey, x, y) = static_cast<uint8_t>(10 * y + x);
  ASSERT_TRUE(colour.Blit(grey, 0, 0));
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 6; ++x) {
      for (int c = 0; c < 3; ++c) EXPECT_EQ(test::Channel(colour, x, y, c), 10u * y + x);
    }
  }
  CDibImage wide;
  ASSERT_TRUE(wide.Create(6, 3, 48));
  EXPECT_FALSE(wide.Blit(grey, 0, 0));  // no conversion to 48 bits
}

}  // namespace
}  // namespace morvex::imaging
