// Filter values and the other camera and image properties. Image values
// are only cached here; camera values go to the device object under the
// device lock, which the worker's automatic exposure also takes, and their
// caches change under the settings lock.
#include <cmath>
#include <limits>

#include "camera/morvex.h"
#include "camera/morvex_internal.h"
#include "camera/property_table.h"
#include "device/morvex_z3u2_base.h"

namespace morvex {

using camera_internal::SetFlag;

namespace {

bool InDeviceRange(CMorvexZ3U2Base& device, const PropertyEntry& entry, int32_t value) {
  int32_t low = 0, high = 0;
  (device.*entry.range_min)(&low);
  (device.*entry.range_max)(&high);
  return value >= low && value <= high;
}

}  // namespace

void CMorvex::RefreshExposureSeconds(CMorvexZ3U2Base& device) {
  if (device.HasRealExposureTime() != 1) return;
  double seconds = 0.0;
  if (!device.GetRealExposureTime(&seconds)) return;
  std::lock_guard<std::mutex> lock(stored_.lock);
  stored_.analogue.exposure_ex = seconds;
}

// --- The identifier pair ------------------------------------------------------------------

int32_t CMorvex::GetFilterValue(int32_t id, int32_t* flag) {
  if (!RequireDevice()) {
    SetFlag(flag, 0);
    return 0;
  }
  SetFlag(flag, 1);
  const PropertyEntry* entry = FindProperty(id);
  const PropertyKind kind = entry != nullptr ? entry->kind : PropertyKind::kRefused;
  CMorvexZ3U2Base& device = *device_;
  switch (kind) {
    case PropertyKind::kImageRanged:
    case PropertyKind::kImageFlag:
    case PropertyKind::kImagePacked: {
      int32_t value = 0;
      std::lock_guard<std::mutex> lock(stored_.lock);
      stored_.image.Get(id, &value);
      return value;
    }
    case PropertyKind::kGlobalGain:
    case PropertyKind::kColorGain:
    case PropertyKind::kExposure: {
      int32_t value = 0;
      std::lock_guard<std::mutex> lock(device_lock_);
      (device.*entry->get)(&value);
      return value;
    }
    case PropertyKind::kCooler: {
      std::lock_guard<std::mutex> lock(device_lock_);
      if (device.HasCooler() == 1) return device.GetCooler();
      RecordError(kErrUnsupported);
      return -1;
    }
    case PropertyKind::kTemperature:  // read with Morvex_GetTemperatureEx
      SetFlag(flag, 0);
      RecordError(kErrUnsupported);
      return -1;
    case PropertyKind::kGainLevel: {
      std::lock_guard<std::mutex> lock(device_lock_);
      return device.GetGainLevel();
    }
    case PropertyKind::kAuxiliarySwitch: {
      std::lock_guard<std::mutex> lock(device_lock_);
      if (device.HasAuxiliarySwitch() != 1) {
        RecordError(kErrUnsupported);
        return 0;
      }
      int32_t on = 0;
      if (!device.GetAuxiliarySwitch(&on)) {
        RecordError(kErrDeviceIo);
        return 0;
      }
      RecordError(kErrSuccess);
      return on != 0 ? 1 : 0;
    }
    case PropertyKind::kBlackLevel: {
      std::lock_guard<std::mutex> lock(device_lock_);
      if (device.HasBlackLevel() != 1) {
        RecordError(kErrUnsupported);
        return 0;
      }
      int32_t level = 0;
      device.GetBlackLevel(&level);
      {
        std::lock_guard<std::mutex> settings(stored_.lock);
        stored_.analogue.black_level = level;
      }
      RecordError(kErrSuccess);
      return level;
    }
    case PropertyKind::kImageWriteOnly:
    case PropertyKind::kRefused:
      break;
  }
  SetFlag(flag, 0);
  RecordError(kErrArgument);
  return 0;
}

int32_t CMorvex::SetFilterValue(int32_t id, int32_t value) {
  if (!RequireDevice()) return 0;
  const PropertyEntry* entry = FindProperty(id);
  const PropertyKind kind = entry != nullptr ? entry->kind : PropertyKind::kRefused;
  CMorvexZ3U2Base& device = *device_;
  switch (kind) {
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
      break;
    }
    case PropertyKind::kGlobalGain:
    case PropertyKind::kColorGain: {
      std::lock_guard<std::mutex> lock(device_lock_);
      if (!InDeviceRange(device, *entry, value)) break;
      (device.*entry->set)(value);
      std::lock_guard<std::mutex> settings(stored_.lock);
      entry->analogue(stored_.analogue) = value;
      if (kind == PropertyKind::kGlobalGain)
        stored_.analogue.color_g1 = stored_.analogue.color_r = stored_.analogue.color_b =
            stored_.analogue.color_g2 = value;
      return 1;
    }
    case PropertyKind::kExposure: {
      std::lock_guard<std::mutex> lock(device_lock_);
      if (!InDeviceRange(device, *entry, value)) break;
      {
        std::lock_guard<std::mutex> settings(stored_.lock);
        stored_.analogue.exposure = value;
      }
      device.SetExposureTime(value & 0xFFFF);
      RefreshExposureSeconds(device);
      return 1;
    }
    case PropertyKind::kCooler: {
      std::lock_guard<std::mutex> lock(device_lock_);
      if (device.HasCooler() != 1) {
        RecordError(kErrUnsupported);
        return 0;
      }
      const int32_t answer = device.SetCooler(value);
      if (answer != 0) {
        std::lock_guard<std::mutex> settings(stored_.lock);
        stored_.cooler = value > 0 ? 1 : 0;
      }
      return answer;
    }
    case PropertyKind::kGainLevel: {
      std::lock_guard<std::mutex> lock(device_lock_);
      return device.SetGainLevel(value);
    }
    case PropertyKind::kAuxiliarySwitch: {
      std::lock_guard<std::mutex> lock(device_lock_);
      if (device.HasAuxiliarySwitch() != 1) {
        RecordError(kErrUnsupported);
        return 0;
      }
      if (!device.SetAuxiliarySwitch(value > 0 ? 1 : 0)) {
        RecordError(kErrDeviceIo);
        return 0;
      }
      std::lock_guard<std::mutex> settings(stored_.lock);
      stored_.aux_switch = value > 0 ? 1 : 0;
      return 1;
    }
    case PropertyKind::kBlackLevel: {
      std::lock_guard<std::mutex> lock(device_lock_);
      if (device.HasBlackLevel() != 1) {
        RecordError(kErrUnsupported);
        return 0;
      }
      if (!device.SetBlackLevel(value)) {
        RecordError(kErrDeviceIo);
        return 0;
      }
      {
        std::lock_guard<std::mutex> settings(stored_.lock);
        stored_.analogue.black_level = value;
      }
      RecordError(kErrSuccess);
      return 1;
    }
    case PropertyKind::kTemperature:
    case PropertyKind::kRefused:
      break;
  }
  RecordError(kErrArgument);
  return 0;
}

