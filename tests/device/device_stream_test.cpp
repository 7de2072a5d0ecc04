// Streaming against the emulator: the frame thread, transfer modes, its
// recoveries and failure flag, stopping, two cameras, and bit-exact frames.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "device_rig.h"

namespace morvex {
namespace {

using test::Ramp;
using test::Rig;

constexpr uint8_t kRestartRegister = 108;

emulator::EmulatedCameraOptions RampCamera(uint16_t product_id = 0x3290) {
  emulator::EmulatedCameraOptions o;
  o.product_id = product_id;
  o.scene = emulator::Scene::kRamp;
  return o;
}

// Waits until `done` holds, up to `seconds` of real time.
template <typename F>
bool Eventually(F done, int seconds = 20) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return done();
}

size_t PulsesOn(Rig& rig, uint8_t reg) {
  size_t pulses = 0;
  for (const auto& w : rig.port.WritesTo(reg)) pulses += w.value == 1;
  return pulses;
}

class DeviceStream : public ::testing::Test {
 protected:
  std::unique_ptr<CMorvexUSB3T2SimpleSdk> Open(
      const emulator::EmulatedCameraOptions& options = RampCamera()) {
    camera_ = &rig_.AddCamera(options);
    auto device = rig_.MakeDevice(options.product_id);
    EXPECT_EQ(device->OpenCamera(0), 1);
    return device;
  }
  Rig rig_;
  emulator::EmulatedCamera* camera_ = nullptr;
};

TEST_F(DeviceStream, WaitFrameAnswersNewFrameNoFrameAndFailure) {
  auto device = Open();
  ASSERT_EQ(device->StartStream(1), 1);
  EXPECT_EQ(device->WaitFrame(5000), 3);
  std::vector<uint8_t> frame(device->frame_byte_count());
  EXPECT_EQ(device->GetFrame(frame.data(), 0, 0, 0, 1), 0);
  ASSERT_TRUE(Eventually([&] { return device->running() == 0; }));
  // One frame was taken and the thread has ended: nothing new comes.
  EXPECT_EQ(device->WaitFrame(30), 2);
  EXPECT_EQ(device->frames_produced(), 1u);

  camera_->SetPresent(false);
  EXPECT_EQ(device->StartStream(0), 1);
  ASSERT_TRUE(Eventually([&] { return device->failure_flag() == 1; }));
  EXPECT_EQ(device->WaitFrame(10), 1);
  ASSERT_TRUE(Eventually([&] { return device->running() == 0; }));
  EXPECT_EQ(device->StopStream(1), 1);
}

TEST_F(DeviceStream, ContinuousStreamDeliversAndStops) {
  auto device = Open();
  ASSERT_EQ(device->StartStream(0), 1);
  std::vector<uint8_t> frame(device->frame_byte_count());
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(device->WaitFrame(5000), 3);
    device->GetFrame(frame.data(), 0, 0, 0, 1);
  }
  EXPECT_EQ(device->running(), 1);
  EXPECT_GT(device->transfer_rate(), 0.0);
  EXPECT_EQ(device->StopStream(1), 1);
  EXPECT_EQ(device->running(), 0);
  EXPECT_EQ(device->transfer_mode(), 0);
  EXPECT_GE(device->frames_produced(), 5u);

  int32_t counter = -1;
  uint32_t w28 = 0, w32 = 0, w40 = 0, w44 = 0;
  ASSERT_EQ(device->CopyFrame(frame.data(), frame.size(), &counter, &w28, &w32, &w40, &w44, 0, 1), 1);
  EXPECT_EQ(static_cast<uint32_t>(counter), w32 & 0xFF);
  EXPECT_NE(w28, 0xFFFFu);
}

// The FIFO reset for the next frame goes out before a frame is announced, so
// a frame that ends while the consumer wakes waits in the FIFO.
TEST_F(DeviceStream, NextFifoResetGoesOutBeforeTheFrameIsAnnounced) {
  auto device = Open();
  const size_t resets_before = rig_.port.Requests(0xC2).size();
  ASSERT_EQ(device->StartStream(0), 1);
  std::vector<uint8_t> frame(device->frame_byte_count());
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(device->WaitFrame(5000), 3);
    const uint64_t produced = device->frames_produced();
    EXPECT_GE(rig_.port.Requests(0xC2).size() - resets_before, produced + 1) << "frame " << produced;
    device->GetFrame(frame.data(), 0, 0, 0, 1);
  }
  EXPECT_EQ(device->StopStream(1), 1);
}

