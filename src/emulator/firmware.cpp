// The FX3 firmware: vendor requests, the command codes it forwards to the
// FPGA (registers, auxiliary registers, EEPROM, sensor bus), information
// blocks and the ready flag.
#include <cstdio>
#include <cstring>

#include "emulator/camera.h"
#include "emulator/wire.h"

namespace morvex::emulator {
namespace {

ControlOutcome Stall() { return {false, platform::kErrorGenFailure, 0}; }
ControlOutcome Done(uint32_t bytes) { return {true, platform::kErrorSuccess, bytes}; }

// The direction and recipient each request must carry.
int ExpectedRequestType(uint8_t request) {
  switch (request) {
    case wire::request::kWriteCommand:
    case wire::request::kWriteByte:
    case wire::request::kWriteWordPair:
    case wire::request::kStreamRestart:
    case wire::request::kWriteRegister32:
      return wire::kVendorOutDevice;
    case wire::request::kReadCommand:
    case wire::request::kReadByte:
    case wire::request::kReadWord:
    case wire::request::kCameraInfo:
    case wire::request::kCameraInfo2:
    case wire::request::kReadyFlag:
    case wire::request::kReadRegister16:
      return wire::kVendorInDevice;
    case wire::request::kFifoReset:
    case wire::request::kRequestCC:
      return wire::kVendorOutEndpoint;
    default:
      return -1;
  }
}

}  // namespace

void VirtualCamera::InitEeprom() {
  // Identity bytes: vendor and product id, then the model name.
  wire::Put16(&eeprom_[0x0000], options_.vendor_id);
  wire::Put16(&eeprom_[0x0002], options_.product_id);
  std::memset(&eeprom_[0x0010], 0, 16);
  std::snprintf(reinterpret_cast<char*>(&eeprom_[0x0010]), 16, "MORVEX %s", model_.name);
  char serial[64];
  if (options_.serial.empty()) {
    std::snprintf(serial, sizeof serial, "MVX%05u", static_cast<unsigned>(number_ + 1));
  } else {
    std::snprintf(serial, sizeof serial, "%s", options_.serial.c_str());  // at most 63 characters
  }
  std::memset(&eeprom_[0x1040], 0, 64);
  std::memcpy(&eeprom_[0x1040], serial, std::strlen(serial));
  eeprom_[0x1080] = 0;
}

// Information block 0xB0:
//   0 vendor id (u16), 2 product id (u16), 4 FPGA version (u16), 6 bus speed,
//   7 sensor model code, 8..23 firmware name, 24 FX3 firmware version (u16),
//   26 sensor width (u16), 28 sensor height (u16), 30 camera number,
//   52 ready line (GPIO 25) available.
void VirtualCamera::FillInfoBlock(uint8_t* data) {
  std::memset(data, 0, 64);
  wire::Put16(data + 0, options_.vendor_id);
  wire::Put16(data + 2, options_.product_id);
  wire::Put16(data + 4, options_.fpga_version);
  data[6] = static_cast<uint8_t>(wire::kBusSpeedSuperSpeed);
  data[7] = static_cast<uint8_t>(model_.model_code);
  std::memcpy(data + 8, "MORVEX FX3 EMU", 14);
  wire::Put16(data + 24, options_.firmware_version);
  wire::Put16(data + 26, static_cast<uint16_t>(model_.max_width));
  wire::Put16(data + 28, static_cast<uint16_t>(model_.max_height));
  data[30] = static_cast<uint8_t>(number_);
  data[52] = options_.ready_line;
}

// Information block 0xB1: 0..31 serial text from the EEPROM, 32..47 sensor
// name, 48 cooled.
void VirtualCamera::FillInfoBlock2(uint8_t* data) {
  std::memset(data, 0, 64);
  for (int i = 0; i < 31 && eeprom_[0x1040 + i] != 0 && eeprom_[0x1040 + i] != 0xFF; ++i)
    data[i] = eeprom_[0x1040 + i];
  std::memcpy(data + 32, model_.name, std::strlen(model_.name));
  data[48] = model_.cooled ? 1 : 0;
}

ControlOutcome VirtualCamera::WriteCommand(uint16_t code, const uint8_t* d, uint32_t count) {
  switch (code) {
    case wire::command::kFpgaRegister:
      if (count == 1) {
        fpga_address_ = d[0];
        return Done(count);
      }
      if (count == 3) {
        WriteFpga(d[0], d[2]);
        fpga_address_ = d[0];
        return Done(count);
      }
      return Stall();
    case wire::command::kAuxRegister:
      if (count == 1 || count == 2) {
        aux_address_ = d[0];
        if (count == 2) aux_[d[0]] = d[1];
        return Done(count);
      }
      return Stall();
    case wire::command::kEeprom:
      if (count == 2 || count == 3) {
        eeprom_address_ = static_cast<uint16_t>((d[0] << 8) | d[1]);
        if (count == 3) eeprom_[eeprom_address_] = d[2];
        return Done(count);
      }
      return Stall();
    case wire::command::kSensorBus:
      if (count < 2) return Stall();
      // Address high, address low, then data bytes to consecutive registers.
      sensor_address_ = static_cast<uint16_t>((d[0] << 8) | d[1]);
      for (uint32_t i = 2; i < count; ++i) {
        WriteSensor(sensor_address_, d[i]);
        sensor_address_ = static_cast<uint16_t>(sensor_address_ + 1);
      }
      if (count > 2) busy_reads_ = 1;
      return Done(count);
    default:
      return Stall();
  }
}

ControlOutcome VirtualCamera::ReadCommand(uint16_t code, uint8_t* d, uint32_t count) {
  switch (code) {
    case wire::command::kFpgaRegister | 1:
      // The register number, then its value.
      d[0] = fpga_address_;
      if (count > 1) d[1] = ReadFpga(fpga_address_);
      return Done(count);
    case wire::command::kAuxRegister | 1:
      d[0] = aux_[aux_address_];
      return Done(count);
    case wire::command::kEeprom | 1:
      for (uint32_t i = 0; i < count; ++i) d[i] = eeprom_[static_cast<uint16_t>(eeprom_address_ + i)];
      eeprom_address_ = static_cast<uint16_t>(eeprom_address_ + count);
      return Done(count);
    case wire::command::kSensorBus | 1:
      for (uint32_t i = 0; i < count; ++i) {
        d[i] = ReadSensor(sensor_address_);
        sensor_address_ = static_cast<uint16_t>(sensor_address_ + 1);
      }
      return Done(count);
    default:
      return Stall();
  }
}

ControlOutcome VirtualCamera::Control(uint8_t* block) {
  const wire::TransferHeader h = wire::DecodeHeader(block);
  // The request block's fixed fields; anything else is not a request this
  // firmware was sent by its driver.
  if (h.length != wire::kControlBlockSize || h.buffer_offset != wire::kHeaderSize ||
      h.buffer_length != wire::kControlDataSize || h.endpoint != 0) {
    return {false, platform::kErrorInvalidParameter, 0};
  }
  if (ExpectedRequestType(h.request) != h.request_type) return Stall();

  std::lock_guard<std::mutex> lock(mu_);
  AdvanceTime(NowMs());
  uint8_t* data = block + wire::kHeaderSize;
  ControlOutcome outcome;
  switch (h.request) {
    case wire::request::kWriteCommand:
      if (h.value == 0 || h.value > wire::kControlDataSize) return Stall();
      outcome = WriteCommand(h.index, data, h.value);
      break;
    case wire::request::kReadCommand: {
      if (h.value == 0 || h.value > wire::kControlDataSize) return Stall();
      uint8_t answer[wire::kControlDataSize] = {};
      outcome = ReadCommand(h.index, answer, h.value);
      if (outcome.ok) std::memcpy(data, answer, h.value);
      break;
    }
    case wire::request::kWriteByte:
      byte3c_ = data[0];
      outcome = Done(1);
      break;
    case wire::request::kReadByte:
      data[0] = byte3c_;
      outcome = Done(1);
      break;
    case wire::request::kWriteWordPair:
      word_pair_[0] = static_cast<uint16_t>((data[0] << 8) | data[1]);
      word_pair_[1] = static_cast<uint16_t>((data[2] << 8) | data[3]);
      outcome = Done(4);
      break;
    case wire::request::kReadWord:
      wire::Put16(data, word_pair_[0]);
      outcome = Done(2);
      break;
    case wire::request::kCameraInfo:
      FillInfoBlock(data);
      outcome = Done(64);
      break;
    case wire::request::kCameraInfo2:
      FillInfoBlock2(data);
      outcome = Done(64);
      break;
    case wire::request::kStreamRestart:
      RestartTiming(NowMs());
      fifo_.clear();
      outcome = Done(0);
      break;
    case wire::request::kFifoReset:
      FifoReset();
      outcome = Done(0);
      break;
    case wire::request::kReadyFlag:
      std::memset(data, 0, 64);
      data[0] = ready_polls_ >= options_.ready_after_polls ? 1 : 0;
      if (ready_polls_ != 0xFFFFFFFFu) ++ready_polls_;
      outcome = Done(64);
      break;
    case wire::request::kRequestCC:
      outcome = Done(0);
      break;
    case wire::request::kWriteRegister32:
      registers32_[(h.value & 0x8000u) | (h.index & 0x7FFFu)] = wire::Get32(data);
      outcome = Done(4);
      break;
    case wire::request::kReadRegister16: {
      auto it = registers32_.find(h.index);
      std::memset(data, 0, 64);
      wire::Put16(data, it == registers32_.end() ? 0 : static_cast<uint16_t>(it->second));
      outcome = Done(64);
      break;
    }
    default:
      return Stall();
  }
  // Register changes (trigger engine, standby, restart) take effect at once.
  AdvanceTime(NowMs());
  ServeReads();
  return outcome;
}

}  // namespace morvex::emulator
