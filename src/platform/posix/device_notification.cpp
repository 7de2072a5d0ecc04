#include "platform/device_notification.h"

namespace morvex::platform {

bool RegisterDeviceInterfaceNotices(WindowHandle, const Guid&) { return true; }

}  // namespace morvex::platform
