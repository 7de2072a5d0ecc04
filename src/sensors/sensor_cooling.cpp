// Cooler and temperature of the IMX990-IMX993 cameras. The cooler is bit 0
// of FPGA register 151; the FPGA keeps the state, the sensor object no copy.
#include "sensors/sensor_imx99x.h"

namespace morvex {

int32_t CSensorIMX99x::HasCooler() { return model_code_ == cooled_code_ ? 1 : 0; }

int32_t CSensorIMX99x::GetCooler() {
  if (!HasCooler() || controller_ == nullptr) return 0;
  uint8_t value = 0;
  if (!controller_->ReadFpgaRegister(imx99x_fpga::kCooler, &value)) return 0;
  return (value & 0x01) ? 1 : 0;
}

int32_t CSensorIMX99x::SetCooler(int32_t on) {
  if (!HasCooler() || controller_ == nullptr) return 0;
  uint8_t value = 0;
  if (cooler_read_modify_write_) {
    if (!controller_->ReadFpgaRegister(imx99x_fpga::kCooler, &value)) value = 0;
    value = static_cast<uint8_t>(on > 0 ? (value | 0x01) : (value & ~0x01));
  } else {
    value = on > 0 ? 1 : 0;
  }
  return controller_->WriteFpgaRegister(imx99x_fpga::kCooler, value) ? 1 : 0;
}

int32_t CSensorIMX99x::GetTemperature(double* celsius) {
  const uint16_t raw = ReadRawTemperature(temperature_copy_min_version_);
  if (celsius == nullptr) return 0;
  *celsius = ConvertRawTemperature(raw);
  return 1;
}

}  // namespace morvex
