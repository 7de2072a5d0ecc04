// CMorvexZ3U2Base: the device object a camera instance talks to. It owns the
// controller and the sensor object, opens a camera by product identifier and
// instance number, sizes the receive buffer and the ring of frame buffers,
// runs the frame thread and hands finished frames over.
//
// The interface is a table of 187 virtual operations in a fixed slot order
// (the slot number is given beside each); most of them forward to the sensor
// object and answer 0 when there is none. Results are 1 for success and 0 for
// failure unless said otherwise.
//
// Threads: the application side calls every operation; the frame thread runs
// StreamLoop. They share the ring through atomics only: the frame thread never
// fills the newest buffer nor the one the application is copying, so a copy
// never sees a half-written frame and the frame thread never waits.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/driver_port.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "sensors/sensor_base.h"
#include "sensors/sensor_descriptor.h"
#include "usb/fx3_api.h"
#include "usb/qor_cy3_cam.h"

namespace morvex {

// Product identifiers the device layer tells apart.
namespace product {
constexpr int32_t kSecondaryEndpoint = 0x3042;
constexpr int32_t kEightBufferRing = 0x32D0;
constexpr int32_t kImx990 = 0x3260;
constexpr int32_t kImx990Cooled = 0x3270;
constexpr int32_t kImx991 = 0x3280;
constexpr int32_t kImx991Cooled = 0x3290;
constexpr int32_t kImx992 = 0x3370;
constexpr int32_t kImx992Cooled = 0x3380;
constexpr int32_t kImx993 = 0x33C0;
constexpr int32_t kImx993Cooled = 0x33D0;
bool IsMemoryStream(int32_t product_id);
}  // namespace product

// FPGA registers the device layer itself uses (8-bit registers).
namespace fpga_reg {
constexpr uint8_t kStatus = 2;  // bit 1: busy
constexpr uint8_t kIoPort = 7;
constexpr uint8_t kFrameCounter = 8;
constexpr uint8_t kWindowHeightLow = 64;
constexpr uint8_t kWindowHeightHigh = 65;
constexpr uint8_t kWindowWidthLow = 68;
constexpr uint8_t kWindowWidthHigh = 69;
constexpr uint8_t kVerticalOffsetLow = 72;
constexpr uint8_t kVerticalOffsetHigh = 73;
constexpr uint8_t kHorizontalOffsetLow = 76;
constexpr uint8_t kHorizontalOffsetHigh = 77;
constexpr uint8_t kReadyPulse = 130;  // bit 0 pulsed while waiting for readiness
constexpr uint8_t kCorrectionLevelLow = 208;
constexpr uint8_t kCorrectionControl = 209;  // bit 0: internal correction on
constexpr uint8_t kCorrectionLevelHigh = 210;
}  // namespace fpga_reg

// Fields of the 64-byte camera information block the library relies on.
constexpr size_t kCameraInfoSize = 64;
constexpr size_t kInfoFirmwareVersionOffset = 24;  // u16
constexpr size_t kInfoReadyLineOffset = 52;        // u8, 1: ready line available
constexpr uint16_t kFirmwareEndpointReset = 0x1100;
constexpr uint16_t kFirmwareReadyLine = 0x1101;

// Frame-header words kept per ring buffer (word offsets into the header).
constexpr size_t kHeaderWord28 = 28;
constexpr size_t kHeaderWord32 = 32;
constexpr size_t kHeaderWord40 = 40;
constexpr size_t kHeaderWord44 = 44;

constexpr int kMaxRingSize = 8;
constexpr int kShadowTableSize = 32;

// Receive and frame buffer size for a window of `width` samples (already
// doubled for two-byte pixels) by `height` lines with `bytes_per_sample`:
// 128 lines and 128 samples of slack, rounded to 8 KiB.
uint32_t FrameBufferCapacity(int32_t width, int32_t height, int32_t bytes_per_sample);

class CMorvexZ3U2Base {
 public:
  static constexpr int32_t kDefaultFrameTimeoutMs = 5000;
  static constexpr int kMaxFrameFailures = 5;  // four recoveries, then give up
  static constexpr int kCaptureAttempts = 11;
  static constexpr uint32_t kCaptureTimeLimitMs = 9999;
  static constexpr uint32_t kCaptureDataWaitMs = 3000;
  static constexpr int kReadyPolls = 400;
  static constexpr uint32_t kReadyPollMs = 500;
  static constexpr uint32_t kReadyPulseIntervalMs = 25000;
  static constexpr uint32_t kThreadJoinMs = 3000;
  static constexpr uint32_t kTriggerFrameWaitMs = 60000;

