// Frame exports: instance lifetime, errors, version, and the entry points
// this camera does not support.
#include <memory>
#include <new>

#include "api/export_pattern.h"
#include "morvex_version.h"
#include "platform/clock.h"

using morvex::CMorvex;
using morvex::api::Dispatch;
using morvex::api::Registry;

namespace {

constexpr int kDllVersion = MORVEX_VERSION_PACKED;
static_assert(kDllVersion == MORVEX_DLL_VERSION, "public version constant");

// Body shared by the family entry points that only tell the application.
int PostUnsupported(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) {
    m.PostErrorOnly(morvex::kErrUnsupported);
    return 0;
  });
}

// Body shared by the text channel of other models.
int RecordUnsupported(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) {
    m.RecordError(morvex::kErrUnsupported);
    return 0;
  });
}

}  // namespace

int MORVEX_CALL Morvex_Initialize(MORVEX_HWND window) {
  int handle = 0;
  try {
    handle = Registry().Register(std::make_unique<CMorvex>(morvex::platform::SystemClock()));
  } catch (...) {
    return 0;  // the instance could not be created; nothing is registered
  }
  if (handle == 0) return 0;
  // The handle is returned even when initialisation fails; the reasons are
  // in the error history.
  Dispatch(handle, 0, [&](CMorvex& m) { return m.Initialize(window); });
  return handle;
}

int MORVEX_CALL Morvex_Release(int camera) { return Registry().Release(camera) ? 1 : 0; }

int MORVEX_CALL Morvex_GetLastError(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) { return m.PopError(); });
}

int MORVEX_CALL Morvex_GetDllVersion(void) { return kDllVersion; }

int MORVEX_CALL Morvex_GetStatus(int camera) {
  (void)camera;
  return 0;
}

int MORVEX_CALL Morvex_Fps(int camera, int) { return PostUnsupported(camera); }
int MORVEX_CALL Morvex_SetHalfClock(int camera, int) { return PostUnsupported(camera); }
int MORVEX_CALL Morvex_GetHalfClock(int camera, int*) { return PostUnsupported(camera); }
int MORVEX_CALL Morvex_SetCrossbar(int camera, int, int) { return PostUnsupported(camera); }

int MORVEX_CALL Morvex_SendText(int camera, const char*) { return RecordUnsupported(camera); }
int MORVEX_CALL Morvex_ReceiveText(int camera, char*, int) { return RecordUnsupported(camera); }

int MORVEX_CALL Morvex_GetConfigFilter(int camera, int, int*) {
  return Dispatch(camera, 0, [](CMorvex& m) {
    m.RecordError(morvex::kErrUnsupported);
    return -1;
  });
}

int MORVEX_CALL Morvex_SetConfigFilter(int camera, int, int) {
  return Dispatch(camera, 0, [](CMorvex& m) {
    m.RecordError(morvex::kErrUnsupported);
    return -1;
  });
}
