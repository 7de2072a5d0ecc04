#include "usb/qor_cy3_cam.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace morvex {
namespace {

constexpr uint32_t kHeaderWaitMs = 400;
constexpr int kHeaderAttempts = 15;
constexpr uint32_t kRestartPauseMs = 10;
constexpr uint32_t kSecondaryWaitMs = 5000;
constexpr uint32_t kSendWaitMs = 3000;
constexpr uint32_t kMemoryReadWaitMs = 3000;
constexpr uint32_t kAbortSettleWaitMs = 50;
constexpr uint32_t kSromReadPauseMs = 10;
constexpr uint32_t kSromWritePauseMs = 14;
constexpr uint32_t kControlBlockSize = sizeof(ControlRequestBlock);
constexpr uint32_t kHeaderSize = sizeof(TransferHeader);

uint32_t LoadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

uint32_t FrameByteCount(const FrameRecord& record) {
  return LoadLe32(record.header + kFrameHeaderByteCountOffset);
}

CQorCy3Cam::CQorCy3Cam(platform::DriverPort& port, platform::Clock& clock,
                       const platform::Guid* interface_guid, const char* mapping_name)
    : CFx3Api(port, clock, mapping_name) {
  for (auto& kept : kept_slots_) kept.store(nullptr);
  if (interface_guid) SetInterfaceGuid(interface_guid);
}

CQorCy3Cam::~CQorCy3Cam() {
  ReleaseStream();
  for (auto& kept : kept_slots_) delete kept.exchange(nullptr);
}

// ---------------------------------------------------------------- requests

int CQorCy3Cam::ControlRequest(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                               const uint8_t* data, uint32_t data_length, ControlRequestBlock* answer,
                               uint32_t* received, Handle handle) {
  if (data_length > kControlDataSize) return 0;
  bool own_handle = false;
  if (!handle) {
    if (!OpenDevicePath(&handle, selected_index_, false)) return 0;
    own_handle = true;
  }
  // On the stack: the frame thread sends one request per frame.
  ControlRequestBlock block;
  std::memset(&block, 0, sizeof(block));
  TransferHeader& header = block.header;
  header.request_type = request_type;
  header.request = request;
  header.value = value;
  header.index = index;
  header.length = kControlBlockSize;
  header.timeout_seconds = kControlBlockTimeoutSeconds;
  header.endpoint = 0;
  header.buffer_offset = kHeaderSize;
  header.buffer_length = kControlDataSize;
  if (data && data_length) std::memcpy(block.data, data, data_length);

  uint32_t returned = 0;
  const int ok = SendControlBlock(handle, &block, kControlBlockSize, &returned);
  if (own_handle) CloseDeviceHandle(handle);
  if (!ok) return 0;
  // Only bytes the driver gave back count; an answer shorter than the header
  // carries no data.
  const uint32_t data_bytes = returned >= kHeaderSize ? returned - kHeaderSize : 0;
  if (received) *received = std::min(data_bytes, kControlDataSize);
  if (answer) std::memcpy(answer, &block, sizeof(ControlRequestBlock));
  return 1;
}

int CQorCy3Cam::WriteCommand(uint8_t command, const uint8_t* data, uint32_t length, uint32_t /*timeout*/) {
  if (length > kControlDataSize || (length && !data)) return 0;
  return ControlRequest(kRequestTypeVendorOut, kRequestWriteCommand, static_cast<uint16_t>(length), command,
                        data, length, nullptr, nullptr);
}

int CQorCy3Cam::ReadCommand(uint8_t command, uint8_t* data, uint32_t length, uint32_t /*timeout*/) {
  if (length > kControlDataSize || (length && !data)) return 0;
  ControlRequestBlock answer;
  uint32_t received = 0;
  if (!ControlRequest(kRequestTypeVendorIn, kRequestReadCommand, static_cast<uint16_t>(length), command | 1,
                      nullptr, 0, &answer, &received))
    return 0;
  // A short answer stores nothing; the request itself still succeeded.
  if (received >= length) std::memcpy(data, answer.data, length);
  return 1;
}

int CQorCy3Cam::ReadCommandChecked(uint8_t command, uint8_t* data, uint32_t length) {
  ControlRequestBlock answer;
  uint32_t received = 0;
  if (!ControlRequest(kRequestTypeVendorIn, kRequestReadCommand, static_cast<uint16_t>(length), command | 1,
                      nullptr, 0, &answer, &received))
    return 0;
  // A register value that never arrived must not read as a value.
  if (received < length) return 0;
  std::memcpy(data, answer.data, length);
  return 1;
}

int CQorCy3Cam::WriteByte3C(uint8_t value) {
  return ControlRequest(kRequestTypeVendorOut, kRequestWriteByte3C, 0, 0, &value, 1, nullptr, nullptr);
}

int CQorCy3Cam::ReadByte3D(uint8_t* value) {
  ControlRequestBlock answer;
  uint32_t received = 0;
  if (!ControlRequest(kRequestTypeVendorIn, kRequestReadByte3D, 0, 0, nullptr, 0, &answer, &received))
    return 0;
  if (received != 0 && value) *value = answer.data[0];
  return 1;
}

int CQorCy3Cam::WriteWordPair(uint16_t first, uint16_t second) {
  const uint8_t data[4] = {static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first & 0xFF),
                           static_cast<uint8_t>(second >> 8), static_cast<uint8_t>(second & 0xFF)};
  return ControlRequest(kRequestTypeVendorOut, kRequestWriteWordPair, 0, 0, data, sizeof(data), nullptr,
                        nullptr);
}

