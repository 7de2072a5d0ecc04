// The camera instance behind one camera handle.
//
// Every export reaches exactly one operation here. The instance is a
// composition of rooms, each owning its data: errors, selection, direct
// register access, capture format, stored settings, property dispatch,
// images and masks, and the acquisition and preview state. Each operation
// first asks Require for what it needs: kErrNotReady without the device
// object, kErrBuffer when initialisation ended before the images and
// references were made. Initialize creates the device object and the
// buffers, loads the stored settings and opens the camera when exactly one
// is attached; SetDeviceNumber selects another.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "camera/capture_format.h"
#include "camera/device_registers.h"
#include "camera/direct_access.h"
#include "camera/error_history.h"
#include "camera/errors.h"
#include "camera/image_room.h"
#include "camera/image_settings.h"
#include "camera/lifecycle.h"
#include "camera/preview/preview_window.h"
#include "camera/property_dispatch.h"
#include "camera/records.h"
#include "camera/selection.h"
#include "camera/stored_settings.h"
#include "files/config_file.h"
#include "imaging/cpu_info.h"
#include "imaging/frame_pipeline.h"
#include "platform/clock.h"
#include "platform/driver_port.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "platform/window_messages.h"
#include "settings/registry_store.h"

namespace morvex {

class CMorvexZ3U2Base;
namespace imaging {
class CDibImage;
}

class CMorvex {
 public:
  static constexpr int kErrorHistoryLength = ErrorHistory::kLength;
  static constexpr int32_t kSensorWidth = CaptureFormat::kSensorWidth;
  static constexpr int32_t kSensorHeight = CaptureFormat::kSensorHeight;

  static constexpr int32_t kProductId = 0x3290;  // 12944
  static constexpr int kMaxEnumeratedNames = Selection::kMaxEnumeratedNames;
  static constexpr int kNameEntryLength = Selection::kNameEntryLength;

  // What the instance is built from; tests replace the device object, the
  // notice registration and the settings key.
  struct Environment {
    std::function<std::unique_ptr<CMorvexZ3U2Base>()> make_device;
    std::function<bool(platform::WindowHandle, const platform::Guid&)> register_notices;
    std::string settings_key = settings::BaseKey();
  };

  // Instances made without an environment of their own (as Morvex_Initialize
  // makes them) use this one; empty members take the defaults: the device
  // object on the default driver port, the system's notice registration and
  // the user's settings key. Tests of the export layer set it. Thread-safe.
  static void SetDefaultEnvironment(Environment environment);

  explicit CMorvex(platform::Clock& clock);
  CMorvex(platform::Clock& clock, Environment environment);
  virtual ~CMorvex();
  CMorvex(const CMorvex&) = delete;
  CMorvex& operator=(const CMorvex&) = delete;

  // --- Error state ---------------------------------------------------------
  // Pushes the code on the history and posts MORVEX_WM_ERROR to the
  // application window when one is set.
  void RecordError(int32_t code) { errors_.Record(code); }
  // Skips the history; posts to the application window even when it is null.
  void PostErrorOnly(int32_t code) { errors_.PostOnly(code); }
  // Newest code first; 0 once the history is exhausted.
  int32_t PopError() { return errors_.Pop(); }
  platform::WindowHandle application_window() const { return errors_.window(); }
  platform::WindowHandle callback_window() const { return callback_window_.load(); }

  // --- Lifecycle -------------------------------------------------------------
  Lifecycle lifecycle() const;
  // The one check before an operation: answers true when the instance has
  // what `need` names, else reports the refusal's code in `report` style
  // (kErrNotReady without the device object or register view, kErrBuffer
  // without the buffers) and answers false.
  bool Require(Need need, Report report = Report::kRecord);

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
  int32_t SetCaptureWindowEx(int32_t total_h, int32_t x, int32_t width, int32_t total_v, int32_t y,
                             int32_t height);
  int32_t GetCaptureWindowEx(int32_t* total_h, int32_t* x, int32_t* width, int32_t* total_v, int32_t* y,
                             int32_t* height) const;
  int32_t Width() const { return format_.width; }
  int32_t Height() const { return format_.height; }
  int32_t SetSubSample(int32_t mode);
  int32_t GetSubSample() const { return format_.subsample; }
  int32_t SetColorMode(int32_t bits_per_pixel);
  int32_t GetColorMode() const;
  int32_t SetSamplingRate(int32_t rate);
  int32_t GetSamplingRate(int32_t* rate) const;  // also the video format
  int32_t SetWaitTime(int32_t milliseconds);
  int32_t GetWaitTime() const { return format_.wait_time_ms; }