TEST_F(DeviceStream, RestartingWhileTheEarlierThreadRunsStopsItFirst) {
  auto device = Open();
  ASSERT_EQ(device->StartStream(0), 1);
  ASSERT_EQ(device->WaitFrame(5000), 3);
  ASSERT_EQ(device->StartStream(0), 1);
  std::vector<uint8_t> frame(device->frame_byte_count());
  device->GetFrame(frame.data(), 0, 0, 0, 1);
  const uint64_t before = device->frames_produced();
  ASSERT_TRUE(Eventually([&] { return device->frames_produced() > before + 2; }));
  EXPECT_EQ(device->StopStream(1), 1);
  EXPECT_EQ(device->running(), 0);
}

TEST_F(DeviceStream, ModeOneTakesOneFrameModeTwoCountsEachStart) {
  auto device = Open();
  ASSERT_EQ(device->StartStream(1), 1);
  ASSERT_EQ(device->WaitFrame(5000), 3);
  ASSERT_TRUE(Eventually([&] { return device->running() == 0; }));
  EXPECT_EQ(device->frames_produced(), 1u);
  EXPECT_EQ(device->counted_frames(), 0);

  ASSERT_EQ(device->StartStream(2), 1);
  ASSERT_EQ(device->WaitFrame(5000), 3);
  ASSERT_TRUE(Eventually([&] { return device->running() == 0; }));
  EXPECT_EQ(device->counted_frames(), 1);
  ASSERT_EQ(device->StartStream(2), 1);
  ASSERT_TRUE(Eventually([&] { return device->running() == 0 && device->counted_frames() == 2; }));
  EXPECT_EQ(device->frames_produced(), 3u);
}

TEST_F(DeviceStream, FourFailedHeaderReadsStillGiveTheFrame) {
  auto device = Open();
  camera_->SetFailHeaderReads(4);
  rig_.port.Clear();
  ASSERT_EQ(device->StartStream(1), 1);
  ASSERT_EQ(device->WaitFrame(20000), 3);
  EXPECT_EQ(device->failure_flag(), 0);
  EXPECT_EQ(camera_->pending_header_faults(), 0u);
  EXPECT_EQ(PulsesOn(rig_, kRestartRegister), 4u);  // one restart pulse per failed header read
}

TEST_F(DeviceStream, FourFailedDataReadsRecoverTheFifthFailureGivesUp) {
  auto device = Open();
  device->SetFrameTimeout(150);
  camera_->SetFailDataReads(4);
  rig_.port.Clear();
  ASSERT_EQ(device->StartStream(1), 1);
  ASSERT_EQ(device->WaitFrame(20000), 3);
  EXPECT_EQ(device->failure_flag(), 0);
  EXPECT_EQ(PulsesOn(rig_, kRestartRegister), 4u);  // the sensor's restart pulse per recovery
  ASSERT_TRUE(Eventually([&] { return device->running() == 0; }));

  camera_->SetFailDataReads(5);
  rig_.port.Clear();
  ASSERT_EQ(device->StartStream(1), 1);
  int answer = 0;
  ASSERT_TRUE(Eventually([&] { return (answer = device->WaitFrame(100)) == 1; }));
  EXPECT_EQ(device->failure_flag(), 1);
  ASSERT_TRUE(Eventually([&] { return device->running() == 0; }));
  EXPECT_EQ(PulsesOn(rig_, kRestartRegister), 4u);
  EXPECT_EQ(device->frames_produced(), 1u);
}

TEST_F(DeviceStream, UnplugWhileStreamingSetsTheFailureFlagAndEndsTheThread) {
  auto device = Open();
  ASSERT_EQ(device->StartStream(0), 1);
  ASSERT_EQ(device->WaitFrame(5000), 3);
  camera_->SetPresent(false);
  int answer = 0;
  ASSERT_TRUE(Eventually([&] { return (answer = device->WaitFrame(100)) == 1; }));
  ASSERT_TRUE(Eventually([&] { return device->running() == 0; }));
  EXPECT_EQ(device->StopStream(1), 1);
  EXPECT_EQ(device->CloseCamera(), 1);
}