int CQorCy3Cam::ReadWord3F(uint32_t* value) {
  ControlRequestBlock answer;
  uint32_t received = 0;
  if (!ControlRequest(kRequestTypeVendorIn, kRequestReadWord3F, 0, 0, nullptr, 0, &answer, &received))
    return 0;
  if (received != 0 && value)
    *value = static_cast<uint32_t>(answer.data[0]) | static_cast<uint32_t>(answer.data[1]) << 8;
  return 1;
}

int CQorCy3Cam::ReadCameraInfo(uint8_t* info) {
  ControlRequestBlock answer;
  uint32_t received = 0;
  if (!ControlRequest(kRequestTypeVendorIn, kRequestCameraInfo, 0, 0, nullptr, 0, &answer, &received))
    return 0;
  if (received == kControlDataSize && info) std::memcpy(info, answer.data, kControlDataSize);
  return 1;
}

int CQorCy3Cam::ReadCameraInfo2(uint8_t* info) {
  ControlRequestBlock answer;
  uint32_t received = 0;
  if (!ControlRequest(kRequestTypeVendorIn, kRequestCameraInfo2, 0, 0, nullptr, 0, &answer, &received))
    return 0;
  if (received == kControlDataSize && info) std::memcpy(info, answer.data, kControlDataSize);
  return 1;
}

int CQorCy3Cam::RestartStream() {
  return ControlRequest(kRequestTypeVendorOut, kRequestRestartStream, 0, 0, nullptr, 0, nullptr, nullptr);
}

int CQorCy3Cam::ResetStreamFifo(Handle handle) {
  if (!handle) handle = stream_.load();
  if (!handle) return 0;
  return ControlRequest(kRequestTypeVendorOutEndpoint, kRequestResetStreamFifo, 0, 0, nullptr, 0, nullptr,
                        nullptr, handle);
}

int CQorCy3Cam::ReadReadyFlag(uint8_t* ready) {
  ControlRequestBlock answer;
  uint32_t received = 0;
  if (!ControlRequest(kRequestTypeVendorIn, kRequestReadyFlag, 0, 0, nullptr, 0, &answer, &received))
    return 0;
  if (received == kControlDataSize && ready) *ready = answer.data[0];
  return 1;
}

int CQorCy3Cam::SendRequestCC() {
  return ControlRequest(kRequestTypeVendorOutEndpoint, kRequestCC, 0, 0, nullptr, 0, nullptr, nullptr);
}

int CQorCy3Cam::WriteRegister32(uint16_t address, uint32_t value) {
  const uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                           static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  // Bit 15 stays in place in wValue; the firmware joins wValue | wIndex back
  // into the 16-bit address that request 0xD1 reads.
  return ControlRequest(kRequestTypeVendorOut, kRequestWriteRegister32,
                        static_cast<uint16_t>(address & 0x8000), static_cast<uint16_t>(address & 0x7FFF),
                        data, sizeof(data), nullptr, nullptr);
}

