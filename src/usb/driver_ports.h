// The driver port the library uses unless told otherwise: the FX3 driver and
// the emulated cameras side by side, so both kinds can be attached at once.
#pragma once

#include "platform/driver_port.h"

namespace morvex {

// Process-wide. Enumeration lists the FX3 driver's interfaces, then the
// emulated ones; every handle reaches the source that reported its path.
platform::DriverPort& DefaultDriverPort();

}  // namespace morvex
