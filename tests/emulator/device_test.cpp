// The emulated camera's firmware, registers, EEPROM and plug state, driven
// through the driver port with request blocks built here.
#include <gtest/gtest.h>

#include <cmath>

#include "emulator/emulator.h"
#include "emulator/thermal.h"
#include "link.h"

namespace morvex::emulator {
namespace {

using test::Block;
using test::Link;

const platform::Guid kClass = {0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

TEST(EmulatorEnumeration, ReportsPresentCamerasWithIdsAtFixedPositions) {
  EmulatorPort port;
  port.AddCamera();
  EmulatedCameraOptions other;
  other.product_id = 0x33D0;
  other.vendor_id = 0x1234;
  port.AddCamera(other);

  std::vector<std::string> paths = port.EnumerateInterfaces(kClass);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0].substr(0, 12), "\\\\?\\usb#vid_");
  EXPECT_EQ(paths[0].substr(12, 4), "04b4");
  EXPECT_EQ(paths[0].substr(16, 5), "&pid_");
  EXPECT_EQ(paths[0].substr(21, 4), "3290");
  EXPECT_EQ(paths[1].substr(12, 4), "1234");
  EXPECT_EQ(paths[1].substr(21, 4), "33d0");
  EXPECT_NE(paths[0], paths[1]);
  for (const std::string& p : paths) {
    EXPECT_NE(p.find("#{328184c5-93e6-49b7-94b8-2ada13aabb39}"), std::string::npos) << p;
    EXPECT_LE(p.size(), platform::kMaxDevicePath);
  }

  platform::Guid foreign = kClass;
  foreign.data1 ^= 1;
  EXPECT_TRUE(port.EnumerateInterfaces(foreign).empty());

  port.camera(0).SetPresent(false);
  paths = port.EnumerateInterfaces(kClass);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0].substr(21, 4), "33d0");
}

TEST(EmulatorEnumeration, OpensKnownPathsOnlyIgnoringCase) {
  EmulatorPort port;
  std::string path = port.AddCamera().path();
  EXPECT_EQ(port.Open(path + "x", false), nullptr);
  for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  platform::DriverPort::Handle h = port.Open(path, true);
  ASSERT_NE(h, nullptr);
  port.Close(h);
  // A closed handle is no handle.
  uint8_t speed[4] = {};
  EXPECT_EQ(port.IoControl(h, test::kSpeed, speed, 4, speed, 4, nullptr).error,
            platform::kErrorInvalidHandle);
}

TEST(EmulatorFirmware, InformationBlocksCarryTheConfiguredIdentity) {
  EmulatorPort port;
  EmulatedCameraOptions o;
  o.firmware_version = 0x1100;
  o.ready_line = 0;
  o.serial = "SN-42";
  Link link(port, port.AddCamera(o).path());

  test::ControlReply info = link.In(0xB0);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(info.returned, 38u + 64u);
  EXPECT_EQ(info.data[24] | (info.data[25] << 8), 0x1100);
  EXPECT_EQ(info.data[52], 0);

  test::ControlReply info2 = link.In(0xB1);
  ASSERT_TRUE(info2.ok);
  EXPECT_EQ(info2.returned, 38u + 64u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(info2.data.data())), "SN-42");

  EmulatorPort defaults;
  Link plain(defaults, defaults.AddCamera().path());
  info = plain.In(0xB0);
  EXPECT_EQ(info.data[24] | (info.data[25] << 8), 0x1101);
  EXPECT_EQ(info.data[52], 1);
}

