// Opening, sizing, the readiness wait and the FPGA register rules of the
// device object, against the emulator (on simulated time where it waits).
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "device/device_trace.h"
#include "device_rig.h"

namespace morvex {
namespace {

using test::Rig;

struct TraceLog {
  std::vector<std::string> lines;
  static void Observe(const char* line, void* context) {
    static_cast<TraceLog*>(context)->lines.push_back(line);
  }
};

class ScopedTraceObserver {
 public:
  explicit ScopedTraceObserver(TraceLog& log) { device_trace::SetObserver(&TraceLog::Observe, &log); }
  ~ScopedTraceObserver() { device_trace::SetObserver(nullptr, nullptr); }
};

emulator::EmulatedCameraOptions Camera(uint16_t product_id, uint16_t firmware = 0x1101) {
  emulator::EmulatedCameraOptions o;
  o.product_id = product_id;
  o.firmware_version = firmware;
  return o;
}

TEST(FrameBufferCapacity, AddsSlackAndRoundsTo8KiB) {
  // (1024 + 128) x (1280 + 128) = 1,622,016: already a multiple of 8192.
  EXPECT_EQ(FrameBufferCapacity(1280, 1024, 1), 1622016u);
  // (512 + 128) x (640 + 128) = 491,520 = 60 x 8192.
  EXPECT_EQ(FrameBufferCapacity(640, 512, 1), 491520u);
  // (10 + 128) x (10 + 128) = 19,044 rounds up to 24,576.
  EXPECT_EQ(FrameBufferCapacity(10, 10, 1), 24576u);
  EXPECT_EQ(FrameBufferCapacity(640, 512, 2), 983040u);
  EXPECT_EQ(FrameBufferCapacity(-1, 512, 1), 0u);
}

class DeviceOpen : public ::testing::Test {
 protected:
  platform::SimulatedClock clock_;
  Rig rig_{clock_};
};

TEST_F(DeviceOpen, SizesBuffersFromTheSensorWindow) {
  rig_.AddCamera(Camera(0x3270));  // IMX990, 1280 x 1024
  auto big = rig_.MakeDevice(0x3270);
  ASSERT_EQ(big->OpenCamera(0), 1);
  EXPECT_EQ(big->settings_dirty(), 1);
  ASSERT_EQ(big->ApplySettings(), 1);
  EXPECT_EQ(big->receive_capacity(), 1622016u);
  EXPECT_EQ(big->frame_byte_count(), 1310720);
  EXPECT_EQ(big->settings_dirty(), 0);
  big.reset();

  Rig rig2(clock_);
  rig2.AddCamera(Camera(0x3290));  // IMX991, 640 x 512
  auto small = rig2.MakeDevice();
  ASSERT_EQ(small->OpenCamera(0), 1);
  ASSERT_EQ(small->ApplySettings(), 1);
  EXPECT_EQ(small->receive_capacity(), 491520u);
  EXPECT_EQ(small->frame_byte_count(), 327680);
}

TEST_F(DeviceOpen, SixteenBitDataDoublesTheLineAndTheFpgaWidth) {
  rig_.AddCamera(Camera(0x3290));
  auto device = rig_.MakeDevice();
  ASSERT_EQ(device->OpenCamera(0), 1);
  ASSERT_NE(device->SetDataWidth(1), 0);
  EXPECT_EQ(device->GetBytesPerPixel(), 2);
  rig_.port.Clear();
  ASSERT_EQ(device->ApplySettings(), 1);
  // 1280 samples a line: (512 + 128) x (1280 + 128) = 901,120 = 110 x 8192.
  EXPECT_EQ(device->receive_capacity(), 901120u);
  EXPECT_EQ(device->frame_byte_count(), 655360);
  auto last = [&](uint8_t reg) {
    auto w = rig_.port.WritesTo(reg);
    return w.empty() ? -1 : w.back().value;
  };
  EXPECT_EQ(last(68), 0x00);  // 1280 = 0x500
  EXPECT_EQ(last(69), 0x05);
  EXPECT_EQ(last(64), 0x00);  // 512 = 0x200
  EXPECT_EQ(last(65), 0x02);
}

TEST_F(DeviceOpen, StartOffsetsFollowReadoutMirrorAndFpgaTiming) {
  auto offsets = [&](uint16_t fpga_version, int mirror, int32_t width, int32_t height, int32_t mode) {
    Rig rig(clock_);
    auto o = Camera(0x3290);
    o.fpga_version = fpga_version;
    rig.AddCamera(o);
    auto device = rig.MakeDevice();
    EXPECT_EQ(device->OpenCamera(0), 1);
    device->SetMirrorH(mirror);
    device->SetWindow(0, 0, width, height, mode);
    rig.port.Clear();
    EXPECT_EQ(device->ApplySettings(), 1);
    auto value = [&](uint8_t reg) {
      auto w = rig.port.WritesTo(reg);
      return w.empty() ? -1 : static_cast<int>(w.back().value);
    };
    return std::vector<int>{value(72) | value(73) << 8, value(76) | value(77) << 8};
  };
  EXPECT_EQ(offsets(0x8125, 0, 640, 512, 0), (std::vector<int>{25, 8}));
  EXPECT_EQ(offsets(0x8125, 1, 640, 512, 0), (std::vector<int>{25, 104}));
  EXPECT_EQ(offsets(0xC125, 0, 640, 512, 0), (std::vector<int>{25, 4}));
  EXPECT_EQ(offsets(0xC125, 1, 640, 512, 0), (std::vector<int>{25, 100}));
  EXPECT_EQ(offsets(0x8125, 0, 320, 256, 0), (std::vector<int>{21, 8}));
  EXPECT_EQ(offsets(0x8125, 0, 640, 512, 1), (std::vector<int>{23, 4}));
  EXPECT_EQ(offsets(0xC125, 1, 640, 512, 1), (std::vector<int>{23, 48}));
}

TEST_F(DeviceOpen, ProductIdSetsTheRing) {
  auto device = rig_.MakeDevice();
  EXPECT_EQ(device->ring_size(), 4);
  EXPECT_EQ(device->read_index(), 3);
  device->SetProductId(0x32D0);
  EXPECT_EQ(device->ring_size(), 8);
  EXPECT_EQ(device->read_index(), 7);
  EXPECT_EQ(device->GetProductId(), 0x32D0);
  device->SetProductId(0x3290);
  EXPECT_EQ(device->ring_size(), 4);
  EXPECT_EQ(device->read_index(), 3);
}

TEST_F(DeviceOpen, OpensByInstanceNumberAndRefusesWhatIsNotThere) {
  rig_.AddCamera(Camera(0x3290));
  rig_.AddCamera(Camera(0x3290));
  rig_.AddCamera(Camera(0x3280));

  CMorvexUSB3T2SimpleSdk bare(rig_.port, clock_, rig_.mapping.c_str());
  EXPECT_EQ(bare.OpenCamera(0), 0);  // no controller
  bare.CreateController();
  EXPECT_EQ(bare.OpenCamera(0), 0);  // no product identifier

  auto device = rig_.MakeDevice();
  EXPECT_EQ(device->CountCameras(0), 3);
  EXPECT_EQ(device->CountCameras(0x3290), 2);
  EXPECT_EQ(device->CountCameras(0x3280), 1);
  EXPECT_EQ(device->IsCameraPresent(1), 1);
  EXPECT_EQ(device->IsCameraPresent(2), 0);
  EXPECT_EQ(device->OpenCamera(2), 0);
  EXPECT_EQ(device->sensor(), nullptr);

  ASSERT_EQ(device->OpenCamera(1), 1);
  const int index = device->GetTableIndex();
  EXPECT_EQ(device->GetEntryProductId(index), 0x3290);
  EXPECT_EQ(device->GetEntryInstance(index), 1);
  EXPECT_EQ(device->GetEntryVendorId(index), 0x04B4);
  EXPECT_EQ(device->GetEntryProductId(32), 0);
  EXPECT_EQ(device->GetEntryVendorId(32), 0);
  EXPECT_EQ(device->GetEntryInstance(32), -1);
  EXPECT_EQ(device->GetMaxDevices(), 32);
  ASSERT_NE(device->sensor(), nullptr);
  EXPECT_EQ(device->sensor()->model_code(), 112);

  // The uncooled model gets its own sensor class.
  auto other = rig_.MakeDevice(0x3280);
  ASSERT_EQ(other->OpenCamera(0), 1);
  EXPECT_EQ(other->sensor()->model_code(), 111);

  EXPECT_EQ(device->CloseCamera(), 1);
  EXPECT_EQ(device->controller(), nullptr);
  EXPECT_EQ(device->sensor(), nullptr);
  EXPECT_EQ(device->frame_byte_count(), 0);
  EXPECT_EQ(device->firmware_version(), 0);
}

TEST_F(DeviceOpen, FixedAnswersWithoutCamera) {
  auto device = rig_.MakeDevice();
  EXPECT_EQ(device->Unused9(), 0);
  EXPECT_EQ(device->Unused33(), -1);
  EXPECT_EQ(device->UsesSecondaryEndpoint(), 0);
  EXPECT_EQ(device->IsMemoryStreamModel(), 0);
  device->SetProductId(0x3320);
  EXPECT_EQ(device->IsMemoryStreamModel(), 1);
  EXPECT_EQ(device->IsMemoryStreamModelAlias(), 1);
  device->SetProductId(0x3042);
  EXPECT_EQ(device->UsesSecondaryEndpoint(), 1);
  EXPECT_EQ(device->WriteFpgaRegister(7, 1), 0);  // refused for that model
  int32_t ok = 5;
  EXPECT_EQ(device->ReadFpgaRegister(7, &ok), 0);
  EXPECT_EQ(ok, 0);
  // Forwarders answer 0 without a sensor; null buffers are refused.
  int32_t value = 0;
  EXPECT_EQ(device->GetGain(&value), 0);
  EXPECT_EQ(device->GetMaxWidth(), 0);
  EXPECT_EQ(device->CopyDescriptor(nullptr), 0);
  EXPECT_EQ(device->GetCameraInfoBlock(nullptr), 0);
  EXPECT_EQ(device->CopyFirstFrame(nullptr), -2);
  EXPECT_EQ(device->ApplySettings(), 0);
  EXPECT_EQ(device->CaptureOneFrame(), 2);
}

TEST_F(DeviceOpen, FirmwareWithoutReadyLineSkipsTheWaitAndTraces) {
  TraceLog log;
  ScopedTraceObserver observe(log);
  rig_.AddCamera(Camera(0x3290, 0x1100));
  auto device = rig_.MakeDevice();
  ASSERT_EQ(device->OpenCamera(0), 1);
  EXPECT_TRUE(rig_.port.ready_polls().empty());
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0], "Cypress=0x1100(NG), GPIO25 flag=1(OK)");
  EXPECT_EQ(device->firmware_version(), 0x1100);
}

