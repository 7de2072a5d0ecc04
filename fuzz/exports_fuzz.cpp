// The export surface: a sequence of export calls with arbitrary handles,
// sizes, flags and values on emulated cameras. Buffers are null, shorter
// than the call needs, or large enough; their sizes are always their true
// sizes, so any write past them is the library's. Paths lie in the scratch
// directory, or are null, empty, too long or in no existing directory.
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "MorvexSdk.h"
#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "fuzz_support.h"

namespace {

using morvex::fuzz::FuzzInput;

constexpr size_t kImageBytes = 640 * 512 * 8;  // the largest image of every colour mode
constexpr int kMaxCalls = 48;

morvex::emulator::EmulatorPort& Port() {
  static morvex::emulator::EmulatorPort* port = [] {
    auto* made = new morvex::emulator::EmulatorPort();
    morvex::emulator::EmulatedCameraOptions options;
    options.scene = morvex::emulator::Scene::kRamp;
    made->AddCamera(options);
    return made;
  }();
  return *port;
}

// The device object's pauses (register writes, EEPROM cycles, readiness
// polls) pass at once; frames still come on the emulator's own clock.
morvex::platform::Clock& DeviceClock() {
  static morvex::platform::SimulatedClock clock;
  return clock;
}

// A buffer of exactly the size it claims.
class Buffer {
 public:
  // Null (with any size), short, or `needed` bytes.
  Buffer(FuzzInput& in, size_t needed) {
    const uint8_t kind = in.Byte();
    if (kind < 32) {
      size_ = in.Value();
      return;
    }
    const size_t bytes = kind < 96 ? in.Byte() % 65 : needed;
    storage_.reset(new uint8_t[bytes > 0 ? bytes : 1]);
    std::memset(storage_.get(), 0xA5, bytes > 0 ? bytes : 1);
    size_ = static_cast<int>(bytes);
  }
  // Null or `needed` bytes: for calls that take no size.
  static Buffer Fixed(FuzzInput& in, size_t needed) {
    Buffer buffer;
    if (in.Byte() >= 32) {
      buffer.storage_.reset(new uint8_t[needed]);
      std::memset(buffer.storage_.get(), 0xA5, needed);
      buffer.size_ = static_cast<int>(needed);
    }
    return buffer;
  }
  template <typename T>
  T* as() const {
    return reinterpret_cast<T*>(storage_.get());
  }
  int size() const { return size_; }

 private:
  Buffer() = default;
  std::unique_ptr<uint8_t[]> storage_;
  int size_ = 0;
};

class Session {
 public:
  explicit Session(FuzzInput& in) : in_(in) {}
  ~Session() {
    for (int handle : handles_) Morvex_Release(handle);
  }

  void Run() {
    Initialize();
    for (int call = 0; call < kMaxCalls && !in_.empty(); ++call) Call(in_.Byte());
  }

 private:
  void Initialize() {
    if (handles_.size() >= 2) return;
    const int handle = Morvex_Initialize(nullptr);
    if (handle != 0) handles_.push_back(handle);
  }

  int Handle() {
    const uint8_t pick = in_.Byte();
    if (pick < 200 && !handles_.empty()) return handles_[pick % handles_.size()];
    switch (pick % 4) {
      case 0:
        return 0;
      case 1:
        return -1;
      case 2:
        return handles_.empty() ? 1 : handles_.back() + 1;
      default:
        return in_.Value();
    }
  }

  std::string Path() {
    const std::string& dir = morvex::fuzz::ScratchDir();
    static const char* const kNames[] = {"/image.bmp", "/image.png", "/mask.bin",  "/config.bin",
                                         "/movie.avi", "/image.tif", "/image.jpg", "/a"};
    switch (in_.Byte() % 6) {
      case 0:
        return std::string();
      case 1:
        return dir + "/missing/directory/file";
      case 2:
        return dir + "/" + std::string(1500, 'x');
      case 3:
        return dir;  // a directory, not a file
      default:
        return dir + kNames[in_.Byte() % 8];
    }
  }

