#include "platform/sync.h"

#include <mutex>

namespace morvex::platform {
struct CriticalSection::Impl {
  std::recursive_mutex mutex;
};
CriticalSection::CriticalSection() : impl_(std::make_unique<Impl>()) {}
CriticalSection::~CriticalSection() = default;
void CriticalSection::Enter() { impl_->mutex.lock(); }
bool CriticalSection::TryEnter() { return impl_->mutex.try_lock(); }
void CriticalSection::Leave() { impl_->mutex.unlock(); }

struct Event::Impl {};
Event::Event(bool, bool, const char*) : impl_(std::make_shared<Impl>()) {}
Event::~Event() = default;
bool Event::valid() const { return true; }
void Event::Set() {}
void Event::Reset() {}
WaitResult Event::Wait(uint32_t) { return WaitResult::kTimeout; }
void* Event::native_handle() const { return nullptr; }

struct NamedMutex::Impl {
  std::mutex mutex;
};
NamedMutex::NamedMutex(const char*) : impl_(std::make_unique<Impl>()) {}
NamedMutex::~NamedMutex() = default;
bool NamedMutex::valid() const { return true; }
bool NamedMutex::Lock(uint32_t) {
  impl_->mutex.lock();
  return true;
}
void NamedMutex::Unlock() { impl_->mutex.unlock(); }
}  // namespace morvex::platform
