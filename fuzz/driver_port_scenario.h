// One camera's life through the camera instance: open at initialisation, an
// optional binning and colour mode, a snapshot, a callback preview,
// capture mode with an image read back, close. The hostile-port target runs
// it on replayed answers; the seed maker runs it on an emulated camera.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/clock.h"
#include "platform/driver_port.h"

namespace morvex::fuzz {

struct Scenario {
  uint8_t steps = 0;   // bit 0 binning, 1 snapshot, 2 preview, 3 capture, 4 colour mode
  uint8_t colour = 0;  // index into the colour depths; bit 0 also the row order
};

// `previewing` is asked about once a millisecond while the preview runs
// (for at most `preview_limit_ms`); false ends the preview.
void RunScenario(platform::DriverPort& port, platform::Clock& clock, const Scenario& scenario,
                 const std::function<bool(int64_t frames)>& previewing, uint32_t preview_limit_ms);

}  // namespace morvex::fuzz
