// Posting window messages, and the test sink that can take them instead of
// the windows. Only the last step, handing a message to the system, differs
// between the builds (system_post.h).
#include "platform/window_messages.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/system_post.h"

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
  if (!holder) return PostToSystemWindow(window, message, wparam, lparam);
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
  // The old sink may capture things its owner frees right after this call:
  // wait until no post is still inside it.
  if (previous) slot.call_ended.wait(lock, [&] { return previous->calls_in_flight == 0; });
}

}  // namespace morvex::platform