  // --- Acquisition and preview window ------------------------------------------
  int32_t Preview();
  int32_t CallBackPreview(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order);
  int32_t Capture();
  int32_t SnapShot(void* buffer, int32_t size, int32_t row_order);
  int32_t Trigger(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order);
  int32_t StartPreview();
  int32_t StopPreview();
  int32_t GetImage(void* buffer, int32_t size, int32_t row_order);
  int32_t SetPreviewWindow(platform::WindowHandle parent, int32_t x, int32_t y, int32_t width,
                           int32_t height);

  // --- Filter values and other properties (the property dispatch room) ------------
  int32_t GetFilterValue(int32_t id, int32_t* flag) { return properties_.GetFilterValue(id, flag); }
  int32_t SetFilterValue(int32_t id, int32_t value) { return properties_.SetFilterValue(id, value); }
  double GetExposureTimeEx(int32_t* flag) { return properties_.GetExposureTimeEx(flag); }
  int32_t SetExposureTimeEx(double seconds) { return properties_.SetExposureTimeEx(seconds); }
  int32_t GetRealExposureTime(int32_t* flag) { return properties_.GetRealExposureTime(flag); }
  int32_t SetRealExposureTime(int32_t microseconds) { return properties_.SetRealExposureTime(microseconds); }
  double GetTemperatureEx(int32_t* flag) { return properties_.GetTemperatureEx(flag); }
  int32_t GetMirrorH() { return properties_.GetMirrorH(); }
  int32_t SetMirrorH(int32_t on) { return properties_.SetMirrorH(on); }
  int32_t GetMirrorV() { return properties_.GetMirrorV(); }
  int32_t SetMirrorV(int32_t on) { return properties_.SetMirrorV(on); }
  int32_t GetAutoIris(int32_t* flag) const { return properties_.GetAutoIris(flag); }
  int32_t SetAutoIris(int32_t mode) { return properties_.SetAutoIris(mode); }
  int32_t GetInternalCorrection(int32_t* flag) { return properties_.GetInternalCorrection(flag); }
  int32_t SetInternalCorrection(int32_t value) { return properties_.SetInternalCorrection(value); }

  // --- Mask, files and dialogs --------------------------------------------------
  int32_t LoadMaskFile(const char* path);
  int32_t SaveMaskFile(const char* path);
  int32_t UpdateMaskData(int32_t which);
  int32_t SaveImage(const char* path, int32_t format);
  int32_t Record(const char* path, int32_t duration_ms, int32_t show_preview);
  int32_t LoadConfigFile(const char* path);
  // The pairs of the last configuration file read, in file order.
  using ConfigPair = files::ConfigPair;
  std::vector<ConfigPair> config_list() const;
  int32_t CameraDialog(platform::WindowHandle owner);
  int32_t AnalogDialog(platform::WindowHandle owner);
  int32_t ImageDialog(platform::WindowHandle owner);

  // A register view attached here replaces the device object's own (tests).
  void AttachRegisterAccess(DeviceRegisterAccess* registers) { direct_.Attach(registers); }
  bool has_device() const { return device_ != nullptr || direct_.registers() != nullptr; }

  // Observers for tests and tools.
  CMorvexZ3U2Base* device() const { return device_.get(); }
  int32_t selected_device() const { return selection_.device(); }
  bool buffers_ready() const { return images_.ready(); }
  const imaging::CpuInfo& cpu_info() const { return cpu_info_; }
  // The reference frames and defect maps; null before initialisation.
  imaging::MaskData* mask_data() const { return images_.mask(); }
  // The cached camera settings as they are stored.
  settings::AnalogueRecord analogue_settings() const { return stored_.analogue_copy(); }
  // The image-settings record as the next frame will read it.
  ImageSettings image_settings() const { return stored_.image_copy(); }
  int32_t cooler_cached() const { return stored_.cooler; }
  // True from a successful Record until its file has been finalised.
  bool recording() const;
  // Of the current or last recording: frames written, and frames processed
  // while the record thread was busy and so not recorded.
  void recording_counts(uint32_t* recorded, uint32_t* missed) const;

 private:
  // The settings dialogs reach the caches, the device and the store.
  friend class DialogRoom;

  // The output image of the current colour mode; null before initialisation.
  imaging::CDibImage* OutputImage();
  // Runs the frame pipeline on the raw image of the colour mode into its
  // output image. The caller holds the frame lock.
  bool ProcessFrame();
  // The recorder's side of acquisition: told of every preview frame (under
  // the frame lock), and stopped and joined by StopPreview.
  void NotifyRecorderOfFrame();
  void StopRecorder();

