// The driver port camera instances use unless their environment says
// otherwise: the FX3 driver and the emulated cameras side by side.
#pragma once

#include "platform/driver_port.h"

namespace morvex {

// Process-wide. Enumeration lists the FX3 driver's interfaces, then the
// emulated ones configured at that moment; every handle reaches the source
// that reported its path.
platform::DriverPort& DefaultDriverPort();

}  // namespace morvex
