// The FX3 driver port on a machine without the camera driver: nothing is
// found and nothing fails.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/fx3_driver_port.h"
#include "names.h"
#include "recording_port.h"
#include "usb/qor_cy3_cam.h"

namespace morvex {
namespace {

TEST(Fx3DriverPort, WithoutTheDriverNoCameraIsFound) {
  auto port = platform::CreateFx3DriverPort();
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->EnumerateInterfaces(kFx3InterfaceGuid).empty());
  const std::string path = test::DevicePath(0x04b4, 0x3290, "6&1a2b3c4d&0&1");
  EXPECT_EQ(port->Open(path, true), nullptr);
  EXPECT_EQ(port->Open(path, false), nullptr);
  auto io = port->CreateAsyncIo();
  ASSERT_NE(io, nullptr);
  EXPECT_FALSE(port->IoControl(nullptr, kIoctlBusSpeed, nullptr, 0, nullptr, 0, nullptr).ok);
}

TEST(Fx3DriverPort, ControllerOnTheDriverFailsCleanly) {
  auto port = platform::CreateFx3DriverPort();
  platform::SimulatedClock clock;
  const std::string mapping = test::UniqueName("fx3");
  CQorCy3Cam cam(*port, clock, nullptr, mapping.c_str());
  EXPECT_EQ(cam.EnumerateDevices(), 0);
  EXPECT_EQ(cam.IsDeviceOpenable(0), 0);
  EXPECT_EQ(cam.SelectDevice(0), 0);
  EXPECT_EQ(cam.OpenStream(), 0);
  EXPECT_EQ(cam.PrepareTransfers(), 1) << "the buffer exists even without a camera";
  uint8_t value = 0x55;
  EXPECT_EQ(cam.ReadFpgaRegister(0x10, &value), 0);
  EXPECT_EQ(value, 0x55);
  FrameRecord record{};
  EXPECT_EQ(cam.ReadFrameHeader(&record), 0);
  EXPECT_EQ(cam.AbortStream(), 0);
  EXPECT_EQ(cam.ReleaseStream(), 1);
}

}  // namespace
}  // namespace morvex
