// Threads with Windows priorities.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace morvex::platform {

enum class ThreadPriority { kIdle, kLowest, kBelowNormal, kNormal, kAboveNormal, kHighest, kTimeCritical };

// One joinable thread. Destroying a running Thread joins it.
class Thread {
 public:
  Thread();
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // Starts `body` on a new thread; false when the system refuses.
  bool Start(std::function<void()> body, ThreadPriority priority = ThreadPriority::kNormal);
  bool running() const;  // started and not yet joined
  // Waits up to timeout_ms for the thread to end; true when it has ended and
  // was joined.
  bool Join(uint32_t timeout_ms = 0xFFFFFFFFu);
  // The priority actually in effect, as the system reports it. Natively,
  // where unprivileged processes get no real-time priorities, the one asked for.
  ThreadPriority priority() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Identifier of the calling thread.
uint32_t CurrentThreadId();

}  // namespace morvex::platform
