// Observes the window messages the library posts: natively through the
// posted-message sink, on Windows through a real window's message queue.
#pragma once

#include <cstdint>
#include <vector>

namespace morvex::test {

struct PostedMessage {
  void* window;
  uint32_t message;
  uintptr_t wparam;
  intptr_t lparam;
};

class MessageObserver {
 public:
  MessageObserver();
  ~MessageObserver();
  MessageObserver(const MessageObserver&) = delete;
  MessageObserver& operator=(const MessageObserver&) = delete;

  // The application window to hand to Morvex_Initialize.
  void* window() const { return window_; }
  // Messages posted since the last call, oldest first. On Windows only the
  // calling thread's queue is seen: call it on the thread that made the
  // observer and posted the messages.
  std::vector<PostedMessage> Take();

 private:
  void* window_ = nullptr;
};

}  // namespace morvex::test
