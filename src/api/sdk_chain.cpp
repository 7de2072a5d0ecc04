#include "api/sdk_chain.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace morvex::api {
namespace {

// The gates whose leases the calling thread holds, so that a release from
// inside a call does not wait for itself.
thread_local std::vector<const CallGate*> t_held_gates;

int RuntimeRand() { return std::rand(); }

}  // namespace

InstanceLease::InstanceLease(CMorvex* instance, std::shared_ptr<CallGate> gate)
    : instance_(instance), gate_(std::move(gate)) {
  std::lock_guard<std::mutex> lock(gate_->lock);
  ++gate_->calls;
  t_held_gates.push_back(gate_.get());
}

InstanceLease::~InstanceLease() { Reset(); }

InstanceLease::InstanceLease(InstanceLease&& other) noexcept
    : instance_(other.instance_), gate_(std::move(other.gate_)) {
  other.instance_ = nullptr;
}

InstanceLease& InstanceLease::operator=(InstanceLease&& other) noexcept {
  if (this != &other) {
    Reset();
    instance_ = other.instance_;
    gate_ = std::move(other.gate_);
    other.instance_ = nullptr;
  }
  return *this;
}

void InstanceLease::Reset() {
  if (!gate_) return;
  auto held = std::find(t_held_gates.begin(), t_held_gates.end(), gate_.get());
  if (held != t_held_gates.end()) t_held_gates.erase(held);
  std::unique_ptr<CMorvex> doomed;
  {
    std::lock_guard<std::mutex> lock(gate_->lock);
    if (--gate_->calls == 0) doomed = std::move(gate_->orphan);
  }
  gate_->idle.notify_all();
  gate_.reset();
  instance_ = nullptr;
  // `doomed` (if any) is destroyed here, after every call has left.
}

CSdkChain::CSdkChain(platform::Clock& clock, RandomSource random)
    : clock_(clock), random_(random != nullptr ? random : &RuntimeRand) {}

// Entries go; instances still registered are left alone, since destroying
// them at unload would stop threads from inside the loader.
CSdkChain::~CSdkChain() {
  platform::ScopedLock lock(lock_);
  FreeAll();
}

CSDKDATA* CSdkChain::Insert(CSDKDATA contents) {
  platform::ScopedLock lock(lock_);
  return CTRing<CSDKDATA>::Insert(std::move(contents));
}

CSDKDATA* CSdkChain::FindLocked(int32_t handle) {
  if (head_ == nullptr) return nullptr;
  const int32_t last = head_->previous->handle;
  for (;;) {
    if (head_->handle == handle) return head_;
    if (head_->handle == last) return nullptr;
    head_ = head_->next;
  }
}

bool CSdkChain::ContainsLocked(int32_t handle) const {
  const CSDKDATA* entry = head_;
  for (uint32_t i = 0; i < count_; ++i, entry = entry->next)
    if (entry->handle == handle) return true;
  return false;
}

int32_t CSdkChain::DrawHandleLocked() {
  for (;;) {
    // 32-bit sum with wrap-around.
    const uint32_t sum = clock_.TickCount() + static_cast<uint32_t>(random_()) + count_;
    const int32_t handle = static_cast<int32_t>(sum);
    // 0 means failure to the application, and a duplicate would shadow an
    // open camera: draw again.
    if (handle != 0 && !ContainsLocked(handle)) return handle;
  }
}

int32_t CSdkChain::Register(std::unique_ptr<CMorvex> instance) {
  if (!instance) return 0;
  platform::ScopedLock lock(lock_);
  CSDKDATA entry;
  entry.handle = DrawHandleLocked();
  entry.instance = instance.release();
  entry.gate = std::make_shared<CallGate>();
  const int32_t handle = entry.handle;
  CTRing<CSDKDATA>::Insert(std::move(entry));
  FindLocked(handle);
  return handle;
}

InstanceLease CSdkChain::Lookup(int32_t handle) {
  platform::ScopedLock lock(lock_);
  CSDKDATA* entry = FindLocked(handle);
  if (entry == nullptr || entry->instance == nullptr) return InstanceLease();
  return InstanceLease(entry->instance, entry->gate);
}

bool CSdkChain::Release(int32_t handle) {
  CMorvex* instance = nullptr;
  std::shared_ptr<CallGate> gate;
  {
    platform::ScopedLock lock(lock_);
    CSDKDATA* entry = FindLocked(handle);
    if (entry == nullptr || entry->instance == nullptr) return false;
    // From here on every lookup treats the handle as unregistered.
    instance = entry->instance;
    entry->instance = nullptr;
    gate = entry->gate;
  }
  const auto own_calls = std::count(t_held_gates.begin(), t_held_gates.end(), gate.get());
  {
    std::unique_lock<std::mutex> lock(gate->lock);
    gate->idle.wait(lock, [&] { return gate->calls <= own_calls; });
    if (own_calls > 0) {
      gate->orphan.reset(instance);
      instance = nullptr;
    }
  }
  delete instance;
  {
    platform::ScopedLock lock(lock_);
    if (FindLocked(handle) != nullptr) RemoveHead();
  }
  return true;
}

CSdkChain& Registry() {
  static CSdkChain registry;
  return registry;
}

}  // namespace morvex::api
