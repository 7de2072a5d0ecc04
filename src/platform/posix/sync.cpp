// Locks and events natively: pthread mutexes and condition variables; the
// machine-wide mutex is an flock'ed file.
#include "platform/sync.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/posix/names.h"

namespace morvex::platform {

// ---------------------------------------------------------------------------
struct CriticalSection::Impl {
  std::recursive_mutex mutex;
};

CriticalSection::CriticalSection() : impl_(std::make_unique<Impl>()) {}
CriticalSection::~CriticalSection() = default;
void CriticalSection::Enter() { impl_->mutex.lock(); }
bool CriticalSection::TryEnter() { return impl_->mutex.try_lock(); }
void CriticalSection::Leave() { impl_->mutex.unlock(); }

// ---------------------------------------------------------------------------
struct Event::Impl {
  Impl(bool manual, bool set) : manual_reset(manual), signaled(set) {}
  std::mutex mutex;
  std::condition_variable changed;
  const bool manual_reset;
  bool signaled;
};

Event::Event(bool manual_reset, bool initially_set, const char* name) {
  if (!name || !*name) {
    impl_ = std::make_shared<Impl>(manual_reset, initially_set);
    return;
  }
  // Named events live as long as one Event object holds them, like kernel
  // objects; the first creator's reset mode and initial state hold.
  static std::mutex registry_mutex;
  static std::map<std::string, std::weak_ptr<Impl>> registry;
  std::lock_guard<std::mutex> lock(registry_mutex);
  for (auto it = registry.begin(); it != registry.end();) {
    if (it->second.expired())
      it = registry.erase(it);
    else
      ++it;
  }
  auto& slot = registry[name];
  impl_ = slot.lock();
  if (!impl_) {
    impl_ = std::make_shared<Impl>(manual_reset, initially_set);
    slot = impl_;
  }
}

Event::~Event() = default;

bool Event::valid() const { return impl_ != nullptr; }

void Event::Set() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->signaled = true;
  if (impl_->manual_reset)
    impl_->changed.notify_all();
  else
    impl_->changed.notify_one();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->signaled = false;
}

WaitResult Event::Wait(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  auto is_set = [this] { return impl_->signaled; };
  if (timeout_ms == kInfinite) {
    impl_->changed.wait(lock, is_set);
  } else if (!impl_->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), is_set)) {
    return WaitResult::kTimeout;
  }
  if (!impl_->manual_reset) impl_->signaled = false;
  return WaitResult::kSignaled;
}

void* Event::native_handle() const { return nullptr; }

// ---------------------------------------------------------------------------
// One lock state per name in the process, shared by every NamedMutex object
// of that name: ownership between threads is settled here (an flock is held
// per open file, not per thread), between processes by the flock. Like a
// Win32 mutex, the owning thread may lock again.
namespace {

struct NamedLockState {
  std::string path;
  int fd = -1;
  std::mutex mutex;
  std::condition_variable released;
  std::thread::id owner;
  uint32_t depth = 0;
  ~NamedLockState() { posix::CloseAndRemoveIfUnused(fd, path); }
};

std::shared_ptr<NamedLockState> FindOrOpenNamedLock(const std::string& name) {
  static std::mutex registry_mutex;
  static std::map<std::string, std::weak_ptr<NamedLockState>> registry;
  std::lock_guard<std::mutex> lock(registry_mutex);
  for (auto it = registry.begin(); it != registry.end();) {
    if (it->second.expired())
      it = registry.erase(it);
    else
      ++it;
  }
  auto& slot = registry[name];
  if (auto existing = slot.lock()) return existing;
  auto state = std::make_shared<NamedLockState>();
  state->path = posix::LockFilePath(name, "mutex");
  state->fd = open(state->path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (state->fd < 0) return nullptr;
  slot = state;
  return state;
}

}  // namespace

struct NamedMutex::Impl {
  std::shared_ptr<NamedLockState> state;
};

NamedMutex::NamedMutex(const char* name) : impl_(std::make_unique<Impl>()) {
  if (name && *name) impl_->state = FindOrOpenNamedLock(name);
}

NamedMutex::~NamedMutex() = default;

bool NamedMutex::valid() const { return impl_->state != nullptr; }

bool NamedMutex::Lock(uint32_t timeout_ms) {
  NamedLockState* state = impl_->state.get();
  if (!state) return false;
  const auto self = std::this_thread::get_id();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  std::unique_lock<std::mutex> lock(state->mutex);
  if (state->depth > 0 && state->owner == self) {
    ++state->depth;
    return true;
  }
  auto free = [state] { return state->depth == 0; };
  if (timeout_ms == kInfinite)
    state->released.wait(lock, free);
  else if (!state->released.wait_until(lock, deadline, free))
    return false;
  // This thread now has the process's claim; the flock settles it between
  // processes. Other threads wait on the claim, not on the file.
  state->owner = self;
  state->depth = 1;
  lock.unlock();
  bool locked = false;
  for (;;) {
    const int mode = timeout_ms == kInfinite ? LOCK_EX : LOCK_EX | LOCK_NB;
    if (flock(state->fd, mode) == 0) {
      if (posix::StillNamed(state->fd, state->path)) {
        locked = true;
        break;
      }
      // Its last user elsewhere removed the file: lock the current one.
      const int fresh = open(state->path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      if (fresh < 0) break;
      close(state->fd);
      state->fd = fresh;
      continue;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (timeout_ms != kInfinite) {
      if (std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (!locked) {
    lock.lock();
    state->depth = 0;
    state->owner = std::thread::id();
    state->released.notify_one();
  }
  return locked;
}

void NamedMutex::Unlock() {
  NamedLockState* state = impl_->state.get();
  if (!state) return;
  std::lock_guard<std::mutex> lock(state->mutex);
  // Only the owner can release, as with ReleaseMutex.
  if (state->depth == 0 || state->owner != std::this_thread::get_id()) return;
  if (--state->depth > 0) return;
  flock(state->fd, LOCK_UN);
  state->owner = std::thread::id();
  state->released.notify_one();
}

}  // namespace morvex::platform
