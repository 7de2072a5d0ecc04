// A controller double that records every register transfer a sensor makes,
// in order, and answers from a small register file: FPGA registers by
// number, and the sensor's own registers behind the two-wire bus (a 3-byte
// write sets a register, a 2-byte write selects one for the next 1-byte read).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "usb/controller_base.h"

namespace morvex::test {

struct BusEvent {
  enum Kind { kWriteCommand, kReadCommand, kWriteFpga, kReadFpga, kReadVersion };
  Kind kind;
  uint8_t code;               // command code or FPGA register
  std::vector<uint8_t> data;  // bytes sent or answered
  uint32_t value;             // FPGA value written / read
  bool ok;
  uint32_t time_ms;
  std::thread::id thread;
};

using SensorWrite = std::pair<uint16_t, uint8_t>;
using FpgaWrite = std::pair<uint8_t, uint8_t>;

class RecordingController : public CControllerBase {
 public:
  explicit RecordingController(platform::Clock& clock) : clock_(clock) {}

  // Script.
  std::optional<uint16_t> version = uint16_t{0x0200};  // nullopt: the read fails
  std::map<uint8_t, uint8_t> fpga;                     // register file
  std::map<uint16_t, uint8_t> sensor;                  // sensor registers
  std::map<uint8_t, uint8_t> fpga_read_override;       // answered instead of the file
  std::set<uint8_t> failing_fpga_reads;
  std::set<uint8_t> failing_fpga_writes;
  std::set<uint16_t> failing_sensor_writes;
  bool sensor_bus_fails = false;

  int ReadFpgaVersionWord(uint16_t* out) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool ok = version.has_value();
    if (ok) *out = *version;
    Record(BusEvent::kReadVersion, 0, {}, ok ? *version : 0, ok);
    return ok ? 1 : 0;
  }

  int WriteCommand(uint8_t command, const uint8_t* data, uint32_t length, uint32_t timeout) override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> bytes(data, data + length);
    bool ok = !sensor_bus_fails && timeout == 3000;
    if (ok && length >= 2) {
      const uint16_t address = static_cast<uint16_t>((data[0] << 8) | data[1]);
      if (length == 3) {
        if (failing_sensor_writes.count(address)) {
          ok = false;
        } else {
          sensor[address] = data[2];
        }
      } else {
        selected_ = address;
      }
    }
    Record(BusEvent::kWriteCommand, command, bytes, 0, ok);
    return ok ? 1 : 0;
  }

  int ReadCommand(uint8_t command, uint8_t* data, uint32_t length, uint32_t timeout) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool ok = !sensor_bus_fails && timeout == 3000 && length == 1;
    if (ok) data[0] = sensor[selected_];
    Record(BusEvent::kReadCommand, command, ok ? std::vector<uint8_t>{data[0]} : std::vector<uint8_t>{}, 0,
           ok);
    return ok ? 1 : 0;
  }

  int WriteFpgaRegister(uint8_t reg, uint32_t value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool ok = failing_fpga_writes.count(reg) == 0;
    if (ok) fpga[reg] = static_cast<uint8_t>(value & 0xFF);
    Record(BusEvent::kWriteFpga, reg, {}, value, ok);
    return ok ? 1 : 0;
  }

  int ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool ok = failing_fpga_reads.count(reg) == 0;
    if (ok) {
      auto forced = fpga_read_override.find(reg);
      *value = forced != fpga_read_override.end() ? forced->second : fpga[reg];
    }
    Record(BusEvent::kReadFpga, reg, {}, ok ? *value : 0, ok);
    return ok ? 1 : 0;
  }

  // Observations.
  std::vector<BusEvent> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  void ClearEvents() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }
  // Register writes that reached the sensor (address, value), in order.
  std::vector<SensorWrite> SensorWrites() const {
    std::vector<SensorWrite> writes;
    for (const BusEvent& e : Events()) {
      if (e.kind == BusEvent::kWriteCommand && e.data.size() == 3 && e.ok) {
        writes.emplace_back(static_cast<uint16_t>((e.data[0] << 8) | e.data[1]), e.data[2]);
      }
    }
    return writes;
  }
  // Times at which the sensor writes happened, in order.
  std::vector<uint32_t> SensorWriteTimes() const {
    std::vector<uint32_t> times;
    for (const BusEvent& e : Events()) {
      if (e.kind == BusEvent::kWriteCommand && e.data.size() == 3 && e.ok) times.push_back(e.time_ms);
    }
    return times;
  }
  // FPGA writes (register, low byte) in order, leaving out the bus-select
  // frame of the guarded sensor access.
  std::vector<FpgaWrite> FpgaWrites() const {
    std::vector<FpgaWrite> writes;
    for (const BusEvent& e : Events()) {
      if (e.kind == BusEvent::kWriteFpga && e.code != 159) {
        writes.emplace_back(e.code, static_cast<uint8_t>(e.value & 0xFF));
      }
    }
    return writes;
  }
  size_t CountFpgaWrites(uint8_t reg) const {
    size_t n = 0;
    for (const BusEvent& e : Events()) n += e.kind == BusEvent::kWriteFpga && e.code == reg;
    return n;
  }
  size_t CountFpgaReads(uint8_t reg) const {
    size_t n = 0;
    for (const BusEvent& e : Events()) n += e.kind == BusEvent::kReadFpga && e.code == reg;
    return n;
  }
  size_t CountVersionReads() const {
    size_t n = 0;
    for (const BusEvent& e : Events()) n += e.kind == BusEvent::kReadVersion;
    return n;
  }

 private:
  void Record(BusEvent::Kind kind, uint8_t code, std::vector<uint8_t> data, uint32_t value, bool ok) {
    events_.push_back(
        BusEvent{kind, code, std::move(data), value, ok, clock_.TickCount(), std::this_thread::get_id()});
  }

  platform::Clock& clock_;
  mutable std::mutex mutex_;
  std::vector<BusEvent> events_;
  uint16_t selected_ = 0;
};

}  // namespace morvex::test