TEST(EmulatorFirmware, AnswersEveryRequestWithItsSize) {
  EmulatorPort port;
  Link link(port, port.AddCamera().path());
  EXPECT_EQ(link.Out(0x3C, 0, 0, {0x5A}).returned, 38u + 1u);
  test::ControlReply r = link.In(0x3D);
  EXPECT_EQ(r.returned, 38u + 1u);
  EXPECT_EQ(r.data[0], 0x5A);
  EXPECT_EQ(link.Out(0x3E, 0, 0, {0x12, 0x34, 0x56, 0x78}).returned, 38u + 4u);
  r = link.In(0x3F);
  EXPECT_EQ(r.returned, 38u + 2u);
  EXPECT_EQ(r.data[0] | (r.data[1] << 8), 0x1234);
  EXPECT_EQ(link.Out(0xC0, 0, 0).returned, 38u);
  EXPECT_EQ(link.Send(Block(0x42, 0xCC, 0, 0)).returned, 38u);
  EXPECT_EQ(link.In(0xC3).returned, 38u + 64u);
  EXPECT_EQ(link.Out(0xD0, 0x8000, 0x0123, {0xCD, 0xAB, 0, 0}).returned, 38u + 4u);
  r = link.In(0xD1, 0, 0x8123);
  EXPECT_EQ(r.returned, 38u + 64u);
  EXPECT_EQ(r.data[0] | (r.data[1] << 8), 0xABCD);
  EXPECT_EQ(link.Out(0x30, 3, 0x40, {7, 0, 1}).returned, 38u + 3u);
  EXPECT_EQ(link.Out(0x30, 1, 0x40, {7}).returned, 38u + 1u);
  r = link.In(0x31, 2, 0x41);
  EXPECT_EQ(r.returned, 38u + 2u);
  EXPECT_EQ(r.data[0], 7);  // the register, then its value
  EXPECT_EQ(r.data[1], 1);

  platform::DriverPort::Handle h = port.Open(port.camera(0).path(), false);
  uint8_t speed[4] = {};
  platform::IoResult s = port.IoControl(h, test::kSpeed, speed, 4, speed, 4, nullptr);
  port.Close(h);
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.bytes, 4u);
  EXPECT_EQ(test::Le32(speed), 4u);
}

TEST(EmulatorFirmware, RefusesMalformedRequestsAndChangesNothing) {
  EmulatorPort port;
  EmulatedCamera& camera = port.AddCamera();
  Link link(port, camera.path());
  ASSERT_TRUE(link.WriteFpga(7, 0x11));

  // Out request sent as "in", wrong recipient, wrong block size, unknown
  // request, a read through the write code, an unknown command code.
  EXPECT_FALSE(link.Send(Block(0xC0, 0x30, 3, 0x40, std::vector<uint8_t>{7, 0, 0x22}.data(), 3)).ok);
  EXPECT_FALSE(link.Send(Block(0x40, 0xC2, 0, 0)).ok);
  std::array<uint8_t, 102> wrong_length =
      Block(0x40, 0x30, 3, 0x40, std::vector<uint8_t>{7, 0, 0x22}.data(), 3);
  wrong_length[6] = 64;
  EXPECT_FALSE(link.Send(wrong_length).ok);
  EXPECT_FALSE(link.Out(0x77, 0, 0).ok);
  EXPECT_FALSE(link.In(0x31, 2, 0x40).ok);
  EXPECT_FALSE(link.Out(0x30, 3, 0x44, {7, 0, 0x22}).ok);
  EXPECT_FALSE(link.Out(0x30, 65, 0x40, {7, 0, 0x22}).ok);
  EXPECT_FALSE(link.Out(0x30, 2, 0x40, {7, 0x22}).ok);
  // A sensor at another bus address does not answer.
  EXPECT_FALSE(link.Out(0x30, 3, 0x50, {0x03, 0x20, 0x10}).ok);
  EXPECT_FALSE(link.In(0x31, 1, 0x51).ok);

  EXPECT_EQ(camera.PeekFpgaRegister(7), 0x11);
  EXPECT_EQ(camera.PeekSensorRegister(0x0320), 0);

  // A control block that is too short is refused before it is read.
  platform::DriverPort::Handle h = port.Open(camera.path(), false);
  std::array<uint8_t, 102> b = Block(0xC0, 0xB0, 0, 0);
  EXPECT_EQ(port.IoControl(h, test::kControl, b.data(), 60, b.data(), 60, nullptr).error,
            platform::kErrorInvalidParameter);
  EXPECT_EQ(port.IoControl(h, 0x220099, b.data(), 102, b.data(), 102, nullptr).error,
            platform::kErrorInvalidParameter);
  port.Close(h);
}

