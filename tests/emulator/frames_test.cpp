// Frames as the host receives them: the test ramp bit-exact for every
// geometry the library programs, header words, faults and trigger pulses.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "emulator/emulator.h"
#include "link.h"

namespace morvex::emulator {
namespace {

using test::Link;

uint32_t Ramp(int x, int y) { return static_cast<uint32_t>((x + 4 * y) % 4096); }

// The window as the host programs an IMX990/IMX991: sensor window, crop and
// binning, mirrors, then the FPGA's size and start offsets for that readout.
struct Window {
  int left = 0, top = 0, width = 640, height = 512;
  int mode = 0;  // 0 window, 1 binning
  bool mirror_h = false, mirror_v = false, wide = false;
  int h_offset_error = 0;
};

void ProgramSmallPair(Link& link, const Window& w, int max_height = 512, bool rotated = false) {
  int width = w.width, height = w.height, top = w.top;
  int v_offset, h_offset;
  uint8_t crop = 0, binning = 0;
  if (w.mode == 1) {
    width /= 2;
    height /= 2;
    binning = 0x11;
    v_offset = 23;
    h_offset = w.mirror_h ? 52 : 4;
  } else {
    h_offset = w.mirror_h ? 104 : 8;
    if (height == max_height) {
      v_offset = 25;
    } else {
      crop = 2;
      v_offset = 21;
    }
  }
  if (rotated) top = max_height - height - top;
  if (w.mode == 0 && height != max_height) top += 4;
  link.WriteSensor(0x023C, binning);
  link.WriteSensor(0x0304, crop);
  link.WriteSensor16(0x0320, static_cast<uint32_t>(w.left));
  link.WriteSensor16(0x0322, static_cast<uint32_t>(top));
  link.WriteSensor16(0x0324, static_cast<uint32_t>(width));
  link.WriteSensor16(0x0326, static_cast<uint32_t>(height));
  link.WriteSensor(0x0404, static_cast<uint8_t>((w.mirror_v ? 1 : 0) | (w.mirror_h ? 2 : 0)));
  link.WriteFpga16(0x40, static_cast<uint32_t>(height));
  link.WriteFpga16(0x44, static_cast<uint32_t>(width * (w.wide ? 2 : 1)));
  link.WriteFpga16(0x48, static_cast<uint32_t>(v_offset));
  link.WriteFpga16(0x4C, static_cast<uint32_t>(h_offset + w.h_offset_error));
}

uint32_t Sample(const std::vector<uint8_t>& data, bool wide, int line_samples, int i, int j) {
  const size_t k = static_cast<size_t>(j) * line_samples + i;
  return wide ? static_cast<uint32_t>(data[2 * k] | (data[2 * k + 1] << 8)) : data[k];
}

// Compares a whole frame with `expected(i, j)` (12-bit), reporting the first misses.
template <typename Expected>
void ExpectFrame(const std::vector<uint8_t>& data, bool wide, int samples, int lines, Expected expected) {
  ASSERT_EQ(data.size(), static_cast<size_t>(samples) * lines * (wide ? 2 : 1));
  int misses = 0;
  for (int j = 0; j < lines && misses < 5; ++j) {
    for (int i = 0; i < samples && misses < 5; ++i) {
      const uint32_t want = wide ? expected(i, j) : expected(i, j) >> 4;
      const uint32_t got = Sample(data, wide, samples, i, j);
      if (got != want) {
        ADD_FAILURE() << "sample " << i << "," << j << ": expected " << want << ", got " << got;
        ++misses;
      }
    }
  }
}

class RampFrames : public ::testing::Test {
 protected:
  RampFrames() {
    EmulatedCameraOptions o;
    o.scene = Scene::kRamp;
    camera_ = &port_.AddCamera(o);
    link_ = std::make_unique<Link>(port_, camera_->path());
  }
  void Take(const Window& w) {
    ProgramSmallPair(*link_, w);
    ASSERT_TRUE(link_->ReadFrame(&header_, &data_));
  }
  EmulatorPort port_;
  EmulatedCamera* camera_;
  std::unique_ptr<Link> link_;
  std::array<uint8_t, 64> header_{};
  std::vector<uint8_t> data_;
};

TEST_F(RampFrames, FullFrameAtEightAndSixteenBits) {
  for (bool wide : {false, true}) {
    Window w;
    w.wide = wide;
    Take(w);
    EXPECT_EQ(test::Le32(header_.data() + 16), 640u * 512u * (wide ? 2 : 1));
    ExpectFrame(data_, wide, 640, 512, [](int i, int j) { return Ramp(i, j); });
  }
}

TEST_F(RampFrames, WindowSelectsExactlyTheRequestedRegion) {
  for (bool wide : {false, true}) {
    Window w;
    w.left = 64;
    w.top = 40;
    w.width = 320;
    w.height = 200;
    w.wide = wide;
    Take(w);
    EXPECT_EQ(test::Le32(header_.data() + 16), 320u * 200u * (wide ? 2 : 1));
    ExpectFrame(data_, wide, 320, 200, [&](int i, int j) { return Ramp(w.left + i, w.top + j); });
  }
}

// The FIFO keeps its image buffers from frame to frame: frames that shrink
// and grow again must still carry exactly their own bytes.
TEST_F(RampFrames, FramesOfChangingSizeKeepExactlyTheirBytes) {
  Window full;
  full.wide = true;
  Window small;
  small.left = 8;
  small.top = 4;
  small.width = 64;
  small.height = 32;
  Window medium = small;
  medium.width = 320;
  medium.height = 256;
  for (const Window& w : {full, small, small, medium, full, small, full}) {
    Take(w);
    EXPECT_EQ(test::Le32(header_.data() + 16), static_cast<uint32_t>(w.width * w.height * (w.wide ? 2 : 1)));
    ExpectFrame(data_, w.wide, w.width, w.height, [&](int i, int j) { return Ramp(w.left + i, w.top + j); });
  }
}

TEST_F(RampFrames, MirrorsReverseTheWindowsColumnsOrRows) {
  Window w;
  w.left = 128;
  w.top = 16;
  w.width = 256;
  w.height = 128;
  w.wide = true;
  w.mirror_h = true;
  Take(w);
  ExpectFrame(data_, true, 256, 128, [&](int i, int j) { return Ramp(w.left + 255 - i, w.top + j); });
  w.mirror_h = false;
  w.mirror_v = true;
  Take(w);
  ExpectFrame(data_, true, 256, 128, [&](int i, int j) { return Ramp(w.left + i, w.top + 127 - j); });
  w.mirror_h = true;
  w.wide = false;
  Take(w);
  ExpectFrame(data_, false, 256, 128, [&](int i, int j) { return Ramp(w.left + 255 - i, w.top + 127 - j); });
}

TEST_F(RampFrames, BinningGivesTheMeanOfFourSamples) {
  auto binned = [](int i, int j) {
    return (Ramp(2 * i, 2 * j) + Ramp(2 * i + 1, 2 * j) + Ramp(2 * i, 2 * j + 1) +
            Ramp(2 * i + 1, 2 * j + 1)) /
           4;
  };
  for (bool wide : {false, true}) {
    Window w;
    w.mode = 1;
    w.wide = wide;
    Take(w);
    EXPECT_EQ(test::Le32(header_.data() + 16), 320u * 256u * (wide ? 2 : 1));
    ExpectFrame(data_, wide, 320, 256, binned);
  }
  Window m;
  m.mode = 1;
  m.wide = true;
  m.mirror_h = true;
  m.mirror_v = true;
  Take(m);
  ExpectFrame(data_, true, 320, 256, [&](int i, int j) { return binned(319 - i, 255 - j); });
}

TEST_F(RampFrames, AWrongStartOffsetShiftsTheDeliveredWindow) {
  Window w;
  w.left = 64;
  w.top = 40;
  w.width = 320;
  w.height = 200;
  w.wide = true;
  w.h_offset_error = 1;
  Take(w);
  // One column further right; the last column runs past the window.
  ExpectFrame(data_, true, 320, 200,
              [&](int i, int j) { return i == 319 ? 0u : Ramp(w.left + i + 1, w.top + j); });
}

TEST_F(RampFrames, HeaderCarriesCountTimestampAndExposure) {
  ProgramSmallPair(*link_, Window{});
  link_->WriteSensor24(0x02D4, 600);
  link_->WriteSensor24(0x0440, 100);
  std::array<uint8_t, 64> first{}, second{};
  ASSERT_TRUE(link_->ReadFrame(&first, &data_));
  ASSERT_TRUE(link_->ReadFrame(&second, &data_));
  const uint32_t c1 = test::Le32(first.data() + 32), c2 = test::Le32(second.data() + 32);
  EXPECT_GT(c2, c1);
  EXPECT_EQ(test::Le32(second.data() + 40), 500u);  // frame length - shutter start
  const uint64_t t1 =
      test::Le32(first.data() + 28) | (static_cast<uint64_t>(test::Le32(first.data() + 44)) << 32);
  const uint64_t t2 =
      test::Le32(second.data() + 28) | (static_cast<uint64_t>(test::Le32(second.data() + 44)) << 32);
  const double period_us = 600 * 12.961774681455678;
  EXPECT_NEAR(static_cast<double>(t2 - t1), (c2 - c1) * period_us, 1.0 * (c2 - c1) + 1.0);
  // FPGA register 8 counts the same frames.
  const uint8_t reg8 = link_->Fpga(8);
  EXPECT_EQ(static_cast<uint8_t>(reg8 - static_cast<uint8_t>(c2)) < 100, true);
}

TEST_F(RampFrames, FpgaWindowCountersHaveTheirHardwareWidth) {
  // Absurd sizes from a faulty host are cut to the counters' 12 and 13 bits
  // instead of announcing gigabytes.
  link_->WriteFpga16(0x40, 0xFFFF);
  link_->WriteFpga16(0x44, 0xFFFF);
  ASSERT_TRUE(link_->FifoReset());
  ASSERT_TRUE(link_->Read(header_.data(), 64, 2000).ok);
  EXPECT_EQ(test::Le32(header_.data() + 16), 0xFFFu * 0x1FFFu);
  ASSERT_TRUE(link_->FifoReset());
}

TEST(EmulatorGeometry, UncooledSensorIsTurnedByHalfATurn) {
  EmulatorPort port;
  EmulatedCameraOptions o;
  o.scene = Scene::kRamp;
  o.product_id = 0x3280;
  Link link(port, port.AddCamera(o).path());
  std::array<uint8_t, 64> h;
  std::vector<uint8_t> data;
  Window w;
  w.wide = true;
  ProgramSmallPair(link, w, 512, true);
  ASSERT_TRUE(link.ReadFrame(&h, &data));
  ExpectFrame(data, true, 640, 512, [](int i, int j) { return Ramp(639 - i, 511 - j); });
  // A window counted from the top of the upright image arrives upside down.
  w.top = 100;
  w.height = 64;
  ProgramSmallPair(link, w, 512, true);
  ASSERT_TRUE(link.ReadFrame(&h, &data));
  ExpectFrame(data, true, 640, 64, [](int i, int j) { return Ramp(639 - i, 100 + 63 - j); });
}

TEST(EmulatorGeometry, LargeSensorWindowAndBinning) {
  EmulatorPort port;
  EmulatedCameraOptions o;
  o.scene = Scene::kRamp;
  o.product_id = 0x3380;  // cooled IMX992, 2560 x 2048
  Link link(port, port.AddCamera(o).path());
  std::array<uint8_t, 64> h;
  std::vector<uint8_t> data;
  // Window 256 x 128 at (512, 1024): both crops, offsets 25 and 112 (16 mirrored).
  link.WriteSensor(0x023C, 0);
  link.WriteSensor(0x0304, 3);
  link.WriteSensor(0x0400, 36);
  link.WriteSensor16(0x0320, 512);
  link.WriteSensor16(0x0322, 1024);
  link.WriteSensor16(0x0324, 256);
  link.WriteSensor16(0x0326, 128);
  link.WriteFpga16(0x40, 128);
  link.WriteFpga16(0x44, 512);
  link.WriteFpga16(0x48, 25);
  link.WriteFpga16(0x4C, 112);
  ASSERT_TRUE(link.ReadFrame(&h, &data));
  ExpectFrame(data, true, 256, 128, [](int i, int j) { return Ramp(512 + i, 1024 + j); });
  link.WriteSensor(0x0404, 2);
  link.WriteFpga16(0x4C, 16);
  ASSERT_TRUE(link.ReadFrame(&h, &data));
  ExpectFrame(data, true, 256, 128, [](int i, int j) { return Ramp(512 + 255 - i, 1024 + j); });
  // Binning: 1280 x 1024 from the full sensor, offsets 31 and 52; take the top 16 lines.
  link.WriteSensor(0x0404, 0);
  link.WriteSensor(0x023C, 0x11);
  link.WriteSensor(0x0304, 0);
  link.WriteFpga16(0x40, 16);
  link.WriteFpga16(0x44, 1280);
  link.WriteFpga16(0x48, 31);
  link.WriteFpga16(0x4C, 52);
  ASSERT_TRUE(link.ReadFrame(&h, &data));
  ExpectFrame(data, false, 1280, 16, [](int i, int j) {
    return (Ramp(2 * i, 2 * j) + Ramp(2 * i + 1, 2 * j) + Ramp(2 * i, 2 * j + 1) +
            Ramp(2 * i + 1, 2 * j + 1)) /
           4;
  });
}

TEST(EmulatorFaults, ConfiguredHeaderAndDataReadsTimeOut) {
  EmulatorPort port;
  EmulatedCamera& camera = port.AddCamera();
  Link link(port, camera.path());
  std::array<uint8_t, 64> h;
  std::vector<uint8_t> data;
  camera.SetFailHeaderReads(2);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(link.FifoReset());
    test::Link::ReadOutcome o = link.Read(h.data(), 64, 100);
    EXPECT_TRUE(o.timed_out) << "header read " << i;
    EXPECT_FALSE(o.ok);
  }
  EXPECT_EQ(camera.pending_header_faults(), 0u);
  EXPECT_TRUE(link.ReadFrame(&h, &data));