int CQorCy3Cam::ReadRegister16(uint16_t address, uint32_t* value) {
  ControlRequestBlock answer;
  uint32_t received = 0;
  if (!ControlRequest(kRequestTypeVendorIn, kRequestReadRegister16, 0, address, nullptr, 0, &answer,
                      &received))
    return 0;
  if (received >= kControlDataSize && value)
    *value = static_cast<uint32_t>(answer.data[0]) | static_cast<uint32_t>(answer.data[1]) << 8;
  return 1;
}

// ---------------------------------------------------------------- registers

int CQorCy3Cam::WriteFpgaRegister(uint8_t reg, uint32_t value) {
  const uint8_t data[3] = {reg, 0, static_cast<uint8_t>(value & 0xFF)};
  platform::ScopedLock lock(fpga_lock_);
  return WriteCommand(kCommandFpgaRegister, data, sizeof(data), 0);
}

int CQorCy3Cam::ReadFpgaRegister(uint8_t reg, uint8_t* value) {
  platform::ScopedLock lock(fpga_lock_);
  if (!WriteCommand(kCommandFpgaRegister, &reg, 1, 0)) return 0;
  uint8_t answer[2] = {};
  if (!ReadCommandChecked(kCommandFpgaRegister, answer, sizeof(answer))) return 0;
  if (value) *value = answer[1];
  return 1;
}

int CQorCy3Cam::ReadFpgaVersionWord(uint16_t* version) {
  uint8_t low = 0, high = 0;
  if (!ReadFpgaRegister(kFpgaRegisterVersionLow, &low)) return 0;
  if (!ReadFpgaRegister(kFpgaRegisterVersionHigh, &high)) return 0;
  if (version) *version = static_cast<uint16_t>(high << 8 | low);
  return 1;
}

int CQorCy3Cam::WriteAuxRegister(uint8_t reg, uint8_t value) {
  const uint8_t data[2] = {reg, value};
  return WriteCommand(kCommandAuxRegister, data, sizeof(data), 0);
}

int CQorCy3Cam::ReadAuxRegister(uint8_t reg, uint8_t* value) {
  if (!WriteCommand(kCommandAuxRegister, &reg, 1, 0)) return 0;
  uint8_t answer = 0;
  if (!ReadCommandChecked(kCommandAuxRegister, &answer, 1)) return 0;
  if (value) *value = answer;
  return 1;
}

int CQorCy3Cam::WriteSromByte(uint16_t address, uint8_t value) {
  const uint8_t data[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF), value};
  platform::ScopedLock lock(srom_lock_);
  if (!WriteCommand(kCommandSrom, data, sizeof(data), 0)) return 0;
  // The EEPROM is busy with its write cycle until then.
  platform::PreciseSleep(clock_, kSromWritePauseMs);
  return 1;
}

int CQorCy3Cam::ReadSromByte(uint16_t address, uint8_t* value) {
  const uint8_t data[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF)};
  platform::ScopedLock lock(srom_lock_);
  if (!WriteCommand(kCommandSrom, data, sizeof(data), 0)) return 0;
  platform::PreciseSleep(clock_, kSromReadPauseMs);
  uint8_t answer = 0;
  if (!ReadCommandChecked(kCommandSrom, &answer, 1)) return 0;
  if (value) *value = answer;
  return 1;
}

// ---------------------------------------------------------------- selection and handles

int CQorCy3Cam::SelectDevice(int table_index) {
  CloseStream();
  if (!IsDeviceOpenable(table_index)) return 0;
  selected_index_ = table_index;
  return 1;
}

int CQorCy3Cam::OpenStream() {
  if (stream_.load()) return 1;
  Handle handle = nullptr;
  if (!OpenDevicePath(&handle, selected_index_, true)) return 0;
  stream_aborted_.store(false);
  stream_.store(handle);
  return 1;
}

int CQorCy3Cam::CloseStream() {
  std::lock_guard<std::mutex> lock(stream_close_lock_);
  Handle handle = stream_.exchange(nullptr);
  if (handle) CloseDeviceHandle(handle);
  return 1;
}

int CQorCy3Cam::ReleaseStream() {
  CloseStream();
  transfer_buffer_.reset();
  return 1;
}

int CQorCy3Cam::AbortStream() {
  std::lock_guard<std::mutex> lock(stream_close_lock_);
  Handle handle = stream_.load();
  if (!handle) return 0;
  stream_aborted_.store(true);
  return AbortPipe(handle, kEndpointBulkIn);
}

