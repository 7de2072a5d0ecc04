#include <cstdio>
#include <cstring>
#include <cwchar>

#include "camera/morvex.h"
#include "camera/morvex_internal.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "platform/text.h"

namespace morvex {

using camera_internal::kTextBufferSize;

namespace {

constexpr const char kDeviceNameBase[] = "MorvexVelsaTEC";

}  // namespace

// --- Enumeration and selection -----------------------------------------------------------

std::string Selection::DeviceName(int32_t number) {
  char name[64];
  std::snprintf(name, sizeof name, "%s_%02d", kDeviceNameBase, static_cast<int>(number));
  return name;
}

int32_t CMorvex::EnumDevice(char* names) {
  if (!RequireDevice()) return 0;
  if (names == nullptr) {
    RecordError(kErrArgument);
    return 0;
  }
  const int32_t count = device_->CountCameras(kProductId);
  int32_t present = 0;
  for (int32_t number = 0; number < count; ++number) {
    if (device_->IsCameraPresent(number) != 1) continue;
    ++present;
    // The caller's list holds ten names; cameras after the tenth are counted only.
    if (present <= kMaxEnumeratedNames) {
      const std::string name = Selection::DeviceName(present);
      std::snprintf(names + (present - 1) * kNameEntryLength, kNameEntryLength, "%s", name.c_str());
    }
  }
  for (int32_t entry = present; entry < kMaxEnumeratedNames; ++entry) names[entry * kNameEntryLength] = '\0';
  return present;
}

int32_t CMorvex::EnumDeviceW(wchar_t* names) {
  if (!RequireDevice()) return 0;
  if (names == nullptr) {
    RecordError(kErrArgument);
    return 0;
  }
  char narrow[kMaxEnumeratedNames * kNameEntryLength];
  const int32_t present = EnumDevice(narrow);
  for (int32_t entry = 0; entry < kMaxEnumeratedNames; ++entry) {
    wchar_t* wide = names + entry * kNameEntryLength;
    if (entry >= present ||
        !platform::NarrowToWide(narrow + entry * kNameEntryLength, wide, kNameEntryLength))
      wide[0] = L'\0';
  }
  return present;
}

int32_t CMorvex::GetDeviceName(int32_t device, char* buffer, int32_t size) {
  if (!RequireDevice()) return 0;
  if (buffer == nullptr || size <= 16) {
    RecordError(kErrArgument);
    return 0;
  }
  if (device < 0 || device >= device_->GetMaxDevices() || device_->IsCameraPresent(device) != 1) {
    RecordError(kErrNoDevice);
    return 0;
  }
  const std::string name = Selection::DeviceName(device + 1);
  // The name with its terminator must fit: a short buffer is refused, never overrun.
  if (name.size() + 1 > static_cast<size_t>(size)) {
    RecordError(kErrArgument);
    return 0;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return 1;
}

int32_t CMorvex::GetDeviceNameW(int32_t device, wchar_t* buffer, int32_t length) {
  if (buffer == nullptr || length <= 0) {
    RecordError(kErrArgument);
    return 0;
  }
  // A failed narrow step has recorded its reason; an empty name is no success.
  char narrow[256] = {};
  if (!GetDeviceName(device, narrow, sizeof(narrow))) return 0;
  wchar_t wide[kTextBufferSize];
  if (!platform::NarrowToWide(narrow, wide, kTextBufferSize) ||
      std::wcslen(wide) + 1 > static_cast<size_t>(length)) {
    RecordError(kErrFile);
    return 0;
  }
  std::memcpy(buffer, wide, (std::wcslen(wide) + 1) * sizeof(wchar_t));
  return 1;
}

int32_t CMorvex::SetDeviceNumber(int32_t device) {
  if (!RequireDevice()) return 0;
  // Only an opened camera's settings are saved: before the first opening the
  // cache holds no camera's values and would overwrite another camera's.
  if (selection_.MarkSelecting() && selection_.opened()) SaveCameraSettings(device_->GetTableIndex());
  if (device_->IsCameraPresent(device) != 1) {
    RecordError(kErrNoDevice);
    return 0;
  }
  if (device == selection_.device()) return 1;
  // Opening replaces the sensor the frame thread is using.
  if (mode_.load() != kIdle) StopPreview();
  if (!device_->OpenCamera(device)) {
    RecordError(kErrNoDevice);
    return 0;
  }
  LoadCameraSettings(device_->GetTableIndex());
  SendCachedCameraSettings();
  selection_.Opened(device);
  return 1;
}

int32_t CMorvex::GetCameraInfo(CameraInfoRecord* info) {
  if (!RequireDevice()) return 0;
  if (info == nullptr) {
    RecordError(kErrArgument);
    return 0;
  }
  if (info->size <= 35) {
    RecordError(kErrBuffer);
    return 0;
  }
  info->sensor_width = kSensorWidth;
  info->sensor_height = kSensorHeight;
  device_->GetGainMin(&info->min_global_gain);
  device_->GetGainMax(&info->max_global_gain);
  device_->GetColorGainMin(&info->min_color_gain);
  device_->GetColorGainMax(&info->max_color_gain);
  device_->GetExposureTimeMin(&info->min_exposure);
  device_->GetExposureTimeMax(&info->max_exposure);
  if (info->size >= 56) {
    device_->GetRealExposureTimeMin(&info->min_exposure_time);
    device_->GetRealExposureTimeMax(&info->max_exposure_time);
  }
  return 1;
}

int32_t CMorvex::Close() {
  // Without a device object the stop records kErrNotReady and closing goes on.
  // The worker stops before the window goes: it may be drawing into it.
  StopPreview();
  if (device_ != nullptr) device_->StopStream(0);
  if (preview_ != nullptr) preview_->Destroy();
  image_held_.store(0);
  return 1;
}

}  // namespace morvex
