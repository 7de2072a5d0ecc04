#include "camera/morvex.h"

#include "camera/default_port.h"
#include "camera/morvex_internal.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "imaging/dib_image.h"
#include "platform/device_notification.h"
#include "platform/trace.h"

namespace morvex {

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
      stored_(environment_.settings_key.empty() ? settings::BaseKey() : environment_.settings_key),
      properties_(device_, stored_, errors_,
                  [this](Report report) { return Require(Need::kDevice, report); }) {
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
  const bool opened = selection_.opened();
  selection_.Forget();
  if (device_ != nullptr && opened) SaveCameraSettings(device_->GetTableIndex());
  Close();
  if (device_ != nullptr) device_->CloseCamera();
  DestroyDeviceAndImages();
}

void CMorvex::DestroyDeviceAndImages() {
  direct_.Bind(nullptr);
  device_.reset();
  images_.Destroy();
  selection_.Forget();
}

// --- Lifetime and selection ----------------------------------------------------------

int32_t CMorvex::Initialize(platform::WindowHandle window) {
  platform::EnableTrace(stored_.store.TraceCategories());
  cpu_info_ = imaging::GetCpuInfo();
  DestroyDeviceAndImages();
  // Without a device object the instance stays as constructed: every
  // operation that needs the camera answers kErrNotReady.
  device_ = environment_.make_device();
  errors_.set_window(window);
  if (device_ == nullptr) return 0;
  direct_.Bind(device_.get());

  if (window != nullptr && !environment_.register_notices(window, kFx3InterfaceGuid)) {
    PopError();
    return 0;
  }
  bool images_missing = false;
  if (!images_.Make(&images_missing)) {
    // A failed reference allocation ends initialisation without a code.
    if (images_missing) RecordError(kErrBuffer);
    return 0;
  }

  LoadSizeSettings();
  device_->SetProductId(kProductId);
  device_->CreateController(&kFx3InterfaceGuid);
  if (device_->CountCameras(kProductId) == 1) SetDeviceNumber(0);
  LoadCameraSettings(selection_.device());
  LoadPerCameraValues();
  return 1;
}

}  // namespace morvex