  // `port` and `clock` reach the cameras and time; tests pass an emulator and
  // a simulated clock. `mapping_name` names the shared device table.
  CMorvexZ3U2Base(platform::DriverPort& port, platform::Clock& clock, const char* mapping_name = nullptr);
  CMorvexZ3U2Base(const CMorvexZ3U2Base&) = delete;
  CMorvexZ3U2Base& operator=(const CMorvexZ3U2Base&) = delete;

  virtual ~CMorvexZ3U2Base();                                                        // 0
  virtual int32_t CreateController(const platform::Guid* interface_guid = nullptr);  // 1
  virtual int32_t InitializeCamera();                                                // 2
  virtual int32_t CloseCamera();                                                     // 3
  virtual int32_t GetCameraInfoBlock(uint8_t* info);                                 // 4
  virtual int32_t CopyDescriptor(SensorDescriptor* destination);                     // 5
  virtual int32_t GetCameraInfoBlock2(uint8_t* info);                                // 6
  virtual int32_t Reopen(int32_t instance);                                          // 7
  virtual int32_t OpenCamera(int32_t instance);                                      // 8
  virtual int32_t Unused9() { return 0; }                                            // 9
  virtual int32_t IsCameraPresent(int32_t instance);                                 // 10
  virtual int32_t CountCameras(int32_t product_id);                                  // 11
  virtual int32_t GetDeviceName(int32_t table_index, std::string* name);             // 12
  virtual int32_t SetProductId(int32_t product_id);                                  // 13
  virtual int32_t GetProductId();                                                    // 14
  virtual int32_t GetEntryVendorId(int32_t table_index);                             // 15
  virtual int32_t GetEntryProductId(int32_t table_index);                            // 16
  virtual int32_t GetEntryInstance(int32_t table_index);                             // 17
  virtual int32_t UsesSecondaryEndpoint();                                           // 18
  virtual int32_t IsMemoryStreamModel();                                             // 19
  virtual int32_t GetTableIndex();                                                   // 20
  virtual int32_t StartStream(int32_t transfer_mode);                                // 21
  virtual int32_t StopStream(int32_t wait);                                          // 22
  // Copies a finished frame to `destination`; `buffer_choice` non-zero takes
  // ring buffer 0 instead of the newest. Out pointers may be null.
  virtual int32_t CopyFrame(uint8_t* destination, uint32_t capacity, int32_t* frame_counter, uint32_t* word28,
                            uint32_t* word32, uint32_t* word40, uint32_t* word44, int32_t buffer_choice,
                            int32_t vertical_flag);       // 23
  virtual int32_t SetTransferMode(int32_t mode);          // 24
  virtual int32_t ResetStream();                          // 25
  virtual int32_t StreamLoop();                           // 26
  virtual int32_t StreamLoopSecondary() { return 0; }     // 27
  virtual int32_t StreamLoopMemory() { return 0; }        // 28
  virtual int32_t ApplySettings();                        // 29
  virtual int32_t GetMaxDevices();                        // 30
  virtual int32_t ReadFrameCounter();                     // 31
  virtual int32_t CaptureOneFrame();                      // 32
  virtual int32_t Unused33() { return -1; }               // 33
  virtual int32_t CopyFirstFrame(uint8_t* destination);   // 34
  virtual int32_t SetFrameTimeout(int32_t milliseconds);  // 35
  // 3: a new frame; 2: time-out or no new frame; 1: the frame thread gave up.
  virtual int32_t WaitFrame(uint32_t milliseconds);  // 36
  virtual int32_t GetFrame(uint8_t* destination, int32_t, int32_t, int32_t,
                           int32_t vertical_flag);  // 37
  virtual int32_t GetFrameWithInfo(uint8_t* destination, uint32_t* pair, uint32_t* word,
                                   int32_t choice);  // 38
  virtual int32_t GetFrameEx(uint8_t* destination, int32_t* frame_counter, uint32_t* word28, uint32_t* word32,
                             uint32_t* word40, uint32_t* word44, int32_t, int32_t, int32_t,
                             int32_t vertical_flag);                                             // 39
  virtual int32_t Unused40() { return 0; }                                                       // 40
  virtual int32_t SetDataWidth(int32_t value);                                                   // 41
  virtual int32_t SetClockMode(int32_t value);                                                   // 42
  virtual int32_t SetClockSetting(int32_t value);                                                // 43
  virtual int32_t SetWindow(int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode);  // 44
  virtual int32_t GetWindow(int32_t* x, int32_t* y, int32_t* width, int32_t* height,
                            int32_t* mode);                        // 45
  virtual int32_t SetMirrorH(int32_t on);                          // 46
  virtual int32_t SetMirrorV(int32_t on);                          // 47
  virtual int32_t GetMirrorH(int32_t* on);                         // 48
  virtual int32_t GetMirrorV(int32_t* on);                         // 49
  virtual int32_t GetMirrorHDefault();                             // 50
  virtual int32_t GetMirrorVDefault();                             // 51
  virtual int32_t HasMirrorV();                                    // 52
  virtual int32_t HasMirrorH();                                    // 53
  virtual int32_t SetTriggerMode(int32_t mode, int32_t force);     // 54
  virtual int32_t GetTriggerMode(int32_t* mode);                   // 55
  virtual int32_t WriteSromByte(uint16_t address, uint8_t value);  // 56
  virtual int32_t ReadSromByte(uint16_t address, uint8_t* value);  // 57
  // The sensor's size limits, straight from its descriptor.
  virtual int32_t GetMaxWidth();                                         // 58
  virtual int32_t GetMaxHeight();                                        // 59
  virtual int32_t GetDefaultLeft();                                      // 60
  virtual int32_t GetDefaultTop();                                       // 61
  virtual int32_t GetDefaultWidth();                                     // 62
  virtual int32_t GetDefaultHeight();                                    // 63
  virtual int32_t GetSizeWordA();                                        // 64
  virtual int32_t GetSizeWordB();                                        // 65
  virtual int32_t SetGain(int32_t gain);                                 // 66
  virtual int32_t GetGain(int32_t* gain);                                // 67
  virtual int32_t GetGainMin(int32_t* value);                            // 68
  virtual int32_t GetGainMax(int32_t* value);                            // 69
  virtual int32_t GetGainDefault(int32_t* value);                        // 70
  virtual int32_t SetExposureTime(int32_t tenth_ms);                     // 71
  virtual int32_t GetExposureTime(int32_t* value);                       // 72
  virtual int32_t GetExposureTimeMin(int32_t* value);                    // 73
  virtual int32_t GetExposureTimeMax(int32_t* value);                    // 74
  virtual int32_t GetExposureTimeDefault(int32_t* value);                // 75
  virtual int32_t SetExposureLines(int32_t lines);                       // 76
  virtual int32_t GetExposureLines(int32_t* lines);                      // 77
  virtual int32_t GetExposureLinesMin(int32_t* value);                   // 78
  virtual int32_t GetExposureLinesMax(int32_t* value);                   // 79
  virtual int32_t GetExposureLinesDefault(int32_t* value);               // 80
  virtual int32_t HasRealExposureTime();                                 // 81
  virtual int32_t SetRealExposureTime(double seconds);                   // 82
  virtual int32_t GetRealExposureTime(double* seconds);                  // 83
  virtual int32_t GetRealExposureTimeMin(double* seconds);               // 84
  virtual int32_t GetRealExposureTimeMax(double* seconds);               // 85
  virtual int32_t GetRealExposureTimeDefault(double* seconds);           // 86
  virtual int32_t ExtendedSettingPair1(int32_t a, int32_t b);            // 87
  virtual int32_t ExtendedSettingPair2(int32_t a, int32_t b);            // 88
  virtual int32_t ExtendedSetting1(int32_t a);                           // 89
  virtual int32_t ExtendedSetting2(int32_t a);                           // 90
  virtual int32_t ExtendedSetting3(int32_t a);                           // 91
  virtual int32_t ExtendedSettingPair3(int32_t a, int32_t b);            // 92
  virtual int32_t ExtendedSettingPair4(int32_t a, int32_t b);            // 93
  virtual int32_t ExtendedSetting4(int32_t a);                           // 94
  virtual int32_t ExtendedSetting5(int32_t a);                           // 95
  virtual int32_t ExtendedSetting6(int32_t a);                           // 96
  virtual int32_t SetGainRed(int32_t gain);                              // 97
  virtual int32_t GetGainRed(int32_t* gain);                             // 98
  virtual int32_t SetGainGreen1(int32_t gain);                           // 99
  virtual int32_t GetGainGreen1(int32_t* gain);                          // 100
  virtual int32_t SetGainGreen2(int32_t gain);                           // 101
  virtual int32_t GetGainGreen2(int32_t* gain);                          // 102
  virtual int32_t SetGainBlue(int32_t gain);                             // 103
  virtual int32_t GetGainBlue(int32_t* gain);                            // 104
  virtual int32_t GetColorGainMin(int32_t* value);                       // 105
  virtual int32_t GetColorGainMax(int32_t* value);                       // 106
  virtual int32_t GetColorGainDefault(int32_t* value);                   // 107
  virtual int32_t HasBlackLevel();                                       // 108
  virtual int32_t SetBlackLevel(int32_t level);                          // 109
  virtual int32_t GetBlackLevel(int32_t* value);                         // 110
  virtual int32_t GetBlackLevelMin(int32_t* value);                      // 111
  virtual int32_t GetBlackLevelMax(int32_t* value);                      // 112
  virtual int32_t GetBlackLevelDefault(int32_t* value);                  // 113
  virtual int32_t HasGainMode();                                         // 114
  virtual int32_t SetGainMode(int32_t mode);                             // 115
  virtual int32_t GetGainMode(int32_t* mode);                            // 116
  virtual int32_t WriteSensorRegister(uint16_t address, uint8_t value);  // 117
  virtual int32_t ReadSensorRegister(uint16_t address, uint8_t* value);  // 118
  virtual int32_t WriteFpgaRegister(uint8_t reg, uint32_t value);        // 119
  // Returns the register value; `ok` tells whether the read succeeded.
  virtual int32_t ReadFpgaRegister(uint8_t reg, int32_t* ok);                         // 120
  virtual int32_t WriteBusWords(uint8_t address, uint16_t first, uint16_t second);    // 121
  virtual int32_t ReadBusWords(uint8_t address, uint16_t* first, uint16_t* second);   // 122
  virtual int32_t WaitFpgaIdle(uint32_t milliseconds);                                // 123
  virtual int32_t Unused124() { return 0; }                                           // 124
  virtual int32_t Unused125() { return 0; }                                           // 125
  virtual void OnSettingsApplied();                                                   // 126
  virtual void OnSettingsHook();                                                      // 127
  virtual int32_t SetSamplingRate(int32_t a, int32_t b);                              // 128
  virtual int32_t HasGainLevel();                                                     // 129
  virtual int32_t SetGainLevel(int32_t level);                                        // 130
  virtual int32_t GetGainLevel();                                                     // 131
  virtual int32_t WriteSromByte1080(uint8_t value);                                   // 132
  virtual int32_t ReadSromByte1080(uint8_t* value);                                   // 133
  virtual int32_t HasInternalCorrection();                                            // 134
  virtual int32_t GetInternalCorrection();                                            // 135
  virtual int32_t SetInternalCorrection(int32_t on);                                  // 136
  virtual int32_t HasCorrectionControl();                                             // 137
  virtual int32_t SetCorrectionLevel(int32_t value);                                  // 138
  virtual int32_t GetCorrectionLevel(int32_t* value);                                 // 139
  virtual int32_t GetCorrectionLevelMin();                                            // 140
  virtual int32_t GetCorrectionLevelMax();                                            // 141
  virtual int32_t ReceiveText(char*, int32_t) { return 0; }                           // 142
  virtual int32_t SendText(const char*) { return 0; }                                 // 143
  virtual int32_t HasCooler();                                                        // 144
  virtual int32_t GetCooler();                                                        // 145
  virtual int32_t SetCooler(int32_t on);                                              // 146
  virtual int32_t HasTemperature();                                                   // 147
  virtual int32_t GetTemperature(double* celsius);                                    // 148
  virtual int32_t HasExtraFeature();                                                  // 149
  virtual int32_t SetExtraFeature(int32_t a);                                         // 150
  virtual int32_t GetExtraFeature(int32_t* a);                                        // 151
  virtual int32_t HasAuxiliarySwitch();                                               // 152
  virtual int32_t GetAuxiliarySwitch(int32_t* on);                                    // 153
  virtual int32_t SetAuxiliarySwitch(int32_t on);                                     // 154
  virtual int32_t ExtraQuery1();                                                      // 155
  virtual int32_t ExtraQuery2();                                                      // 156
  virtual int32_t ExtraQuery3();                                                      // 157
  virtual int32_t ExtraCommand1(int32_t a);                                           // 158
  virtual int32_t ExtraCommand2(int32_t a);                                           // 159
  virtual int32_t IsMemoryStreamModelAlias();                                         // 160
  virtual int32_t GetFpgaTemperature(double*) { return 0; }                           // 161
  virtual int32_t OptionalOperationPair(int32_t a, int32_t b);                        // 162
  virtual int32_t OptionalOperationQuad(int32_t a, int32_t b, int32_t c, int32_t d);  // 163
  virtual int32_t SetTriggerOutput(int32_t on);                                       // 164
  virtual int32_t ApplyTriggerOutput();                                               // 165
  virtual int32_t HasTriggerOutput();                                                 // 166
  virtual int32_t HasShortExposureMode();                                             // 167
  virtual int32_t GetShortExposureMode(int32_t* on);                                  // 168
  virtual int32_t SetShortExposureMode(int32_t on);                                   // 169
  virtual int32_t HasAuxiliary();                                                     // 170
  virtual int32_t GetAuxiliaryMin(int32_t* value);                                    // 171
  virtual int32_t GetAuxiliaryMax(int32_t* value);                                    // 172
  virtual int32_t GetAuxiliaryDefault(int32_t* value);                                // 173
  virtual int32_t SetAuxiliaryAlternate(int32_t value);                               // 174
  virtual int32_t SetAuxiliary(int32_t value);                                        // 175
  virtual int32_t SetAuxiliaryPair(int32_t a, int32_t b);                             // 176
  virtual int32_t OptionalQuery3();                                                   // 177
  virtual int32_t OptionalCommand7(int32_t a);                                        // 178
  virtual int32_t GetBytesPerPixel();                                                 // 179
  virtual int32_t SupportsColorSetting0();                                            // 180
  virtual int32_t SupportsColorSetting1();                                            // 181
  virtual int32_t SupportsColorSetting2();                                            // 182
  virtual int32_t CanSetFpgaMode24();                                                 // 183
  virtual int32_t SetFpgaMode24();                                                    // 184
  virtual int32_t StreamStartQuery();                                                 // 185
  virtual void Unused186() {}                                                         // 186

