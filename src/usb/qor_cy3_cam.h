// CQorCy3Cam: the controller. Speaks the camera's request protocol to the FX3
// firmware and, through it, to the FPGA, the EEPROM and the sensor bus; moves
// frame and memory data over the bulk endpoints.
#pragma once

#include <atomic>
#include <mutex>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/sync.h"
#include "usb/controller_base.h"
#include "usb/fx3_api.h"

namespace morvex {

// ---- Vendor requests (bRequest) ----
constexpr uint8_t kRequestWriteCommand = 0x30;
constexpr uint8_t kRequestReadCommand = 0x31;
constexpr uint8_t kRequestWriteByte3C = 0x3C;
constexpr uint8_t kRequestReadByte3D = 0x3D;
constexpr uint8_t kRequestWriteWordPair = 0x3E;
constexpr uint8_t kRequestReadWord3F = 0x3F;
constexpr uint8_t kRequestCameraInfo = 0xB0;
constexpr uint8_t kRequestCameraInfo2 = 0xB1;
constexpr uint8_t kRequestRestartStream = 0xC0;
constexpr uint8_t kRequestResetStreamFifo = 0xC2;
constexpr uint8_t kRequestReadyFlag = 0xC3;
constexpr uint8_t kRequestCC = 0xCC;
constexpr uint8_t kRequestWriteRegister32 = 0xD0;
constexpr uint8_t kRequestReadRegister16 = 0xD1;

// ---- Command codes carried by requests 0x30 / 0x31 ----
constexpr uint8_t kCommandFpgaRegister = 0x40;  // reads answer on 0x41
constexpr uint8_t kCommandAuxRegister = 0x5A;   // reads answer on 0x5B
constexpr uint8_t kCommandSrom = 0xA2;          // reads answer on 0xA3

constexpr uint8_t kFpgaRegisterRestart = 0x6C;
constexpr uint8_t kFpgaRegisterVersionLow = 0x10;
constexpr uint8_t kFpgaRegisterVersionHigh = 0x11;

constexpr uint32_t kFrameHeaderSize = 64;
constexpr size_t kFrameHeaderByteCountOffset = 16;
constexpr size_t kFrameHeaderCounterOffset = 32;
constexpr uint32_t kFrameChunkSize = 0x80000;     // 512 KiB per data transfer
constexpr uint32_t kMaxTransferSize = 0x4000000;  // 64 MiB
constexpr uint32_t kMemoryChunkSize = 0x1000000;  // 16 MiB
constexpr uint32_t kMemoryGranule = 0x1000;       // 4 KiB
constexpr uint16_t kProductIdRestartOnHeaderFailure = 0x32D0;

// Filled by the device object before a frame is read.
struct FrameRecord {
  uint8_t header[kFrameHeaderSize];  // as received from endpoint 0x81
  uint32_t frame_counter;            // copy of header word 32
  uint8_t* buffer;                   // destination of the image data
  uint32_t capacity;                 // bytes the destination holds
  uint32_t expected;                 // byte count of a secondary-endpoint read
};
static_assert(offsetof(FrameRecord, header) == 0, "frame header");
static_assert(offsetof(FrameRecord, frame_counter) == 64, "frame counter copy");
static_assert(offsetof(FrameRecord, buffer) < offsetof(FrameRecord, capacity), "field order");
static_assert(offsetof(FrameRecord, capacity) < offsetof(FrameRecord, expected), "field order");
#if defined(MORVEX_WIN32) || defined(__i386__)
static_assert(sizeof(void*) == 4, "the product is a 32-bit library");
static_assert(offsetof(FrameRecord, buffer) == 68, "destination pointer");
static_assert(offsetof(FrameRecord, capacity) == 72, "destination capacity");
static_assert(offsetof(FrameRecord, expected) == 76, "expected byte count");
static_assert(sizeof(FrameRecord) == 80, "frame record size");
#endif

// Byte count of the image that follows a frame header.
uint32_t FrameByteCount(const FrameRecord& record);

#pragma pack(push, 1)
// Sent to endpoint 0x01 before each memory chunk.
struct MemoryCommandBlock {
  uint32_t magic;
  uint32_t version;  // 2
  uint32_t address_low;
  uint32_t address_high;
  uint32_t byte_count;
  uint8_t zero[12];
};
#pragma pack(pop)
static_assert(sizeof(MemoryCommandBlock) == 32, "memory command block size");
static_assert(offsetof(MemoryCommandBlock, magic) == 0, "magic");
static_assert(offsetof(MemoryCommandBlock, version) == 4, "version");
static_assert(offsetof(MemoryCommandBlock, address_low) == 8, "address low");
static_assert(offsetof(MemoryCommandBlock, address_high) == 12, "address high");
static_assert(offsetof(MemoryCommandBlock, byte_count) == 16, "chunk byte count");
static_assert(offsetof(MemoryCommandBlock, zero) == 20, "padding");

constexpr uint32_t kMemoryReadMagic = 0x52335551;   // "QU3R"
constexpr uint32_t kMemoryWriteMagic = 0x57335551;  // "QU3W"

class CQorCy3Cam : public CFx3Api, public CControllerBase {
 public:
  // `interface_guid` replaces the driver's default interface class when given.
  CQorCy3Cam(platform::DriverPort& port, platform::Clock& clock,
             const platform::Guid* interface_guid = nullptr, const char* mapping_name = nullptr);
  ~CQorCy3Cam() override;

