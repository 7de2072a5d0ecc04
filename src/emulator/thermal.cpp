#include "emulator/thermal.h"

#include <algorithm>
#include <cmath>

namespace morvex::emulator {

void ThermalModel::SetCooler(bool on, double now_s) {
  if (on == on_) return;
  start_c_ = Temperature(now_s);
  start_s_ = now_s;
  on_ = on;
}

double ThermalModel::Temperature(double now_s) const {
  const double target = on_ ? kCooledC : kAmbientC;
  const double elapsed = std::max(0.0, now_s - start_s_);
  return target + (start_c_ - target) * std::exp(-elapsed / kTimeConstantS);
}

uint16_t TemperatureRaw(double celsius) {
  const long eighths = std::clamp(std::lround(celsius * 8.0), -2048L, 2047L);
  return static_cast<uint16_t>(eighths & 0xFFF);
}

}  // namespace morvex::emulator
