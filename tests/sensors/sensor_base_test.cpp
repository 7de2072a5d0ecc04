// Base services, the descriptor block and the factory.
#include <gtest/gtest.h>

#include <cstring>

#include "recording_controller.h"
#include "sensors/sensor_factory.h"
#include "sensors/sensor_imx990.h"
#include "sensors/sensor_imx992.h"

namespace morvex {
namespace {

using test::BusEvent;
using test::RecordingController;

int32_t WordAt(const uint8_t* block, size_t word) {
  int32_t value;
  std::memcpy(&value, block + word * 4, 4);
  return value;
}

double DoubleAt(const uint8_t* block, size_t offset) {
  double value;
  std::memcpy(&value, block + offset, 8);
  return value;
}

class SensorBaseTest : public ::testing::Test {
 protected:
  platform::SimulatedClock clock_;
  RecordingController controller_{clock_};
};

TEST_F(SensorBaseTest, FactoryMapsEveryProductToItsClassAndModelCode) {
  struct Row {
    uint16_t product;
    int32_t model;
    int32_t max_width;
    int32_t orientation;
    int32_t cooler;
  };
  const Row rows[] = {
      {0x3260, 109, 1280, 4, 0}, {0x3270, 110, 1280, 1, 1}, {0x3280, 111, 640, 4, 0},
      {0x3290, 112, 640, 1, 1},  {0x3370, 129, 2560, 4, 0}, {0x3380, 130, 2560, 1, 1},
      {0x33C0, 131, 2048, 4, 0}, {0x33D0, 132, 2048, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.product);
    std::unique_ptr<CSensorBase> sensor = CreateSensor(row.product, &controller_, clock_);
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->model_code(), row.model);
    EXPECT_EQ(sensor->descriptor().max_width, row.max_width);
    EXPECT_EQ(sensor->descriptor().orientation, row.orientation);
    EXPECT_EQ(sensor->HasCooler(), row.cooler);
    EXPECT_EQ(sensor->bus_address(), 0x48);
    EXPECT_EQ(SensorModelCodeFor(row.product), row.model);
  }
  // The camera this library is built for.
  EXPECT_NE(dynamic_cast<CSensorIMX991*>(CreateSensor(0x3290, &controller_, clock_).get()), nullptr);
  EXPECT_NE(dynamic_cast<CSensorIMX993*>(CreateSensor(0x33D0, &controller_, clock_).get()), nullptr);
}

TEST_F(SensorBaseTest, FactoryYieldsNothingForOtherProducts) {
  for (uint16_t product : {0x0000, 0x3042, 0x3250, 0x32D0, 0x3310, 0x33E0, 0xFFFF}) {
    EXPECT_EQ(CreateSensor(product, &controller_, clock_), nullptr) << product;
    EXPECT_EQ(SensorModelCodeFor(product), 0);
  }
  EXPECT_TRUE(controller_.Events().empty());
}

TEST_F(SensorBaseTest, SetModelCodeAcceptsOnlyTheClassCodes) {
  CSensorIMX992 sensor(&controller_, 0x48, clock_);
  EXPECT_EQ(sensor.descriptor().orientation, 4);
  EXPECT_EQ(sensor.SetModelCode(130), 0);
  EXPECT_EQ(sensor.model_code(), 130);
  EXPECT_EQ(sensor.descriptor().orientation, 1);
  EXPECT_NE(sensor.SetModelCode(112), 0);  // another class's code
  EXPECT_EQ(sensor.model_code(), 130);
  EXPECT_EQ(sensor.descriptor().orientation, 1);
  EXPECT_EQ(sensor.SetModelCode(129), 0);
  EXPECT_EQ(sensor.descriptor().orientation, 4);
}

TEST_F(SensorBaseTest, DescriptorCopiesOutByteExact) {
  CSensorIMX993 sensor(&controller_, 0x48, clock_);
  uint8_t block[368];
  std::memset(block, 0xEE, sizeof block);
  EXPECT_EQ(sensor.CopyDescriptor(nullptr), 0);
  ASSERT_EQ(sensor.CopyDescriptor(reinterpret_cast<SensorDescriptor*>(block)), 1);
  EXPECT_EQ(std::memcmp(block, &sensor.descriptor(), sizeof block), 0);

  // Word positions of the published layout.
  EXPECT_EQ(WordAt(block, 0), 2048);
  EXPECT_EQ(WordAt(block, 1), 1536);
  EXPECT_EQ(WordAt(block, 4), 2048);  // default width
  EXPECT_EQ(WordAt(block, 5), 1536);
  EXPECT_EQ(WordAt(block, 6), 0);
  EXPECT_EQ(WordAt(block, 7), 1);
  EXPECT_EQ(WordAt(block, 12), 2080);  // line length
  EXPECT_EQ(WordAt(block, 13), 1628);  // frame length
  EXPECT_EQ(WordAt(block, 16), 0);     // 1 only for IMX990/IMX991
  EXPECT_EQ(WordAt(block, 21), 420);   // gain maximum
  EXPECT_EQ(WordAt(block, 24), 1);
  EXPECT_EQ(WordAt(block, 25), 2);         // exposure lines minimum
  EXPECT_EQ(WordAt(block, 26), 16777163);  // maximum
  EXPECT_EQ(WordAt(block, 27), 1576);
  EXPECT_EQ(WordAt(block, 28), 1576);
  EXPECT_EQ(WordAt(block, 50), 1);  // exposure time 0.1 ms
  EXPECT_EQ(WordAt(block, 51), 20000);
  EXPECT_EQ(WordAt(block, 52), 102);
  EXPECT_EQ(WordAt(block, 60), 0);  // black level
  EXPECT_EQ(WordAt(block, 61), 4095);
  EXPECT_EQ(WordAt(block, 62), 240);
  EXPECT_EQ(WordAt(block, 63), 240);
  EXPECT_EQ(WordAt(block, 64), 1);
  EXPECT_EQ(WordAt(block, 65), 1);  // gain mode supported
  EXPECT_DOUBLE_EQ(DoubleAt(block, 272), 0.000027842);
  EXPECT_DOUBLE_EQ(DoubleAt(block, 280), 2.0);
  EXPECT_DOUBLE_EQ(DoubleAt(block, 288), 0.010290322);
  EXPECT_DOUBLE_EQ(DoubleAt(block, 296), 0.010290322);
  EXPECT_EQ(WordAt(block, 76), 1);
  EXPECT_EQ(WordAt(block, 84), 1);  // vertical mirror supported
  EXPECT_EQ(WordAt(block, 87), 1);  // horizontal mirror supported
  EXPECT_EQ(WordAt(block, 88), 0);  // data width not set on this pair
  EXPECT_EQ(WordAt(block, 89), 54545);
  EXPECT_EQ(WordAt(block, 90), 4);
  EXPECT_EQ(WordAt(block, 91), 0);
}

TEST_F(SensorBaseTest, ConstructorValuesOfEachClass) {
  CSensorIMX990 imx990(&controller_, 0x48, clock_);
  CSensorIMX991 imx991(&controller_, 0x48, clock_);
  CSensorIMX992 imx992(&controller_, 0x48, clock_);
  const SensorDescriptor& a = imx990.descriptor();
  EXPECT_EQ(a.line_length, 1376);
  EXPECT_EQ(a.frame_length, 1048);
  EXPECT_EQ(a.exposure_lines, 1064);
  EXPECT_EQ(a.exposure_time, 138);
  EXPECT_DOUBLE_EQ(a.real_exposure, 0.0138);
  EXPECT_EQ(a.data_width, 8);
  EXPECT_EQ(a.device_layout_flag, 1);
  EXPECT_EQ(a.black_level_supported, 0);
  EXPECT_EQ(imx990.GetTriggerState(), 15);
  const SensorDescriptor& b = imx991.descriptor();
  EXPECT_EQ(b.max_height, 512);
  EXPECT_EQ(b.line_length, 736);
  EXPECT_EQ(b.frame_length, 536);
  EXPECT_EQ(b.exposure_lines, 539);
  EXPECT_DOUBLE_EQ(b.real_exposure_min, 0.000020333);
  const SensorDescriptor& c = imx992.descriptor();
  EXPECT_EQ(c.exposure_lines_max, 16777177);
  EXPECT_DOUBLE_EQ(c.real_exposure_min, 0.00001304);
  EXPECT_EQ(imx992.GetTriggerState(), 0);
  EXPECT_EQ(imx992.current_frame_length(), 2140);
  EXPECT_EQ(imx992.current_line_length(), 489);
  // Defaults of slots the family leaves alone.
  EXPECT_EQ(imx990.HasGainLevel(), 0);
  EXPECT_EQ(imx990.GetGainLevel(), -1);
  EXPECT_EQ(imx990.SupportsColorSetting0(), 1);
  EXPECT_EQ(imx990.SupportsColorSetting2(), 0);
  EXPECT_EQ(imx992.SupportsColorSetting1(), 1);
  EXPECT_EQ(imx992.HasTriggerOutput(), 0);
  EXPECT_EQ(imx992.SetBlackLevel(10), 0);
  EXPECT_EQ(imx990.HasAuxiliary(), 0);
  EXPECT_EQ(imx990.Probe(), 1);
  EXPECT_EQ(imx990.HasTemperature(), 1);
}

TEST_F(SensorBaseTest, ReadFpgaVersionRetriesThenCaches) {
  CSensorIMX991 sensor(&controller_, 0x48, clock_);
  controller_.version.reset();
  uint16_t version = 0;
  EXPECT_EQ(sensor.ReadFpgaVersion(&version), 0);
  EXPECT_EQ(controller_.CountVersionReads(), 10u);
  EXPECT_EQ(clock_.TotalSlept(), 900u);  // 100 ms between ten tries

  controller_.version = 0x4123;
  controller_.ClearEvents();
  EXPECT_EQ(sensor.ReadFpgaVersion(&version), 1);
  EXPECT_EQ(version, 0x4123);
  controller_.version = 0x0001;
  EXPECT_EQ(sensor.ReadFpgaVersion(&version), 1);
  EXPECT_EQ(version, 0x4123);
  EXPECT_EQ(controller_.CountVersionReads(), 1u);
}

TEST_F(SensorBaseTest, FpgaWriteVerifiedComparesTheLowByte) {
  CSensorIMX992 sensor(&controller_, 0x48, clock_);
  controller_.fpga_read_override[84] = 0xC8;
  EXPECT_EQ(sensor.FpgaWriteVerified(84, 712), 1);
  EXPECT_EQ(controller_.CountFpgaWrites(84), 1u);
  EXPECT_EQ(clock_.TotalSlept(), 5u);

  // Never matching: ten attempts, each waiting after the write and after
  // the mismatch.
  controller_.fpga_read_override[84] = 0xC9;
  controller_.ClearEvents();
  const uint64_t slept = clock_.TotalSlept();
  EXPECT_EQ(sensor.FpgaWriteVerified(84, 712), 0);
  EXPECT_EQ(controller_.CountFpgaWrites(84), 10u);
  EXPECT_EQ(clock_.TotalSlept() - slept, 100u);

  // A failed write goes straight to the next attempt without reading.
  controller_.failing_fpga_writes.insert(85);
  controller_.ClearEvents();
  const uint64_t before = clock_.TotalSlept();
  EXPECT_EQ(sensor.FpgaWriteVerified(85, 1), 0);
  EXPECT_EQ(controller_.CountFpgaReads(85), 0u);
  EXPECT_EQ(clock_.TotalSlept(), before);

  // The timed twin holds 1 ms timer resolution throughout and restores it.
  controller_.fpga_read_override.erase(84);
  EXPECT_EQ(sensor.FpgaWriteVerifiedTimed(84, 3), 1);
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);
}