  // ---- CControllerBase ----
  int ReleaseStream() override;
  int SelectDevice(int table_index) override;
  int ReadFpgaVersionWord(uint16_t* version) override;
  int ReadReadyFlag(uint8_t* ready) override;
  int SendRequestCC() override;
  int WriteCommand(uint8_t command, const uint8_t* data, uint32_t length, uint32_t timeout) override;
  int ReadCommand(uint8_t command, uint8_t* data, uint32_t length, uint32_t timeout) override;
  int WriteRegister32(uint16_t address, uint32_t value) override;
  int ReadRegister16(uint16_t address, uint32_t* value) override;
  int WriteWordPair(uint16_t first, uint16_t second) override;
  int ReadWord3F(uint32_t* value) override;
  int WriteFpgaRegister(uint8_t reg, uint32_t value) override;
  int ReadFpgaRegister(uint8_t reg, uint8_t* value) override;
  int WriteAuxRegister(uint8_t reg, uint8_t value) override;
  int ReadAuxRegister(uint8_t reg, uint8_t* value) override;
  int WriteSromByte(uint16_t address, uint8_t value) override;
  int ReadSromByte(uint16_t address, uint8_t* value) override;
  int AbortStream() override;

  // ---- Own slots ----
  virtual int OpenStream();
  virtual int ReadFrameHeader(FrameRecord* record);
  virtual int ReadFrameData(FrameRecord* record, uint32_t timeout_ms);
  virtual int ReadFrameSecondary(FrameRecord* record);
  virtual int ReadMemoryImage(FrameRecord* record, uint64_t* byte_count, uint32_t timeout_ms);
  virtual int CloseStream();
  virtual int WriteMemory(uint64_t address, const void* data, uint32_t byte_count);
  virtual int ReadMemory(uint64_t address, void* buffer, uint32_t byte_count);
  virtual int WriteByte3C(uint8_t value);
  virtual int ReadByte3D(uint8_t* value);
  virtual int TransferBuffered(Handle handle, void* buffer, uint32_t byte_count, uint8_t endpoint,
                               uint32_t* transferred);
  virtual int ReadDirectAfterReset(Handle handle, void* buffer, uint32_t byte_count, uint8_t endpoint,
                                   uint32_t* transferred);
  virtual int TransferDirect(Handle handle, void* buffer, uint32_t byte_count, uint8_t endpoint,
                             uint32_t* transferred, uint32_t wait_ms);
  virtual int SendDirect(Handle handle, void* buffer, uint32_t byte_count, uint8_t endpoint,
                         uint32_t* transferred);

  // ---- Used by the device object ----
  int ReadCameraInfo(uint8_t* info);   // 64 bytes
  int ReadCameraInfo2(uint8_t* info);  // 64 bytes
  int RestartStream();
  int ResetStreamFifo(Handle handle = nullptr);  // null: the stream handle
  // ReadFrameHeader for a caller that sent the FIFO reset itself, as soon as
  // the previous frame's data was in; retries reset it again.
  int ReadFrameHeaderAfterReset(FrameRecord* record);
  int PrepareTransfers();
  int ResetPort();
  int ResetEndpoint(uint8_t endpoint);
  using CFx3Api::GetBusSpeed;
  int GetBusSpeed(uint32_t* speed);
  // Names of other camera models; this camera's names are the camera
  // instance's.
  int GetDeviceName(int table_index, std::string* name);

  bool stream_open() const { return stream_.load() != nullptr; }
  bool has_transfer_buffer() const { return transfer_buffer_ != nullptr; }

 private:
  // One control request on a request handle of its own (or on `handle`).
  // `received` gets the number of data bytes that came back.
  int ControlRequest(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                     const uint8_t* data, uint32_t data_length, ControlRequestBlock* answer,
                     uint32_t* received, Handle handle = nullptr);
  // Request 0x31 reporting how many data bytes arrived.
  int ReadCommandChecked(uint8_t command, uint8_t* data, uint32_t length);
  int RunDirect(Handle handle, void* buffer, uint32_t byte_count, uint8_t endpoint, uint32_t* transferred,
                uint32_t wait_ms);
  int MoveMemory(bool write, uint64_t address, uint8_t* data, uint32_t byte_count);
  int ReadHeader(FrameRecord* record, bool fifo_reset_sent);

  // The overlapped slot and header of one direct transfer. Finished ones
  // are kept for the next transfer, so that streaming allocates nothing per
  // frame; a second thread transferring at the same time gets one of its own.
  struct TransferSlot {
    std::unique_ptr<platform::AsyncIo> io;
    DirectTransfer transfer;
  };
  struct TransferSlotReturn {
    CQorCy3Cam* owner;
    void operator()(TransferSlot* slot) const { owner->ReturnTransferSlot(slot); }
  };
  using TransferSlotLease = std::unique_ptr<TransferSlot, TransferSlotReturn>;
  // A kept slot, else a new one; empty when no overlapped slot can be had.
  TransferSlotLease TakeTransferSlot();
  void ReturnTransferSlot(TransferSlot* slot);

  std::atomic<Handle> stream_{nullptr};
  // Set by an abort of the open stream: the header read stops retrying, so a
  // stop is not held up by attempts nobody waits for. A new stream clears it.
  std::atomic<bool> stream_aborted_{false};
  // An abort from a stopping thread and the frame thread's close of the same
  // stream: the handle is never aborted after it was closed.
  std::mutex stream_close_lock_;
  std::unique_ptr<uint8_t[]> transfer_buffer_;
  uint8_t scratch_[kFrameHeaderSize] = {};
  platform::CriticalSection fpga_lock_;
  platform::CriticalSection srom_lock_;
  static constexpr int kKeptTransferSlots = 2;
  std::atomic<TransferSlot*> kept_slots_[kKeptTransferSlots];
};

}  // namespace morvex
