// The test side of the wire: builds driver requests byte by byte, the way a
// host talks to the camera, without the library's transport. Each control
// request opens its own handle, as the host does.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/driver_port.h"

namespace morvex::emulator::test {

constexpr uint32_t kControl = 0x220020;
constexpr uint32_t kBuffered = 0x220024;
constexpr uint32_t kResetPipe = 0x22002C;
constexpr uint32_t kResetPort = 0x220030;
constexpr uint32_t kAbort = 0x220044;
constexpr uint32_t kDirect = 0x22004B;
constexpr uint32_t kSpeed = 0x22004C;

struct ControlReply {
  bool ok = false;
  uint32_t error = 0;
  uint32_t returned = 0;  // bytes the driver reports for the whole block
  std::array<uint8_t, 64> data{};
};

// A 102-byte control request block with the header fields in place.
inline std::array<uint8_t, 102> Block(uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                                      const uint8_t* payload = nullptr, uint32_t payload_size = 0) {
  std::array<uint8_t, 102> b{};
  b[0] = type;
  b[1] = request;
  b[2] = static_cast<uint8_t>(value);
  b[3] = static_cast<uint8_t>(value >> 8);
  b[4] = static_cast<uint8_t>(index);
  b[5] = static_cast<uint8_t>(index >> 8);
  b[6] = 102;  // wLength: the whole block
  b[8] = 3;    // seconds
  b[30] = 38;  // data follows the header
  b[34] = 64;
  if (payload_size) std::memcpy(b.data() + 38, payload, payload_size);
  return b;
}

inline uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

class Link {
 public:
  Link(platform::DriverPort& port, std::string path) : port_(port), path_(std::move(path)) {}
  ~Link() { CloseStream(); }

  ControlReply Send(std::array<uint8_t, 102> block) {
    ControlReply reply;
    platform::DriverPort::Handle h = port_.Open(path_, false);
    if (!h) {
      reply.error = platform::kErrorFileNotFound;
      return reply;
    }
    const platform::IoResult r = port_.IoControl(h, kControl, block.data(), 102, block.data(), 102, nullptr);
    port_.Close(h);
    reply.ok = r.ok;
    reply.error = r.error;
    reply.returned = r.bytes;
    std::memcpy(reply.data.data(), block.data() + 38, 64);
    return reply;
  }
  ControlReply Out(uint8_t request, uint16_t value, uint16_t index, std::vector<uint8_t> payload = {}) {
    return Send(Block(0x40, request, value, index, payload.data(), static_cast<uint32_t>(payload.size())));
  }
  ControlReply In(uint8_t request, uint16_t value = 0, uint16_t index = 0) {
    return Send(Block(0xC0, request, value, index));
  }

