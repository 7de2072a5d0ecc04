// The FX3 USB driver: device interfaces through SetupAPI, requests through
// DeviceIoControl on handles from CreateFileA.
#include "platform/fx3_driver_port.h"

#include <windows.h>
#include <setupapi.h>

#include <cstring>

#include "platform/trace.h"

namespace morvex::platform {
namespace {

// SetupAPI detail data larger than this is refused rather than cut short.
constexpr DWORD kDetailBufferSize = 1000;
#ifndef _WIN64
// The detail header the driver's interface paths follow: the size field the
// caller must set is 5.
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "SetupAPI detail layout");
#endif

struct Fx3Handle {
  HANDLE file = INVALID_HANDLE_VALUE;
  bool overlapped = false;
};

class Fx3AsyncIo : public AsyncIo {
 public:
  Fx3AsyncIo() {
    std::memset(&overlapped_, 0, sizeof(overlapped_));
    overlapped_.hEvent = static_cast<HANDLE>(event_.native_handle());
  }
  Event& event() override { return event_; }
  bool valid() const { return overlapped_.hEvent != nullptr; }
  OVERLAPPED* Prepare() {
    const HANDLE event = overlapped_.hEvent;
    std::memset(&overlapped_, 0, sizeof(overlapped_));
    overlapped_.hEvent = event;
    return &overlapped_;
  }
  OVERLAPPED* overlapped() { return &overlapped_; }

 private:
  Event event_{false, false};
  OVERLAPPED overlapped_;
};

GUID ToSystemGuid(const Guid& guid) {
  GUID result;
  result.Data1 = guid.data1;
  result.Data2 = guid.data2;
  result.Data3 = guid.data3;
  std::memcpy(result.Data4, guid.data4, sizeof(result.Data4));
  return result;
}

class Fx3DriverPort : public DriverPort {
 public:
  std::vector<std::string> EnumerateInterfaces(const Guid& interface_class) override {
    std::vector<std::string> paths;
    GUID guid = ToSystemGuid(interface_class);
    HDEVINFO devices = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (devices == INVALID_HANDLE_VALUE) return paths;
    alignas(8) char detail_buffer[kDetailBufferSize];
    for (DWORD member = 0;; ++member) {
      SP_DEVICE_INTERFACE_DATA interface_data;
      std::memset(&interface_data, 0, sizeof(interface_data));
      interface_data.cbSize = sizeof(interface_data);
      if (!SetupDiEnumDeviceInterfaces(devices, nullptr, &guid, member, &interface_data)) break;
      DWORD required = 0;
      SetupDiGetDeviceInterfaceDetailA(devices, &interface_data, nullptr, 0, &required, nullptr);
      if (required == 0 || required > kDetailBufferSize) continue;
      std::memset(detail_buffer, 0, required);
      auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail_buffer);
      detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
      if (!SetupDiGetDeviceInterfaceDetailA(devices, &interface_data, detail, required, nullptr, nullptr))
        continue;
      const size_t room = required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
      const size_t length = strnlen(detail->DevicePath, room);
      // An unterminated or over-long path would turn into a different device.
      if (length == room || length == 0 || length > kMaxDevicePath) continue;
      paths.emplace_back(detail->DevicePath, length);
    }
    SetupDiDestroyDeviceInfoList(devices);
    return paths;
  }

  Handle Open(const std::string& path, bool overlapped) override {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (file == INVALID_HANDLE_VALUE || file == nullptr) return nullptr;
    auto* handle = new Fx3Handle;
    handle->file = file;
    handle->overlapped = overlapped;
    return handle;
  }

  void Close(Handle handle) override {
    auto* fx3 = static_cast<Fx3Handle*>(handle);
    if (!fx3) return;
    CancelIo(fx3->file);
    CloseHandle(fx3->file);
    delete fx3;
  }

  std::unique_ptr<AsyncIo> CreateAsyncIo() override {
    auto io = std::make_unique<Fx3AsyncIo>();
    if (!io->valid()) return nullptr;
    return io;
  }

  // The system's code is the port's result; its detail goes to the trace,
  // except for the pending states that are part of normal overlapped work.
  static IoResult Failed(const char* what, uint32_t code, DWORD error, DWORD bytes) {
    if (error != ERROR_IO_PENDING && error != ERROR_IO_INCOMPLETE)
      MORVEX_TRACE(kTraceUsb, "%s of control code 0x%08X failed: system error %lu", what, code,
                   static_cast<unsigned long>(error));
    return IoResult{false, error, bytes};
  }

  IoResult IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size, void* out,
                     uint32_t out_size, AsyncIo* io) override {
    auto* fx3 = static_cast<Fx3Handle*>(handle);
    if (!fx3) return IoResult{false, kErrorInvalidHandle, 0};
    DWORD bytes = 0;
    void* input = const_cast<void*>(in);
    if (io) {
      auto* async = static_cast<Fx3AsyncIo*>(io);
      if (DeviceIoControl(fx3->file, code, input, in_size, out, out_size, &bytes, async->Prepare()))
        return IoResult{true, kErrorSuccess, bytes};
      return Failed("DeviceIoControl", code, GetLastError(), 0);
    }
    if (!fx3->overlapped) {
      if (DeviceIoControl(fx3->file, code, input, in_size, out, out_size, &bytes, nullptr))
        return IoResult{true, kErrorSuccess, bytes};
      return Failed("DeviceIoControl", code, GetLastError(), 0);
    }
    // A synchronous request on an overlapped handle still needs an OVERLAPPED
    // of its own; wait for it here.
    Fx3AsyncIo local;
    if (!local.valid()) return IoResult{false, kErrorGenFailure, 0};
    if (DeviceIoControl(fx3->file, code, input, in_size, out, out_size, &bytes, local.Prepare()))
      return IoResult{true, kErrorSuccess, bytes};
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) return Failed("DeviceIoControl", code, error, 0);
    if (GetOverlappedResult(fx3->file, local.overlapped(), &bytes, TRUE))
      return IoResult{true, kErrorSuccess, bytes};
    return Failed("GetOverlappedResult", code, GetLastError(), bytes);
  }

  IoResult GetResult(Handle handle, AsyncIo& io, bool wait) override {
    auto* fx3 = static_cast<Fx3Handle*>(handle);
    if (!fx3) return IoResult{false, kErrorInvalidHandle, 0};
    auto& async = static_cast<Fx3AsyncIo&>(io);
    DWORD bytes = 0;
    if (GetOverlappedResult(fx3->file, async.overlapped(), &bytes, wait ? TRUE : FALSE))
      return IoResult{true, kErrorSuccess, bytes};
    return Failed("GetOverlappedResult", 0, GetLastError(), bytes);
  }
};

}  // namespace

std::unique_ptr<DriverPort> CreateFx3DriverPort() { return std::make_unique<Fx3DriverPort>(); }

}  // namespace morvex::platform