TEST_F(SensorBaseTest, PulseRestartWritesOneThenZero) {
  CSensorIMX991 sensor(&controller_, 0x48, clock_);
  EXPECT_EQ(sensor.PulseRestart(), 1);
  EXPECT_EQ(controller_.FpgaWrites(), (std::vector<test::FpgaWrite>{{108, 1}, {108, 0}}));
  EXPECT_EQ(clock_.TotalSlept(), 2u);
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);
}

TEST_F(SensorBaseTest, FpgaOptionByteIsReadOnce) {
  CSensorIMX991 sensor(&controller_, 0x48, clock_);
  controller_.fpga[23] = 0x81;
  EXPECT_EQ(sensor.FpgaOptionByte(), 0x81);
  controller_.fpga[23] = 0x00;
  EXPECT_EQ(sensor.FpgaOptionByte(), 0x81);
  EXPECT_EQ(controller_.CountFpgaReads(23), 1u);
}

TEST_F(SensorBaseTest, WithoutControllerEveryHardwareOperationFails) {
  for (uint16_t product : {0x3260, 0x3290, 0x3380, 0x33C0}) {
    SCOPED_TRACE(product);
    std::unique_ptr<CSensorBase> sensor = CreateSensor(product, nullptr, clock_);
    ASSERT_NE(sensor, nullptr);
    uint16_t version = 0;
    uint8_t byte = 0;
    double celsius = 0;
    EXPECT_EQ(sensor->ReadFpgaVersion(&version), 0);
    EXPECT_EQ(sensor->Initialize(), 0);
    EXPECT_EQ(sensor->WriteRegister(0x0200, 1), 0);
    EXPECT_EQ(sensor->ReadRegister(0x0200, &byte), 0);
    EXPECT_EQ(sensor->WriteRegisterRaw(0x0200, 1), 0);
    EXPECT_EQ(sensor->ReadRegisterRaw(0x0200, &byte), 0);
    EXPECT_EQ(sensor->SetWindow(0, 512, 0, 512, 0), 0);
    EXPECT_EQ(sensor->SetExposureLines(100), 0);
    EXPECT_EQ(sensor->SetExposureTime(100), 0);
    EXPECT_EQ(sensor->SetGain(10), 0);
    EXPECT_EQ(sensor->SetMirrorV(1), 0);
    EXPECT_EQ(sensor->SetTriggerMode(1), 0);
    EXPECT_EQ(sensor->SetCooler(1), 0);
    EXPECT_EQ(sensor->GetCooler(), 0);
    EXPECT_EQ(sensor->FpgaWriteVerified(88, 0), 0);
    EXPECT_EQ(sensor->PulseRestart(), 0);
    EXPECT_EQ(sensor->HasInternalCorrection(), 0);
    // The temperature still answers: nothing read converts to 0 degrees.
    EXPECT_EQ(sensor->GetTemperature(&celsius), 1);
    EXPECT_EQ(celsius, 0.0);
  }
  EXPECT_EQ(clock_.TotalSlept(), 0u);
}

