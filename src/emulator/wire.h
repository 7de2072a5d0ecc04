// What the emulated camera understands on the wire: the driver's control
// codes and transfer header, the FX3 firmware's vendor requests, the command
// codes the FPGA dispatches and the emulated frame header.
//
// These are the device's own definitions. They are deliberately not shared
// with the transport: a wrong byte sent by the library must reach the device
// as a wrong byte and get a wrong answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace morvex::emulator::wire {

// Driver control codes (FILE_DEVICE_UNKNOWN, function number << 2 | method).
constexpr uint32_t kIoctlControlTransfer = 0x220020;  // buffered: request block in, same block out
constexpr uint32_t kIoctlBufferedBulk = 0x220024;     // buffered: header + data
constexpr uint32_t kIoctlResetPipe = 0x22002C;        // 1 byte endpoint
constexpr uint32_t kIoctlResetParentPort = 0x220030;  // no data
constexpr uint32_t kIoctlAbortPipe = 0x220044;        // 1 byte endpoint
constexpr uint32_t kIoctlDirectBulk = 0x22004B;       // METHOD_NEITHER: header in, caller's buffer out
constexpr uint32_t kIoctlBusSpeed = 0x22004C;         // 4 bytes out

constexpr uint8_t kEndpointOut = 0x01;
constexpr uint8_t kEndpointIn = 0x81;
constexpr uint8_t kEndpointIn2 = 0x83;

// bmRequestType values the firmware accepts.
constexpr uint8_t kVendorOutDevice = 0x40;
constexpr uint8_t kVendorInDevice = 0xC0;
constexpr uint8_t kVendorOutEndpoint = 0x42;

// Every driver request starts with this header; packed, little-endian.
#pragma pack(push, 1)
struct TransferHeader {
  uint8_t request_type;
  uint8_t request;
  uint16_t value;
  uint16_t index;
  uint16_t length;
  uint32_t timeout_s;
  uint8_t reserved;
  uint8_t endpoint;
  uint32_t status;
  uint32_t usb_status;
  uint32_t iso_packet_offset;
  uint32_t iso_packet_length;
  uint32_t buffer_offset;
  uint32_t buffer_length;
};
#pragma pack(pop)
static_assert(sizeof(TransferHeader) == 38, "transfer header is 38 bytes");
static_assert(offsetof(TransferHeader, request) == 1, "bRequest");
static_assert(offsetof(TransferHeader, value) == 2, "wValue");
static_assert(offsetof(TransferHeader, index) == 4, "wIndex");
static_assert(offsetof(TransferHeader, length) == 6, "wLength");
static_assert(offsetof(TransferHeader, timeout_s) == 8, "time-out");
static_assert(offsetof(TransferHeader, reserved) == 12, "reserved");
static_assert(offsetof(TransferHeader, endpoint) == 13, "endpoint");
static_assert(offsetof(TransferHeader, status) == 14, "status");
static_assert(offsetof(TransferHeader, usb_status) == 18, "USB status");
static_assert(offsetof(TransferHeader, iso_packet_offset) == 22, "iso offset");
static_assert(offsetof(TransferHeader, iso_packet_length) == 26, "iso length");
static_assert(offsetof(TransferHeader, buffer_offset) == 30, "buffer offset");
static_assert(offsetof(TransferHeader, buffer_length) == 34, "buffer length");

constexpr uint32_t kHeaderSize = sizeof(TransferHeader);
constexpr uint32_t kControlDataSize = 64;
constexpr uint32_t kControlBlockSize = kHeaderSize + kControlDataSize;  // 102
static_assert(kControlBlockSize == 102, "control request block");

