// The IMX990 (1280 x 1024) and IMX991 (640 x 512) sensor classes. They share
// one driver; CSensorIMX990Pair holds it and the two classes fill in where
// the chips differ.
#pragma once

#include <cstdint>

#include "sensors/sensor_imx99x.h"

namespace morvex {

class CSensorIMX990Pair : public CSensorIMX99x {
 public:
  // Sensor line periods in nanoseconds.
  static constexpr double kFastLinePeriodNs = 6880.557337977816;
  static constexpr double kFullHeightLinePeriodNs = 12959.94133284444;
  static constexpr double kLinePeriodNs = 12961.774681455678;
  static constexpr double kExposureOffsetNs = 7372.0;
  static constexpr double kFramePeriodMsPerLine = 0.012961774681455677;
  static constexpr int32_t kShutterMinimum = 15;  // lines between shutter start and frame end

  int32_t Initialize() override;
  int32_t SetWindow(int32_t left, int32_t width, int32_t top, int32_t height, int32_t mode) override;
  int32_t SetExposureLines(int32_t lines) override;
  int32_t SetExposureTime(int32_t tenth_ms) override;
  int32_t SetRealExposureTime(double seconds) override;
  int32_t SetTriggerOutput(int32_t on) override;
  int32_t ApplyTriggerOutput() override { return 1; }
  int32_t HasTriggerOutput() override;
  int32_t HasInternalCorrection() override;
  int32_t SupportsColorSetting1() override;
  int32_t CanSetFpgaMode24() override;
  int32_t SetFpgaMode24() override;

 protected:
  CSensorIMX990Pair(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock,
                    const ChipParameters& chip);

  // Frame length in lines before the clock correction: binning / full.
  virtual int32_t BaseFrameLength(bool binning) const = 0;
  virtual double LinePeriodNs() = 0;
  virtual void WriteShutterStart(WriteChain& chain, uint32_t start) = 0;
  virtual void ReloadTriggerTiming() = 0;
  // Exposure in nanoseconds to lines, then SetExposureLines.
  int32_t ApplyExposureNs(int64_t nanoseconds);
  // The trigger engine's timing: exposure, line timing and frame timing.
  void LoadTriggerTiming(bool timed, bool write_engine);
  // The four sensor writes that switch the readout between free running and
  // triggered, 100 ms apart.
  void WriteTriggerSetting(uint8_t setting, uint8_t enable);
  // Window re-application after a data-width change. It uses the window as
  // last asked for: the stored one is already binned, flipped and shifted,
  // and applying it again would move or shrink the window.
  int32_t ReapplyWindow();

  struct RequestedWindow {
    int32_t left = 0;
    int32_t width = 0;
    int32_t top = 0;
    int32_t height = 0;
    int32_t mode = 0;
  };
  RequestedWindow requested_;
};

class CSensorIMX990 : public CSensorIMX990Pair {
 public:
  static constexpr int32_t kModelCode = 109;
  static constexpr int32_t kCooledModelCode = 110;

  CSensorIMX990(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock);
  int32_t SetTriggerMode(int32_t mode) override;
  int32_t SetDataWidth(int32_t wide) override;

 protected:
  int32_t HorizontalOffset(int32_t mirror_on) override;
  int32_t BaseFrameLength(bool binning) const override { return binning ? 552 : 1068; }
  double LinePeriodNs() override;
  void WriteShutterStart(WriteChain& chain, uint32_t start) override;
  void ReloadTriggerTiming() override;
};

class CSensorIMX991 : public CSensorIMX990Pair {
 public:
  static constexpr int32_t kModelCode = 111;
  static constexpr int32_t kCooledModelCode = 112;

  CSensorIMX991(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock);
  int32_t SetTriggerMode(int32_t mode) override;
  int32_t SetDataWidth(int32_t wide) override;

 protected:
  int32_t HorizontalOffset(int32_t mirror_on) override;
  int32_t BaseFrameLength(bool binning) const override { return binning ? 296 : 556; }
  double LinePeriodNs() override;
  void WriteShutterStart(WriteChain& chain, uint32_t start) override;
  void ReloadTriggerTiming() override;
};

}  // namespace morvex
