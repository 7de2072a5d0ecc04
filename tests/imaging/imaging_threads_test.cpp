// Several camera instances run their pipelines at once: the process-wide
// tables must be built once and read safely.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "imaging/frame_pipeline.h"
#include "test_images.h"

namespace morvex::imaging {
namespace {

TEST(ImagingThreads, ConcurrentPipelinesAgree) {
  constexpr int kThreads = 4;
  std::vector<std::vector<uint8_t>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &results] {
      CDibImage raw, colour, work;
      raw.Create(64, 32, 8);
      colour.Create(64, 32, 24);
      test::FillRandom(raw, 77);
      FrameImages images;
      images.raw8 = &raw;
      images.colour24 = &colour;
      images.work = &work;
      FrameSettings settings;
      settings.colour_mode = 2;
      settings.hue = 45;
      settings.saturation = 40;
      settings.dot_filter = true;
      MaskData mask;
      FramePipeline pipeline;
      FrameHost host;
      pipeline.Run(images, settings, &mask, host);
      results[t].assign(colour.pixels(), colour.pixels() + colour.size_bytes());
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(results[t], results[0]);
}

}  // namespace
}  // namespace morvex::imaging