TEST_F(DeviceOpen, ReadyOnTheThirdPoll) {
  auto o = Camera(0x3290, 0x1101);
  o.ready_after_polls = 2;
  rig_.AddCamera(o);
  auto device = rig_.MakeDevice();
  const uint32_t start = clock_.TickCount();
  ASSERT_EQ(device->OpenCamera(0), 1);
  const auto polls = rig_.port.ready_polls();
  ASSERT_EQ(polls.size(), 3u);
  // Two 500 ms pauses between the polls: ready after about a second.
  EXPECT_EQ(polls[2] - polls[0], 1000u);
  EXPECT_LT(polls[0] - start, 500u);
  EXPECT_TRUE(rig_.port.WritesTo(130).empty());
}

TEST_F(DeviceOpen, NeverReadyPulsesRegister130AndGivesUp) {
  auto o = Camera(0x3290, 0x1101);
  o.ready_after_polls = 0xFFFFFFFFu;
  rig_.AddCamera(o);
  auto device = rig_.MakeDevice();
  EXPECT_EQ(device->OpenCamera(0), 0);
  const auto polls = rig_.port.ready_polls();
  ASSERT_EQ(polls.size(), 400u);
  const auto writes = rig_.port.WritesTo(130);
  ASSERT_GE(writes.size(), 6u);
  ASSERT_EQ(writes.size() % 3, 0u);
  // Each pulse: bit 0 cleared, set 50 ms later, cleared 50 ms after that.
  std::vector<uint32_t> pulse_starts;
  for (size_t i = 0; i < writes.size(); i += 3) {
    EXPECT_EQ(writes[i].value & 1, 0);
    EXPECT_EQ(writes[i + 1].value & 1, 1);
    EXPECT_EQ(writes[i + 2].value & 1, 0);
    EXPECT_EQ(writes[i + 1].tick - writes[i].tick, 50u);
    EXPECT_EQ(writes[i + 2].tick - writes[i + 1].tick, 50u);
    pulse_starts.push_back(writes[i].tick);
  }
  // The first pulse comes 25 s after the start, the next 25 s after that one.
  EXPECT_GE(pulse_starts[0] - polls[0], 25000u);
  EXPECT_LT(pulse_starts[0] - polls[0], 25500u);
  EXPECT_GE(pulse_starts[1] - pulse_starts[0], 25000u);
  EXPECT_LT(pulse_starts[1] - pulse_starts[0], 25700u);
  // One pulse per 50 polls of 500 ms: the last one follows the 400th poll.
  EXPECT_EQ(pulse_starts.size(), 8u);
}