TEST(EmulatorFpga, RegisterFileWithReadOnlyIdentity) {
  EmulatorPort port;
  EmulatedCameraOptions o;
  o.fpga_version = 0x8125;
  o.fpga_options = 0x05;
  Link link(port, port.AddCamera(o).path());
  EXPECT_EQ(link.Fpga(0x10), 0x25);
  EXPECT_EQ(link.Fpga(0x11), 0x81);
  EXPECT_EQ(link.Fpga(23), 0x05);
  // Identity, counter and status cannot be written.
  link.WriteFpga(0x10, 0);
  link.WriteFpga(23, 0);
  link.WriteFpga(2, 0xFF);
  EXPECT_EQ(link.Fpga(0x10), 0x25);
  EXPECT_EQ(link.Fpga(23), 0x05);
  EXPECT_EQ(link.Fpga(2), 0);
  for (uint8_t reg : {7, 24, 0x40, 0x4D, 80, 88, 130, 151, 159, 208, 209, 210}) {
    ASSERT_TRUE(link.WriteFpga(reg, static_cast<uint8_t>(reg ^ 0x5A)));
    EXPECT_EQ(link.Fpga(reg), static_cast<uint8_t>(reg ^ 0x5A)) << "register " << int(reg);
  }
  // Auxiliary registers: two-byte write, one-byte read.
  ASSERT_TRUE(link.Out(0x30, 2, 0x5A, {9, 0x99}).ok);
  ASSERT_TRUE(link.Out(0x30, 1, 0x5A, {9}).ok);
  test::ControlReply aux = link.In(0x31, 1, 0x5B);
  EXPECT_EQ(aux.returned, 39u);
  EXPECT_EQ(aux.data[0], 0x99);
}

TEST(EmulatorFpga, StatusShowsBusyOnceAfterEachSensorWrite) {
  EmulatorPort port;
  Link link(port, port.AddCamera().path());
  EXPECT_EQ(link.Fpga(2), 0);
  ASSERT_TRUE(link.WriteSensor(0x0714, 10));
  EXPECT_EQ(link.Fpga(2), 0x02);
  EXPECT_EQ(link.Fpga(2), 0);
  // A bus read does not make it busy.
  link.Sensor(0x0714);
  EXPECT_EQ(link.Fpga(2), 0);
}

TEST(EmulatorSensor, BusWritesAndReadsUseSixteenBitAddresses) {
  EmulatorPort port;
  EmulatedCamera& camera = port.AddCamera();
  Link link(port, camera.path());
  ASSERT_TRUE(link.WriteSensor(0x0714, 0xA4));
  ASSERT_TRUE(link.WriteSensor(0x0715, 0x01));
  EXPECT_EQ(camera.PeekSensorRegister(0x0714), 0xA4);
  EXPECT_EQ(camera.PeekSensorRegister(0x0715), 0x01);
  EXPECT_EQ(camera.PeekSensorRegister(0x1407), 0);
  // Consecutive registers in one transfer.
  ASSERT_TRUE(link.Out(0x30, 2, 0x48, {0x07, 0x14}).ok);
  test::ControlReply r = link.In(0x31, 2, 0x49);
  EXPECT_EQ(r.returned, 40u);
  EXPECT_EQ(r.data[0], 0xA4);
  EXPECT_EQ(r.data[1], 0x01);
  // Power-on values of the IMX991: full window.
  EXPECT_EQ(link.Sensor(0x0324) | (link.Sensor(0x0325) << 8), 640);
  EXPECT_EQ(link.Sensor(0x0326) | (link.Sensor(0x0327) << 8), 512);
}