int CQorCy3Cam::PrepareTransfers() {
  if (!transfer_buffer_) {
    transfer_buffer_.reset(new (std::nothrow) uint8_t[kMaxTransferSize + kHeaderSize]);
    if (!transfer_buffer_) return 0;
  }
  ResetPort();
  return 1;
}

int CQorCy3Cam::ResetPort() {
  Handle handle = nullptr;
  if (!OpenDevicePath(&handle, selected_index_, false)) return 0;
  const int ok = ResetParentPort(handle);
  CloseDeviceHandle(handle);
  return ok;
}

int CQorCy3Cam::ResetEndpoint(uint8_t endpoint) {
  Handle handle = nullptr;
  if (!OpenDevicePath(&handle, selected_index_, false)) return 0;
  const int ok = ResetPipe(handle, endpoint);
  CloseDeviceHandle(handle);
  return ok;
}

int CQorCy3Cam::GetBusSpeed(uint32_t* speed) {
  Handle handle = nullptr;
  if (!OpenDevicePath(&handle, selected_index_, false)) return 0;
  const int ok = CFx3Api::GetBusSpeed(handle, speed);
  CloseDeviceHandle(handle);
  return ok;
}

int CQorCy3Cam::GetDeviceName(int table_index, std::string* name) {
  if (!IsDeviceOpenable(table_index)) return 0;
  // This camera's names are the camera instance's. Other camera models have
  // names of their own that this SDK does not form: no name for any of them.
  (void)name;
  return 0;
}

// ---------------------------------------------------------------- bulk transfers

CQorCy3Cam::TransferSlotLease CQorCy3Cam::TakeTransferSlot() {
  for (auto& kept : kept_slots_)
    if (TransferSlot* slot = kept.exchange(nullptr)) return TransferSlotLease(slot, TransferSlotReturn{this});
  std::unique_ptr<TransferSlot> fresh(new (std::nothrow) TransferSlot);
  if (!fresh) return TransferSlotLease(nullptr, TransferSlotReturn{this});
  fresh->io = port_.CreateAsyncIo();
  if (!fresh->io) return TransferSlotLease(nullptr, TransferSlotReturn{this});
  return TransferSlotLease(fresh.release(), TransferSlotReturn{this});
}

void CQorCy3Cam::ReturnTransferSlot(TransferSlot* slot) {
  if (!slot) return;
  for (auto& kept : kept_slots_) {
    TransferSlot* empty = nullptr;
    if (kept.compare_exchange_strong(empty, slot)) return;
  }
  delete slot;
}

int CQorCy3Cam::RunDirect(Handle handle, void* buffer, uint32_t byte_count, uint8_t endpoint,
                          uint32_t* transferred, uint32_t wait_ms) {
  if (!handle || byte_count > kMaxTransferSize) return 0;
  TransferSlotLease slot = TakeTransferSlot();
  if (!slot) return 0;
  platform::AsyncIo& io = *slot->io;
  DirectTransfer& transfer = slot->transfer;
  if (!BeginDirectTransfer(handle, buffer, byte_count, endpoint, io, transfer)) return 0;
  uint32_t count = 0;
  int ok = 0;
  if (WaitDirectTransfer(transfer, io, wait_ms)) {
    ok = FinishDirectTransfer(handle, transfer, &count, io);
  } else if (transfer.start_error == platform::kErrorIoPending) {
    // The driver writes the header and the buffer until the request ends:
    // abort it and see it end before either is handed back.
    AbortPipe(handle, endpoint);
    if (io.event().Wait(kAbortSettleWaitMs) != platform::WaitResult::kSignaled) {
      AbortPipe(handle, endpoint);
      if (io.event().Wait(platform::kInfinite) != platform::WaitResult::kSignaled)
        (void)slot.release();  // still the driver's: leak rather than corrupt
    }
  }
  if (transferred) *transferred = count;
  return ok;
}

int CQorCy3Cam::TransferDirect(Handle handle, void* buffer, uint32_t byte_count, uint8_t endpoint,
                               uint32_t* transferred, uint32_t wait_ms) {
  if (byte_count > kMaxTransferSize || !transfer_buffer_) return 0;
  return RunDirect(handle, buffer, byte_count, endpoint, transferred, wait_ms);
}