TEST_F(DeviceOpen, CorrectionLevelSplitsIntoTwoRegisters) {
  rig_.AddCamera(Camera(0x3290));  // FPGA version 0x8125: internal correction present
  auto device = rig_.MakeDevice();
  ASSERT_EQ(device->OpenCamera(0), 1);
  ASSERT_EQ(device->HasCorrectionControl(), 1);
  EXPECT_EQ(device->GetCorrectionLevelMin(), 0);
  EXPECT_EQ(device->GetCorrectionLevelMax(), 0xFFFF);
  rig_.port.Clear();
  ASSERT_EQ(device->SetCorrectionLevel(0x1234), 1);
  const auto writes = rig_.port.writes();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].reg, 208);
  EXPECT_EQ(writes[0].value, 0x34);
  EXPECT_EQ(writes[1].reg, 210);
  EXPECT_EQ(writes[1].value, 0x12);
  int32_t level = 0;
  ASSERT_EQ(device->GetCorrectionLevel(&level), 1);
  EXPECT_EQ(level, 0x1234);

  ASSERT_EQ(device->SetInternalCorrection(1), 1);
  EXPECT_EQ(device->GetInternalCorrection(), 1);
  rig_.port.Clear();
  EXPECT_EQ(device->SetInternalCorrection(1), 1);  // already on: nothing written
  EXPECT_TRUE(rig_.port.WritesTo(209).empty());
  ASSERT_EQ(device->SetInternalCorrection(0), 1);
  EXPECT_EQ(device->GetInternalCorrection(), 0);
}

