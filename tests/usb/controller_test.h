// The controller tests' fixture: a controller on a recording driver port
// with two cameras, and short names for the requests it sends.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "names.h"
#include "recording_port.h"
#include "usb/qor_cy3_cam.h"

namespace morvex::controller_testing {

using test::Answer;
using test::ControlAnswers;
using test::DevicePath;
using test::ExpectedControlBlock;
using test::Le32;
using test::PortCall;
using test::RecordingPort;

inline const std::string kCam0 = DevicePath(0x04b4, 0x3290, "cam&0");
inline const std::string kCam1 = DevicePath(0x04b4, 0x3290, "cam&1");

// A short name per request, so that order checks read like the protocol.
inline std::string Describe(const PortCall& call) {
  char text[64];
  switch (call.code) {
    case 0x220020:
      if (call.in.size() != 102) return "bad control block";
      if (call.in[1] == 0x30 && call.in[4] == 0x40 && call.in[2] == 3) {
        std::snprintf(text, sizeof(text), "F%02X=%u", call.in[38], call.in[40]);
        return text;
      }
      std::snprintf(text, sizeof(text), "R%02X", call.in[1]);
      return text;
    case 0x22004B:
      std::snprintf(text, sizeof(text), "D%02X:%u", call.in.size() == 38 ? call.in[13] : 0xFF, call.out_size);
      return text;
    case 0x220044:
      std::snprintf(text, sizeof(text), "A%02X", call.in.empty() ? 0xFF : call.in[0]);
      return text;
    default:
      std::snprintf(text, sizeof(text), "C%06X", call.code);
      return text;
  }
}

inline std::vector<std::string> Describe(const std::vector<PortCall>& calls) {
  std::vector<std::string> result;
  for (auto& call : calls) result.push_back(Describe(call));
  return result;
}

inline std::vector<PortCall> ControlCalls(const RecordingPort& port) {
  std::vector<PortCall> result;
  for (auto& call : port.io_calls())
    if (call.code == 0x220020) result.push_back(call);
  return result;
}

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_.SetInterfaces({kCam0, kCam1});
    cam_ = std::make_unique<CQorCy3Cam>(port_, clock_, nullptr, mapping_.c_str());
    ASSERT_EQ(cam_->EnumerateDevices(), 2);
    ASSERT_EQ(cam_->PrepareTransfers(), 1);
    port_.ClearCalls();
  }
  void TearDown() override {
    cam_.reset();
    EXPECT_EQ(port_.open_handles(), 0) << "a handle was left open";
    EXPECT_EQ(clock_.OpenTimerPeriods(), 0) << "timer resolution not restored";
  }

  // The one control request the last operation sent; checks that it went
  // out on a request handle of its own that was closed again.
  std::vector<uint8_t> OnlyRequest() {
    auto calls = port_.calls();
    EXPECT_EQ(calls.size(), 3u);
    if (calls.size() != 3u) return {};
    EXPECT_EQ(calls[0].kind, PortCall::kOpen);
    EXPECT_EQ(calls[0].path, kCam0);
    EXPECT_FALSE(calls[0].overlapped) << "requests use a non-overlapped handle";
    EXPECT_EQ(calls[1].kind, PortCall::kIoControl);
    EXPECT_EQ(calls[1].code, 0x220020u);
    EXPECT_EQ(calls[1].out_size, 102u);
    EXPECT_FALSE(calls[1].async);
    EXPECT_EQ(calls[2].kind, PortCall::kClose);
    EXPECT_EQ(calls[2].handle, calls[0].handle);
    port_.ClearCalls();
    return calls[1].in;
  }

  RecordingPort port_;
  platform::SimulatedClock clock_;
  std::string mapping_ = test::UniqueName("ctl");
  std::unique_ptr<CQorCy3Cam> cam_;
};

}  // namespace morvex::controller_testing