  camera.SetFailDataReads(1);
  ASSERT_TRUE(link.FifoReset());
  ASSERT_TRUE(link.Read(h.data(), 64, 1000).ok);
  data.assign(640 * 512, 0);
  test::Link::ReadOutcome o = link.Read(data.data(), 640 * 512, 100);
  EXPECT_TRUE(o.timed_out);
  EXPECT_EQ(camera.pending_data_faults(), 0u);
  EXPECT_TRUE(link.ReadFrame(&h, &data));
}

void EnterTriggerMode(Link& link) {
  link.WriteSensor(0x0430, 0x13);
  link.WriteSensor(0x0600, 1);
  link.WriteFpga(88, 2);
}

TEST(EmulatorTrigger, OneFramePerPulse) {
  EmulatorPort port;
  EmulatedCamera& camera = port.AddCamera();
  Link link(port, camera.path());
  EnterTriggerMode(link);
  const uint8_t before = link.Fpga(8);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(link.Fpga(8), before) << "no frame without a pulse";

  std::array<uint8_t, 64> h;
  std::vector<uint8_t> data;
  for (int pulse = 1; pulse <= 3; ++pulse) {
    camera.Trigger();
    // The host polls the counter, then resets the FIFO and reads.
    for (int i = 0; i < 2000 && link.Fpga(8) == static_cast<uint8_t>(before + pulse - 1); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(link.Fpga(8), static_cast<uint8_t>(before + pulse));
    ASSERT_TRUE(link.ReadFrame(&h, &data));
    EXPECT_EQ(test::Le32(h.data() + 36) & 1, 1u) << "triggered flag";
    EXPECT_EQ(static_cast<uint8_t>(test::Le32(h.data() + 32)), static_cast<uint8_t>(before + pulse));
  }
  // Leaving trigger mode restarts free running.
  link.WriteFpga(88, 0);
  ASSERT_TRUE(link.ReadFrame(&h, &data));
  EXPECT_EQ(test::Le32(h.data() + 36) & 1, 0u);
}

// Frames end on the camera's clock: simulated here, so the count is exact
// however late the machine schedules the timing thread.
TEST(EmulatorTrigger, ExternalPulsesAtTheConfiguredInterval) {
  platform::SimulatedClock clock;
  EmulatorPort port(clock);
  EmulatedCameraOptions o;
  o.trigger_interval_ms = 40;
  EmulatedCamera& camera = port.AddCamera(o);
  Link link(port, camera.path());
  EnterTriggerMode(link);
  const uint32_t start = camera.frame_counter();
  auto reaches = [&](uint32_t count) {
    for (int i = 0; i < 500 && camera.frame_counter() < count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return camera.frame_counter();
  };
  for (uint32_t pulse = 1; pulse <= 10; ++pulse) {
    clock.Advance(40);
    // Each pulse's frame ends a period (7 ms) later, so the previous one is done.
    EXPECT_EQ(reaches(start + pulse - 1), start + pulse - 1) << "pulse " << pulse;
  }
  clock.Advance(10);
  EXPECT_EQ(reaches(start + 10), start + 10);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(camera.frame_counter(), start + 10) << "no frame without a pulse";
}

TEST(EmulatorScene, NaturalSceneFollowsExposureAndHasNoiseAndDefects) {
  EmulatorPort port;
  EmulatedCamera& camera = port.AddCamera();
  Link link(port, camera.path());
  Window w;
  w.wide = true;
  ProgramSmallPair(link, w);
  auto mean_of = [](const std::vector<uint8_t>& d) {
    double sum = 0;
    for (size_t k = 0; k + 1 < d.size(); k += 2) sum += d[k] | (d[k + 1] << 8);
    return sum / (d.size() / 2);
  };
  std::array<uint8_t, 64> h;
  std::vector<uint8_t> a, b, longer;
  link.WriteSensor24(0x0440, 436);  // 100 lines of 536
  ASSERT_TRUE(link.ReadFrame(&h, &a));
  ASSERT_TRUE(link.ReadFrame(&h, &b));
  link.WriteSensor24(0x0440, 136);  // 400 lines
  ASSERT_TRUE(link.ReadFrame(&h, &longer));
  EXPECT_GT(mean_of(longer), 2.0 * mean_of(a) - 60.0);
  size_t differing = 0, hot = 0;
  for (size_t k = 0; k + 1 < a.size(); k += 2) {
    const int va = a[k] | (a[k + 1] << 8), vb = b[k] | (b[k + 1] << 8);
    ASSERT_LE(va, 4095);
    if (va != vb) ++differing;
  }
  EXPECT_GT(differing, a.size() / 4) << "temporal noise";
  // Hot pixels stand far above their neighbours, dead ones far below.
  size_t dead = 0;
  for (size_t k = 2; k + 3 < a.size(); k += 2) {
    const int v = a[k] | (a[k + 1] << 8);
    const int around = ((a[k - 2] | (a[k - 1] << 8)) + (a[k + 2] | (a[k + 3] << 8))) / 2;
    if (v - around > 200) ++hot;
    if (around - v > 100) ++dead;
  }
  EXPECT_GT(hot, 50u);
  EXPECT_GT(dead, 20u);
  (void)camera;
}

}  // namespace
}  // namespace morvex::emulator
