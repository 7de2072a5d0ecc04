// The controller against emulated cameras: the same requests as the protocol
// tests, answered by a virtual device instead of a script.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "emulator/emulator.h"
#include "platform/clock.h"
#include "names.h"
#include "recording_port.h"
#include "usb/driver_ports.h"
#include "usb/qor_cy3_cam.h"

namespace morvex {
namespace {

using emulator::EmulatedCameraOptions;
using emulator::EmulatorPort;

class EmulatedControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EmulatedCameraOptions first;
    first.scene = emulator::Scene::kRamp;
    first.serial = "MVX00042";
    port_.AddCamera(first);
    EmulatedCameraOptions second;
    second.scene = emulator::Scene::kRamp;
    port_.AddCamera(second);
    cam_ = std::make_unique<CQorCy3Cam>(port_, platform::SystemClock(), nullptr, mapping_.c_str());
    ASSERT_EQ(cam_->EnumerateDevices(), 2);
    ASSERT_EQ(cam_->PrepareTransfers(), 1);
  }
  void TearDown() override {
    cam_.reset();
    port_.Shutdown();
  }

  EmulatorPort port_;
  std::string mapping_ = test::UniqueName("emu");
  std::unique_ptr<CQorCy3Cam> cam_;
};

TEST_F(EmulatedControllerTest, CamerasAreNumberedAndIdentify) {
  EXPECT_EQ(cam_->GetEntryProductId(0), 0x3290);
  EXPECT_EQ(cam_->GetEntryVendorId(0), 0x04b4);
  EXPECT_EQ(cam_->GetEntryInstance(0), 0);
  EXPECT_EQ(cam_->GetEntryInstance(1), 1);
  EXPECT_EQ(cam_->GetEntryPath(1), port_.camera(1).path());

  uint8_t info[64] = {};
  EXPECT_EQ(cam_->ReadCameraInfo(info), 1);
  EXPECT_EQ(info[24] | info[25] << 8, 0x1101) << "firmware version";
  EXPECT_EQ(info[52], 1) << "ready line";
  uint8_t ready = 0;
  EXPECT_EQ(cam_->ReadReadyFlag(&ready), 1);
  EXPECT_EQ(ready, 1);
  uint16_t version = 0;
  EXPECT_EQ(cam_->ReadFpgaVersionWord(&version), 1);
  EXPECT_EQ(version, 0x8125);
  uint32_t speed = 0;
  EXPECT_EQ(cam_->GetBusSpeed(&speed), 1);
  EXPECT_EQ(speed, 4u);
  EXPECT_EQ(cam_->ResetEndpoint(0x81), 1);
  EXPECT_EQ(cam_->RestartStream(), 1);
}

