// CSensorIMX99x: what the four IMX990-IMX993 sensor classes share: the
// guarded and raw two-wire register access, gain, mirrors, the descriptor
// getters, the cooler and the temperature readout.
#pragma once

#include <cstdint>

#include "sensors/sensor_base.h"

namespace morvex {

// Sensor registers (16-bit addresses, 8-bit data).
namespace imx99x_reg {
constexpr uint16_t kGainModeA = 0x0020;
constexpr uint16_t kGainModeB = 0x0040;
constexpr uint16_t kStandby = 0x0200;
constexpr uint16_t kStandby2 = 0x020C;
constexpr uint16_t kBinning = 0x023C;
constexpr uint16_t kFrameLength = 0x02D4;  // 3 bytes, little-endian
constexpr uint16_t kLineLength = 0x02D8;   // 2 bytes
constexpr uint16_t kCrop = 0x0304;
constexpr uint16_t kWindowLeft = 0x0320;
constexpr uint16_t kWindowTop = 0x0322;
constexpr uint16_t kWindowWidth = 0x0324;
constexpr uint16_t kWindowHeight = 0x0326;
constexpr uint16_t kReadout = 0x0400;
constexpr uint16_t kMirror = 0x0404;
constexpr uint16_t kTriggerSetting = 0x0430;
constexpr uint16_t kTriggerSetting2 = 0x0431;
constexpr uint16_t kTriggerEnable2 = 0x0432;
constexpr uint16_t kShutterStart = 0x0440;  // 3 bytes
constexpr uint16_t kTriggerEnable = 0x0600;
constexpr uint16_t kInit0702 = 0x0702;
constexpr uint16_t kGainLevel = 0x0710;
constexpr uint16_t kGain = 0x0714;  // 2 bytes, 9 bits
constexpr uint16_t kGainModeReadA = 0x0720;
constexpr uint16_t kGainModeReadB = 0x0740;
constexpr uint16_t kBlackLevel = 0x07C0;  // 2 bytes, 12 bits
}  // namespace imx99x_reg

// FPGA registers the sensor classes use.
namespace imx99x_fpga {
constexpr uint8_t kBusBusy = 2;
constexpr uint8_t kMode24 = 24;
constexpr uint8_t kHorizontalOffsetLow = 76;
constexpr uint8_t kHorizontalOffsetHigh = 77;
constexpr uint8_t kTriggerFrame0 = 80;  // 80..82, 24 bits
constexpr uint8_t kTriggerFrame1 = 81;
constexpr uint8_t kTriggerFrame2 = 82;
constexpr uint8_t kTriggerLineLow = 84;
constexpr uint8_t kTriggerLineHigh = 85;
constexpr uint8_t kTriggerEngine = 88;  // 0 stop, 2 triggered
constexpr uint8_t kTriggerOutput = 89;
constexpr uint8_t kReadoutMode = 90;
constexpr uint8_t kTriggerExposure0 = 133;
constexpr uint8_t kTriggerExposure1 = 134;
constexpr uint8_t kTriggerExposure2 = 155;
constexpr uint8_t kCooler = 151;
constexpr uint8_t kBusSelect = 159;
}  // namespace imx99x_fpga

class CSensorIMX99x : public CSensorBase {
 public:
  static constexpr uint8_t kBusAddress = 0x48;
  static constexpr uint32_t kBusTimeoutMs = 3000;
  static constexpr int kGuardedTries = 100;
  static constexpr uint32_t kGuardedRetryMs = 3;
  static constexpr int32_t kGainMax = 420;

