// The driver-port adapter: device paths, handles and the driver's control
// codes in front of the emulated cameras.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "emulator/async_io.h"
#include "emulator/camera.h"
#include "emulator/emulator.h"
#include "emulator/wire.h"

namespace morvex::emulator {
namespace {

using platform::IoResult;

struct HandleState {
  VirtualCamera* camera;
  bool overlapped;
  uint32_t generation;
};

bool SamePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

IoResult Failure(uint32_t error) { return {false, error, 0}; }
IoResult Success(uint32_t bytes) { return {true, platform::kErrorSuccess, bytes}; }

}  // namespace

struct EmulatorPort::Impl {
  explicit Impl(platform::Clock& c) : clock(c) {}
  platform::Clock& clock;
  mutable std::mutex mu;
  std::vector<std::unique_ptr<VirtualCamera>> cameras;
  std::map<void*, std::unique_ptr<HandleState>> handles;

  // The handle's camera while the handle is valid and its camera plugged in.
  VirtualCamera* Lookup(void* handle, uint32_t* error) {
    std::lock_guard<std::mutex> lock(mu);
    auto it = handles.find(handle);
    if (it == handles.end()) {
      *error = platform::kErrorInvalidHandle;
      return nullptr;
    }
    VirtualCamera* camera = it->second->camera;
    // A handle opened before an unplug stays dead after the replug.
    if (!camera->present() || camera->generation() != it->second->generation) {
      *error = platform::kErrorDeviceNotConnected;
      return nullptr;
    }
    return camera;
  }
  bool Overlapped(void* handle) {
    std::lock_guard<std::mutex> lock(mu);
    auto it = handles.find(handle);
    return it != handles.end() && it->second->overlapped;
  }
};

EmulatorPort::EmulatorPort(platform::Clock& clock) : impl_(std::make_unique<Impl>(clock)) {}

EmulatorPort::~EmulatorPort() {
  Shutdown();
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->handles.clear();
  impl_->cameras.clear();
}

void EmulatorPort::Shutdown() {
  std::vector<VirtualCamera*> cameras;
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    for (auto& c : impl_->cameras) cameras.push_back(c.get());
  }
  for (VirtualCamera* c : cameras) c->Stop();
}

EmulatedCamera& EmulatorPort::AddCamera(const EmulatedCameraOptions& options) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  const int number = static_cast<int>(impl_->cameras.size());
  impl_->cameras.push_back(std::make_unique<VirtualCamera>(impl_->clock, options, number));
  return *impl_->cameras.back();
}

size_t EmulatorPort::camera_count() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->cameras.size();
}

EmulatedCamera& EmulatorPort::camera(size_t index) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return *impl_->cameras.at(index);
}

std::vector<std::string> EmulatorPort::EnumerateInterfaces(const platform::Guid& interface_class) {
  std::vector<std::string> paths;
  if (!(interface_class == kCameraInterfaceClass)) return paths;
  std::lock_guard<std::mutex> lock(impl_->mu);
  for (auto& c : impl_->cameras)
    if (c->present() && c->path().size() <= platform::kMaxDevicePath) paths.push_back(c->path());
  return paths;
}

EmulatorPort::Handle EmulatorPort::Open(const std::string& path, bool overlapped) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  for (auto& c : impl_->cameras) {
    if (!SamePath(c->path(), path) || !c->present()) continue;
    auto state = std::make_unique<HandleState>(HandleState{c.get(), overlapped, c->generation()});
    void* handle = state.get();
    impl_->handles.emplace(handle, std::move(state));
    return handle;
  }
  return nullptr;
}

void EmulatorPort::Close(Handle handle) {
  VirtualCamera* camera = nullptr;
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    auto it = impl_->handles.find(handle);
    if (it == impl_->handles.end()) return;
    camera = it->second->camera;
    impl_->handles.erase(it);
  }
  camera->AbortOwner(handle, platform::kErrorOperationAborted);
}

std::unique_ptr<platform::AsyncIo> EmulatorPort::CreateAsyncIo() {
  return std::make_unique<EmulatedAsyncIo>();
}

