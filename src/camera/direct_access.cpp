#include <cstring>
#include <cwchar>

#include "camera/direct_access.h"
#include "camera/morvex.h"
#include "device/morvex_z3u2_base.h"
#include "camera/morvex_internal.h"
#include "platform/text.h"

namespace morvex {

using camera_internal::kTextBufferSize;
using camera_internal::SetFlag;

namespace {

constexpr uint8_t kIoPortRegister = 7;
constexpr uint16_t kSerialNumberAddress = 0x1040;
constexpr int32_t kSerialNumberMaxBytes = 32;
constexpr uint32_t kSromByteWaitMs = 10;
constexpr int kSromVerifyAttempts = 10;

// EEPROM addresses keep the device's full 16 bits: the serial number lies at
// 0x1040, beyond the reach of a 12-bit address.
uint16_t SromAddress(int32_t address) { return static_cast<uint16_t>(address & 0xFFFF); }

}  // namespace

namespace {

// The device object's transfers as the direct access exports see them.
class DeviceObjectRegisters : public DeviceRegisterAccess {
 public:
  explicit DeviceObjectRegisters(CMorvexZ3U2Base& device) : device_(device) {}

  bool ReadRegisterRaw(uint32_t address, uint32_t* value) override {
    uint8_t byte = 0;
    if (!device_.ReadSensorRegister(static_cast<uint16_t>(address), &byte)) return false;
    *value = byte;
    return true;
  }
  bool WriteRegisterRaw(uint32_t address, uint32_t value) override {
    return device_.WriteSensorRegister(static_cast<uint16_t>(address), static_cast<uint8_t>(value)) != 0;
  }
  bool ReadFpgaRegister(uint8_t reg, uint16_t* value) override {
    int32_t ok = 0;
    const int32_t read = device_.ReadFpgaRegister(reg, &ok);
    if (!ok) return false;
    *value = static_cast<uint16_t>(read);
    return true;
  }
  bool WriteFpgaRegister(uint8_t reg, uint16_t value) override {
    return device_.WriteFpgaRegister(reg, value) != 0;
  }
  bool ReadSromByte(uint16_t address, uint8_t* value) override {
    return device_.ReadSromByte(address, value) != 0;
  }
  bool WriteSromByte(uint16_t address, uint8_t value) override {
    return device_.WriteSromByte(address, value) != 0;
  }