  int32_t SetModelCode(int32_t code) override;
  int32_t Probe() override { return 1; }
  int32_t GetWindow(int32_t* left, int32_t* width, int32_t* top, int32_t* height, int32_t* mode) override;
  int32_t GetTriggerMode(int32_t* mode) override;
  int32_t GetExposureLines(int32_t* lines) override;
  int32_t SetGain(int32_t gain) override;
  int32_t GetGain(int32_t* gain) override;
  int32_t GetExposureLinesMin(int32_t* value) override;
  int32_t GetExposureLinesMax(int32_t* value) override;
  int32_t GetExposureLinesDefault(int32_t* value) override;
  int32_t GetGainMin(int32_t* value) override;
  int32_t GetGainMax(int32_t* value) override;
  int32_t GetGainDefault(int32_t* value) override;
  int32_t GetColorGainMin(int32_t* value) override;
  int32_t GetColorGainMax(int32_t* value) override;
  int32_t GetColorGainDefault(int32_t* value) override;
  int32_t GetExposureTime(int32_t* value) override;
  int32_t GetExposureTimeMin(int32_t* value) override;
  int32_t GetExposureTimeMax(int32_t* value) override;
  int32_t GetExposureTimeDefault(int32_t* value) override;
  int32_t SetMirrorV(int32_t on) override;
  int32_t GetMirrorV(int32_t* on) override;
  int32_t SetMirrorH(int32_t on) override;
  int32_t GetMirrorH(int32_t* on) override;
  int32_t WriteRegisterRaw(uint16_t address, uint8_t value) override;
  int32_t ReadRegisterRaw(uint16_t address, uint8_t* value) override;
  int32_t WriteRegister(uint16_t address, uint8_t value) override;
  int32_t ReadRegister(uint16_t address, uint8_t* value) override;
  int32_t HasCooler() override;
  int32_t GetCooler() override;
  int32_t SetCooler(int32_t on) override;
  int32_t HasTemperature() override { return 1; }
  int32_t GetTemperature(double* celsius) override;
  int32_t GetBytesPerPixel() override;
  int32_t SupportsColorSetting2() override { return 0; }

  int32_t uncooled_model_code() const { return uncooled_code_; }
  int32_t cooled_model_code() const { return cooled_code_; }

 protected:
  struct ChipParameters {
    int32_t uncooled_code;
    int32_t cooled_code;
    int32_t max_width;
    int32_t max_height;
    int32_t line_length;
    int32_t frame_length;
    int32_t exposure_lines_min;
    int32_t exposure_lines_max;
    int32_t exposure_lines_default;
    int32_t exposure_time_default;
    double real_exposure_min;
    double real_exposure_default;
    int32_t data_width;
    int32_t device_layout_flag;
    uint32_t raw_write_delay_ms;  // wait before each raw write
    bool verify_guarded_writes;   // read each guarded write back
    bool gain_needs_both_writes;
    bool cooler_read_modify_write;  // keep the other bits of the cooler register
    uint16_t temperature_copy_min_version;
  };

  CSensorIMX99x(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock,
                const ChipParameters& chip);

  // Register 76/77 value for the horizontal offset of a mirror state.
  virtual int32_t HorizontalOffset(int32_t mirror_on) = 0;

  // A chain of guarded writes that stops at the first failure and leaves the
  // exposure-write gap between successive writes.
  class WriteChain {
   public:
    explicit WriteChain(CSensorIMX99x& sensor) : sensor_(sensor) {}
    void Write(uint16_t address, uint8_t value);
    bool ok() const { return ok_; }

   private:
    CSensorIMX99x& sensor_;
    bool ok_ = true;
    int writes_ = 0;
  };

  // Frame length high byte first; the middle byte goes first when a value
  // below 65536 shrinks it relative to `reference`, so the sensor never sees
  // a transient length far longer than either.
  static void WriteFrameLengthOrdered(WriteChain& chain, uint32_t value, uint32_t reference);
  static void WriteFrameLengthHighFirst(WriteChain& chain, uint32_t value);
  void WaitBetweenExposureWrites();
  // Sleeps `ms` with 1 ms timer resolution when it is short.
  void Wait(uint32_t ms);
  // The start every SetTriggerMode shares: true when the call is already
  // decided (no controller, or free running requested while the trigger
  // engine reads idle), with its result in *result.
  bool TriggerModeDecided(int32_t mode, int32_t* result);
  // True when the FPGA version reads and is at most `version`.
  bool FpgaVersionAtMost(uint16_t version);
  // Writes a 24-bit value to three FPGA registers with read-back.
  void FpgaWrite24Verified(uint8_t low, uint8_t middle, uint8_t high, uint32_t value, bool timed);
  bool IsFlippedOrientation() const { return descriptor_.orientation == 3 || descriptor_.orientation == 4; }

  int32_t uncooled_code_;
  int32_t cooled_code_;
  uint32_t raw_write_delay_ms_;
  bool verify_guarded_writes_;
  bool gain_needs_both_writes_;
  bool cooler_read_modify_write_;
  uint16_t temperature_copy_min_version_;
};

}  // namespace morvex
