// Error codes of a camera instance, as the application reads them with
// Morvex_GetLastError and receives them with MORVEX_WM_ERROR.
#pragma once

#include <cstdint>

namespace morvex {

enum ErrorCode : int32_t {
  kErrSuccess = 0,
  kErrNotReady = 1,
  kErrNoDevice = 2,
  kErrThread = 3,
  kErrWindow = 4,
  kErrBuffer = 5,
  kErrDeviceIo = 6,
  kErrCaptureWindow = 7,
  kErrAcquisition = 8,
  kErrArgument = 9,
  // 10 is never produced.
  kErrUnsupported = 11,
  kErrFile = 12,
  kErrStreamStopped = 13,
  kErrMaskFile = 14,
};

// Window messages posted to the application (WM_APP + 2, WM_APP + 3).
constexpr uint32_t kWmFrame = 0x8002;
constexpr uint32_t kWmError = 0x8003;

}  // namespace morvex
