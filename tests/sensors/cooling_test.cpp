// Cooler switching and the two temperature paths.
#include <gtest/gtest.h>

#include "recording_controller.h"
#include "sensors/sensor_factory.h"
#include "sensors/sensor_imx990.h"
#include "sensors/sensor_imx992.h"

namespace morvex {
namespace {

using test::FpgaWrite;
using test::RecordingController;
using test::SensorWrite;

class CoolingTest : public ::testing::Test {
 protected:
  platform::SimulatedClock clock_;
  RecordingController controller_{clock_};
};

TEST_F(CoolingTest, CooledImx990WritesWholeRegister) {
  std::unique_ptr<CSensorBase> sensor = CreateSensor(0x3270, &controller_, clock_);
  ASSERT_EQ(sensor->HasCooler(), 1);
  controller_.fpga[151] = 0xF0;
  EXPECT_EQ(sensor->SetCooler(-5), 1);
  EXPECT_EQ(controller_.fpga[151], 0);
  EXPECT_EQ(sensor->GetCooler(), 0);
  EXPECT_EQ(sensor->SetCooler(3), 1);
  EXPECT_EQ(controller_.fpga[151], 1);
  EXPECT_EQ(sensor->GetCooler(), 1);
  controller_.failing_fpga_writes.insert(151);
  EXPECT_EQ(sensor->SetCooler(0), 0);
  controller_.failing_fpga_reads.insert(151);
  EXPECT_EQ(sensor->GetCooler(), 0);
}

TEST_F(CoolingTest, CooledImx992KeepsTheOtherBits) {
  std::unique_ptr<CSensorBase> sensor = CreateSensor(0x3380, &controller_, clock_);
  ASSERT_EQ(sensor->HasCooler(), 1);
  controller_.fpga[151] = 0xA4;
  EXPECT_EQ(sensor->SetCooler(1), 1);
  EXPECT_EQ(controller_.fpga[151], 0xA5);
  EXPECT_EQ(sensor->GetCooler(), 1);
  EXPECT_EQ(sensor->SetCooler(0), 1);
  EXPECT_EQ(controller_.fpga[151], 0xA4);
  // An unreadable register counts as 0.
  controller_.failing_fpga_reads.insert(151);
  EXPECT_EQ(sensor->SetCooler(1), 1);
  EXPECT_EQ(controller_.fpga[151], 0x01);
}

TEST_F(CoolingTest, UncooledModelsHaveNoCooler) {
  for (uint16_t product : {0x3260, 0x3280, 0x3370, 0x33C0}) {
    SCOPED_TRACE(product);
    std::unique_ptr<CSensorBase> sensor = CreateSensor(product, &controller_, clock_);
    controller_.fpga[151] = 1;
    EXPECT_EQ(sensor->HasCooler(), 0);
    EXPECT_EQ(sensor->GetCooler(), 0);
    EXPECT_EQ(sensor->SetCooler(1), 0);
    EXPECT_EQ(sensor->HasTemperature(), 1);
  }
  EXPECT_EQ(controller_.CountFpgaWrites(151), 0u);
  EXPECT_EQ(controller_.CountFpgaReads(151), 0u);
}

TEST_F(CoolingTest, Imx992ReadsTheSensorBelowVersion0105) {
  controller_.version = 0x0104;
  controller_.sensor[0x0788] = 0x40;
  controller_.sensor[0x0690] = 0xC8;
  controller_.sensor[0x0691] = 0xF0;  // upper bits are not part of the value
  std::unique_ptr<CSensorBase> sensor = CreateSensor(0x3370, &controller_, clock_);
  double celsius = 0;
  ASSERT_EQ(sensor->GetTemperature(&celsius), 1);
  EXPECT_DOUBLE_EQ(celsius, 25.0);
  // The readout is switched on around the read and off again, without the
  // guarded bus frame.
  EXPECT_EQ(controller_.SensorWrites(), (std::vector<SensorWrite>{{0x0788, 0x41}, {0x0788, 0x40}}));
  EXPECT_EQ(controller_.CountFpgaReads(229), 0u);
  EXPECT_EQ(controller_.CountFpgaWrites(159), 0u);
}

TEST_F(CoolingTest, Imx992ReadsTheFpgaCopyFromVersion0105) {
  controller_.version = 0x0105;
  controller_.fpga[229] = 0x38;
  controller_.fpga[230] = 0x0F;
  std::unique_ptr<CSensorBase> sensor = CreateSensor(0x3370, &controller_, clock_);
  double celsius = 0;
  ASSERT_EQ(sensor->GetTemperature(&celsius), 1);
  EXPECT_DOUBLE_EQ(celsius, -25.0);
  EXPECT_EQ(controller_.CountFpgaReads(229), 1u);
  EXPECT_TRUE(controller_.SensorWrites().empty());
  EXPECT_EQ(sensor->GetTemperature(nullptr), 0);
}

TEST_F(CoolingTest, FpgaCopyIsRetriedWhileItReadsZero) {
  controller_.version = 0x8024;
  std::unique_ptr<CSensorBase> sensor = CreateSensor(0x3290, &controller_, clock_);
  double celsius = 1;
  ASSERT_EQ(sensor->GetTemperature(&celsius), 1);
  EXPECT_EQ(celsius, 0.0);
  EXPECT_EQ(controller_.CountFpgaReads(229), 5u);
  EXPECT_EQ(controller_.CountFpgaReads(230), 5u);
}

TEST_F(CoolingTest, Imx990PairThresholdIs8024) {
  controller_.sensor[0x0690] = 0xFF;
  controller_.sensor[0x0691] = 0x07;
  controller_.fpga[229] = 0x01;
  controller_.fpga[230] = 0x00;
  {
    controller_.version = 0x8023;
    std::unique_ptr<CSensorBase> sensor = CreateSensor(0x3290, &controller_, clock_);
    double celsius = 0;
    ASSERT_EQ(sensor->GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, 255.875);
  }
  {
    controller_.version = 0x8024;
    std::unique_ptr<CSensorBase> sensor = CreateSensor(0x3290, &controller_, clock_);
    double celsius = 0;
    ASSERT_EQ(sensor->GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, 0.125);
  }
  // A version that cannot be read takes the sensor path.
  controller_.version.reset();
  controller_.sensor[0x0690] = 0x00;
  controller_.sensor[0x0691] = 0x08;
  std::unique_ptr<CSensorBase> sensor = CreateSensor(0x3260, &controller_, clock_);
  double celsius = 0;
  ASSERT_EQ(sensor->GetTemperature(&celsius), 1);
  EXPECT_DOUBLE_EQ(celsius, -256.0);
}

}  // namespace
}  // namespace morvex
