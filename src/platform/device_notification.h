// Device-interface arrival and removal notices for an application window.
#pragma once

#include "platform/driver_port.h"
#include "platform/window_messages.h"

namespace morvex::platform {

// Registers `window` for the system's arrival and removal notices of devices
// with this interface class (a device-interface broadcast filter). The
// window receives them itself; no handle is kept, the registration ends with
// the window. Natively there are no such notices and this succeeds.
bool RegisterDeviceInterfaceNotices(WindowHandle window, const Guid& interface_class);

}  // namespace morvex::platform
