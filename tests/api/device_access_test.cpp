// Direct register, FPGA and EEPROM access of a camera instance against a
// scripted device, including the serial-number reader.
#include <cstring>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "camera/device_registers.h"
#include "camera/morvex.h"
#include "message_observer.h"
#include "platform/clock.h"

namespace morvex {
namespace {

class FakeRegisters : public DeviceRegisterAccess {
 public:
  struct Write {
    uint32_t address;
    uint32_t value;
  };

  bool ReadRegisterRaw(uint32_t address, uint32_t* value) override {
    sensor_reads.push_back(address);
    if (fail) return false;
    *value = sensor_value;
    return true;
  }
  bool WriteRegisterRaw(uint32_t address, uint32_t value) override {
    sensor_writes.push_back({address, value});
    return !fail;
  }
  bool ReadFpgaRegister(uint8_t reg, uint16_t* value) override {
    fpga_reads.push_back(reg);
    if (fail) return false;
    *value = fpga_value;
    return true;
  }
  bool WriteFpgaRegister(uint8_t reg, uint16_t value) override {
    fpga_writes.push_back({reg, value});
    return !fail;
  }
  bool ReadSromByte(uint16_t address, uint8_t* value) override {
    srom_reads.push_back(address);
    if (failing_srom_reads.count(address) != 0) return false;
    auto it = srom.find(address);
    *value = it == srom.end() ? 0xFF : it->second;
    return true;
  }
  bool WriteSromByte(uint16_t address, uint8_t value) override {
    srom_writes.push_back({address, value});
    if (fail_srom_writes) return false;
    if (!srom_sticks_to_old) srom[address] = value;
    return true;
  }

  void StoreSerial(const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) srom[static_cast<uint16_t>(0x1040 + i)] = bytes[i];
  }

  bool fail = false;
  bool fail_srom_writes = false;
  bool srom_sticks_to_old = false;
  uint32_t sensor_value = 0;
  uint16_t fpga_value = 0;
  std::map<uint16_t, uint8_t> srom;
  std::map<uint16_t, bool> failing_srom_reads;
  std::vector<uint32_t> sensor_reads;
  std::vector<Write> sensor_writes;
  std::vector<uint8_t> fpga_reads;
  std::vector<Write> fpga_writes;
  std::vector<uint16_t> srom_reads;
  std::vector<Write> srom_writes;
};

class DeviceAccessTest : public ::testing::Test {
 protected:
  DeviceAccessTest() : camera_(clock_) { camera_.AttachRegisterAccess(&device_); }

