#include "emulator/sensor_model.h"

namespace morvex::emulator {

SensorModel ModelForProduct(uint16_t product_id) {
  switch (product_id) {
    case 0x3260:
      return {Chip::kImx990, "IMX990", 1280, 1024, 109, false, 1048, 1376, 60};
    case 0x3270:
      return {Chip::kImx990, "IMX990", 1280, 1024, 110, true, 1048, 1376, 60};
    case 0x3280:
      return {Chip::kImx991, "IMX991", 640, 512, 111, false, 536, 736, 60};
    case 0x3370:
      return {Chip::kImx992, "IMX992", 2560, 2048, 129, false, 2140, 489, 240};
    case 0x3380:
      return {Chip::kImx992, "IMX992", 2560, 2048, 130, true, 2140, 489, 240};
    case 0x33C0:
      return {Chip::kImx993, "IMX993", 2048, 1536, 131, false, 1628, 489, 240};
    case 0x33D0:
      return {Chip::kImx993, "IMX993", 2048, 1536, 132, true, 1628, 489, 240};
    case 0x3290:
    default:
      return {Chip::kImx991, "IMX991", 640, 512, 112, true, 536, 736, 60};
  }
}

double LinePeriodUs(const SensorModel& model, uint16_t fpga_version, uint32_t line_length) {
  if (model.small_pair()) {
    // The FPGA's fast line timing (version bit 14) nearly halves the line.
    return (fpga_version & 0x4000) ? 6.880557337977816 : 12.961774681455678;
  }
  // 489 clocks of the 54.545 MHz sensor clock at 355.7/1000 per clock.
  if (line_length == 0) line_length = 489;
  return static_cast<double>(line_length) / 489.0 * 355.7 * 1000.0 / 54545.0;
}

}  // namespace morvex::emulator
