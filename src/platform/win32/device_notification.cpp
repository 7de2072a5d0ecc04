#include "platform/device_notification.h"

#include <windows.h>
#include <dbt.h>

#include <cstring>

namespace morvex::platform {

bool RegisterDeviceInterfaceNotices(WindowHandle window, const Guid& interface_class) {
  DEV_BROADCAST_DEVICEINTERFACE_A filter;
  std::memset(&filter, 0, sizeof filter);
  static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) == 32, "device-interface broadcast filter size");
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  static_assert(sizeof(GUID) == sizeof(Guid), "GUID layout");
  std::memcpy(&filter.dbcc_classguid, &interface_class, sizeof(GUID));
  return RegisterDeviceNotificationA(static_cast<HWND>(window), &filter, DEVICE_NOTIFY_WINDOW_HANDLE) !=
         nullptr;
}

}  // namespace morvex::platform
