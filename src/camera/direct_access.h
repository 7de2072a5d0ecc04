// The direct register access room: the device object's register, FPGA and
// EEPROM view, or one that tests attach in its place.
#pragma once

#include <memory>

#include "camera/device_registers.h"

namespace morvex {

class CMorvexZ3U2Base;

class DirectAccess {
 public:
  // Views `device`; null forgets the view it had.
  void Bind(CMorvexZ3U2Base* device);
  // A view attached here replaces the device object's own. Not owned.
  void Attach(DeviceRegisterAccess* registers) { attached_ = registers; }
  DeviceRegisterAccess* registers() const { return attached_ != nullptr ? attached_ : own_.get(); }

 private:
  std::unique_ptr<DeviceRegisterAccess> own_;
  DeviceRegisterAccess* attached_ = nullptr;
};

}  // namespace morvex
