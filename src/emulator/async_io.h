// Completion slots of the emulated driver's overlapped requests.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/driver_port.h"
#include "platform/sync.h"

namespace morvex::emulator {

// One request's completion: result, wake-up for GetResult, and the caller's
// auto-reset event. Shared between the caller's AsyncIo and the request, so
// a request that outlives its AsyncIo finds the slot marked abandoned and
// writes nothing.
struct IoSlot {
  IoSlot() : event(false, false) {}
  platform::Event event;
  std::mutex mu;
  std::condition_variable done;
  bool pending = false;
  bool abandoned = false;
  platform::IoResult result{true, platform::kErrorSuccess, 0};

  // Like DeviceIoControl with an OVERLAPPED, starting a request clears the
  // event: a slot used again must not wake its waiter early.
  void Begin() {
    event.Reset();
    std::lock_guard<std::mutex> lock(mu);
    pending = true;
    result = platform::IoResult{false, platform::kErrorIoIncomplete, 0};
  }
  // `fill` moves the data into the caller's buffer; it runs under the slot
  // lock so the owner cannot free the buffer in the middle.
  template <typename Fill>
  void Complete(const platform::IoResult& r, Fill&& fill) {
    {
      std::lock_guard<std::mutex> lock(mu);
      if (!abandoned) fill();
      result = r;
      pending = false;
    }
    done.notify_all();
    event.Set();
  }
  void Complete(const platform::IoResult& r) {
    Complete(r, [] {});
  }
  // The caller dropped its AsyncIo: nobody waits for this request any more.
  bool Abandoned() {
    std::lock_guard<std::mutex> lock(mu);
    return abandoned;
  }
  platform::IoResult Wait() {
    std::unique_lock<std::mutex> lock(mu);
    done.wait(lock, [this] { return !pending; });
    return result;
  }
};

class EmulatedAsyncIo : public platform::AsyncIo {
 public:
  EmulatedAsyncIo() : slot_(std::make_shared<IoSlot>()) {}
  ~EmulatedAsyncIo() override {
    std::lock_guard<std::mutex> lock(slot_->mu);
    slot_->abandoned = true;
  }
  platform::Event& event() override { return slot_->event; }
  const std::shared_ptr<IoSlot>& slot() const { return slot_; }

 private:
  std::shared_ptr<IoSlot> slot_;
};

}  // namespace morvex::emulator