int CQorCy3Cam::SendDirect(Handle handle, void* buffer, uint32_t byte_count, uint8_t endpoint,
                           uint32_t* transferred) {
  return TransferDirect(handle, buffer, byte_count, endpoint, transferred, kSendWaitMs);
}

int CQorCy3Cam::ReadDirectAfterReset(Handle handle, void* buffer, uint32_t byte_count, uint8_t endpoint,
                                     uint32_t* transferred) {
  if (byte_count > kMaxTransferSize || !transfer_buffer_) return 0;
  if (!ResetStreamFifo(handle)) return 0;
  return RunDirect(handle ? handle : stream_.load(), buffer, byte_count, endpoint, transferred,
                   kSecondaryWaitMs);
}

int CQorCy3Cam::TransferBuffered(Handle handle, void* buffer, uint32_t byte_count, uint8_t endpoint,
                                 uint32_t* transferred) {
  if (byte_count > kMaxTransferSize || !transfer_buffer_ || !handle) return 0;
  if (byte_count && !buffer) return 0;
  uint8_t* block = transfer_buffer_.get();
  auto* header = reinterpret_cast<TransferHeader*>(block);
  std::memset(header, 0, kHeaderSize);
  header->endpoint = endpoint;
  header->buffer_offset = kHeaderSize;
  header->buffer_length = byte_count;
  const bool inbound = (endpoint & 0x80) != 0;
  if (!inbound && byte_count) std::memcpy(block + kHeaderSize, buffer, byte_count);
  uint32_t returned = 0;
  if (!SendBufferedBulk(handle, block, kHeaderSize + byte_count, &returned)) return 0;
  const uint32_t received = returned >= kHeaderSize ? returned - kHeaderSize : 0;
  if (inbound && received <= byte_count && received) std::memcpy(buffer, block + kHeaderSize, received);
  if (transferred) *transferred = received;
  return 1;
}

// ---------------------------------------------------------------- frames

int CQorCy3Cam::ReadFrameHeader(FrameRecord* record) { return ReadHeader(record, false); }

int CQorCy3Cam::ReadFrameHeaderAfterReset(FrameRecord* record) { return ReadHeader(record, true); }

int CQorCy3Cam::ReadHeader(FrameRecord* record, bool fifo_reset_sent) {
  if (!record) return 0;
  bool opened_here = false;
  if (!stream_.load()) {
    if (!OpenStream()) return 0;
    opened_here = true;
  }
  std::memset(scratch_, 0, sizeof(scratch_));
  int attempts = 0;
  bool fifo_ready = fifo_reset_sent || ResetStreamFifo() != 0;
  while (fifo_ready) {
    ++attempts;
    uint32_t count = 0;
    std::memset(scratch_, 0, sizeof(scratch_));
    if (TransferDirect(stream_.load(), scratch_, kFrameHeaderSize, kEndpointBulkIn, &count, kHeaderWaitMs) &&
        count == kFrameHeaderSize) {
      std::memcpy(record->header, scratch_, kFrameHeaderSize);
      record->frame_counter = LoadLe32(scratch_ + kFrameHeaderCounterOffset);
      return 1;
    }
    if (stream_aborted_.load()) break;
    if (GetEntryProductId(selected_index_) == kProductIdRestartOnHeaderFailure) {
      RestartStream();
      break;
    }
    // A sensor restart pulse usually gets a stalled stream going again.
    WriteFpgaRegister(kFpgaRegisterRestart, 1);
    WriteFpgaRegister(kFpgaRegisterRestart, 0);
    platform::PreciseSleep(clock_, kRestartPauseMs);
    if (attempts >= kHeaderAttempts) break;
    fifo_ready = ResetStreamFifo() != 0;
  }
  if (opened_here) CloseStream();
  return 0;
}

int CQorCy3Cam::ReadFrameData(FrameRecord* record, uint32_t timeout_ms) {
  if (!record) return 0;
  const uint32_t byte_count = FrameByteCount(*record);
  // Refused before any transfer: the destination cannot take it.
  if (byte_count > record->capacity) return 0;
  if (byte_count && !record->buffer) return 0;
  bool opened_here = false;
  if (!stream_.load()) {
    if (!OpenStream()) return 0;
    opened_here = true;
  }
  int ok = 1;
  for (uint32_t offset = 0; offset < byte_count; offset += kFrameChunkSize) {
    const uint32_t chunk = std::min(kFrameChunkSize, byte_count - offset);
    uint32_t count = 0;
    // A short chunk leaves stale bytes in the frame: it fails like an error.
    if (!TransferDirect(stream_.load(), record->buffer + offset, chunk, kEndpointBulkIn, &count,
                        timeout_ms) ||
        count != chunk) {
      ok = 0;
      break;
    }
  }
  if (opened_here) CloseStream();
  return ok;
}

