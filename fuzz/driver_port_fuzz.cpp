// A hostile camera behind the driver port: the information block, FPGA
// version, register and EEPROM reads, frame headers and frame data come from
// the input with any length and content, as do failed, short, late and
// overlong transfers. Layout: the scenario bytes, the control stream's
// length (U32), the control stream, the bulk stream.
#include <cstring>
#include <vector>

#include "driver_port_scenario.h"
#include "fuzz_support.h"
#include "hostile_port.h"
#include "usb/fx3_api.h"

namespace {

constexpr char kPath[] = "\\\\?\\usb#vid_04b4&pid_3290#fuzz&0#{328184c5-93e6-49b7-94b8-2ada13aabb39}";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  morvex::fuzz::UsePrivateScratch("driver_port");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvex::fuzz;
  FuzzInput in(data, size);
  Scenario scenario;
  scenario.steps = in.Byte();
  scenario.colour = in.Byte();
  const uint32_t control_size = in.U32();
  std::vector<uint8_t> control = in.Bytes(control_size);
  std::vector<uint8_t> bulk = in.Bytes(in.remaining());
  HostilePort port(kPath, std::move(control), std::move(bulk));
  morvex::platform::SimulatedClock clock;
  RunScenario(
      port, clock, scenario, [&port](int64_t) { return !port.exhausted(); }, 500);
  return 0;
}
