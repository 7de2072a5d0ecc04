#include "emulator/registers.h"

namespace morvex::emulator {

void FpgaRegisters::PowerOn(const SensorModel& model) {
  regs_.fill(0);
  // Until the library programs it, the FPGA frames the full sensor at 8 bits.
  Set16(fpga::kWindowLines, static_cast<uint32_t>(model.max_height));
  Set16(fpga::kLineBytes, static_cast<uint32_t>(model.max_width));
  if (model.small_pair()) {
    Set16(fpga::kVerticalOffset, 25);
    Set16(fpga::kHorizontalOffset, 8);
  } else {
    Set16(fpga::kVerticalOffset, model.chip == Chip::kImx992 ? 33 : 25);
    Set16(fpga::kHorizontalOffset, 112);
  }
}

void SensorRegisters::PowerOn(const SensorModel& model) {
  regs_.fill(0);
  Set16(sensor::kWindowWidth, static_cast<uint32_t>(model.max_width));
  Set16(sensor::kWindowHeight, static_cast<uint32_t>(model.max_height));
  Set24(sensor::kFrameLength, model.power_on_frame_length);
  Set16(sensor::kLineLength, model.power_on_line_length);
  Set24(sensor::kShutterStart, model.small_pair() ? 15 : 52);
  Set(sensor::kTriggerSetting, model.small_pair() ? 0x11 : 0x29);
  if (!model.small_pair()) Set(sensor::kReadoutSetting, 36);
  Set16(sensor::kBlackLevel, model.power_on_black_level);
}

}  // namespace morvex::emulator
