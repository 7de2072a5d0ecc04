// Direct device operations against the emulator: the clock mode and its
// bus-speed rule, bus words on the two-wire bus behind the FPGA, and device
// names by table index.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device_rig.h"
#include "sensors/sensor_imx990.h"

namespace morvex {
namespace {

using test::IoCall;
using test::Rig;

emulator::EmulatedCameraOptions Camera(uint16_t product_id) {
  emulator::EmulatedCameraOptions o;
  o.product_id = product_id;
  return o;
}

// The camera's own sensor class, noting what the device hands to its clock
// mode (the IMX991 itself has no clock modes and always answers 0).
class ClockModeSensor : public CSensorIMX991 {
 public:
  using CSensorIMX991::CSensorIMX991;
  int32_t SetClockMode(int32_t mode) override {
    passed.push_back(mode);
    return 1;
  }
  std::vector<int32_t> passed;
};

class ClockModeDevice : public CMorvexUSB3T2SimpleSdk {
 public:
  using CMorvexUSB3T2SimpleSdk::CMorvexUSB3T2SimpleSdk;
  ClockModeSensor* UseClockModeSensor() {
    auto sensor = std::make_unique<ClockModeSensor>(controller_.get(), 0x48, clock_);
    ClockModeSensor* observed = sensor.get();
    sensor_ = std::move(sensor);
    return observed;
  }
};

std::vector<IoCall> CallsWithCode(const std::vector<IoCall>& calls, uint32_t code) {
  std::vector<IoCall> result;
  for (const IoCall& c : calls)
    if (c.code == code) result.push_back(c);
  return result;
}

class DeviceAccess : public ::testing::Test {
 protected:
  platform::SimulatedClock clock_;
  Rig rig_{clock_};
};

TEST_F(DeviceAccess, ClockModeTwoNeedsASuperSpeedLink) {
  rig_.AddCamera(Camera(0x3290));
  ClockModeDevice device(rig_.port, clock_, rig_.mapping.c_str());
  EXPECT_EQ(device.SetClockMode(2), 0);  // no sensor yet
  device.CreateController();
  device.SetProductId(0x3290);
  ASSERT_EQ(device.OpenCamera(0), 1);

  // The IMX991 has no clock modes: the bus speed is asked, nothing written.
  rig_.port.Clear();
  EXPECT_EQ(device.SetClockMode(2), 0);
  ASSERT_EQ(rig_.port.calls().size(), 1u);
  EXPECT_EQ(rig_.port.calls()[0].code, kIoctlBusSpeed);

  ClockModeSensor* sensor = device.UseClockModeSensor();
  rig_.port.Clear();
  const size_t handles_before = rig_.port.open_handles();
  EXPECT_EQ(device.SetClockMode(2), 1);  // the emulated link is SuperSpeed (4)
  const auto calls = rig_.port.calls();
  ASSERT_EQ(calls.size(), 1u);
  // The query goes on a request handle of its own, closed again.
  EXPECT_EQ(calls[0].code, kIoctlBusSpeed);
  EXPECT_FALSE(calls[0].overlapped_handle);
  EXPECT_EQ(calls[0].in_size, 4u);
  EXPECT_EQ(calls[0].out_size, 4u);
  EXPECT_EQ(rig_.port.open_handles(), handles_before);

  rig_.port.SetBusSpeed(3);  // high speed: mode 2 becomes 0
  EXPECT_EQ(device.SetClockMode(2), 1);
  rig_.port.FailBusSpeed();  // unreadable speed: mode 2 is passed on
  EXPECT_EQ(device.SetClockMode(2), 1);
  rig_.port.SetBusSpeed(4);
  EXPECT_EQ(device.SetClockMode(2), 1);
  EXPECT_EQ(CallsWithCode(rig_.port.calls(), kIoctlBusSpeed).size(), 4u);

  // Other modes pass unchanged, whatever the link, without a query.
  rig_.port.Clear();
  rig_.port.SetBusSpeed(3);
  EXPECT_EQ(device.SetClockMode(0), 1);
  EXPECT_EQ(device.SetClockMode(1), 1);
  EXPECT_EQ(device.SetClockMode(3), 1);
  EXPECT_TRUE(rig_.port.calls().empty());
  EXPECT_EQ(sensor->passed, (std::vector<int32_t>{2, 0, 2, 2, 0, 1, 3}));
}

TEST_F(DeviceAccess, BusWordsReachTheTwoWireBusOnceTheFpgaIsIdle) {
  auto& camera = rig_.AddCamera(Camera(0x3290));
  auto device = rig_.MakeDevice();
  ASSERT_EQ(device->OpenCamera(0), 1);

  // 7-bit bus address 0x24 is the sensor's (command 0x48): the first word
  // addresses a register, the second goes to it and the one after.
  ASSERT_EQ(device->WaitFpgaIdle(100), 1);  // past the busy spell of the sensor set-up
  rig_.port.Clear();
  ASSERT_EQ(device->WriteBusWords(0x24, 0x3000, 0xA1B2), 1);
  EXPECT_EQ(camera.PeekSensorRegister(0x3000), 0xA1);
  EXPECT_EQ(camera.PeekSensorRegister(0x3001), 0xB2);
  auto writes = rig_.port.Requests(0x30);
  auto reads = rig_.port.Requests(0x31);
  // One look at the status register, then the four bytes.
  ASSERT_EQ(writes.size(), 2u);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(writes[0].header.index, 0x40);
  EXPECT_EQ(writes[0].header.value, 1);
  EXPECT_EQ(writes[0].data[0], 2);
  EXPECT_EQ(reads[0].header.index, 0x41);
  EXPECT_EQ(writes[1].header.index, 0x48);
  EXPECT_EQ(writes[1].header.value, 4);
  const uint8_t sent[4] = {0x30, 0x00, 0xA1, 0xB2};
  EXPECT_EQ(0, std::memcmp(writes[1].data, sent, 4));
  EXPECT_EQ(writes[1].data[4], 0);

  // The bus is busy for a moment after a write: the next transfer waits
  // for the status bit and looks again a millisecond later.
  rig_.port.Clear();
  ASSERT_EQ(device->WriteBusWords(0x24, 0x2FFE, 0x1122), 1);
  EXPECT_EQ(rig_.port.Requests(0x31).size(), 2u);
  writes = rig_.port.Requests(0x30);
  ASSERT_EQ(writes.size(), 3u);
  const uint8_t second_sent[4] = {0x2F, 0xFE, 0x11, 0x22};
  EXPECT_EQ(0, std::memcmp(writes[2].data, second_sent, 4));

  // That write left the bus at 0x3000: reading four bytes gives both words
  // high byte first.
  rig_.port.Clear();
  uint16_t first = 0, second = 0;
  ASSERT_EQ(device->ReadBusWords(0x24, &first, &second), 1);
  EXPECT_EQ(first, 0xA1B2);
  EXPECT_EQ(second, (camera.PeekSensorRegister(0x3002) << 8) | camera.PeekSensorRegister(0x3003));
  reads = rig_.port.Requests(0x31);
  ASSERT_EQ(reads.size(), 3u);  // two status looks, then the words
  EXPECT_EQ(reads[2].header.index, 0x49);
  EXPECT_EQ(reads[2].header.value, 4);
  const auto calls = rig_.port.calls();
  EXPECT_GE(calls.back().tick - calls.front().tick, 1u);

  // A camera that is gone: both fail, the words stay as they were.
  camera.SetPresent(false);
  EXPECT_EQ(device->WriteBusWords(0x24, 0x3000, 0), 0);
  first = second = 0x5555;
  EXPECT_EQ(device->ReadBusWords(0x24, &first, &second), 0);
  EXPECT_EQ(first, 0x5555);
  EXPECT_EQ(second, 0x5555);

  CMorvexUSB3T2SimpleSdk bare(rig_.port, clock_, rig_.mapping.c_str());
  EXPECT_EQ(bare.WriteBusWords(0x24, 1, 2), 0);
  EXPECT_EQ(bare.ReadBusWords(0x24, &first, &second), 0);
}

TEST_F(DeviceAccess, ControllerNamesNoCameraOfItsOwn) {
  rig_.AddCamera(Camera(0x3290));
  auto& other = rig_.AddCamera(Camera(0x3042));
  auto device = rig_.MakeDevice();
  ASSERT_EQ(device->CountCameras(0), 2);

  // This camera's names are made by the camera instance, and other models'
  // names are not formed here: the text is never touched.
  std::string name = "unchanged";
  EXPECT_EQ(device->GetDeviceName(0, &name), 0);
  EXPECT_EQ(device->GetDeviceName(1, &name), 0);
  EXPECT_EQ(device->GetDeviceName(2, &name), 0);
  EXPECT_EQ(device->GetDeviceName(32, &name), 0);
  EXPECT_EQ(device->GetDeviceName(-1, &name), 0);
  other.SetPresent(false);
  EXPECT_EQ(device->GetDeviceName(1, &name), 0);
  EXPECT_EQ(name, "unchanged");
  EXPECT_EQ(device->GetDeviceName(0, nullptr), 0);
  CMorvexUSB3T2SimpleSdk bare(rig_.port, clock_, rig_.mapping.c_str());
  EXPECT_EQ(bare.GetDeviceName(0, &name), 0);
}

}  // namespace
}  // namespace morvex