TEST_F(SensorBaseTest, RawTransfersUseTheBusAddressAndThreeSecondTimeout) {
  CSensorIMX992 sensor(&controller_, 0x48, clock_);
  controller_.sensor[0x0714] = 0x5A;
  uint8_t value = 0;
  ASSERT_EQ(sensor.ReadRegisterRaw(0x0714, &value), 1);
  EXPECT_EQ(value, 0x5A);
  ASSERT_EQ(sensor.WriteRegisterRaw(0x1234, 0x77), 1);
  const std::vector<BusEvent> events = controller_.Events();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, BusEvent::kWriteCommand);
  EXPECT_EQ(events[0].code, 0x48);
  EXPECT_EQ(events[0].data, (std::vector<uint8_t>{0x07, 0x14}));
  EXPECT_EQ(events[1].kind, BusEvent::kReadCommand);
  EXPECT_EQ(events[1].code, 0x48);
  EXPECT_EQ(events[2].data, (std::vector<uint8_t>{0x12, 0x34, 0x77}));
  // The IMX992 pair sends at once; the IMX990 pair waits 1 ms first.
  EXPECT_EQ(clock_.TotalSlept(), 0u);
  CSensorIMX990 slow(&controller_, 0x48, clock_);
  slow.WriteRegisterRaw(0x1234, 1);
  EXPECT_EQ(clock_.TotalSlept(), 1u);
}

