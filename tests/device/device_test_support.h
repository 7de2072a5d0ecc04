// Shared helpers of the device-object tests: an emulator with cameras, a
// device object opened on it, and a port wrapper that notes the FPGA register
// writes and ready-flag polls that go over the wire.
#pragma once

#include <chrono>
#include <cstring>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "usb/fx3_api.h"

namespace morvex::device_testing {

inline std::string UniqueMappingName(const char* tag = "dev") {
  static std::mt19937_64 random(std::random_device{}() ^
                                static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  static int serial = 0;
  return "MorvexDeviceTest-" + std::to_string(random() & 0xFFFFFFFFu) + "-" + tag + std::to_string(++serial);
}

struct FpgaWrite {
  uint8_t reg;
  uint8_t value;
  uint32_t tick;
};

// Passes everything to the emulator and keeps a log of FPGA register writes
// (command 0x40 in request 0x30) and ready-flag requests (0xC3).
class ObservingPort : public platform::DriverPort {
 public:
  ObservingPort(platform::DriverPort& inner, platform::Clock& clock) : inner_(inner), clock_(clock) {}

  std::vector<std::string> EnumerateInterfaces(const platform::Guid& g) override {
    return inner_.EnumerateInterfaces(g);
  }
  Handle Open(const std::string& path, bool overlapped) override { return inner_.Open(path, overlapped); }
  void Close(Handle handle) override { inner_.Close(handle); }
  std::unique_ptr<platform::AsyncIo> CreateAsyncIo() override { return inner_.CreateAsyncIo(); }
  platform::IoResult GetResult(Handle handle, platform::AsyncIo& io, bool wait) override {
    return inner_.GetResult(handle, io, wait);
  }
  platform::IoResult IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size, void* out,
                               uint32_t out_size, platform::AsyncIo* io) override {
    if (code == kIoctlControlTransfer && in && in_size >= sizeof(ControlRequestBlock)) {
      ControlRequestBlock block;
      std::memcpy(&block, in, sizeof(block));
      std::lock_guard<std::mutex> lock(mutex_);
      if (block.header.request == 0x30 && block.header.index == 0x40 && block.header.value == 3)
        writes_.push_back({block.data[0], block.data[2], clock_.TickCount()});
      if (block.header.request == 0xC3) ready_polls_.push_back(clock_.TickCount());
    }
    return inner_.IoControl(handle, code, in, in_size, out, out_size, io);
  }

  std::vector<FpgaWrite> WritesTo(uint8_t reg) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<FpgaWrite> result;
    for (const FpgaWrite& w : writes_)
      if (w.reg == reg) result.push_back(w);
    return result;
  }
  std::vector<FpgaWrite> writes() {
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
  }

 private:
  platform::DriverPort& inner_;
  platform::Clock& clock_;
  std::mutex mutex_;
  std::vector<FpgaWrite> writes_;
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
  std::string mapping = UniqueMappingName();
};

// 12-bit ramp of the emulator's test scene at upright column x, row y.
inline uint16_t Ramp(int x, int y) { return static_cast<uint16_t>((x + 4 * y) % 4096); }

}  // namespace morvex::device_testing
