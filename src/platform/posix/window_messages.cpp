// Natively there are no windows: without a test sink a post goes nowhere.
#include "platform/system_post.h"

namespace morvex::platform {

bool PostToSystemWindow(WindowHandle, uint32_t, uintptr_t, intptr_t) { return false; }

}  // namespace morvex::platform
