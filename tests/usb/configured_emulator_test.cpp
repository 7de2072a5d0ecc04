// Emulated cameras configured the way a user configures them: values under
// the emulator's registry key, read by the same port the library's default
// driver port puts beside the FX3 driver.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "platform/settings_store.h"
#include "platform/test_namespace.h"
#include "paths.h"
#include "names.h"
#include "recording_port.h"
#include "usb/qor_cy3_cam.h"

namespace morvex {
namespace {

// The key the library reads in this program's test namespace.
const std::string kEmulatorKey = platform::InTestNamespace("Software\\Quisto\\MorvexEmulator");

class ConfiguredEmulator : public ::testing::Test {
 protected:
  // A private store file natively; the emulator's key itself in both builds.
  static void SetUpTestSuite() {
    settings_ = new test::PrivateSettings();
    platform::SettingsKey::DeleteTree(kEmulatorKey);
  }
  static void TearDownTestSuite() {
    platform::SettingsKey::DeleteTree(kEmulatorKey);
    delete settings_;
    settings_ = nullptr;
  }

  // One sensor register through the sensor bus (address 0x48): the 16-bit
  // address is written first, then the byte is read.
  static int SensorRegister(CQorCy3Cam& cam, uint16_t address) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    uint8_t value = 0;
    if (cam.WriteCommand(0x48, bytes, 2, 0) != 1 || cam.ReadCommand(0x48, &value, 1, 0) != 1) return -1;
    return value;
  }

  static std::string Serial(CQorCy3Cam& cam) {
    std::string text;
    for (uint16_t address = 0x1040; address < 0x1060; ++address) {
      uint8_t value = 0;
      if (cam.ReadSromByte(address, &value) != 1) return "<read failed>";
      if (value == 0) break;
      text.push_back(static_cast<char>(value));
    }
    return text;
  }

