// A camera instance's surroundings made of an emulator: device objects on the
// emulated port with a device table of the test's own, notices that always
// register, and settings under a private key.
#pragma once

#include <memory>
#include <string>

#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "platform/clock.h"

namespace morvex::test {

// `port` and `mapping` must outlive every instance made with the result.
inline CMorvex::Environment EmulatedEnvironment(platform::DriverPort& port, const std::string& mapping,
                                                const std::string& settings_key) {
  CMorvex::Environment environment;
  environment.make_device = [&port, &mapping]() -> std::unique_ptr<CMorvexZ3U2Base> {
    return std::make_unique<CMorvexUSB3T2SimpleSdk>(port, platform::SystemClock(), mapping.c_str());
  };
  environment.register_notices = [](platform::WindowHandle, const platform::Guid&) { return true; };
  environment.settings_key = settings_key;
  return environment;
}

}  // namespace morvex::test
