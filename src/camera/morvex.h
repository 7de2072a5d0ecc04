// The camera instance behind one camera handle.
//
// Every export reaches exactly one operation here. Each operation that talks
// to the camera first checks for the device object and records
// kErrNotReady without one. The device object, images, worker threads,
// preview window and settings persistence join this class later; until then
// the device pointer stays null and the instance answers as an instance
// whose camera is not ready.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "camera/device_registers.h"
#include "camera/errors.h"
#include "camera/image_settings.h"
#include "camera/records.h"
#include "platform/clock.h"
#include "platform/window_messages.h"

namespace morvex {

class CMorvexZ3U2Base;

class CMorvex {
 public:
  static constexpr int kErrorHistoryLength = 20;
  static constexpr int32_t kSensorWidth = 640;
  static constexpr int32_t kSensorHeight = 512;

  explicit CMorvex(platform::Clock& clock = platform::SystemClock());
  virtual ~CMorvex();
  CMorvex(const CMorvex&) = delete;
  CMorvex& operator=(const CMorvex&) = delete;

  // --- Error state ---------------------------------------------------------
  // Pushes the code on the history and posts MORVEX_WM_ERROR to the
  // application window when one is set.
  void RecordError(int32_t code);
  // Skips the history; posts to the application window even when it is null.
  void PostErrorOnly(int32_t code);
  // Newest code first; 0 once the history is exhausted.
  int32_t PopError();
  platform::WindowHandle application_window() const { return application_window_; }
  platform::WindowHandle callback_window() const { return callback_window_; }

  // --- Lifetime and selection ------------------------------------------------
  int32_t Initialize(platform::WindowHandle window);
  int32_t EnumDevice(char* names);
  int32_t EnumDeviceW(wchar_t* names);
  int32_t GetDeviceName(int32_t device, char* buffer, int32_t size);
  int32_t GetDeviceNameW(int32_t device, wchar_t* buffer, int32_t length);
  int32_t SetDeviceNumber(int32_t device);
  int32_t GetCameraInfo(CameraInfoRecord* info);
  int32_t Close();

  // --- Direct device access ----------------------------------------------------
  int32_t ReadSensorRegister(int32_t reg, bool full_address, int32_t* flag);
  int32_t WriteSensorRegister(int32_t reg, int32_t value, bool full_width);
  int32_t ReadFpgaRegister(int32_t reg, int32_t* flag);
  int32_t WriteFpgaRegister(int32_t reg, int32_t value);
  int32_t GetIOPort(uint8_t* value);
  int32_t SetIOPort(int32_t value);
  int32_t ReadSromId(int32_t address, int32_t* flag);
  int32_t WriteSromId(int32_t address, int32_t value);
  int32_t ReadSerialNumber(char* buffer, int32_t size);
  int32_t ReadSerialNumberW(wchar_t* buffer, int32_t length);

  // --- Capture geometry and video format ----------------------------------------
  int32_t SetCaptureWindow(int32_t width, int32_t height);
  int32_t SetCaptureWindowEx(int32_t total_h, int32_t x, int32_t width, int32_t total_v, int32_t y, int32_t height);
  int32_t GetCaptureWindowEx(int32_t* total_h, int32_t* x, int32_t* width, int32_t* total_v, int32_t* y,
                             int32_t* height) const;
  int32_t Width() const { return capture_width_; }
  int32_t Height() const { return capture_height_; }
  int32_t SetSubSample(int32_t mode);
  int32_t GetSubSample() const { return subsample_; }
  int32_t SetColorMode(int32_t bits_per_pixel);
  int32_t GetColorMode() const;
  int32_t SetSamplingRate(int32_t rate);
  int32_t GetSamplingRate(int32_t* rate) const;  // also the video format
  int32_t SetWaitTime(int32_t milliseconds);
  int32_t GetWaitTime() const { return wait_time_ms_; }