TEST_F(DeviceOpen, NoCorrectionWithoutTheFpgaFeature) {
  auto o = Camera(0x3290);
  o.fpga_version = 0x0125;
  rig_.AddCamera(o);
  auto device = rig_.MakeDevice();
  ASSERT_EQ(device->OpenCamera(0), 1);
  EXPECT_EQ(device->HasCorrectionControl(), 0);
  EXPECT_EQ(device->GetCorrectionLevelMax(), 0);
  rig_.port.Clear();
  EXPECT_EQ(device->SetCorrectionLevel(0x1234), 0);
  EXPECT_TRUE(rig_.port.writes().empty());
}

TEST_F(DeviceOpen, RegisterEepromAndTimeoutRules) {
  auto& camera = rig_.AddCamera(Camera(0x3290));
  auto device = rig_.MakeDevice();
  ASSERT_EQ(device->OpenCamera(0), 1);

  rig_.port.Clear();
  EXPECT_EQ(device->WaitFpgaIdle(0), 0);
  EXPECT_EQ(device->WaitFpgaIdle(100), 1);

  ASSERT_EQ(device->WriteFpgaRegister(7, 0x1A5), 1);
  EXPECT_EQ(camera.PeekFpgaRegister(7), 0xA5);
  int32_t ok = 0;
  EXPECT_EQ(device->ReadFpgaRegister(7, &ok), 0xA5);
  EXPECT_EQ(ok, 1);

  ASSERT_EQ(device->WriteSromByte1080(0x5C), 1);
  EXPECT_EQ(camera.PeekEeprom(0x1080), 0x5C);
  uint8_t byte = 0;
  ASSERT_EQ(device->ReadSromByte1080(&byte), 1);
  EXPECT_EQ(byte, 0x5C);

  EXPECT_EQ(device->frame_timeout(), 5000);
  device->SetExposureTime(50000);
  EXPECT_EQ(device->frame_timeout(), 5000);
  device->SetExposureTime(100000);  // 10 s: twice the exposure
  EXPECT_EQ(device->frame_timeout(), 20000);
  device->SetExposureTime(100);
  EXPECT_EQ(device->frame_timeout(), 5000);
  device->SetRealExposureTime(1.5);
  EXPECT_EQ(device->frame_timeout(), 5000);
  device->SetRealExposureTime(3.0);
  EXPECT_EQ(device->frame_timeout(), 4000);
  // Values from a settings store may be anything: refused, or capped.
  EXPECT_EQ(device->SetRealExposureTime(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(device->SetRealExposureTime(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(device->frame_timeout(), 4000);
  device->SetRealExposureTime(1e300);
  EXPECT_EQ(device->frame_timeout(), 2147483647);
  device->SetFrameTimeout(1234);
  EXPECT_EQ(device->frame_timeout(), 1234);

  EXPECT_EQ(device->ReadFrameCounter(), 1);
  EXPECT_EQ(device->last_frame_counter(), camera.frame_counter() & 0xFF);
}

TEST_F(DeviceOpen, SetWindowWithTheCurrentValuesChangesNothing) {
  rig_.AddCamera(Camera(0x3290));
  auto device = rig_.MakeDevice();
  ASSERT_EQ(device->OpenCamera(0), 1);
  ASSERT_EQ(device->ApplySettings(), 1);
  int32_t x, y, w, h, m;
  ASSERT_EQ(device->GetWindow(&x, &y, &w, &h, &m), 1);
  rig_.port.Clear();
  EXPECT_EQ(device->SetWindow(x, y, w, h, m), 1);
  EXPECT_EQ(device->settings_dirty(), 0);
  EXPECT_EQ(device->SetWindow(0, 0, 320, 256, 0), 1);
  EXPECT_EQ(device->settings_dirty(), 1);
  ASSERT_EQ(device->GetWindow(&x, &y, &w, &h, &m), 1);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 256);
}

}  // namespace
}  // namespace morvex
