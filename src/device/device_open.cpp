// Creating the controller, opening a camera by instance number, the
// initialisation with its readiness wait, and closing.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "device/device_trace.h"
#include "device/morvex_z3u2_base.h"
#include "sensors/sensor_factory.h"

namespace morvex {
namespace {

std::atomic<int> g_live_objects{0};

uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

bool product::IsMemoryStream(int32_t product_id) {
  return product_id == 0x3310 || product_id == 0x3320 || product_id == 0x3330 || product_id == 0x3340;
}

uint32_t FrameBufferCapacity(int32_t width, int32_t height, int32_t bytes_per_sample) {
  if (width < 0 || height < 0 || bytes_per_sample < 1) return 0;
  const uint64_t raw = static_cast<uint64_t>(height + 128) * static_cast<uint64_t>(width + 128) *
                       static_cast<uint64_t>(bytes_per_sample);
  const uint64_t rounded = (raw + 8191) & ~static_cast<uint64_t>(8191);
  return rounded > 0xFFFFFFFFull ? 0 : static_cast<uint32_t>(rounded);
}

CMorvexZ3U2Base::CMorvexZ3U2Base(platform::DriverPort& port, platform::Clock& clock, const char* mapping_name)
    : port_(port),
      clock_(clock),
      mapping_name_(mapping_name ? std::string(mapping_name) : DeviceTableMappingName()) {
  for (int32_t& entry : shadow_table_) entry = -1;
  g_live_objects.fetch_add(1);
}

CMorvexZ3U2Base::~CMorvexZ3U2Base() {
  CloseCamera();
  g_live_objects.fetch_sub(1);
}

int CMorvexZ3U2Base::live_objects() { return g_live_objects.load(); }

uint16_t CMorvexZ3U2Base::firmware_version() const {
  return LoadLe16(camera_info_ + kInfoFirmwareVersionOffset);
}

CMorvexZ3U2Base::SensorFamily CMorvexZ3U2Base::Family() const {
  switch (product_id_) {
    case product::kImx990:
    case product::kImx990Cooled:
    case product::kImx991:
    case product::kImx991Cooled:
      return SensorFamily::kImx990Pair;
    case product::kImx992:
    case product::kImx992Cooled:
      return SensorFamily::kImx992;
    case product::kImx993:
    case product::kImx993Cooled:
      return SensorFamily::kImx993;
    default:
      return SensorFamily::kOther;
  }
}

void CMorvexZ3U2Base::Trace(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof(line), format, args);
  va_end(args);
  device_trace::Emit(controller_.get(), line);
}

int32_t CMorvexZ3U2Base::CreateController(const platform::Guid* interface_guid) {
  CloseCamera();
  controller_ = std::make_unique<CQorCy3Cam>(port_, clock_, interface_guid, mapping_name_.c_str());
  return 1;
}

int32_t CMorvexZ3U2Base::GetCameraInfoBlock(uint8_t* info) {
  if (!info || !controller_) return 0;
  return controller_->ReadCameraInfo(info);
}

int32_t CMorvexZ3U2Base::GetCameraInfoBlock2(uint8_t* info) {
  if (!info || !controller_) return 0;
  return controller_->ReadCameraInfo2(info);
}

int32_t CMorvexZ3U2Base::Reopen(int32_t instance) {
  StopStream(1);
  return OpenCamera(instance) ? 0 : -1;
}

int32_t CMorvexZ3U2Base::IsCameraPresent(int32_t instance) {
  if (!controller_) return 0;
  for (int i = 0; i < kMaxDevices; ++i) {
    if (controller_->GetEntryProductId(i) == 0) continue;
    if (static_cast<int32_t>(controller_->GetEntryProductId(i)) == product_id_ &&
        controller_->GetEntryInstance(i) == instance)
      return controller_->IsDeviceOpenable(i) ? 1 : 0;
  }
  return 0;
}

int32_t CMorvexZ3U2Base::CountCameras(int32_t product_id) {
  if (!controller_) return 0;
  const int entries = controller_->EnumerateDevices();
  if (product_id == 0) return entries;
  int32_t count = 0;
  for (int i = 0; i < kMaxDevices; ++i) {
    if (static_cast<int32_t>(controller_->GetEntryProductId(i)) == product_id &&
        controller_->IsDeviceOpenable(i))
      ++count;
  }
  return count;
}

int32_t CMorvexZ3U2Base::GetDeviceName(int32_t table_index, std::string* name) {
  if (!controller_ || !name) return 0;
  if (!controller_->IsDeviceOpenable(table_index)) return 0;
  return controller_->GetDeviceName(table_index, name);
}

int32_t CMorvexZ3U2Base::SetProductId(int32_t product_id) {
  product_id_ = product_id;
  ring_size_ = product_id == product::kEightBufferRing ? 8 : 4;
  read_index_.store(ring_size_ - 1);
  if (write_index_.load() >= ring_size_) write_index_.store(0);
  return 1;
}

int32_t CMorvexZ3U2Base::GetProductId() { return product_id_; }

int32_t CMorvexZ3U2Base::GetEntryVendorId(int32_t table_index) {
  if (!controller_ || table_index < 0 || table_index >= kMaxDevices) return 0;
  return controller_->GetEntryVendorId(table_index);
}

int32_t CMorvexZ3U2Base::GetEntryProductId(int32_t table_index) {
  if (!controller_ || table_index < 0 || table_index >= kMaxDevices) return 0;
  return controller_->GetEntryProductId(table_index);
}

int32_t CMorvexZ3U2Base::GetEntryInstance(int32_t table_index) {
  if (!controller_ || table_index < 0 || table_index >= kMaxDevices) return -1;
  return controller_->GetEntryInstance(table_index);
}

int32_t CMorvexZ3U2Base::UsesSecondaryEndpoint() {
  return product_id_ == product::kSecondaryEndpoint ? 1 : 0;
}
int32_t CMorvexZ3U2Base::IsMemoryStreamModel() { return product::IsMemoryStream(product_id_) ? 1 : 0; }
int32_t CMorvexZ3U2Base::IsMemoryStreamModelAlias() { return IsMemoryStreamModel(); }
int32_t CMorvexZ3U2Base::GetTableIndex() { return table_index_; }
int32_t CMorvexZ3U2Base::GetMaxDevices() { return kMaxDevices; }

int32_t CMorvexZ3U2Base::OpenCamera(int32_t instance) {
  if (!controller_ || product_id_ == -1) return 0;
  if (controller_->EnumerateDevices() <= 0) return 0;
  if (!IsCameraPresent(instance)) return 0;

  int32_t found = -1;
  for (int i = 0; i < kMaxDevices; ++i) {
    if (static_cast<int32_t>(controller_->GetEntryProductId(i)) == product_id_ &&
        controller_->GetEntryInstance(i) == instance) {
      found = i;
      break;
    }
  }
  if (!controller_->SelectDevice(found)) {
    settings_dirty_ = 1;
    return InitializeCamera();
  }

  sensor_.reset();
  sensor_ = CreateSensor(static_cast<uint16_t>(product_id_), controller_.get(), clock_);
  if (!sensor_) return 0;
  table_index_ = found;
  settings_dirty_ = 1;
  return InitializeCamera();
}

int32_t CMorvexZ3U2Base::InitializeCamera() {
  if (!controller_) return 0;
  if (!controller_->PrepareTransfers()) return 0;
  controller_->ReadCameraInfo(camera_info_);
  if (!sensor_) return 0;
  if (!WaitUntilReady()) return 0;
  if (!sensor_->Probe()) return 0;
  return sensor_->Initialize();
}

// Newer firmware reports a ready line; the camera is polled until it is up,
// with a pulse on register 130 every 25 s to nudge a stuck FPGA.
int32_t CMorvexZ3U2Base::WaitUntilReady() {
  uint8_t info[kCameraInfoSize] = {};
  const bool info_read = controller_->ReadCameraInfo(info) != 0;
  const uint16_t version = LoadLe16(info + kInfoFirmwareVersionOffset);
  const uint8_t ready_line = info[kInfoReadyLineOffset];
  if (!info_read || version < kFirmwareReadyLine || ready_line != 1) {
    Trace("Cypress=0x%X(%s), GPIO25 flag=%d(%s)", version, version >= kFirmwareReadyLine ? "OK" : "NG",
          ready_line, ready_line == 1 ? "OK" : "NG");
    return 1;
  }

  uint8_t flag = 0;
  uint32_t interval_start = clock_.TickCount();
  for (int poll = 0; poll < kReadyPolls; ++poll) {
    flag = 0;
    if (controller_->ReadReadyFlag(&flag) && flag == 1) return 1;
    clock_.Sleep(kReadyPollMs);
    if (clock_.TickCount() - interval_start >= kReadyPulseIntervalMs) {
      PulseReadyRegister();
      interval_start = clock_.TickCount();
    }
  }
  return flag == 1 ? 1 : 0;
}

void CMorvexZ3U2Base::PulseReadyRegister() {
  platform::ScopedTimerResolution resolution(clock_);
  uint8_t value = 0;
  if (!controller_->ReadFpgaRegister(fpga_reg::kReadyPulse, &value)) value = 0;
  controller_->WriteFpgaRegister(fpga_reg::kReadyPulse, value & ~1u);
  clock_.Sleep(50);
  controller_->WriteFpgaRegister(fpga_reg::kReadyPulse, value | 1u);
  clock_.Sleep(50);
  controller_->WriteFpgaRegister(fpga_reg::kReadyPulse, value & ~1u);
}

int32_t CMorvexZ3U2Base::CloseCamera() {
  StopStream(1);
  // The controller and buffers go next: the frame thread must be gone first,
  // however long its transfer resists the aborts.
  while (frame_thread_ && !EndFrameThread(0)) {
  }
  if (controller_) controller_->CloseStream();
  controller_.reset();
  std::memset(camera_info_, 0, sizeof(camera_info_));
  reserved_word_ = 0;
  transfer_mode_.store(0);
  FreeBuffers();
  frame_byte_count_ = 0;
  sensor_.reset();
  thread_end_event_.Reset();
  failure_flag_.store(0);
  return 1;
}

}  // namespace morvex