  // --- Acquisition and preview window ------------------------------------------
  int32_t Preview();
  int32_t CallBackPreview(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order);
  int32_t Capture();
  int32_t SnapShot(void* buffer, int32_t size, int32_t row_order);
  int32_t Trigger(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order);
  int32_t StartPreview();
  int32_t StopPreview();
  int32_t GetImage(void* buffer, int32_t size, int32_t row_order);
  int32_t SetPreviewWindow(platform::WindowHandle parent, int32_t x, int32_t y, int32_t width, int32_t height);

  // --- Filter values and other properties ----------------------------------------
  int32_t GetFilterValue(int32_t id, int32_t* flag);
  int32_t SetFilterValue(int32_t id, int32_t value);
  double GetExposureTimeEx(int32_t* flag);
  int32_t SetExposureTimeEx(double seconds);
  int32_t GetRealExposureTime(int32_t* flag);
  int32_t SetRealExposureTime(int32_t microseconds);
  double GetTemperatureEx(int32_t* flag);
  int32_t GetMirrorH();
  int32_t SetMirrorH(int32_t on);
  int32_t GetMirrorV();
  int32_t SetMirrorV(int32_t on);
  int32_t GetAutoIris(int32_t* flag) const;
  int32_t SetAutoIris(int32_t mode);
  int32_t GetInternalCorrection(int32_t* flag);
  int32_t SetInternalCorrection(int32_t value);

  // --- Mask, files and dialogs --------------------------------------------------
  int32_t LoadMaskFile(const char* path);
  int32_t SaveMaskFile(const char* path);
  int32_t UpdateMaskData(int32_t which);
  int32_t SaveImage(const char* path, int32_t format);
  int32_t Record(const char* path, int32_t duration_ms, int32_t show_preview);
  int32_t LoadConfigFile(const char* path);
  // The pairs of the last configuration file read, in file order.
  struct ConfigPair {
    int32_t first;
    int32_t second;
  };
  std::vector<ConfigPair> config_list() const;
  int32_t CameraDialog(platform::WindowHandle owner);
  int32_t AnalogDialog(platform::WindowHandle owner);
  int32_t ImageDialog(platform::WindowHandle owner);

  // The device object's register view; set together with the device object
  // and cleared before it goes away. Not owned.
  void AttachRegisterAccess(DeviceRegisterAccess* registers) { registers_ = registers; }
  bool has_device() const { return device_ != nullptr || registers_ != nullptr; }

 private:
  // Records kErrNotReady and answers false when there is no device object.
  bool RequireDevice();
  bool CaptureWindowValid() const;

  platform::Clock& clock_;

  // Device.
  CMorvexZ3U2Base* device_ = nullptr;
  DeviceRegisterAccess* registers_ = nullptr;

  // Size settings.
  int32_t total_h_ = kSensorWidth;
  int32_t total_v_ = kSensorHeight;
  int32_t capture_width_ = kSensorWidth;
  int32_t capture_height_ = kSensorHeight;
  int32_t capture_x_ = 0;
  int32_t capture_y_ = 0;
  int32_t buffer_count_ = 4;

  // Image settings, the dot and mask filters among them.
  ImageSettings image_;

  // Camera settings.
  int32_t mirror_v_ = 0;
  int32_t mirror_h_ = 0;
  int32_t auto_iris_ = 0;

  // Acquisition.
  int32_t color_mode_ = 0;  // index 0-5
  int32_t subsample_ = 0;
  int32_t wait_time_ms_ = 10;

  // Windows.
  platform::WindowHandle application_window_ = nullptr;
  platform::WindowHandle callback_window_ = nullptr;
  FrameDescription frame_description_{};

  // Guards the reference frames, defect maps and the configuration list.
  mutable std::mutex mask_lock_;
  std::vector<ConfigPair> config_list_;

  // Errors are pushed from application and worker threads alike.
  mutable std::mutex error_lock_;
  int32_t error_history_[kErrorHistoryLength] = {};
};

}  // namespace morvex