TEST(EmulatorEeprom, HoldsSerialAndKeepsWritesAcrossReplug) {
  EmulatorPort port;
  port.AddCamera();
  EmulatedCameraOptions second;
  port.AddCamera(second);
  Link first(port, port.camera(0).path());
  Link other(port, port.camera(1).path());
  EXPECT_EQ(first.EepromText(0x1040), "MVX00001");
  EXPECT_EQ(other.EepromText(0x1040), "MVX00002");

  ASSERT_TRUE(first.WriteEeprom(0x1080, 0x3C));
  ASSERT_TRUE(first.WriteEeprom(0x0123, 0x77));
  const char text[] = "NEW-SERIAL";
  for (size_t i = 0; i < sizeof text; ++i)
    ASSERT_TRUE(first.WriteEeprom(static_cast<uint16_t>(0x1040 + i), text[i]));

  port.camera(0).SetPresent(false);
  uint8_t v = 0;
  EXPECT_FALSE(first.ReadEeprom(0x1080, &v));
  port.camera(0).SetPresent(true);
  ASSERT_TRUE(first.ReadEeprom(0x1080, &v));
  EXPECT_EQ(v, 0x3C);
  ASSERT_TRUE(first.ReadEeprom(0x0123, &v));
  EXPECT_EQ(v, 0x77);
  EXPECT_EQ(first.EepromText(0x1040), "NEW-SERIAL");
  EXPECT_EQ(other.EepromText(0x1040), "MVX00002");
  // The last addresses below 8 KiB are there too.
  ASSERT_TRUE(first.WriteEeprom(0x1FFF, 0xA5));
  ASSERT_TRUE(first.ReadEeprom(0x1FFF, &v));
  EXPECT_EQ(v, 0xA5);
}

TEST(EmulatorFirmware, ReadyFlagComesAfterTheConfiguredPolls) {
  EmulatorPort port;
  EmulatedCameraOptions o;
  o.ready_after_polls = 3;
  EmulatedCamera& camera = port.AddCamera(o);
  Link link(port, camera.path());
  for (int i = 0; i < 3; ++i) {
    test::ControlReply r = link.In(0xC3);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.data[0], 0) << "poll " << i;
  }
  EXPECT_EQ(link.In(0xC3).data[0], 1);
  EXPECT_EQ(link.In(0xC3).data[0], 1);
  EXPECT_EQ(camera.ready_polls(), 5u);

  // Power-up starts the count again.
  camera.SetPresent(false);
  camera.SetPresent(true);
  EXPECT_EQ(link.In(0xC3).data[0], 0);

  EmulatedCameraOptions never;
  never.ready_after_polls = 0xFFFFFFFF;
  Link stuck(port, port.AddCamera(never).path());
  for (int i = 0; i < 50; ++i) ASSERT_EQ(stuck.In(0xC3).data[0], 0);
}

TEST(EmulatorPlug, UnplugFailsEverythingAndReplugStartsAfresh) {
  EmulatorPort port;
  EmulatedCamera& camera = port.AddCamera();
  Link link(port, camera.path());
  ASSERT_TRUE(link.WriteFpga(7, 0x42));
  ASSERT_TRUE(link.OpenStream());
  platform::DriverPort::Handle old_stream = link.stream();

  // A read waiting for a frame fails at once on unplug.
  camera.SetPresent(true);
  link.WriteSensor(0x0200, 1);    // standby: no frame will come
  ASSERT_TRUE(link.FifoReset());  // nor one from before
  auto io = port.CreateAsyncIo();
  uint8_t header[38] = {};
  header[13] = 0x81;
  uint8_t buffer[64];
  platform::IoResult r = port.IoControl(old_stream, test::kDirect, header, 38, buffer, 64, io.get());
  ASSERT_EQ(r.error, platform::kErrorIoPending);
  camera.SetPresent(false);
  ASSERT_EQ(io->event().Wait(1000), platform::WaitResult::kSignaled);
  r = port.GetResult(old_stream, *io, false);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, platform::kErrorDeviceNotConnected);

  EXPECT_EQ(port.Open(camera.path(), false), nullptr);
  EXPECT_FALSE(link.WriteFpga(7, 1));
  uint8_t ep = 0x81;
  EXPECT_EQ(port.IoControl(old_stream, test::kAbort, &ep, 1, nullptr, 0, nullptr).error,
            platform::kErrorDeviceNotConnected);

  camera.SetPresent(true);
  // The old handle belongs to the removed device; a new one works, on a
  // freshly powered camera.
  EXPECT_EQ(port.IoControl(old_stream, test::kAbort, &ep, 1, nullptr, 0, nullptr).error,
            platform::kErrorDeviceNotConnected);
  EXPECT_EQ(link.Fpga(7), 0);
  EXPECT_EQ(port.EnumerateInterfaces(kClass).size(), 1u);
  link.CloseStream();
  std::array<uint8_t, 64> h;
  std::vector<uint8_t> data;
  EXPECT_TRUE(link.ReadFrame(&h, &data));
}