  // ---- Observers (not part of the operation table) ----
  CQorCy3Cam* controller() const { return controller_.get(); }
  CSensorBase* sensor() const { return sensor_.get(); }
  const uint8_t* camera_info() const { return camera_info_; }
  uint16_t firmware_version() const;
  int32_t ring_size() const { return ring_size_; }
  int32_t write_index() const { return write_index_.load(); }
  int32_t read_index() const { return read_index_.load(); }
  uint32_t receive_capacity() const { return receive_capacity_; }
  int32_t frame_byte_count() const { return frame_byte_count_; }
  int32_t transfer_mode() const { return transfer_mode_.load(); }
  int32_t trigger_mode() const { return trigger_mode_.load(); }
  int32_t failure_flag() const { return failure_flag_.load(); }
  int32_t frame_timeout() const { return frame_timeout_ms_.load(); }
  int32_t counted_frames() const { return counted_frames_.load(); }
  int32_t settings_dirty() const { return settings_dirty_; }
  int32_t running() const { return running_.load(); }
  uint8_t last_frame_counter() const { return static_cast<uint8_t>(last_frame_counter_.load()); }
  float frame_rate() const { return frame_rate_.load(); }
  double transfer_rate() const { return transfer_rate_.load(); }
  // Frames the frame thread finished since the object was made.
  uint64_t frames_produced() const { return produced_.load(); }
  // Frames replaced by newer ones before the application took them.
  uint64_t frames_dropped() const { return dropped_.load(); }
  // Steady-clock time (ns) at which the newest frame entered the ring; for
  // latency measurements.
  int64_t newest_delivered_ns() const { return delivered_ns_.load(); }
  // Live device objects in this process.
  static int live_objects();

