// Threads natively: pthreads. Linux gives unprivileged processes no
// real-time priorities, so a thread keeps the priority it was asked for.
#include "platform/thread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace morvex::platform {

namespace {

struct Run {
  std::function<void()> body;
  std::mutex mutex;
  std::condition_variable finished_changed;
  bool finished = false;
};

void* RunBody(void* arg) {
  // The thread shares the run record, so a Thread destroyed by its own body
  // (detached then) leaves nothing dangling.
  std::shared_ptr<Run> run(std::move(*static_cast<std::shared_ptr<Run>*>(arg)));
  delete static_cast<std::shared_ptr<Run>*>(arg);
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