TEST(EmulatorStream, AbortAndCloseCompletePendingReadsAtOnce) {
  EmulatorPort port;
  EmulatedCamera& camera = port.AddCamera();
  Link link(port, camera.path());
  link.WriteSensor(0x0200, 1);  // standby keeps the stream empty
  ASSERT_TRUE(link.FifoReset());
  uint8_t header[38] = {};
  header[13] = 0x81;
  uint8_t buffer[64];

  auto io = port.CreateAsyncIo();
  ASSERT_EQ(port.IoControl(link.stream(), test::kDirect, header, 38, buffer, 64, io.get()).error,
            platform::kErrorIoPending);
  EXPECT_EQ(port.GetResult(link.stream(), *io, false).error, platform::kErrorIoIncomplete);
  // The same slot cannot carry a second request while the first is pending.
  EXPECT_EQ(port.IoControl(link.stream(), test::kDirect, header, 38, buffer, 64, io.get()).error,
            platform::kErrorInvalidParameter);
  uint8_t ep = 0x81;
  ASSERT_TRUE(port.IoControl(link.stream(), test::kAbort, &ep, 1, nullptr, 0, nullptr).ok);
  ASSERT_EQ(io->event().Wait(0), platform::WaitResult::kSignaled);
  platform::IoResult r = port.GetResult(link.stream(), *io, true);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, platform::kErrorOperationAborted);

  ASSERT_EQ(port.IoControl(link.stream(), test::kDirect, header, 38, buffer, 64, io.get()).error,
            platform::kErrorIoPending);
  link.CloseStream();
  ASSERT_EQ(io->event().Wait(0), platform::WaitResult::kSignaled);
  EXPECT_EQ(port.GetResult(nullptr, *io, false).error, platform::kErrorOperationAborted);

  // A pending read whose slot is dropped completes into nothing.
  ASSERT_TRUE(link.OpenStream());
  {
    auto gone = port.CreateAsyncIo();
    ASSERT_EQ(port.IoControl(link.stream(), test::kDirect, header, 38, buffer, 64, gone.get()).error,
              platform::kErrorIoPending);
  }
  link.WriteSensor(0x0200, 0);
  std::array<uint8_t, 64> h;
  std::vector<uint8_t> data;
  EXPECT_TRUE(link.ReadFrame(&h, &data));
}

TEST(EmulatorTemperature, RawValuesAreTwelveBitEighthsOfADegree) {
  EXPECT_EQ(TemperatureRaw(25.0), 0x0C8);
  EXPECT_EQ(TemperatureRaw(-25.0), 0xF38);
  EXPECT_EQ(TemperatureRaw(255.875), 0x7FF);
  EXPECT_EQ(TemperatureRaw(-256.0), 0x800);
  EXPECT_EQ(TemperatureRaw(0.125), 0x001);
  EXPECT_EQ(TemperatureRaw(1000.0), 0x7FF);
}

