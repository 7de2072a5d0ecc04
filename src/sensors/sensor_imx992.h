// The IMX992 (2560 x 2048) and IMX993 (2048 x 1536) sensor classes. They
// share one driver; CSensorIMX992Pair holds it and the two classes fill in
// where the chips differ.
#pragma once

#include <atomic>
#include <cstdint>

#include "sensors/sensor_imx99x.h"

namespace morvex {

class CSensorIMX992Pair : public CSensorIMX99x {
 public:
  static constexpr int32_t kShutterMinimum = 52;  // lines between shutter start and frame end
  static constexpr int32_t kLineLength8Bit = 489;
  static constexpr int32_t kLineLength16Bit = 978;
  static constexpr double kLineTimeFactor = 355.7 * 1000;  // with the clock figure: microseconds
  static constexpr uint32_t kStandbyWaitMs = 50;

  int32_t Initialize() override;
  int32_t SetWindow(int32_t left, int32_t width, int32_t top, int32_t height, int32_t mode) override;
  int32_t SetDataWidth(int32_t wide) override;
  int32_t SetExposureLines(int32_t lines) override;
  int32_t SetExposureTime(int32_t tenth_ms) override;
  int32_t SetRealExposureTime(double seconds) override;
  int32_t HasGainLevel() override { return 1; }
  int32_t GetGainLevel() override;
  int32_t SetGainLevel(int32_t level) override;

  int32_t current_frame_length() const { return current_frame_length_; }
  int32_t current_line_length() const { return current_line_length_; }
  // The line period in microseconds for the current line length.
  double LinePeriodUs() const;

 protected:
  struct PairParameters {
    int32_t window_width_limit;
    int32_t window_height_limit;
    int32_t full_frame_length;
    int32_t binning_frame_length;
    uint8_t trigger_frame_low;     // FPGA 80
    uint8_t trigger_frame_mid;     // FPGA 81
    bool gain_level_guarded;       // gain level through the guarded access
    bool rewrite_trigger_setting;  // the 0x0430 field written by SetWindow
  };

  CSensorIMX992Pair(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock,
                    const ChipParameters& chip, const PairParameters& pair);

  int32_t HorizontalOffset(int32_t mirror_on) override;
  // Steps before the shared part of Initialize (IMX993: black level, gain mode).
  virtual void InitializeChipSpecific() {}
  // The data width seen by the first SetWindow of this class in the process.
  virtual std::atomic<int32_t>& RememberedDataWidth() = 0;

  // Exposure in microseconds to lines, then SetExposureLines.
  int32_t ApplyExposureUs(int64_t microseconds);
  // The FPGA trigger engine's exposure and timing registers.
  void WriteTriggerTiming();
  // Trigger timing loader; with `stop` the engine is halted around it.
  void LoadTriggerTiming(bool stop);
  void EnterStandby();
  void LeaveStandby();
  // Writes the line length inside a standby wrap when it changes.
  void UpdateLineLength(int32_t line_length);
  int32_t ReadGainLevelRegister(uint8_t* value);
  int32_t WriteGainLevelRegister(uint8_t value);

  PairParameters pair_;
  int32_t current_frame_length_;
  int32_t current_line_length_ = kLineLength8Bit;
};

class CSensorIMX992 : public CSensorIMX992Pair {
 public:
  static constexpr int32_t kModelCode = 129;
  static constexpr int32_t kCooledModelCode = 130;

  CSensorIMX992(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock);
  int32_t SetTriggerMode(int32_t mode) override;
  int32_t HasInternalCorrection() override;
  // Forgets the process-wide data width (tests start from a clean process).
  static void ForgetRememberedDataWidth();

 protected:
  std::atomic<int32_t>& RememberedDataWidth() override;
};

class CSensorIMX993 : public CSensorIMX992Pair {
 public:
  static constexpr int32_t kModelCode = 131;
  static constexpr int32_t kCooledModelCode = 132;

  CSensorIMX993(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock);
  int32_t SetTriggerMode(int32_t mode) override;
  int32_t SetBlackLevel(int32_t level) override;
  int32_t SetGainMode(int32_t mode) override;
  static void ForgetRememberedDataWidth();

 protected:
  void InitializeChipSpecific() override;
  std::atomic<int32_t>& RememberedDataWidth() override;
};

}  // namespace morvex