 private:
  CMorvexZ3U2Base& device_;
};

}  // namespace

void DirectAccess::Bind(CMorvexZ3U2Base* device) {
  own_.reset();
  if (device != nullptr) own_ = std::make_unique<DeviceObjectRegisters>(*device);
}

// --- Direct device access ----------------------------------------------------------------

int32_t CMorvex::ReadSensorRegister(int32_t reg, bool full_address, int32_t* flag) {
  SetFlag(flag, 0);
  if (!Require(Need::kRegisters)) return 0;
  const uint32_t address = full_address ? static_cast<uint32_t>(reg) : (static_cast<uint32_t>(reg) & 0xFF);
  uint32_t value = 0;
  if (!registers()->ReadRegisterRaw(address, &value)) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  SetFlag(flag, 1);
  return static_cast<int32_t>(value);
}

int32_t CMorvex::WriteSensorRegister(int32_t reg, int32_t value, bool full_width) {
  if (!Require(Need::kRegisters)) return 0;
  const uint32_t address = full_width ? static_cast<uint32_t>(reg) : (static_cast<uint32_t>(reg) & 0xFF);
  const uint32_t data = full_width ? static_cast<uint32_t>(value) : (static_cast<uint32_t>(value) & 0xFFFF);
  if (!registers()->WriteRegisterRaw(address, data)) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  return 1;
}

int32_t CMorvex::ReadFpgaRegister(int32_t reg, int32_t* flag) {
  SetFlag(flag, 0);
  if (!Require(Need::kRegisters)) return 0;
  uint16_t value = 0;
  if (!registers()->ReadFpgaRegister(static_cast<uint8_t>(reg & 0xFF), &value)) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  SetFlag(flag, 1);
  return value;
}

int32_t CMorvex::WriteFpgaRegister(int32_t reg, int32_t value) {
  if (!Require(Need::kRegisters)) return 0;
  if (!registers()->WriteFpgaRegister(static_cast<uint8_t>(reg & 0xFF),
                                      static_cast<uint16_t>(value & 0xFFFF))) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  return 1;
}

int32_t CMorvex::GetIOPort(uint8_t* value) {
  if (!Require(Need::kRegisters, Report::kPostOnly)) return 0;
  uint16_t port = 0;
  if (value == nullptr || !registers()->ReadFpgaRegister(kIoPortRegister, &port)) {
    PostErrorOnly(kErrArgument);
    return 0;
  }
  *value = static_cast<uint8_t>(port & 0xFF);
  return 1;
}

int32_t CMorvex::SetIOPort(int32_t value) {
  if (!Require(Need::kRegisters, Report::kPostOnly)) return 0;
  return registers()->WriteFpgaRegister(kIoPortRegister, static_cast<uint16_t>(value & 0xFF)) ? 1 : 0;
}

int32_t CMorvex::ReadSromId(int32_t address, int32_t* flag) {
  SetFlag(flag, 0);
  uint8_t byte = 0;
  if (!Require(Need::kRegisters, Report::kPostOnly)) return 0;
  if (!registers()->ReadSromByte(SromAddress(address), &byte)) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  SetFlag(flag, 1);
  return byte;
}

int32_t CMorvex::WriteSromId(int32_t address, int32_t value) {
  const uint16_t at = SromAddress(address);
  const uint8_t byte = static_cast<uint8_t>(value & 0xFF);
  if (!Require(Need::kRegisters, Report::kPostOnly)) return 0;
  if (!registers()->WriteSromByte(at, byte)) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  // Verification repairs what it can; the first write already counts.
  for (int attempt = 0; attempt < kSromVerifyAttempts; ++attempt) {
    uint8_t read_back = 0;
    if (!registers()->ReadSromByte(at, &read_back)) {
      PostErrorOnly(kErrNotReady);
    } else if (read_back == byte) {
      break;
    }
    registers()->WriteSromByte(at, byte);
  }
  return 1;
}

int32_t CMorvex::ReadSerialNumber(char* buffer, int32_t size) {
  if (buffer == nullptr || size < kSerialNumberMaxBytes) {
    RecordError(kErrArgument);
    return 0;
  }
  if (!Require(Need::kRegisters)) return 0;
  uint8_t bytes[kSerialNumberMaxBytes] = {};
  int32_t count = 0;
  bool first_read_failed = false;
  while (count < kSerialNumberMaxBytes) {
    uint8_t byte = 0;
    const bool ok = registers()->ReadSromByte(static_cast<uint16_t>(kSerialNumberAddress + count), &byte);
    platform::PreciseSleep(clock_, kSromByteWaitMs);
    if (!ok) {
      first_read_failed = count == 0;
      break;
    }
    bytes[count++] = byte;
    if (byte == 0xFF) break;
  }
  if (first_read_failed) return 0;
  if (bytes[0] == 0 || bytes[0] == 0xFF) return 1;  // nothing stored; the buffer stays as it was

  // The text ends at the first 0 or 0xFF byte, or at the end of what was read.
  int32_t length = 0;
  while (length < count && bytes[length] != 0 && bytes[length] != 0xFF) ++length;
  if (length == kSerialNumberMaxBytes) {
    // All 32 bytes are text: no terminator fits within the serial number.
    RecordError(kErrBuffer);
    return 0;
  }
  std::memcpy(buffer, bytes, static_cast<size_t>(length));
  buffer[length] = '\0';
  return 1;
}

int32_t CMorvex::ReadSerialNumberW(wchar_t* buffer, int32_t length) {
  if (buffer == nullptr || length <= 0) {
    RecordError(kErrArgument);
    return 0;
  }
  char narrow[kTextBufferSize] = {};
  if (!ReadSerialNumber(narrow, sizeof(narrow))) return 0;
  wchar_t wide[kTextBufferSize];
  if (!platform::NarrowToWide(narrow, wide, kTextBufferSize) ||
      std::wcslen(wide) + 1 > static_cast<size_t>(length)) {
    RecordError(kErrFile);
    return 0;
  }
  std::memcpy(buffer, wide, (std::wcslen(wide) + 1) * sizeof(wchar_t));
  return 1;
}

}  // namespace morvex
