// The sensor classes end to end: factory, controller and an emulated camera.
// Everything runs on one simulated clock, so the slow sequences cost nothing.
#include "emulator/emulator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "names.h"
#include "sensors/sensor_factory.h"
#include "usb/qor_cy3_cam.h"

namespace morvex {
namespace {

class SensorOnEmulator : public ::testing::Test {
 protected:
  // One emulated camera of `product` on a port of its own, opened as the
  // device object opens it.
  void Open(uint16_t product, uint16_t fpga_version = 0x8125) {
    Close();
    port_ = std::make_unique<emulator::EmulatorPort>(clock_);
    emulator::EmulatedCameraOptions options;
    options.product_id = product;
    options.fpga_version = fpga_version;
    camera_ = &port_->AddCamera(options);
    controller_ = std::make_unique<CQorCy3Cam>(*port_, clock_, nullptr,
                                               test::UniqueName("sensor-" + std::to_string(product)).c_str());
    ASSERT_EQ(controller_->EnumerateDevices(), 1);
    ASSERT_EQ(controller_->PrepareTransfers(), 1);
    ASSERT_EQ(controller_->SelectDevice(0), 1);
    sensor_ = CreateSensor(product, controller_.get(), clock_);
    ASSERT_NE(sensor_, nullptr);
    ASSERT_EQ(sensor_->Probe(), 1);
    ASSERT_EQ(sensor_->Initialize(), 1);
  }
  void Close() {
    sensor_.reset();
    controller_.reset();
    if (port_) port_->Shutdown();
    port_.reset();
  }
  void TearDown() override { Close(); }
  uint32_t Sensor16(uint16_t address) const {
    return camera_->PeekSensorRegister(address) | camera_->PeekSensorRegister(address + 1) << 8;
  }
  uint32_t Sensor24(uint16_t address) const {
    return Sensor16(address) | static_cast<uint32_t>(camera_->PeekSensorRegister(address + 2)) << 16;
  }