// --- Exposure in seconds and microseconds -------------------------------------------------

double CMorvex::GetExposureTimeEx(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return -1.0;
  std::lock_guard<std::mutex> lock(device_lock_);
  CMorvexZ3U2Base& device = *device_;
  if (device.HasRealExposureTime() != 1) {
    RecordError(kErrUnsupported);
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

int32_t CMorvex::SetExposureTimeEx(double seconds) {
  if (!RequireDevice()) return 0;
  std::lock_guard<std::mutex> lock(device_lock_);
  CMorvexZ3U2Base& device = *device_;
  if (device.HasRealExposureTime() != 1) {
    RecordError(kErrUnsupported);
    return 0;
  }
  // The device clamps finite values into its range; NaN and infinities have no place in it.
  if (!std::isfinite(seconds)) {
    RecordError(kErrArgument);
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

int32_t CMorvex::GetRealExposureTime(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return 0;
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

int32_t CMorvex::SetRealExposureTime(int32_t microseconds) {
  if (!RequireDevice()) return 0;
  const int32_t units = microseconds / 100;
  std::lock_guard<std::mutex> lock(device_lock_);
  CMorvexZ3U2Base& device = *device_;
  int32_t low = 0, high = 0;
  device.GetExposureTimeMin(&low);
  device.GetExposureTimeMax(&high);
  if (units < low || units > high) {
    RecordError(kErrArgument);
    return 0;
  }
  {
    std::lock_guard<std::mutex> settings(stored_.lock);
    stored_.analogue.exposure = units;
  }
  device.SetExposureTime(units & 0xFFFF);
  RefreshExposureSeconds(device);
  return 1;
}

// --- Temperature ----------------------------------------------------------------------------

double CMorvex::GetTemperatureEx(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return 0.0;
  std::lock_guard<std::mutex> lock(device_lock_);
  CMorvexZ3U2Base& device = *device_;
  if (device.HasTemperature() != 1) {
    RecordError(kErrUnsupported);
    return 0.0;
  }
  double celsius = 0.0;
  if (!device.GetTemperature(&celsius)) {
    RecordError(kErrFile);
    return 0.0;
  }
  RecordError(kErrSuccess);
  SetFlag(flag, 1);
  return celsius;
}

// --- Mirrors, auto-iris mode, internal correction -------------------------------------------

int32_t CMorvex::GetMirrorH() {
  if (!RequireDevice()) return 0;
  std::lock_guard<std::mutex> lock(stored_.lock);
  return stored_.analogue.mirror_h;
}

int32_t CMorvex::SetMirrorH(int32_t on) {
  if (!RequireDevice()) return 0;
  const int32_t value = on != 0 ? 1 : 0;
  std::lock_guard<std::mutex> lock(device_lock_);
  device_->SetMirrorH(value);
  std::lock_guard<std::mutex> settings(stored_.lock);
  stored_.analogue.mirror_h = value;
  return 1;
}

int32_t CMorvex::GetMirrorV() {
  if (!Require(Need::kDevice, Report::kPostOnly)) return 0;
  std::lock_guard<std::mutex> lock(stored_.lock);
  return stored_.analogue.mirror_v;
}

int32_t CMorvex::SetMirrorV(int32_t on) {
  if (!Require(Need::kDevice, Report::kPostOnly)) return 0;
  const int32_t value = on != 0 ? 1 : 0;
  std::lock_guard<std::mutex> lock(device_lock_);
  device_->SetMirrorV(value);
  std::lock_guard<std::mutex> settings(stored_.lock);
  stored_.analogue.mirror_v = value;
  return 1;
}

int32_t CMorvex::GetAutoIris(int32_t* flag) const {
  SetFlag(flag, 1);
  std::lock_guard<std::mutex> lock(stored_.lock);
  return stored_.analogue.auto_iris;
}

int32_t CMorvex::SetAutoIris(int32_t mode) {
  if (mode < 0 || mode > 2) {
    PostErrorOnly(kErrArgument);
    return 0;
  }
  std::lock_guard<std::mutex> lock(stored_.lock);
  stored_.analogue.auto_iris = mode;
  return 1;
}

int32_t CMorvex::GetInternalCorrection(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return 0;
  std::lock_guard<std::mutex> lock(device_lock_);
  if (device_->HasInternalCorrection() != 1) {
    PostErrorOnly(kErrUnsupported);
    return 0;
  }
  SetFlag(flag, 1);
  return device_->GetInternalCorrection();
}

int32_t CMorvex::SetInternalCorrection(int32_t value) {
  if (!RequireDevice()) return 0;
  std::lock_guard<std::mutex> lock(device_lock_);
  if (device_->HasInternalCorrection() != 1) {
    PostErrorOnly(kErrUnsupported);
    return 0;
  }
  return device_->SetInternalCorrection(value);
}

}  // namespace morvex
