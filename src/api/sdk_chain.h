// The handle registry: a circular doubly linked ring with a movable head
// that maps camera handles to camera instances.
//
// A lookup walks from the head and leaves the found entry as the head (or,
// when nothing matches, the former last entry). Exports run on any thread:
// every ring change and search happens under the registry lock, and a call
// in flight holds a lease on its instance so that Morvex_Release waits for
// it before destroying the instance.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "camera/morvex.h"
#include "platform/clock.h"
#include "platform/sync.h"

namespace morvex::api {

// Ring of individually allocated entries that carry their own `previous`
// and `next` links.
template <typename T>
class CTRing {
 public:
  CTRing() = default;
  virtual ~CTRing() { FreeAll(); }
  CTRing(const CTRing&) = delete;
  CTRing& operator=(const CTRing&) = delete;

  // Links a new entry in front of the head and makes it the head.
  virtual T* Insert(T contents) {
    T* entry = new T(std::move(contents));
    if (head_ == nullptr) {
      entry->previous = entry;
      entry->next = entry;
      count_ = 1;
    } else {
      entry->previous = head_->previous;
      entry->next = head_;
      head_->previous->next = entry;
      head_->previous = entry;
      ++count_;
    }
    head_ = entry;
    return entry;
  }

  T* head() const { return head_; }
  uint32_t count() const { return count_; }

 protected:
  // Unlinks and frees the head; its next entry becomes the head.
  void RemoveHead() {
    T* entry = head_;
    if (entry == nullptr) return;
    if (entry->next == entry) {
      head_ = nullptr;
      count_ = 0;
    } else {
      entry->previous->next = entry->next;
      entry->next->previous = entry->previous;
      head_ = entry->next;
      --count_;
    }
    delete entry;
  }

  void FreeAll() {
    while (head_ != nullptr) RemoveHead();
  }

  T* head_ = nullptr;
  uint32_t count_ = 0;
};

// Counts the exports running on one camera instance.
struct CallGate {
  std::mutex lock;
  std::condition_variable idle;
  int calls = 0;
  // Set when the instance was released from inside one of its own calls:
  // the last call to leave destroys it.
  std::unique_ptr<CMorvex> orphan;
};

struct CSDKDATA {
  int32_t handle = 0;
  CMorvex* instance = nullptr;  // null while being released
  CSDKDATA* previous = nullptr;
  CSDKDATA* next = nullptr;
  std::shared_ptr<CallGate> gate;
};

// Keeps one camera instance alive for the duration of one export.
class InstanceLease {
 public:
  InstanceLease() = default;
  InstanceLease(CMorvex* instance, std::shared_ptr<CallGate> gate);
  ~InstanceLease();
  InstanceLease(InstanceLease&& other) noexcept;
  InstanceLease& operator=(InstanceLease&& other) noexcept;
  InstanceLease(const InstanceLease&) = delete;
  InstanceLease& operator=(const InstanceLease&) = delete;

  explicit operator bool() const { return instance_ != nullptr; }
  CMorvex* get() const { return instance_; }
  CMorvex* operator->() const { return instance_; }
  CMorvex& operator*() const { return *instance_; }

 private:
  void Reset();
  CMorvex* instance_ = nullptr;
  std::shared_ptr<CallGate> gate_;
};

class CSdkChain : public CTRing<CSDKDATA> {
 public:
  using RandomSource = int (*)();

  // `random` is the runtime's rand() in the library; tests pass their own.
  explicit CSdkChain(platform::Clock& clock = platform::SystemClock(), RandomSource random = nullptr);
  ~CSdkChain() override;

  CSDKDATA* Insert(CSDKDATA contents) override;

  // Enters `instance` under a new handle (tick count + rand() + entry count,
  // drawn again while it is 0 or already registered), makes its entry the
  // head and returns the handle.
  int32_t Register(std::unique_ptr<CMorvex> instance);

  // Finds the handle and leaves its entry as the head. The lease is empty
  // for an unknown handle or an instance being released.
  InstanceLease Lookup(int32_t handle);

  // Waits for the calls in flight, destroys the instance and removes the
  // entry. False for an unknown handle.
  bool Release(int32_t handle);

  // Ring order from the head, for inspection.
  template <typename F>
  void ForEach(F&& visit) {
    platform::ScopedLock lock(lock_);
    CSDKDATA* entry = head_;
    for (uint32_t i = 0; i < count_; ++i, entry = entry->next) visit(*entry);
  }

 private:
  CSDKDATA* FindLocked(int32_t handle);       // moves the head
  bool ContainsLocked(int32_t handle) const;  // leaves the head alone
  int32_t DrawHandleLocked();

  platform::Clock& clock_;
  RandomSource random_;
  platform::CriticalSection lock_;
};

// The library's one registry, built at load time.
CSdkChain& Registry();

}  // namespace morvex::api
