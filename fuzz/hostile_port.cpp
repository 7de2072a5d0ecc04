#include "hostile_port.h"

#include <algorithm>
#include <cstring>

#include "usb/fx3_api.h"

namespace morvex::fuzz {
namespace {

constexpr uint32_t kHeaderSize = sizeof(TransferHeader);

void Append32(std::vector<uint8_t>& stream, uint32_t value) {
  for (int i = 0; i < 4; ++i) stream.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool Inbound(const uint8_t* block, uint32_t size) { return size >= 1 && (block[0] & 0x80) != 0; }

}  // namespace

class HostilePort::Io : public platform::AsyncIo {
 public:
  platform::Event& event() override { return event_; }
  platform::Event event_{false, false};
  platform::IoResult result{};
};

HostilePort::HostilePort(std::string path, std::vector<uint8_t> control, std::vector<uint8_t> bulk)
    : path_(std::move(path)), control_(std::move(control)), bulk_(std::move(bulk)) {}

HostilePort::HostilePort(platform::DriverPort& inner) : inner_(&inner) {}

bool HostilePort::exhausted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return control_at_ >= control_.size() && bulk_at_ >= bulk_.size();
}

uint8_t HostilePort::Next(size_t& at, const std::vector<uint8_t>& stream) {
  return at < stream.size() ? stream[at++] : 0;
}

std::vector<std::string> HostilePort::EnumerateInterfaces(const platform::Guid& interface_class) {
  if (inner_) return inner_->EnumerateInterfaces(interface_class);
  return {path_};
}

HostilePort::Handle HostilePort::Open(const std::string& path, bool overlapped) {
  if (inner_) return inner_->Open(path, overlapped);
  if (path != path_) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  ++open_handles_;
  return reinterpret_cast<Handle>(static_cast<uintptr_t>(open_handles_));
}

void HostilePort::Close(Handle handle) {
  if (inner_) inner_->Close(handle);
}

std::unique_ptr<platform::AsyncIo> HostilePort::CreateAsyncIo() {
  if (inner_) return inner_->CreateAsyncIo();
  return std::make_unique<Io>();
}

platform::IoResult HostilePort::IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size,
                                          void* out, uint32_t out_size, platform::AsyncIo* io) {
  if (inner_) return Record(handle, code, in, in_size, out, out_size, io);
  if (handle == nullptr) return {false, platform::kErrorInvalidHandle, 0};
  switch (code) {
    case kIoctlControlTransfer:
      return ReplayControl(static_cast<uint8_t*>(out), out_size);
    case kIoctlDirectTransfer:
    case kIoctlBufferedBulk:
      // The driver writes the direct transfer's status into its header.
      return ReplayBulk(const_cast<void*>(in), in_size, static_cast<uint8_t*>(out), out_size,
                        static_cast<Io*>(io));
    default:
      return {true, platform::kErrorSuccess, 0};
  }
}

platform::IoResult HostilePort::GetResult(Handle handle, platform::AsyncIo& io, bool wait) {
  if (inner_) return inner_->GetResult(handle, io, wait);
  return static_cast<Io&>(io).result;
}

platform::IoResult HostilePort::ReplayControl(uint8_t* block, uint32_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (control_at_ >= control_.size()) return {false, platform::kErrorDeviceNotConnected, 0};
  const uint8_t mode = Next(control_at_, control_);
  const bool inbound = Inbound(block, size);
  if (mode >= answer::kFail && mode < answer::kBadStatus) return {false, platform::kErrorGenFailure, 0};
  uint32_t returned = size;
  if (mode >= answer::kShort && mode < answer::kFail) {
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) n |= static_cast<uint32_t>(Next(control_at_, control_)) << (8 * i);
    returned = n % (size + 1);
  } else if (mode >= answer::kOverlong) {
    returned = 0xFFFFFFFFu;
  }
  if (inbound && size > kHeaderSize) {
    const uint32_t data = std::min(returned, size) > kHeaderSize ? std::min(returned, size) - kHeaderSize : 0;
    for (uint32_t i = 0; i < data; ++i) block[kHeaderSize + i] = Next(control_at_, control_);
  }
  if (mode >= answer::kBadStatus && mode < answer::kLate && size >= kHeaderSize)
    reinterpret_cast<TransferHeader*>(block)->status = 1;
  return {true, platform::kErrorSuccess, returned};
}