TEST_F(DeviceStream, StopReturnsWhenTheThreadIsStuckInATransfer) {
  auto device = Open();
  device->SetFrameTimeout(600000);
  camera_->SetFailDataReads(1);  // the first data read never completes
  ASSERT_EQ(device->StartStream(0), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(device->StopStream(1), 1);
  EXPECT_EQ(device->running(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST_F(DeviceStream, ReleasingWhileStreamingLeavesNoThread) {
  const int before = CMorvexZ3U2Base::live_objects();
  {
    auto device = Open();
    ASSERT_EQ(device->StartStream(0), 1);
    ASSERT_EQ(device->WaitFrame(5000), 3);
    EXPECT_EQ(CMorvexZ3U2Base::live_objects(), before + 1);
  }
  EXPECT_EQ(CMorvexZ3U2Base::live_objects(), before);
}

TEST_F(DeviceStream, CaptureOneFrameFillsBufferZero) {
  auto device = Open();
  EXPECT_EQ(device->CaptureOneFrame(), 0);
  EXPECT_EQ(device->failure_flag(), 0);
  std::vector<uint8_t> frame(device->frame_byte_count());
  EXPECT_EQ(device->CopyFirstFrame(frame.data()), 0);
  // Cooled camera, vertical flag 0: the last line comes first.
  EXPECT_EQ(frame[0], Ramp(0, 511) >> 4);
  EXPECT_EQ(frame[frame.size() - 1], Ramp(639, 0) >> 4);

  camera_->SetPresent(false);
  EXPECT_EQ(device->CaptureOneFrame(), 0);
  EXPECT_EQ(device->failure_flag(), 1);
  EXPECT_EQ(device->WaitFrame(0), 1);
}

TEST_F(DeviceStream, CopyOneByteShortFailsAndCopiesNothing) {
  auto device = Open();
  ASSERT_EQ(device->StartStream(1), 1);
  ASSERT_EQ(device->WaitFrame(5000), 3);
  const uint32_t bytes = static_cast<uint32_t>(device->frame_byte_count());
  std::vector<uint8_t> frame(bytes, 0xAA);
  int32_t counter = 77;
  EXPECT_EQ(device->CopyFrame(frame.data(), bytes - 1, &counter, nullptr, nullptr, nullptr, nullptr, 0, 1),
            0);
  for (uint8_t b : frame) ASSERT_EQ(b, 0xAA);
  EXPECT_EQ(counter, 77);
  EXPECT_EQ(device->CopyFrame(frame.data(), bytes, &counter, nullptr, nullptr, nullptr, nullptr, 0, 1), 1);
  EXPECT_EQ(device->CopyFrame(nullptr, bytes, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 1), 0);
}

TEST_F(DeviceStream, TriggerModeTakesOneFrameAfterTheSwitch) {
  auto options = RampCamera();
  options.trigger_interval_ms = 30;
  auto device = Open(options);
  ASSERT_EQ(device->SetTriggerMode(1, 0), 1);
  EXPECT_EQ(device->trigger_mode(), 1);
  EXPECT_EQ(device->counted_frames(), 1);
  EXPECT_EQ(device->frames_produced(), 1u);
  EXPECT_EQ(device->SetTriggerMode(1, 0), 1);  // unchanged: nothing to do

  // Triggered streaming: the frame thread waits for the counter to move.
  ASSERT_EQ(device->StartStream(0), 1);
  EXPECT_EQ(device->WaitFrame(5000), 3);
  EXPECT_EQ(device->StopStream(1), 1);
  ASSERT_EQ(device->SetTriggerMode(0, 0), 1);
  EXPECT_EQ(device->trigger_mode(), 0);
}

TEST_F(DeviceStream, TwoCamerasStreamAtOnceAndStopInEitherOrder) {
  camera_ = &rig_.AddCamera(RampCamera());
  rig_.AddCamera(RampCamera());
  for (int order = 0; order < 2; ++order) {
    auto first = rig_.MakeDevice();
    auto second = rig_.MakeDevice();
    ASSERT_EQ(first->OpenCamera(0), 1);
    ASSERT_EQ(second->OpenCamera(1), 1);
    ASSERT_EQ(first->StartStream(0), 1);
    ASSERT_EQ(second->StartStream(0), 1);
    ASSERT_EQ(first->WaitFrame(5000), 3);
    ASSERT_EQ(second->WaitFrame(5000), 3);
    CMorvexUSB3T2SimpleSdk* a = order == 0 ? first.get() : second.get();
    CMorvexUSB3T2SimpleSdk* b = order == 0 ? second.get() : first.get();
    EXPECT_EQ(a->StopStream(1), 1);
    EXPECT_EQ(a->running(), 0);
    // The other camera keeps streaming.
    const uint64_t produced = b->frames_produced();
    ASSERT_TRUE(Eventually([&] { return b->frames_produced() > produced + 2; }));
    EXPECT_EQ(b->StopStream(1), 1);
    EXPECT_EQ(b->running(), 0);
  }
}

TEST_F(DeviceStream, SlowConsumerNeverSeesATornFrameAndDropsAreCounted) {
  auto device = Open();
  ASSERT_EQ(device->StartStream(0), 1);
  std::vector<uint8_t> frame(device->frame_byte_count());
  uint64_t taken = 0;
  for (int i = 0; i < 6; ++i) {
    // Let the frame thread finish two frames more than the consumer took.
    const uint64_t seen = device->frames_produced();
    ASSERT_TRUE(Eventually([&] { return device->frames_produced() >= seen + 2; }));
    device->GetFrame(frame.data(), 0, 0, 0, 1);
    ++taken;
    for (int y = 0; y < 512; y += 97)
      for (int x = 0; x < 640; x += 61) ASSERT_EQ(frame[y * 640 + x], Ramp(x, y) >> 4);
  }
  device->StopStream(1);
  EXPECT_GE(device->frames_dropped(), 6u);
  EXPECT_LE(device->frames_dropped() + taken, device->frames_produced());
}

TEST_F(DeviceStream, StartStopLoopsWithAConsumerCopying) {
  auto device = Open();
  std::atomic<bool> done{false};
  std::atomic<int> copies{0};
  ASSERT_EQ(device->ApplySettings(), 1);
  const size_t bytes = static_cast<size_t>(device->frame_byte_count());
  // The camera instance's worker: waits and copies while the stream is
  // started and stopped under it.
  std::thread consumer([&] {
    std::vector<uint8_t> frame(bytes);
    while (!done.load()) {
      if (device->WaitFrame(20) == 3) {
        device->GetFrame(frame.data(), 0, 0, 0, 1);
        copies.fetch_add(1);
      }
    }
  });
  for (int round = 0; round < 12; ++round) {
    ASSERT_EQ(device->StartStream(round % 3 == 2 ? 1 : 0), 1);
    const int before = copies.load();
    ASSERT_TRUE(Eventually([&] { return copies.load() > before; }));
    EXPECT_EQ(device->StopStream(round % 2), 1);
    EXPECT_EQ(device->running(), 0);
  }
  done.store(true);
  consumer.join();
  EXPECT_GE(copies.load(), 12);
}

TEST_F(DeviceStream, ModeThreeEndsAtTheHeaderWithoutData) {
  auto device = Open();
  ASSERT_EQ(device->StartStream(3), 1);
  ASSERT_TRUE(Eventually([&] { return device->running() == 0; }));
  EXPECT_EQ(device->frames_produced(), 0u);
  EXPECT_EQ(device->failure_flag(), 0);
  EXPECT_EQ(device->WaitFrame(10), 2);
}

// Frames through GetFrame (vertical flag 1: upright) are the emulator's ramp
// cut to the window, bit for bit.
struct Geometry {
  const char* name;
  int32_t x, y, width, height, mode;
  int mirror_h, mirror_v;
};

class RampFrames : public ::testing::TestWithParam<std::tuple<uint16_t, int, Geometry>> {};

TEST_P(RampFrames, ArriveBitExact) {
  const uint16_t product_id = std::get<0>(GetParam());
  const int bits = std::get<1>(GetParam());
  const Geometry g = std::get<2>(GetParam());

  Rig rig;
  rig.AddCamera(RampCamera(product_id));
  auto device = rig.MakeDevice(product_id);
  ASSERT_EQ(device->OpenCamera(0), 1);
  if (bits == 16) {
    ASSERT_NE(device->SetDataWidth(1), 0);
  }
  ASSERT_EQ(device->SetWindow(g.x, g.y, g.width, g.height, g.mode), 1);
  device->SetMirrorH(g.mirror_h);
  device->SetMirrorV(g.mirror_v);
  ASSERT_EQ(device->StartStream(1), 1);
  ASSERT_EQ(device->WaitFrame(5000), 3);

  const bool binned = g.mode == 1;
  const int out_width = binned ? g.width / 2 : g.width;
  const int out_height = binned ? g.height / 2 : g.height;
  const int sample_bytes = bits / 8;
  ASSERT_EQ(device->frame_byte_count(), out_width * out_height * sample_bytes);
  std::vector<uint8_t> frame(device->frame_byte_count());
  ASSERT_EQ(device->GetFrame(frame.data(), 0, 0, 0, 1), 0);

  // The uncooled chip is turned by 180 degrees; its driver counts both
  // window edges from the far side, so windows land where they are asked.
  const int left = g.x;
  const int top = g.y;
  int mismatches = 0;
  for (int j = 0; j < out_height && mismatches < 5; ++j) {
    for (int i = 0; i < out_width && mismatches < 5; ++i) {
      const int ci = g.mirror_h ? out_width - 1 - i : i;
      const int cj = g.mirror_v ? out_height - 1 - j : j;
      uint32_t value;
      if (binned) {
        const int sx = left + 2 * ci, sy = top + 2 * cj;
        value = (Ramp(sx, sy) + Ramp(sx + 1, sy) + Ramp(sx, sy + 1) + Ramp(sx + 1, sy + 1)) / 4;
      } else {
        value = Ramp(left + ci, top + cj);
      }
      const size_t at = (static_cast<size_t>(j) * out_width + i) * sample_bytes;
      const uint32_t got = bits == 16 ? static_cast<uint32_t>(frame[at] | frame[at + 1] << 8) : frame[at];
      const uint32_t expected = bits == 16 ? value : value >> 4;
      if (got != expected) {
        ++mismatches;
        ADD_FAILURE() << g.name << " at (" << i << ", " << j << "): got " << got << ", expected " << expected;
      }
    }
  }
  EXPECT_EQ(device->StopStream(1), 1);
}

const Geometry kGeometries[] = {
    {"full", 0, 0, 640, 512, 0, 0, 0},
    {"window", 64, 32, 320, 256, 0, 0, 0},
    {"mirrored", 0, 0, 640, 512, 0, 1, 1},
    {"binned", 0, 0, 640, 512, 1, 0, 0},
};

std::string ModelName(uint16_t product_id) {
  switch (product_id) {
    case 0x3290:
      return "Cooled";
    case 0x3280:
      return "Uncooled";
    case 0x3370:
      return "UncooledImx992";
    case 0x3380:
      return "CooledImx992";
    case 0x33C0:
      return "UncooledImx993";
    default:
      return "Product" + std::to_string(product_id);
  }
}

std::string RampFramesName(const ::testing::TestParamInfo<RampFrames::ParamType>& info) {
  return ModelName(std::get<0>(info.param)) + std::to_string(std::get<1>(info.param)) + "bit_" +
         std::get<2>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Models, RampFrames,
                         ::testing::Combine(::testing::Values(uint16_t{0x3290}, uint16_t{0x3280}),
                                            ::testing::Values(8, 16), ::testing::ValuesIn(kGeometries)),
                         RampFramesName);

// The large pair: a window off the sensor's corner lands where it is asked
// on the uncooled (turned) and the cooled sensor alike.
INSTANTIATE_TEST_SUITE_P(LargeModels, RampFrames,
                         ::testing::Combine(::testing::Values(uint16_t{0x3370}, uint16_t{0x33C0},
                                                              uint16_t{0x3380}),
                                            ::testing::Values(8, 16),
                                            ::testing::Values(Geometry{"window", 64, 32, 320, 256, 0, 0, 0})),
                         RampFramesName);

}  // namespace
}  // namespace morvex
