#include "usb/driver_ports.h"

#include <map>
#include <mutex>
#include <vector>

namespace morvex {
namespace {

using platform::AsyncIo;
using platform::DriverPort;
using platform::IoResult;

// Each source wants its own overlapped slot; the slot of the source that
// took the last request is the one whose event the caller waits on.
class CompositeAsyncIo : public AsyncIo {
 public:
  AsyncIo* For(DriverPort& source) {
    auto& slot = slots_[&source];
    if (!slot) slot = source.CreateAsyncIo();
    // The caller cleared the event of the slot bound before; a slot bound
    // anew may still be signalled from its last request.
    if (slot && slot.get() != bound_) slot->event().Reset();
    bound_ = slot.get();
    return bound_;
  }
  AsyncIo* bound() const { return bound_; }
  platform::Event& event() override { return bound_ ? bound_->event() : idle_; }

 private:
  std::map<DriverPort*, std::unique_ptr<AsyncIo>> slots_;
  AsyncIo* bound_ = nullptr;
  platform::Event idle_{false, false};
};

struct CompositeHandle {
  std::shared_ptr<DriverPort> source;  // keeps the source alive while open
  DriverPort::Handle inner;
};

}  // namespace

MergedDriverPort::MergedDriverPort(SourceList sources) : sources_(std::move(sources)) {}
MergedDriverPort::~MergedDriverPort() = default;

std::vector<std::string> MergedDriverPort::EnumerateInterfaces(const platform::Guid& interface_class) {
  std::vector<std::string> paths;
  std::map<std::string, std::shared_ptr<DriverPort>> routes;
  for (const auto& source : sources_()) {
    if (!source) continue;
    for (auto& path : source->EnumerateInterfaces(interface_class)) {
      routes.emplace(path, source);
      paths.push_back(std::move(path));
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& route : routes) routes_[route.first] = route.second;
  return paths;
}

DriverPort::Handle MergedDriverPort::Open(const std::string& path, bool overlapped) {
  std::shared_ptr<DriverPort> routed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = routes_.find(path);
    if (found != routes_.end()) routed = found->second;
  }
  std::vector<std::shared_ptr<DriverPort>> candidates;
  if (routed)
    candidates.push_back(routed);
  else
    candidates = sources_();
  for (const auto& source : candidates) {
    if (!source) continue;
    if (Handle inner = source->Open(path, overlapped)) return new CompositeHandle{source, inner};
  }
  return nullptr;
}

void MergedDriverPort::Close(Handle handle) {
  auto* composite = static_cast<CompositeHandle*>(handle);
  if (!composite) return;
  composite->source->Close(composite->inner);
  delete composite;
}

std::unique_ptr<AsyncIo> MergedDriverPort::CreateAsyncIo() { return std::make_unique<CompositeAsyncIo>(); }

IoResult MergedDriverPort::IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size,
                                     void* out, uint32_t out_size, AsyncIo* io) {
  auto* composite = static_cast<CompositeHandle*>(handle);
  if (!composite) return IoResult{false, platform::kErrorInvalidHandle, 0};
  AsyncIo* inner_io = nullptr;
  if (io) {
    inner_io = static_cast<CompositeAsyncIo*>(io)->For(*composite->source);
    if (!inner_io) return IoResult{false, platform::kErrorGenFailure, 0};
  }
  return composite->source->IoControl(composite->inner, code, in, in_size, out, out_size, inner_io);
}

IoResult MergedDriverPort::GetResult(Handle handle, AsyncIo& io, bool wait) {
  auto* composite = static_cast<CompositeHandle*>(handle);
  AsyncIo* inner_io = static_cast<CompositeAsyncIo&>(io).bound();
  if (!composite || !inner_io) return IoResult{false, platform::kErrorInvalidHandle, 0};
  return composite->source->GetResult(composite->inner, *inner_io, wait);
}

}  // namespace morvex