TEST_F(EmulatedControllerTest, RegistersAndEepromReachTheRightCamera) {
  ASSERT_EQ(cam_->SelectDevice(1), 1);
  EXPECT_EQ(cam_->WriteFpgaRegister(0x50, 0x5A), 1);
  uint8_t value = 0;
  EXPECT_EQ(cam_->ReadFpgaRegister(0x50, &value), 1);
  EXPECT_EQ(value, 0x5A);
  EXPECT_EQ(port_.camera(1).PeekFpgaRegister(0x50), 0x5A);
  EXPECT_NE(port_.camera(0).PeekFpgaRegister(0x50), 0x5A);

  EXPECT_EQ(cam_->WriteSromByte(0x1080, 0x3C), 1);
  EXPECT_EQ(cam_->ReadSromByte(0x1080, &value), 1);
  EXPECT_EQ(value, 0x3C);
  EXPECT_EQ(port_.camera(1).PeekEeprom(0x1080), 0x3C);

  ASSERT_EQ(cam_->SelectDevice(0), 1);
  std::string serial;
  for (uint16_t address = 0x1040; address < 0x1048; ++address) {
    ASSERT_EQ(cam_->ReadSromByte(address, &value), 1);
    serial.push_back(static_cast<char>(value));
  }
  EXPECT_EQ(serial, "MVX00042");

  // Sensor registers through the sensor's bus address: address, then data.
  const uint8_t write[3] = {0x04, 0x04, 0x01};
  EXPECT_EQ(cam_->WriteCommand(0x48, write, 3, 0), 1);
  EXPECT_EQ(port_.camera(0).PeekSensorRegister(0x0404), 0x01);
  const uint8_t address[2] = {0x04, 0x04};
  uint8_t read = 0;
  EXPECT_EQ(cam_->WriteCommand(0x48, address, 2, 0), 1);
  EXPECT_EQ(cam_->ReadCommand(0x48, &read, 1, 0), 1);
  EXPECT_EQ(read, 0x01);

  // 32-bit register writes read back through request 0xD1 at the same address.
  EXPECT_EQ(cam_->WriteRegister32(0x8123, 0x1234BEEF), 1);
  uint32_t word = 0xFFFFFFFFu;
  EXPECT_EQ(cam_->ReadRegister16(0x8123, &word), 1);
  EXPECT_EQ(word, 0xBEEFu);
}

TEST_F(EmulatedControllerTest, FramesStreamWithHeaderAndData) {
  ASSERT_EQ(cam_->OpenStream(), 1);
  std::vector<uint8_t> image(640 * 512 * 2);
  FrameRecord record{};
  record.buffer = image.data();
  record.capacity = static_cast<uint32_t>(image.size());
  uint32_t last_counter = 0;
  for (int frame = 0; frame < 3; ++frame) {
    ASSERT_EQ(cam_->ReadFrameHeader(&record), 1) << "frame " << frame;
    EXPECT_EQ(FrameByteCount(record), 640u * 512u) << "512 lines of 640 bytes";
    ASSERT_EQ(cam_->ReadFrameData(&record, 3000), 1) << "frame " << frame;
    if (frame > 0) {
      EXPECT_NE(record.frame_counter & 0xFF, last_counter & 0xFF);
    }
    last_counter = record.frame_counter;
  }
  EXPECT_TRUE(cam_->stream_open());
  EXPECT_EQ(cam_->CloseStream(), 1);
  EXPECT_FALSE(cam_->stream_open());
}

TEST_F(EmulatedControllerTest, HeaderTimeoutsAreRetriedWithRestartPulses) {
  port_.camera(0).SetFailHeaderReads(2);
  ASSERT_EQ(cam_->OpenStream(), 1);
  FrameRecord record{};
  EXPECT_EQ(cam_->ReadFrameHeader(&record), 1);
  EXPECT_EQ(port_.camera(0).pending_header_faults(), 0u);
  EXPECT_EQ(port_.camera(0).PeekFpgaRegister(0x6C), 0) << "the pulse ends low";
  cam_->CloseStream();
}

TEST_F(EmulatedControllerTest, UnpluggedCameraKeepsItsEntryButCannotBeSelected) {
  ASSERT_EQ(cam_->SelectDevice(1), 1);
  port_.camera(0).SetPresent(false);
  EXPECT_EQ(cam_->EnumerateDevices(), 2);
  EXPECT_EQ(cam_->IsDeviceOpenable(0), 0);
  EXPECT_EQ(cam_->SelectDevice(0), 0);
  EXPECT_EQ(cam_->selected_table_index(), 1);
  port_.camera(0).SetPresent(true);
  EXPECT_EQ(cam_->EnumerateDevices(), 2);
  EXPECT_EQ(cam_->SelectDevice(0), 1);
}

TEST_F(EmulatedControllerTest, MemoryRequestsAreRefusedCleanly) {
  // The emulated camera has no memory stream; whatever it answers, the
  // controller returns and leaves nothing open.
  std::vector<uint8_t> buffer(100);
  cam_->ReadMemory(0, buffer.data(), 100);
  EXPECT_FALSE(cam_->stream_open());
}

