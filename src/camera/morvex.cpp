#include "camera/morvex.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "device/morvex_usb3t2_simple_sdk.h"
#include "imaging/dib_image.h"
#include "platform/device_notification.h"
#include "platform/file.h"
#include "platform/text.h"
#include "sensors/sensor_factory.h"
#include "usb/driver_ports.h"

namespace morvex {
namespace {

constexpr int32_t kBitsPerColorMode[] = {8, 16, 24, 32, 48, 64};
constexpr uint8_t kIoPortRegister = 7;
constexpr uint16_t kSerialNumberAddress = 0x1040;
constexpr int32_t kSerialNumberMaxBytes = 32;
constexpr uint32_t kSromByteWaitMs = 10;
constexpr int kSromVerifyAttempts = 10;
constexpr size_t kTextBufferSize = 1024;

constexpr const char kDeviceNameBase[] = "MorvexVelsaTEC";
constexpr uint16_t kWhiteLevel16 = 0x0FFF;
constexpr uint16_t kReferenceDepths[] = {8, 8, 16, 16};       // dark 8, white 8, dark 16, white 16
constexpr uint16_t kDefectMapDepths[] = {8, 8, 16, 16, 8, 16};

// EEPROM addresses keep the device's full 16 bits: the serial number lies at
// 0x1040, beyond the reach of a 12-bit address.
uint16_t SromAddress(int32_t address) { return static_cast<uint16_t>(address & 0xFFFF); }

void SetFlag(int32_t* flag, int32_t value) {
  if (flag != nullptr) *flag = value;
}

// The device object's sensor, FPGA and EEPROM access as the direct device
// access exports see it.
class DeviceObjectRegisters : public DeviceRegisterAccess {
 public:
  explicit DeviceObjectRegisters(CMorvexZ3U2Base& device) : device_(device) {}

  bool ReadRegisterRaw(uint32_t address, uint32_t* value) override {
    uint8_t byte = 0;
    if (!device_.ReadSensorRegister(static_cast<uint16_t>(address), &byte)) return false;
    *value = byte;
    return true;
  }
  bool WriteRegisterRaw(uint32_t address, uint32_t value) override {
    return device_.WriteSensorRegister(static_cast<uint16_t>(address), static_cast<uint8_t>(value)) != 0;
  }
  bool ReadFpgaRegister(uint8_t reg, uint16_t* value) override {
    int32_t ok = 0;
    const int32_t read = device_.ReadFpgaRegister(reg, &ok);
    if (!ok) return false;
    *value = static_cast<uint16_t>(read);
    return true;
  }
  bool WriteFpgaRegister(uint8_t reg, uint16_t value) override { return device_.WriteFpgaRegister(reg, value) != 0; }
  bool ReadSromByte(uint16_t address, uint8_t* value) override { return device_.ReadSromByte(address, value) != 0; }
  bool WriteSromByte(uint16_t address, uint8_t value) override { return device_.WriteSromByte(address, value) != 0; }