  static test::PrivateSettings* settings_;
};
test::PrivateSettings* ConfiguredEmulator::settings_ = nullptr;

// In one test, in order: the emulated cameras are process-wide once made.
TEST_F(ConfiguredEmulator, TwoCamerasFromTheRegistryIdentifyAndStreamRampFrames) {
  platform::SettingsKey root, first, second;
  ASSERT_TRUE(root.Create(kEmulatorKey));
  ASSERT_TRUE(first.Create(std::string(kEmulatorKey) + "\\Camera_00"));
  ASSERT_TRUE(second.Create(std::string(kEmulatorKey) + "\\Camera_01"));
  ASSERT_TRUE(first.SetDword("Scene", 1));
  ASSERT_TRUE(second.SetDword("Scene", 1));
  ASSERT_TRUE(second.SetString("Serial", "MVX04711"));
  ASSERT_TRUE(second.SetDword("FpgaVersion", 0x8126));
  ASSERT_TRUE(root.SetDword("Cameras", 2));

  const std::string mapping = test::UniqueName("configured");
  const std::shared_ptr<platform::DriverPort> port = emulator::ConfiguredPort();
  ASSERT_TRUE(port) << "two cameras are configured";
  CQorCy3Cam cam(*port, platform::SystemClock(), nullptr, mapping.c_str());
  ASSERT_EQ(cam.EnumerateDevices(), 2);
  ASSERT_EQ(cam.PrepareTransfers(), 1);
  for (int index = 0; index < 2; ++index) {
    SCOPED_TRACE(index);
    EXPECT_EQ(cam.GetEntryVendorId(index), 0x04B4);
    EXPECT_EQ(cam.GetEntryProductId(index), 0x3290);
    EXPECT_EQ(cam.GetEntryInstance(index), index);
  }

  ASSERT_EQ(cam.SelectDevice(0), 1);
  uint8_t info[64] = {};
  ASSERT_EQ(cam.ReadCameraInfo(info), 1);
  EXPECT_EQ(info[24] | info[25] << 8, 0x1101) << "firmware version";
  EXPECT_EQ(info[52], 1) << "ready line";
  uint16_t fpga = 0;
  ASSERT_EQ(cam.ReadFpgaVersionWord(&fpga), 1);
  EXPECT_EQ(fpga, 0x8125);
  EXPECT_EQ(Serial(cam), "MVX00001");
  EXPECT_EQ(SensorRegister(cam, 0x0324), 640 & 0xFF) << "window width, low byte";
  EXPECT_EQ(SensorRegister(cam, 0x0325), 640 >> 8);

  ASSERT_EQ(cam.SelectDevice(1), 1);
  ASSERT_EQ(cam.ReadFpgaVersionWord(&fpga), 1);
  EXPECT_EQ(fpga, 0x8126);
  EXPECT_EQ(Serial(cam), "MVX04711");

  // The frame period the sensor is programmed with: frame length (three
  // bytes from 0x02D4) times the line period of an FPGA without bit 14.
  int frame_length = 0;
  for (int byte = 2; byte >= 0; --byte) {
    const int value = SensorRegister(cam, static_cast<uint16_t>(0x02D4 + byte));
    ASSERT_GE(value, 0);
    frame_length = frame_length << 8 | value;
  }
  ASSERT_GT(frame_length, 0);
  const double period_ms = frame_length * 12.961774681455678 / 1000.0;

  ASSERT_EQ(cam.OpenStream(), 1);
  std::vector<uint8_t> image(640 * 512);
  FrameRecord record{};
  record.buffer = image.data();
  record.capacity = static_cast<uint32_t>(image.size());
  constexpr int kFrames = 20;
  uint32_t first_counter = 0, counted = 0, previous = 0;
  std::chrono::steady_clock::time_point start;
  for (int frame = 0; frame < kFrames; ++frame) {
    ASSERT_EQ(cam.ReadFrameHeader(&record), 1) << "frame " << frame;
    const auto arrived = std::chrono::steady_clock::now();
    ASSERT_EQ(FrameByteCount(record), 640u * 512u) << "512 lines of 640 one-byte samples";
    ASSERT_EQ(cam.ReadFrameData(&record, 3000), 1) << "frame " << frame;
    if (frame == 0) {
      start = arrived;
      first_counter = previous = record.frame_counter;
      // Ramp: the upper 8 bits of (x + 4y) mod 4096.
      for (int y : {0, 1, 255, 511}) {
        for (int x : {0, 15, 16, 639}) {
          EXPECT_EQ(image[y * 640 + x], ((x + 4 * y) % 4096) >> 4) << "x " << x << " y " << y;
        }
      }
    } else {
      // Frames produced since the first, also those this reader was too slow for.
      counted += (record.frame_counter - previous) & 0xFF;
      previous = record.frame_counter;
      if (frame == kFrames - 1) {
        const double elapsed_ms = std::chrono::duration<double, std::milli>(arrived - start).count();
        ASSERT_GT(counted, 0u);
        EXPECT_NEAR(elapsed_ms / counted, period_ms, 1.0)
            << counted << " frames from counter " << first_counter << " in " << elapsed_ms << " ms";
      }
    }
  }
  EXPECT_EQ(cam.CloseStream(), 1);

  // Unplugged through the registry, the camera's path no longer opens; it
  // comes back under the same path.
  // Present is re-read at least every 100 ms.
  const auto selection_becomes = [&cam](int expected) {
    for (int tries = 0; tries < 100; ++tries) {
      if (cam.SelectDevice(1) == expected) return true;
      platform::SystemClock().Sleep(20);
    }
    return false;
  };
  ASSERT_TRUE(second.SetDword("Present", 0));
  EXPECT_TRUE(selection_becomes(0)) << "still opens after the unplug";
  ASSERT_TRUE(second.SetDword("Present", 1));
  EXPECT_TRUE(selection_becomes(1)) << "does not open after the replug";
  EXPECT_EQ(Serial(cam), "MVX04711");
}

}  // namespace
}  // namespace morvex
