// Free-running frames end at the period the sensor registers program: frame
// length x line period. The camera runs on a simulated clock, so the count
// of frames over a stretch of camera time is exact however loaded the
// machine is.
#include <gtest/gtest.h>

#include <cmath>

#include "emulator/emulator.h"
#include "link.h"
#include "platform/clock.h"

namespace morvex::emulator {
namespace {

using test::Link;

// Frames that end while the clock moves on by `ms`; the control request
// after the move makes the camera look at its clock.
uint32_t FramesOver(platform::SimulatedClock& clock, EmulatedCamera& camera, Link& link, uint32_t ms) {
  link.Fpga(8);
  const uint32_t before = camera.frame_counter();
  clock.Advance(ms);
  link.Fpga(8);
  return camera.frame_counter() - before;
}

struct PacingCase {
  const char* what;
  uint16_t product_id;
  uint16_t fpga_version;
  uint32_t frame_length;
  uint32_t line_length;
  double line_us;
};

constexpr double kSlowLineUs = 12.961774681455678;
constexpr double kFastLineUs = 6.880557337977816;  // FPGA version bit 14

const PacingCase kPacing[] = {
    {"IMX991 full frame", 0x3290, 0x8125, 561, 972, kSlowLineUs},
    {"IMX991 full frame, fast lines: 3.86 ms", 0x3290, 0xC125, 561, 516, kFastLineUs},
    {"IMX991 7 ms exposure, fast lines", 0x3290, 0xC125, 1031, 516, kFastLineUs},
    {"IMX991 long exposure frame", 0x3290, 0x8125, 3100, 972, kSlowLineUs},
    {"IMX992 16-bit lines", 0x3380, 0x0105, 2140, 978, 978.0 / 489.0 * 355.7 * 1000.0 / 54545.0},
};

TEST(FramePacing, FramesOverTenSecondsOfCameraTime) {
  constexpr uint32_t kSpanMs = 10000;
  for (const PacingCase& c : kPacing) {
    SCOPED_TRACE(c.what);
    platform::SimulatedClock clock;
    EmulatorPort port(clock);
    EmulatedCameraOptions o;
    o.product_id = c.product_id;
    o.fpga_version = c.fpga_version;
    EmulatedCamera& camera = port.AddCamera(o);
    Link link(port, camera.path());
    link.WriteSensor24(0x02D4, c.frame_length);
    link.WriteSensor16(0x02D8, c.line_length);
    const double period = c.frame_length * c.line_us / 1000.0;
    EXPECT_NEAR(camera.frame_period_ms(), period, 1e-9);
    // The first stretch starts on the schedule of the power-on settings.
    FramesOver(clock, camera, link, 100);
    const double whole = std::floor(kSpanMs / period);
    const uint32_t frames = FramesOver(clock, camera, link, kSpanMs);
    EXPECT_GE(frames, whole) << "period " << period << " ms";
    EXPECT_LE(frames, whole + 1) << "period " << period << " ms";
    port.Shutdown();
  }
}

// A longer frame written mid-stream slows the camera down from the next frame.
TEST(FramePacing, NewFrameLengthTakesEffectAtOnce) {
  platform::SimulatedClock clock;
  EmulatorPort port(clock);
  EmulatedCamera& camera = port.AddCamera();
  Link link(port, camera.path());
  link.WriteSensor24(0x02D4, 800);
  FramesOver(clock, camera, link, 100);
  EXPECT_NEAR(FramesOver(clock, camera, link, 10000), 10000 / (800 * kSlowLineUs / 1000.0), 1.0);
  link.WriteSensor24(0x02D4, 2400);
  link.WriteSensor24(0x0440, 15);
  FramesOver(clock, camera, link, 100);
  EXPECT_NEAR(FramesOver(clock, camera, link, 10000), 10000 / (2400 * kSlowLineUs / 1000.0), 1.0);
  port.Shutdown();
}

// A reader that waits for a header when a frame ends gets that frame, even
// when the camera looks at its clock only frames later.
TEST(FramePacing, AWaitingReaderGetsTheFirstFrameThatEnded) {
  platform::SimulatedClock clock;
  EmulatorPort port(clock);
  EmulatedCamera& camera = port.AddCamera();
  Link link(port, camera.path());
  link.WriteFpga16(0x40, 16);
  link.WriteSensor24(0x02D4, 1000);  // 12.96 ms
  ASSERT_TRUE(link.OpenStream());
  ASSERT_TRUE(link.FifoReset());
  const uint32_t before = camera.frame_counter();
  auto io = port.CreateAsyncIo();
  uint8_t request[38] = {};
  request[13] = 0x81;
  uint8_t header[64] = {};
  ASSERT_EQ(port.IoControl(link.stream(), test::kDirect, request, 38, header, 64, io.get()).error,
            platform::kErrorIoPending);
  clock.Advance(40);  // three frames end
  link.Fpga(8);
  ASSERT_EQ(io->event().Wait(5000), platform::WaitResult::kSignaled);
  ASSERT_TRUE(port.GetResult(link.stream(), *io, false).ok);
  EXPECT_EQ(test::Le32(header + 32), before + 1);
  EXPECT_GE(camera.frame_counter(), before + 3);
  port.Shutdown();
}

}  // namespace
}  // namespace morvex::emulator
