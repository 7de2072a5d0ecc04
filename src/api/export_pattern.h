// The pattern every handle-taking export follows: look the handle up, return
// the export's unregistered-handle value at once when it is unknown
// (recording and posting nothing), otherwise run one camera-instance
// operation and return its result unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "MorvexSdk.h"
#include "api/sdk_chain.h"
#include "camera/errors.h"
#include "camera/morvex.h"
#include "camera/records.h"
#include "platform/text.h"

namespace morvex::api {

static_assert(MORVEX_ERR_MASK_FILE == kErrMaskFile && MORVEX_ERR_UNSUPPORTED == kErrUnsupported &&
                  MORVEX_ERR_FILE == kErrFile && MORVEX_ERR_NOT_READY == kErrNotReady,
              "public and internal error codes agree");
static_assert(MORVEX_WM_ERROR == kWmError && MORVEX_WM_FRAME == kWmFrame,
              "public and internal messages agree");
static_assert(sizeof(MORVEX_CAMERA_INFO) == sizeof(CameraInfoRecord), "camera information record");
static_assert(offsetof(MORVEX_CAMERA_INFO, minExposureTime) == offsetof(CameraInfoRecord, min_exposure_time),
              "camera information record");
static_assert(sizeof(MORVEX_FRAME_INFO) == sizeof(FrameDescription), "frame description record");
static_assert(offsetof(MORVEX_FRAME_INFO, buffer) == offsetof(FrameDescription, user_buffer),
              "frame description record");

// No exception crosses the C interface: a failed allocation inside an
// operation becomes kErrBuffer and the export's failure value.
template <typename R, typename Op>
R Dispatch(int32_t handle, R unregistered, Op&& op) {
  InstanceLease lease = Registry().Lookup(handle);
  if (!lease) return unregistered;
  try {
    return op(*lease);
  } catch (const std::bad_alloc&) {
    lease->RecordError(kErrBuffer);
  } catch (...) {
  }
  return unregistered;
}

// Narrow buffer of the wide-path twins, in bytes.
constexpr size_t kWidePathBuffer = 1024;

// Converts a wide path through the thread's active code page and runs the
// narrow operation; a path that cannot convert or does not fit records
// kErrFile and fails.
template <typename Op>
int32_t WithNarrowPath(int32_t handle, const wchar_t* path, Op&& op) {
  return Dispatch(handle, int32_t{0}, [&](CMorvex& camera) -> int32_t {
    char narrow[kWidePathBuffer];
    if (path == nullptr || !platform::WideToNarrow(path, narrow, sizeof(narrow))) {
      camera.RecordError(kErrFile);
      return 0;
    }
    return op(camera, narrow);
  });
}

}  // namespace morvex::api
