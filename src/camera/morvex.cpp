#include "camera/morvex.h"

#include <cstring>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"

namespace morvex {
namespace {

constexpr int32_t kBitsPerColorMode[] = {8, 16, 24, 32, 48, 64};
constexpr uint8_t kIoPortRegister = 7;
constexpr uint16_t kSerialNumberAddress = 0x1040;
constexpr int32_t kSerialNumberMaxBytes = 32;
constexpr uint32_t kSromByteWaitMs = 10;
constexpr int kSromVerifyAttempts = 10;
constexpr size_t kTextBufferSize = 1024;

void SetFlag(int32_t* flag, int32_t value) {
  if (flag != nullptr) *flag = value;
}

}  // namespace

CMorvex::CMorvex(platform::Clock& clock) : clock_(clock) {}

CMorvex::~CMorvex() = default;

// --- Error state -----------------------------------------------------------------

void CMorvex::RecordError(int32_t code) {
  platform::WindowHandle window;
  {
    std::lock_guard<std::mutex> lock(error_lock_);
    std::memmove(&error_history_[1], &error_history_[0], sizeof(error_history_[0]) * (kErrorHistoryLength - 1));
    error_history_[0] = code;
    window = application_window_;
  }
  if (window != nullptr) platform::PostWindowMessage(window, kWmError, 0, code);
}

void CMorvex::PostErrorOnly(int32_t code) {
  platform::WindowHandle window;
  {
    std::lock_guard<std::mutex> lock(error_lock_);
    window = application_window_;
  }
  platform::PostWindowMessage(window, kWmError, 0, code);
}

int32_t CMorvex::PopError() {
  std::lock_guard<std::mutex> lock(error_lock_);
  const int32_t code = error_history_[0];
  std::memmove(&error_history_[0], &error_history_[1], sizeof(error_history_[0]) * (kErrorHistoryLength - 1));
  error_history_[kErrorHistoryLength - 1] = 0;
  return code;
}

bool CMorvex::RequireDevice() {
  if (device_ != nullptr) return true;
  RecordError(kErrNotReady);
  return false;
}

// --- Lifetime and selection ----------------------------------------------------------

int32_t CMorvex::Initialize(platform::WindowHandle window) {
  std::lock_guard<std::mutex> lock(error_lock_);
  application_window_ = window;
  return 1;
}

int32_t CMorvex::EnumDevice(char* names) {
  (void)names;
  if (!RequireDevice()) return 0;
  return 0;  // enumeration runs on the device object
}

int32_t CMorvex::EnumDeviceW(wchar_t* names) {
  (void)names;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::GetDeviceName(int32_t device, char* buffer, int32_t size) {
  (void)device;
  (void)buffer;
  if (!RequireDevice()) return 0;
  if (size <= 16) {
    RecordError(kErrArgument);
    return 0;
  }
  RecordError(kErrNoDevice);
  return 0;
}

int32_t CMorvex::GetDeviceNameW(int32_t device, wchar_t* buffer, int32_t length) {
  if (buffer == nullptr || length <= 0) {
    RecordError(kErrArgument);
    return 0;
  }
  // A failed narrow step has recorded its reason; an empty name is no success.
  char narrow[256] = {};
  if (!GetDeviceName(device, narrow, sizeof(narrow))) return 0;
  wchar_t wide[kTextBufferSize];
  if ( !platform::NarrowToWide(narrow, wide, kTextBufferSize) ||
      std::wcslen(wide) + 1 > static_cast<size_t>(length)) {
    RecordError(kErrFile);
    return 0;
  }
  std::memcpy(buffer, wide, (std::wcslen(wide) + 1) * sizeof(wchar_t));
  return 1;
}

int32_t CMorvex::SetDeviceNumber(int32_t device) {
  (void)device;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::GetCameraInfo(CameraInfoRecord* info) {
  if (!RequireDevice()) return 0;
  if (info == nullptr) {
    RecordError(kErrArgument);
    return 0;
  }
  if (info->size <= 35) {
    RecordError(kErrBuffer);
    return 0;
  }
  return 0;  // the limits come from the device object
}

int32_t CMorvex::Close() {
  // Without a device object the stop records kErrNotReady and closing goes on.
  StopPreview();
  return 1;
}

// --- Direct device access ----------------------------------------------------------------

int32_t CMorvex::ReadSensorRegister(int32_t reg, bool full_address, int32_t* flag) {
  SetFlag(flag, 0);
  if (registers_ == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  const uint32_t address = full_address ? static_cast<uint32_t>(reg) : (static_cast<uint32_t>(reg) & 0xFF);
  uint32_t value = 0;
  if (!registers_->ReadRegisterRaw(address, &value)) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  SetFlag(flag, 1);
  return static_cast<int32_t>(value);
}

int32_t CMorvex::WriteSensorRegister(int32_t reg, int32_t value, bool full_width) {
  if (registers_ == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  const uint32_t address = full_width ? static_cast<uint32_t>(reg) : (static_cast<uint32_t>(reg) & 0xFF);
  const uint32_t data = full_width ? static_cast<uint32_t>(value) : (static_cast<uint32_t>(value) & 0xFFFF);
  if (!registers_->WriteRegisterRaw(address, data)) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  return 1;
}

int32_t CMorvex::ReadFpgaRegister(int32_t reg, int32_t* flag) {
  SetFlag(flag, 0);
  if (registers_ == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  uint16_t value = 0;
  if (!registers_->ReadFpgaRegister(static_cast<uint8_t>(reg & 0xFF), &value)) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  SetFlag(flag, 1);
  return value;
}

int32_t CMorvex::WriteFpgaRegister(int32_t reg, int32_t value) {
  if (registers_ == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  if (!registers_->WriteFpgaRegister(static_cast<uint8_t>(reg & 0xFF), static_cast<uint16_t>(value & 0xFFFF))) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  return 1;
}

int32_t CMorvex::GetIOPort(uint8_t* value) {
  if (registers_ == nullptr) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  uint16_t port = 0;
  if (value == nullptr || !registers_->ReadFpgaRegister(kIoPortRegister, &port)) {
    PostErrorOnly(kErrArgument);
    return 0;
  }
  *value = static_cast<uint8_t>(port & 0xFF);
  return 1;
}

int32_t CMorvex::SetIOPort(int32_t value) {
  if (registers_ == nullptr) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  return registers_->WriteFpgaRegister(kIoPortRegister, static_cast<uint16_t>(value & 0xFF)) ? 1 : 0;
}

int32_t CMorvex::ReadSromId(int32_t address, int32_t* flag) {
  SetFlag(flag, 0);
  uint8_t byte = 0;
  if (registers_ == nullptr || !registers_->ReadSromByte(static_cast<uint16_t>(address & 0xFFF), &byte)) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  SetFlag(flag, 1);
  return byte;
}

int32_t CMorvex::WriteSromId(int32_t address, int32_t value) {
  const uint16_t at = static_cast<uint16_t>(address & 0xFFF);
  const uint8_t byte = static_cast<uint8_t>(value & 0xFF);
  if (registers_ == nullptr || !registers_->WriteSromByte(at, byte)) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  // Verification repairs what it can; the first write already counts.
  for (int attempt = 0; attempt < kSromVerifyAttempts; ++attempt) {
    uint8_t read_back = 0;
    if (!registers_->ReadSromByte(at, &read_back)) {
      PostErrorOnly(kErrNotReady);
    } else if (read_back == byte) {
      break;
    }
    registers_->WriteSromByte(at, byte);
  }
  return 1;
}

int32_t CMorvex::ReadSerialNumber(char* buffer, int32_t size) {
  if (buffer == nullptr || size < kSerialNumberMaxBytes) {
    RecordError(kErrArgument);
    return 0;
  }
  if (registers_ == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  uint8_t bytes[kSerialNumberMaxBytes] = {};
  int32_t count = 0;
  bool first_read_failed = false;
  while (count < kSerialNumberMaxBytes) {
    uint8_t byte = 0;
    const bool ok = registers_->ReadSromByte(static_cast<uint16_t>(kSerialNumberAddress + count), &byte);
    platform::PreciseSleep(clock_, kSromByteWaitMs);
    if (!ok) {
      first_read_failed = count == 0;
      break;
    }
    bytes[count++] = byte;
    if (byte == 0xFF) break;
  }
  if (first_read_failed) return 0;
  if (bytes[0] == 0 || bytes[0] == 0xFF) return 1;  // nothing stored; the buffer stays as it was

  // The text ends at the first 0 or 0xFF byte, or at the end of what was read.
  int32_t length = 0;
  while (length < count && bytes[length] != 0 && bytes[length] != 0xFF) ++length;
  if (length == kSerialNumberMaxBytes) {
    // All 32 bytes are text: no terminator fits within the serial number.
    RecordError(kErrBuffer);
    return 0;
  }
  std::memcpy(buffer, bytes, static_cast<size_t>(length));
  buffer[length] = '\0';
  return 1;
}

int32_t CMorvex::ReadSerialNumberW(wchar_t* buffer, int32_t length) {
  if (buffer == nullptr || length <= 0) {
    RecordError(kErrArgument);
    return 0;
  }
  char narrow[kTextBufferSize] = {};
  if (!ReadSerialNumber(narrow, sizeof(narrow))) return 0;
  wchar_t wide[kTextBufferSize];
  if (!platform::NarrowToWide(narrow, wide, kTextBufferSize) || std::wcslen(wide) + 1 > static_cast<size_t>(length)) {
    RecordError(kErrFile);
    return 0;
  }
  std::memcpy(buffer, wide, (std::wcslen(wide) + 1) * sizeof(wchar_t));
  return 1;
}

// --- Capture geometry and video format ------------------------------------------------------

bool CMorvex::CaptureWindowValid() const {
  if (capture_width_ < 0 || capture_height_ < 0 || capture_x_ < 0 || capture_y_ < 0) return false;
  if (capture_width_ > kSensorWidth || capture_height_ > kSensorHeight) return false;
  if (capture_x_ > kSensorWidth || capture_y_ > kSensorHeight) return false;
  if (capture_x_ + capture_width_ > kSensorWidth || capture_y_ + capture_height_ > kSensorHeight) return false;
  switch (subsample_) {
    case 2: case 3: case 17: case 18: case 19:
      return false;
    default:
      return true;
  }
}

int32_t CMorvex::SetCaptureWindow(int32_t width, int32_t height) {
  (void)width;
  (void)height;
  if (!RequireDevice()) return 0;
  return 0;  // presets come from the settings store
}

int32_t CMorvex::SetCaptureWindowEx(int32_t total_h, int32_t x, int32_t width, int32_t total_v, int32_t y,
                                    int32_t height) {
  (void)total_h, (void)x, (void)width, (void)total_v, (void)y, (void)height;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::GetCaptureWindowEx(int32_t* total_h, int32_t* x, int32_t* width, int32_t* total_v, int32_t* y,
                                    int32_t* height) const {
  SetFlag(total_h, total_h_);
  SetFlag(x, capture_x_);
  SetFlag(width, capture_width_);
  SetFlag(total_v, total_v_);
  SetFlag(y, capture_y_);
  SetFlag(height, capture_height_);
  return 1;
}

int32_t CMorvex::SetSubSample(int32_t mode) {
  if (mode != 0 && mode != 1) return 0;  // refused without an error
  subsample_ = mode;
  return 1;
}

int32_t CMorvex::SetColorMode(int32_t bits_per_pixel) {
  // The device's output capabilities are checked first once it exists.
  for (int32_t index = 0; index < 6; ++index) {
    if (kBitsPerColorMode[index] == bits_per_pixel) {
      color_mode_ = index;
      return 1;
    }
  }
  RecordError(kErrArgument);
  return 0;
}

int32_t CMorvex::GetColorMode() const {
  if (color_mode_ < 0 || color_mode_ > 5) return -1;
  return kBitsPerColorMode[color_mode_];
}

int32_t CMorvex::SetSamplingRate(int32_t rate) {
  (void)rate;
  return 0;  // without a device object: 0 and no error
}

int32_t CMorvex::GetSamplingRate(int32_t* rate) const {
  SetFlag(rate, 0);
  return 0;
}

int32_t CMorvex::SetWaitTime(int32_t milliseconds) {
  if (milliseconds < 0) return 0;  // refused without an error
  wait_time_ms_ = milliseconds;
  return 1;
}

// --- Acquisition and preview window -----------------------------------------------------------

int32_t CMorvex::Preview() {
  return CallBackPreview(nullptr, nullptr, 0, 0);
}

int32_t CMorvex::CallBackPreview(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order) {
  (void)buffer, (void)size, (void)row_order;
  {
    std::lock_guard<std::mutex> lock(error_lock_);
    callback_window_ = window;
  }
  if (!StartPreview()) {
    Close();
    RecordError(kErrAcquisition);
    return 0;
  }
  return 1;
}

int32_t CMorvex::Capture() {
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::SnapShot(void* buffer, int32_t size, int32_t row_order) {
  (void)buffer, (void)size, (void)row_order;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::Trigger(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order) {
  (void)window, (void)buffer, (void)size, (void)row_order;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::StartPreview() {
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::StopPreview() {
  if (!RequireDevice()) return 0;
  return 1;
}

int32_t CMorvex::GetImage(void* buffer, int32_t size, int32_t row_order) {
  (void)buffer, (void)size, (void)row_order;
  if (!RequireDevice()) return 0;
  RecordError(kErrBuffer);  // no image is held yet
  return 0;
}

int32_t CMorvex::SetPreviewWindow(platform::WindowHandle parent, int32_t x, int32_t y, int32_t width,
                                  int32_t height) {
  (void)parent, (void)x, (void)y, (void)width, (void)height;
  if (!RequireDevice()) return 0;
  return 0;
}

// --- Filter values and other properties -------------------------------------------------------------

int32_t CMorvex::GetFilterValue(int32_t id, int32_t* flag) {
  if (!RequireDevice()) {
    SetFlag(flag, 0);
    return 0;
  }
  SetFlag(flag, 1);
  int32_t value = 0;
  if (image_.Get(id, &value) == CachedFilterResult::kDone) return value;
  if (id == 101) {  // the temperature is read with Morvex_GetTemperatureEx
    SetFlag(flag, 0);
    RecordError(kErrUnsupported);
    return -1;
  }
  // Device-backed identifiers (13-18, 100, 104-106) are answered by the device object.
  SetFlag(flag, 0);
  RecordError(kErrArgument);
  return 0;
}

int32_t CMorvex::SetFilterValue(int32_t id, int32_t value) {
  if (!RequireDevice()) return 0;
  switch (image_.Set(id, value)) {
    case CachedFilterResult::kDone:
      return 1;
    case CachedFilterResult::kOutOfRange:
      RecordError(kErrArgument);
      return 0;
    case CachedFilterResult::kNotCached:
      break;
  }
  RecordError(kErrArgument);
  return 0;
}

double CMorvex::GetExposureTimeEx(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return -1.0;
  return -1.0;
}

int32_t CMorvex::SetExposureTimeEx(double seconds) {
  (void)seconds;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::GetRealExposureTime(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::SetRealExposureTime(int32_t microseconds) {
  (void)microseconds;
  if (!RequireDevice()) return 0;
  return 0;
}

double CMorvex::GetTemperatureEx(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return 0.0;
  return 0.0;
}

int32_t CMorvex::GetMirrorH() {
  if (!RequireDevice()) return 0;
  return mirror_h_;
}

int32_t CMorvex::SetMirrorH(int32_t on) {
  (void)on;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::GetMirrorV() {
  if (device_ == nullptr) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  return mirror_v_;
}

int32_t CMorvex::SetMirrorV(int32_t on) {
  (void)on;
  if (device_ == nullptr) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  return 0;
}

int32_t CMorvex::GetAutoIris(int32_t* flag) const {
  SetFlag(flag, 1);
  return auto_iris_;
}

int32_t CMorvex::SetAutoIris(int32_t mode) {
  if (mode < 0 || mode > 2) {
    PostErrorOnly(kErrArgument);
    return 0;
  }
  auto_iris_ = mode;
  return 1;
}

int32_t CMorvex::GetInternalCorrection(int32_t* flag) {
  SetFlag(flag, 0);
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::SetInternalCorrection(int32_t value) {
  (void)value;
  if (!RequireDevice()) return 0;
  return 0;
}

// --- Mask, files and dialogs ---------------------------------------------------------------------------

int32_t CMorvex::LoadMaskFile(const char* path) {
  (void)path;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::SaveMaskFile(const char* path) {
  (void)path;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::UpdateMaskData(int32_t which) {
  (void)which;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::SaveImage(const char* path, int32_t format) {
  (void)path, (void)format;
  if (!RequireDevice()) return 0;
  RecordError(kErrNotReady);  // no image held yet
  return 0;
}

int32_t CMorvex::Record(const char* path, int32_t duration_ms, int32_t show_preview) {
  (void)duration_ms, (void)show_preview;
  if (path == nullptr || path[0] == '\0') {
    RecordError(kErrArgument);
    return 0;
  }
  {
    // Frames are not copied to the application while recording.
    std::lock_guard<std::mutex> lock(error_lock_);
    callback_window_ = nullptr;
  }
  if (!StartPreview()) {
    RecordError(kErrFile);
    return 0;
  }
  return 0;
}

int32_t CMorvex::LoadConfigFile(const char* path) {
  if (path == nullptr) return 0;
  platform::File file;
  if (!file.OpenForRead(path)) return 0;  // no error code: the list stays as it was
  const int64_t size = file.Size();
  std::vector<uint8_t> data(size > 0 ? static_cast<size_t>(size) : 0);
  // A short read is not detected: the records come from the buffer as far
  // as the file size says.
  if (!data.empty()) file.Read(data.data(), static_cast<uint32_t>(data.size()));
  file.Close();
  std::vector<ConfigPair> pairs;
  for (size_t at = 0; at + 8 <= data.size(); at += 8) {
    auto word = [&](size_t i) {
      return static_cast<int32_t>(static_cast<uint32_t>(data[i]) | static_cast<uint32_t>(data[i + 1]) << 8 |
                                  static_cast<uint32_t>(data[i + 2]) << 16 | static_cast<uint32_t>(data[i + 3]) << 24);
    };
    pairs.push_back({word(at), word(at + 4)});
  }
  std::lock_guard<std::mutex> lock(mask_lock_);
  config_list_ = std::move(pairs);
  return 1;
}

std::vector<CMorvex::ConfigPair> CMorvex::config_list() const {
  std::lock_guard<std::mutex> lock(mask_lock_);
  return config_list_;
}

int32_t CMorvex::CameraDialog(platform::WindowHandle owner) {
  (void)owner;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::AnalogDialog(platform::WindowHandle owner) {
  (void)owner;
  if (!RequireDevice()) return 0;
  return 0;
}

int32_t CMorvex::ImageDialog(platform::WindowHandle owner) {
  (void)owner;
  if (!RequireDevice()) return 0;
  return 0;
}

}  // namespace morvex
