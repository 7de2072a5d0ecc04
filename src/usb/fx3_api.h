// CFx3Api: access to the FX3 USB driver. Finds the cameras the driver
// exposes, keeps the machine-wide device table in the shared mapping
// "Z3U2-MemMap", opens device paths and moves bytes through the driver's
// control codes. Knows nothing of registers or images: the request protocol
// spoken over these primitives is the controller's (CQorCy3Cam).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/driver_port.h"
#include "platform/shared_memory.h"
#include "platform/sync.h"
#include "usb/driver_ports.h"

namespace morvex {

// ---- Driver control codes (FILE_DEVICE_UNKNOWN) ----
constexpr uint32_t kIoctlControlTransfer = 0x220020;  // [8] buffered: control request block
constexpr uint32_t kIoctlBufferedBulk = 0x220024;     // [9] buffered: header + data
constexpr uint32_t kIoctlResetPipe = 0x22002C;        // [11] 1 byte endpoint
constexpr uint32_t kIoctlResetParentPort = 0x220030;  // [12]
constexpr uint32_t kIoctlAbortPipe = 0x220044;        // [17] 1 byte endpoint
constexpr uint32_t kIoctlDirectTransfer = 0x22004B;   // [18] neither: header in, caller's buffer out
constexpr uint32_t kIoctlBusSpeed = 0x22004C;         // [19] 4 bytes in, 4 bytes out

// ---- Endpoints ----
constexpr uint8_t kEndpointBulkOut = 0x01;
constexpr uint8_t kEndpointBulkIn = 0x81;
constexpr uint8_t kEndpointBulkIn2 = 0x83;

// ---- bmRequestType values ----
constexpr uint8_t kRequestTypeVendorOut = 0x40;
constexpr uint8_t kRequestTypeVendorIn = 0xC0;
constexpr uint8_t kRequestTypeVendorOutEndpoint = 0x42;

constexpr uint32_t kControlBlockTimeoutSeconds = 3;
constexpr uint32_t kControlDataSize = 64;

#pragma pack(push, 1)
// Every driver request that carries a USB transfer starts with this header.
struct TransferHeader {
  uint8_t request_type;  // bmRequestType
  uint8_t request;       // bRequest
  uint16_t value;        // wValue
  uint16_t index;        // wIndex
  uint16_t length;       // wLength: the size of the whole control block
  uint32_t timeout_seconds;
  uint8_t reserved;
  uint8_t endpoint;     // 0 for control requests
  uint32_t status;      // written by the driver
  uint32_t usb_status;  // written by the driver
  uint32_t iso_packet_offset;
  uint32_t iso_packet_length;
  uint32_t buffer_offset;  // 38 when data follows in the same block
  uint32_t buffer_length;
};

// A control request: the header and its 64-byte data area.
struct ControlRequestBlock {
  TransferHeader header;
  uint8_t data[kControlDataSize];
};
#pragma pack(pop)

static_assert(sizeof(TransferHeader) == 38, "transfer header size");
static_assert(offsetof(TransferHeader, request_type) == 0, "bmRequestType");
static_assert(offsetof(TransferHeader, request) == 1, "bRequest");
static_assert(offsetof(TransferHeader, value) == 2, "wValue");
static_assert(offsetof(TransferHeader, index) == 4, "wIndex");
static_assert(offsetof(TransferHeader, length) == 6, "wLength");
static_assert(offsetof(TransferHeader, timeout_seconds) == 8, "time-out");
static_assert(offsetof(TransferHeader, reserved) == 12, "reserved");
static_assert(offsetof(TransferHeader, endpoint) == 13, "endpoint");
static_assert(offsetof(TransferHeader, status) == 14, "status");
static_assert(offsetof(TransferHeader, usb_status) == 18, "USB status");
static_assert(offsetof(TransferHeader, iso_packet_offset) == 22, "iso offset");
static_assert(offsetof(TransferHeader, iso_packet_length) == 26, "iso length");
static_assert(offsetof(TransferHeader, buffer_offset) == 30, "buffer offset");
static_assert(offsetof(TransferHeader, buffer_length) == 34, "buffer length");
static_assert(sizeof(ControlRequestBlock) == 102, "control request block size");
static_assert(offsetof(ControlRequestBlock, data) == 38, "control data offset");

// ---- The machine-wide device table ----
constexpr int kMaxDevices = 32;
constexpr size_t kDevicePathSize = 260;  // 259 characters and the terminator
constexpr char kDeviceTableMappingName[] = "Z3U2-MemMap";
// The mapping objects use by default: kDeviceTableMappingName in the test
// namespace; its mutex is the same name with "-Lock".
std::string DeviceTableMappingName();

struct DeviceTableEntry {
  uint16_t vendor_id;
  uint16_t product_id;  // 0 marks a free entry
  int32_t instance;     // -1 in a free entry
  char path[kDevicePathSize];
};
static_assert(sizeof(DeviceTableEntry) == 268, "device table entry size");
static_assert(offsetof(DeviceTableEntry, vendor_id) == 0, "vendor id");
static_assert(offsetof(DeviceTableEntry, product_id) == 2, "product id");
static_assert(offsetof(DeviceTableEntry, instance) == 4, "instance");
static_assert(offsetof(DeviceTableEntry, path) == 8, "path");

// The layout of the shared mapping.
struct DeviceTableImage {
  uint32_t attach_count;  // live CFx3Api objects on the machine
  DeviceTableEntry entries[kMaxDevices];
  uint32_t used_count;
};
static_assert(sizeof(DeviceTableImage) == 8584, "shared device table size");
static_assert(offsetof(DeviceTableImage, attach_count) == 0, "attach count");
static_assert(offsetof(DeviceTableImage, entries) == 4, "device table");
static_assert(offsetof(DeviceTableImage, used_count) == 8580, "used count");

// The interface class of the FX3 camera driver.
constexpr platform::Guid kFx3InterfaceGuid = {
    0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

// One direct transfer in flight: the header the driver fills in, and whether
// the request is still pending. Kept per transfer so that transfers on
// several threads never see each other's start status; the caller owns it
// and may use it again once the transfer has ended.
struct DirectTransfer {
  TransferHeader header{};
  uint32_t start_error = 0;  // 0: completed at once; 997: pending; else failed
};

class CFx3Api {
 public:
  using Handle = platform::DriverPort::Handle;

  CFx3Api(platform::DriverPort& port, platform::Clock& clock, const char* mapping_name = nullptr);
  virtual ~CFx3Api();
  CFx3Api(const CFx3Api&) = delete;
  CFx3Api& operator=(const CFx3Api&) = delete;

  int SetInterfaceGuid(const platform::Guid* guid);
  // Refreshes the device table from the system; returns the used entries.
  int EnumerateDevices();
  int OpenDevicePath(Handle* handle, int table_index, bool overlapped);
  int IsDeviceOpenable(int table_index);
  int CloseDeviceHandle(Handle& handle);

  int SendControlBlock(Handle handle, void* block, uint32_t size, uint32_t* returned);
  int SendBufferedBulk(Handle handle, void* block, uint32_t size, uint32_t* returned);
  // Starts a transfer described by `transfer` (header cleared, endpoint set);
  // 0 when there is no handle. The driver writes the header until the
  // request ends: `transfer` and `io` must outlive it, that is go to
  // FinishDirectTransfer, or be aborted and waited for.
  int BeginDirectTransfer(Handle handle, void* buffer, uint32_t size, uint8_t endpoint, platform::AsyncIo& io,
                          DirectTransfer& transfer);
  int WaitDirectTransfer(const DirectTransfer& transfer, platform::AsyncIo& io, uint32_t milliseconds);
  int FinishDirectTransfer(Handle handle, const DirectTransfer& transfer, uint32_t* transferred,
                           platform::AsyncIo& io);
  int ResetPipe(Handle handle, uint8_t endpoint);
  int ResetParentPort(Handle handle);
  int GetBusSpeed(Handle handle, uint32_t* speed);
  // Code 0x220044 on a request of its own; waits for it when it is pending.
  int AbortPipe(Handle handle, uint8_t endpoint);

  // Device-table reads (0 / 0 / -1 outside the table).
  uint16_t GetEntryVendorId(int table_index) const;
  uint16_t GetEntryProductId(int table_index) const;
  int32_t GetEntryInstance(int table_index) const;
  std::string GetEntryPath(int table_index) const;
  int GetEntryCount() const;

  int selected_table_index() const { return selected_index_; }
  const platform::Guid& interface_guid() const { return guid_; }
  uint32_t last_start_error() const { return last_start_error_.load(); }
  const std::string& debug_log_path() const { return debug_log_path_; }

 protected:
  platform::DriverPort& port_;
  platform::Clock& clock_;
  int selected_index_ = 0;

 private:
  struct TableCopy;
  TableCopy& process_copy() const;
  void Attach();
  void Detach();
  // Copies the shared view into the process copy; caller holds both locks.
  void LoadFromView();
  void StoreToView();

  std::string mapping_name_;
  platform::SharedMemory mapping_;
  platform::NamedMutex table_mutex_;
  platform::Guid guid_{};
  std::atomic<uint32_t> last_start_error_{0};
  std::string debug_log_path_;
};

// Vendor and product id from a device path ("\\?\usb#vid_04b4&pid_3290#...":
// four hex digits at characters 12 and 21). False when the path is too short
// or the digits are not hexadecimal.
bool ParseDeviceIds(const std::string& path, uint16_t* vendor_id, uint16_t* product_id);

}  // namespace morvex
