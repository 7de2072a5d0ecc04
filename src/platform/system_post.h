// Inside the platform layer only: hand a message to the system's queue.
#pragma once

#include <cstdint>

#include "platform/window_messages.h"

namespace morvex::platform {

// PostMessageA on Windows; natively there are no windows and nothing is posted.
bool PostToSystemWindow(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);

}  // namespace morvex::platform
