// Posting window messages. The library only ever posts, never sends.
#pragma once

#include <cstdint>
#include <functional>

namespace morvex::platform {

using WindowHandle = void*;  // HWND on Windows

// PostMessageA. Natively there are no windows: messages go to the sink set by
// SetPostedMessageSink (tests), or nowhere. Returns the system's result.
bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Observe posted messages (tests). While a sink is set it takes every posted
// message instead of the windows, in both builds. Thread-safe; pass an empty
// function to remove the sink: once that returns, the old sink is no longer
// running and is never called again. Not to be called from inside a sink.
using PostedMessageSink = std::function<void(WindowHandle, uint32_t, uintptr_t, intptr_t)>;
void SetPostedMessageSink(PostedMessageSink sink);

}  // namespace morvex::platform
