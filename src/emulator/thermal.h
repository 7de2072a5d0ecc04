// The sensor's temperature under its Peltier cooler: a first-order approach
// to the cooled set point while the cooler runs, back to ambient when off.
#pragma once

#include <cstdint>

namespace morvex::emulator {

class ThermalModel {
 public:
  static constexpr double kAmbientC = 25.0;
  static constexpr double kCooledC = 0.0;
  static constexpr double kTimeConstantS = 8.0;

  explicit ThermalModel(double now_s = 0) : start_s_(now_s) {}
  void SetCooler(bool on, double now_s);
  bool cooler_on() const { return on_; }
  double Temperature(double now_s) const;

 private:
  bool on_ = false;
  double start_c_ = kAmbientC;
  double start_s_;
};

// 12-bit two's complement in 1/8 degC, as the sensor's temperature register
// holds it (rounded to the nearest step, saturating at the ends).
uint16_t TemperatureRaw(double celsius);

}  // namespace morvex::emulator
