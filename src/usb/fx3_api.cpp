#include "usb/fx3_api.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/host_module.h"
#include "platform/test_namespace.h"
#include "platform/text.h"

namespace morvex {

std::string DeviceTableMappingName() { return platform::InTestNamespace(kDeviceTableMappingName); }

namespace {

constexpr uint32_t kBufferedBulkWaitMs = 3000;
constexpr uint32_t kAbortSettleWaitMs = 50;

// "Never gets here" in Shift-JIS: written when a fresh table slot is found in
// use, which only a damaged shared view can cause.
constexpr char kSlotInUseMessage[] =
    "\x82\xb1\x82\xb1\x82\xc9\x82\xcd\x93\xfc\x82\xc1\x82\xc4\x82\xb1\x82\xc8\x82\xa2\x82\xcd\x82\xb8\r\n";

void ClearTable(DeviceTableImage& image) {
  for (auto& entry : image.entries) {
    entry.vendor_id = 0;
    entry.product_id = 0;
    entry.instance = -1;
    std::memset(entry.path, 0, sizeof(entry.path));
  }
  image.used_count = 0;
}

bool ParseHex4(const std::string& text, size_t at, uint16_t* value) {
  if (text.size() < at + 4) return false;
  uint16_t result = 0;
  for (size_t i = at; i < at + 4; ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    result = static_cast<uint16_t>((result << 4) | digit);
  }
  *value = result;
  return true;
}

std::string ComposeDebugLogPath() {
  const std::string executable = platform::HostExecutablePath();
  const size_t separator = executable.find_last_of("\\/");
  const std::string directory =
      separator == std::string::npos ? std::string() : executable.substr(0, separator + 1);
  char path[512];
  std::snprintf(path, sizeof(path), "%s%sDEBUGLOG.txt", "", directory.c_str());
  return path;
}

}  // namespace

bool ParseDeviceIds(const std::string& path, uint16_t* vendor_id, uint16_t* product_id) {
  uint16_t vendor = 0, product = 0;
  if (!ParseHex4(path, 12, &vendor) || !ParseHex4(path, 21, &product)) return false;
  *vendor_id = vendor;
  *product_id = product;
  return true;
}

// The process's own copy of one shared table: what this process last saw,
// and what it works with when the mapping cannot be had.
struct CFx3Api::TableCopy {
  mutable std::mutex mutex;
  DeviceTableImage image{};
  TableCopy() { ClearTable(image); }
};

CFx3Api::TableCopy& CFx3Api::process_copy() const {
  static std::mutex registry_mutex;
  static std::map<std::string, std::unique_ptr<TableCopy>> copies;
  std::lock_guard<std::mutex> lock(registry_mutex);
  auto& copy = copies[mapping_name_];
  if (!copy) copy = std::make_unique<TableCopy>();
  return *copy;
}

CFx3Api::CFx3Api(platform::DriverPort& port, platform::Clock& clock, const char* mapping_name)
    : port_(port),
      clock_(clock),
      mapping_name_(mapping_name ? std::string(mapping_name) : DeviceTableMappingName()),
      table_mutex_((mapping_name_ + "-Lock").c_str()) {
  Attach();
  debug_log_path_ = ComposeDebugLogPath();
}

CFx3Api::~CFx3Api() { Detach(); }

void CFx3Api::LoadFromView() {
  if (!mapping_.valid() || mapping_.size() < sizeof(DeviceTableImage)) return;
  DeviceTableImage& image = process_copy().image;
  std::memcpy(&image, mapping_.data(), sizeof(image));
  // Another process may have left the view damaged; never trust its count.
  if (image.used_count > static_cast<uint32_t>(kMaxDevices)) image.used_count = kMaxDevices;
  for (auto& entry : image.entries) entry.path[kDevicePathSize - 1] = '\0';
}

void CFx3Api::StoreToView() {
  if (!mapping_.valid() || mapping_.size() < sizeof(DeviceTableImage)) return;
  std::memcpy(mapping_.data(), &process_copy().image, sizeof(DeviceTableImage));
}

void CFx3Api::Attach() {
  platform::ScopedNamedLock machine_lock(table_mutex_);
  if (!mapping_.Open(mapping_name_.c_str(), sizeof(DeviceTableImage),
                     platform::SharedMemory::Mode::kOpenExisting))
    mapping_.Open(mapping_name_.c_str(), sizeof(DeviceTableImage), platform::SharedMemory::Mode::kCreate);
  TableCopy& copy = process_copy();
  std::lock_guard<std::mutex> process_lock(copy.mutex);
  LoadFromView();
  // The first user on the machine starts from an empty table.
  if (copy.image.attach_count == 0) ClearTable(copy.image);
  guid_ = kFx3InterfaceGuid;
  last_start_error_ = 0;
  ++copy.image.attach_count;
  StoreToView();
}

void CFx3Api::Detach() {
  platform::ScopedNamedLock machine_lock(table_mutex_);
  TableCopy& copy = process_copy();
  {
    std::lock_guard<std::mutex> process_lock(copy.mutex);
    LoadFromView();
    if (copy.image.attach_count > 0) --copy.image.attach_count;
    StoreToView();
  }
  mapping_.Close();
}

int CFx3Api::SetInterfaceGuid(const platform::Guid* guid) {
  if (!guid) return 0;
  guid_ = *guid;
  return 1;
}

int CFx3Api::EnumerateDevices() {
  struct Candidate {
    std::string path;
    uint16_t vendor_id;
    uint16_t product_id;
  };
  std::vector<Candidate> found;
  const std::vector<std::string> paths = port_.EnumerateInterfaces(guid_);
  const size_t looked_at = std::min<size_t>(paths.size(), kMaxDevices);
  for (size_t i = 0; i < looked_at; ++i) {
    const std::string& path = paths[i];
    // A path the entry cannot hold whole is refused, never shortened.
    if (path.empty() || path.size() >= kDevicePathSize || path.find('\0') != std::string::npos) continue;
    Handle probe = port_.Open(path, true);
    if (!probe) continue;
    port_.Close(probe);
    Candidate candidate{path, 0, 0};
    if (!ParseDeviceIds(path, &candidate.vendor_id, &candidate.product_id)) continue;
    // Product id 0 marks a free entry; such a device cannot be numbered.
    if (candidate.product_id == 0) continue;
    found.push_back(candidate);
  }

  platform::ScopedNamedLock machine_lock(table_mutex_);
  TableCopy& copy = process_copy();
  std::lock_guard<std::mutex> process_lock(copy.mutex);
  LoadFromView();
  DeviceTableImage& image = copy.image;
  for (const Candidate& candidate : found) {
    int same_model = 0;
    bool known = false;
    for (const DeviceTableEntry& entry : image.entries) {
      if (entry.vendor_id != candidate.vendor_id || entry.product_id != candidate.product_id) continue;
      ++same_model;
      if (std::strcmp(entry.path, candidate.path.c_str()) == 0) {
        known = true;
        break;
      }
    }
    if (known) continue;
    if (image.used_count >= static_cast<uint32_t>(kMaxDevices)) continue;
    DeviceTableEntry& entry = image.entries[image.used_count];
    if (entry.product_id != 0) platform::DebugOutput(kSlotInUseMessage);
    entry.vendor_id = candidate.vendor_id;
    entry.product_id = candidate.product_id;
    entry.instance = same_model;
    std::memset(entry.path, 0, sizeof(entry.path));
    std::memcpy(entry.path, candidate.path.data(), candidate.path.size());
    ++image.used_count;
  }
  StoreToView();
  return static_cast<int>(image.used_count);
}

int CFx3Api::OpenDevicePath(Handle* handle, int table_index, bool overlapped) {
  if (!handle) return 0;
  const std::string path = GetEntryPath(table_index);
  if (path.empty()) return 0;
  Handle opened = port_.Open(path, overlapped);
  if (!opened) return 0;
  *handle = opened;
  return 1;
}

int CFx3Api::IsDeviceOpenable(int table_index) {
  Handle probe = nullptr;
  if (!OpenDevicePath(&probe, table_index, false)) return 0;
  CloseDeviceHandle(probe);
  return 1;
}

int CFx3Api::CloseDeviceHandle(Handle& handle) {
  if (!handle) return 0;
  port_.Close(handle);
  handle = nullptr;
  return 1;
}

int CFx3Api::SendControlBlock(Handle handle, void* block, uint32_t size, uint32_t* returned) {
  if (!handle || !block) return 0;
  const platform::IoResult result =
      port_.IoControl(handle, kIoctlControlTransfer, block, size, block, size, nullptr);
  if (!result.ok) return 0;
  // A driver claiming more than the block holds is not believed.
  if (returned) *returned = std::min(result.bytes, size);
  return 1;
}

int CFx3Api::SendBufferedBulk(Handle handle, void* block, uint32_t size, uint32_t* returned) {
  if (!handle || !block) return 0;
  std::unique_ptr<platform::AsyncIo> io = port_.CreateAsyncIo();
  if (!io) return 0;
  const platform::IoResult started =
      port_.IoControl(handle, kIoctlBufferedBulk, block, size, block, size, io.get());
  bool ok = false;
  uint32_t bytes = 0;
  if (started.ok || started.error == platform::kErrorSuccess) {
    ok = true;
    bytes = started.bytes;
  } else if (started.error == platform::kErrorIoPending) {
    if (io->event().Wait(kBufferedBulkWaitMs) == platform::WaitResult::kSignaled) {
      const platform::IoResult done = port_.GetResult(handle, *io, false);
      ok = done.ok;
      bytes = done.bytes;
    } else {
      const uint8_t endpoint = size >= sizeof(TransferHeader)
                                   ? static_cast<const TransferHeader*>(block)->endpoint
                                   : kEndpointBulkIn;
      AbortPipe(handle, endpoint);
      // The block is written on completion: it must not be handed back while
      // the driver still owns it.
      if (io->event().Wait(kAbortSettleWaitMs) != platform::WaitResult::kSignaled)
        io->event().Wait(platform::kInfinite);
    }
  }
  if (ok && returned) *returned = std::min(bytes, size);
  return ok ? 1 : 0;
}

int CFx3Api::BeginDirectTransfer(Handle handle, void* buffer, uint32_t size, uint8_t endpoint,
                                 platform::AsyncIo& io, DirectTransfer& transfer) {
  if (!handle) return 0;
  transfer.header = TransferHeader{};
  transfer.header.endpoint = endpoint;
  // A slot used before may still be signalled from a request that completed
  // at once; the wait must only see this request's completion.
  io.event().Reset();
  const platform::IoResult started = port_.IoControl(handle, kIoctlDirectTransfer, &transfer.header,
                                                     sizeof(TransferHeader), buffer, size, &io);
  transfer.start_error = started.ok ? platform::kErrorSuccess : started.error;
  last_start_error_ = transfer.start_error;
  return 1;
}

int CFx3Api::WaitDirectTransfer(const DirectTransfer& transfer, platform::AsyncIo& io,
                                uint32_t milliseconds) {
  if (transfer.start_error == platform::kErrorSuccess) return 1;
  if (transfer.start_error != platform::kErrorIoPending) return 0;
  return io.event().Wait(milliseconds) == platform::WaitResult::kSignaled ? 1 : 0;
}

int CFx3Api::FinishDirectTransfer(Handle handle, const DirectTransfer& transfer, uint32_t* transferred,
                                  platform::AsyncIo& io) {
  if (!handle) return 0;
  const platform::IoResult result = port_.GetResult(handle, io, false);
  if (!result.ok) return 0;
  if (transferred) *transferred = result.bytes;
  if (transfer.header.status != 0 || transfer.header.usb_status != 0) {
    platform::PreciseSleep(clock_, 1);
    return 0;
  }
  return 1;
}

int CFx3Api::ResetPipe(Handle handle, uint8_t endpoint) {
  if (!handle) return 0;
  return port_.IoControl(handle, kIoctlResetPipe, &endpoint, 1, nullptr, 0, nullptr).ok ? 1 : 0;
}

int CFx3Api::ResetParentPort(Handle handle) {
  if (!handle) return 0;
  return port_.IoControl(handle, kIoctlResetParentPort, nullptr, 0, nullptr, 0, nullptr).ok ? 1 : 0;
}

int CFx3Api::GetBusSpeed(Handle handle, uint32_t* speed) {
  if (!handle) return 0;
  uint32_t query = 0;
  uint32_t answer = 0;
  if (!port_.IoControl(handle, kIoctlBusSpeed, &query, sizeof(query), &answer, sizeof(answer), nullptr).ok)
    return 0;
  if (speed) *speed = answer;
  return 1;
}

int CFx3Api::AbortPipe(Handle handle, uint8_t endpoint) {
  if (!handle) return 0;
  std::unique_ptr<platform::AsyncIo> io = port_.CreateAsyncIo();
  const platform::IoResult started =
      port_.IoControl(handle, kIoctlAbortPipe, &endpoint, 1, nullptr, 0, io.get());
  if (started.ok) return 1;
  if (!io || started.error != platform::kErrorIoPending) return 0;
  if (io->event().Wait(platform::kInfinite) != platform::WaitResult::kSignaled) return 0;
  return port_.GetResult(handle, *io, false).ok ? 1 : 0;
}

uint16_t CFx3Api::GetEntryVendorId(int table_index) const {
  if (table_index < 0 || table_index >= kMaxDevices) return 0;
  TableCopy& copy = process_copy();
  std::lock_guard<std::mutex> lock(copy.mutex);
  return copy.image.entries[table_index].vendor_id;
}

uint16_t CFx3Api::GetEntryProductId(int table_index) const {
  if (table_index < 0 || table_index >= kMaxDevices) return 0;
  TableCopy& copy = process_copy();
  std::lock_guard<std::mutex> lock(copy.mutex);
  return copy.image.entries[table_index].product_id;
}

int32_t CFx3Api::GetEntryInstance(int table_index) const {
  if (table_index < 0 || table_index >= kMaxDevices) return -1;
  TableCopy& copy = process_copy();
  std::lock_guard<std::mutex> lock(copy.mutex);
  return copy.image.entries[table_index].instance;
}

std::string CFx3Api::GetEntryPath(int table_index) const {
  if (table_index < 0 || table_index >= kMaxDevices) return std::string();
  TableCopy& copy = process_copy();
  std::lock_guard<std::mutex> lock(copy.mutex);
  if (static_cast<uint32_t>(table_index) >= copy.image.used_count) return std::string();
  return copy.image.entries[table_index].path;
}

int CFx3Api::GetEntryCount() const {
  TableCopy& copy = process_copy();
  std::lock_guard<std::mutex> lock(copy.mutex);
  return static_cast<int>(copy.image.used_count);
}

}  // namespace morvex
