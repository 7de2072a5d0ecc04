#include "camera/default_port.h"

#include <memory>
#include <vector>

#include "platform/fx3_driver_port.h"
#include "usb/driver_ports.h"
#ifdef MORVEX_WITH_EMULATOR
#include "emulator/emulator.h"
#endif

namespace morvex {

platform::DriverPort& DefaultDriverPort() {
  static MergedDriverPort port(
      [fx3 = std::shared_ptr<platform::DriverPort>(platform::CreateFx3DriverPort())] {
        std::vector<std::shared_ptr<platform::DriverPort>> sources{fx3};
#ifdef MORVEX_WITH_EMULATOR
        if (auto emulated = emulator::ConfiguredPort()) sources.push_back(std::move(emulated));
#endif
        return sources;
      });
  return port;
}

}  // namespace morvex