  platform::SimulatedClock clock_;
  std::unique_ptr<emulator::EmulatorPort> port_;
  emulator::EmulatedCamera* camera_ = nullptr;
  std::unique_ptr<CQorCy3Cam> controller_;
  std::unique_ptr<CSensorBase> sensor_;
};

TEST_F(SensorOnEmulator, Imx991InitializeProgramsTheSensor) {
  Open(0x3290);
  // Full 640 x 512 window, top counted from the top on the cooled camera.
  EXPECT_EQ(Sensor16(0x0320), 0u);
  EXPECT_EQ(Sensor16(0x0322), 0u);
  EXPECT_EQ(Sensor16(0x0324), 640u);
  EXPECT_EQ(Sensor16(0x0326), 512u);
  EXPECT_EQ(camera_->PeekSensorRegister(0x023C), 0);
  EXPECT_EQ(camera_->PeekSensorRegister(0x0702), 0);
  EXPECT_EQ(camera_->PeekSensorRegister(0x07C0), 60);  // FPGA 0x8125 has no fast timing
  EXPECT_EQ(Sensor16(0x02D8), 972u);
  // 556 lines on the sensor clock: 561; default exposure 539 lines.
  EXPECT_EQ(Sensor24(0x02D4), 561u);
  EXPECT_EQ(Sensor24(0x0440), 561u - 539u);
  EXPECT_EQ(Sensor16(0x0714), 0u);
  EXPECT_EQ(camera_->PeekSensorRegister(0x0404), 0);
  EXPECT_EQ(camera_->PeekFpgaRegister(76), 8);   // horizontal offset, mirror off
  EXPECT_EQ(camera_->PeekFpgaRegister(159), 0);  // bus released
  // Reading back through the guarded access agrees.
  uint8_t value = 0;
  ASSERT_EQ(sensor_->ReadRegister(0x0324, &value), 1);
  EXPECT_EQ(value, 0x80);
}

TEST_F(SensorOnEmulator, ExposureMovesTheFramePeriod) {
  Open(0x3290);
  const double short_period = camera_->frame_period_ms();
  ASSERT_GT(short_period, 0.0);
  ASSERT_EQ(sensor_->SetExposureLines(5000), 1);
  EXPECT_EQ(Sensor24(0x02D4), 5015u);
  EXPECT_EQ(Sensor24(0x0440), 15u);
  const double long_period = camera_->frame_period_ms();
  // The frame grows with the lines it holds.
  EXPECT_NEAR(long_period / short_period, 5015.0 / 561.0, 0.05 * 5015.0 / 561.0);
  EXPECT_NEAR(sensor_->frame_period_ms(), long_period, 2.0);
  ASSERT_EQ(sensor_->SetExposureTime(10), 1);  // 1 ms
  EXPECT_NEAR(camera_->frame_period_ms(), short_period, 0.01 * short_period);
}

// The fastest the camera runs: the fast line timing of FPGA version bit 14
// and an exposure shorter than the frame. The default 7 ms exposure does not
// fit a 3.86 ms frame and stretches it to 1031 lines.
TEST_F(SensorOnEmulator, Imx991FastLinesFramePeriod) {
  struct Case {
    int32_t exposure;  // 0.1 ms
    uint32_t frame_lines;
  };
  for (const Case c : {Case{1, 561}, Case{10, 561}, Case{70, 1031}}) {
    SCOPED_TRACE(c.exposure);
    Open(0x3290, 0xC125);
    ASSERT_EQ(sensor_->SetExposureTime(c.exposure), 1);
    EXPECT_EQ(Sensor24(0x02D4), c.frame_lines);
    EXPECT_EQ(Sensor16(0x02D8), 516u);
    const double period = c.frame_lines * 6.880557337977816 / 1000.0;
    EXPECT_NEAR(camera_->frame_period_ms(), period, 1e-9);
    // Frames that end over ten seconds of camera time.
    uint8_t counter = 0;
    ASSERT_EQ(controller_->ReadFpgaRegister(8, &counter), 1);
    const uint32_t before = camera_->frame_counter();
    clock_.Advance(10000);
    ASSERT_EQ(controller_->ReadFpgaRegister(8, &counter), 1);
    const double frames = camera_->frame_counter() - before;
    EXPECT_NEAR(frames, 10000 / period, 1.0);
  }
}

TEST_F(SensorOnEmulator, WindowAndMirrorReachTheSensor) {
  Open(0x3290);
  ASSERT_EQ(sensor_->SetWindow(64, 320, 32, 256, 0), 1);
  EXPECT_EQ(Sensor16(0x0320), 64u);
  EXPECT_EQ(Sensor16(0x0322), 36u);  // cropped height starts 4 lines lower
  EXPECT_EQ(Sensor16(0x0324), 320u);
  EXPECT_EQ(Sensor16(0x0326), 256u);
  EXPECT_EQ(camera_->PeekSensorRegister(0x0304), 2);
  ASSERT_EQ(sensor_->SetMirrorH(1), 1);
  EXPECT_EQ(camera_->PeekSensorRegister(0x0404), 2);
  EXPECT_EQ(camera_->PeekFpgaRegister(76), 104);
}

TEST_F(SensorOnEmulator, TemperatureFallsWithTheCoolerOn) {
  Open(0x3290);
  ASSERT_EQ(sensor_->HasCooler(), 1);
  double before = 0;
  ASSERT_EQ(sensor_->GetTemperature(&before), 1);
  EXPECT_NEAR(before, camera_->sensor_temperature(), 0.25);
  ASSERT_EQ(sensor_->SetCooler(1), 1);
  EXPECT_EQ(sensor_->GetCooler(), 1);
  clock_.Advance(60000);
  double after = 0;
  ASSERT_EQ(sensor_->GetTemperature(&after), 1);
  EXPECT_LT(after, before - 5.0);
  EXPECT_NEAR(after, camera_->sensor_temperature(), 0.25);
  ASSERT_EQ(sensor_->SetCooler(0), 1);
  EXPECT_EQ(sensor_->GetCooler(), 0);
  clock_.Advance(60000);
  double warm = 0;
  ASSERT_EQ(sensor_->GetTemperature(&warm), 1);
  EXPECT_GT(warm, after + 5.0);
}

TEST_F(SensorOnEmulator, EveryModelInitializesToItsFullWindow) {
  struct Row {
    uint16_t product;
    uint32_t width;
    uint32_t height;
  };
  for (const Row& row : {Row{0x3260, 1280, 1024}, Row{0x3380, 2560, 2048}, Row{0x33C0, 2048, 1536}}) {
    SCOPED_TRACE(row.product);
    Open(row.product);
    EXPECT_EQ(Sensor16(0x0324), row.width);
    EXPECT_EQ(Sensor16(0x0326), row.height);
    EXPECT_EQ(camera_->PeekSensorRegister(0x0702), 0);
    EXPECT_EQ(camera_->PeekFpgaRegister(159), 0);
  }
}

}  // namespace
}  // namespace morvex
