// A driver port that records every call and answers from a script, for tests
// that check the exact bytes, codes and order the transport sends.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/driver_port.h"

namespace morvex::test {

struct PortCall {
  enum Kind { kEnumerate, kOpen, kClose, kIoControl } kind;
  std::string path;         // kOpen
  bool overlapped = false;  // kOpen: requested; kIoControl: of the handle
  int handle = 0;           // kClose, kIoControl: handle serial (1, 2, ...)
  uint32_t code = 0;
  std::vector<uint8_t> in;  // copy of the input bytes
  uint32_t out_size = 0;
  std::vector<uint8_t> out_at_call;  // the output buffer when issued (small ones)
  bool async = false;
  std::thread::id thread;
};

// How one request ends.
struct Answer {
  enum Mode {
    kComplete,  // done at once
    kPending,   // pending, completes at once (the event is signalled)
    kHang,      // pending until aborted (or the handle closed)
    kFail,      // refused with `error`
  } mode = kComplete;
  uint32_t bytes = 0;
  uint32_t error = platform::kErrorGenFailure;
  bool ok = true;  // outcome reported by GetResult for kPending
};

class RecordingPort : public platform::DriverPort {
 public:
  // Answers one IoControl; `in` is writable (the driver writes the status
  // words of a direct transfer's header). Null responder: everything
  // completes with out_size bytes.
  using Responder = std::function<Answer(const PortCall& call, uint8_t* in, uint8_t* out, uint32_t out_size)>;

  RecordingPort() = default;
  ~RecordingPort() override;

  void SetInterfaces(std::vector<std::string> paths);
  void SetOpenable(const std::string& path, bool openable);
  void SetResponder(Responder responder);
  // A hung request ends only at the n-th abort on its handle (default 1).
  void SetAbortsToComplete(int count);

  std::vector<PortCall> calls() const;
  std::vector<PortCall> io_calls() const;  // IoControl only
  void ClearCalls();
  int open_handles() const;
  int hung_requests() const;

  std::vector<std::string> EnumerateInterfaces(const platform::Guid& interface_class) override;
  Handle Open(const std::string& path, bool overlapped) override;
  void Close(Handle handle) override;
  std::unique_ptr<platform::AsyncIo> CreateAsyncIo() override;
  platform::IoResult IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size, void* out,
                               uint32_t out_size, platform::AsyncIo* io) override;
  platform::IoResult GetResult(Handle handle, platform::AsyncIo& io, bool wait) override;

  std::vector<platform::Guid> guids_asked() const;

  class FakeAsyncIo;

 private:
  void CompleteHung(int handle, uint32_t error);

  mutable std::mutex mutex_;
  std::vector<std::string> interfaces_;
  std::set<std::string> unopenable_;
  Responder responder_;
  int aborts_to_complete_ = 1;
  std::map<int, int> aborts_seen_;
  std::vector<PortCall> calls_;
  std::vector<platform::Guid> guids_;
  struct OpenHandle {
    std::string path;
    bool overlapped;
  };
  std::map<int, OpenHandle> handles_;
  int next_handle_ = 1;
  std::vector<FakeAsyncIo*> hung_;
};

// The bytes a control request block must have: the header written out field
// by field, then the 64-byte data area.
std::vector<uint8_t> ExpectedControlBlock(uint8_t request_type, uint8_t request, uint16_t value,
                                          uint16_t index, std::vector<uint8_t> data = {});

// Builds "\\?\usb#vid_VVVV&pid_PPPP#<instance>#{guid}".
std::string DevicePath(uint16_t vendor_id, uint16_t product_id, const std::string& instance);

inline uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// Answers control requests (code 0x220020) through `answer`, which fills the
// data area and returns how many data bytes come back (negative: the request
// fails). Every other code completes with its full output size.
template <typename F>
RecordingPort::Responder ControlAnswers(F answer) {
  return [answer](const PortCall& call, uint8_t*, uint8_t* out, uint32_t out_size) -> Answer {
    Answer result;
    result.bytes = out_size;
    if (call.code != 0x220020) return result;
    const int data_bytes = answer(call, out + 38);
    if (data_bytes < 0) {
      result.mode = Answer::kFail;
      return result;
    }
    result.bytes = 38 + static_cast<uint32_t>(data_bytes);
    return result;
  };
}

}  // namespace morvex::test
