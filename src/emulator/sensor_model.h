// The IMX99x sensor variants the emulator can carry, chosen by product id.
#pragma once

#include <cstdint>

namespace morvex::emulator {

enum class Chip { kImx990, kImx991, kImx992, kImx993 };

struct SensorModel {
  Chip chip;
  const char* name;
  int max_width;
  int max_height;
  uint32_t model_code;  // odd: uncooled, even: cooled
  bool cooled;
  uint32_t power_on_frame_length;
  uint32_t power_on_line_length;
  uint16_t power_on_black_level;

  // IMX990/IMX991 share one readout design, IMX992/IMX993 another.
  bool small_pair() const { return chip == Chip::kImx990 || chip == Chip::kImx991; }
  // The uncooled cameras carry the sensor turned by 180 degrees.
  bool rotated() const { return !cooled; }
};

// Unknown product ids get the cooled IMX991.
SensorModel ModelForProduct(uint16_t product_id);

// Line period in microseconds of the free-running readout.
double LinePeriodUs(const SensorModel& model, uint16_t fpga_version, uint32_t line_length);

}  // namespace morvex::emulator