  platform::SimulatedClock clock_;
  FakeRegisters device_;
  CMorvex camera_{platform::SystemClock()};
};

TEST_F(DeviceAccessTest, SensorRegisterAddressIsMaskedUnlessExtended) {
  device_.sensor_value = 0x5A;
  int32_t flag = 0;
  EXPECT_EQ(camera_.ReadSensorRegister(0x3012, false, &flag), 0x5A);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(camera_.ReadSensorRegister(0x3012, true, &flag), 0x5A);
  ASSERT_EQ(device_.sensor_reads.size(), 2u);
  EXPECT_EQ(device_.sensor_reads[0], 0x12u);
  EXPECT_EQ(device_.sensor_reads[1], 0x3012u);

  EXPECT_EQ(camera_.WriteSensorRegister(0x3012, 0x12345, false), 1);
  EXPECT_EQ(camera_.WriteSensorRegister(0x3012, 0x12345, true), 1);
  ASSERT_EQ(device_.sensor_writes.size(), 2u);
  EXPECT_EQ(device_.sensor_writes[0].address, 0x12u);
  EXPECT_EQ(device_.sensor_writes[0].value, 0x2345u);
  EXPECT_EQ(device_.sensor_writes[1].address, 0x3012u);
  EXPECT_EQ(device_.sensor_writes[1].value, 0x12345u);
  EXPECT_EQ(camera_.PopError(), 0);
}

TEST_F(DeviceAccessTest, FailedTransfersRecordDeviceIo) {
  device_.fail = true;
  int32_t flag = 1;
  EXPECT_EQ(camera_.ReadSensorRegister(1, false, &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(camera_.WriteSensorRegister(1, 1, false), 0);
  flag = 1;
  EXPECT_EQ(camera_.ReadFpgaRegister(1, &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(camera_.WriteFpgaRegister(1, 1), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(camera_.PopError(), kErrDeviceIo);
  EXPECT_EQ(camera_.PopError(), 0);
}

TEST_F(DeviceAccessTest, FpgaRegisterIsLowByteAndValueZeroExtended) {
  device_.fpga_value = 0xFFFE;
  int32_t flag = 0;
  EXPECT_EQ(camera_.ReadFpgaRegister(0x1A7, &flag), 0xFFFE);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(device_.fpga_reads.at(0), 0xA7);
  EXPECT_EQ(camera_.WriteFpgaRegister(0x1A7, 0x1BEEF), 1);
  EXPECT_EQ(device_.fpga_writes.at(0).address, 0xA7u);
  EXPECT_EQ(device_.fpga_writes.at(0).value, 0xBEEFu);
}

TEST_F(DeviceAccessTest, IoPortIsFpgaRegisterSevenLowByte) {
  device_.fpga_value = 0x1234;
  uint8_t port = 0;
  EXPECT_EQ(camera_.GetIOPort(&port), 1);
  EXPECT_EQ(port, 0x34);
  EXPECT_EQ(device_.fpga_reads.at(0), 7);
  EXPECT_EQ(camera_.SetIOPort(0x1FF), 1);
  EXPECT_EQ(device_.fpga_writes.at(0).address, 7u);
  EXPECT_EQ(device_.fpga_writes.at(0).value, 0xFFu);
}

TEST_F(DeviceAccessTest, IoPortFailuresArePostedOnly) {
  test::MessageObserver observer;
  camera_.Initialize(observer.window());
  EXPECT_EQ(camera_.GetIOPort(nullptr), 0);
  device_.fail = true;
  uint8_t port = 9;
  EXPECT_EQ(camera_.GetIOPort(&port), 0);
  EXPECT_EQ(port, 9);
  const auto posted = observer.Take();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].lparam, kErrArgument);
  EXPECT_EQ(posted[1].lparam, kErrArgument);
  EXPECT_EQ(camera_.PopError(), 0);
}

TEST_F(DeviceAccessTest, SromByteAddressKeepsSixteenBits) {
  // The serial number lies at 0x1040: the address must keep its high bits.
  device_.srom[0x1234] = 0x42;
  int32_t flag = 0;
  EXPECT_EQ(camera_.ReadSromId(0x31234, &flag), 0x42);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(device_.srom_reads.at(0), 0x1234);
}

TEST_F(DeviceAccessTest, SromWriteVerifiesAndRewritesUpToTenTimes) {
  device_.srom_sticks_to_old = true;  // every read-back differs
  device_.srom[0x10] = 0x00;
  EXPECT_EQ(camera_.WriteSromId(0x10, 0x1AB), 1) << "the first write counts";
  EXPECT_EQ(device_.srom_reads.size(), 10u);
  ASSERT_EQ(device_.srom_writes.size(), 11u);
  for (const auto& write : device_.srom_writes) EXPECT_EQ(write.value, 0xABu);
  EXPECT_EQ(camera_.PopError(), 0);
}

TEST_F(DeviceAccessTest, SromWriteStopsWhenTheByteReadsBack) {
  EXPECT_EQ(camera_.WriteSromId(0x10, 0x55), 1);
  EXPECT_EQ(device_.srom_writes.size(), 1u);
  EXPECT_EQ(device_.srom_reads.size(), 1u);
}

TEST_F(DeviceAccessTest, SromFailuresArePostedNotReady) {
  test::MessageObserver observer;
  camera_.Initialize(observer.window());
  device_.failing_srom_reads[0x20] = true;
  int32_t flag = 1;
  EXPECT_EQ(camera_.ReadSromId(0x20, &flag), 0);
  EXPECT_EQ(flag, 0);
  device_.fail_srom_writes = true;
  EXPECT_EQ(camera_.WriteSromId(0x20, 1), 0);
  const auto posted = observer.Take();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].lparam, kErrNotReady);
  EXPECT_EQ(posted[1].lparam, kErrNotReady);
  EXPECT_EQ(camera_.PopError(), 0);
}

TEST_F(DeviceAccessTest, SerialNumberIsReadUpToItsTerminator) {
  device_.StoreSerial({'S', 'N', '0', '4', '2', 0, 'x'});
  char buffer[40];
  std::memset(buffer, '#', sizeof(buffer));
  EXPECT_EQ(camera_.ReadSerialNumber(buffer, sizeof(buffer)), 1);
  EXPECT_STREQ(buffer, "SN042");
  // Bytes from 0x1040 up to the first erased (0xFF) byte, 10 ms after each;
  // the text ends at the 0 byte.
  EXPECT_EQ(device_.srom_reads.size(), 8u);
  EXPECT_EQ(device_.srom_reads.front(), 0x1040);
  EXPECT_EQ(device_.srom_reads.back(), 0x1047);
  EXPECT_EQ(clock_.TotalSlept(), 80u);
  EXPECT_EQ(clock_.OpenTimerPeriods(), 0);
}

TEST_F(DeviceAccessTest, SerialNumberStopsAtAnErasedByte) {
  device_.StoreSerial({'A', 'B', 'C', 0xFF});
  char buffer[32];
  EXPECT_EQ(camera_.ReadSerialNumber(buffer, sizeof(buffer)), 1);
  EXPECT_STREQ(buffer, "ABC");
  EXPECT_EQ(device_.srom_reads.size(), 4u);
}

TEST_F(DeviceAccessTest, SerialNumberNeedsThirtyTwoBytes) {
  char buffer[31] = {};
  EXPECT_EQ(camera_.ReadSerialNumber(buffer, sizeof(buffer)), 0);
  EXPECT_EQ(camera_.PopError(), kErrArgument);
  EXPECT_TRUE(device_.srom_reads.empty());
  EXPECT_EQ(camera_.ReadSerialNumber(nullptr, 64), 0);
  EXPECT_EQ(camera_.PopError(), kErrArgument);
}

TEST_F(DeviceAccessTest, SerialNumberWithoutTerminatorIsRefusedAndNothingWritten) {
  device_.StoreSerial(std::vector<uint8_t>(40, 'A'));
  struct {
    char buffer[32];
    char guard[8];
  } out;
  std::memset(&out, '#', sizeof(out));
  EXPECT_EQ(camera_.ReadSerialNumber(out.buffer, sizeof(out.buffer)), 0);
  EXPECT_EQ(camera_.PopError(), kErrBuffer);
  EXPECT_EQ(device_.srom_reads.size(), 32u) << "reading stops after 32 bytes";
  for (char c : out.buffer) EXPECT_EQ(c, '#');
  for (char c : out.guard) EXPECT_EQ(c, '#');
}

TEST_F(DeviceAccessTest, EmptyOrErasedSerialNumberLeavesTheBuffer) {
  char buffer[32];
  std::memset(buffer, '#', sizeof(buffer));
  device_.StoreSerial({0xFF});
  EXPECT_EQ(camera_.ReadSerialNumber(buffer, sizeof(buffer)), 1);
  device_.StoreSerial({0});
  EXPECT_EQ(camera_.ReadSerialNumber(buffer, sizeof(buffer)), 1);
  for (char c : buffer) EXPECT_EQ(c, '#');
  device_.failing_srom_reads[0x1040] = true;
  EXPECT_EQ(camera_.ReadSerialNumber(buffer, sizeof(buffer)), 0);
  for (char c : buffer) EXPECT_EQ(c, '#');
}

TEST_F(DeviceAccessTest, WideSerialNumberMustFitTheCallersLength) {
  device_.StoreSerial({'S', 'N', '7', 0});
  wchar_t wide[8];
  std::fill(std::begin(wide), std::end(wide), L'#');
  EXPECT_EQ(camera_.ReadSerialNumberW(wide, 4), 1);
  EXPECT_EQ(std::wstring(wide), L"SN7");
  std::fill(std::begin(wide), std::end(wide), L'#');
  EXPECT_EQ(camera_.ReadSerialNumberW(wide, 3), 0);
  EXPECT_EQ(camera_.PopError(), kErrFile);
  for (wchar_t c : wide) EXPECT_EQ(c, L'#');
}

TEST(DeviceAccessWithoutDevice, EveryAccessAnswersNotReady) {
  CMorvex camera{platform::SystemClock()};
  int32_t flag = 1;
  char serial[32];
  EXPECT_EQ(camera.ReadSensorRegister(1, false, &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(camera.WriteSensorRegister(1, 1, true), 0);
  flag = 1;
  EXPECT_EQ(camera.ReadFpgaRegister(1, &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(camera.WriteFpgaRegister(1, 1), 0);
  EXPECT_EQ(camera.ReadSerialNumber(serial, sizeof(serial)), 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(camera.PopError(), kErrNotReady);
  EXPECT_EQ(camera.PopError(), 0);
}

}  // namespace
}  // namespace morvex