platform::IoResult HostilePort::ReplayBulk(void* header, uint32_t header_size, uint8_t* out,
                                           uint32_t out_size, Io* io) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (bulk_at_ >= bulk_.size()) return {false, platform::kErrorDeviceNotConnected, 0};
  const uint8_t mode = Next(bulk_at_, bulk_);
  if (mode >= answer::kFail && mode < answer::kBadStatus) return {false, platform::kErrorGenFailure, 0};
  uint32_t count = out_size;
  if (mode >= answer::kShort && mode < answer::kFail) {
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) n |= static_cast<uint32_t>(Next(bulk_at_, bulk_)) << (8 * i);
    count = n % (out_size + 1);
  }
  const size_t available = std::min<size_t>(count, bulk_.size() - bulk_at_);
  if (out != nullptr) {
    std::memcpy(out, bulk_.data() + bulk_at_, available);
    std::memset(out + available, 0, count - available);
  }
  bulk_at_ += available;
  platform::IoResult result{true, platform::kErrorSuccess, count};
  if (mode >= answer::kOverlong) result.bytes = out_size + 1 + (mode & 3);
  if (mode >= answer::kBadStatus && mode < answer::kLate && header != nullptr && header_size >= kHeaderSize)
    static_cast<TransferHeader*>(header)->status = 1;
  if (io != nullptr) {
    io->result = result;
    if (mode >= answer::kLate && mode < answer::kOverlong) {
      io->event().Set();
      return {false, platform::kErrorIoPending, 0};
    }
  }
  return result;
}

platform::IoResult HostilePort::Record(Handle handle, uint32_t code, const void* in, uint32_t in_size,
                                       void* out, uint32_t out_size, platform::AsyncIo* io) {
  platform::IoResult result = inner_->IoControl(handle, code, in, in_size, out, out_size, io);
  if (!result.ok && result.error == platform::kErrorIoPending && io != nullptr)
    result = inner_->GetResult(handle, *io, true);
  std::lock_guard<std::mutex> lock(mutex_);
  if (code == kIoctlControlTransfer) {
    const auto* block = static_cast<const uint8_t*>(out);
    const bool inbound = Inbound(block, out_size);
    if (!result.ok) {
      control_.push_back(answer::kFail);
    } else if (result.bytes >= out_size) {
      control_.push_back(0);
      if (inbound) control_.insert(control_.end(), block + kHeaderSize, block + out_size);
    } else {
      control_.push_back(answer::kShort);
      Append32(control_, result.bytes);
      if (inbound && result.bytes > kHeaderSize)
        control_.insert(control_.end(), block + kHeaderSize, block + result.bytes);
    }
  } else if (code == kIoctlDirectTransfer || code == kIoctlBufferedBulk) {
    const auto* bytes = static_cast<const uint8_t*>(out);
    const auto* header = static_cast<const TransferHeader*>(in);
    const bool bad_status = code == kIoctlDirectTransfer && in_size >= kHeaderSize &&
                            (header->status != 0 || header->usb_status != 0);
    if (!result.ok) {
      bulk_.push_back(answer::kFail);
    } else if (result.bytes >= out_size) {
      bulk_.push_back(bad_status ? answer::kBadStatus : 0);
      bulk_.insert(bulk_.end(), bytes, bytes + out_size);
    } else {
      bulk_.push_back(answer::kShort);
      Append32(bulk_, result.bytes);
      bulk_.insert(bulk_.end(), bytes, bytes + result.bytes);
    }
  }
  return result;
}

}  // namespace morvex::fuzz
