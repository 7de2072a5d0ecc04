#include "imaging/frame_pipeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/convert.h"
#include "test_images.h"

namespace morvex::imaging {
namespace {

class RecordingHost : public FrameHost {
 public:
  bool DeviceMirrorsHorizontally() override { return mirrors_h; }
  bool DeviceMirrorsVertically() override { return mirrors_v; }
  void ApplyExposureFactor(int32_t mode, double factor) override { exposure_calls.push_back({mode, factor}); }
  void GreyGainsMeasured(const GreyGains&) override { ++grey_calls; }
  void BayerGainsMeasured(const BayerGains&) override { ++bayer_calls; }
  bool mirrors_h = false, mirrors_v = false;
  std::vector<std::pair<int32_t, double>> exposure_calls;
  int grey_calls = 0, bayer_calls = 0;
};

struct ImageSet {
  CDibImage raw8, raw16, c24, c32, c48, c64, work;
  FrameImages images;
  ImageSet(int32_t w, int32_t h) {
    raw8.Create(w, h, 8);
    raw16.Create(w, h, 16);
    c24.Create(w, h, 24);
    c32.Create(w, h, 32);
    c48.Create(w, h, 48);
    c64.Create(w, h, 64);
    images = FrameImages{&raw8, &raw16, &c24, &c32, &c48, &c64, &work};
  }
};

TEST(FramePipeline, NeutralSettingsLeaveGreyFramesAlone) {
  ImageSet set(32, 16);
  test::FillRandom(set.raw8, 1);
  test::FillRandom(set.raw16, 2, 4095);
  CDibImage copy8, copy16;
  ASSERT_TRUE(copy8.CopyGeometry(&set.raw8));
  ASSERT_TRUE(copy16.CopyGeometry(&set.raw16));
  std::memcpy(copy8.pixels(), set.raw8.pixels(), copy8.size_bytes());
  std::memcpy(copy16.pixels(), set.raw16.pixels(), copy16.size_bytes());
  FramePipeline pipeline;
  RecordingHost host;
  FrameSettings settings;
  ASSERT_TRUE(pipeline.Run(set.images, settings, nullptr, host));
  EXPECT_TRUE(test::SamePixels(set.raw8, copy8));
  settings.colour_mode = 1;
  ASSERT_TRUE(pipeline.Run(set.images, settings, nullptr, host));
  EXPECT_TRUE(test::SamePixels(set.raw16, copy16));
  EXPECT_TRUE(host.exposure_calls.empty());
}

TEST(FramePipeline, ColourModesDemosaicIntoTheirOutput) {
  ImageSet set(24, 12);
  test::Fill(set.raw8, 90);
  test::Fill(set.raw16, 3000);
  FramePipeline pipeline;
  RecordingHost host;
  FrameSettings settings;
  for (int32_t mode = 2; mode <= 5; ++mode) {
    settings.colour_mode = mode;
    ASSERT_TRUE(pipeline.Run(set.images, settings, nullptr, host)) << mode;
    const CDibImage* out = set.images.OutputFor(mode);
    const uint32_t v = mode <= 3 ? 90 : 3000;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(test::Channel(*out, 11, 5, c), v) << mode;
  }
}

TEST(FramePipeline, MissingOrMismatchedImagesAreRefused) {
  ImageSet set(16, 8);
  CDibImage small;
  ASSERT_TRUE(small.Create(8, 8, 24));
  FrameImages images = set.images;
  images.colour24 = &small;
  FramePipeline pipeline;
  RecordingHost host;
  FrameSettings settings;
  settings.colour_mode = 2;
  EXPECT_FALSE(pipeline.Run(images, settings, nullptr, host));
  images.colour24 = nullptr;
  EXPECT_FALSE(pipeline.Run(images, settings, nullptr, host));
  settings.colour_mode = 6;
  EXPECT_FALSE(pipeline.Run(set.images, settings, nullptr, host));
}

TEST(FramePipeline, MirroringHappensBeforeTheDemosaicWithTheAdjustedMode) {
  // Vertical mirroring of a mode-0 mosaic demosaics with mode 1 on the
  // reversed rows.
  ImageSet set(20, 10);
  test::FillRandom(set.raw8, 42);
  CDibImage expected_raw, expected;
  ASSERT_TRUE(expected_raw.CopyGeometry(&set.raw8));
  ASSERT_TRUE(expected.CopyGeometry(&set.c24));
  for (int32_t y = 0; y < 10; ++y) std::memcpy(expected_raw.row(y), set.raw8.row(9 - y), 20);
  ASSERT_TRUE(Demosaic(expected, expected_raw, 1, BayerGains{}));

  FramePipeline pipeline;
  RecordingHost host;
  FrameSettings settings;
  settings.colour_mode = 2;
  settings.mirror_v = true;
  ASSERT_TRUE(pipeline.Run(set.images, settings, nullptr, host));
  EXPECT_TRUE(test::SamePixels(set.c24, expected));
  EXPECT_TRUE(test::SamePixels(set.raw8, expected_raw));
}

TEST(FramePipeline, HardwareMirrorStillAdjustsTheBayerMode) {
  ImageSet set(20, 10);
  test::FillRandom(set.raw8, 43);
  CDibImage expected;
  ASSERT_TRUE(expected.CopyGeometry(&set.c24));
  ASSERT_TRUE(Demosaic(expected, set.raw8, 2, BayerGains{}));
  FramePipeline pipeline;
  RecordingHost host;
  host.mirrors_h = true;
  FrameSettings settings;
  settings.colour_mode = 2;
  settings.mirror_h = true;
  ASSERT_TRUE(pipeline.Run(set.images, settings, nullptr, host));
  EXPECT_TRUE(test::SamePixels(set.c24, expected));
}

TEST(FramePipeline, AutomaticStepsWriteBackAndNotify) {
  ImageSet set(16, 16);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x)
      test::At8(set.raw8, x, y) = (x % 2 == y % 2) ? 100 : (y % 2 == 0 ? 50 : 200);
  FramePipeline pipeline;
  RecordingHost host;
  FrameSettings settings;
  settings.colour_mode = 2;
  settings.bayer_auto = true;
  ASSERT_TRUE(pipeline.Run(set.images, settings, nullptr, host));
  EXPECT_EQ(settings.bayer_gains.red, 50);
  EXPECT_EQ(settings.bayer_gains.blue, 200);
  EXPECT_EQ(host.bayer_calls, 1);

