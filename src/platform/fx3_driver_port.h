// The FX3 USB driver behind the driver port: SetupAPI enumeration of the
// driver's device interfaces, CreateFileA and DeviceIoControl on Windows.
// The native build has no FX3 driver; its port finds no device.
#pragma once

#include <memory>

#include "platform/driver_port.h"

namespace morvex::platform {

std::unique_ptr<DriverPort> CreateFx3DriverPort();

}  // namespace morvex::platform