double RawToCelsius(uint32_t raw) {
  const int value = (raw & 0x800) ? static_cast<int>(raw) - 4096 : static_cast<int>(raw);
  return value / 8.0;
}

TEST(EmulatorTemperature, CoolerPullsTowardsTheSetPointWithItsTimeConstant) {
  platform::SimulatedClock clock;
  EmulatorPort port(clock);
  EmulatedCamera& camera = port.AddCamera();  // cooled IMX991
  Link link(port, camera.path());
  auto fpga_temp = [&] { return RawToCelsius(link.Fpga(229) | ((link.Fpga(230) & 0x0F) << 8)); };

  EXPECT_DOUBLE_EQ(fpga_temp(), ThermalModel::kAmbientC);
  ASSERT_TRUE(link.WriteFpga(151, 1));
  clock.Advance(static_cast<uint32_t>(ThermalModel::kTimeConstantS * 1000));
  const double one_tau =
      ThermalModel::kCooledC + (ThermalModel::kAmbientC - ThermalModel::kCooledC) * std::exp(-1.0);
  EXPECT_NEAR(camera.sensor_temperature(), one_tau, 1e-6);
  EXPECT_NEAR(fpga_temp(), one_tau, 0.0625);
  clock.Advance(static_cast<uint32_t>(ThermalModel::kTimeConstantS * 10000));
  EXPECT_NEAR(fpga_temp(), ThermalModel::kCooledC, 0.0625);

  // The sensor's own register shows it only while its readout is enabled.
  EXPECT_EQ(link.Sensor(0x0690), 0);
  ASSERT_TRUE(link.WriteSensor(0x0788, 1));
  EXPECT_EQ(link.Sensor(0x0690) | ((link.Sensor(0x0691) & 0x0F) << 8),
            TemperatureRaw(camera.sensor_temperature()));

  // Off: back towards ambient from where it was.
  ASSERT_TRUE(link.WriteFpga(151, 0));
  const double cold = camera.sensor_temperature();
  clock.Advance(static_cast<uint32_t>(ThermalModel::kTimeConstantS * 1000));
  EXPECT_NEAR(camera.sensor_temperature(),
              ThermalModel::kAmbientC + (cold - ThermalModel::kAmbientC) * std::exp(-1.0), 1e-6);
}

TEST(EmulatorTemperature, UncooledModelsAndOldFpgasDifferAsTheHardwareDoes) {
  platform::SimulatedClock clock;
  EmulatorPort port(clock);
  EmulatedCameraOptions uncooled;
  uncooled.product_id = 0x3280;
  EmulatedCamera& warm = port.AddCamera(uncooled);
  Link link(port, warm.path());
  link.WriteFpga(151, 1);
  clock.Advance(60000);
  EXPECT_DOUBLE_EQ(warm.sensor_temperature(), ThermalModel::kAmbientC);

  // FPGA versions before the temperature copy read 0 there.
  EmulatedCameraOptions old_fpga;
  old_fpga.fpga_version = 0x8023;
  Link old_link(port, port.AddCamera(old_fpga).path());
  EXPECT_EQ(old_link.Fpga(229), 0);
  EXPECT_EQ(old_link.Fpga(230), 0);
  old_link.WriteSensor(0x0788, 1);
  EXPECT_EQ(old_link.Sensor(0x0690), TemperatureRaw(ThermalModel::kAmbientC) & 0xFF);
  // The large pair has the copy from version 0x0105.
  EmulatedCameraOptions large;
  large.product_id = 0x3380;
  large.fpga_version = 0x0105;
  Link large_link(port, port.AddCamera(large).path());
  EXPECT_EQ(large_link.Fpga(229), TemperatureRaw(ThermalModel::kAmbientC) & 0xFF);
  large.fpga_version = 0x0104;
  Link older_link(port, port.AddCamera(large).path());
  EXPECT_EQ(older_link.Fpga(229), 0);
}

}  // namespace
}  // namespace morvex::emulator
