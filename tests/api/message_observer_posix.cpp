#include <mutex>

#include "message_observer.h"
#include "platform/window_messages.h"

namespace morvex::test {
namespace {

std::mutex g_lock;
std::vector<PostedMessage> g_messages;

}  // namespace

MessageObserver::MessageObserver() {
  static int window_tag;
  window_ = &window_tag;  // any non-null value stands for a window natively
  {
    std::lock_guard<std::mutex> lock(g_lock);
    g_messages.clear();
  }
  platform::SetPostedMessageSink(
      [](platform::WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
        std::lock_guard<std::mutex> lock(g_lock);
        g_messages.push_back({window, message, wparam, lparam});
      });
}

MessageObserver::~MessageObserver() { platform::SetPostedMessageSink(nullptr); }

std::vector<PostedMessage> MessageObserver::Take() {
  std::lock_guard<std::mutex> lock(g_lock);
  std::vector<PostedMessage> taken;
  taken.swap(g_messages);
  return taken;
}

}  // namespace morvex::test
