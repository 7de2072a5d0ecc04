#include "api/sdk_chain.h"

#include <cstdlib>

namespace morvex::api {
namespace {

// The gates whose leases the calling thread holds, so that a release from
// inside a call does not wait for itself. Plain data: a thread-local with a
// destructor would outlive an unloaded DLL.
constexpr int kMaxHeldGates = 32;
thread_local const CallGate* t_held_gates[kMaxHeldGates];
thread_local int t_held_count;

void NoteHeld(const CallGate* gate) {
  if (t_held_count < kMaxHeldGates) t_held_gates[t_held_count++] = gate;
}

void NoteLeft(const CallGate* gate) {
  for (int i = t_held_count - 1; i >= 0; --i) {
    if (t_held_gates[i] == gate) {
      t_held_gates[i] = t_held_gates[--t_held_count];
      return;
    }
  }
}

int HeldByThisThread(const CallGate* gate) {
  int held = 0;
  for (int i = 0; i < t_held_count; ++i) held += t_held_gates[i] == gate ? 1 : 0;
  return held;
}

int RuntimeRand() { return std::rand(); }

}  // namespace

InstanceLease::InstanceLease(CMorvex* instance, std::shared_ptr<CallGate> gate)
    : instance_(instance), gate_(std::move(gate)) {
  std::lock_guard<std::mutex> lock(gate_->lock);
  ++gate_->calls;
  NoteHeld(gate_.get());
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
  NoteLeft(gate_.get());
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
  CSDKDATA entry;
  entry.gate = std::make_shared<CallGate>();
  entry.instance = instance.get();
  platform::ScopedLock lock(lock_);
  entry.handle = DrawHandleLocked();
  const int32_t handle = entry.handle;
  CTRing<CSDKDATA>::Insert(std::move(entry));
  instance.release();  // the ring owns it from here on
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
  const int own_calls = HeldByThisThread(gate.get());
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
