// Writes the hostile-port target's seeds: each scenario run once against an
// emulated camera, its answers recorded in the target's input layout.
#include <cstdio>
#include <string>
#include <vector>

#include "driver_port_scenario.h"
#include "emulator/emulator.h"
#include "fuzz_support.h"
#include "hostile_port.h"

int main(int argc, char** argv) {
  using namespace morvex::fuzz;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
    return 2;
  }
  UsePrivateScratch("driver_port_seeds");
  // Binned frames keep the seeds small.
  const Scenario scenarios[] = {
      {0, 0},           // open and close
      {1 | 2, 0},       // snapshot
      {1 | 4, 0},       // preview
      {1 | 2 | 16, 2},  // colour snapshot
      {1 | 8 | 16, 1},  // capture mode, 16-bit
  };
  int index = 0;
  for (const Scenario& scenario : scenarios) {
    morvex::emulator::EmulatorPort emulator;
    morvex::emulator::EmulatedCameraOptions options;
    options.scene = morvex::emulator::Scene::kRamp;
    emulator.AddCamera(options);
    HostilePort recorder(emulator);
    RunScenario(
        recorder, morvex::platform::SystemClock(), scenario, [](int64_t frames) { return frames < 2; }, 3000);
    std::vector<uint8_t> seed{scenario.steps, scenario.colour};
    const uint32_t control = static_cast<uint32_t>(recorder.control().size());
    for (int i = 0; i < 4; ++i) seed.push_back(static_cast<uint8_t>(control >> (8 * i)));
    seed.insert(seed.end(), recorder.control().begin(), recorder.control().end());
    seed.insert(seed.end(), recorder.bulk().begin(), recorder.bulk().end());
    const std::string path = std::string(argv[1]) + "/emulated-" + std::to_string(index++);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(seed.data(), 1, seed.size(), file) != seed.size()) return 1;
    std::fclose(file);
    std::printf("%s: %zu bytes (control %u)\n", path.c_str(), seed.size(), control);
  }
  return 0;
}