// The byte order on the wire is little-endian; the hosts we build for are too,
// but decode explicitly so the layout never depends on it.
inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline TransferHeader DecodeHeader(const uint8_t* p) {
  TransferHeader h;
  h.request_type = p[0];
  h.request = p[1];
  h.value = Get16(p + 2);
  h.index = Get16(p + 4);
  h.length = Get16(p + 6);
  h.timeout_s = Get32(p + 8);
  h.reserved = p[12];
  h.endpoint = p[13];
  h.status = Get32(p + 14);
  h.usb_status = Get32(p + 18);
  h.iso_packet_offset = Get32(p + 22);
  h.iso_packet_length = Get32(p + 26);
  h.buffer_offset = Get32(p + 30);
  h.buffer_length = Get32(p + 34);
  return h;
}

// FX3 firmware vendor requests.
namespace request {
constexpr uint8_t kWriteCommand = 0x30;  // wValue byte count, wIndex command code
constexpr uint8_t kReadCommand = 0x31;   // wValue byte count, wIndex command code | 1
constexpr uint8_t kWriteByte = 0x3C;
constexpr uint8_t kReadByte = 0x3D;
constexpr uint8_t kWriteWordPair = 0x3E;
constexpr uint8_t kReadWord = 0x3F;
constexpr uint8_t kCameraInfo = 0xB0;
constexpr uint8_t kCameraInfo2 = 0xB1;
constexpr uint8_t kStreamRestart = 0xC0;
constexpr uint8_t kFifoReset = 0xC2;
constexpr uint8_t kReadyFlag = 0xC3;
constexpr uint8_t kRequestCC = 0xCC;
constexpr uint8_t kWriteRegister32 = 0xD0;
constexpr uint8_t kReadRegister16 = 0xD1;
}  // namespace request

// Command codes behind requests 0x30/0x31 (the read code is the write code | 1).
namespace command {
constexpr uint8_t kFpgaRegister = 0x40;
constexpr uint8_t kAuxRegister = 0x5A;
constexpr uint8_t kEeprom = 0xA2;
constexpr uint8_t kSensorBus = 0x48;  // the sensor's 8-bit two-wire address
}  // namespace command

constexpr uint32_t kBusSpeedSuperSpeed = 4;

// The 64-byte header the FPGA sends before every frame on endpoint 0x81.
// Offsets are in bytes; every field is a little-endian u32.
//   0  magic "MVXF"
//   4  samples per line, 8 lines, 12 bytes per sample (1 or 2)
//   16 number of image bytes that follow (lines x FPGA line width)
//   20 FPGA line width in bytes, 24 sensor model code
//   28 frame timestamp, microseconds since the camera was plugged in, low word
//   32 frame counter (its low byte is FPGA register 8)
//   36 flags: bit 0 triggered frame, bit 1 cooler on
//   40 exposure of this frame in sensor lines
//   44 frame timestamp, high word (with word 28 a 64-bit microsecond count)
//   48 frame length in lines, 52 sensor temperature in 1/8 degC (12-bit raw)
//   56, 60 zero
namespace frame_header {
constexpr uint32_t kSize = 64;
constexpr uint32_t kMagic = 0x4658564D;  // "MVXF"
constexpr uint32_t kMagicOffset = 0;
constexpr uint32_t kSamplesPerLine = 4;
constexpr uint32_t kLines = 8;
constexpr uint32_t kBytesPerSample = 12;
constexpr uint32_t kByteCount = 16;
constexpr uint32_t kLineBytes = 20;
constexpr uint32_t kModelCode = 24;
constexpr uint32_t kTimestampLow = 28;
constexpr uint32_t kFrameCounter = 32;
constexpr uint32_t kFlags = 36;
constexpr uint32_t kExposureLines = 40;
constexpr uint32_t kTimestampHigh = 44;
constexpr uint32_t kFrameLengthLines = 48;
constexpr uint32_t kTemperatureRaw = 52;
constexpr uint32_t kFlagTriggered = 1u << 0;
constexpr uint32_t kFlagCoolerOn = 1u << 1;
}  // namespace frame_header

}  // namespace morvex::emulator::wire
