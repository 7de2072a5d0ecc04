// The register, FPGA and EEPROM access of the device object that the direct
// device access exports use. The camera instance reaches it through the
// device object it owns; while there is none, the view is absent too.
#pragma once

#include <cstdint>

namespace morvex {

class DeviceRegisterAccess {
 public:
  virtual ~DeviceRegisterAccess() = default;
  // The sensor's raw two-wire register transfers.
  virtual bool ReadRegisterRaw(uint32_t address, uint32_t* value) = 0;
  virtual bool WriteRegisterRaw(uint32_t address, uint32_t value) = 0;
  // 8-bit FPGA registers holding 16-bit values.
  virtual bool ReadFpgaRegister(uint8_t reg, uint16_t* value) = 0;
  virtual bool WriteFpgaRegister(uint8_t reg, uint16_t value) = 0;
  // One byte of the camera EEPROM.
  virtual bool ReadSromByte(uint16_t address, uint8_t* value) = 0;
  virtual bool WriteSromByte(uint16_t address, uint8_t value) = 0;
};

}  // namespace morvex
