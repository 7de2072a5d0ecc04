#include "recording_port.h"

#include <cstdio>
#include <cstring>

namespace morvex::test {

class RecordingPort::FakeAsyncIo : public platform::AsyncIo {
 public:
  explicit FakeAsyncIo(RecordingPort& port) : port_(port) {}
  ~FakeAsyncIo() override {
    std::lock_guard<std::mutex> lock(port_.mutex_);
    for (auto it = port_.hung_.begin(); it != port_.hung_.end(); ++it) {
      if (*it == this) {
        port_.hung_.erase(it);
        break;
      }
    }
  }
  platform::Event& event() override { return event_; }

  RecordingPort& port_;
  platform::Event event_{false, false};
  platform::IoResult result{};
  bool pending = false;
  int handle = 0;
};

namespace {
int Serial(platform::DriverPort::Handle handle) {
  return static_cast<int>(reinterpret_cast<uintptr_t>(handle));
}
}  // namespace

RecordingPort::~RecordingPort() = default;

void RecordingPort::SetInterfaces(std::vector<std::string> paths) {
  std::lock_guard<std::mutex> lock(mutex_);
  interfaces_ = std::move(paths);
}

void RecordingPort::SetOpenable(const std::string& path, bool openable) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (openable)
    unopenable_.erase(path);
  else
    unopenable_.insert(path);
}

void RecordingPort::SetResponder(Responder responder) {
  std::lock_guard<std::mutex> lock(mutex_);
  responder_ = std::move(responder);
}

void RecordingPort::SetAbortsToComplete(int count) {
  std::lock_guard<std::mutex> lock(mutex_);
  aborts_to_complete_ = count;
}

std::vector<PortCall> RecordingPort::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<PortCall> RecordingPort::io_calls() const {
  std::vector<PortCall> result;
  for (auto& call : calls())
    if (call.kind == PortCall::kIoControl) result.push_back(call);
  return result;
}

void RecordingPort::ClearCalls() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

int RecordingPort::open_handles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(handles_.size());
}

int RecordingPort::hung_requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(hung_.size());
}

std::vector<platform::Guid> RecordingPort::guids_asked() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return guids_;
}

std::vector<std::string> RecordingPort::EnumerateInterfaces(const platform::Guid& interface_class) {
  std::lock_guard<std::mutex> lock(mutex_);
  PortCall call{};
  call.kind = PortCall::kEnumerate;
  call.thread = std::this_thread::get_id();
  calls_.push_back(call);
  guids_.push_back(interface_class);
  return interfaces_;
}

platform::DriverPort::Handle RecordingPort::Open(const std::string& path, bool overlapped) {
  std::lock_guard<std::mutex> lock(mutex_);
  PortCall call{};
  call.kind = PortCall::kOpen;
  call.path = path;
  call.overlapped = overlapped;
  call.thread = std::this_thread::get_id();
  bool known = false;
  for (auto& p : interfaces_) known = known || p == path;
  if (!known || unopenable_.count(path)) {
    calls_.push_back(call);
    return nullptr;
  }
  const int serial = next_handle_++;
  call.handle = serial;
  calls_.push_back(call);
  handles_[serial] = OpenHandle{path, overlapped};
  return reinterpret_cast<Handle>(static_cast<uintptr_t>(serial));
}

void RecordingPort::Close(Handle handle) {
  const int serial = Serial(handle);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    PortCall call{};
    call.kind = PortCall::kClose;
    call.handle = serial;
    call.thread = std::this_thread::get_id();
    calls_.push_back(call);
    handles_.erase(serial);
  }
  CompleteHung(serial, platform::kErrorOperationAborted);
}

std::unique_ptr<platform::AsyncIo> RecordingPort::CreateAsyncIo() {
  return std::make_unique<FakeAsyncIo>(*this);
}

void RecordingPort::CompleteHung(int handle, uint32_t error) {
  std::vector<FakeAsyncIo*> done;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = hung_.begin(); it != hung_.end();) {
      if ((*it)->handle == handle) {
        done.push_back(*it);
        it = hung_.erase(it);
      } else {
        ++it;
      }
    }
    for (FakeAsyncIo* io : done) {
      io->pending = false;
      io->result = platform::IoResult{false, error, 0};
    }
  }
  for (FakeAsyncIo* io : done) io->event_.Set();
}