 private:
  CMorvexZ3U2Base& device_;
};

}  // namespace

std::mutex& DefaultEnvironmentLock() {
  static std::mutex lock;
  return lock;
}

CMorvex::Environment& DefaultEnvironmentSlot() {
  static CMorvex::Environment environment;
  return environment;
}

void CMorvex::SetDefaultEnvironment(Environment environment) {
  std::lock_guard<std::mutex> lock(DefaultEnvironmentLock());
  DefaultEnvironmentSlot() = std::move(environment);
}

CMorvex::CMorvex(platform::Clock& clock)
    : CMorvex(clock, [] {
        std::lock_guard<std::mutex> lock(DefaultEnvironmentLock());
        return DefaultEnvironmentSlot();
      }()) {}

CMorvex::CMorvex(platform::Clock& clock, Environment environment)
    : clock_(clock),
      environment_(std::move(environment)),
      store_(environment_.settings_key.empty() ? std::string(settings::kBaseKey) : environment_.settings_key) {
  if (!environment_.make_device) {
    environment_.make_device = [&clock]() -> std::unique_ptr<CMorvexZ3U2Base> {
      return std::make_unique<CMorvexUSB3T2SimpleSdk>(DefaultDriverPort(), clock);
    };
  }
  if (!environment_.register_notices) environment_.register_notices = platform::RegisterDeviceInterfaceNotices;
}

CMorvex::~CMorvex() {
  // Only a camera that was opened has settings of its own to keep; saving
  // for a camera never opened would overwrite another camera's settings.
  const bool opened = selected_device_ >= 0;
  selected_device_ = -1;
  if (device_ != nullptr && opened) SaveCameraSettings(device_->GetTableIndex());
  Close();
  if (device_ != nullptr) device_->CloseCamera();
  DestroyDeviceAndImages();
}

void CMorvex::DestroyDeviceAndImages() {
  device_registers_.reset();
  device_.reset();
  for (auto& image : images_) image.reset();
  for (auto& image : references_) image.reset();
  for (auto& image : defect_maps_) image.reset();
  buffers_ready_ = false;
  selected_device_ = -1;
}

DeviceRegisterAccess* CMorvex::registers() const {
  return attached_registers_ != nullptr ? attached_registers_ : device_registers_.get();
}

const imaging::CDibImage* CMorvex::reference(int index) const {
  return index >= 0 && index < 4 ? references_[static_cast<size_t>(index)].get() : nullptr;
}

const imaging::CDibImage* CMorvex::defect_map(int index) const {
  return index >= 0 && index < 6 ? defect_maps_[static_cast<size_t>(index)].get() : nullptr;
}

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

bool CMorvex::RequireBuffers() {
  if (buffers_ready_) return true;
  RecordError(kErrBuffer);
  return false;
}

// --- Lifetime and selection ----------------------------------------------------------

int32_t CMorvex::Initialize(platform::WindowHandle window) {
  cpu_info_ = imaging::GetCpuInfo();
  DestroyDeviceAndImages();
  // Without a device object the instance stays as constructed: every
  // operation that needs the camera answers kErrNotReady.
  device_ = environment_.make_device();
  {
    std::lock_guard<std::mutex> lock(error_lock_);
    application_window_ = window;
  }
  if (device_ == nullptr) return 0;
  device_registers_ = std::make_unique<DeviceObjectRegisters>(*device_);
  for (auto& image : images_) image.reset(new (std::nothrow) imaging::CDibImage);
  for (auto& image : references_) image.reset(new (std::nothrow) imaging::CDibImage);
  for (auto& image : defect_maps_) image.reset(new (std::nothrow) imaging::CDibImage);

  if (window != nullptr && !environment_.register_notices(window, kFx3InterfaceGuid)) {
    PopError();
    return 0;
  }
  auto missing = [](const auto& set) {
    for (const auto& image : set)
      if (image == nullptr) return true;
    return false;
  };
  if (missing(images_) || missing(references_) || missing(defect_maps_)) {
    RecordError(kErrBuffer);
    return 0;
  }
  for (size_t i = 0; i < references_.size(); ++i)
    if (!references_[i]->Create(kSensorWidth, kSensorHeight, kReferenceDepths[i])) return 0;
  for (size_t i = 0; i < defect_maps_.size(); ++i)
    if (!defect_maps_[i]->Create(kSensorWidth, kSensorHeight, kDefectMapDepths[i])) return 0;

  // Dark frames read 0, white frames full scale; no defect is marked.
  std::memset(references_[0]->pixels(), 0, references_[0]->size_bytes());
  std::memset(references_[1]->pixels(), 0xFF, references_[1]->size_bytes());
  std::memset(references_[2]->pixels(), 0, references_[2]->size_bytes());
  for (int32_t y = 0; y < kSensorHeight; ++y) {
    uint8_t* row = references_[3]->row(y);
    for (int32_t x = 0; x < kSensorWidth; ++x) std::memcpy(row + 2 * x, &kWhiteLevel16, sizeof kWhiteLevel16);
  }
  for (auto& map : defect_maps_) std::memset(map->pixels(), 0, map->size_bytes());
  buffers_ready_ = true;

  LoadSizeSettings();
  device_->SetProductId(kProductId);
  device_->CreateController(&kFx3InterfaceGuid);
  if (device_->CountCameras(kProductId) == 1) SetDeviceNumber(0);
  LoadCameraSettings(selected_device_);
  LoadPerCameraValues();
  return 1;
}

// --- Settings persistence -------------------------------------------------------------

settings::ColorCapabilities CMorvex::ColorCapabilities() const {
  settings::ColorCapabilities caps;
  if (device_ != nullptr && device_->sensor() != nullptr) {
    caps.setting0 = device_->SupportsColorSetting0() == 1;
    caps.setting1 = device_->SupportsColorSetting1() == 1;
    caps.setting2 = device_->SupportsColorSetting2() == 1;
    return caps;
  }
  // No camera open yet: ask the sensor class of this model, which answers
  // without touching hardware.
  const std::unique_ptr<CSensorBase> probe = CreateSensor(kProductId, nullptr, clock_);
  if (probe != nullptr) {
    caps.setting0 = probe->SupportsColorSetting0() == 1;
    caps.setting1 = probe->SupportsColorSetting1() == 1;
    caps.setting2 = probe->SupportsColorSetting2() == 1;
  }
  return caps;
}

void CMorvex::LoadSizeSettings() {
  settings::SizeEntry size{total_h_, total_v_, capture_width_, capture_height_, capture_x_, capture_y_, buffer_count_};
  if (!store_.LoadFormat(selected_device_, ColorCapabilities(), &size)) return;
  total_h_ = size.th;
  total_v_ = size.tv;
  capture_width_ = size.eh;
  capture_height_ = size.ev;
  capture_x_ = size.ehs;
  capture_y_ = size.evs;
  buffer_count_ = size.buf;
}

void CMorvex::LoadPerCameraValues() {
  settings::FormatValues format{0, color_mode_, subsample_, wait_time_ms_, clock_setting_};
  const settings::ColorCapabilities caps = ColorCapabilities();
  if (!store_.LoadColorAndTiming(selected_device_, device_ != nullptr ? &caps : nullptr, &format)) return;
  color_mode_ = format.color;
  subsample_ = format.subsample;
  wait_time_ms_ = format.wait_time;
  clock_setting_ = format.clock;
}

settings::AnalogueRecord CMorvex::analogue_settings() const {
  settings::AnalogueRecord record;
  record.global = global_gain_;
  record.color_g1 = color_gain_g1_;
  record.color_r = color_gain_r_;
  record.color_b = color_gain_b_;
  record.color_g2 = color_gain_g2_;
  record.exposure = exposure_;
  record.mirror_v = mirror_v_;
  record.mirror_h = mirror_h_;
  record.auto_iris = auto_iris_;
  record.gain_mode = gain_level_;
  record.black_level = black_level_;
  record.exposure_ex = exposure_time_s_;
  return record;
}

void CMorvex::ApplyAnalogueRecord(const settings::AnalogueRecord& record) {
  global_gain_ = record.global;
  color_gain_g1_ = record.color_g1;
  color_gain_r_ = record.color_r;
  color_gain_b_ = record.color_b;
  color_gain_g2_ = record.color_g2;
  exposure_ = record.exposure;
  mirror_v_ = record.mirror_v;
  mirror_h_ = record.mirror_h;
  auto_iris_ = record.auto_iris;
  gain_level_ = record.gain_mode;
  black_level_ = record.black_level;
  exposure_time_s_ = record.exposure_ex;
}

void CMorvex::LoadCameraSettings(int32_t camera) {
  settings::FilterRecord filter;
  if (!store_.LoadFilter(camera, &filter)) {
    image_.gray_auto_balance = 0;
    image_.bayer_gain_auto = 0;
  }
  image_.brightness = filter.brightness;
  image_.contrast = filter.contrast;
  image_.hue = filter.hue;
  image_.saturation = filter.saturation;
  image_.sharpness = filter.sharpness;
  image_.bayer_gain_red = filter.r_gain;
  image_.bayer_gain_green = filter.g_gain;
  image_.bayer_gain_blue = filter.b_gain;
  image_.gamma = filter.gamma;
  image_.bayer_mode = filter.bayer_mode;

  settings::GreyRecord grey;
  store_.LoadGrey(camera, &grey);
  image_.gray_mode = grey.mode;
  std::memcpy(image_.gray_gain, grey.gain, sizeof grey.gain);
  std::memcpy(image_.gray_offset, grey.offset, sizeof grey.offset);

  settings::AnalogueDefaults defaults;
  if (device_ != nullptr) {
    device_->GetGainDefault(&defaults.gain);
    device_->GetColorGainDefault(&defaults.color_gain);
    device_->GetExposureTimeDefault(&defaults.exposure);
    defaults.mirror_v = device_->GetMirrorVDefault();
    defaults.mirror_h = device_->GetMirrorHDefault();
    device_->GetBlackLevelDefault(&defaults.black_level);
    defaults.has_real_exposure = device_->HasRealExposureTime() == 1;
    if (defaults.has_real_exposure) device_->GetRealExposureTimeDefault(&defaults.real_exposure);
  }
  settings::AnalogueRecord record = analogue_settings();
  store_.LoadAnalogue(camera, defaults, &record);
  ApplyAnalogueRecord(record);
}

void CMorvex::SaveCameraSettings(int32_t camera) {
  store_.SaveAnalogue(camera, analogue_settings());
  settings::FilterRecord filter{image_.brightness,       image_.contrast,         image_.hue,
                                image_.saturation,       image_.sharpness,        image_.bayer_gain_red,
                                image_.bayer_gain_green, image_.bayer_gain_blue,  image_.gamma,
                                image_.bayer_mode};
  store_.SaveFilter(camera, filter);
  settings::GreyRecord grey;
  grey.mode = image_.gray_mode;
  std::memcpy(grey.gain, image_.gray_gain, sizeof grey.gain);
  std::memcpy(grey.offset, image_.gray_offset, sizeof grey.offset);
  store_.SaveGrey(camera, grey);
}

void CMorvex::SendCachedCameraSettings() {
  CMorvexZ3U2Base& device = *device_;
  device.SetGain(global_gain_);
  device.SetGainGreen1(color_gain_g1_);
  device.SetGainRed(color_gain_r_);
  device.SetGainBlue(color_gain_b_);
  device.SetGainGreen2(color_gain_g2_);
  if (device.HasRealExposureTime() == 1)
    device.SetRealExposureTime(exposure_time_s_);
  else
    device.SetExposureTime(exposure_ & 0xFFFF);
  device.SetMirrorV(mirror_v_);
  device.SetMirrorH(mirror_h_);
  if (device.HasBlackLevel() == 1) device.SetBlackLevel(black_level_);
  if (device.HasCooler() == 1) {
    device.SetCooler(1);
    cooler_ = 1;
  }
  if (device.HasAuxiliarySwitch() == 1) {
    device.SetAuxiliarySwitch(0);
    aux_switch_ = 0;
  }
  if (device.HasGainLevel() == 1) device.SetGainLevel(gain_level_);
}

// --- Enumeration and selection -----------------------------------------------------------

std::string CMorvex::DeviceName(int32_t number) const {
  char name[64];
  std::snprintf(name, sizeof name, "%s_%02d", kDeviceNameBase, static_cast<int>(number));
  return name;
}

int32_t CMorvex::EnumDevice(char* names) {
  if (!RequireDevice()) return 0;
  if (names == nullptr) {
    RecordError(kErrArgument);
    return 0;
  }
  const int32_t count = device_->CountCameras(kProductId);
  int32_t present = 0;
  for (int32_t number = 0; number < count; ++number) {
    if (device_->IsCameraPresent(number) != 1) continue;
    ++present;
    // The caller's list holds ten names; cameras after the tenth are counted only.
    if (present <= kMaxEnumeratedNames) {
      const std::string name = DeviceName(present);
      std::snprintf(names + (present - 1) * kNameEntryLength, kNameEntryLength, "%s", name.c_str());
    }
  }
  for (int32_t entry = present; entry < kMaxEnumeratedNames; ++entry) names[entry * kNameEntryLength] = '\0';
  return present;
}

int32_t CMorvex::EnumDeviceW(wchar_t* names) {
  if (!RequireDevice()) return 0;
  if (names == nullptr) {
    RecordError(kErrArgument);
    return 0;
  }
  char narrow[kMaxEnumeratedNames * kNameEntryLength];
  const int32_t present = EnumDevice(narrow);
  for (int32_t entry = 0; entry < kMaxEnumeratedNames; ++entry) {
    wchar_t* wide = names + entry * kNameEntryLength;
    if (entry >= present || !platform::NarrowToWide(narrow + entry * kNameEntryLength, wide, kNameEntryLength))
      wide[0] = L'\0';
  }
  return present;
}

int32_t CMorvex::GetDeviceName(int32_t device, char* buffer, int32_t size) {
  if (!RequireDevice()) return 0;
  if (buffer == nullptr || size <= 16) {
    RecordError(kErrArgument);
    return 0;
  }
  if (device < 0 || device >= device_->GetMaxDevices() || device_->IsCameraPresent(device) != 1) {
    RecordError(kErrNoDevice);
    return 0;
  }
  const std::string name = DeviceName(device + 1);
  // The name with its terminator must fit: a short buffer is refused, never overrun.
  if (name.size() + 1 > static_cast<size_t>(size)) {
    RecordError(kErrArgument);
    return 0;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return 1;
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
  if (!platform::NarrowToWide(narrow, wide, kTextBufferSize) || std::wcslen(wide) + 1 > static_cast<size_t>(length)) {
    RecordError(kErrFile);
    return 0;
  }
  std::memcpy(buffer, wide, (std::wcslen(wide) + 1) * sizeof(wchar_t));
  return 1;
}

int32_t CMorvex::SetDeviceNumber(int32_t device) {
  if (!RequireDevice()) return 0;
  // Only an opened camera's settings are saved: before the first opening the
  // cache holds no camera's values and would overwrite another camera's.
  if (selected_before_ && selected_device_ >= 0) SaveCameraSettings(device_->GetTableIndex());
  selected_before_ = true;
  if (device_->IsCameraPresent(device) != 1) {
    RecordError(kErrNoDevice);
    return 0;
  }
  if (device == selected_device_) return 1;
  if (!device_->OpenCamera(device)) {
    RecordError(kErrNoDevice);
    return 0;
  }
  LoadCameraSettings(device_->GetTableIndex());
  SendCachedCameraSettings();
  selected_device_ = device;
  return 1;
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
  info->sensor_width = kSensorWidth;
  info->sensor_height = kSensorHeight;
  device_->GetGainMin(&info->min_global_gain);
  device_->GetGainMax(&info->max_global_gain);
  device_->GetColorGainMin(&info->min_color_gain);
  device_->GetColorGainMax(&info->max_color_gain);
  device_->GetExposureTimeMin(&info->min_exposure);
  device_->GetExposureTimeMax(&info->max_exposure);
  if (info->size >= 56) {
    device_->GetRealExposureTimeMin(&info->min_exposure_time);
    device_->GetRealExposureTimeMax(&info->max_exposure_time);
  }
  return 1;
}

int32_t CMorvex::Close() {
  // Without a device object the stop records kErrNotReady and closing goes on.
  StopPreview();
  if (device_ != nullptr) device_->StopStream(0);
  return 1;
}

// --- Direct device access ----------------------------------------------------------------

int32_t CMorvex::ReadSensorRegister(int32_t reg, bool full_address, int32_t* flag) {
  SetFlag(flag, 0);
  if (registers() == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  const uint32_t address = full_address ? static_cast<uint32_t>(reg) : (static_cast<uint32_t>(reg) & 0xFF);
  uint32_t value = 0;
  if (!registers()->ReadRegisterRaw(address, &value)) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  SetFlag(flag, 1);
  return static_cast<int32_t>(value);
}

int32_t CMorvex::WriteSensorRegister(int32_t reg, int32_t value, bool full_width) {
  if (registers() == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  const uint32_t address = full_width ? static_cast<uint32_t>(reg) : (static_cast<uint32_t>(reg) & 0xFF);
  const uint32_t data = full_width ? static_cast<uint32_t>(value) : (static_cast<uint32_t>(value) & 0xFFFF);
  if (!registers()->WriteRegisterRaw(address, data)) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  return 1;
}

int32_t CMorvex::ReadFpgaRegister(int32_t reg, int32_t* flag) {
  SetFlag(flag, 0);
  if (registers() == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  uint16_t value = 0;
  if (!registers()->ReadFpgaRegister(static_cast<uint8_t>(reg & 0xFF), &value)) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  SetFlag(flag, 1);
  return value;
}

int32_t CMorvex::WriteFpgaRegister(int32_t reg, int32_t value) {
  if (registers() == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  if (!registers()->WriteFpgaRegister(static_cast<uint8_t>(reg & 0xFF), static_cast<uint16_t>(value & 0xFFFF))) {
    RecordError(kErrDeviceIo);
    return 0;
  }
  return 1;
}

int32_t CMorvex::GetIOPort(uint8_t* value) {
  if (registers() == nullptr) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  uint16_t port = 0;
  if (value == nullptr || !registers()->ReadFpgaRegister(kIoPortRegister, &port)) {
    PostErrorOnly(kErrArgument);
    return 0;
  }
  *value = static_cast<uint8_t>(port & 0xFF);
  return 1;
}

int32_t CMorvex::SetIOPort(int32_t value) {
  if (registers() == nullptr) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  return registers()->WriteFpgaRegister(kIoPortRegister, static_cast<uint16_t>(value & 0xFF)) ? 1 : 0;
}

int32_t CMorvex::ReadSromId(int32_t address, int32_t* flag) {
  SetFlag(flag, 0);
  uint8_t byte = 0;
  if (registers() == nullptr || !registers()->ReadSromByte(SromAddress(address), &byte)) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  SetFlag(flag, 1);
  return byte;
}

int32_t CMorvex::WriteSromId(int32_t address, int32_t value) {
  const uint16_t at = SromAddress(address);
  const uint8_t byte = static_cast<uint8_t>(value & 0xFF);
  if (registers() == nullptr || !registers()->WriteSromByte(at, byte)) {
    PostErrorOnly(kErrNotReady);
    return 0;
  }
  // Verification repairs what it can; the first write already counts.
  for (int attempt = 0; attempt < kSromVerifyAttempts; ++attempt) {
    uint8_t read_back = 0;
    if (!registers()->ReadSromByte(at, &read_back)) {
      PostErrorOnly(kErrNotReady);
    } else if (read_back == byte) {
      break;
    }
    registers()->WriteSromByte(at, byte);
  }
  return 1;
}

int32_t CMorvex::ReadSerialNumber(char* buffer, int32_t size) {
  if (buffer == nullptr || size < kSerialNumberMaxBytes) {
    RecordError(kErrArgument);
    return 0;
  }
  if (registers() == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  uint8_t bytes[kSerialNumberMaxBytes] = {};
  int32_t count = 0;
  bool first_read_failed = false;
  while (count < kSerialNumberMaxBytes) {
    uint8_t byte = 0;
    const bool ok = registers()->ReadSromByte(static_cast<uint16_t>(kSerialNumberAddress + count), &byte);
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
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::SnapShot(void* buffer, int32_t size, int32_t row_order) {
  (void)buffer, (void)size, (void)row_order;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::Trigger(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order) {
  (void)window, (void)buffer, (void)size, (void)row_order;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::StartPreview() {
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::StopPreview() {
  if (!RequireDevice()) return 0;
  return 1;
}

int32_t CMorvex::GetImage(void* buffer, int32_t size, int32_t row_order) {
  (void)buffer, (void)size, (void)row_order;
  if (!RequireDevice() || !RequireBuffers()) return 0;
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
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::SaveMaskFile(const char* path) {
  (void)path;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::UpdateMaskData(int32_t which) {
  (void)which;
  if (!RequireDevice() || !RequireBuffers()) return 0;
  return 0;
}

int32_t CMorvex::SaveImage(const char* path, int32_t format) {
  (void)path, (void)format;
  if (!RequireDevice() || !RequireBuffers()) return 0;
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
