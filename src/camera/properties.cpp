#include "camera/morvex.h"
#include "camera/morvex_internal.h"

namespace morvex {

using camera_internal::SetFlag;

// --- Filter values and other properties -------------------------------------------------------------

int32_t CMorvex::GetFilterValue(int32_t id, int32_t* flag) {
  if (!RequireDevice()) {
    SetFlag(flag, 0);
    return 0;
  }
  SetFlag(flag, 1);
  int32_t value = 0;
  if (image_.Get(id, &value) == CachedFilterResult::kDone) return value;
  if (id == 101) {  // the temperature is read with Morvex_GetTemperatureEx
    SetFlag(flag, 0);
    RecordError(kErrUnsupported);
    return -1;
  }
  // Device-backed identifiers (13-18, 100, 104-106) are answered by the device object.
  SetFlag(flag, 0);
  RecordError(kErrArgument);
  return 0;
}

int32_t CMorvex::SetFilterValue(int32_t id, int32_t value) {
  if (!RequireDevice()) return 0;
  switch (image_.Set(id, value)) {
    case CachedFilterResult::kDone:
      return 1;
    case CachedFilterResult::kOutOfRange:
      RecordError(kErrArgument);
      return 0;
    case CachedFilterResult::kNotCached:
      break;
  }
  RecordError(kErrArgument);
  return 0;
}

double CMorvex::GetExposureTimeEx(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return -1.0;
  return -1.0;
}

int32_t CMorvex::SetExposureTimeEx(double seconds) {
  (void)seconds;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::GetRealExposureTime(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::SetRealExposureTime(int32_t microseconds) {
  (void)microseconds;
  if (!RequireDevice()) return 0;
  return 0;
}

double CMorvex::GetTemperatureEx(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return 0.0;
  return 0.0;
}

int32_t CMorvex::GetMirrorH() {
  if (!RequireDevice()) return 0;
  return analogue_.mirror_h;
}

int32_t CMorvex::SetMirrorH(int32_t on) {
  (void)on;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::GetMirrorV() {
  if (device_ == nullptr) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  return analogue_.mirror_v;
}

int32_t CMorvex::SetMirrorV(int32_t on) {
  (void)on;
  if (device_ == nullptr) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  return 0;
}

int32_t CMorvex::GetAutoIris(int32_t* flag) const {
  SetFlag(flag, 1);
  return analogue_.auto_iris;
}

int32_t CMorvex::SetAutoIris(int32_t mode) {
  if (mode < 0 || mode > 2) {
    PostErrorOnly(kErrArgument);
    return 0;
  }
  analogue_.auto_iris = mode;
  return 1;
}

int32_t CMorvex::GetInternalCorrection(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::SetInternalCorrection(int32_t value) {
  (void)value;
  if (!RequireDevice()) return 0;
  return 0;
}

}  // namespace morvex
