#include "platform/window_messages.h"

namespace morvex::platform {
bool PostWindowMessage(WindowHandle, uint32_t, uintptr_t, intptr_t) { return false; }
void SetPostedMessageSink(PostedMessageSink) {}
}  // namespace morvex::platform
