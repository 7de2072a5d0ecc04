#include "camera/property_dispatch.h"

#include <cmath>
#include <limits>

#include "camera/errors.h"
#include "camera/morvex_internal.h"
#include "camera/property_table.h"
#include "device/morvex_z3u2_base.h"

namespace morvex {

using camera_internal::SetFlag;

namespace {

constexpr int32_t kExposureId = 18;  // exposure in device units

bool Fitted(CMorvexZ3U2Base& device, const PropertyEntry& entry) {
  return entry.fitted == nullptr || (device.*entry.fitted)() == 1;
}

bool InDeviceRange(CMorvexZ3U2Base& device, const PropertyEntry& entry, int32_t value) {
  if (entry.range_min == nullptr) return true;
  int32_t low = 0, high = 0;
  (device.*entry.range_min)(&low);
  (device.*entry.range_max)(&high);
  return value >= low && value <= high;
}

}  // namespace

void PropertyDispatch::RefreshExposureSeconds(CMorvexZ3U2Base& device) {
  if (device.HasRealExposureTime() != 1) return;
  double seconds = 0.0;
  if (!device.GetRealExposureTime(&seconds)) return;
  std::lock_guard<std::mutex> lock(stored_.lock);
  stored_.analogue.exposure_ex = seconds;
}

// --- The identifier pair ------------------------------------------------------------------

int32_t PropertyDispatch::GetFilterValue(int32_t id, int32_t* flag) {
  if (!require_(Report::kRecord)) {
    SetFlag(flag, 0);
    return 0;
  }
  SetFlag(flag, 1);
  const PropertyEntry* entry = FindProperty(id);
  switch (entry != nullptr ? entry->kind : PropertyKind::kRefused) {
    case PropertyKind::kImageRanged:
    case PropertyKind::kImageFlag:
    case PropertyKind::kImagePacked: {
      int32_t value = 0;
      std::lock_guard<std::mutex> lock(stored_.lock);
      stored_.image.Get(id, &value);
      return value;
    }
    case PropertyKind::kTemperature:  // read with Morvex_GetTemperatureEx
      SetFlag(flag, 0);
      errors_.Record(kErrUnsupported);
      return -1;
    case PropertyKind::kImageWriteOnly:
    case PropertyKind::kRefused:
      SetFlag(flag, 0);
      errors_.Record(kErrArgument);
      return 0;
    default:
      return GetDeviceValue(*entry);
  }
}

int32_t PropertyDispatch::SetFilterValue(int32_t id, int32_t value) {
  if (!require_(Report::kRecord)) return 0;
  const PropertyEntry* entry = FindProperty(id);
  switch (entry != nullptr ? entry->kind : PropertyKind::kRefused) {
    case PropertyKind::kImageRanged:
    case PropertyKind::kImageFlag:
    case PropertyKind::kImagePacked:
    case PropertyKind::kImageWriteOnly: {
      CachedFilterResult result;
      {
        std::lock_guard<std::mutex> lock(stored_.lock);
        result = stored_.image.Set(id, value);
      }
      if (result == CachedFilterResult::kDone) return 1;
      errors_.Record(kErrArgument);
      return 0;
    }
    case PropertyKind::kTemperature:
    case PropertyKind::kRefused:
      errors_.Record(kErrArgument);
      return 0;
    default:
      return SetDeviceValue(*entry, value);
  }
}

int32_t PropertyDispatch::GetDeviceValue(const PropertyEntry& entry) {
  CMorvexZ3U2Base& device = *device_;
  std::lock_guard<std::mutex> lock(device_lock_);
  if (!Fitted(device, entry)) {
    errors_.Record(kErrUnsupported);
    return entry.unfitted;
  }
  return GetFromDevice(device, entry);
}

int32_t PropertyDispatch::SetDeviceValue(const PropertyEntry& entry, int32_t value) {
  CMorvexZ3U2Base& device = *device_;
  std::lock_guard<std::mutex> lock(device_lock_);
  if (!Fitted(device, entry)) {
    errors_.Record(kErrUnsupported);
    return 0;
  }
  if (!InDeviceRange(device, entry, value)) {
    errors_.Record(kErrArgument);
    return 0;
  }
  return SetOnDevice(device, entry, value);
}

int32_t PropertyDispatch::GetFromDevice(CMorvexZ3U2Base& device, const PropertyEntry& entry) {
  switch (entry.kind) {
    case PropertyKind::kGlobalGain:
    case PropertyKind::kColorGain:
    case PropertyKind::kExposure: {
      int32_t value = 0;
      (device.*entry.get)(&value);
      return value;
    }
    case PropertyKind::kCooler:
      return device.GetCooler();
    case PropertyKind::kGainLevel:
      return device.GetGainLevel();
    case PropertyKind::kAuxiliarySwitch: {
      int32_t on = 0;
      if (!device.GetAuxiliarySwitch(&on)) {
        errors_.Record(kErrDeviceIo);
        return 0;
      }
      errors_.Record(kErrSuccess);
      return on != 0 ? 1 : 0;
    }
    case PropertyKind::kBlackLevel: {
      int32_t level = 0;
      device.GetBlackLevel(&level);
      {
        std::lock_guard<std::mutex> settings(stored_.lock);
        stored_.analogue.black_level = level;
      }
      errors_.Record(kErrSuccess);
      return level;
    }
    default:  // the cached and refused kinds are answered before the device is asked
      return 0;
  }
}

int32_t PropertyDispatch::SetOnDevice(CMorvexZ3U2Base& device, const PropertyEntry& entry, int32_t value) {
  switch (entry.kind) {
    case PropertyKind::kGlobalGain:
    case PropertyKind::kColorGain: {
      (device.*entry.set)(value);
      std::lock_guard<std::mutex> settings(stored_.lock);
      entry.analogue(stored_.analogue) = value;
      if (entry.kind == PropertyKind::kGlobalGain)
        stored_.analogue.color_g1 = stored_.analogue.color_r = stored_.analogue.color_b =
            stored_.analogue.color_g2 = value;
      return 1;
    }
    case PropertyKind::kExposure: {
      {
        std::lock_guard<std::mutex> settings(stored_.lock);
        entry.analogue(stored_.analogue) = value;
      }
      (device.*entry.set)(value & 0xFFFF);
      RefreshExposureSeconds(device);
      return 1;
    }
    case PropertyKind::kCooler: {
      const int32_t answer = device.SetCooler(value);
      if (answer != 0) {
        std::lock_guard<std::mutex> settings(stored_.lock);
        stored_.cooler = value > 0 ? 1 : 0;
      }
      return answer;
    }
    case PropertyKind::kGainLevel:
      return device.SetGainLevel(value);
    case PropertyKind::kAuxiliarySwitch: {
      if (!device.SetAuxiliarySwitch(value > 0 ? 1 : 0)) {
        errors_.Record(kErrDeviceIo);
        return 0;
      }
      std::lock_guard<std::mutex> settings(stored_.lock);
      stored_.aux_switch = value > 0 ? 1 : 0;
      return 1;
    }
    case PropertyKind::kBlackLevel: {
      if (!device.SetBlackLevel(value)) {
        errors_.Record(kErrDeviceIo);
        return 0;
      }
      {
        std::lock_guard<std::mutex> settings(stored_.lock);
        stored_.analogue.black_level = value;
      }
      errors_.Record(kErrSuccess);
      return 1;
    }
    default:  // the cached and refused kinds are answered before the device is asked
      return 0;
  }
}

// --- Exposure in seconds and microseconds -------------------------------------------------

double PropertyDispatch::GetExposureTimeEx(int32_t* flag) {
  SetFlag(flag, 0);
  if (!require_(Report::kRecord)) return -1.0;
  std::lock_guard<std::mutex> lock(device_lock_);
  CMorvexZ3U2Base& device = *device_;
  if (device.HasRealExposureTime() != 1) {
    errors_.Record(kErrUnsupported);
    return -1.0;
  }
  double seconds = 0.0;
  if (!device.GetRealExposureTime(&seconds)) return -1.0;
  {
    std::lock_guard<std::mutex> settings(stored_.lock);
    stored_.analogue.exposure_ex = seconds;
  }
  SetFlag(flag, 1);
  return seconds;
}

int32_t PropertyDispatch::SetExposureTimeEx(double seconds) {
  if (!require_(Report::kRecord)) return 0;
  std::lock_guard<std::mutex> lock(device_lock_);
  CMorvexZ3U2Base& device = *device_;
  if (device.HasRealExposureTime() != 1) {
    errors_.Record(kErrUnsupported);
    return 0;
  }
  // The device clamps finite values into its range; NaN and infinities have no place in it.
  if (!std::isfinite(seconds)) {
    errors_.Record(kErrArgument);
    return 0;
  }
  if (!device.SetRealExposureTime(seconds)) return 0;
  // Cache the time the camera took, not the one asked for.
  double taken = seconds;
  device.GetRealExposureTime(&taken);
  std::lock_guard<std::mutex> settings(stored_.lock);
  stored_.analogue.exposure_ex = taken;
  stored_.analogue.exposure = static_cast<int32_t>(taken * 10000.0);
  return 1;
}

int32_t PropertyDispatch::GetRealExposureTime(int32_t* flag) {
  SetFlag(flag, 0);
  if (!require_(Report::kRecord)) return 0;
  int64_t microseconds;
  {
    std::lock_guard<std::mutex> lock(stored_.lock);
    microseconds = static_cast<int64_t>(stored_.analogue.exposure) * 100;
    // A stored exposure far outside the device range must not wrap.
    if (microseconds > std::numeric_limits<int32_t>::max())
      microseconds = std::numeric_limits<int32_t>::max();
    if (microseconds < std::numeric_limits<int32_t>::min())
      microseconds = std::numeric_limits<int32_t>::min();
    stored_.real_exposure_us = static_cast<int32_t>(microseconds);
  }
  SetFlag(flag, 1);
  return static_cast<int32_t>(microseconds);
}

int32_t PropertyDispatch::SetRealExposureTime(int32_t microseconds) {
  if (!require_(Report::kRecord)) return 0;
  // Device units, truncated, through the exposure identifier's own path.
  return SetDeviceValue(*FindProperty(kExposureId), microseconds / 100);
}

// --- Temperature ----------------------------------------------------------------------------

double PropertyDispatch::GetTemperatureEx(int32_t* flag) {
  SetFlag(flag, 0);
  if (!require_(Report::kRecord)) return 0.0;
  std::lock_guard<std::mutex> lock(device_lock_);
  CMorvexZ3U2Base& device = *device_;
  if (device.HasTemperature() != 1) {
    errors_.Record(kErrUnsupported);
    return 0.0;
  }
  double celsius = 0.0;
  if (!device.GetTemperature(&celsius)) {
    errors_.Record(kErrFile);
    return 0.0;
  }
  errors_.Record(kErrSuccess);
  SetFlag(flag, 1);
  return celsius;
}

// --- Mirrors, auto-iris mode, internal correction -------------------------------------------

int32_t PropertyDispatch::GetMirrorH() {
  if (!require_(Report::kRecord)) return 0;
  std::lock_guard<std::mutex> lock(stored_.lock);
  return stored_.analogue.mirror_h;
}

int32_t PropertyDispatch::SetMirrorH(int32_t on) {
  if (!require_(Report::kRecord)) return 0;
  const int32_t value = on != 0 ? 1 : 0;
  std::lock_guard<std::mutex> lock(device_lock_);
  device_->SetMirrorH(value);
  std::lock_guard<std::mutex> settings(stored_.lock);
  stored_.analogue.mirror_h = value;
  return 1;
}

int32_t PropertyDispatch::GetMirrorV() {
  if (!require_(Report::kPostOnly)) return 0;
  std::lock_guard<std::mutex> lock(stored_.lock);
  return stored_.analogue.mirror_v;
}

int32_t PropertyDispatch::SetMirrorV(int32_t on) {
  if (!require_(Report::kPostOnly)) return 0;
  const int32_t value = on != 0 ? 1 : 0;
  std::lock_guard<std::mutex> lock(device_lock_);
  device_->SetMirrorV(value);
  std::lock_guard<std::mutex> settings(stored_.lock);
  stored_.analogue.mirror_v = value;
  return 1;
}

int32_t PropertyDispatch::GetAutoIris(int32_t* flag) const {
  SetFlag(flag, 1);
  std::lock_guard<std::mutex> lock(stored_.lock);
  return stored_.analogue.auto_iris;
}

int32_t PropertyDispatch::SetAutoIris(int32_t mode) {
  if (mode < 0 || mode > 2) {
    errors_.PostOnly(kErrArgument);
    return 0;
  }
  std::lock_guard<std::mutex> lock(stored_.lock);
  stored_.analogue.auto_iris = mode;
  return 1;
}

int32_t PropertyDispatch::GetInternalCorrection(int32_t* flag) {
  SetFlag(flag, 0);
  if (!require_(Report::kRecord)) return 0;
  std::lock_guard<std::mutex> lock(device_lock_);
  if (device_->HasInternalCorrection() != 1) {
    errors_.PostOnly(kErrUnsupported);
    return 0;
  }
  SetFlag(flag, 1);
  return device_->GetInternalCorrection();
}

int32_t PropertyDispatch::SetInternalCorrection(int32_t value) {
  if (!require_(Report::kRecord)) return 0;
  std::lock_guard<std::mutex> lock(device_lock_);
  if (device_->HasInternalCorrection() != 1) {
    errors_.PostOnly(kErrUnsupported);
    return 0;
  }
  return device_->SetInternalCorrection(value);
}

}  // namespace morvex