IoResult EmulatorPort::IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size, void* out,
                                 uint32_t out_size, platform::AsyncIo* io) {
  uint32_t error = 0;
  VirtualCamera* camera = impl_->Lookup(handle, &error);
  if (!camera) return Failure(error);

  std::shared_ptr<IoSlot> slot;
  if (io) {
    auto* ours = dynamic_cast<EmulatedAsyncIo*>(io);
    if (!ours) return Failure(platform::kErrorInvalidParameter);
    slot = ours->slot();
    std::lock_guard<std::mutex> lock(slot->mu);
    if (slot->pending) return Failure(platform::kErrorInvalidParameter);  // still busy with a request
  }
  // Overlapped completion only on an overlapped handle; otherwise the caller waits.
  const bool asynchronous = slot && impl_->Overlapped(handle);

  // Requests that finish at once still complete the caller's overlapped slot.
  auto finish = [&](const IoResult& r) {
    if (slot) {
      slot->Begin();
      slot->Complete(r);
    }
    return r;
  };
  const auto* in_bytes = static_cast<const uint8_t*>(in);
  auto* out_bytes = static_cast<uint8_t*>(out);

  switch (code) {
    case wire::kIoctlControlTransfer: {
      if (!in || !out || in_size < wire::kControlBlockSize || out_size < wire::kControlBlockSize)
        return finish(Failure(platform::kErrorInvalidParameter));
      uint8_t block[wire::kControlBlockSize];
      std::memcpy(block, in_bytes, sizeof block);
      const ControlOutcome outcome = camera->Control(block);
      if (!outcome.ok) return finish(Failure(outcome.error));
      std::memcpy(out_bytes, block, sizeof block);
      return finish(Success(wire::kHeaderSize + outcome.data_bytes));
    }
    case wire::kIoctlBufferedBulk:
    case wire::kIoctlDirectBulk: {
      if (!in || in_size < wire::kHeaderSize) return finish(Failure(platform::kErrorInvalidParameter));
      const wire::TransferHeader h = wire::DecodeHeader(in_bytes);
      ReadRequest request;
      request.owner = handle;
      request.endpoint = h.endpoint;
      if (code == wire::kIoctlBufferedBulk) {
        // Header and data travel in one block through the system buffer.
        if (h.buffer_offset != wire::kHeaderSize || !out || out_size < wire::kHeaderSize + h.buffer_length ||
            in_size < wire::kHeaderSize)
          return finish(Failure(platform::kErrorInvalidParameter));
        if (out_bytes != in_bytes) std::memcpy(out_bytes, in_bytes, wire::kHeaderSize);
        request.destination = out_bytes + wire::kHeaderSize;
        request.size = h.buffer_length;
        request.counted_bytes = wire::kHeaderSize;
      } else {
        if (h.buffer_offset != 0 || h.buffer_length != 0 || (out_size && !out))
          return finish(Failure(platform::kErrorInvalidParameter));
        request.destination = out_bytes;
        request.size = out_size;
      }
      if (!(h.endpoint & 0x80)) {
        // Data to the device (command blocks of other camera models): taken and dropped.
        return finish(Success(request.counted_bytes + request.size));
      }
      std::shared_ptr<IoSlot> target = asynchronous ? slot : std::make_shared<IoSlot>();
      target->Begin();
      request.slot = target;
      if (!camera->SubmitRead(std::move(request), &error)) {
        target->Complete(Failure(error));
        if (!asynchronous && slot) finish(Failure(error));
        return Failure(error);
      }
      if (asynchronous) return Failure(platform::kErrorIoPending);
      const IoResult r = target->Wait();
      return finish(r);
    }
    case wire::kIoctlResetPipe:
      if (!in || in_size < 1) return finish(Failure(platform::kErrorInvalidParameter));
      camera->AbortEndpoint(in_bytes[0], platform::kErrorOperationAborted);
      return finish(Success(0));
    case wire::kIoctlResetParentPort:
      camera->ResetPort();
      return finish(Success(0));
    case wire::kIoctlAbortPipe:
      if (!in || in_size < 1) return finish(Failure(platform::kErrorInvalidParameter));
      camera->AbortEndpoint(in_bytes[0], platform::kErrorOperationAborted);
      return finish(Success(0));
    case wire::kIoctlBusSpeed:
      if (!out || out_size < 4) return finish(Failure(platform::kErrorInvalidParameter));
      wire::Put32(out_bytes, wire::kBusSpeedSuperSpeed);
      return finish(Success(4));
    default:
      return finish(Failure(platform::kErrorInvalidParameter));
  }
}

IoResult EmulatorPort::GetResult(Handle handle, platform::AsyncIo& io, bool wait) {
  (void)handle;
  auto* ours = dynamic_cast<EmulatedAsyncIo*>(&io);
  if (!ours) return Failure(platform::kErrorInvalidParameter);
  IoSlot& slot = *ours->slot();
  if (wait) return slot.Wait();
  std::lock_guard<std::mutex> lock(slot.mu);
  if (slot.pending) return Failure(platform::kErrorIoIncomplete);
  return slot.result;
}

}  // namespace morvex::emulator