platform::IoResult RecordingPort::IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size,
                                            void* out, uint32_t out_size, platform::AsyncIo* io) {
  const int serial = Serial(handle);
  PortCall call{};
  call.kind = PortCall::kIoControl;
  call.handle = serial;
  call.code = code;
  if (in && in_size)
    call.in.assign(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + in_size);
  call.out_size = out_size;
  if (out && out_size <= 65536)
    call.out_at_call.assign(static_cast<const uint8_t*>(out), static_cast<const uint8_t*>(out) + out_size);
  call.async = io != nullptr;
  call.thread = std::this_thread::get_id();
  Responder responder;
  bool abort_completes = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = handles_.find(serial);
    if (found == handles_.end()) return platform::IoResult{false, platform::kErrorInvalidHandle, 0};
    call.overlapped = found->second.overlapped;
    calls_.push_back(call);
    responder = responder_;
    if (code == 0x220044) abort_completes = ++aborts_seen_[serial] >= aborts_to_complete_;
  }
  if (abort_completes) {
    CompleteHung(serial, platform::kErrorOperationAborted);
    std::lock_guard<std::mutex> lock(mutex_);
    aborts_seen_[serial] = 0;
  }
  Answer answer;
  answer.bytes = out_size;
  if (responder)
    answer = responder(call, const_cast<uint8_t*>(static_cast<const uint8_t*>(in)),
                       static_cast<uint8_t*>(out), out_size);
  auto* fake = static_cast<FakeAsyncIo*>(io);
  switch (answer.mode) {
    case Answer::kFail:
      return platform::IoResult{false, answer.error, 0};
    case Answer::kComplete:
      if (fake) {
        std::lock_guard<std::mutex> lock(mutex_);
        fake->result = platform::IoResult{true, 0, answer.bytes};
        fake->pending = false;
      }
      if (fake) fake->event_.Set();
      return platform::IoResult{true, 0, answer.bytes};
    case Answer::kPending:
      if (!fake) return platform::IoResult{answer.ok, answer.ok ? 0u : answer.error, answer.bytes};
      {
        std::lock_guard<std::mutex> lock(mutex_);
        fake->result = platform::IoResult{answer.ok, answer.ok ? 0u : answer.error, answer.bytes};
        fake->pending = false;
      }
      fake->event_.Set();
      return platform::IoResult{false, platform::kErrorIoPending, 0};
    case Answer::kHang:
      if (!fake) return platform::IoResult{false, platform::kErrorSemTimeout, 0};
      {
        std::lock_guard<std::mutex> lock(mutex_);
        fake->pending = true;
        fake->handle = serial;
        hung_.push_back(fake);
      }
      return platform::IoResult{false, platform::kErrorIoPending, 0};
  }
  return platform::IoResult{};
}

platform::IoResult RecordingPort::GetResult(Handle, platform::AsyncIo& io, bool) {
  auto& fake = static_cast<FakeAsyncIo&>(io);
  std::lock_guard<std::mutex> lock(mutex_);
  if (fake.pending) return platform::IoResult{false, platform::kErrorIoIncomplete, 0};
  return fake.result;
}

std::vector<uint8_t> ExpectedControlBlock(uint8_t request_type, uint8_t request, uint16_t value,
                                          uint16_t index, std::vector<uint8_t> data) {
  std::vector<uint8_t> block(102, 0);
  block[0] = request_type;
  block[1] = request;
  block[2] = value & 0xFF;
  block[3] = value >> 8;
  block[4] = index & 0xFF;
  block[5] = index >> 8;
  block[6] = 102;  // wLength: the whole block
  block[8] = 3;    // time-out in seconds
  block[30] = 38;  // buffer offset
  block[34] = 64;  // buffer length
  for (size_t i = 0; i < data.size(); ++i) block[38 + i] = data[i];
  return block;
}

std::string DevicePath(uint16_t vendor_id, uint16_t product_id, const std::string& instance) {
  char prefix[64];
  std::snprintf(prefix, sizeof(prefix), "\\\\?\\usb#vid_%04x&pid_%04x#", vendor_id, product_id);
  return std::string(prefix) + instance + "#{328184c5-93e6-49b7-94b8-2ada13aabb39}";
}

}  // namespace morvex::test
