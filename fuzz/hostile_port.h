// A driver port whose one camera answers from bytes: every control request
// and every bulk transfer takes its outcome (complete, short, failed, bad
// status, claimed overlong, completed late) and its data from a stream. The
// same class records such streams from a real port, so a seed holds exactly
// what an emulated camera answered.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/driver_port.h"

namespace morvex::fuzz {

// Answer codes at the head of each record.
namespace answer {
constexpr uint8_t kShort = 0xE0;      // .. 0xEF: U32 length, then that many bytes
constexpr uint8_t kFail = 0xF0;       // .. 0xF3: refused
constexpr uint8_t kBadStatus = 0xF4;  // .. 0xF7: bulk: completes, driver status set
constexpr uint8_t kLate = 0xF8;       // .. 0xFB: pending, then completes in full
constexpr uint8_t kOverlong = 0xFC;   // .. 0xFF: claims more bytes than asked for
}  // namespace answer

class HostilePort : public platform::DriverPort {
 public:
  // Replays the two streams; an exhausted stream fails every later request
  // as an unplugged camera would.
  HostilePort(std::string path, std::vector<uint8_t> control, std::vector<uint8_t> bulk);
  // Forwards everything to `inner` and records its answers.
  explicit HostilePort(platform::DriverPort& inner);

  const std::vector<uint8_t>& control() const { return control_; }
  const std::vector<uint8_t>& bulk() const { return bulk_; }
  bool exhausted() const;

  std::vector<std::string> EnumerateInterfaces(const platform::Guid& interface_class) override;
  Handle Open(const std::string& path, bool overlapped) override;
  void Close(Handle handle) override;
  std::unique_ptr<platform::AsyncIo> CreateAsyncIo() override;
  platform::IoResult IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size, void* out,
                               uint32_t out_size, platform::AsyncIo* io) override;
  platform::IoResult GetResult(Handle handle, platform::AsyncIo& io, bool wait) override;

 private:
  class Io;
  platform::IoResult ReplayControl(uint8_t* block, uint32_t size);
  platform::IoResult ReplayBulk(void* header, uint32_t header_size, uint8_t* out, uint32_t out_size, Io* io);
  platform::IoResult Record(Handle handle, uint32_t code, const void* in, uint32_t in_size, void* out,
                            uint32_t out_size, platform::AsyncIo* io);
  uint8_t Next(size_t& at, const std::vector<uint8_t>& stream);

  platform::DriverPort* inner_ = nullptr;
  std::string path_;
  mutable std::mutex mutex_;
  std::vector<uint8_t> control_;
  std::vector<uint8_t> bulk_;
  size_t control_at_ = 0;
  size_t bulk_at_ = 0;
  int open_handles_ = 0;
};

}  // namespace morvex::fuzz
