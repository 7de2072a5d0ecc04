#include "camera/morvex.h"

#include <cstring>
#include <new>

#include "camera/morvex_internal.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "imaging/dib_image.h"
#include "platform/device_notification.h"
#include "usb/driver_ports.h"

namespace morvex {

namespace {

// access exports see it.
class DeviceObjectRegisters : public DeviceRegisterAccess {
 public:
  explicit DeviceObjectRegisters(CMorvexZ3U2Base& device) : device_(device) {}

  bool ReadRegisterRaw(uint32_t address, uint32_t* value) override {
    uint8_t byte = 0;
    if (!device_.ReadSensorRegister(static_cast<uint16_t>(address), &byte)) return false;
    *value = byte;
    return true;
  }
  bool WriteRegisterRaw(uint32_t address, uint32_t value) override {
    return device_.WriteSensorRegister(static_cast<uint16_t>(address), static_cast<uint8_t>(value)) != 0;
  }
  bool ReadFpgaRegister(uint8_t reg, uint16_t* value) override {
    int32_t ok = 0;
    const int32_t read = device_.ReadFpgaRegister(reg, &ok);
    if (!ok) return false;
    *value = static_cast<uint16_t>(read);
    return true;
  }
  bool WriteFpgaRegister(uint8_t reg, uint16_t value) override {
    return device_.WriteFpgaRegister(reg, value) != 0;
  }
  bool ReadSromByte(uint16_t address, uint8_t* value) override {
    return device_.ReadSromByte(address, value) != 0;
  }
  bool WriteSromByte(uint16_t address, uint8_t value) override {
    return device_.WriteSromByte(address, value) != 0;
  }

 private:
  CMorvexZ3U2Base& device_;
};

}  // namespace

std::mutex& DefaultEnvironmentLock() {
  static std::mutex lock;
  return lock;
}

CMorvex::Environment& DefaultEnvironmentSlot() {
  static CMorvex::Environment environment;
  return environment;
}

void CMorvex::SetDefaultEnvironment(Environment environment) {
  std::lock_guard<std::mutex> lock(DefaultEnvironmentLock());
  DefaultEnvironmentSlot() = std::move(environment);
}

CMorvex::CMorvex(platform::Clock& clock)
    : CMorvex(clock, [] {
        std::lock_guard<std::mutex> lock(DefaultEnvironmentLock());
        return DefaultEnvironmentSlot();
      }()) {}

CMorvex::CMorvex(platform::Clock& clock, Environment environment)
    : clock_(clock),
      environment_(std::move(environment)),
      store_(environment_.settings_key.empty() ? settings::BaseKey() : environment_.settings_key) {
  if (!environment_.make_device) {
    environment_.make_device = [&clock]() -> std::unique_ptr<CMorvexZ3U2Base> {
      return std::make_unique<CMorvexUSB3T2SimpleSdk>(DefaultDriverPort(), clock);
    };
  }
  if (!environment_.register_notices)
    environment_.register_notices = platform::RegisterDeviceInterfaceNotices;
  preview_ = MakePreviewWindow();
}

CMorvex::~CMorvex() {
  // Only a camera that was opened has settings of its own to keep; saving
  // for a camera never opened would overwrite another camera's settings.
  const bool opened = selected_device_ >= 0;
  selected_device_ = -1;
  if (device_ != nullptr && opened) SaveCameraSettings(device_->GetTableIndex());
  Close();
  if (device_ != nullptr) device_->CloseCamera();
  DestroyDeviceAndImages();
}

void CMorvex::DestroyDeviceAndImages() {
  device_registers_.reset();
  device_.reset();
  for (auto& image : images_) image.reset();
  mask_.reset();
  buffers_ready_ = false;
  selected_device_ = -1;
}

DeviceRegisterAccess* CMorvex::registers() const {
  return attached_registers_ != nullptr ? attached_registers_ : device_registers_.get();
}

// --- Error state -----------------------------------------------------------------

void CMorvex::RecordError(int32_t code) {
  platform::WindowHandle window;
  {
    std::lock_guard<std::mutex> lock(error_lock_);
    std::memmove(&error_history_[1], &error_history_[0],
                 sizeof(error_history_[0]) * (kErrorHistoryLength - 1));
    error_history_[0] = code;
    window = application_window_;
  }
  if (window != nullptr) platform::PostWindowMessage(window, kWmError, 0, code);
}

void CMorvex::PostErrorOnly(int32_t code) {
  platform::WindowHandle window;
  {
    std::lock_guard<std::mutex> lock(error_lock_);
    window = application_window_;
  }
  platform::PostWindowMessage(window, kWmError, 0, code);
}

int32_t CMorvex::PopError() {
  std::lock_guard<std::mutex> lock(error_lock_);
  const int32_t code = error_history_[0];
  std::memmove(&error_history_[0], &error_history_[1], sizeof(error_history_[0]) * (kErrorHistoryLength - 1));
  error_history_[kErrorHistoryLength - 1] = 0;
  return code;
}

bool CMorvex::RequireDevice() {
  if (device_ != nullptr) return true;
  RecordError(kErrNotReady);
  return false;
}

bool CMorvex::RequireBuffers() {
  if (buffers_ready_) return true;
  RecordError(kErrBuffer);
  return false;
}

// --- Lifetime and selection ----------------------------------------------------------

int32_t CMorvex::Initialize(platform::WindowHandle window) {
  cpu_info_ = imaging::GetCpuInfo();
  DestroyDeviceAndImages();
  // Without a device object the instance stays as constructed: every
  // operation that needs the camera answers kErrNotReady.
  device_ = environment_.make_device();
  {
    std::lock_guard<std::mutex> lock(error_lock_);
    application_window_ = window;
  }
  if (device_ == nullptr) return 0;
  device_registers_ = std::make_unique<DeviceObjectRegisters>(*device_);
  for (auto& image : images_) image.reset(new (std::nothrow) imaging::CDibImage);
  mask_.reset(new (std::nothrow) imaging::MaskData);

  if (window != nullptr && !environment_.register_notices(window, kFx3InterfaceGuid)) {
    PopError();
    return 0;
  }
  auto missing = [](const auto& set) {
    for (const auto& image : set)
      if (image == nullptr) return true;
    return false;
  };
  if (missing(images_) || mask_ == nullptr) {
    RecordError(kErrBuffer);
    return 0;
  }
  // Dark references read 0, white ones full scale; no defect is marked.
  if (!mask_->valid()) return 0;
  buffers_ready_ = true;

  LoadSizeSettings();
  device_->SetProductId(kProductId);
  device_->CreateController(&kFx3InterfaceGuid);
  if (device_->CountCameras(kProductId) == 1) SetDeviceNumber(0);
  LoadCameraSettings(selected_device_);
  LoadPerCameraValues();
  return 1;
}

}  // namespace morvex