  settings = FrameSettings{};
  settings.grey_mode = 1;
  settings.auto_grey_balance = true;
  ASSERT_TRUE(pipeline.Run(set.images, settings, nullptr, host));
  EXPECT_FALSE(settings.auto_grey_balance);  // one frame only
  EXPECT_EQ(host.grey_calls, 1);
  EXPECT_EQ(settings.grey.gain[0], 256);  // G1 100 / R 50 (R at row 0, column 1)

  settings = FrameSettings{};
  settings.auto_iris = 2;
  test::Fill(set.raw8, 250);
  ASSERT_TRUE(pipeline.Run(set.images, settings, nullptr, host));
  ASSERT_EQ(host.exposure_calls.size(), 1u);
  EXPECT_EQ(host.exposure_calls[0].first, 2);
  EXPECT_NEAR(host.exposure_calls[0].second, 0.25, 1e-9);
}

TEST(FramePipeline, GreyFromColourGoesThroughTheColourImage) {
  ImageSet set(12, 8);
  test::Fill(set.raw8, 120);
  FramePipeline pipeline;
  RecordingHost host;
  FrameSettings settings;
  settings.grey_mode = 2;
  settings.bayer_gains = BayerGains{50, 100, 50};
  ASSERT_TRUE(pipeline.Run(set.images, settings, nullptr, host));
  // Red and blue 16 · 120 · 64 >> 11 = 60, green 120: (59·120 + 30·60 + 11·60) / 100.
  EXPECT_EQ(test::At8(set.raw8, 5, 5), (59 * 120 + 30 * 60 + 11 * 60) / 100);
}

TEST(FramePipeline, ToneStepsInOrderOnTheOutput) {
  ImageSet set(10, 10);
  test::Fill(set.raw8, 100);
  FramePipeline pipeline;
  RecordingHost host;
  FrameSettings settings;
  settings.gamma = 200;       // 100 → trunc(sqrt(100/255)·255) = 159
  settings.contrast = 50;     // 159 → trunc(256/156 · 109) = 178
  settings.sharpness = 10;    // uniform: no change
  settings.brightness = -51;  // 178 · 0.8 = 142.4 → 142
  ASSERT_TRUE(pipeline.Run(set.images, settings, nullptr, host));
  EXPECT_EQ(test::At8(set.raw8, 5, 5), 142);
  EXPECT_EQ(test::At8(set.raw8, 0, 0), 142);
  EXPECT_EQ(set.work.width(), 10);  // the work copy followed the output
}

// Grey gains and the tone table may share a pass; the result is that of
// gains, software mirror and tone table one after the other.
TEST(FramePipeline, GreyGainsThenToneAsSeparateSteps) {
  for (int32_t mode : {0, 1}) {
    SCOPED_TRACE(mode == 0 ? "8 bits" : "16 bits");
    ImageSet once(13, 6), stepwise(13, 6);
    CDibImage& raw = mode == 0 ? once.raw8 : once.raw16;
    test::FillRandom(raw, 5, mode == 0 ? 255 : 4095);
    ASSERT_TRUE((mode == 0 ? stepwise.raw8 : stepwise.raw16).CopyGeometry(&raw));
    std::memcpy((mode == 0 ? stepwise.raw8 : stepwise.raw16).pixels(), raw.pixels(), raw.size_bytes());
    FramePipeline pipeline;
    RecordingHost host;
    FrameSettings gains;
    gains.colour_mode = mode;
    gains.grey_mode = 1;
    gains.grey = GreyGains{{200, 128, 64, 150}, {3, 0, -5, 1}};
    gains.mirror_h = true;
    FrameSettings tone;
    tone.colour_mode = mode;
    tone.gamma = 150;
    tone.contrast = 30;
    tone.brightness = 20;
    FrameSettings both = gains;
    both.gamma = tone.gamma, both.contrast = tone.contrast, both.brightness = tone.brightness;
    ASSERT_TRUE(pipeline.Run(stepwise.images, gains, nullptr, host));
    ASSERT_TRUE(pipeline.Run(stepwise.images, tone, nullptr, host));
    ASSERT_TRUE(pipeline.Run(once.images, both, nullptr, host));
    EXPECT_TRUE(test::SamePixels(raw, mode == 0 ? stepwise.raw8 : stepwise.raw16));
  }
}

TEST(FramePipeline, MaskFilterPairsRawPixelsWithTheWindowOffset) {
  ImageSet set(16, 16);
  MaskData mask;
  ASSERT_TRUE(mask.valid());
  test::Fill(mask.reference(8, MaskKind::kDark), 20);
  test::Fill(mask.reference(8, MaskKind::kWhite), 148);
  test::At8(mask.reference(8, MaskKind::kDark), 5 + 7, 3 + 6) = 250;  // sensor (12, 9)
  test::Fill(set.raw8, 84);
  FramePipeline pipeline;
  RecordingHost host;
  FrameSettings settings;
  settings.mask_filter = true;
  settings.window_x = 5;
  settings.window_y = 3;
  ASSERT_TRUE(pipeline.Run(set.images, settings, &mask, host));
  EXPECT_EQ(test::At8(set.raw8, 0, 0), 128);  // (64 · 256) / 128
  EXPECT_EQ(test::At8(set.raw8, 7, 6), 255);  // (−166 · 256) / (−102) = 416 → 255
  // Without the switch the references are not used.
  test::Fill(set.raw8, 84);
  settings.mask_filter = false;
  ASSERT_TRUE(pipeline.Run(set.images, settings, &mask, host));
  EXPECT_EQ(test::At8(set.raw8, 0, 0), 84);
}

TEST(FramePipeline, DotFilterReadsTheMapsAtTheRawOffsets) {
  ImageSet set(16, 16);
  MaskData mask;
  ASSERT_TRUE(mask.valid());
  test::Fill(set.raw8, 60);
  test::At8(set.raw8, 8, 8) = 70;  // within the threshold of 30
  // Raw (8, 8) is byte 8 · 16 + 8 of the 16-wide frame.
  mask.defect_map(8, MaskKind::kWhite).pixels()[8 * 16 + 8] = 1;
  FramePipeline pipeline;
  RecordingHost host;
  FrameSettings settings;
  settings.dot_filter = true;
  ASSERT_TRUE(pipeline.Run(set.images, settings, &mask, host));
  EXPECT_EQ(test::At8(set.raw8, 8, 8), 60);
  test::At8(set.raw8, 8, 8) = 70;
  mask.defect_map(8, MaskKind::kWhite).pixels()[8 * 16 + 8] = 0;
  ASSERT_TRUE(pipeline.Run(set.images, settings, &mask, host));
  EXPECT_EQ(test::At8(set.raw8, 8, 8), 70);
}

TEST(FramePipeline, SteadyStateReusesTablesAndBuffers) {
  ImageSet set(64, 32);
  test::FillRandom(set.raw16, 9, 4095);
  MaskData mask;
  FramePipeline pipeline;
  RecordingHost host;
  FrameSettings settings;
  settings.colour_mode = 1;
  settings.gamma = 80;
  settings.contrast = 10;
  settings.sharpness = 5;
  settings.brightness = 20;
  settings.dot_filter = true;
  settings.mask_filter = true;
  ASSERT_TRUE(pipeline.Run(set.images, settings, &mask, host));
  const uint32_t builds = pipeline.tone_tables().builds();
  const uint8_t* work = set.work.pixels();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(pipeline.Run(set.images, settings, &mask, host));
  EXPECT_EQ(pipeline.tone_tables().builds(), builds);
  EXPECT_EQ(set.work.pixels(), work);
  settings.gamma = 81;
  ASSERT_TRUE(pipeline.Run(set.images, settings, &mask, host));
  EXPECT_EQ(pipeline.tone_tables().builds(), builds + 2);  // the gamma table and the composed one
}

}  // namespace
}  // namespace morvex::imaging
