// CSensorBase: the interface through which the device object reaches the
// image sensor. One interface serves many sensor types, so it is wide: 147
// virtual operations in a fixed slot order (the slot number is given beside
// each). The defaults mean "not supported" (0, 1 or -1); each sensor class
// overrides what its chip supports. Operations return non-zero on success.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/sync.h"
#include "sensors/sensor_descriptor.h"
#include "usb/controller_base.h"

namespace morvex {

class CSensorBase {
 public:
  // Waits and retry limits of the base services.
  static constexpr int kFpgaVersionTries = 10;
  static constexpr uint32_t kFpgaVersionRetryMs = 100;
  static constexpr int kVerifiedWriteTries = 10;
  static constexpr uint32_t kVerifiedWriteWaitMs = 5;
  static constexpr int32_t kInitialTriggerState = 15;

  // FPGA registers of the base services.
  static constexpr uint8_t kFpgaOptionRegister = 23;
  static constexpr uint8_t kFpgaRestartRegister = 108;
  static constexpr uint8_t kFpgaRestartRegisterAlt = 150;

  CSensorBase(CControllerBase* controller, uint8_t bus_address, platform::Clock& clock);
  CSensorBase(const CSensorBase&) = delete;
  CSensorBase& operator=(const CSensorBase&) = delete;