  // A file with bytes from the input, for the loaders.
  void MaybeWrite(const std::string& path) {
    if (path.empty() || !in_.Bool()) return;
    const std::vector<uint8_t> bytes = in_.Bytes(in_.U16() % 2048);
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
      if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fclose(file);
    }
  }

  static std::wstring Wide(const std::string& narrow) { return std::wstring(narrow.begin(), narrow.end()); }

  void Call(uint8_t op) {
    switch (op % 64) {
      case 0:
        Initialize();
        break;
      case 1: {
        const int handle = Handle();
        if (Morvex_Release(handle) == 1)
          for (auto it = handles_.begin(); it != handles_.end(); ++it)
            if (*it == handle) {
              handles_.erase(it);
              break;
            }
        break;
      }
      case 2:
        Morvex_GetLastError(Handle());
        Morvex_GetStatus(Handle());
        Morvex_GetDllVersion();
        break;
      case 3: {
        const int h = Handle();
        Buffer names = Buffer::Fixed(in_, MORVEX_MAX_ENUM * MORVEX_NAME_LENGTH);
        Morvex_EnumDevice(h, names.as<char>());
        break;
      }
      case 4: {
        const int h = Handle();
        Buffer names = Buffer::Fixed(in_, MORVEX_MAX_ENUM * MORVEX_NAME_LENGTH * sizeof(wchar_t));
        Morvex_EnumDeviceW(h, names.as<wchar_t>());
        break;
      }
      case 5: {
        const int h = Handle(), device = in_.Value();
        Buffer name(in_, MORVEX_NAME_LENGTH);
        Morvex_GetDeviceName(h, device, name.as<char>(), name.size());
        break;
      }
      case 6: {
        const int h = Handle(), device = in_.Value();
        Buffer name(in_, MORVEX_NAME_LENGTH * sizeof(wchar_t));
        Morvex_GetDeviceNameW(h, device, name.as<wchar_t>(), name.size() / static_cast<int>(sizeof(wchar_t)));
        break;
      }
      case 7: {
        const int h = Handle();
        Morvex_SetDeviceNumber(h, in_.Byte() < 200 ? 0 : in_.Value());
        break;
      }
      case 8: {
        const int h = Handle();
        const uint8_t kind = in_.Byte();
        if (kind < 32) {
          Morvex_GetCameraInfo(h, nullptr);
          break;
        }
        // The size field tells the true size of the record.
        const size_t bytes = kind < 128 ? 4 + in_.Byte() % 53 : sizeof(MORVEX_CAMERA_INFO);
        std::unique_ptr<uint8_t[]> record(new uint8_t[bytes]);
        std::memset(record.get(), 0, bytes);
        const int32_t size_field = static_cast<int32_t>(bytes);
        std::memcpy(record.get(), &size_field, sizeof(size_field));
        Morvex_GetCameraInfo(h, reinterpret_cast<MORVEX_CAMERA_INFO*>(record.get()));
        break;
      }
      case 9:
        Morvex_Close(Handle());
        break;
      case 10: {
        const int h = Handle(), width = in_.Value();
        Morvex_SetCaptureWindow(h, width, in_.Value());
        break;
      }
      case 11: {
        const int h = Handle();
        int32_t v[6];
        for (int32_t& value : v) value = in_.Value();
        Morvex_SetCaptureWindowEx(h, v[0], v[1], v[2], v[3], v[4], v[5]);
        break;
      }
      case 12: {
        const int h = Handle();
        Buffer values[6] = {Buffer::Fixed(in_, 4), Buffer::Fixed(in_, 4), Buffer::Fixed(in_, 4),
                            Buffer::Fixed(in_, 4), Buffer::Fixed(in_, 4), Buffer::Fixed(in_, 4)};
        Morvex_GetCaptureWindowEx(h, values[0].as<int>(), values[1].as<int>(), values[2].as<int>(),
                                  values[3].as<int>(), values[4].as<int>(), values[5].as<int>());
        Morvex_Width(h);
        Morvex_Height(h);
        break;
      }
      case 13: {
        const int h = Handle();
        Morvex_SetSubSample(h, in_.Value());
        Morvex_GetSubSample(h);
        break;
      }
      case 14: {
        const int h = Handle();
        static const int kDepths[] = {8, 16, 24, 32, 48, 64};
        Morvex_SetColorMode(h, in_.Byte() < 200 ? kDepths[in_.Byte() % 6] : in_.Value());
        Morvex_GetColorMode(h);
        break;
      }
      case 15: {
        const int h = Handle();
        Morvex_SetSamplingRate(h, in_.Value());
        Buffer rate = Buffer::Fixed(in_, sizeof(int));
        Morvex_GetSamplingRate(h, rate.as<int>());
        Morvex_GetVideoFormat(h, rate.as<int>());
        break;
      }
      case 16: {
        const int h = Handle();
        Morvex_SetWaitTime(h, in_.Byte() < 200 ? in_.Byte() % 20 : in_.Value());
        Morvex_GetWaitTime(h);
        break;
      }
      case 17:
        Morvex_Preview(Handle());
        break;
      case 18: {
        const int h = Handle();
        Buffer& image = Registered(Buffer(in_, kImageBytes));
        Morvex_CallBackPreview(h, nullptr, image.as<void>(), image.size(), in_.Value());
        Morvex_StopPreview(h);
        break;
      }
      case 19:
        Morvex_Capture(Handle());
        break;
      case 20: {
        const int h = Handle();
        Buffer image(in_, kImageBytes);
        Morvex_SnapShot(h, image.as<void>(), image.size(), in_.Value());
        break;
      }
      case 21: {
        const int h = Handle();
        Buffer& image = Registered(Buffer(in_, kImageBytes));
        Morvex_Trigger(h, nullptr, image.as<void>(), image.size(), in_.Value());
        Morvex_StopPreview(h);
        break;
      }
      case 22:
        Morvex_StartPreview(Handle());
        break;
      case 23:
        Morvex_StopPreview(Handle());
        break;
      case 24: {
        const int h = Handle();
        Buffer image(in_, kImageBytes);
        Morvex_GetImage(h, image.as<void>(), image.size(), in_.Value());
        break;
      }
      case 25: {
        const int h = Handle();
        int32_t v[4];
        for (int32_t& value : v) value = in_.Value();
        Morvex_SetPreviewWindow(h, nullptr, v[0], v[1], v[2], v[3]);
        break;
      }
      case 26:
      case 27: {
        const int h = Handle();
        const int filter = in_.Byte() < 220 ? in_.Byte() % 110 : in_.Value();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        if (op % 64 == 26)
          Morvex_GetFilterValue(h, filter, flag.as<int>());
        else
          Morvex_SetFilterValue(h, filter, in_.Value());
        break;
      }
      case 28: {
        const int h = Handle();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_GetExposureTimeEx(h, flag.as<int>());
        uint64_t bits = static_cast<uint64_t>(in_.U32()) | static_cast<uint64_t>(in_.U32()) << 32;
        double seconds;
        std::memcpy(&seconds, &bits, sizeof(seconds));  // NaN and infinities too
        Morvex_SetExposureTimeEx(h, seconds);
        break;
      }
      case 29: {
        const int h = Handle();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_GetRealExposureTime(h, flag.as<int>());
        Morvex_SetRealExposureTime(h, in_.Value());
        Morvex_GetTemperatureEx(h, flag.as<int>());
        Morvex_GetTemperature(h, flag.as<int>());
        break;
      }
      case 30: {
        const int h = Handle();
        Morvex_SetMirrorH(h, in_.Value());
        Morvex_SetMirrorV(h, in_.Value());
        Morvex_GetMirrorH(h);
        Morvex_GetMirrorV(h);
        break;
      }
      case 31: {
        const int h = Handle();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_SetAutoIris(h, in_.Value());
        Morvex_GetAutoIris(h, flag.as<int>());
        Morvex_SetInternalCorrection(h, in_.Value());
        Morvex_GetInternalCorrection(h, flag.as<int>());
        break;
      }
      case 32: {
        const int h = Handle(), reg = in_.Value();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_ReadRegister(h, reg, flag.as<int>());
        Morvex_ReadRegisterEx(h, reg, flag.as<int>());
        break;
      }
      case 33: {
        const int h = Handle(), reg = in_.Value();
        if (in_.Bool())
          Morvex_WriteRegister(h, reg, in_.Value());
        else
          Morvex_WriteRegisterEx(h, reg, in_.Value());
        break;
      }
      case 34: {
        const int h = Handle(), reg = in_.Value();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_Fpga_ReadRegister(h, reg, flag.as<int>());
        break;
      }
      case 35: {
        const int h = Handle(), reg = in_.Value();
        Morvex_Fpga_WriteRegister(h, reg, in_.Value());
        break;
      }
      case 36: {
        const int h = Handle();
        Buffer port = Buffer::Fixed(in_, 1);
        Morvex_GetIOPort(h, port.as<unsigned char>(), in_.Value(), in_.Value());
        Morvex_SetIOPort(h, in_.Value());
        break;
      }
      case 37: {
        const int h = Handle(), address = in_.Value();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_ReadSromID(h, address, flag.as<int>());
        break;
      }
      case 38: {
        // EEPROM writes stay inside the emulated camera.
        const int h = Handle(), address = in_.Value();
        Morvex_WriteSromID(h, address, in_.Value());
        break;
      }
      case 39: {
        const int h = Handle();
        Buffer serial(in_, 64);
        Morvex_ReadSerialNumberA(h, serial.as<char>(), serial.size());
        break;
      }
      case 40: {
        const int h = Handle();
        Buffer serial(in_, 64 * sizeof(wchar_t));
        Morvex_ReadSerialNumberW(h, serial.as<wchar_t>(), serial.size() / static_cast<int>(sizeof(wchar_t)));
        break;
      }
      case 41: {
        const int h = Handle();
        Morvex_Fps(h, in_.Value());
        Morvex_SetHalfClock(h, in_.Value());
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_GetHalfClock(h, flag.as<int>());
        break;
      }
      case 42: {
        const int h = Handle(), output = in_.Value();
        Morvex_SetCrossbar(h, output, in_.Value());
        break;
      }
      case 43: {
        const int h = Handle();
        const std::vector<uint8_t> bytes = in_.Bytes(in_.Byte());
        const std::string text(bytes.begin(), bytes.end());
        Morvex_SendText(h, in_.Bool() ? nullptr : text.c_str());
        Buffer reply(in_, 256);
        Morvex_ReceiveText(h, reply.as<char>(), reply.size());
        break;
      }
      case 44: {
        const int h = Handle(), filter = in_.Value();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_GetConfigFilter(h, filter, flag.as<int>());
        Morvex_SetConfigFilter(h, filter, in_.Value());
        break;
      }
      case 45: {
        const int h = Handle(), channel = in_.Value();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_GetChannelGain(h, channel, flag.as<int>());
        Morvex_SetChannelGain(h, channel, in_.Value());
        Morvex_GetChannelOffset(h, channel, flag.as<int>());
        Morvex_SetChannelOffset(h, channel, in_.Value());
        break;
      }
      case 46: {
        const int h = Handle();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_SetPeltier(h, in_.Value());
        Morvex_GetPeltier(h, flag.as<int>());
        Morvex_SetDotFilter(h, in_.Value());
        Morvex_GetDotFilter(h, flag.as<int>());
        Morvex_SetMaskFilter(h, in_.Value());
        Morvex_GetMaskFilter(h, flag.as<int>());
        break;
      }
      case 47: {
        const int h = Handle();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_SetBrightness(h, in_.Value());
        Morvex_GetBrightness(h, flag.as<int>());
        Morvex_SetGamma(h, in_.Value());
        Morvex_GetGamma(h, flag.as<int>());
        Morvex_SetBayerMode(h, in_.Value());
        Morvex_GetBayerMode(h, flag.as<int>());
        Morvex_SetGlobalGain(h, in_.Value());
        Morvex_GetGlobalGain(h, flag.as<int>());
        Morvex_SetExposureTime(h, in_.Value());
        Morvex_GetExposureTime(h, flag.as<int>());
        Morvex_SetGrayMode(h, in_.Value());
        Morvex_GetGrayMode(h, flag.as<int>());
        break;
      }
      case 48: {
        const int h = Handle();
        Morvex_SetCameraDlg(h, nullptr);
        Morvex_SetAnalogDlg(h, nullptr);
        Morvex_SetImageDlg(h, nullptr);
        break;
      }
      case 49: {
        const int h = Handle();
        const std::string path = Path();
        MaybeWrite(path);
        Morvex_LoadMaskFile(h, path.empty() && in_.Bool() ? nullptr : path.c_str());
        break;
      }
      case 50: {
        const int h = Handle();
        const std::wstring path = Wide(Path());
        Morvex_LoadMaskFileW(h, path.empty() && in_.Bool() ? nullptr : path.c_str());
        break;
      }
      case 51: {
        const int h = Handle();
        const std::string path = Path();
        if (in_.Bool())
          Morvex_SaveMaskFile(h, path.c_str());
        else
          Morvex_SaveMaskFileW(h, Wide(path).c_str());
        break;
      }
      case 52: {
        const int h = Handle();
        Morvex_UpdateMaskData(h, in_.Value());
        break;
      }
      case 53: {
        const int h = Handle();
        const std::string path = Path();
        const int format = in_.Byte() < 200 ? in_.Byte() % 7 : in_.Value();
        if (in_.Bool())
          Morvex_SaveImage(h, path.empty() && in_.Bool() ? nullptr : path.c_str(), format);
        else
          Morvex_SaveImageW(h, Wide(path).c_str(), format);
        break;
      }
      case 54: {
        const int h = Handle();
        const std::string path = Path();
        const int duration = in_.Byte() < 200 ? in_.Byte() % 50 : in_.Value();
        if (in_.Bool())
          Morvex_Record(h, path.empty() && in_.Bool() ? nullptr : path.c_str(), duration, in_.Value());
        else
          Morvex_RecordW(h, Wide(path).c_str(), duration, in_.Value());
        Morvex_StopPreview(h);
        break;
      }
      case 55: {
        const int h = Handle();
        const std::string path = Path();
        MaybeWrite(path);
        if (in_.Bool())
          Morvex_LoadConfigFileA(h, path.empty() && in_.Bool() ? nullptr : path.c_str());
        else
          Morvex_LoadConfigFileW(h, Wide(path).c_str());
        break;
      }
      case 56: {
        const int h = Handle();
        Buffer flag = Buffer::Fixed(in_, sizeof(int));
        Morvex_SetColorGainRed(h, in_.Value());
        Morvex_GetColorGainRed(h, flag.as<int>());
        Morvex_SetColorGainBlue(h, in_.Value());
        Morvex_GetColorGainBlue(h, flag.as<int>());
        Morvex_SetBayerGainAuto(h, in_.Value());
        Morvex_GetBayerGainAuto(h, flag.as<int>());
        Morvex_SetGrayGainR(h, in_.Value());
        Morvex_GetGrayOffsetB(h, flag.as<int>());
        break;
      }
      default:
        break;
    }
  }

  // A buffer given with a mode stays the camera's until another mode replaces
  // it, and a stop does not end that: a later Morvex_StartPreview resumes
  // copying into it. The session keeps every such buffer until the handles
  // are released.
  Buffer& Registered(Buffer buffer) {
    registered_.push_back(std::make_unique<Buffer>(std::move(buffer)));
    return *registered_.back();
  }

  FuzzInput& in_;
  std::vector<std::unique_ptr<Buffer>> registered_;
  std::vector<int> handles_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  morvex::fuzz::UsePrivateScratch("exports");
  morvex::CMorvex::Environment environment;
  environment.make_device = []() -> std::unique_ptr<morvex::CMorvexZ3U2Base> {
    return std::make_unique<morvex::CMorvexUSB3T2SimpleSdk>(Port(), DeviceClock());
  };
  environment.register_notices = [](morvex::platform::WindowHandle, const morvex::platform::Guid&) {
    return true;
  };
  morvex::CMorvex::SetDefaultEnvironment(environment);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  Session(in).Run();
  return 0;
}
