// Shared helpers of the transport tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "recording_port.h"

namespace morvex::testing {

// A mapping name no other test binary running at the same time uses.
inline std::string UniqueMappingName(const char* tag = "t") {
  static std::mt19937_64 random(
      std::random_device{}() ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  static int serial = 0;
  return "MorvexUsbTest-" + std::to_string(random() & 0xFFFFFFFFu) + "-" + tag + std::to_string(++serial);
}

inline uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// Answers control requests (code 0x220020) through `answer`, which fills the
// data area and returns how many data bytes come back (negative: the request
// fails). Every other code completes with its full output size.
template <typename F>
RecordingPort::Responder ControlAnswers(F answer) {
  return [answer](const PortCall& call, uint8_t* in, uint8_t* out, uint32_t out_size) -> Answer {
    Answer result;
    result.bytes = out_size;
    if (call.code != 0x220020) return result;
    const int data_bytes = answer(call, out + 38);
    if (data_bytes < 0) {
      result.mode = Answer::kFail;
      return result;
    }
    (void)in;
    result.bytes = 38 + static_cast<uint32_t>(data_bytes);
    return result;
  };
}

}  // namespace morvex::testing
