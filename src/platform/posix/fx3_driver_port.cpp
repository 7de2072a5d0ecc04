// No FX3 driver exists natively: the port enumerates nothing and opens
// nothing, so only emulated cameras are seen.
#include "platform/fx3_driver_port.h"

namespace morvex::platform {
namespace {

class NativeAsyncIo : public AsyncIo {
 public:
  Event& event() override { return event_; }

 private:
  Event event_{false, false};
};

class AbsentFx3DriverPort : public DriverPort {
 public:
  std::vector<std::string> EnumerateInterfaces(const Guid&) override { return {}; }
  Handle Open(const std::string&, bool) override { return nullptr; }
  void Close(Handle) override {}
  std::unique_ptr<AsyncIo> CreateAsyncIo() override { return std::make_unique<NativeAsyncIo>(); }
  IoResult IoControl(Handle, uint32_t, const void*, uint32_t, void*, uint32_t, AsyncIo*) override {
    return IoResult{false, kErrorInvalidHandle, 0};
  }
  IoResult GetResult(Handle, AsyncIo&, bool) override { return IoResult{false, kErrorInvalidHandle, 0}; }
};

}  // namespace

std::unique_ptr<DriverPort> CreateFx3DriverPort() { return std::make_unique<AbsentFx3DriverPort>(); }

}  // namespace morvex::platform