  bool WriteFpga(uint8_t reg, uint8_t value) { return Out(0x30, 3, 0x40, {reg, 0, value}).ok; }
  bool ReadFpga(uint8_t reg, uint8_t* value) {
    if (!Out(0x30, 1, 0x40, {reg}).ok) return false;
    ControlReply r = In(0x31, 2, 0x41);
    if (!r.ok || r.returned < 38 + 2) return false;
    *value = r.data[1];
    return true;
  }
  uint8_t Fpga(uint8_t reg) {
    uint8_t v = 0xEE;
    return ReadFpga(reg, &v) ? v : 0xEE;
  }
  void WriteFpga16(uint8_t reg, uint32_t value) {
    WriteFpga(reg, static_cast<uint8_t>(value));
    WriteFpga(static_cast<uint8_t>(reg + 1), static_cast<uint8_t>(value >> 8));
  }
  bool WriteSensor(uint16_t address, uint8_t value) {
    return Out(0x30, 3, 0x48, {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), value}).ok;
  }
  void WriteSensor16(uint16_t address, uint32_t value) {
    WriteSensor(address, static_cast<uint8_t>(value));
    WriteSensor(static_cast<uint16_t>(address + 1), static_cast<uint8_t>(value >> 8));
  }
  void WriteSensor24(uint16_t address, uint32_t value) {
    WriteSensor16(address, value);
    WriteSensor(static_cast<uint16_t>(address + 2), static_cast<uint8_t>(value >> 16));
  }
  bool ReadSensor(uint16_t address, uint8_t* value) {
    if (!Out(0x30, 2, 0x48, {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)}).ok)
      return false;
    ControlReply r = In(0x31, 1, 0x49);
    if (!r.ok || r.returned < 38 + 1) return false;
    *value = r.data[0];
    return true;
  }
  uint8_t Sensor(uint16_t address) {
    uint8_t v = 0xEE;
    return ReadSensor(address, &v) ? v : 0xEE;
  }
  bool WriteEeprom(uint16_t address, uint8_t value) {
    return Out(0x30, 3, 0xA2, {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), value}).ok;
  }
  bool ReadEeprom(uint16_t address, uint8_t* value) {
    if (!Out(0x30, 2, 0xA2, {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)}).ok)
      return false;
    ControlReply r = In(0x31, 1, 0xA3);
    if (!r.ok || r.returned < 38 + 1) return false;
    *value = r.data[0];
    return true;
  }
  std::string EepromText(uint16_t address) {
    std::string s;
    uint8_t c = 0;
    while (s.size() < 64 && ReadEeprom(static_cast<uint16_t>(address + s.size()), &c) && c != 0)
      s.push_back(static_cast<char>(c));
    return s;
  }

  // Streaming on an overlapped handle, as the frame thread does it.
  bool OpenStream() {
    if (!stream_) stream_ = port_.Open(path_, true);
    return stream_ != nullptr;
  }
  void CloseStream() {
    if (stream_) port_.Close(stream_);
    stream_ = nullptr;
  }
  platform::DriverPort::Handle stream() const { return stream_; }
  bool FifoReset() {
    if (!OpenStream()) return false;
    std::array<uint8_t, 102> b = Block(0x42, 0xC2, 0, 0);
    return port_.IoControl(stream_, kControl, b.data(), 102, b.data(), 102, nullptr).ok;
  }
  // One direct transfer from endpoint 0x81; on time-out the pipe is aborted
  // and the transfer fails.
  struct ReadOutcome {
    bool ok = false;
    bool timed_out = false;
    uint32_t error = 0;
    uint32_t bytes = 0;
  };
  ReadOutcome Read(void* buffer, uint32_t size, uint32_t wait_ms) {
    ReadOutcome o;
    if (!OpenStream()) return o;
    auto io = port_.CreateAsyncIo();
    uint8_t header[38] = {};
    header[13] = 0x81;
    platform::IoResult r = port_.IoControl(stream_, kDirect, header, 38, buffer, size, io.get());
    if (!r.ok && r.error != platform::kErrorIoPending) {
      o.error = r.error;
      return o;
    }
    if (!r.ok) {
      if (io->event().Wait(wait_ms) != platform::WaitResult::kSignaled) {
        o.timed_out = true;
        uint8_t ep = 0x81;
        port_.IoControl(stream_, kAbort, &ep, 1, nullptr, 0, nullptr);
        io->event().Wait(platform::kInfinite);
      }
      r = port_.GetResult(stream_, *io, false);
    }
    o.ok = r.ok;
    o.error = r.error;
    o.bytes = r.bytes;
    return o;
  }
  // 0xC2, the 64-byte header, then the bytes it announces in 512 KiB pieces.
  bool ReadFrame(std::array<uint8_t, 64>* header, std::vector<uint8_t>* data, uint32_t wait_ms = 2000) {
    if (!FifoReset()) return false;
    ReadOutcome h = Read(header->data(), 64, wait_ms);
    if (!h.ok || h.bytes != 64) return false;
    const uint32_t count = Le32(header->data() + 16);
    data->assign(count, 0xCD);
    uint32_t done = 0;
    while (done < count) {
      const uint32_t chunk = std::min<uint32_t>(count - done, 0x80000);
      ReadOutcome d = Read(data->data() + done, chunk, wait_ms);
      if (!d.ok || d.bytes != chunk) return false;
      done += chunk;
    }
    return true;
  }

 private:
  platform::DriverPort& port_;
  std::string path_;
  platform::DriverPort::Handle stream_ = nullptr;
};

}  // namespace morvex::emulator::test
