// Free-running frames arrive at the period the sensor registers program:
// frame length x line period, averaged over many frames so that a loaded
// machine's scheduling jitter does not count.
#include <gtest/gtest.h>

#include <algorithm>

#include "emulator/emulator.h"
#include "link.h"
#include "platform/clock.h"

namespace morvex::emulator {
namespace {

using test::Link;

// Reads frames the way the frame thread does and returns the period in ms:
// the median slope of arrival time over the header's frame counter between
// frames at least half the run apart, so frames the reader missed and a
// loaded machine's late wake-ups do not count.
double MeasuredPeriodMs(Link& link, int frames) {
  platform::Clock& clock = platform::SystemClock();
  std::array<uint8_t, 64> h;
  std::vector<uint8_t> data;
  std::vector<double> counts, arrivals;
  // The first frame may still end on the schedule of the previous settings.
  EXPECT_TRUE(link.ReadFrame(&h, &data));
  for (int i = 0; i < frames; ++i) {
    if (!link.ReadFrame(&h, &data)) {
      ADD_FAILURE() << "frame " << i;
      return 0;
    }
    arrivals.push_back(static_cast<double>(clock.MultimediaTime()));
    counts.push_back(static_cast<double>(test::Le32(h.data() + 32)));
  }
  std::vector<double> slopes;
  for (int i = 0; i < frames; ++i)
    for (int j = i + frames / 2; j < frames; ++j)
      if (counts[j] > counts[i]) slopes.push_back((arrivals[j] - arrivals[i]) / (counts[j] - counts[i]));
  if (slopes.empty()) return 0;
  std::nth_element(slopes.begin(), slopes.begin() + slopes.size() / 2, slopes.end());
  return slopes[slopes.size() / 2];
}

struct PacingCase {
  uint16_t product_id;
  uint16_t fpga_version;
  uint32_t frame_length;
  uint32_t line_length;
  double line_us;
};

class FramePacing : public ::testing::TestWithParam<PacingCase> {};

TEST_P(FramePacing, MeanPeriodWithinAMillisecond) {
  const PacingCase c = GetParam();
  platform::ScopedTimerResolution resolution(platform::SystemClock());
  EmulatorPort port;
  EmulatedCameraOptions o;
  o.product_id = c.product_id;
  o.fpga_version = c.fpga_version;
  EmulatedCamera& camera = port.AddCamera(o);
  Link link(port, camera.path());
  // A small window keeps the copies short; timing is the sensor's alone.
  link.WriteFpga16(0x40, 16);
  link.WriteSensor24(0x02D4, c.frame_length);
  link.WriteSensor16(0x02D8, c.line_length);
  const double expected = c.frame_length * c.line_us / 1000.0;
  EXPECT_NEAR(camera.frame_period_ms(), expected, 1e-9);
  const int frames = static_cast<int>(1200.0 / expected) + 20;
  EXPECT_NEAR(MeasuredPeriodMs(link, frames), expected, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Periods, FramePacing,
    ::testing::Values(PacingCase{0x3290, 0x8125, 1000, 972, 12.961774681455678},  // 12.96 ms
                      PacingCase{0x3290, 0xC125, 3000, 516, 6.880557337977816},   // fast lines, 20.6 ms
                      PacingCase{0x3290, 0x8125, 3100, 972,
                                 12.961774681455678},  // long exposure frame, 40.2 ms
                      PacingCase{0x3380, 0x0105, 2140, 978, 978.0 / 489.0 * 355.7 * 1000.0 / 54545.0}));

// A longer exposure written as a longer frame slows the stream down.
TEST(FramePacingChange, NewFrameLengthTakesEffectAtOnce) {
  EmulatorPort port;
  EmulatedCamera& camera = port.AddCamera();
  Link link(port, camera.path());
  link.WriteFpga16(0x40, 16);
  link.WriteSensor24(0x02D4, 800);
  EXPECT_NEAR(MeasuredPeriodMs(link, 60), 800 * 12.961774681455678 / 1000.0, 1.0);
  link.WriteSensor24(0x02D4, 2400);
  link.WriteSensor24(0x0440, 15);
  EXPECT_NEAR(MeasuredPeriodMs(link, 40), 2400 * 12.961774681455678 / 1000.0, 1.0);
}

}  // namespace
}  // namespace morvex::emulator
