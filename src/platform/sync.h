// Locks and events.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace morvex::platform {

// Result of a wait, mirroring WAIT_OBJECT_0 / WAIT_TIMEOUT / WAIT_FAILED.
enum class WaitResult { kSignaled, kTimeout, kFailed };

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// A recursive lock (a Windows critical section).
class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter();
  bool TryEnter();
  void Leave();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class ScopedLock {
 public:
  explicit ScopedLock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~ScopedLock() { cs_.Leave(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CriticalSection& cs_;
};

// Auto- or manual-reset event. A named event is shared by every object (and,
// on Windows, every process) that opens the same name.
class Event {
 public:
  Event(bool manual_reset, bool initially_set, const char* name = nullptr);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  bool valid() const;
  void Set();
  void Reset();
  // Waits up to `timeout_ms` (kInfinite: no limit). An auto-reset event is
  // reset by a successful wait.
  WaitResult Wait(uint32_t timeout_ms);
  // The native handle (HANDLE on Windows, nullptr natively).
  void* native_handle() const;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

// A machine-wide mutex (a named Win32 mutex; natively an flock'ed file), used
// to guard read-modify-write of shared memory between processes.
class NamedMutex {
 public:
  explicit NamedMutex(const char* name);
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;
  bool valid() const;
  bool Lock(uint32_t timeout_ms = kInfinite);
  void Unlock();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class ScopedNamedLock {
 public:
  explicit ScopedNamedLock(NamedMutex& m) : m_(m), held_(m.Lock()) {}
  ~ScopedNamedLock() {
    if (held_) m_.Unlock();
  }
  bool held() const { return held_; }
  ScopedNamedLock(const ScopedNamedLock&) = delete;
  ScopedNamedLock& operator=(const ScopedNamedLock&) = delete;

 private:
  NamedMutex& m_;
  bool held_;
};

}  // namespace morvex::platform