 protected:
  // One buffer of the ring and what the frame thread noted beside it.
  struct RingSlot {
    std::unique_ptr<uint8_t[]> data;
    int32_t frame_counter = -1;
    std::array<uint32_t, 4> header_words{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};  // 28, 32, 40, 44
    uint32_t pair[2] = {0, 0};
    uint32_t word = 0;
    uint64_t sequence = 0;  // 0: never filled
  };

  // What the ring holds: decided by ApplySettings, used by every copy.
  struct FrameGeometry {
    int32_t lines = 0;
    int32_t samples_per_line = 0;
    int32_t bytes_per_sample = 1;
    int32_t orientation = 0;  // the sensor's orientation code
  };

  enum class SensorFamily { kOther, kImx990Pair, kImx992, kImx993 };
  SensorFamily Family() const;

  // ---- Opening ----
  int32_t WaitUntilReady();
  void PulseReadyRegister();
  void Trace(const char* format, ...);

  // ---- Streaming ----
  void FreeBuffers();
  void ResetSlotInfo(RingSlot& slot);
  // The received frame and its header words into a ring buffer.
  void FillSlot(RingSlot& slot, const FrameRecord& record);
  void WriteWindowRegisters(int32_t width_samples, int32_t height, const int32_t* window_mode);
  // Ends the frame thread: abort pending transfers until it leaves (bounded).
  bool EndFrameThread(uint32_t first_wait_ms);
  void FrameThreadBody();
  void DeliverFrame(const FrameRecord& record, uint32_t data_started_ms);
  void UpdateRates(uint32_t data_started_ms);
  int32_t SelectFillTarget();
  void FinishStreamLoop();

