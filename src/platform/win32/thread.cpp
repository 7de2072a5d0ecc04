// Threads on Windows: _beginthreadex, started suspended so the body runs at
// its priority from the first instruction.
#include "platform/thread.h"

#include <windows.h>
#include <process.h>

namespace morvex::platform {

namespace {

int ToWin32(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::kIdle:
      return THREAD_PRIORITY_IDLE;
    case ThreadPriority::kLowest:
      return THREAD_PRIORITY_LOWEST;
    case ThreadPriority::kBelowNormal:
      return THREAD_PRIORITY_BELOW_NORMAL;
    case ThreadPriority::kNormal:
      return THREAD_PRIORITY_NORMAL;
    case ThreadPriority::kAboveNormal:
      return THREAD_PRIORITY_ABOVE_NORMAL;
    case ThreadPriority::kHighest:
      return THREAD_PRIORITY_HIGHEST;
    case ThreadPriority::kTimeCritical:
      return THREAD_PRIORITY_TIME_CRITICAL;
  }
  return THREAD_PRIORITY_NORMAL;
}

ThreadPriority FromWin32(int priority) {
  if (priority >= THREAD_PRIORITY_TIME_CRITICAL) return ThreadPriority::kTimeCritical;
  if (priority <= THREAD_PRIORITY_IDLE) return ThreadPriority::kIdle;
  switch (priority) {
    case THREAD_PRIORITY_LOWEST:
      return ThreadPriority::kLowest;
    case THREAD_PRIORITY_BELOW_NORMAL:
      return ThreadPriority::kBelowNormal;
    case THREAD_PRIORITY_ABOVE_NORMAL:
      return ThreadPriority::kAboveNormal;
    case THREAD_PRIORITY_HIGHEST:
      return ThreadPriority::kHighest;
    default:
      return ThreadPriority::kNormal;
  }
}

unsigned __stdcall RunBody(void* arg) {
  auto* body = static_cast<std::function<void()>*>(arg);
  (*body)();
  delete body;
  return 0;
}

}  // namespace

struct Thread::Impl {
  HANDLE handle = nullptr;
  ThreadPriority priority = ThreadPriority::kNormal;
};

Thread::Thread() : impl_(std::make_unique<Impl>()) {}

Thread::~Thread() {
  if (impl_->handle && GetThreadId(impl_->handle) == GetCurrentThreadId()) {
    CloseHandle(impl_->handle);  // destroyed by its own body: let it run out
    return;
  }
  Join();
}

bool Thread::Start(std::function<void()> body, ThreadPriority priority) {
  if (impl_->handle || !body) return false;
  auto* run = new std::function<void()>(std::move(body));
  unsigned id = 0;
  auto handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &RunBody, run, CREATE_SUSPENDED, &id));
  if (!handle) {
    delete run;
    return false;
  }
  SetThreadPriority(handle, ToWin32(priority));
  impl_->priority = FromWin32(GetThreadPriority(handle));
  impl_->handle = handle;
  ResumeThread(handle);
  return true;
}

bool Thread::running() const { return impl_->handle != nullptr; }

bool Thread::Join(uint32_t timeout_ms) {
  if (!impl_->handle) return true;
  if (GetThreadId(impl_->handle) == GetCurrentThreadId()) return false;  // would deadlock
  if (WaitForSingleObject(impl_->handle, timeout_ms) != WAIT_OBJECT_0) return false;
  CloseHandle(impl_->handle);
  impl_->handle = nullptr;
  return true;
}

ThreadPriority Thread::priority() const {
  if (impl_->handle) {
    const int priority = GetThreadPriority(impl_->handle);
    if (priority != THREAD_PRIORITY_ERROR_RETURN) return FromWin32(priority);
  }
  return impl_->priority;
}

uint32_t CurrentThreadId() { return GetCurrentThreadId(); }

}  // namespace morvex::platform
