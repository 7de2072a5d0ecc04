// Posting window messages on Windows. A test sink, when set, takes the
// messages instead of the windows, as in the native build.
#include "platform/window_messages.h"

#include <windows.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace morvex::platform {

namespace {

struct SinkHolder {
  PostedMessageSink sink;
  int calls_in_flight = 0;
};

struct SinkSlot {
  std::mutex mutex;
  std::condition_variable call_ended;
  std::shared_ptr<SinkHolder> current;
};

SinkSlot& Slot() {
  static SinkSlot slot;
  return slot;
}

}  // namespace

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  SinkSlot& slot = Slot();
  std::shared_ptr<SinkHolder> holder;
  {
    std::lock_guard<std::mutex> lock(slot.mutex);
    holder = slot.current;
    if (holder) ++holder->calls_in_flight;
  }
  if (!holder) return PostMessageA(static_cast<HWND>(window), message, wparam, lparam) != FALSE;
  holder->sink(window, message, wparam, lparam);
  std::lock_guard<std::mutex> lock(slot.mutex);
  --holder->calls_in_flight;
  slot.call_ended.notify_all();
  return true;
}

void SetPostedMessageSink(PostedMessageSink sink) {
  SinkSlot& slot = Slot();
  std::unique_lock<std::mutex> lock(slot.mutex);
  std::shared_ptr<SinkHolder> previous = std::move(slot.current);
  if (sink) {
    slot.current = std::make_shared<SinkHolder>();
    slot.current->sink = std::move(sink);
  }
  // The old sink may capture things its owner frees right after this call.
  if (previous) slot.call_ended.wait(lock, [&] { return previous->calls_in_flight == 0; });
}

}  // namespace morvex::platform
