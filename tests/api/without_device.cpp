// The export tests of this binary check the frame around the camera
// instance, not a camera: Morvex_Initialize makes instances without a device
// object, which answer as an instance whose camera is not ready.
#include "camera/morvex.h"
#include "device/morvex_z3u2_base.h"

namespace {

const bool kInstancesWithoutDevice = [] {
  morvex::CMorvex::Environment environment;
  environment.make_device = []() -> std::unique_ptr<morvex::CMorvexZ3U2Base> { return nullptr; };
  morvex::CMorvex::SetDefaultEnvironment(environment);
  return true;
}();

}  // namespace
