// The driver port: exactly what the FX3 USB driver and SetupAPI give the
// transport, and nothing more.
//
// Implementations: the Win32 FX3 driver (SetupAPI + CreateFileA +
// DeviceIoControl), the built-in camera emulator, and test doubles. The
// transport above this interface is the same code for all of them.
//
// Contract (every call is mandatory):
// - EnumerateInterfaces: the device paths of the *present* interfaces of an
//   interface class, in the system's member order. Paths are plain ASCII,
//   e.g. "\\?\usb#vid_04b4&pid_3290#...#{guid}". Never blocks for long.
//   A path longer than kMaxDevicePath characters is not reported.
// - Open: a handle to one path, overlapped or not (CreateFileA with
//   GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_EXISTING). nullptr on failure
//   (no such path, device unplugged).
// - Close: closes a handle; pending I/O on it completes with failure.
// - IoControl: DeviceIoControl. `in` and `out` may alias (buffered codes send
//   a block and receive it back in place). With `io` == nullptr the call is
//   synchronous. With an AsyncIo it may instead return {ok=false,
//   error=kErrorIoPending}; the request then completes later, the AsyncIo's
//   event is signalled and GetResult reports the outcome. For the direct
//   code (METHOD_NEITHER) `out` is the caller's buffer and is written while
//   the request is pending: it must stay valid until completion.
// - GetResult: GetOverlappedResult for the AsyncIo's last request; with
//   wait=false returns {false, kErrorIoIncomplete} while still pending.
// - CreateAsyncIo: an OVERLAPPED with its own auto-reset event.
// Failures carry a Win32 error code (GetLastError); 0 means none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sync.h"

namespace morvex::platform {

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16, "GUID layout");

inline bool operator==(const Guid& a, const Guid& b) {
  if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.data4[i] != b.data4[i]) return false;
  return true;
}

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorSemTimeout = 121;
constexpr uint32_t kErrorOperationAborted = 995;
constexpr uint32_t kErrorIoIncomplete = 996;
constexpr uint32_t kErrorIoPending = 997;
constexpr uint32_t kErrorDeviceNotConnected = 1167;

constexpr size_t kMaxDevicePath = 259;

struct IoResult {
  bool ok = false;
  uint32_t error = kErrorGenFailure;  // Win32 error code when !ok
  uint32_t bytes = 0;                 // bytes returned (lpBytesReturned)
};

// One overlapped operation slot with its auto-reset completion event.
class AsyncIo {
 public:
  virtual ~AsyncIo() = default;
  virtual Event& event() = 0;
};

class DriverPort {
 public:
  using Handle = void*;
  virtual ~DriverPort() = default;

  virtual std::vector<std::string> EnumerateInterfaces(const Guid& interface_class) = 0;
  virtual Handle Open(const std::string& path, bool overlapped) = 0;
  virtual void Close(Handle handle) = 0;
  virtual std::unique_ptr<AsyncIo> CreateAsyncIo() = 0;
  virtual IoResult IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size, void* out,
                             uint32_t out_size, AsyncIo* io) = 0;
  virtual IoResult GetResult(Handle handle, AsyncIo& io, bool wait) = 0;
};

}  // namespace morvex::platform
