#include "camera/lifecycle.h"

#include "camera/morvex.h"
#include "platform/trace.h"

namespace morvex {

const char* LifecycleName(Lifecycle state) {
  switch (state) {
    case Lifecycle::kNoDevice:
      return "no device object";
    case Lifecycle::kNoBuffers:
      return "no buffers";
    case Lifecycle::kNoCamera:
      return "no camera open";
    case Lifecycle::kOpen:
      return "camera open";
    case Lifecycle::kAcquiring:
      return "acquiring";
  }
  return "?";
}

Lifecycle CMorvex::lifecycle() const {
  if (device_ == nullptr) return Lifecycle::kNoDevice;
  if (!images_.ready()) return Lifecycle::kNoBuffers;
  if (!selection_.opened()) return Lifecycle::kNoCamera;
  if (mode_.load() != kIdle) return Lifecycle::kAcquiring;
  return Lifecycle::kOpen;
}

bool CMorvex::Require(Need need, Report report) {
  int32_t code = kErrSuccess;
  switch (need) {
    case Need::kDevice:
      if (device_ == nullptr) code = kErrNotReady;
      break;
    case Need::kRegisters:
      if (registers() == nullptr) code = kErrNotReady;
      break;
    case Need::kBuffers:
      if (device_ == nullptr)
        code = kErrNotReady;
      else if (!images_.ready())
        code = kErrBuffer;
      break;
  }
  if (code == kErrSuccess) return true;
  MORVEX_TRACE(platform::kTraceCamera, "refused: needs %s, is %s",
               need == Need::kBuffers     ? "buffers"
               : need == Need::kRegisters ? "registers"
                                          : "device",
               LifecycleName(lifecycle()));
  if (report == Report::kRecord)
    RecordError(code);
  else
    PostErrorOnly(code);
  return false;
}

}  // namespace morvex
