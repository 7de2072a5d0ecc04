// Posting window messages. The library only ever posts, never sends.
#pragma once

#include <cstdint>
#include <functional>

namespace morvex::platform {

using WindowHandle = void*;  // HWND on Windows

// PostMessageA. Natively there are no windows: messages go to the sink set by
// SetPostedMessageSink (tests), or nowhere. Returns the system's result.
bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Native builds only: observe posted messages. Thread-safe; pass an empty
// function to remove the sink.
using PostedMessageSink = std::function<void(WindowHandle, uint32_t, uintptr_t, intptr_t)>;
void SetPostedMessageSink(PostedMessageSink sink);

}  // namespace morvex::platform
