// Locks and events on Windows: critical sections and kernel objects.
#include "platform/sync.h"

#include <windows.h>

namespace morvex::platform {

struct CriticalSection::Impl {
  CRITICAL_SECTION section;
};

CriticalSection::CriticalSection() : impl_(std::make_unique<Impl>()) {
  InitializeCriticalSection(&impl_->section);
}
CriticalSection::~CriticalSection() { DeleteCriticalSection(&impl_->section); }
void CriticalSection::Enter() { EnterCriticalSection(&impl_->section); }
bool CriticalSection::TryEnter() { return TryEnterCriticalSection(&impl_->section) != FALSE; }
void CriticalSection::Leave() { LeaveCriticalSection(&impl_->section); }

// ---------------------------------------------------------------------------
struct Event::Impl {
  HANDLE handle = nullptr;
  ~Impl() {
    if (handle) CloseHandle(handle);
  }
};

Event::Event(bool manual_reset, bool initially_set, const char* name) : impl_(std::make_shared<Impl>()) {
  // An existing event of that name is opened as it is, whatever it was
  // created with.
  impl_->handle = CreateEventA(nullptr, manual_reset ? TRUE : FALSE, initially_set ? TRUE : FALSE,
                               name && *name ? name : nullptr);
}

Event::~Event() = default;

bool Event::valid() const { return impl_->handle != nullptr; }

void Event::Set() {
  if (impl_->handle) SetEvent(impl_->handle);
}

void Event::Reset() {
  if (impl_->handle) ResetEvent(impl_->handle);
}

WaitResult Event::Wait(uint32_t timeout_ms) {
  if (!impl_->handle) return WaitResult::kFailed;
  switch (WaitForSingleObject(impl_->handle, timeout_ms)) {
    case WAIT_OBJECT_0:
      return WaitResult::kSignaled;
    case WAIT_TIMEOUT:
      return WaitResult::kTimeout;
    default:
      return WaitResult::kFailed;
  }
}

void* Event::native_handle() const { return impl_->handle; }

// ---------------------------------------------------------------------------
struct NamedMutex::Impl {
  HANDLE handle = nullptr;
};

NamedMutex::NamedMutex(const char* name) : impl_(std::make_unique<Impl>()) {
  if (name && *name) impl_->handle = CreateMutexA(nullptr, FALSE, name);
}

NamedMutex::~NamedMutex() {
  if (impl_->handle) CloseHandle(impl_->handle);
}

bool NamedMutex::valid() const { return impl_->handle != nullptr; }

bool NamedMutex::Lock(uint32_t timeout_ms) {
  if (!impl_->handle) return false;
  switch (WaitForSingleObject(impl_->handle, timeout_ms)) {
    case WAIT_OBJECT_0:
    // The previous owner died holding it; the lock is ours all the same.
    case WAIT_ABANDONED:
      return true;
    default:
      return false;
  }
}

void NamedMutex::Unlock() {
  if (impl_->handle) ReleaseMutex(impl_->handle);
}

}  // namespace morvex::platform