// ---------------------------------------------------------------- merged port

// A second source with one camera of its own, recording what reaches it.
TEST(MergedDriverPortTest, EmulatedAndOtherCamerasWorkSideBySide) {
  auto recording = std::make_shared<test::RecordingPort>();
  const std::string real_path = test::DevicePath(0x04b4, 0x3290, "real");
  recording->SetInterfaces({real_path});
  auto emulated = std::make_shared<EmulatorPort>();
  EmulatedCameraOptions options;
  options.scene = emulator::Scene::kRamp;
  emulated->AddCamera(options);
  MergedDriverPort merged([&] {
    return std::vector<std::shared_ptr<platform::DriverPort>>{recording, emulated};
  });
  {
    const std::string mapping = test::UniqueName("merge");
    CQorCy3Cam cam(merged, platform::SystemClock(), nullptr, mapping.c_str());
    ASSERT_EQ(cam.EnumerateDevices(), 2);
    EXPECT_EQ(cam.GetEntryPath(0), real_path);
    EXPECT_EQ(cam.GetEntryPath(1), emulated->camera(0).path());
    EXPECT_EQ(cam.GetEntryInstance(1), 1);

    // Requests to the emulated camera never reach the other source.
    ASSERT_EQ(cam.SelectDevice(1), 1);
    ASSERT_EQ(cam.PrepareTransfers(), 1);
    recording->ClearCalls();
    uint16_t version = 0;
    EXPECT_EQ(cam.ReadFpgaVersionWord(&version), 1);
    EXPECT_EQ(version, 0x8125);
    ASSERT_EQ(cam.OpenStream(), 1);
    std::vector<uint8_t> image(640 * 512);
    FrameRecord record{};
    record.buffer = image.data();
    record.capacity = static_cast<uint32_t>(image.size());
    ASSERT_EQ(cam.ReadFrameHeader(&record), 1);
    EXPECT_EQ(cam.ReadFrameData(&record, 3000), 1);
    cam.CloseStream();
    EXPECT_TRUE(recording->calls().empty());

    // And the other way round.
    ASSERT_EQ(cam.SelectDevice(0), 1);
    recording->ClearCalls();
    EXPECT_EQ(cam.RestartStream(), 1);
    ASSERT_EQ(recording->io_calls().size(), 1u);
    EXPECT_EQ(recording->io_calls()[0].code, 0x220020u);
  }
  EXPECT_EQ(recording->open_handles(), 0);
  emulated->Shutdown();
}

TEST(MergedDriverPortTest, SourcesThatComeLaterAreAskedAtEveryEnumeration) {
  auto first = std::make_shared<test::RecordingPort>();
  auto second = std::make_shared<test::RecordingPort>();
  const std::string a = test::DevicePath(0x04b4, 0x3290, "a");
  const std::string b = test::DevicePath(0x04b4, 0x3290, "b");
  first->SetInterfaces({a});
  second->SetInterfaces({b});
  bool second_attached = false;
  MergedDriverPort merged([&] {
    std::vector<std::shared_ptr<platform::DriverPort>> sources{first};
    if (second_attached) sources.push_back(second);
    return sources;
  });
  const platform::Guid guid = kFx3InterfaceGuid;
  EXPECT_EQ(merged.EnumerateInterfaces(guid), std::vector<std::string>{a});
  EXPECT_EQ(merged.Open(b, false), nullptr);
  second_attached = true;
  EXPECT_EQ(merged.EnumerateInterfaces(guid), (std::vector<std::string>{a, b}));
  auto handle = merged.Open(b, true);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(second->open_handles(), 1);
  EXPECT_EQ(first->open_handles(), 0);
  merged.Close(handle);
  EXPECT_EQ(second->open_handles(), 0);
}

}  // namespace
}  // namespace morvex