TEST_F(SensorBaseTest, GuardedWriteWaitsForTheBusAndAlwaysReleasesIt) {
  CSensorIMX992 sensor(&controller_, 0x48, clock_);
  ASSERT_EQ(sensor.WriteRegister(0x0304, 3), 1);
  std::vector<BusEvent> events = controller_.Events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].kind, BusEvent::kWriteFpga);
  EXPECT_EQ(events[0].code, 159);
  EXPECT_EQ(events[0].value, 1u);
  EXPECT_EQ(events[1].kind, BusEvent::kReadFpga);
  EXPECT_EQ(events[1].code, 2);
  EXPECT_EQ(events[2].kind, BusEvent::kWriteCommand);
  EXPECT_EQ(events[3].code, 159);
  EXPECT_EQ(events[3].value, 0u);

  // A bus that stays busy: 100 polls 3 ms apart, then give up and release.
  controller_.fpga[2] = 1;
  controller_.ClearEvents();
  const uint64_t slept = clock_.TotalSlept();
  EXPECT_EQ(sensor.WriteRegister(0x0304, 3), 0);
  EXPECT_EQ(controller_.CountFpgaReads(2), 100u);
  EXPECT_EQ(clock_.TotalSlept() - slept, 300u);
  EXPECT_TRUE(controller_.SensorWrites().empty());
  EXPECT_EQ(controller_.Events().back().code, 159);
  EXPECT_EQ(controller_.Events().back().value, 0u);
  uint8_t value = 0;
  EXPECT_EQ(sensor.ReadRegister(0x0304, &value), 0);
  EXPECT_EQ(controller_.fpga[159], 0);
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);
}