int CQorCy3Cam::ReadFrameSecondary(FrameRecord* record) {
  if (!record) return 0;
  if (record->expected > record->capacity || (record->expected && !record->buffer)) return 0;
  bool opened_here = false;
  if (!stream_.load()) {
    if (!OpenStream()) return 0;
    opened_here = true;
  }
  uint32_t count = 0;
  const int ok = ResetStreamFifo() &&
                 RunDirect(stream_.load(), record->buffer, record->expected, kEndpointBulkIn2, &count,
                           kSecondaryWaitMs) &&
                 count == record->expected;
  if (!ok && opened_here) CloseStream();
  return ok ? 1 : 0;
}

int CQorCy3Cam::ReadMemoryImage(FrameRecord* /*record*/, uint64_t* /*byte_count*/, uint32_t /*timeout_ms*/) {
  // Memory-stream camera models only; this camera streams frames.
  return 0;
}

// ---------------------------------------------------------------- camera memory

int CQorCy3Cam::MoveMemory(bool write, uint64_t address, uint8_t* data, uint32_t byte_count) {
  if (byte_count && !data) return 0;
  bool opened_here = false;
  if (!stream_.load()) {
    if (!OpenStream()) return 0;
    opened_here = true;
  }
  // The camera moves whole 4 KiB pages and always one page more than asked.
  const uint64_t total =
      (static_cast<uint64_t>(byte_count) & ~static_cast<uint64_t>(kMemoryGranule - 1)) + kMemoryGranule;
  std::vector<uint8_t> bounce;
  int ok = 1;
  for (uint64_t offset = 0; offset < total;) {
    const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(total - offset, kMemoryChunkSize));
    MemoryCommandBlock command;
    std::memset(&command, 0, sizeof(command));
    command.magic = write ? kMemoryWriteMagic : kMemoryReadMagic;
    command.version = 2;
    command.address_low = static_cast<uint32_t>(address);
    command.address_high = static_cast<uint32_t>(address >> 32);
    command.byte_count = chunk;
    if (!SendDirect(stream_.load(), &command, sizeof(command), kEndpointBulkOut, nullptr)) {
      ok = 0;
      break;
    }
    // The pages past the caller's count go through a buffer of our own: the
    // caller's buffer holds exactly what was asked for.
    const bool spills = offset + chunk > byte_count;
    const uint32_t caller_part =
        offset < byte_count ? static_cast<uint32_t>(std::min<uint64_t>(chunk, byte_count - offset)) : 0;
    uint8_t* target = data ? data + offset : nullptr;
    if (spills) {
      bounce.assign(chunk, 0);
      if (write && caller_part) std::memcpy(bounce.data(), data + offset, caller_part);
      target = bounce.data();
    }
    uint32_t count = 0;
    const int moved =
        write ? SendDirect(stream_.load(), target, chunk, kEndpointBulkOut, &count)
              : TransferDirect(stream_.load(), target, chunk, kEndpointBulkIn, &count, kMemoryReadWaitMs);
    if (!moved) platform::PreciseSleep(clock_, 1);
    if (count != chunk) {
      ok = 0;
      break;
    }
    if (spills && !write && caller_part) std::memcpy(data + offset, bounce.data(), caller_part);
    address += chunk;
    offset += chunk;
  }
  if (opened_here) CloseStream();
  return ok;
}

int CQorCy3Cam::ReadMemory(uint64_t address, void* buffer, uint32_t byte_count) {
  return MoveMemory(false, address, static_cast<uint8_t*>(buffer), byte_count);
}

int CQorCy3Cam::WriteMemory(uint64_t address, const void* data, uint32_t byte_count) {
  // Only read from: the driver sends it to the OUT endpoint.
  return MoveMemory(true, address, static_cast<uint8_t*>(const_cast<void*>(data)), byte_count);
}

}  // namespace morvex
