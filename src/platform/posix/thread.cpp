// Threads natively: pthreads. A priority moves the thread's nice value from
// the one it inherits (so an outer `nice` still counts); an unprivileged
// process may not lower it, and its threads then keep the inherited one.
#include "platform/thread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace morvex::platform {

namespace {

struct Run {
  std::function<void()> body;
  ThreadPriority priority = ThreadPriority::kNormal;
  std::mutex mutex;
  std::condition_variable finished_changed;
  bool finished = false;
};

int NiceOffset(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::kIdle:
      return 19;
    case ThreadPriority::kLowest:
      return 10;
    case ThreadPriority::kBelowNormal:
      return 5;
    case ThreadPriority::kNormal:
      return 0;
    case ThreadPriority::kAboveNormal:
      return -5;
    case ThreadPriority::kHighest:
      return -10;
    case ThreadPriority::kTimeCritical:
    default:
      return -15;
  }
}

void* RunBody(void* arg) {
  // The thread shares the run record, so a Thread destroyed by its own body
  // (detached then) leaves nothing dangling.
  std::shared_ptr<Run> run(std::move(*static_cast<std::shared_ptr<Run>*>(arg)));
  delete static_cast<std::shared_ptr<Run>*>(arg);
  // Nice values are per thread on Linux; a refusal leaves the inherited one.
  if (run->priority != ThreadPriority::kNormal) {
    const id_t self = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int inherited = getpriority(PRIO_PROCESS, self);
    if (errno == 0)
      (void)setpriority(PRIO_PROCESS, self, std::clamp(inherited + NiceOffset(run->priority), -20, 19));
  }
  run->body();
  run->body = nullptr;
  std::lock_guard<std::mutex> lock(run->mutex);
  run->finished = true;
  run->finished_changed.notify_all();
  return nullptr;
}

}  // namespace

struct Thread::Impl {
  pthread_t thread{};
  bool started = false;
  std::shared_ptr<Run> run;
  ThreadPriority priority = ThreadPriority::kNormal;
};

Thread::Thread() : impl_(std::make_unique<Impl>()) {}

Thread::~Thread() {
  if (impl_->started && pthread_equal(impl_->thread, pthread_self()))
    pthread_detach(impl_->thread);
  else
    Join();
}

bool Thread::Start(std::function<void()> body, ThreadPriority priority) {
  if (impl_->started || !body) return false;
  auto run = std::make_shared<Run>();
  run->body = std::move(body);
  run->priority = priority;
  auto* handoff = new std::shared_ptr<Run>(run);
  if (pthread_create(&impl_->thread, nullptr, &RunBody, handoff) != 0) {
    delete handoff;
    return false;
  }
  impl_->run = std::move(run);
  impl_->started = true;
  impl_->priority = priority;
  return true;
}

bool Thread::running() const { return impl_->started; }

bool Thread::Join(uint32_t timeout_ms) {
  if (!impl_->started) return true;
  if (pthread_equal(impl_->thread, pthread_self())) return false;  // would deadlock
  if (timeout_ms != 0xFFFFFFFFu) {
    std::unique_lock<std::mutex> lock(impl_->run->mutex);
    if (!impl_->run->finished_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                               [this] { return impl_->run->finished; }))
      return false;
  }
  pthread_join(impl_->thread, nullptr);
  impl_->run.reset();
  impl_->started = false;
  return true;
}

ThreadPriority Thread::priority() const { return impl_->priority; }

uint32_t CurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

}  // namespace morvex::platform