  virtual ~CSensorBase();                          // 0
  virtual int32_t SetModelCode(int32_t code);      // 1
  virtual int32_t SetTriggerState(int32_t state);  // 2
  virtual int32_t GetTriggerState();               // 3
  virtual int32_t Probe() { return 0; }            // 4
  virtual int32_t Initialize() { return 0; }       // 5
  virtual int32_t OpenHookFirst() { return 0; }    // 6
  virtual int32_t OpenHookSecond() { return 0; }   // 7
  // 8, 9: left, width, top, height, readout mode.
  virtual int32_t SetWindow(int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }       // 8
  virtual int32_t GetWindow(int32_t*, int32_t*, int32_t*, int32_t*, int32_t*) { return 0; }  // 9
  virtual int32_t SetTriggerMode(int32_t /*mode*/) { return 0; }                             // 10
  virtual int32_t GetTriggerMode(int32_t* /*mode*/) { return 0; }                            // 11
  virtual int32_t SetTriggerOutput(int32_t /*on*/) { return 0; }                             // 12
  virtual int32_t ApplyTriggerOutput() { return 0; }                                         // 13
  virtual int32_t HasTriggerOutput() { return 0; }                                           // 14
  virtual int32_t SetDataWidth(int32_t /*wide*/) { return 0; }                               // 15
  virtual int32_t SetExposureLines(int32_t /*lines*/) { return 0; }                          // 16
  virtual int32_t GetExposureLines(int32_t* /*lines*/) { return 0; }                         // 17
  virtual int32_t SetGain(int32_t /*gain*/) { return 0; }                                    // 18
  virtual int32_t GetGain(int32_t* /*gain*/) { return 0; }                                   // 19
  virtual int32_t SetGainRed(int32_t /*gain*/) { return 0; }                                 // 20
  virtual int32_t GetGainRed(int32_t* /*gain*/) { return 0; }                                // 21
  virtual int32_t SetGainGreen1(int32_t /*gain*/) { return 0; }                              // 22
  virtual int32_t GetGainGreen1(int32_t* /*gain*/) { return 0; }                             // 23
  virtual int32_t SetGainGreen2(int32_t /*gain*/) { return 0; }                              // 24
  virtual int32_t GetGainGreen2(int32_t* /*gain*/) { return 0; }                             // 25
  virtual int32_t SetGainBlue(int32_t /*gain*/) { return 0; }                                // 26
  virtual int32_t GetGainBlue(int32_t* /*gain*/) { return 0; }                               // 27
  virtual int32_t GetExposureLinesMin(int32_t* /*value*/) { return 0; }                      // 28
  virtual int32_t GetExposureLinesMax(int32_t* /*value*/) { return 0; }                      // 29
  virtual int32_t GetExposureLinesDefault(int32_t* /*value*/) { return 0; }                  // 30
  virtual int32_t GetGainMin(int32_t* /*value*/) { return 0; }                               // 31
  virtual int32_t GetGainMax(int32_t* /*value*/) { return 0; }                               // 32
  virtual int32_t GetGainDefault(int32_t* /*value*/) { return 0; }                           // 33
  virtual int32_t GetColorGainMin(int32_t* /*value*/) { return 0; }                          // 34
  virtual int32_t GetColorGainMax(int32_t* /*value*/) { return 0; }                          // 35
  virtual int32_t GetColorGainDefault(int32_t* /*value*/) { return 0; }                      // 36
  // Further settings of other sensor types.
  virtual int32_t ExtendedSettingPair1(int32_t, int32_t) { return 0; }                     // 37
  virtual int32_t ExtendedSettingPair2(int32_t, int32_t) { return 0; }                     // 38
  virtual int32_t ExtendedSetting1(int32_t) { return 0; }                                  // 39
  virtual int32_t ExtendedSetting2(int32_t) { return 0; }                                  // 40
  virtual int32_t ExtendedSetting3(int32_t) { return 0; }                                  // 41
  virtual int32_t ExtendedSettingPair3(int32_t, int32_t) { return 0; }                     // 42
  virtual int32_t ExtendedSettingPair4(int32_t, int32_t) { return 0; }                     // 43
  virtual int32_t ExtendedSetting4(int32_t) { return 0; }                                  // 44
  virtual int32_t ExtendedSetting5(int32_t) { return 0; }                                  // 45
  virtual int32_t ExtendedSetting6(int32_t) { return 0; }                                  // 46
  virtual int32_t HasBlackLevel();                                                         // 47
  virtual int32_t SetBlackLevel(int32_t /*level*/) { return 0; }                           // 48
  virtual int32_t GetBlackLevel(int32_t* value);                                           // 49
  virtual int32_t GetBlackLevelMin(int32_t* value);                                        // 50
  virtual int32_t GetBlackLevelMax(int32_t* value);                                        // 51
  virtual int32_t GetBlackLevelDefault(int32_t* value);                                    // 52
  virtual int32_t HasGainMode();                                                           // 53
  virtual int32_t SetGainMode(int32_t /*mode*/) { return 0; }                              // 54
  virtual int32_t GetGainMode(int32_t* mode);                                              // 55
  virtual int32_t HasAuxiliary();                                                          // 56
  virtual int32_t GetAuxiliaryMin(int32_t* value);                                         // 57
  virtual int32_t GetAuxiliaryMax(int32_t* value);                                         // 58
  virtual int32_t GetAuxiliaryDefault(int32_t* value);                                     // 59
  virtual int32_t GetAuxiliary(int32_t* value);                                            // 60
  virtual int32_t SetAuxiliary(int32_t) { return 0; }                                      // 61
  virtual int32_t SetAuxiliaryAlternate(int32_t) { return 0; }                             // 62
  virtual int32_t SetAuxiliaryPair(int32_t, int32_t) { return 0; }                         // 63
  virtual int32_t SetExposureTime(int32_t /*tenth_ms*/) { return 0; }                      // 64
  virtual int32_t GetExposureTime(int32_t* /*value*/) { return 0; }                        // 65
  virtual int32_t GetExposureTimeMin(int32_t* /*value*/) { return 0; }                     // 66
  virtual int32_t GetExposureTimeMax(int32_t* /*value*/) { return 0; }                     // 67
  virtual int32_t GetExposureTimeDefault(int32_t* /*value*/) { return 0; }                 // 68
  virtual int32_t SetMirrorV(int32_t /*on*/) { return 0; }                                 // 69
  virtual int32_t GetMirrorV(int32_t* /*on*/) { return 0; }                                // 70
  virtual int32_t SetMirrorH(int32_t /*on*/) { return 0; }                                 // 71
  virtual int32_t GetMirrorH(int32_t* /*on*/) { return 0; }                                // 72
  virtual int32_t GetMirrorVDefault();                                                     // 73
  virtual int32_t GetMirrorHDefault();                                                     // 74
  virtual int32_t HasMirrorV();                                                            // 75
  virtual int32_t HasMirrorH();                                                            // 76
  virtual int32_t SetSamplingRate(int32_t, int32_t) { return 0; }                          // 77
  virtual int32_t WriteRegisterRaw(uint16_t /*address*/, uint8_t /*value*/) { return 0; }  // 78
  virtual int32_t ReadRegisterRaw(uint16_t /*address*/, uint8_t* /*value*/) { return 0; }  // 79
  virtual int32_t WriteRegister(uint16_t /*address*/, uint8_t /*value*/) { return 0; }     // 80
  virtual int32_t ReadRegister(uint16_t /*address*/, uint8_t* /*value*/) { return 0; }     // 81
  virtual int32_t OptionalCommand1(int32_t) { return 0; }                                  // 82
  virtual int32_t OptionalCommand2(int32_t) { return 0; }                                  // 83
  virtual int32_t OptionalCommand3(int32_t) { return 0; }                                  // 84
  virtual int32_t OptionalCommand4(int32_t) { return 0; }                                  // 85
  virtual int32_t OptionalCommand5(int32_t) { return 0; }                                  // 86
  virtual int32_t OptionalCommand6(int32_t) { return 0; }                                  // 87
  virtual int32_t SetClockMode(int32_t) { return 0; }                                      // 88
  virtual int32_t SetClockSetting(int32_t) { return 0; }                                   // 89
  virtual int32_t OptionalQuery1() { return 0; }                                           // 90
  virtual int32_t OptionalQuery2() { return 0; }                                           // 91
  virtual int32_t CopyDescriptor(SensorDescriptor* destination);                           // 92
  virtual void OnSettingsApplied() {}                                                      // 93
  virtual void OnSettingsHook() {}                                                         // 94
  virtual int32_t HasInternalCorrection() { return 0; }                                    // 95
  virtual int32_t SetInternalCorrection(int32_t) { return 0; }                             // 96
  virtual int32_t GetInternalCorrection(int32_t*) { return 0; }                            // 97
  virtual int32_t HasCooler() { return 0; }                                                // 98
  virtual int32_t GetCooler() { return 0; }                                                // 99
  virtual int32_t SetCooler(int32_t /*on*/) { return 0; }                                  // 100
  virtual int32_t HasTemperature() { return 0; }                                           // 101
  virtual int32_t GetTemperature(double* /*celsius*/) { return 0; }                        // 102
  virtual int32_t DeviceHookQuery() { return 0; }                                          // 103
  virtual void StartAcquisitionWorker() {}                                                 // 104
  virtual void StopAcquisitionWorker() {}                                                  // 105
  virtual int32_t IsAcquisitionWorkerRunning() { return 0; }                               // 106
  virtual int32_t DeviceHookCommand(int32_t) { return 0; }                                 // 107
  virtual int32_t HasExtraFeature() { return 0; }                                          // 108
  virtual int32_t SetExtraFeature(int32_t) { return 0; }                                   // 109
  virtual int32_t GetExtraFeature(int32_t*) { return 0; }                                  // 110
  virtual int32_t SetExtraFeaturePair(int32_t, int32_t) { return 0; }                      // 111
  virtual int32_t GetExtraFeaturePair(int32_t*, int32_t*) { return 0; }                    // 112
  virtual int32_t HasAuxiliarySwitch() { return 0; }                                       // 113
  virtual int32_t GetAuxiliarySwitch(int32_t*) { return 0; }                               // 114
  virtual int32_t SetAuxiliarySwitch(int32_t) { return 0; }                                // 115
  virtual int32_t ExtraQuery1() { return 0; }                                              // 116
  virtual int32_t ExtraQuery2() { return 0; }                                              // 117
  virtual int32_t ExtraQuery3() { return 0; }                                              // 118
  virtual int32_t ExtraCommand1(int32_t) { return 0; }                                     // 119
  virtual int32_t ExtraCommand2(int32_t) { return 0; }                                     // 120
  virtual int32_t HasRealExposureTime();                                                   // 121
  virtual int32_t GetRealExposureTimeMin(double* seconds);                                 // 122
  virtual int32_t GetRealExposureTimeMax(double* seconds);                                 // 123
  virtual int32_t GetRealExposureTimeDefault(double* seconds);                             // 124
  virtual int32_t GetRealExposureTime(double* seconds);                                    // 125
  virtual int32_t SetRealExposureTime(double /*seconds*/) { return 0; }                    // 126
  virtual int32_t HasShortExposureMode() { return 0; }                                     // 127
  virtual int32_t GetShortExposureMode(int32_t*) { return 0; }                             // 128
  virtual int32_t SetShortExposureMode(int32_t) { return 0; }                              // 129
  virtual int32_t OptionalOperationPair(int32_t, int32_t) { return 0; }                    // 130
  virtual int32_t OptionalOperationQuad(int32_t, int32_t, int32_t, int32_t) { return 0; }  // 131
  virtual int32_t HasGainLevel() { return 0; }                                             // 132
  virtual int32_t GetGainLevel() { return -1; }                                            // 133
  virtual int32_t SetGainLevel(int32_t /*level*/) { return 0; }                            // 134
  virtual int32_t OptionalQuery3() { return 0; }                                           // 135
  // Bytes per sample the sensor delivers; -1 when the class does not say.
  virtual int32_t GetBytesPerPixel() { return -1; }        // 136
  virtual int32_t OptionalCommand7(int32_t) { return 0; }  // 137
  virtual int32_t SupportsColorSetting0() { return 1; }    // 138
  virtual int32_t SupportsColorSetting1() { return 1; }    // 139
  virtual int32_t SupportsColorSetting2() { return 1; }    // 140
  virtual int32_t CanSetFpgaMode24() { return 0; }         // 141
  virtual int32_t SetFpgaMode24() { return 0; }            // 142
  virtual int32_t OptionalQuery4() { return 0; }           // 143
  virtual int32_t StreamStartQuery() { return 0; }         // 144
  virtual void OptionalHook() {}                           // 145
  virtual int32_t StreamStartCheck() { return 0; }         // 146

