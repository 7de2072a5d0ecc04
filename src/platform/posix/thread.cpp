#include "platform/thread.h"

#include <thread>

namespace morvex::platform {
struct Thread::Impl {
  std::thread thread;
  ThreadPriority priority = ThreadPriority::kNormal;
};
Thread::Thread() : impl_(std::make_unique<Impl>()) {}
Thread::~Thread() { Join(); }
bool Thread::Start(std::function<void()> body, ThreadPriority priority) {
  if (impl_->thread.joinable()) return false;
  impl_->priority = priority;
  impl_->thread = std::thread(std::move(body));
  return true;
}
bool Thread::running() const { return impl_->thread.joinable(); }
bool Thread::Join(uint32_t) {
  if (impl_->thread.joinable()) impl_->thread.join();
  return true;
}
ThreadPriority Thread::priority() const { return impl_->priority; }
uint32_t CurrentThreadId() { return static_cast<uint32_t>(std::hash<std::thread::id>()(std::this_thread::get_id())); }
}  // namespace morvex::platform
