// Where a camera instance is in its life, and what an operation needs of it.
#pragma once

#include <cstdint>

namespace morvex {

enum class Lifecycle : int32_t {
  kNoDevice,   // before Initialize, or it made no device object
  kNoBuffers,  // Initialize ended before the images and references were made
  kNoCamera,   // initialised; no camera opened (none or several attached)
  kOpen,       // a camera is opened
  kAcquiring,  // preview, capture or trigger mode
};

// What an operation needs before it may start.
enum class Need {
  kDevice,     // the device object
  kRegisters,  // a register view: the device object's or an attached one
  kBuffers,    // the device object, the images and the references
};

// How a refusal reaches the application: recorded in the history and
// posted, or only posted.
enum class Report { kRecord, kPostOnly };

const char* LifecycleName(Lifecycle state);

}  // namespace morvex
