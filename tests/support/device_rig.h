// The device-object tests' rig: an emulator with cameras, a device object
// opened on it, and a port wrapper that notes the FPGA register writes and
// ready-flag polls that go over the wire.
#pragma once

#include <cstring>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "names.h"
#include "usb/fx3_api.h"

namespace morvex::test {

struct ObservedFpgaWrite {
  uint8_t reg;
  uint8_t value;
  uint32_t tick;
};

// One driver request as the port saw it.
struct IoCall {
  uint32_t code;
  bool overlapped_handle;
  uint32_t in_size;
  uint32_t out_size;
  ControlRequestBlock block;  // control transfers: the request as sent
  uint32_t tick;
};

// Passes everything to the emulator and keeps a log of driver requests, FPGA
// register writes (command 0x40 in request 0x30) and ready-flag requests
// (0xC3). The bus-speed answer can be replaced, as the emulated link is
// always SuperSpeed.
class ObservingPort : public platform::DriverPort {
 public:
  ObservingPort(platform::DriverPort& inner, platform::Clock& clock) : inner_(inner), clock_(clock) {}

  std::vector<std::string> EnumerateInterfaces(const platform::Guid& g) override {
    return inner_.EnumerateInterfaces(g);
  }
  Handle Open(const std::string& path, bool overlapped) override {
    Handle handle = inner_.Open(path, overlapped);
    if (handle) {
      std::lock_guard<std::mutex> lock(mutex_);
      open_[handle] = overlapped;
    }
    return handle;
  }
  void Close(Handle handle) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_.erase(handle);
    }
    inner_.Close(handle);
  }
  std::unique_ptr<platform::AsyncIo> CreateAsyncIo() override { return inner_.CreateAsyncIo(); }
  platform::IoResult GetResult(Handle handle, platform::AsyncIo& io, bool wait) override {
    return inner_.GetResult(handle, io, wait);
  }
  platform::IoResult IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size, void* out,
                               uint32_t out_size, platform::AsyncIo* io) override {
    BusSpeedAnswer speed_answer = BusSpeedAnswer::kDevice;
    uint32_t speed = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      IoCall call{code, false, in_size, out_size, {}, clock_.TickCount()};
      auto found = open_.find(handle);
      call.overlapped_handle = found != open_.end() && found->second;
      if (code == kIoctlControlTransfer && in && in_size >= sizeof(ControlRequestBlock)) {
        std::memcpy(&call.block, in, sizeof(call.block));
        const TransferHeader& h = call.block.header;
        if (h.request == 0x30 && h.index == 0x40 && h.value == 3)
          writes_.push_back({call.block.data[0], call.block.data[2], call.tick});
        if (h.request == 0xC3) ready_polls_.push_back(call.tick);
      }
      calls_.push_back(call);
      speed_answer = speed_answer_;
      speed = speed_;
    }
    if (code == kIoctlBusSpeed && speed_answer == BusSpeedAnswer::kFail)
      return platform::IoResult{false, platform::kErrorGenFailure, 0};
    platform::IoResult result = inner_.IoControl(handle, code, in, in_size, out, out_size, io);
    if (code == kIoctlBusSpeed && speed_answer == BusSpeedAnswer::kValue && result.ok && out && out_size >= 4)
      std::memcpy(out, &speed, sizeof(speed));
    return result;
  }

  // The bus speed the driver reports from now on; FailBusSpeed makes the
  // query fail, UseDeviceBusSpeed returns to the device's answer.
  void SetBusSpeed(uint32_t speed) {
    std::lock_guard<std::mutex> lock(mutex_);
    speed_answer_ = BusSpeedAnswer::kValue;
    speed_ = speed;
  }
  void FailBusSpeed() {
    std::lock_guard<std::mutex> lock(mutex_);
    speed_answer_ = BusSpeedAnswer::kFail;
  }
  void UseDeviceBusSpeed() {
    std::lock_guard<std::mutex> lock(mutex_);
    speed_answer_ = BusSpeedAnswer::kDevice;
  }

  std::vector<IoCall> calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  // Control requests with this bRequest, in order.
  std::vector<ControlRequestBlock> Requests(uint8_t request) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ControlRequestBlock> result;
    for (const IoCall& c : calls_)
      if (c.code == kIoctlControlTransfer && c.block.header.request == request) result.push_back(c.block);
    return result;
  }
  size_t open_handles() {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_.size();
  }

  std::vector<ObservedFpgaWrite> WritesTo(uint8_t reg) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ObservedFpgaWrite> result;
    for (const ObservedFpgaWrite& w : writes_)
      if (w.reg == reg) result.push_back(w);
    return result;
  }
  std::vector<ObservedFpgaWrite> writes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
  }
  std::vector<uint32_t> ready_polls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ready_polls_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    writes_.clear();
    ready_polls_.clear();
    calls_.clear();
  }

 private:
  enum class BusSpeedAnswer { kDevice, kValue, kFail };

  platform::DriverPort& inner_;
  platform::Clock& clock_;
  std::mutex mutex_;
  std::map<Handle, bool> open_;  // handle -> opened overlapped
  std::vector<IoCall> calls_;
  BusSpeedAnswer speed_answer_ = BusSpeedAnswer::kDevice;
  uint32_t speed_ = 0;
  std::vector<ObservedFpgaWrite> writes_;
  std::vector<uint32_t> ready_polls_;
};

// An emulator, an observing port in front of it and a device object on it.
struct Rig {
  explicit Rig(platform::Clock& clock_in = platform::SystemClock())
      : clock(clock_in), emulator(clock_in), port(emulator, clock_in) {}

  emulator::EmulatedCamera& AddCamera(const emulator::EmulatedCameraOptions& options = {}) {
    return emulator.AddCamera(options);
  }
  std::unique_ptr<CMorvexUSB3T2SimpleSdk> MakeDevice(int32_t product_id = product::kImx991Cooled) {
    auto device = std::make_unique<CMorvexUSB3T2SimpleSdk>(port, clock, mapping.c_str());
    device->CreateController();
    device->SetProductId(product_id);
    return device;
  }

  platform::Clock& clock;
  emulator::EmulatorPort emulator;
  ObservingPort port;
  std::string mapping = UniqueName("device");
};

// 12-bit ramp of the emulator's test scene at upright column x, row y.
inline uint16_t Ramp(int x, int y) { return static_cast<uint16_t>((x + 4 * y) % 4096); }

}  // namespace morvex::test