  // Base services, shared by the sensor classes.

  // The FPGA version word; read from the controller once (10 tries, 100 ms
  // apart) and cached. Returns 0 when it cannot be read.
  int32_t ReadFpgaVersion(uint16_t* version);
  // Writes an FPGA register and reads it back until the low byte matches.
  int32_t FpgaWriteVerified(uint8_t reg, uint32_t value);
  // The same with the system timer resolution raised to 1 ms throughout.
  int32_t FpgaWriteVerifiedTimed(uint8_t reg, uint32_t value);
  // Pulses the FPGA restart register (1, 1 ms, 0, 1 ms).
  int32_t PulseRestart();
  // The FPGA option byte (register 23), read once; 0 while unreadable.
  uint8_t FpgaOptionByte();

  // Raw 12-bit two's-complement temperature in 1/8 degree to Celsius.
  static double ConvertRawTemperature(uint16_t raw);

  const SensorDescriptor& descriptor() const { return descriptor_; }
  int32_t model_code() const { return model_code_; }
  int32_t frame_period_ms() const { return frame_period_ms_; }
  bool reconfiguration_pending() const { return reconfigure_; }
  int32_t restart_pulse_enabled() const { return restart_pulse_; }
  int32_t trigger_output_option() const { return trigger_output_; }
  uint8_t bus_address() const { return bus_address_; }

 protected:
  // True when the FPGA version reads and has all bits of `mask` set.
  bool FpgaVersionHas(uint16_t mask);
  // The raw temperature: from the FPGA copy (registers 229/230) when the
  // version reads and is at least `fpga_copy_min_version`, else from the
  // sensor's own registers.
  uint16_t ReadRawTemperature(uint16_t fpga_copy_min_version);

  SensorDescriptor descriptor_{};
  CControllerBase* controller_;
  uint8_t bus_address_;
  int32_t trigger_state_ = kInitialTriggerState;
  uint16_t fpga_version_ = 0;
  int32_t model_code_ = 0;
  int32_t trigger_output_ = 0;
  int32_t restart_pulse_ = 1;
  int32_t base_word_300_ = 300;
  int32_t base_word_1_ = 1;
  uint8_t fpga_option_byte_ = 0;
  bool fpga_option_byte_read_ = false;
  platform::CriticalSection bus_lock_;  // around single two-wire transfers
  int32_t frame_period_ms_ = 0;
  bool reconfigure_ = false;
  platform::Clock& clock_;
};

}  // namespace morvex