  // ---- Hand-off ----
  int32_t CopySlot(int32_t slot_index, uint8_t* destination, uint32_t capacity, int32_t vertical_flag,
                   RingSlot* info);
  int32_t CopyNewest(uint8_t* destination, uint32_t capacity, int32_t vertical_flag, int32_t buffer_choice,
                     RingSlot* info);
  void NoteTaken(uint64_t sequence);

  platform::DriverPort& port_;
  platform::Clock& clock_;
  std::string mapping_name_;

  // Fields in the order the object has always kept them.
  std::unique_ptr<CQorCy3Cam> controller_;
  int32_t reserved_word_ = 0;
  uint8_t camera_info_[kCameraInfoSize] = {};
  std::unique_ptr<uint8_t[]> receive_buffer_;
  uint32_t receive_capacity_ = 0;
  std::atomic<int32_t> transfer_mode_{0};
  int32_t product_id_ = -1;
  int32_t shadow_table_[kShadowTableSize];
  int32_t data_width_flag_ = 0;
  std::atomic<int32_t> trigger_mode_{-1};
  std::array<RingSlot, kMaxRingSize> ring_;
  int32_t ring_size_ = 4;
  std::atomic<int32_t> write_index_{0};
  std::atomic<int32_t> read_index_{3};
  int32_t frame_byte_count_ = 0;
  std::atomic<int32_t> failure_flag_{0};
  platform::Event frame_event_{false, false};
  std::atomic<float> frame_rate_{0.0f};
  std::atomic<double> transfer_rate_{0.0};
  int32_t settings_dirty_ = 1;
  std::unique_ptr<CSensorBase> sensor_;
  std::atomic<uint32_t> last_frame_counter_{0};
  int32_t table_index_ = 0;
  std::atomic<int32_t> frame_timeout_ms_{kDefaultFrameTimeoutMs};
  std::atomic<int32_t> counted_frames_{0};
  int32_t restart_pending_ = 1;
  std::atomic<int32_t> deferred_exposure_pending_{0};
  std::atomic<int32_t> deferred_exposure_value_{0};
  // Starting and stopping come from several threads (a snapshot and a
  // Close at once): one at a time, or both would join and free the same
  // frame thread. Recursive: a start stops, a stop is reached from a start.
  std::recursive_mutex stream_control_lock_;
  std::unique_ptr<platform::Thread> frame_thread_;
  std::atomic<int32_t> running_{0};
  // Each device object has its own: a shared one lets one camera's stop
  // consume another's signal.
  platform::Event thread_end_event_{false, false};

  // Ring hand-off between the frame thread and the application.
  FrameGeometry geometry_;
  std::atomic<int32_t> newest_{-1};   // last finished buffer
  std::atomic<int32_t> filling_{-1};  // buffer the frame thread is writing
  std::atomic<int32_t> pinned_{-1};   // buffer the application is copying
  std::atomic<uint64_t> produced_{0};
  std::atomic<int64_t> delivered_ns_{0};
  std::atomic<uint64_t> taken_{0};
  std::atomic<uint64_t> dropped_{0};

  // Frame-rate meter (frame thread only).
  uint32_t rate_window_start_ms_ = 0;
  uint32_t rate_window_frames_ = 0;
};

}  // namespace morvex