  // Acquisition (acquisition/).
  enum Mode : int32_t { kIdle = 0, kPreviewMode = 1, kCaptureMode = 2, kTriggerMode = 3 };
  enum RunState : int32_t { kStop = 0, kRun = 1, kPaused = 2 };
  // Sizes the images and programs the device for the next frames; records
  // its own error and answers 0 on failure.
  int32_t Prepare();
  void SendPrepareSettings();
  bool SizeImages(int32_t width, int32_t height);
  imaging::FrameImages ImageSet() const { return images_.set(); }
  // Where each frame goes: the callback window and the user buffer.
  void SetFrameTarget(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order);
  // The preview window unless the placement says none; records kErrWindow.
  bool CreatePreviewWindow();
  bool StartWorker();
  void StopWorker();
  void PreviewLoop();
  void TriggerLoop();
  // Waits up to `timeout_ms` for a frame in slices, so a stop is seen within
  // one slice; the device's WaitFrame answer (3 frame, 2 none, 1 failed).
  int32_t WaitForFrame(uint32_t timeout_ms);
  // Copies the newest frame into the raw image of the colour mode and
  // spreads its rows to the stride; false when the copy failed.
  bool TakeFrame();
  bool CopyToUserBuffer(const imaging::CDibImage& image, void* buffer, int32_t size, int32_t row_order,
                        bool post_errors);
  void FillFrameDescription(int32_t frame_rate);
  void PostToCallback(uintptr_t wparam, intptr_t lparam);
  void StopStreamUnlessCapturing();
  void SendWindowUnlessAcquiring();

  bool RequireDevice() { return Require(Need::kDevice); }
  bool RequireBuffers() { return Require(Need::kBuffers); }
  DeviceRegisterAccess* registers() const { return direct_.registers(); }

  // Settings persistence.
  settings::ColorCapabilities ColorCapabilities() const;
  void LoadSizeSettings();
  void LoadPerCameraValues();
  void LoadCameraSettings(int32_t camera);
  void SaveCameraSettings(int32_t camera);
  void SendCachedCameraSettings();
  void DestroyDeviceAndImages();

  platform::Clock& clock_;
  Environment environment_;
  // Every other room reports through the error room.
  ErrorHistory errors_;
  StoredSettings stored_;

  // Processor description.
  imaging::CpuInfo cpu_info_;

  // Device.
  std::unique_ptr<CMorvexZ3U2Base> device_;
  DirectAccess direct_;
  // Owns the device lock.
  PropertyDispatch properties_;

  // The image set, the references and defect maps; the mask lock, which the
  // pipeline takes inside the frame lock, is theirs.
  ImageRoom images_;

  CaptureFormat format_;

  Selection selection_;

  // The acquisition room (acquisition/, recording.cpp).
  std::atomic<int32_t> mode_{kIdle};
  std::atomic<int32_t> run_state_{kStop};
  // The worker of preview and trigger mode; joined by StopPreview.
  std::unique_ptr<platform::Thread> worker_;
  void* user_buffer_ = nullptr;
  int32_t user_buffer_size_ = 0;
  int32_t user_row_order_ = 0;
  int32_t single_frame_timeout_ms_ = 3000;
  int32_t frame_count_ = 0;
  uint32_t rate_measured_at_ms_ = 0;
  int32_t frame_rate_ = 0;  // tenths of frames per second
  imaging::FramePipeline pipeline_;
  // The colour mode the images were last prepared for; the worker's.
  int32_t prepared_color_mode_ = 0;

  // Guards the raw and output images; the worker holds it for a whole frame.
  std::mutex frame_lock_;
  // 1 once a processed frame is in the output image; cleared by Close.
  std::atomic<int32_t> image_held_{0};

  // The preview window and where Morvex_SetPreviewWindow placed it.
  PreviewPlacement preview_placement_;
  std::unique_ptr<PreviewWindow> preview_;

  // Where frames are posted; the application window is the error room's.
  std::atomic<platform::WindowHandle> callback_window_{nullptr};
  FrameDescription frame_description_{};

  // Guards the configuration list.
  mutable std::mutex config_lock_;
  std::vector<ConfigPair> config_list_;

  // Recording (recording.cpp): the AVI writer, the record thread and the
  // new-frame event the worker sets. Made at the first Record.
  struct Recorder;
  std::shared_ptr<Recorder> recorder_;
};

}  // namespace morvex
