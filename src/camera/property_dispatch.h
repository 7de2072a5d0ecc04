// The property dispatch room: the filter identifiers and the other camera
// and image property operations. Image values are only cached; camera
// values go to the device object under the device lock, which this room
// owns and the worker's automatic exposure, the prepare and the dialogs
// also take, and their caches change under the settings lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "camera/error_history.h"
#include "camera/lifecycle.h"
#include "camera/stored_settings.h"

namespace morvex {

class CMorvexZ3U2Base;
struct PropertyEntry;

class PropertyDispatch {
 public:
  // The instance's one check that the device object exists, reporting in
  // the style given.
  using RequireDevice = std::function<bool(Report)>;

  // Borrows the instance's device slot, settings and errors; owns none.
  PropertyDispatch(const std::unique_ptr<CMorvexZ3U2Base>& device, StoredSettings& stored,
                   ErrorHistory& errors, RequireDevice require)
      : device_(device), stored_(stored), errors_(errors), require_(std::move(require)) {}
  PropertyDispatch(const PropertyDispatch&) = delete;
  PropertyDispatch& operator=(const PropertyDispatch&) = delete;

  // Serialises the camera-value operations on the device object between
  // application threads and the worker. Taken before the settings lock,
  // never while holding it.
  [[nodiscard]] std::unique_lock<std::mutex> LockDevice() {
    return std::unique_lock<std::mutex>(device_lock_);
  }

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

  // Reads the device's real exposure time into the cached seconds when it
  // has one. The caller holds the device lock.
  void RefreshExposureSeconds(CMorvexZ3U2Base& device);

 private:
  // A device-backed identifier: the lock, whether the device has it, its
  // range, then the device and the caches.
  int32_t GetDeviceValue(const PropertyEntry& entry);
  int32_t SetDeviceValue(const PropertyEntry& entry, int32_t value);
  // What the device answers and the caches take; the caller holds the
  // device lock and has checked the range.
  int32_t GetFromDevice(CMorvexZ3U2Base& device, const PropertyEntry& entry);
  int32_t SetOnDevice(CMorvexZ3U2Base& device, const PropertyEntry& entry, int32_t value);

  const std::unique_ptr<CMorvexZ3U2Base>& device_;
  StoredSettings& stored_;
  ErrorHistory& errors_;
  RequireDevice require_;
  std::mutex device_lock_;
};

}  // namespace morvex