TEST_F(SensorBaseTest, Imx990GuardedWriteCountsOnlyWhenItReadsBack) {
  CSensorIMX990 sensor(&controller_, 0x48, clock_);
  ASSERT_EQ(sensor.WriteRegister(0x0404, 2), 1);
  std::vector<BusEvent> events = controller_.Events();
  // select, busy poll, write, address, read, release
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[3].data, (std::vector<uint8_t>{0x04, 0x04}));
  EXPECT_EQ(events[4].kind, BusEvent::kReadCommand);

  // A sensor that never takes the value: 100 tries, then failure.
  controller_.failing_sensor_writes.insert(0x0404);
  controller_.ClearEvents();
  EXPECT_EQ(sensor.WriteRegister(0x0404, 1), 0);
  EXPECT_EQ(controller_.CountFpgaReads(2), 100u);
  EXPECT_EQ(controller_.fpga[159], 0);
}

TEST(TemperatureConversion, TwelveBitTwosComplementInEighthDegrees) {
  EXPECT_DOUBLE_EQ(CSensorBase::ConvertRawTemperature(0x0C8), 25.0);
  EXPECT_DOUBLE_EQ(CSensorBase::ConvertRawTemperature(0xF38), -25.0);
  EXPECT_DOUBLE_EQ(CSensorBase::ConvertRawTemperature(0x7FF), 255.875);
  EXPECT_DOUBLE_EQ(CSensorBase::ConvertRawTemperature(0x800), -256.0);
  EXPECT_DOUBLE_EQ(CSensorBase::ConvertRawTemperature(0x001), 0.125);
  EXPECT_DOUBLE_EQ(CSensorBase::ConvertRawTemperature(0x000), 0.0);
  EXPECT_DOUBLE_EQ(CSensorBase::ConvertRawTemperature(0xFFF), -0.125);
}

}  // namespace
}  // namespace morvex
