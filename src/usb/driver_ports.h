// Several driver ports behind one: the camera instance puts the FX3 driver
// and the emulated cameras side by side, so both kinds can be attached at once.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/driver_port.h"

namespace morvex {

// Several driver ports seen as one. Enumeration concatenates the sources'
// paths in source order; Open goes to the source that reported the path
// (or, for a path never reported, to the first source that opens it); the
// handle it returns carries every later call to that source.
class MergedDriverPort : public platform::DriverPort {
 public:
  // Asked at every enumeration and unrouted open, so sources may come and go.
  using SourceList = std::function<std::vector<std::shared_ptr<platform::DriverPort>>()>;
  explicit MergedDriverPort(SourceList sources);
  ~MergedDriverPort() override;

  std::vector<std::string> EnumerateInterfaces(const platform::Guid& interface_class) override;
  Handle Open(const std::string& path, bool overlapped) override;
  void Close(Handle handle) override;
  std::unique_ptr<platform::AsyncIo> CreateAsyncIo() override;
  platform::IoResult IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size, void* out,
                               uint32_t out_size, platform::AsyncIo* io) override;
  platform::IoResult GetResult(Handle handle, platform::AsyncIo& io, bool wait) override;

 private:
  SourceList sources_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<platform::DriverPort>> routes_;
};

}  // namespace morvex
